// Classification speed of the decision trees: a batch of 1 000 000 clusters with the 28 default variables and a
// PIDClass column, shaped like a mixed field (dots, electron tracks, proton and ion blobs), is classified in place
// by each heuristic algorithm; the "rows/s" counter is the figure to compare across commits. The cached runs use a
// batch of 4096 rows that stays in cache, which shows the cost of the conditions without the memory traffic.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "pid/PidModule.h"

namespace {

constexpr size_t kRows = 1000000;
constexpr size_t kCachedRows = 4096;  // a batch that stays in cache: the cost of the conditions alone

std::vector<std::string> defaultNames() {
    std::vector<std::string> names;
    for (const auto& v : zel::kDefaultVariables) names.emplace_back(v.name);
    names.emplace_back("PIDClass");
    return names;
}

size_t column(const std::vector<std::string>& names, std::string_view name) {
    return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

// One cluster per row; the kind decides size and energy, the shape variables follow from them.
zel::ClusterBatch mixedField(const std::vector<std::string>& names, size_t rows) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    zel::ClusterBatch batch(names.size());
    batch.reserveRows(rows);
    const size_t size = column(names, "Size"), energy = column(names, "E"), height = column(names, "Height");
    const size_t epix = column(names, "EpixMean"), round = column(names, "Roundness"), lin = column(names, "Linearity");
    const size_t length = column(names, "LengthProj"), width = column(names, "WidthProj"), let = column(names, "LET");
    const size_t thin = column(names, "Thin"), border = column(names, "BorderPixCount"), time = column(names, "T");
    for (size_t r = 0; r < rows; ++r) {
        auto row = batch.appendRow();
        const double kind = unit(random);
        double pixels, perPixel;
        if (kind < 0.55) {  // dots: photons and perpendicular electrons
            pixels = 1 + std::floor(unit(random) * 4);
            perPixel = 5 + unit(random) * 25;
        } else if (kind < 0.85) {  // electron tracks
            pixels = 5 + std::floor(unit(random) * 30);
            perPixel = 20 + unit(random) * 50;
        } else if (kind < 0.97) {  // protons
            pixels = 8 + std::floor(unit(random) * 40);
            perPixel = 40 + unit(random) * 160;
        } else {  // ions
            pixels = 30 + std::floor(unit(random) * 300);
            perPixel = 120 + unit(random) * 400;
        }
        row[size] = pixels;
        row[energy] = pixels * perPixel;
        row[epix] = perPixel;
        row[height] = perPixel * (1.2 + unit(random) * 4);
        row[round] = unit(random) * 1.2;
        row[lin] = unit(random);
        row[length] = std::sqrt(pixels) * (1 + unit(random) * 3);
        row[width] = 1 + unit(random) * std::sqrt(pixels);
        row[let] = perPixel / 55.0 * (0.5 + unit(random));
        row[thin] = unit(random);
        row[border] = std::min(pixels, 4 + std::floor(unit(random) * 12));
        row[time] = static_cast<double>(r) * 500.0;
    }
    return batch;
}

void ClassifyBatch(benchmark::State& state) {
    static const std::vector<std::string> names = defaultNames();
    static zel::ClusterBatch large = mixedField(names, kRows);
    static zel::ClusterBatch small = mixedField(names, kCachedRows);
    zel::ClusterBatch& batch = state.range(1) == 0 ? large : small;
    zel::PidModule::Setup setup{"TPX3", "Si", "./", 500.0, 80.0, static_cast<int>(state.range(0)), -1};
    zel::PidModule pid(setup, names, zel::MessageTarget{nullptr, false, false}, -4900);
    if (pid.init() != 0) {
        state.SkipWithError("PID initialisation failed");
        return;
    }
    pid.setClassColumn(static_cast<int>(names.size() - 1));
    size_t rows = 0;
    for (auto _ : state) {
        pid.processBatch(batch);
        rows += batch.size();
        benchmark::DoNotOptimize(batch.at(0, names.size() - 1));
    }
    // Share of clusters that found a class, to tell the algorithms' work apart.
    size_t classified = 0;
    for (size_t r = 0; r < batch.size(); ++r) classified += batch.at(r, names.size() - 1) >= 0.0;
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
    state.counters["classified"] = static_cast<double>(classified) / static_cast<double>(batch.size());
}

}  // namespace

BENCHMARK(ClassifyBatch)
    ->ArgNames({"alg", "cached"})
    ->ArgsProduct({{100, 101, 102, 103, 104, 171, 172, 173}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
