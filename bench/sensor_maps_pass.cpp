// The pass of the sensor maps over a cluster log of 1 000 000 clusters (about 4 pixels each, 100 clusters a
// frame): the log is read once, streamed line by line, into the integrated and partial maps, the cluster images
// and the frame images. "clusters/s" is the figure to compare across commits.
#include "cluster/SensorMaps.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "cluster/ClusterVariables.h"
#include "cluster/Products.h"
#include "engine/InputDiscovery.h"
#include "engine/JobTeam.h"
#include "engine/Settings.h"

namespace {

constexpr size_t kClusters = 1000000;
constexpr size_t kClustersPerFrame = 100;

class ClusterLogFile {
public:
    ClusterLogFile() {
        path_ = std::filesystem::temp_directory_path() / ("zel_bench_maps_" + std::to_string(::getpid()) + ".clog");
        std::FILE* out = std::fopen(path_.c_str(), "wb");
        std::mt19937_64 random(7);
        std::uniform_int_distribution<int> position(0, 250);
        std::uniform_int_distribution<int> pixels(1, 7);
        std::uniform_real_distribution<double> energy(5.0, 200.0);
        sizes_.reserve(kClusters);
        for (size_t c = 0; c < kClusters; ++c) {
            if (c % kClustersPerFrame == 0)
                std::fprintf(out, "Frame %zu (%.6f, 1.000000 s)\n", c / kClustersPerFrame + 1,
                             static_cast<double>(c / kClustersPerFrame) * 1.2);
            const int x = position(random);
            const int y = position(random);
            const int n = pixels(random);
            for (int p = 0; p < n; ++p) std::fprintf(out, "[%d, %d, %.3f] ", x + p % 3, y + p / 3, energy(random));
            std::fputc('\n', out);
            sizes_.push_back(static_cast<uint32_t>(n));
        }
        std::fclose(out);
    }
    ~ClusterLogFile() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    std::string path() const { return path_.string(); }
    const std::vector<uint32_t>& sizes() const { return sizes_; }

private:
    std::filesystem::path path_;
    std::vector<uint32_t> sizes_;
};

void PassOverClusterLog(benchmark::State& state) {
    static ClusterLogFile file;
    const zel::MessageTarget quiet{nullptr, false, false};
    zel::Settings settings;
    settings.IsEnergyCalibrated = true;
    zel::ClusterVariables variables;
    zel::InputSet inputs;
    zel::Products products;
    zel::JobTeam jobs(false);
    size_t clusters = 0;
    for (auto _ : state) {
        state.PauseTiming();
        zel::RunState run;
        run.frameCount = static_cast<int>(kClusters / kClustersPerFrame);
        run.maxOccupancyFrame = 77;
        zel::SensorMaps maps;
        maps.init(zel::ModuleContext{settings, variables, inputs, products, run, jobs, quiet, 0});
        for (uint32_t size : file.sizes()) maps.noteCluster(0, size);
        std::ifstream log(file.path(), std::ios::binary);
        state.ResumeTiming();
        clusters += maps.fillFromLog(log, 0);
        benchmark::DoNotOptimize(maps.integrated());
    }
    state.counters["clusters/s"] = benchmark::Counter(static_cast<double>(clusters), benchmark::Counter::kIsRate);
}
BENCHMARK(PassOverClusterLog)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
