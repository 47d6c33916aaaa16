#pragma once
// Clusters of one frame of a cluster log held back: to check the frame's occupancy before any goes out, or to write
// clusters with times of arrival in time order when the log lists them otherwise.
#include <algorithm>
#include <span>
#include <vector>

#include "Pixel.h"

namespace zel::clusterer {

class HeldClusters {
public:
    void add(std::span<const Pixel> pixels, double time) {
        entries_.push_back(Entry{time, pixels_.size(), pixels.size()});
        pixels_.insert(pixels_.end(), pixels.begin(), pixels.end());
    }

    size_t pixelCount() const { return pixels_.size(); }
    bool empty() const { return entries_.empty(); }

    // Hands every held cluster to `emit` (in time order when `byTime`) and forgets them.
    template <typename Emit>
    void releaseAll(bool byTime, Emit&& emit) {
        if (byTime) sortByTime();
        for (const Entry& e : entries_) emit(std::span<const Pixel>(pixels_.data() + e.begin, e.size));
        clear();
    }

    // Hands on the earliest clusters holding about half of the pixels and keeps the rest: a frame too large to be
    // held whole goes out in time order as far as its disorder is smaller than what is held.
    template <typename Emit>
    void releaseEarlierHalf(Emit&& emit) {
        sortByTime();
        size_t released = 0, count = 0;
        while (count < entries_.size() && released < pixels_.size() / 2) {
            const Entry& e = entries_[count++];
            emit(std::span<const Pixel>(pixels_.data() + e.begin, e.size));
            released += e.size;
        }
        kept_.clear();
        std::vector<Entry> rest;
        rest.reserve(entries_.size() - count);
        for (size_t i = count; i < entries_.size(); ++i) {
            const Entry& e = entries_[i];
            rest.push_back(Entry{e.time, kept_.size(), e.size});
            kept_.insert(kept_.end(), pixels_.begin() + static_cast<std::ptrdiff_t>(e.begin),
                         pixels_.begin() + static_cast<std::ptrdiff_t>(e.begin + e.size));
        }
        pixels_.swap(kept_);
        entries_.swap(rest);
    }

    void clear() {
        pixels_.clear();
        entries_.clear();
    }

private:
    struct Entry {
        double time;
        size_t begin;
        size_t size;
    };

    void sortByTime() {
        std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.time < b.time; });
    }

    std::vector<Pixel> pixels_;
    std::vector<Pixel> kept_;
    std::vector<Entry> entries_;
};

}  // namespace zel::clusterer
