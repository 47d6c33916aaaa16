#include "FrameClusterer.h"

namespace zel::clusterer {

FrameClusterer::FrameClusterer(int width, int height)
    : width_(width), height_(height), cellToPixel_(static_cast<size_t>(width) * static_cast<size_t>(height), -1) {}

void FrameClusterer::cluster(std::span<const Pixel> pixels) {
    auto cell = [this](int x, int y) { return static_cast<size_t>(y) * static_cast<size_t>(width_) + x; };
    grouped_.clear();
    offsets_.clear();
    offsets_.push_back(0);
    visited_.assign(pixels.size(), 0);
    for (size_t i = 0; i < pixels.size(); ++i) cellToPixel_[cell(pixels[i].x, pixels[i].y)] = static_cast<int32_t>(i);

    for (size_t seed = 0; seed < pixels.size(); ++seed) {
        if (visited_[seed]) continue;
        visited_[seed] = 1;
        stack_.assign(1, static_cast<int32_t>(seed));
        while (!stack_.empty()) {
            const Pixel& p = pixels[static_cast<size_t>(stack_.back())];
            stack_.pop_back();
            grouped_.push_back(p);
            for (int dy = -1; dy <= 1; ++dy) {
                int y = p.y + dy;
                if (y < 0 || y >= height_) continue;
                for (int dx = -1; dx <= 1; ++dx) {
                    int x = p.x + dx;
                    if (x < 0 || x >= width_) continue;
                    int32_t j = cellToPixel_[cell(x, y)];
                    if (j < 0 || visited_[static_cast<size_t>(j)]) continue;
                    visited_[static_cast<size_t>(j)] = 1;
                    stack_.push_back(j);
                }
            }
        }
        offsets_.push_back(grouped_.size());
    }
    for (const Pixel& p : pixels) cellToPixel_[cell(p.x, p.y)] = -1;
}

}  // namespace zel::clusterer
