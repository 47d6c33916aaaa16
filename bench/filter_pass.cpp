// Speed of the cluster filter's batch step: batches of 100 000 rows of the 28 default variables plus the FilterPass
// column get their verdicts from a filter of three variables (two energy windows, one size window, one height
// window); the "rows/s" counter is the figure to compare across commits.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "cluster/VariableNames.h"
#include "filter/Filter.h"

namespace {

constexpr size_t kRows = 100000;

std::vector<std::string> variableNames() {
    std::vector<std::string> names;
    for (const auto& v : zel::kDefaultVariables) names.emplace_back(v.name);
    names.emplace_back("FilterPass");
    return names;
}

zel::ClusterBatch randomBatch(size_t width) {
    zel::ClusterBatch batch(width);
    batch.reserveRows(kRows);
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(0.0, 1000.0);
    for (size_t r = 0; r < kRows; ++r) {
        auto row = batch.appendRow();
        for (size_t c = 0; c + 1 < width; ++c) row[c] = value(random);
    }
    return batch;
}

void FilterBatch(benchmark::State& state) {
    const std::vector<std::string> names = variableNames();
    zel::Filter filter(zel::MessageTarget{nullptr, false, false}, -5000);
    filter.addRange(10, 300, "E");
    filter.addRange(500, 900, "E");
    filter.addRange(1, 800, "Size");
    filter.addRange(0, 950, "Height");
    filter.init(names);
    filter.setPassColumn(static_cast<int>(names.size() - 1));
    zel::ClusterBatch batch = randomBatch(names.size());

    size_t rows = 0;
    double failed = 0;
    for (auto _ : state) {
        filter.processBatch(batch);
        failed += filter.failedInLastBatch();
        rows += batch.size();
    }
    benchmark::DoNotOptimize(failed);
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(FilterBatch)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
