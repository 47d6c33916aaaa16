#pragma once
// A batch of clusters: rows of doubles of one width, stored flat so that a batch is one allocation that is
// reused from batch to batch. Column i of a row is the variable named by entry i of the engine's name list.
#include <cstddef>
#include <span>
#include <vector>

namespace zel {

class ClusterBatch {
public:
    ClusterBatch() = default;
    explicit ClusterBatch(size_t width) : width_(width) {}

    size_t size() const { return rows_; }
    size_t width() const { return width_; }
    bool empty() const { return rows_ == 0; }

    std::span<double> row(size_t i) { return {values_.data() + i * width_, width_}; }
    std::span<const double> row(size_t i) const { return {values_.data() + i * width_, width_}; }
    double& at(size_t rowIndex, size_t column) { return values_[rowIndex * width_ + column]; }
    double at(size_t rowIndex, size_t column) const { return values_[rowIndex * width_ + column]; }

    // Drops all rows and sets the width; the storage is kept for the next batch.
    void reset(size_t width) {
        width_ = width;
        rows_ = 0;
    }
    void clear() { rows_ = 0; }
    void reserveRows(size_t rows) { values_.reserve(rows * width_); }

    // Appends one row of zeros and returns it for filling.
    std::span<double> appendRow() {
        size_t need = (rows_ + 1) * width_;
        if (values_.size() < need) values_.resize(need);
        std::span<double> fresh{values_.data() + rows_ * width_, width_};
        for (double& v : fresh) v = 0.0;
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
        values_.resize(rows_ * newWidth);
        for (size_t r = rows_; r-- > 0;) {
            for (size_t c = newWidth; c-- > width_;) values_[r * newWidth + c] = 0.0;
            for (size_t c = width_; c-- > 0;) values_[r * newWidth + c] = values_[r * width_ + c];
        }
        width_ = newWidth;
    }

    // Rows handed over by a host; the width is that of the longest row, shorter rows are padded with zeros.
    static ClusterBatch fromRows(const std::vector<std::vector<double>>& rows) {
        size_t width = 0;
        for (const auto& r : rows) width = r.size() > width ? r.size() : width;
        ClusterBatch batch(width);
        batch.reserveRows(rows.size());
        for (const auto& r : rows) {
            auto out = batch.appendRow();
            for (size_t c = 0; c < r.size(); ++c) out[c] = r[c];
        }
        return batch;
    }

private:
    std::vector<double> values_;
    size_t width_ = 0;
    size_t rows_ = 0;
};

}  // namespace zel
