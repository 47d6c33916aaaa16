#include "pid/network/SavedModel.h"

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "common/Text.h"
#include "pid/network/SavedModelFormat.h"
#include "pid/network/TensorBundle.h"
#include "pid/network/WireFormat.h"

namespace zel {
namespace {

using nlohmann::json;
namespace format = savedmodel;

struct ActivationName {
    std::string_view name;
    Activation activation;
};

constexpr ActivationName kActivations[] = {
    {"linear", Activation::Linear}, {"relu", Activation::Relu},         {"sigmoid", Activation::Sigmoid},
    {"tanh", Activation::Tanh},     {"softmax", Activation::Softmax},   {"elu", Activation::Elu},
    {"selu", Activation::Selu},     {"softplus", Activation::Softplus}, {"softsign", Activation::Softsign},
    {"swish", Activation::Swish},   {"silu", Activation::Swish},        {"exponential", Activation::Exponential},
};

NetworkStatus invalid(std::string message) {
    return NetworkStatus::failure(NetworkStatus::InvalidArgument, std::move(message));
}
NetworkStatus unsupported(std::string message) {
    return NetworkStatus::failure(NetworkStatus::Unimplemented, std::move(message));
}

// --- saved_model.pb: the meta graph tagged "serve" and its signatures ---

void readSignatureTensors(std::string_view mapEntry, std::vector<SignatureTensor>& into) {
    SignatureTensor tensor;
    WireReader entry(mapEntry);
    WireField field;
    while (entry.next(field)) {
        if (field.number == format::map_entry::kKey) tensor.key = field.bytes;
        if (field.number != format::map_entry::kValue) continue;
        WireReader info(field.bytes);
        WireField infoField;
        while (info.next(infoField))
            if (infoField.number == format::tensor_info::kName) tensor.name = infoField.bytes;
    }
    into.push_back(tensor);
}

bool readSignature(std::string_view mapEntry, ModelSignature& signature) {
    WireReader entry(mapEntry);
    WireField field;
    while (entry.next(field)) {
        if (field.number == format::map_entry::kKey) signature.name = field.bytes;
        if (field.number != format::map_entry::kValue) continue;
        WireReader definition(field.bytes);
        WireField part;
        while (definition.next(part)) {
            if (part.number == format::signature::kInputs) readSignatureTensors(part.bytes, signature.inputs);
            if (part.number == format::signature::kOutputs) readSignatureTensors(part.bytes, signature.outputs);
        }
        if (definition.failed()) return false;
    }
    return !entry.failed();
}

// True when the meta graph carries the serving tag; its signatures go to `signatures`.
bool readMetaGraph(std::string_view bytes, std::vector<ModelSignature>& signatures, bool& damaged) {
    bool serving = false;
    std::vector<ModelSignature> found;
    WireReader reader(bytes);
    WireField field;
    while (reader.next(field)) {
        if (field.number == format::meta_graph::kMetaInfo) {
            WireReader info(field.bytes);
            WireField infoField;
            while (info.next(infoField))
                if (infoField.number == format::meta_info::kTags && infoField.bytes == format::kServeTag)
                    serving = true;
            damaged = damaged || info.failed();
        } else if (field.number == format::meta_graph::kSignatures) {
            ModelSignature& signature = found.emplace_back();
            damaged = damaged || !readSignature(field.bytes, signature);
        }
    }
    damaged = damaged || reader.failed();
    if (serving) signatures = std::move(found);
    return serving;
}

NetworkStatus readSignatures(const std::string& directory, NetworkDefinition& network) {
    const std::string path = directory + std::string(format::kSavedModelFile);
    std::string bytes;
    if (!readWholeFile(path, bytes))
        return NetworkStatus::failure(NetworkStatus::NotFound, "SavedModel file does not exist at: " + path);
    bool serving = false, damaged = false;
    WireReader reader(bytes);
    WireField field;
    while (reader.next(field))
        if (field.number == format::saved_model::kMetaGraphs && field.type == WireType::Bytes && !serving)
            serving = readMetaGraph(field.bytes, network.signatures, damaged);
    if (reader.failed() || damaged)
        return NetworkStatus::failure(NetworkStatus::DataLoss, "Corrupt saved model file " + path);
    if (!serving)
        return NetworkStatus::failure(NetworkStatus::NotFound,
                                      "No meta graph with the tag \"serve\" in the saved model " + path);
    return {};
}

// --- keras_metadata.pb: the layer configuration of the root object ---

NetworkStatus readRootConfiguration(const std::string& directory, json& root) {
    const std::string path = directory + std::string(format::kKerasMetadataFile);
    std::string bytes;
    if (!readWholeFile(path, bytes))
        return NetworkStatus::failure(NetworkStatus::NotFound, "Layer configuration not found: " + path);
    WireReader reader(bytes);
    WireField node;
    while (reader.next(node)) {
        if (node.number != format::saved_metadata::kNodes) continue;
        std::string_view nodePath, metadata;
        WireReader object(node.bytes);
        WireField field;
        while (object.next(field)) {
            if (field.number == format::saved_object::kNodePath) nodePath = field.bytes;
            if (field.number == format::saved_object::kMetadata) metadata = field.bytes;
        }
        if (object.failed()) break;
        if (nodePath != "root") continue;
        root = json::parse(metadata, nullptr, false);
        if (root.is_discarded() || !root.is_object())
            return NetworkStatus::failure(NetworkStatus::DataLoss,
                                          "Layer configuration of the model is no valid JSON: " + path);
        return {};
    }
    if (reader.failed())
        return NetworkStatus::failure(NetworkStatus::DataLoss, "Corrupt layer configuration file " + path);
    return NetworkStatus::failure(NetworkStatus::NotFound, "No root object in the layer configuration " + path);
}

// The last dimension of a shape written as a list or as {"class_name": "__tuple__", "items": [...]}.
bool lastDimension(const json& shape, size_t& width) {
    const json& items = shape.is_object() && shape.contains("items") ? shape["items"] : shape;
    if (!items.is_array() || items.empty() || !items.back().is_number_unsigned()) return false;
    width = items.back().get<size_t>();
    return width > 0;
}

std::string shapeText(const std::vector<int64_t>& shape) {
    std::string text = "[";
    for (size_t i = 0; i < shape.size(); ++i) text += (i ? ", " : "") + std::to_string(shape[i]);
    return text + "]";
}

// Reads the weights of layers in order: the n-th layer that has weights owns "layer_with_weights-n/...".
class LayerWeights {
public:
    explicit LayerWeights(const TensorBundle& bundle) : bundle_(bundle) {}

    std::string variable(size_t layer, std::string_view attribute) const {
        return std::string(format::kLayerWeightsPrefix) + std::to_string(layer) + "/" + std::string(attribute) +
               std::string(format::kVariableSuffix);
    }
    // The attribute of the current layer, which must have the given shape.
    NetworkStatus read(const NetworkLayer& layer, std::string_view attribute, std::vector<int64_t> shape,
                       std::vector<float>& values) const {
        FloatTensor tensor;
        if (NetworkStatus status = bundle_.readFloats(variable(next_, attribute), tensor); !status.ok()) {
            status.message = "Layer " + layer.name + ": " + status.message;
            return status;
        }
        if (tensor.shape != shape)
            return invalid("Layer " + layer.name + ": variable " + variable(next_, attribute) + " has shape " +
                           shapeText(tensor.shape) + ", the layer needs " + shapeText(shape));
        values = std::move(tensor.values);
        return {};
    }
    void layerDone() { ++next_; }
    size_t layersRead() const { return next_; }

private:
    const TensorBundle& bundle_;
    size_t next_ = 0;
};

int64_t signedSize(size_t size) { return static_cast<int64_t>(size); }

NetworkStatus buildDense(const json& config, LayerWeights& weights, NetworkLayer& layer) {
    layer.kind = LayerKind::Dense;
    if (!config.contains("units") || !config["units"].is_number_unsigned() || config["units"].get<size_t>() == 0)
        return invalid("Layer " + layer.name + ": no valid number of units");
    layer.units = config["units"].get<size_t>();
    const bool useBias = config.value("use_bias", true);
    NetworkStatus status =
        weights.read(layer, "kernel", {signedSize(layer.inputs), signedSize(layer.units)}, layer.kernel);
    if (status.ok() && useBias) status = weights.read(layer, "bias", {signedSize(layer.units)}, layer.bias);
    weights.layerDone();
    return status;
}

// The moving statistics fold into one scale and shift per feature: (x - mean) / sqrt(variance + epsilon) * gamma
// + beta, computed in double.
NetworkStatus buildBatchNormalization(const json& config, LayerWeights& weights, NetworkLayer& layer) {
    layer.kind = LayerKind::BatchNormalization;
    layer.units = layer.inputs;
    const json axis = config.value("axis", json(-1));
    const json& lastAxis = axis.is_array() && axis.size() == 1 ? axis[0] : axis;
    if (!lastAxis.is_number_integer() || (lastAxis.get<int>() != -1 && lastAxis.get<int>() != 1))
        return unsupported("Layer " + layer.name + " (BatchNormalization) normalises over axis " + axis.dump() +
                           "; only the feature axis is supported");
    const double epsilon = config.value("epsilon", 1e-3);
    const std::vector<int64_t> shape{signedSize(layer.units)};
    std::vector<float> gamma(layer.units, 1.0f), beta(layer.units, 0.0f), mean, variance;
    NetworkStatus status;
    if (config.value("scale", true)) status = weights.read(layer, "gamma", shape, gamma);
    if (status.ok() && config.value("center", true)) status = weights.read(layer, "beta", shape, beta);
    if (status.ok()) status = weights.read(layer, "moving_mean", shape, mean);
    if (status.ok()) status = weights.read(layer, "moving_variance", shape, variance);
    weights.layerDone();
    if (!status.ok()) return status;
    layer.scale.resize(layer.units);
    layer.bias.resize(layer.units);
    for (size_t i = 0; i < layer.units; ++i) {
        const double scale = gamma[i] / std::sqrt(static_cast<double>(variance[i]) + epsilon);
        layer.scale[i] = static_cast<float>(scale);
        layer.bias[i] = static_cast<float>(beta[i] - mean[i] * scale);
    }
    return {};
}

NetworkStatus readActivation(const json& config, NetworkLayer& layer) {
    const json name = config.value("activation", json("linear"));
    if (!name.is_string() || !findActivation(name.get<std::string>(), layer.activation))
        return unsupported("Layer " + layer.name + " (" + layer.className + ") uses the activation " +
                           (name.is_string() ? name.get<std::string>() : name.dump()) + ", which is not supported");
    return {};
}

// Layers that pass their input on unchanged at inference.
bool isIdentityAtInference(std::string_view className) { return className == "Dropout"; }

NetworkStatus buildLayer(const json& entry, LayerWeights& weights, NetworkDefinition& network) {
    NetworkLayer layer;
    layer.className = entry.value("class_name", "");
    const json config = entry.value("config", json::object());
    layer.name = config.value("name", layer.className);
    layer.inputs = network.outputWidth();
    if (config.contains("dtype") && config["dtype"].is_string() && config["dtype"] != "float32")
        return unsupported("Layer " + layer.name + " (" + layer.className + ") computes in " +
                           config["dtype"].get<std::string>() + "; only float32 is supported");
    const std::string shape = "\t[None, " + std::to_string(layer.inputs) + "]";
    if (isIdentityAtInference(layer.className)) {
        network.layerLines.push_back(layer.name + "\t" + layer.className + shape + "\tidentity at inference");
        return {};
    }
    NetworkStatus status;
    if (layer.className == "Dense") {
        status = readActivation(config, layer);
        if (status.ok()) status = buildDense(config, weights, layer);
    } else if (layer.className == "Activation") {
        layer.kind = LayerKind::Activation;
        layer.units = layer.inputs;
        status = readActivation(config, layer);
    } else if (layer.className == "Softmax") {
        layer.kind = LayerKind::Activation;
        layer.units = layer.inputs;
        layer.activation = Activation::Softmax;
        const json axis = config.value("axis", json(-1));
        if (axis != json(-1) && axis != json(1))
            status = unsupported("Layer " + layer.name + " (Softmax) runs over axis " + axis.dump() +
                                 "; only the feature axis is supported");
    } else if (layer.className == "BatchNormalization") {
        status = buildBatchNormalization(config, weights, layer);
    } else {
        status = unsupported("Layer " + layer.name + " of class " + layer.className + " is not supported");
    }
    if (!status.ok()) return status;
    std::string line = layer.name + "\t" + layer.className + "\t[None, " + std::to_string(layer.units) + "]";
    if (layer.kind != LayerKind::BatchNormalization) line += "\t" + std::string(activationName(layer.activation));
    network.layerLines.push_back(line);
    network.layers.push_back(std::move(layer));
    return {};
}

NetworkStatus buildLayers(const json& root, const TensorBundle& bundle, NetworkDefinition& network) {
    network.modelClass = root.value("class_name", "");
    if (network.modelClass != "Sequential")
        return unsupported("Model of class " + network.modelClass + " is not supported; only Sequential models are");
    const json& config = root.contains("config") ? root["config"] : json::object();
    const json layers = config.value("layers", json::array());
    if (!layers.is_array() || layers.empty()) return invalid("The model has no layers");

    // The input width: the input layer, else the first layer's input shape, else the model's build shape.
    size_t start = 0;
    const json& first = layers[0];
    const json firstConfig = first.value("config", json::object());
    if (first.value("class_name", "") == "InputLayer") {
        network.inputName = firstConfig.value("name", "");
        start = 1;
    }
    const bool known =
        (firstConfig.contains("batch_input_shape") &&
         lastDimension(firstConfig["batch_input_shape"], network.inputWidth)) ||
        (root.contains("build_input_shape") && lastDimension(root["build_input_shape"], network.inputWidth));
    if (!known) return invalid("The model's input shape is not stated");

    LayerWeights weights(bundle);
    for (size_t i = start; i < layers.size(); ++i) {
        if (layers[i].value("class_name", "") == "InputLayer")
            return unsupported("Model has a second input layer; only one input is supported");
        if (NetworkStatus status = buildLayer(layers[i], weights, network); !status.ok()) return status;
    }
    // Weights of a layer the configuration does not list mean that the two do not belong together.
    const std::string extra = std::string(format::kLayerWeightsPrefix) + std::to_string(weights.layersRead()) + "/";
    const auto after = bundle.entries().lower_bound(extra);
    if (after != bundle.entries().end() && after->first.compare(0, extra.size(), extra) == 0)
        return invalid("The variables hold weights of more layers (" + after->first +
                       ") than the layer configuration lists");
    return {};
}

}  // namespace

bool findActivation(std::string_view name, Activation& activation) {
    for (const ActivationName& known : kActivations) {
        if (known.name == name) {
            activation = known.activation;
            return true;
        }
    }
    return false;
}

std::string_view activationName(Activation activation) {
    for (const ActivationName& known : kActivations)
        if (known.activation == activation) return known.name;
    return "";
}

bool NetworkDefinition::hasOperation(std::string_view operation) const {
    const auto isIt = [&](const SignatureTensor& tensor) {
        const std::string_view name = tensor.name;
        return name.substr(0, name.find(':')) == operation && (name.size() == operation.size() || endsWith(name, ":0"));
    };
    for (const ModelSignature& signature : signatures) {
        for (const SignatureTensor& tensor : signature.inputs)
            if (isIt(tensor)) return true;
        for (const SignatureTensor& tensor : signature.outputs)
            if (isIt(tensor)) return true;
    }
    return false;
}

NetworkStatus loadSavedModel(const std::string& directoryName, NetworkDefinition& network) {
    network = NetworkDefinition{};
    std::error_code ec;
    const std::filesystem::path path(directoryName);
    if (!std::filesystem::exists(path, ec))
        return NetworkStatus::failure(NetworkStatus::NotFound, "Saved model directory not found: " + directoryName);
    if (!std::filesystem::is_directory(path, ec))
        return NetworkStatus::failure(NetworkStatus::InvalidArgument,
                                      "Saved model path is a file, not a directory: " + directoryName);
    std::string directory = directoryName;
    if (!directory.empty() && directory.back() != '/') directory += '/';

    if (NetworkStatus status = readSignatures(directory, network); !status.ok()) return status;
    json root;
    if (NetworkStatus status = readRootConfiguration(directory, root); !status.ok()) return status;
    TensorBundle bundle;
    if (NetworkStatus status = bundle.open(directory); !status.ok()) return status;
    try {
        return buildLayers(root, bundle, network);
    } catch (const json::exception& error) {  // a configuration entry of an unexpected type
        return invalid(std::string("Unexpected layer configuration: ") + error.what());
    }
}

std::vector<std::string> describeNetwork(const NetworkDefinition& network) {
    std::vector<std::string> lines;
    lines.push_back("Model class:  " + network.modelClass);
    lines.push_back("Input:        " + network.inputName + " [None, " + std::to_string(network.inputWidth) +
                    "] float32");
    lines.push_back("Layers:");
    for (const std::string& line : network.layerLines) lines.push_back("  " + line);
    lines.push_back("Output:       [None, " + std::to_string(network.outputWidth()) + "] float32");
    for (const ModelSignature& signature : network.signatures) {
        lines.push_back("Signature:    " + signature.name);
        for (const SignatureTensor& tensor : signature.inputs)
            lines.push_back("  input  " + tensor.key + " -> " + tensor.name);
        for (const SignatureTensor& tensor : signature.outputs)
            lines.push_back("  output " + tensor.key + " -> " + tensor.name);
    }
    return lines;
}

}  // namespace zel
