#pragma once
// The inference loop of a dense network over a block of rows, as plain data so that it can be compiled once for
// the baseline instruction set and once for AVX2 with FMA, and chosen at run time.
#include <cstddef>

#include "pid/network/SavedModel.h"

namespace zel {

struct InferenceStep {
    LayerKind kind = LayerKind::Dense;
    Activation activation = Activation::Linear;
    size_t inputs = 0;
    size_t units = 0;
    const float* kernel = nullptr;  // Dense: [inputs, units] row-major
    const float* bias = nullptr;    // Dense (may be null), BatchNormalization: the shift
    const float* scale = nullptr;   // BatchNormalization
};

// Runs `count` steps over `rows` rows: `input` holds [rows, steps[0].inputs] and `output` receives [rows, last
// units], both row-major; `scratch0` and `scratch1` each hold rows * (widest step) floats. At least one step.
using InferenceFunction = void (*)(const InferenceStep* steps, size_t count, const float* input, size_t rows,
                                   float* output, float* scratch0, float* scratch1);

void inferBaseline(const InferenceStep* steps, size_t count, const float* input, size_t rows, float* output,
                   float* scratch0, float* scratch1);
// Null when this build has no AVX2 variant.
InferenceFunction avx2FmaInference();

// The fastest variant the processor runs.
InferenceFunction chooseInference();

}  // namespace zel
