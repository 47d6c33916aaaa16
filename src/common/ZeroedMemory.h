#pragma once
// Memory for large arrays that start as zeros and are mostly left alone: the bins of histograms and maps, of which
// a run with particle classes lays out some hundred megabytes while filling only a small part.
//
// Large blocks come from address space that the system maps to zero pages: a page is backed only when something
// is written to it, and on Linux the space is laid out in huge pages, so that both the first write and a read of
// an untouched part cost one fault per two megabytes instead of one per four kilobytes. Small blocks come from
// calloc. Either way a new block is all zeros, and ZeroedArray hands it out without touching it: reading an
// untouched page costs as much as writing it on some systems, which back even a read with a page of their own.
#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace zel {

// A block of `bytes` zero bytes, aligned for any scalar; throws std::bad_alloc when the system has no memory.
void* allocateZeroed(size_t bytes);
// Gives back a block of allocateZeroed with the same size.
void releaseZeroed(void* block, size_t bytes) noexcept;

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
    explicit ZeroedArray(size_t count) : data_(allocateArray(count)), size_(count) {}
    template <std::input_iterator InputIt>
    ZeroedArray(InputIt first, InputIt last) {
        assign(first, last);
    }
    ZeroedArray(std::initializer_list<T> values) : ZeroedArray(values.begin(), values.end()) {}
    ZeroedArray(const ZeroedArray& other) : ZeroedArray(other.begin(), other.end()) {}
    ZeroedArray(ZeroedArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    ZeroedArray& operator=(ZeroedArray other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }
    ~ZeroedArray() { releaseZeroed(data_, size_ * sizeof(T)); }

    // Replaces the elements by those of [first, last).
    template <std::input_iterator InputIt>
    void assign(InputIt first, InputIt last) {
        if constexpr (std::forward_iterator<InputIt>) {
            ZeroedArray copy(static_cast<size_t>(std::distance(first, last)));
            std::copy(first, last, copy.data_);
            *this = std::move(copy);
        } else {
            const std::vector<T> values(first, last);
            assign(values.begin(), values.end());
        }
    }
    void clear() noexcept { *this = ZeroedArray(); }

    size_t size() const noexcept { return size_; }
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
    static T* allocateArray(size_t count) {
        if (count == 0) return nullptr;
        if (count > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocateZeroed(count * sizeof(T)));
    }

    T* data_ = nullptr;
    size_t size_ = 0;
};

// Bin contents of histograms and maps.
using ZeroedDoubles = ZeroedArray<double>;

}  // namespace zel
