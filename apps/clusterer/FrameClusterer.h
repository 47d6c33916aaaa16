#pragma once
// Clustering of one frame: 8-connected groups of hit pixels.
#include <cstdint>
#include <span>
#include <vector>

#include "Pixel.h"

namespace zel::clusterer {

class FrameClusterer {
public:
    FrameClusterer(int width, int height);

    // Groups the pixels of one frame (positions inside the matrix, each position at most once). Clusters come in
    // the order of their first pixel in `pixels`.
    void cluster(std::span<const Pixel> pixels);

    size_t clusterCount() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    std::span<const Pixel> clusterPixels(size_t k) const {
        return {grouped_.data() + offsets_[k], offsets_[k + 1] - offsets_[k]};
    }

private:
    int width_;
    int height_;
    std::vector<int32_t> cellToPixel_;  // -1 where no pixel of the current frame lies
    std::vector<uint8_t> visited_;
    std::vector<int32_t> stack_;
    std::vector<Pixel> grouped_;
    std::vector<size_t> offsets_;
};

}  // namespace zel::clusterer
