#include "cluster/ClusterBatch.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace zel {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

void ClusterBatch::Release::operator()(double* values) const { std::free(values); }

ClusterBatch::Storage ClusterBatch::allocate(size_t values) {
    const size_t bytes = values * sizeof(double);
    void* block = nullptr;
    if (bytes >= 2 * kHugePage) {
        const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        block = std::aligned_alloc(kHugePage, rounded);
#ifdef MADV_HUGEPAGE
        if (block != nullptr) ::madvise(block, rounded, MADV_HUGEPAGE);
#endif
    } else {
        block = std::malloc(bytes > 0 ? bytes : sizeof(double));
    }
    if (block == nullptr) throw std::bad_alloc();
    return Storage(static_cast<double*>(block));
}

}  // namespace zel
