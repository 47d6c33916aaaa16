#pragma once
// The variables of a saved model: the index (a sorted table of tensor names and where each tensor lies) and the
// single data file holding the raw little-endian tensors. Tensors are read by name, with their checksum checked.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "pid/network/NetworkStatus.h"

namespace zel {

struct TensorEntry {
    int dtype = 0;
    std::vector<int64_t> shape;
    int shard = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint32_t maskedCrc = 0;
    bool sliced = false;
};

struct FloatTensor {
    std::vector<int64_t> shape;
    std::vector<float> values;
};

class TensorBundle {
public:
    // Reads the index and the data file below the model directory (which ends with a separator).
    NetworkStatus open(const std::string& modelDirectory);

    const std::map<std::string, TensorEntry>& entries() const { return entries_; }
    bool contains(const std::string& name) const { return entries_.count(name) != 0; }

    // A float tensor by name: NotFound when absent, InvalidArgument for another type, DataLoss when its bytes lie
    // beyond the data file or fail their checksum.
    NetworkStatus readFloats(const std::string& name, FloatTensor& tensor) const;

private:
    std::map<std::string, TensorEntry> entries_;
    std::string data_;
    std::string dataPath_;
};

// Decodes one index value; false when it is damaged.
bool parseTensorEntry(std::string_view bytes, TensorEntry& entry);

}  // namespace zel
