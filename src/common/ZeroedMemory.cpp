#include "common/ZeroedMemory.h"

#include <cstdint>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEL_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZEL_ADDRESS_SANITIZER 1
#endif

// Under AddressSanitizer every block comes from calloc, so that reads and writes past a histogram's bins are
// caught; blocks carved from one mapping would hide them.
#if defined(__unix__) && !defined(ZEL_ADDRESS_SANITIZER)
#define ZEL_ZERO_PAGES 1
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#endif

namespace zel {

#if ZEL_ZERO_PAGES
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Blocks below this size come from calloc: they are few and small.
constexpr size_t kSmallBlock = size_t{64} << 10;
// Large blocks are carved one after another from mappings of this size; a mapping only reserves address space.
constexpr size_t kMappingBytes = size_t{64} << 20;
constexpr size_t kBlockAlignment = 64;

size_t roundUp(size_t bytes, size_t unit) { return (bytes + unit - 1) / unit * unit; }

// A mapping of zero pages aligned to the huge-page size, laid out in huge pages or in small ones, or nullptr.
char* mapZeroPages(size_t bytes, Filling filling) {
    void* space = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                       -1, 0);
    if (space == MAP_FAILED) return nullptr;
    char* start = static_cast<char*>(space);
    char* aligned = reinterpret_cast<char*>(roundUp(reinterpret_cast<uintptr_t>(start), kHugePage));
    if (aligned > start) munmap(start, static_cast<size_t>(aligned - start));
    char* end = start + bytes + kHugePage;
    if (end > aligned + bytes) munmap(aligned + bytes, static_cast<size_t>(end - (aligned + bytes)));
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
    madvise(aligned, bytes, filling == Filling::Dense ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
#endif
    return aligned;
}

// The mappings in use. Blocks are carved one after another from the current mapping and never twice from the same
// place: a block given back stays dirty. A mapping goes back to the system when its last block is given back.
class ZeroPageArena {
public:
    explicit ZeroPageArena(Filling filling) : filling_(filling) {}

    void* allocate(size_t bytes) {
        bytes = roundUp(bytes, kBlockAlignment);
        std::lock_guard lock(mutex_);
        others_.reserve(others_.size() + 1);  // so that nothing throws once a mapping is made
        if (bytes > kMappingBytes / 4) {
            others_.push_back(map(roundUp(bytes, kHugePage)));
            return carve(others_.back(), bytes);
        }
        if (current_.size - current_.used < bytes) {
            Mapping next = map(kMappingBytes);
            if (current_.blocks > 0) others_.push_back(current_);
            else if (current_.start != nullptr) munmap(current_.start, current_.size);
            current_ = next;
        }
        return carve(current_, bytes);
    }

    void release(void* block) noexcept {
        std::lock_guard lock(mutex_);
        if (current_.holds(block)) {
            if (--current_.blocks == 0) {
                munmap(current_.start, current_.size);
                current_ = Mapping{};
            }
            return;
        }
        const auto mapping =
            std::find_if(others_.begin(), others_.end(), [&](const Mapping& m) { return m.holds(block); });
        if (mapping == others_.end() || --mapping->blocks > 0) return;
        munmap(mapping->start, mapping->size);
        others_.erase(mapping);
    }

private:
    struct Mapping {
        char* start = nullptr;
        size_t size = 0;
        size_t used = 0;
        size_t blocks = 0;
        bool holds(const void* block) const {
            return static_cast<const char*>(block) >= start && static_cast<const char*>(block) < start + size;
        }
    };

    Mapping map(size_t bytes) const {
        char* start = mapZeroPages(bytes, filling_);
        if (start == nullptr) throw std::bad_alloc();
        return Mapping{start, bytes, 0, 0};
    }

    static void* carve(Mapping& mapping, size_t bytes) {
        void* block = mapping.start + mapping.used;
        mapping.used += bytes;
        ++mapping.blocks;
        return block;
    }

    const Filling filling_;
    std::mutex mutex_;
    Mapping current_;
    std::vector<Mapping> others_;  // full mappings and the own mappings of very large blocks
};

// One arena per filling. Never destroyed: histograms in static storage may give their blocks back while the
// program exits.
ZeroPageArena& arena(Filling filling) {
    static ZeroPageArena& sparse = *new ZeroPageArena(Filling::Sparse);
    static ZeroPageArena& dense = *new ZeroPageArena(Filling::Dense);
    return filling == Filling::Dense ? dense : sparse;
}

}  // namespace
#endif

#if ZEL_ZERO_PAGES && defined(__linux__)
namespace {

// The system's record of the process's pages, kept open for the process, or -1. It is trusted only when it shows a
// page in use (this function's own stack) as present: a record that tells nothing would hide written bins.
int pageRecord() {
    static const int record = [] {
        const int fd = ::open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
        if (fd < 0) return -1;
        volatile char inUse = 1;
        const auto pageBytes = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        const uintptr_t page = reinterpret_cast<uintptr_t>(&inUse) / pageBytes;
        uint64_t entry = 0;
        const bool present = ::pread(fd, &entry, sizeof entry, static_cast<off_t>(page * sizeof entry)) ==
                                 static_cast<ssize_t>(sizeof entry) &&
                             (entry >> 63) != 0 && inUse == 1;
        if (present) return fd;
        ::close(fd);
        return -1;
    }();
    return record;
}

}  // namespace
#endif

WrittenPages::WrittenPages([[maybe_unused]] const void* block, [[maybe_unused]] size_t bytes) {
#if ZEL_ZERO_PAGES && defined(__linux__)
    if (block == nullptr || bytes < kSmallBlock) return;
    const int pagemap = pageRecord();
    static const size_t pageBytes = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    if (pagemap < 0) return;
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    const size_t firstPage = start / pageBytes;
    const size_t pages = (start + bytes - 1) / pageBytes - firstPage + 1;
    // One 64-bit entry per page: bit 63 present, bit 62 swapped out.
    std::vector<uint64_t> entries(pages);
    const size_t wanted = pages * sizeof(uint64_t);
    const ssize_t read = ::pread(pagemap, entries.data(), wanted, static_cast<off_t>(firstPage * sizeof(uint64_t)));
    if (read != static_cast<ssize_t>(wanted)) return;
    written_.resize(pages);
    for (size_t p = 0; p < pages; ++p) written_[p] = (entries[p] >> 62) != 0 ? 1 : 0;
    offset_ = start % pageBytes;
    pageBytes_ = pageBytes;
#endif
}

void* allocateZeroed(size_t bytes, [[maybe_unused]] Filling filling) {
#if ZEL_ZERO_PAGES
    if (bytes >= kSmallBlock) return arena(filling).allocate(bytes);
#endif
    void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void releaseZeroed(void* block, [[maybe_unused]] size_t bytes, [[maybe_unused]] Filling filling) noexcept {
    if (block == nullptr) return;
#if ZEL_ZERO_PAGES
    if (bytes >= kSmallBlock) {
        arena(filling).release(block);
        return;
    }
#endif
    std::free(block);
}

void addRemainder(ZeroedDoubles& to, const ZeroedDoubles& total, std::span<const ZeroedDoubles* const> parts) {
    const size_t size = total.size();
    if (to.size() != size) return;
    const WrittenPages totalPages(total.data(), size * sizeof(double));
    std::vector<double> remainder(size);
    totalPages.forEachRun(0, size, sizeof(double), [&](size_t first, size_t last) {
        std::copy(total.data() + first, total.data() + last, remainder.data() + first);
    });
    for (const ZeroedDoubles* part : parts) {
        if (part->size() != size) continue;
        const double* const from = part->data();
        WrittenPages(from, size * sizeof(double)).forEachRun(0, size, sizeof(double), [&](size_t first, size_t last) {
            for (size_t i = first; i < last; ++i) remainder[i] -= from[i];
        });
    }
    totalPages.forEachRun(0, size, sizeof(double), [&](size_t first, size_t last) {
        for (size_t i = first; i < last; ++i) {
            if (remainder[i] != 0.0) to[i] += remainder[i];
        }
    });
}

}  // namespace zel
