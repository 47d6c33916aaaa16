#pragma once
// The backend that runs a dense network itself: the layers and weights come from the saved-model files, the
// products are computed in float32 with Eigen over whole blocks of rows.
#include <vector>

#include "pid/network/DenseKernels.h"
#include "pid/network/NetworkBackend.h"
#include "pid/network/SavedModel.h"

namespace zel {

class EigenBackend : public NetworkBackend {
public:
    std::string_view name() const override { return "dense layers in float32 (Eigen)"; }
    NetworkStatus load(const std::string& modelDirectory) override;
    // Takes a network that is already read (the benchmarks build one in memory).
    void setNetwork(NetworkDefinition network);

    size_t inputWidth() const override { return network_.inputWidth; }
    size_t outputWidth() const override { return network_.outputWidth(); }
    bool hasOperation(std::string_view operation) const override { return network_.hasOperation(operation); }
    NetworkStatus run(const float* input, size_t rows, float* output, size_t& outputRows) override;
    std::vector<std::string> describe() const override { return describeNetwork(network_); }

    const NetworkDefinition& network() const { return network_; }

private:
    NetworkDefinition network_;
    std::vector<InferenceStep> steps_;
    size_t widest_ = 0;
    std::vector<float> scratch_;  // two blocks of the widest layer, kept between runs
    InferenceFunction infer_ = chooseInference();
};

}  // namespace zel
