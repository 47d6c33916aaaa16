#pragma once
// Memory for large arrays that start as zeros and are mostly left alone: the bins of histograms and maps, of which
// a run with particle classes lays out some hundred megabytes while filling only a small part.
//
// Large blocks come from address space that the system maps to zero pages: a page is backed only when something
// is written to it, and on Linux the space is laid out in huge pages, so that both the first write and a read of
// an untouched part cost one fault per two megabytes instead of one per four kilobytes. Small blocks come from
// calloc. Either way a new block is all zeros, so a vector with ZeroedAllocator made at its size does not write
// its zeros again; ZeroedAllocator checks each element it value-initialises and writes only where the memory is
// not zero (a vector that grows back into capacity it used before).
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace zel {

// A block of `bytes` zero bytes, aligned for any scalar; throws std::bad_alloc when the system has no memory.
void* allocateZeroed(size_t bytes);
// Gives back a block of allocateZeroed with the same size.
void releaseZeroed(void* block, size_t bytes) noexcept;

template <class T>
class ZeroedAllocator {
    static_assert(std::is_arithmetic_v<T>, "blocks of zero bytes are zeros only for arithmetic types");

public:
    using value_type = T;

    ZeroedAllocator() noexcept = default;
    template <class U>
    ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}

    T* allocate(size_t count) {
        if (count > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocateZeroed(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count) noexcept { releaseZeroed(block, count * sizeof(T)); }

    // Value-initialisation: fresh memory already holds the zeros.
    template <class U>
    void construct(U* element) noexcept {
        static constexpr U kZero{};  // all bytes zero for an arithmetic type
        if (std::memcmp(element, &kZero, sizeof(U)) != 0) ::new (static_cast<void*>(element)) U();
    }
    template <class U, class... Args>
    void construct(U* element, Args&&... args) {
        ::new (static_cast<void*>(element)) U(std::forward<Args>(args)...);
    }

    template <class U>
    bool operator==(const ZeroedAllocator<U>&) const noexcept { return true; }
};

// Bin contents and edges of histograms.
using ZeroedDoubles = std::vector<double, ZeroedAllocator<double>>;

}  // namespace zel
