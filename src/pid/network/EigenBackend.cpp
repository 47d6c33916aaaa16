#include "pid/network/EigenBackend.h"

#include <algorithm>

namespace zel {

std::unique_ptr<NetworkBackend> makeNetworkBackend() { return std::make_unique<EigenBackend>(); }

NetworkStatus EigenBackend::load(const std::string& modelDirectory) {
    NetworkDefinition network;
    NetworkStatus status = loadSavedModel(modelDirectory, network);
    setNetwork(status.ok() ? std::move(network) : NetworkDefinition{});
    return status;
}

void EigenBackend::setNetwork(NetworkDefinition network) {
    network_ = std::move(network);
    steps_.clear();
    widest_ = network_.inputWidth;
    for (const NetworkLayer& layer : network_.layers) {
        InferenceStep& step = steps_.emplace_back();
        step.kind = layer.kind;
        step.activation = layer.activation;
        step.inputs = layer.inputs;
        step.units = layer.units;
        step.kernel = layer.kernel.empty() ? nullptr : layer.kernel.data();
        step.bias = layer.bias.empty() ? nullptr : layer.bias.data();
        step.scale = layer.scale.empty() ? nullptr : layer.scale.data();
        widest_ = std::max(widest_, layer.units);
    }
    scratch_.clear();
}

NetworkStatus EigenBackend::run(const float* input, size_t rows, float* output, size_t& outputRows) {
    outputRows = 0;
    if (network_.inputWidth == 0)
        return NetworkStatus::failure(NetworkStatus::Internal, "No network loaded to run");
    if (rows == 0) return {};
    if (steps_.empty()) {  // a model of an input layer alone gives its input back
        std::copy_n(input, rows * network_.inputWidth, output);
    } else {
        if (scratch_.size() < 2 * rows * widest_) scratch_.resize(2 * rows * widest_);
        infer_(steps_.data(), steps_.size(), input, rows, output, scratch_.data(), scratch_.data() + rows * widest_);
    }
    outputRows = rows;
    return {};
}

}  // namespace zel
