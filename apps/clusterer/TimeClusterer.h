#pragma once
// Streaming clustering of Timepix3 pixels: a pixel joins the cluster of an 8-neighbour (or of its own position)
// when its time lies within the time window of that cluster's first pixel. Pixels are put in time order within a
// sort margin; a cluster is closed and handed on as soon as the stream has passed its window, so the memory held
// is bounded by the pixels of one window plus the margin, whatever the file size.
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include "Pixel.h"

namespace zel::clusterer {

class TimeClusterer {
public:
    using Sink = std::function<void(std::span<const Pixel>)>;

    // `window` and `sortMargin` in ns; `sink` receives every closed cluster, in the order of their first pixel.
    TimeClusterer(int width, int height, double window, double sortMargin, Sink sink);

    // Takes the next pixels of the stream (positions inside the matrix).
    void addPixels(std::span<const Pixel> pixels);
    // The same without a copy: a reader appends pixels to intake() directly, then calls acceptIntake with the
    // size intake() had before.
    std::vector<Pixel>& intake() { return pending_; }
    void acceptIntake(size_t before);
    // Processes what is left and closes every open cluster.
    void finish();

    // Pixels that arrived later than the sort margin allowed and were processed out of time order (still
    // clustered, possibly apart from their cluster).
    long long latePixels() const { return latePixels_; }
    // Largest number of pixels held at once (waiting for sorting or in open clusters).
    size_t peakHeldPixels() const { return peakHeld_; }

private:
    struct Node {
        Pixel pixel;
        int32_t next;
    };
    struct OpenCluster {
        uint64_t serial = 0;  // 0: slot unused
        double start = 0.0;
        int32_t head = -1;
        int32_t tail = -1;
        int32_t count = 0;
    };
    struct QueueEntry {
        int32_t slot;
        uint64_t serial;
    };

    void sortPending();
    void process(const Pixel& pixel);
    void closeBefore(double time);
    void close(int32_t slot);
    int32_t newCluster(double start);
    int32_t newNode(const Pixel& pixel);
    void append(int32_t slot, const Pixel& pixel);
    void merge(int32_t into, int32_t from);
    size_t cellOf(int x, int y) const {
        return static_cast<size_t>(y + 1) * static_cast<size_t>(width_ + 2) + static_cast<size_t>(x + 1);
    }

    int width_;
    int height_;
    double window_;
    double sortMargin_;
    Sink sink_;

    std::vector<Pixel> pending_;       // read but not yet processed, waiting for the sort margin
    double newestTime_ = 0.0;          // newest time seen in the stream
    double processedTime_ = 0.0;       // newest time processed
    bool anyProcessed_ = false;
    bool anySeen_ = false;

    // Open cluster holding a pixel at each matrix position (-1: none), with a frame of empty cells around the
    // matrix so that neighbours need no bounds checks. Cells are cleared when their cluster closes, so one int
    // per cell is enough and the whole matrix stays in the cache.
    std::vector<int32_t> cells_;
    std::vector<OpenCluster> slots_;
    std::vector<int32_t> freeSlots_;
    std::vector<Node> nodes_;
    int32_t freeNodes_ = -1;
    std::deque<QueueEntry> openOrder_; // open clusters in creation order
    uint64_t nextSerial_ = 1;  // creation order of the open clusters; only compared among open ones
    std::vector<Pixel> emitted_;

    long long latePixels_ = 0;
    size_t held_ = 0;
    size_t peakHeld_ = 0;
};

}  // namespace zel::clusterer
