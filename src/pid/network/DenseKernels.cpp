#include "pid/network/DenseKernels.h"

#define ZEL_INFERENCE_FUNCTION inferBaseline
#include "pid/network/DenseKernels.inc"

namespace zel {

InferenceFunction chooseInference() {
#if defined(__x86_64__) || defined(__i386__)
    if (avx2FmaInference() != nullptr && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return avx2FmaInference();
#endif
    return &inferBaseline;
}

}  // namespace zel
