#pragma once
// Memory for large arrays that start as zeros and are mostly left alone: the bins of histograms and maps, of which
// a run with particle classes lays out some hundred megabytes while filling only a small part.
//
// Large blocks come from address space that the system maps to zero pages: a page is backed only when something
// is written to it. Arrays that fills reach all over (the sensor maps) are laid out in huge pages, one fault per
// two megabytes; the others in small pages, so that the few places a fill reaches back only their own four
// kilobytes, and readers pass over the pages never written (WrittenPages). Small blocks come from calloc. Either
// way a new block is all zeros, and ZeroedArray hands it out without touching it: reading an untouched page costs
// as much as writing it on some systems, which back even a read with a page of their own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <new>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace zel {

// How fills reach an array: at a few places (histograms), or all over (sensor maps).
enum class Filling : uint8_t { Sparse, Dense };

// A block of `bytes` zero bytes, aligned for any scalar; throws std::bad_alloc when the system has no memory.
void* allocateZeroed(size_t bytes, Filling filling = Filling::Sparse);
// Gives back a block of allocateZeroed with the same size and filling.
void releaseZeroed(void* block, size_t bytes, Filling filling = Filling::Sparse) noexcept;

// Which pages of a block have ever been written, so that readers pass over the others, which hold zeros: on some
// systems even a read backs a page. The system's own record of the process's pages tells (Linux: a page present
// or swapped out has been written); where it does not, and for blocks of calloc, every page counts as written.
class WrittenPages {
public:
    WrittenPages(const void* block, size_t bytes);

    // Calls run(a, b) for each run [a, b) of the elements first ... last - 1 (of `elementBytes` each, counted from
    // the block's start) that lie on written pages, in order.
    template <class Run>
    void forEachRun(size_t first, size_t last, size_t elementBytes, Run&& run) const {
        if (written_.empty()) {
            if (first < last) run(first, last);
            return;
        }
        auto pageOf = [&](size_t element) { return (offset_ + element * elementBytes) / pageBytes_; };
        // The first element on the page after `page`.
        auto firstAfter = [&](size_t page) {
            return ((page + 1) * pageBytes_ - offset_ + elementBytes - 1) / elementBytes;
        };
        size_t i = first;
        while (i < last) {
            size_t page = pageOf(i);
            if (written_[page] == 0) {
                i = firstAfter(page);
                continue;
            }
            while (page + 1 < written_.size() && written_[page + 1] != 0) ++page;
            const size_t end = std::min(last, firstAfter(page));
            run(i, end);
            i = end;
        }
    }

    // True when element `element` (of `elementBytes` each) lies on a written page: else it is zero, and reading
    // it would back its page.
    bool holds(size_t element, size_t elementBytes) const {
        if (written_.empty()) return true;
        const size_t page = (offset_ + element * elementBytes) / pageBytes_;
        return page < written_.size() && written_[page] != 0;
    }

private:
    size_t offset_ = 0;     // of the block's start within its first page
    size_t pageBytes_ = 1;
    std::vector<uint8_t> written_;  // per page from the block's first; empty when every page counts as written
};

// A fixed number of elements that start as zeros: made at its size, it neither writes nor reads its memory, so the
// pages no fill reaches are never backed. It does not grow; a new size is a new array.
template <class T>
class ZeroedArray {
    static_assert(std::is_arithmetic_v<T>, "blocks of zero bytes are zeros only for arithmetic types");

public:
    using value_type = T;
    using size_type = size_t;
    using reference = T&;
    using const_reference = const T&;
    using iterator = T*;
    using const_iterator = const T*;

    ZeroedArray() noexcept = default;
    explicit ZeroedArray(size_t count, Filling filling = Filling::Sparse)
        : data_(allocateArray(count, filling)), size_(count), filling_(filling) {}
    template <std::input_iterator InputIt>
    ZeroedArray(InputIt first, InputIt last) {
        assign(first, last);
    }
    ZeroedArray(std::initializer_list<T> values) : ZeroedArray(values.begin(), values.end()) {}
    ZeroedArray(const ZeroedArray& other) : filling_(other.filling_) { assign(other.begin(), other.end()); }
    ZeroedArray(ZeroedArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)), filling_(other.filling_) {}
    ZeroedArray& operator=(ZeroedArray other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(filling_, other.filling_);
        return *this;
    }
    ~ZeroedArray() { releaseZeroed(data_, size_ * sizeof(T), filling_); }

    // Replaces the elements by those of [first, last).
    template <std::input_iterator InputIt>
    void assign(InputIt first, InputIt last) {
        if constexpr (std::forward_iterator<InputIt>) {
            ZeroedArray copy(static_cast<size_t>(std::distance(first, last)), filling_);
            std::copy(first, last, copy.data_);
            *this = std::move(copy);
        } else {
            const std::vector<T> values(first, last);
            assign(values.begin(), values.end());
        }
    }
    void clear() noexcept { *this = ZeroedArray(); }

    size_t size() const noexcept { return size_; }
    Filling filling() const noexcept { return filling_; }
    bool empty() const noexcept { return size_ == 0; }
    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + size_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }
    T& operator[](size_t i) noexcept { return data_[i]; }
    const T& operator[](size_t i) const noexcept { return data_[i]; }
    T& front() noexcept { return data_[0]; }
    T& back() noexcept { return data_[size_ - 1]; }
    const T& front() const noexcept { return data_[0]; }
    const T& back() const noexcept { return data_[size_ - 1]; }

    friend bool operator==(const ZeroedArray& a, const ZeroedArray& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    static T* allocateArray(size_t count, Filling filling) {
        if (count == 0) return nullptr;
        if (count > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocateZeroed(count * sizeof(T), filling));
    }

    T* data_ = nullptr;
    size_t size_ = 0;
    Filling filling_ = Filling::Sparse;
};

// Bin contents of histograms and maps.
using ZeroedDoubles = ZeroedArray<double>;

// Adds to `to`, element by element, what `total` holds beyond the sum of `parts` (all of one size, `to` usually
// among the parts), reading only written pages: `total` must be non-zero wherever a part is. Meant for counts,
// whose differences are exact; `to` is written only where the remainder is not zero.
void addRemainder(ZeroedDoubles& to, const ZeroedDoubles& total, std::span<const ZeroedDoubles* const> parts);

}  // namespace zel
