// Inference speed of a dense classifier network: 8 inputs, two hidden layers of 64 relu units, 6 softmax outputs,
// run by the backend of this build on runs of 10000 rows (the classifier's run size), single thread. The
// "clusters/s" counter is the figure to compare across commits. The baseline variant runs the same network without
// the AVX2 code, for machines without those instructions.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

#include "pid/network/EigenBackend.h"
#include "pid/network/NetworkClassifier.h"

namespace {

constexpr size_t kRows = zel::NetworkClassifier::kRunSize;

zel::NetworkLayer dense(size_t inputs, size_t units, zel::Activation activation, std::mt19937& random) {
    std::normal_distribution<float> weight(0.0f, 1.0f / std::sqrt(static_cast<float>(inputs)));
    zel::NetworkLayer layer;
    layer.name = "dense";
    layer.className = "Dense";
    layer.inputs = inputs;
    layer.units = units;
    layer.activation = activation;
    for (size_t i = 0; i < inputs * units; ++i) layer.kernel.push_back(weight(random));
    for (size_t i = 0; i < units; ++i) layer.bias.push_back(weight(random));
    return layer;
}

zel::NetworkDefinition network8x64x64x6() {
    std::mt19937 random(11);
    zel::NetworkDefinition network;
    network.modelClass = "Sequential";
    network.inputWidth = 8;
    network.layers = {dense(8, 64, zel::Activation::Relu, random), dense(64, 64, zel::Activation::Relu, random),
                      dense(64, 6, zel::Activation::Softmax, random)};
    return network;
}

std::vector<float> inputs() {
    std::mt19937 random(5);
    std::normal_distribution<float> value(0.0f, 1.0f);
    std::vector<float> values(kRows * 8);
    for (float& v : values) v = value(random);
    return values;
}

void runNetwork(benchmark::State& state, zel::InferenceFunction variant) {
    zel::EigenBackend backend;
    backend.setNetwork(network8x64x64x6());
    const std::vector<float> input = inputs();
    std::vector<float> output(kRows * 6);
    std::vector<float> scratch(2 * kRows * 64);
    std::vector<zel::InferenceStep> steps;
    for (const zel::NetworkLayer& layer : backend.network().layers)
        steps.push_back(
            {layer.kind, layer.activation, layer.inputs, layer.units, layer.kernel.data(), layer.bias.data(), nullptr});
    for (auto _ : state) {
        if (variant == nullptr) {
            size_t rows = 0;
            backend.run(input.data(), kRows, output.data(), rows);
        } else {
            variant(steps.data(), steps.size(), input.data(), kRows, output.data(), scratch.data(),
                    scratch.data() + kRows * 64);
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.counters["clusters/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kRows), benchmark::Counter::kIsRate);
}

void NetworkInference_8x64x64x6(benchmark::State& state) { runNetwork(state, nullptr); }
void NetworkInference_8x64x64x6_Baseline(benchmark::State& state) { runNetwork(state, &zel::inferBaseline); }

BENCHMARK(NetworkInference_8x64x64x6)->Unit(benchmark::kMillisecond);
BENCHMARK(NetworkInference_8x64x64x6_Baseline)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::printf("Inference variant of this processor: %s\n",
                zel::chooseInference() == &zel::inferBaseline ? "baseline" : "AVX2 with FMA");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
