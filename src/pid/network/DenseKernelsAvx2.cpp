// The AVX2/FMA variant of the inference loop, chosen only on processors that have those instructions. This file
// alone is compiled with them enabled, and the matrix library's names are moved into a namespace of their own
// here, so that the linker cannot take one of its AVX2 functions for the baseline twin in DenseKernels.cpp.
#include "pid/network/DenseKernels.h"

#if defined(__AVX2__) && defined(__FMA__)

#define Eigen ZelEigenAvx2Fma
#define ZEL_INFERENCE_FUNCTION inferAvx2Fma
namespace zel {
void inferAvx2Fma(const InferenceStep* steps, size_t count, const float* input, size_t rows, float* output,
                  float* scratch0, float* scratch1);
}
#include "pid/network/DenseKernels.inc"

namespace zel {
InferenceFunction avx2FmaInference() { return &inferAvx2Fma; }
}  // namespace zel

#else

namespace zel {
InferenceFunction avx2FmaInference() { return nullptr; }
}  // namespace zel

#endif
