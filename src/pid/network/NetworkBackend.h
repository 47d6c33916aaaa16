#pragma once
// What the classifier needs from whatever runs a saved network: load a model directory, tell the input and output
// widths, and run a block of rows. The backend built here runs the dense layers itself (EigenBackend); a backend on
// a machine-learning runtime library can take its place where that library exists.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pid/network/NetworkStatus.h"

namespace zel {

class NetworkBackend {
public:
    virtual ~NetworkBackend() = default;

    virtual std::string_view name() const = 0;

    // Loads the saved model in the directory (which ends with a separator), replacing any model loaded before.
    virtual NetworkStatus load(const std::string& modelDirectory) = 0;

    virtual size_t inputWidth() const = 0;
    virtual size_t outputWidth() const = 0;
    // True when the loaded model has the named graph operation as a serving input or output.
    virtual bool hasOperation(std::string_view operation) const = 0;

    // Runs `rows` rows of inputWidth() floats (row after row) and writes outputWidth() floats per row to `output`,
    // which has room for `rows` rows; `outputRows` receives the number of rows the network gave back.
    virtual NetworkStatus run(const float* input, size_t rows, float* output, size_t& outputRows) = 0;

    // Lines describing the loaded network.
    virtual std::vector<std::string> describe() const = 0;
};

// The backend of this build.
std::unique_ptr<NetworkBackend> makeNetworkBackend();

}  // namespace zel
