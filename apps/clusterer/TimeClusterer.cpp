#include "TimeClusterer.h"

#include <algorithm>

namespace zel::clusterer {
namespace {

bool earlier(const Pixel& a, const Pixel& b) { return a.time < b.time; }

// Insertion sort for the nearly ordered stream; gives up (false) when the disorder would make it slow.
bool insertionSort(std::vector<Pixel>& pixels) {
    size_t budget = 64 * pixels.size() + 64;
    for (size_t i = 1; i < pixels.size(); ++i) {
        if (!(pixels[i].time < pixels[i - 1].time)) continue;
        Pixel moving = pixels[i];
        size_t j = i;
        while (j > 0 && moving.time < pixels[j - 1].time) {
            pixels[j] = pixels[j - 1];
            --j;
            if (--budget == 0) {
                pixels[j] = moving;
                return false;
            }
        }
        pixels[j] = moving;
    }
    return true;
}

}  // namespace

TimeClusterer::TimeClusterer(int width, int height, double window, double sortMargin, Sink sink)
    : width_(width),
      height_(height),
      window_(window),
      sortMargin_(sortMargin),
      sink_(std::move(sink)),
      cells_(static_cast<size_t>(width + 2) * static_cast<size_t>(height + 2), -1) {}

void TimeClusterer::sortPending() {
    if (!insertionSort(pending_)) std::stable_sort(pending_.begin(), pending_.end(), earlier);
}

void TimeClusterer::addPixels(std::span<const Pixel> pixels) {
    size_t before = pending_.size();
    pending_.insert(pending_.end(), pixels.begin(), pixels.end());
    acceptIntake(before);
}

void TimeClusterer::acceptIntake(size_t before) {
    if (pending_.size() == before) return;
    for (size_t i = before; i < pending_.size(); ++i) {
        if (!anySeen_ || pending_[i].time > newestTime_) newestTime_ = pending_[i].time;
        anySeen_ = true;
    }
    held_ += pending_.size() - before;
    peakHeld_ = std::max(peakHeld_, held_);
    sortPending();
    // Only pixels older than the newest one by the margin are final in their order.
    double ready = newestTime_ - sortMargin_;
    auto stop = std::upper_bound(pending_.begin(), pending_.end(), ready,
                                 [](double time, const Pixel& p) { return time < p.time; });
    for (auto it = pending_.begin(); it != stop; ++it) {
        --held_;
        process(*it);
    }
    pending_.erase(pending_.begin(), stop);
}

void TimeClusterer::finish() {
    sortPending();
    for (const Pixel& p : pending_) {
        --held_;
        process(p);
    }
    pending_.clear();
    while (!openOrder_.empty()) {
        QueueEntry entry = openOrder_.front();
        openOrder_.pop_front();
        if (slots_[static_cast<size_t>(entry.slot)].serial == entry.serial) close(entry.slot);
    }
}

void TimeClusterer::process(const Pixel& pixel) {
    if (anyProcessed_ && pixel.time < processedTime_) ++latePixels_;
    if (!anyProcessed_ || pixel.time > processedTime_) processedTime_ = pixel.time;
    anyProcessed_ = true;
    closeBefore(processedTime_ - window_);

    // Open clusters next to the pixel (or at its place) that can still take it.
    int32_t found[9];
    int count = 0;
    const size_t stride = static_cast<size_t>(width_) + 2;
    const size_t centre = cellOf(pixel.x, pixel.y);
    for (size_t row = centre - stride - 1; row <= centre + stride - 1; row += stride) {
        for (size_t cell = row; cell < row + 3; ++cell) {
            int32_t slot = cells_[cell];
            if (slot < 0) continue;
            double start = slots_[static_cast<size_t>(slot)].start;
            if (pixel.time - start > window_ || start - pixel.time > window_) continue;
            bool known = false;
            for (int k = 0; k < count; ++k) known = known || found[k] == slot;
            if (!known) found[count++] = slot;
        }
    }
    int32_t target;
    if (count == 0) {
        target = newCluster(pixel.time);
    } else {
        // Several clusters meet at this pixel: all go into the oldest, which keeps its place in the open order.
        target = found[0];
        for (int k = 1; k < count; ++k) {
            if (slots_[static_cast<size_t>(found[k])].serial < slots_[static_cast<size_t>(target)].serial) {
                target = found[k];
            }
        }
        for (int k = 0; k < count; ++k) {
            if (found[k] != target) merge(target, found[k]);
        }
    }
    append(target, pixel);
    cells_[centre] = target;
}

void TimeClusterer::closeBefore(double time) {
    while (!openOrder_.empty()) {
        QueueEntry entry = openOrder_.front();
        const OpenCluster& cluster = slots_[static_cast<size_t>(entry.slot)];
        if (cluster.serial != entry.serial) {
            openOrder_.pop_front();  // merged into an older cluster
            continue;
        }
        if (!(cluster.start < time)) break;
        openOrder_.pop_front();
        close(entry.slot);
    }
}

void TimeClusterer::close(int32_t slot) {
    OpenCluster& cluster = slots_[static_cast<size_t>(slot)];
    emitted_.clear();
    for (int32_t node = cluster.head; node >= 0; node = nodes_[static_cast<size_t>(node)].next) {
        const Pixel& p = nodes_[static_cast<size_t>(node)].pixel;
        emitted_.push_back(p);
        // A position hit again later may belong to a newer cluster by now.
        int32_t& cell = cells_[cellOf(p.x, p.y)];
        if (cell == slot) cell = -1;
    }
    // The whole list goes back to the free nodes at once.
    nodes_[static_cast<size_t>(cluster.tail)].next = freeNodes_;
    freeNodes_ = cluster.head;
    held_ -= static_cast<size_t>(cluster.count);
    cluster = OpenCluster{};
    freeSlots_.push_back(slot);
    sink_(std::span<const Pixel>(emitted_));
}

int32_t TimeClusterer::newCluster(double start) {
    int32_t slot;
    if (!freeSlots_.empty()) {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        slot = static_cast<int32_t>(slots_.size());
        slots_.emplace_back();
    }
    OpenCluster& cluster = slots_[static_cast<size_t>(slot)];
    cluster.serial = nextSerial_++;
    cluster.start = start;
    openOrder_.push_back(QueueEntry{slot, cluster.serial});
    return slot;
}

int32_t TimeClusterer::newNode(const Pixel& pixel) {
    int32_t node;
    if (freeNodes_ >= 0) {
        node = freeNodes_;
        freeNodes_ = nodes_[static_cast<size_t>(node)].next;
        nodes_[static_cast<size_t>(node)] = Node{pixel, -1};
    } else {
        node = static_cast<int32_t>(nodes_.size());
        nodes_.push_back(Node{pixel, -1});
    }
    return node;
}

void TimeClusterer::append(int32_t slot, const Pixel& pixel) {
    int32_t node = newNode(pixel);
    OpenCluster& cluster = slots_[static_cast<size_t>(slot)];
    if (cluster.tail >= 0) nodes_[static_cast<size_t>(cluster.tail)].next = node;
    else cluster.head = node;
    cluster.tail = node;
    ++cluster.count;
    cluster.start = std::min(cluster.start, pixel.time);
    ++held_;
    peakHeld_ = std::max(peakHeld_, held_);
}

void TimeClusterer::merge(int32_t into, int32_t from) {
    OpenCluster& target = slots_[static_cast<size_t>(into)];
    OpenCluster& source = slots_[static_cast<size_t>(from)];
    // Positions held by the merged cluster now belong to the target.
    for (int32_t node = source.head; node >= 0; node = nodes_[static_cast<size_t>(node)].next) {
        const Pixel& p = nodes_[static_cast<size_t>(node)].pixel;
        int32_t& cell = cells_[cellOf(p.x, p.y)];
        if (cell == from) cell = into;
    }
    nodes_[static_cast<size_t>(target.tail)].next = source.head;
    target.tail = source.tail;
    target.count += source.count;
    target.start = std::min(target.start, source.start);
    source = OpenCluster{};
    freeSlots_.push_back(from);
}

}  // namespace zel::clusterer
