#pragma once
// A dense network read from a saved-model directory: the serving signatures from "saved_model.pb", the layer list
// from the layer configuration in "keras_metadata.pb" and the weights from the variables. Only the layers and
// activations that a dense classifier needs are known; a model with anything else is refused with the name of
// what it uses, never run with a part left out.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pid/network/NetworkStatus.h"

namespace zel {

enum class Activation { Linear, Relu, Sigmoid, Tanh, Softmax, Elu, Selu, Softplus, Softsign, Swish, Exponential };

// The activation of a layer-configuration name; false when it is not known.
bool findActivation(std::string_view name, Activation& activation);
std::string_view activationName(Activation activation);

enum class LayerKind {
    Dense,               // output = activation(input * kernel + bias), kernel [inputs, units] row-major
    Activation,          // an activation alone
    BatchNormalization,  // output = input * scale + shift, folded from the moving statistics
};

struct NetworkLayer {
    LayerKind kind = LayerKind::Dense;
    std::string name;       // the layer's own name
    std::string className;  // its class in the layer configuration
    size_t inputs = 0;
    size_t units = 0;  // output width
    Activation activation = Activation::Linear;
    std::vector<float> kernel;  // Dense: [inputs, units]
    std::vector<float> bias;    // Dense: [units], empty without bias; BatchNormalization: the shift
    std::vector<float> scale;   // BatchNormalization: [units]
};

struct SignatureTensor {
    std::string key;   // name in the signature
    std::string name;  // graph tensor, "operation:index"
};

struct ModelSignature {
    std::string name;
    std::vector<SignatureTensor> inputs;
    std::vector<SignatureTensor> outputs;
};

struct NetworkDefinition {
    std::string modelClass;  // "Sequential"
    std::string inputName;
    size_t inputWidth = 0;
    std::vector<NetworkLayer> layers;  // the computing layers; dropout and input layers are left out
    std::vector<std::string> layerLines;  // every configured layer in order: name, class, output shape, activation
    std::vector<ModelSignature> signatures;

    size_t outputWidth() const { return layers.empty() ? inputWidth : layers.back().units; }
    // True when a signature input or output is the named operation (output index 0).
    bool hasOperation(std::string_view operation) const;
};

// Reads the network of the saved model in `directory` (with or without a trailing separator).
NetworkStatus loadSavedModel(const std::string& directory, NetworkDefinition& network);

// Lines describing the network: inputs, layers with output shapes and activations, signatures.
std::vector<std::string> describeNetwork(const NetworkDefinition& network);

}  // namespace zel
