// Per-cluster cost of the histograms of one evaluated cluster with classification on: the built-in set of the
// all-clusters module and of the cluster's class module (26 histograms each) and the six cluster-position maps of
// both sets. "rows/s" is the figure to compare across commits; "s/row" must stay well below the per-cluster
// budget of the processing pipeline.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "cluster/ClusterVariables.h"
#include "hist/ClusterMaps.h"
#include "hist/HistogramModule.h"

namespace {

constexpr size_t kRows = 1 << 16;
const zel::MessageTarget kSilent{nullptr, false, false};

zel::ClusterVariables engineVariables() {
    zel::ClusterVariables variables;
    std::vector<std::string> names(variables.names());
    names.emplace_back("PIDClass");
    variables.setOrder(names);
    variables.mapNames(kSilent);
    return variables;
}

// Clusters of a mixed field: many small low-energy clusters, some long tracks, positions all over the chip.
zel::ClusterBatch clusters(const zel::ClusterVariables& variables) {
    std::mt19937_64 random(5);
    std::lognormal_distribution<double> energy(4.0, 1.5);
    std::geometric_distribution<int> size(0.25);
    std::uniform_real_distribution<double> position(0.0, 256.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    zel::ClusterBatch batch(variables.names().size());
    batch.reserveRows(kRows);
    auto set = [&](std::span<double> row, zel::Var slot, double value) {
        if (variables.index(slot) >= 0) row[static_cast<size_t>(variables.index(slot))] = value;
    };
    for (size_t i = 0; i < kRows; ++i) {
        std::span<double> row = batch.appendRow();
        const double e = energy(random);
        const double s = 1 + size(random);
        set(row, zel::Var::X, position(random));
        set(row, zel::Var::Y, position(random));
        set(row, zel::Var::E, e);
        set(row, zel::Var::Size, s);
        set(row, zel::Var::Height, e / s * (1 + unit(random)));
        set(row, zel::Var::EpixMean, e / s);
        set(row, zel::Var::EpixStd, e / s * unit(random));
        set(row, zel::Var::LET, e / 300 * (1 + 4 * unit(random)));
        set(row, zel::Var::Roundness, unit(random));
        set(row, zel::Var::Linearity, unit(random));
        set(row, zel::Var::AngleAzim, 180 * unit(random) - 90);
        set(row, zel::Var::AngleElev, 90 * unit(random));
        set(row, zel::Var::LengthProj, s * unit(random) * 2);
        set(row, zel::Var::WidthProj, unit(random) * 3);
        set(row, zel::Var::LengthCorr, s * unit(random) * 2);
        set(row, zel::Var::Length3DCorr, s * 55 * unit(random));
        set(row, zel::Var::BorderPixCount, s);
        set(row, zel::Var::Thin, unit(random));
        set(row, zel::Var::Thick, unit(random));
        set(row, zel::Var::CurlyThin, unit(random));
        set(row, zel::Var::Diameter, s * unit(random));
        set(row, zel::Var::PIDClass, static_cast<double>(i % 8));
    }
    return batch;
}

// The histogram modules and the map sets of "Total" and of one class, each switched on by the caller.
void fillSets(benchmark::State& state, bool histograms, bool maps) {
    const zel::ClusterVariables variables = engineVariables();
    const zel::ClusterBatch batch = clusters(variables);
    zel::HistogramModule total("Total", kSilent, 0);
    zel::HistogramModule perClass("proton", kSilent, 0);
    for (zel::HistogramModule* module : {&total, &perClass}) {
        module->LoadDefault();
        module->MapNames(variables.names());
    }
    zel::ClusterMaps totalMaps("Total", 256, 256, variables, kSilent);
    zel::ClusterMaps classMaps("proton", 256, 256, variables, kSilent);
    // The engine hands the rows over in slices of a few thousand.
    constexpr size_t kSlice = 4096;
    std::vector<uint32_t> slice(kSlice);
    size_t rows = 0;
    for (auto _ : state) {
        for (size_t first = 0; first < batch.size(); first += kSlice) {
            for (size_t i = 0; i < kSlice; ++i) slice[i] = static_cast<uint32_t>(first + i);
            if (histograms) {
                perClass.FillRows(batch, slice);
                total.FillRows(batch, slice);
            }
            if (maps) {
                classMaps.FillRows(batch, slice);
                totalMaps.FillRows(batch, slice);
            }
        }
        rows += batch.size();
    }
    benchmark::DoNotOptimize(total.entries1D().data());
    benchmark::DoNotOptimize(&totalMaps.map(0));
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
    state.counters["s/row"] = benchmark::Counter(static_cast<double>(rows),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The engine's fill with the 15 classes of algorithm 103: 17 histogram modules and map sets, the rows of each slice
// spread as in a field where one class ("Others") takes most of them. The histograms take every row in the
// all-clusters set, and copies of the rows of the other classes in their class sets, 8192 rows at a time (the
// largest class set is completed from the all-clusters set once when read, not timed); the maps take every row in
// both.
void FillSeventeenSetsTogether(benchmark::State& state) {
    const zel::ClusterVariables variables = engineVariables();
    const zel::ClusterBatch batch = clusters(variables);
    constexpr size_t kSets = 17;
    std::vector<std::unique_ptr<zel::HistogramModule>> modules;
    std::vector<std::unique_ptr<zel::ClusterMaps>> maps;
    std::vector<zel::HistogramModule*> moduleList;
    std::vector<zel::ClusterMaps*> mapList;
    for (size_t set = 0; set < kSets; ++set) {
        const std::string suffix = "Set" + std::to_string(set);
        modules.push_back(std::make_unique<zel::HistogramModule>(suffix, kSilent, 0));
        modules.back()->LoadDefault();
        modules.back()->MapNames(variables.names());
        maps.push_back(std::make_unique<zel::ClusterMaps>(suffix, 256, 256, variables, kSilent));
        moduleList.push_back(modules.back().get());
        mapList.push_back(maps.back().get());
    }
    constexpr size_t kSlice = 4096;
    constexpr size_t kClassRowsPerFill = 8192;
    constexpr size_t kLargest = kSets - 1;
    std::vector<uint32_t> slice(kSlice);
    std::vector<uint8_t> setOfRow(kSlice);
    zel::ClusterBatch classBatch(batch.width());
    classBatch.reserveRows(kClassRowsPerFill + kSlice);
    std::vector<uint32_t> classRows(kClassRowsPerFill + kSlice);
    std::iota(classRows.begin(), classRows.end(), 0u);
    std::vector<uint8_t> setOfClassRow;
    std::mt19937 random(3);
    size_t rows = 0;
    for (auto _ : state) {
        for (size_t first = 0; first < batch.size(); first += kSlice) {
            for (size_t i = 0; i < kSlice; ++i) {
                slice[i] = static_cast<uint32_t>(first + i);
                // One row in sixteen goes to one of the 15 classes, the others to "Others".
                const uint32_t draw = random();
                setOfRow[i] = static_cast<uint8_t>(draw % 16 == 0 ? 1 + draw / 16 % (kSets - 2) : kLargest);
                if (setOfRow[i] == kLargest) continue;
                const auto row = batch.row(slice[i]);
                std::copy(row.begin(), row.end(), classBatch.appendRow(row.size()).begin());
                setOfClassRow.push_back(setOfRow[i]);
            }
            const bool fillClasses = classBatch.size() >= kClassRowsPerFill;
            const std::span<const uint32_t> copied = std::span<const uint32_t>(classRows).first(classBatch.size());
            const uint8_t* copiedSets = setOfClassRow.data();
            for (size_t part = 0; part < 4; ++part) {
                modules.front()->FillRows1D(batch, slice, part, 4);
                if (fillClasses)
                    zel::HistogramModule::FillRows1DInSets(moduleList, classBatch, copied, copiedSets, part, 4);
            }
            modules.front()->FillRows2D(batch, slice);
            if (fillClasses) zel::HistogramModule::FillRows2DInSets(moduleList, classBatch, copied, copiedSets);
            zel::ClusterMaps::FillRowsInSets(mapList, batch, slice, setOfRow.data());
            if (fillClasses) {
                classBatch.clear();
                setOfClassRow.clear();
            }
        }
        rows += batch.size();
    }
    benchmark::DoNotOptimize(modules.front()->entries1D().data());
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

void FillHistogramSets(benchmark::State& state) { fillSets(state, true, false); }
void FillClusterMapSets(benchmark::State& state) { fillSets(state, false, true); }
void FillTotalAndClassSets(benchmark::State& state) { fillSets(state, true, true); }

// Resident memory of the resident set in MiB, from the kernel's page count.
double residentMiB() {
    long pages = 0;
    long resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Memory of the histograms of a run with the 15 classes of algorithm 103: 17 modules ("Total", the classes and
// "Others") and their 17 map sets, every set having received a cluster. "MiB" is the growth of the resident set.
void MemoryOfSeventeenSets(benchmark::State& state) {
    const zel::ClusterVariables variables = engineVariables();
    const zel::ClusterBatch batch = clusters(variables);
    for (auto _ : state) {
        const double before = residentMiB();
        std::vector<std::unique_ptr<zel::HistogramModule>> modules;
        std::vector<zel::ClusterMaps> maps;
        for (int set = 0; set < 17; ++set) {
            const std::string suffix = set == 0 ? "Total" : set == 16 ? "Others" : "Class" + std::to_string(set);
            auto module = std::make_unique<zel::HistogramModule>(suffix, kSilent, 0);
            module->LoadDefault();
            module->MapNames(variables.names());
            module->FillCluster(batch.row(0));
            modules.push_back(std::move(module));
            maps.emplace_back(suffix, 256, 256, variables, kSilent).Fill(batch.row(0));
        }
        state.counters["MiB"] = residentMiB() - before;
    }
}

}  // namespace

BENCHMARK(MemoryOfSeventeenSets)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(FillHistogramSets)->Unit(benchmark::kMillisecond);
BENCHMARK(FillClusterMapSets)->Unit(benchmark::kMillisecond);
BENCHMARK(FillTotalAndClassSets)->Unit(benchmark::kMillisecond);
BENCHMARK(FillSeventeenSetsTogether)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
