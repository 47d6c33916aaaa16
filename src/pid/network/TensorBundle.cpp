#include "pid/network/TensorBundle.h"

#include <cstring>

#include "pid/network/Crc32c.h"
#include "pid/network/SavedModelFormat.h"
#include "pid/network/SortedTable.h"
#include "pid/network/WireFormat.h"

namespace zel {
namespace {

namespace fields = savedmodel::bundle_entry;

bool parseShape(std::string_view bytes, std::vector<int64_t>& shape) {
    WireReader reader(bytes);
    WireField field;
    while (reader.next(field)) {
        if (field.number != savedmodel::tensor_shape::kDim || field.type != WireType::Bytes) continue;
        int64_t size = 0;
        WireReader dimReader(field.bytes);
        WireField dimField;
        while (dimReader.next(dimField))
            if (dimField.number == savedmodel::dim::kSize) size = static_cast<int64_t>(dimField.value);
        if (dimReader.failed()) return false;
        shape.push_back(size);
    }
    return !reader.failed();
}

// The empty key holds the bundle header: one shard, little-endian tensors.
NetworkStatus checkHeader(std::string_view bytes, const std::string& path) {
    uint64_t shards = 1, endianness = 0;
    WireReader reader(bytes);
    WireField field;
    while (reader.next(field)) {
        if (field.number == savedmodel::bundle_header::kNumShards) shards = field.value;
        if (field.number == savedmodel::bundle_header::kEndianness) endianness = field.value;
    }
    if (reader.failed()) return NetworkStatus::failure(NetworkStatus::DataLoss, "Corrupt bundle header in " + path);
    if (shards != 1 || endianness != 0)
        return NetworkStatus::failure(NetworkStatus::Unimplemented,
                                      "Variables of " + path + " are in " + std::to_string(shards) +
                                          " shards or big-endian; only one little-endian shard can be read");
    return {};
}

}  // namespace

bool parseTensorEntry(std::string_view bytes, TensorEntry& entry) {
    entry = TensorEntry{};
    WireReader reader(bytes);
    WireField field;
    while (reader.next(field)) {
        switch (field.number) {
            case fields::kDtype: entry.dtype = static_cast<int>(field.value); break;
            case fields::kShape:
                if (!parseShape(field.bytes, entry.shape)) return false;
                break;
            case fields::kShardId: entry.shard = static_cast<int>(field.value); break;
            case fields::kOffset: entry.offset = field.value; break;
            case fields::kSize: entry.size = field.value; break;
            case fields::kCrc32c: entry.maskedCrc = static_cast<uint32_t>(field.value); break;
            case fields::kSlices: entry.sliced = true; break;
            default: break;
        }
    }
    return !reader.failed();
}

NetworkStatus TensorBundle::open(const std::string& modelDirectory) {
    entries_.clear();
    data_.clear();
    const std::string indexPath = modelDirectory + std::string(savedmodel::kVariablesIndex);
    dataPath_ = modelDirectory + std::string(savedmodel::kVariablesData);
    std::string index;
    if (!readWholeFile(indexPath, index))
        return NetworkStatus::failure(NetworkStatus::NotFound, "Can not read variables index " + indexPath);
    if (!readWholeFile(dataPath_, data_))
        return NetworkStatus::failure(NetworkStatus::NotFound, "Can not read variables data " + dataPath_);
    TableEntries table;
    if (NetworkStatus status = readSortedTable(index, indexPath, table); !status.ok()) return status;
    for (const auto& [name, value] : table) {
        if (name.empty()) {
            if (NetworkStatus status = checkHeader(value, indexPath); !status.ok()) return status;
            continue;
        }
        TensorEntry entry;
        if (!parseTensorEntry(value, entry))
            return NetworkStatus::failure(NetworkStatus::DataLoss,
                                          "Corrupt variables index " + indexPath + ": bad entry for " + name);
        entries_.emplace(name, std::move(entry));
    }
    return {};
}

NetworkStatus TensorBundle::readFloats(const std::string& name, FloatTensor& tensor) const {
    const auto found = entries_.find(name);
    if (found == entries_.end())
        return NetworkStatus::failure(NetworkStatus::NotFound, "Variable " + name + " not found in the variables index");
    const TensorEntry& entry = found->second;
    if (entry.dtype != savedmodel::kDtypeFloat || entry.sliced || entry.shard != 0)
        return NetworkStatus::failure(NetworkStatus::InvalidArgument,
                                      "Variable " + name + " is not a whole float32 tensor (type " +
                                          std::to_string(entry.dtype) + ")");
    uint64_t count = 1;
    for (int64_t size : entry.shape) count *= size < 0 ? 0 : static_cast<uint64_t>(size);
    if (entry.size != count * sizeof(float))
        return NetworkStatus::failure(NetworkStatus::DataLoss, "Variable " + name + " holds " + std::to_string(entry.size) +
                                                                   " bytes, its shape asks for " +
                                                                   std::to_string(count * sizeof(float)));
    if (entry.offset > data_.size() || entry.size > data_.size() - entry.offset)
        return NetworkStatus::failure(NetworkStatus::DataLoss,
                                      "Variable " + name + " lies beyond the end of " + dataPath_ + " (truncated?)");
    const char* bytes = data_.data() + entry.offset;
    if (crc32c(bytes, entry.size) != unmaskCrc(entry.maskedCrc))
        return NetworkStatus::failure(NetworkStatus::DataLoss,
                                      "Checksum mismatch of variable " + name + " in " + dataPath_);
    tensor.shape = entry.shape;
    tensor.values.resize(count);
    // The tensors are little-endian, as is every machine this builds for.
    if (count != 0) std::memcpy(tensor.values.data(), bytes, entry.size);
    return {};
}

}  // namespace zel
