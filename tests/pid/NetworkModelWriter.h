#pragma once
// Writes saved-model directories for tests: the signatures, the layer configuration, the variables index (a
// sorted table with prefix-compressed keys, restart points and checksummed blocks) and the data file, with the
// field numbers and constants of the library's own format definitions.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pid/network/Crc32c.h"
#include "pid/network/SavedModelFormat.h"

namespace zeltest {

namespace sm = zel::savedmodel;

class ProtoWriter {
public:
    ProtoWriter& varint(uint32_t field, uint64_t value) {
        key(field, 0);
        putVarint(bytes_, value);
        return *this;
    }
    ProtoWriter& fixed32(uint32_t field, uint32_t value) {
        key(field, 5);
        putFixed32(bytes_, value);
        return *this;
    }
    ProtoWriter& bytes(uint32_t field, std::string_view value) {
        key(field, 2);
        putVarint(bytes_, value.size());
        bytes_.append(value);
        return *this;
    }
    ProtoWriter& message(uint32_t field, const ProtoWriter& nested) { return bytes(field, nested.str()); }
    const std::string& str() const { return bytes_; }

    static void putVarint(std::string& out, uint64_t value) {
        while (value >= 0x80) {
            out += static_cast<char>((value & 0x7f) | 0x80);
            value >>= 7;
        }
        out += static_cast<char>(value);
    }
    static void putFixed32(std::string& out, uint32_t value) {
        for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
    static void putFixed64(std::string& out, uint64_t value) {
        for (int i = 0; i < 8; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
    }

private:
    void key(uint32_t field, uint32_t type) { putVarint(bytes_, (uint64_t{field} << 3) | type); }
    std::string bytes_;
};

using Entries = std::map<std::string, std::string>;

// One block: entries sharing the prefix of the key before them, a restart point every `restartEvery` entries.
inline std::string tableBlock(Entries::const_iterator first, Entries::const_iterator last, size_t restartEvery) {
    std::string block;
    std::vector<uint32_t> restarts;
    std::string previous;
    size_t n = 0;
    for (auto it = first; it != last; ++it, ++n) {
        size_t shared = 0;
        if (n % restartEvery == 0) {
            restarts.push_back(static_cast<uint32_t>(block.size()));
        } else {
            while (shared < previous.size() && shared < it->first.size() && previous[shared] == it->first[shared])
                ++shared;
        }
        ProtoWriter::putVarint(block, shared);
        ProtoWriter::putVarint(block, it->first.size() - shared);
        ProtoWriter::putVarint(block, it->second.size());
        block += it->first.substr(shared);
        block += it->second;
        previous = it->first;
    }
    if (restarts.empty()) restarts.push_back(0);
    for (uint32_t restart : restarts) ProtoWriter::putFixed32(block, restart);
    ProtoWriter::putFixed32(block, static_cast<uint32_t>(restarts.size()));
    return block;
}

// Appends a block with its trailer and returns its handle.
inline std::string appendBlock(std::string& file, const std::string& block,
                               uint8_t compression = sm::table::kNoCompression) {
    std::string handle;
    ProtoWriter::putVarint(handle, file.size());
    ProtoWriter::putVarint(handle, block.size());
    file += block;
    file += static_cast<char>(compression);
    ProtoWriter::putFixed32(file,
                            zel::maskCrc(zel::crc32c(file.data() + file.size() - block.size() - 1, block.size() + 1)));
    return handle;
}

inline std::string tableFile(const Entries& entries, size_t entriesPerBlock = 3, size_t restartEvery = 2) {
    std::string file;
    Entries index;
    for (auto first = entries.begin(); first != entries.end();) {
        auto last = first;
        for (size_t n = 0; n < entriesPerBlock && last != entries.end(); ++n) ++last;
        index[std::prev(last)->first] = appendBlock(file, tableBlock(first, last, restartEvery));
        first = last;
    }
    const std::string metaIndexHandle = appendBlock(file, tableBlock(index.end(), index.end(), 1));
    const std::string indexHandle = appendBlock(file, tableBlock(index.begin(), index.end(), 1));
    std::string footer = metaIndexHandle + indexHandle;
    footer.resize(sm::table::kHandlesSize, '\0');
    ProtoWriter::putFixed64(footer, sm::table::kMagic);
    return file + footer;
}

struct TestLayer {
    std::string className = "Dense";
    std::string name;
    std::string activation = "linear";
    size_t units = 0;
    std::vector<float> kernel{};  // [inputs, units] row-major
    std::vector<float> bias{};    // empty: no bias
    // BatchNormalization
    std::vector<float> gamma{}, beta{}, mean{}, variance{};
    double epsilon = 0.001;
    nlohmann::json extraConfig = nlohmann::json::object();
};

struct TestModel {
    size_t inputs = 8;
    std::vector<TestLayer> layers;
    std::string inputOperation = "serving_default_dense_input";
    std::string outputOperation = "StatefulPartitionedCall";
    std::string norms = "1 1 1 1 1 1 1 1\n";  // the norm file's text; no file when empty
};

inline nlohmann::json layerJson(const TestLayer& layer) {
    nlohmann::json config = {{"name", layer.name}, {"trainable", true}, {"dtype", "float32"}};
    if (layer.className == "Dense") {
        config["units"] = layer.units;
        config["activation"] = layer.activation;
        config["use_bias"] = !layer.bias.empty();
    } else if (layer.className == "Activation") {
        config["activation"] = layer.activation;
    } else if (layer.className == "BatchNormalization") {
        config["axis"] = nlohmann::json::array({-1});
        config["epsilon"] = layer.epsilon;
        config["center"] = !layer.beta.empty();
        config["scale"] = !layer.gamma.empty();
    } else if (layer.className == "Dropout") {
        config["rate"] = 0.1;
    }
    config.update(layer.extraConfig);
    return {{"class_name", layer.className}, {"config", config}};
}

inline std::string tensorEntry(const std::vector<int64_t>& shape, uint64_t offset, const std::string& bytes) {
    ProtoWriter shapeProto;
    for (int64_t size : shape)
        shapeProto.message(sm::tensor_shape::kDim, ProtoWriter().varint(sm::dim::kSize, static_cast<uint64_t>(size)));
    ProtoWriter entry;
    entry.varint(sm::bundle_entry::kDtype, sm::kDtypeFloat).message(sm::bundle_entry::kShape, shapeProto);
    if (offset != 0) entry.varint(sm::bundle_entry::kOffset, offset);
    entry.varint(sm::bundle_entry::kSize, bytes.size())
        .fixed32(sm::bundle_entry::kCrc32c, zel::maskCrc(zel::crc32c(bytes)));
    return entry.str();
}

// Writes the model below `directory` (created), and the norm file beside it.
inline void writeModelDirectory(const std::string& directory, const TestModel& model) {
    namespace fs = std::filesystem;
    fs::create_directories(fs::path(directory) / "variables");
    const auto write = [&](std::string_view name, const std::string& bytes) {
        std::ofstream(fs::path(directory) / name, std::ios::binary) << bytes;
    };

    ProtoWriter signature;
    signature.message(
        sm::signature::kInputs,
        ProtoWriter()
            .bytes(sm::map_entry::kKey, "dense_input")
            .message(sm::map_entry::kValue, ProtoWriter()
                                                .bytes(sm::tensor_info::kName, model.inputOperation + ":0")
                                                .varint(sm::tensor_info::kDtype, sm::kDtypeFloat)));
    signature.message(
        sm::signature::kOutputs,
        ProtoWriter()
            .bytes(sm::map_entry::kKey, "output")
            .message(sm::map_entry::kValue, ProtoWriter()
                                                .bytes(sm::tensor_info::kName, model.outputOperation + ":0")
                                                .varint(sm::tensor_info::kDtype, sm::kDtypeFloat)));
    signature.bytes(sm::signature::kMethodName, "tensorflow/serving/predict");
    ProtoWriter metaGraph;
    metaGraph.message(
        sm::meta_graph::kMetaInfo,
        ProtoWriter().bytes(sm::meta_info::kTags, sm::kServeTag).bytes(sm::meta_info::kTensorflowVersion, "2.15.0"));
    metaGraph.message(
        sm::meta_graph::kSignatures,
        ProtoWriter().bytes(sm::map_entry::kKey, "serving_default").message(sm::map_entry::kValue, signature));
    write(sm::kSavedModelFile, ProtoWriter()
                                   .varint(sm::saved_model::kSchemaVersion, 1)
                                   .message(sm::saved_model::kMetaGraphs, metaGraph)
                                   .str());

    nlohmann::json layers = nlohmann::json::array();
    layers.push_back({{"class_name", "InputLayer"},
                      {"config",
                       {{"batch_input_shape", {{"class_name", "__tuple__"}, {"items", {nullptr, model.inputs}}}},
                        {"dtype", "float32"},
                        {"name", "dense_input"}}}});
    Entries entries;
    entries[""] = ProtoWriter().varint(sm::bundle_header::kNumShards, 1).str();
    std::string data;
    size_t width = model.inputs, weighted = 0;
    const auto addTensor = [&](const std::string& attribute, const std::vector<float>& values,
                               std::vector<int64_t> shape) {
        std::string bytes(values.size() * sizeof(float), '\0');
        if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
        entries[std::string(sm::kLayerWeightsPrefix) + std::to_string(weighted) + "/" + attribute +
                std::string(sm::kVariableSuffix)] = tensorEntry(shape, data.size(), bytes);
        data += bytes;
    };
    for (const TestLayer& layer : model.layers) {
        layers.push_back(layerJson(layer));
        const auto w = static_cast<int64_t>(width);
        if (layer.className == "Dense") {
            addTensor("kernel", layer.kernel, {w, static_cast<int64_t>(layer.units)});
            if (!layer.bias.empty()) addTensor("bias", layer.bias, {static_cast<int64_t>(layer.units)});
            width = layer.units;
            ++weighted;
        } else if (layer.className == "BatchNormalization") {
            if (!layer.gamma.empty()) addTensor("gamma", layer.gamma, {w});
            if (!layer.beta.empty()) addTensor("beta", layer.beta, {w});
            addTensor("moving_mean", layer.mean, {w});
            addTensor("moving_variance", layer.variance, {w});
            ++weighted;
        }
    }
    // Optimizer state that inference leaves alone, as a real checkpoint holds it.
    entries["optimizer/iter/.ATTRIBUTES/VARIABLE_VALUE"] = ProtoWriter()
                                                               .varint(sm::bundle_entry::kDtype, sm::kDtypeInt64)
                                                               .varint(sm::bundle_entry::kOffset, data.size())
                                                               .varint(sm::bundle_entry::kSize, 8)
                                                               .str();
    data += std::string(8, '\0');

    const nlohmann::json root = {
        {"name", "sequential"}, {"class_name", "Sequential"}, {"config", {{"name", "sequential"}, {"layers", layers}}}};
    ProtoWriter metadata;
    metadata.message(sm::saved_metadata::kNodes, ProtoWriter()
                                                     .varint(sm::saved_object::kNodeId, 1)
                                                     .bytes(sm::saved_object::kNodePath, "root.layer-0")
                                                     .bytes(sm::saved_object::kMetadata, "{}"));
    metadata.message(sm::saved_metadata::kNodes, ProtoWriter()
                                                     .bytes(sm::saved_object::kNodePath, "root")
                                                     .bytes(sm::saved_object::kIdentifier, "_tf_keras_sequential")
                                                     .bytes(sm::saved_object::kMetadata, root.dump()));
    write(sm::kKerasMetadataFile, metadata.str());
    write(sm::kVariablesIndex, tableFile(entries));
    write(sm::kVariablesData, data);
    if (!model.norms.empty()) write("weights.txt", model.norms);
}

// Overwrites one byte of a file; a negative offset counts from the end.
inline void changeByte(const std::string& path, long offset, char value) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset, offset < 0 ? std::ios::end : std::ios::beg);
    file.put(value);
}

inline void truncateFile(const std::string& path, size_t size) { std::filesystem::resize_file(path, size); }

}  // namespace zeltest
