// Fill speed of the histogram classes on the shapes of the built-in set: the energy histogram with 200 000 equal
// bins, the energy histogram with 251 variable bins, and a 256 x 256 sensor map. The "fills/s" counter is the
// figure to compare across commits.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "hist/Hist1D.h"
#include "hist/Hist2D.h"

namespace {

constexpr size_t kValues = 1 << 20;
const zel::MessageTarget kSilent{nullptr, false, false};

// Cluster energies spread over the whole range, a few below and above it.
const std::vector<double>& energies() {
    static const std::vector<double> values = [] {
        std::mt19937_64 random(7);
        std::lognormal_distribution<double> energy(4.5, 2.0);
        std::vector<double> out(kValues);
        for (double& v : out) v = energy(random);
        return out;
    }();
    return values;
}

std::vector<double> variableEdges() {
    std::vector<double> edges;
    for (int k = 0; k <= 251; ++k) edges.push_back(std::round(2 * std::pow(1.05, k) * 100) / 100);
    return edges;
}

void fill1D(benchmark::State& state, zel::Hist1D& h) {
    const std::vector<double>& values = energies();
    size_t fills = 0;
    for (auto _ : state) {
        for (double v : values) h.Fill(v);
        fills += values.size();
        benchmark::DoNotOptimize(h.GetContents().data());
    }
    state.counters["fills/s"] = benchmark::Counter(static_cast<double>(fills), benchmark::Counter::kIsRate);
}

void FillEqualBins(benchmark::State& state) {
    zel::Hist1D h("Hist1D_E_EqBin", 200000, 0.0, 400000.0, 0, kSilent);
    fill1D(state, h);
}

void FillVariableBins(benchmark::State& state) {
    zel::Hist1D h("Hist1D_E", variableEdges(), 0, kSilent);
    fill1D(state, h);
}

void FillSensorMap(benchmark::State& state) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> position(-2.0, 258.0);
    std::vector<double> xs(kValues);
    std::vector<double> ys(kValues);
    for (size_t i = 0; i < kValues; ++i) {
        xs[i] = position(random);
        ys[i] = position(random);
    }
    const std::vector<double>& weights = energies();
    zel::Hist2D map("Hist2D_EMap", 256, 0.0, 256.0, 256, 0.0, 256.0, 0, kSilent);
    size_t fills = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < kValues; ++i) map.Fill(xs[i], ys[i], weights[i]);
        fills += kValues;
        benchmark::DoNotOptimize(map.GetContents().data());
    }
    state.counters["fills/s"] = benchmark::Counter(static_cast<double>(fills), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(FillEqualBins)->Unit(benchmark::kMillisecond);
BENCHMARK(FillVariableBins)->Unit(benchmark::kMillisecond);
BENCHMARK(FillSensorMap)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
