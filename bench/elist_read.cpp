// Reading speed of the event-list reader: a file of 200 000 clusters with the 28 default variables is read in
// batches; the "rows/s" counter is the figure to compare across commits.
#include "input/Elist.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace {

constexpr size_t kRows = 200000;

class ElistFile {
public:
    ElistFile() {
        dir_ = std::filesystem::temp_directory_path() / ("zel_bench_elist_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        std::FILE* out = std::fopen((dir_ / name()).c_str(), "wb");
        for (int line = 0; line < 2; ++line) {
            for (size_t c = 0; c < zel::kDefaultVariables.size(); ++c) {
                const auto& v = zel::kDefaultVariables[c];
                std::string_view text = line == 0 ? v.name : v.unit;
                std::fwrite(text.data(), 1, text.size(), out);
                std::fputc(c + 1 < zel::kDefaultVariables.size() ? '\t' : '\n', out);
            }
        }
        std::mt19937_64 random(42);
        std::uniform_real_distribution<double> value(0.0, 1000.0);
        double time = 0.0;
        for (size_t r = 0; r < kRows; ++r) {
            time += value(random) * 1000.0;
            for (size_t c = 0; c < zel::kDefaultVariables.size(); ++c) {
                double v = c == 1 ? static_cast<double>(r) : c == 5 ? time : value(random);
                std::fprintf(out, c == 1 || c == 7 ? "%.0f" : "%.3f", c == 7 ? std::floor(v / 10) : v);
                std::fputc(c + 1 < zel::kDefaultVariables.size() ? '\t' : '\n', out);
            }
        }
        std::fclose(out);
    }
    ~ElistFile() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string path() const { return dir_.string() + "/"; }
    static std::string name() { return "bench.elist"; }

private:
    std::filesystem::path dir_;
};

void ReadWholeFile(benchmark::State& state) {
    static ElistFile file;
    zel::ClusterBatch batch;
    size_t rows = 0;
    for (auto _ : state) {
        zel::Elist list(file.path(), ElistFile::name(), 'r', zel::MessageTarget{nullptr, false, false}, -5600);
        if (list.init() != 0) {
            state.SkipWithError("event list could not be opened");
            return;
        }
        list.setBatchSize(static_cast<size_t>(state.range(0)));
        while (list.hasMoreData()) {
            if (list.readBatch(batch) != 0) {
                state.SkipWithError("event list could not be read");
                return;
            }
            rows += batch.size();
        }
        benchmark::DoNotOptimize(batch.at(0, 0));
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(ReadWholeFile)
    ->Arg(100000)
    ->Arg(static_cast<int64_t>(zel::Elist::kDefaultBatchSize))
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
