// A saved network model (its graph, Keras metadata, variables index and variables data) read and, when it is
// accepted, run on a few rows.
#include <vector>

#include "FuzzFiles.h"
#include "pid/network/EigenBackend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [graph, rest] = zelfuzz::twoParts(zelfuzz::asText(data, size));
    const auto [metadata, variables] = zelfuzz::twoParts(rest);
    const auto [index, values] = zelfuzz::twoParts(variables);
    std::filesystem::create_directories(zelfuzz::scratchDir() + "model/variables");
    zelfuzz::writeFile("model/saved_model.pb", graph);
    zelfuzz::writeFile("model/keras_metadata.pb", metadata);
    zelfuzz::writeFile("model/variables/variables.index", index);
    zelfuzz::writeFile("model/variables/variables.data-00000-of-00001", values);

    zel::EigenBackend backend;
    if (!backend.load(zelfuzz::scratchDir() + "model/").ok()) return 0;
    // Widths are bounded by what the loader accepts; a few rows of every kind of value.
    const size_t width = backend.inputWidth();
    if (width == 0 || width > 4096 || backend.outputWidth() > 4096) return 0;
    std::vector<float> input(width * 3);
    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>(i % 7) - 3.0f;
    std::vector<float> output(backend.outputWidth() * 3);
    size_t rows = 0;
    (void)backend.run(input.data(), 3, output.data(), rows);
    return 0;
}
