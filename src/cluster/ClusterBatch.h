#pragma once
// A batch of clusters: rows of doubles of one width, stored flat so that a batch is one allocation that is
// reused from batch to batch. Column i of a row is the variable named by entry i of the engine's name list.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace zel {

class ClusterBatch {
public:
    ClusterBatch() = default;
    explicit ClusterBatch(size_t width) : width_(width) {}
    ClusterBatch(const ClusterBatch& other) { *this = other; }
    ClusterBatch& operator=(const ClusterBatch& other) {
        if (this == &other) return *this;
        width_ = other.width_;
        rows_ = 0;
        ensureCapacity(other.rows_ * other.width_);
        std::copy_n(other.values_.get(), other.rows_ * other.width_, values_.get());
        rows_ = other.rows_;
        return *this;
    }
    ClusterBatch(ClusterBatch&&) noexcept = default;
    ClusterBatch& operator=(ClusterBatch&&) noexcept = default;

    size_t size() const { return rows_; }
    size_t width() const { return width_; }
    bool empty() const { return rows_ == 0; }

    std::span<double> row(size_t i) { return {values_.get() + i * width_, width_}; }
    std::span<const double> row(size_t i) const { return {values_.get() + i * width_, width_}; }
    double& at(size_t rowIndex, size_t column) { return values_[rowIndex * width_ + column]; }
    double at(size_t rowIndex, size_t column) const { return values_[rowIndex * width_ + column]; }

    // Drops all rows and sets the width; the storage is kept for the next batch.
    void reset(size_t width) {
        width_ = width;
        rows_ = 0;
    }
    void clear() { rows_ = 0; }

    // Makes room for `rows` rows of the current width. The memory is not touched until rows are written, so a
    // large reservation costs nothing for a small input.
    void reserveRows(size_t rows) { ensureCapacity(rows * width_); }

    // Appends one row and returns it for filling: columns from `zeroFrom` on are zeros, the ones before it are
    // left for the caller to write.
    std::span<double> appendRow(size_t zeroFrom = 0) {
        const size_t need = (rows_ + 1) * width_;
        if (capacity_ < need) ensureCapacity(std::max(need, capacity_ * 2));
        std::span<double> fresh{values_.get() + rows_ * width_, width_};
        if (zeroFrom < width_) std::fill(fresh.begin() + static_cast<std::ptrdiff_t>(zeroFrom), fresh.end(), 0.0);
        ++rows_;
        return fresh;
    }

    // Forgets the last appended row (a line that turned out to be unusable).
    void dropLastRow() {
        if (rows_ > 0) --rows_;
    }

    // Appends zero columns to every row so that each row has `newWidth` values.
    void widen(size_t newWidth) {
        if (newWidth <= width_) return;
        ensureCapacity(rows_ * newWidth);
        for (size_t r = rows_; r-- > 0;) {
            for (size_t c = newWidth; c-- > width_;) values_[r * newWidth + c] = 0.0;
            for (size_t c = width_; c-- > 0;) values_[r * newWidth + c] = values_[r * width_ + c];
        }
        width_ = newWidth;
    }

    // Rows handed over by a host; the width is that of the longest row, shorter rows are padded with zeros.
    static ClusterBatch fromRows(const std::vector<std::vector<double>>& rows) {
        size_t width = 0;
        for (const auto& r : rows) width = std::max(width, r.size());
        ClusterBatch batch(width);
        batch.reserveRows(rows.size());
        for (const auto& r : rows) std::copy(r.begin(), r.end(), batch.appendRow().begin());
        return batch;
    }

private:
    struct Release {
        void operator()(double* values) const;
    };
    using Storage = std::unique_ptr<double[], Release>;
    // Uninitialised storage for `values` doubles; large blocks ask for huge pages, so that filling a batch of a
    // million rows the first time costs few page faults.
    static Storage allocate(size_t values);

    // Grows the storage to at least `values` doubles, keeping the rows held.
    void ensureCapacity(size_t values) {
        if (values <= capacity_) return;
        Storage grown = allocate(values);  // left uninitialised: rows are written before use
        if (values_) std::copy_n(values_.get(), rows_ * width_, grown.get());
        values_ = std::move(grown);
        capacity_ = values;
    }

    Storage values_;
    size_t capacity_ = 0;
    size_t width_ = 0;
    size_t rows_ = 0;
};

}  // namespace zel
