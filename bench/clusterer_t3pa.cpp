// Speed of the clusterer on Timepix3 text data: pixels per second, single-threaded, from a generated file of
// 10 million pixels (ZEL_BENCH_PIXELS to change), with the outputs the engine asks for by default.
//
//   build-rel/bin/bench_clusterer_t3pa
//
// The generated file is kept in the temporary directory and reused by later runs.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ClustererOptions.h"
#include "ClustererRun.h"
#include "Reporter.h"

namespace {

namespace fs = std::filesystem;

long long pixelCount() {
    const char* text = std::getenv("ZEL_BENCH_PIXELS");
    return text != nullptr ? std::atoll(text) : 10000000LL;
}

// The generator lies beside this program.
std::string generatorPath() {
    char self[4096] = {};
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    fs::path dir = length > 0 ? fs::path(std::string(self, static_cast<size_t>(length))).parent_path() : fs::path(".");
    return (dir / "zel_gen_raw").string();
}

const std::string& inputFile() {
    static const std::string path = [] {
        fs::path file = fs::temp_directory_path() / ("zel_bench_" + std::to_string(pixelCount()) + ".t3pa");
        if (!fs::exists(file)) {
            std::string command = generatorPath() + " --format t3pa --seed 5 --rate 2e5 --pixels " +
                                  std::to_string(pixelCount()) + " --out " + file.string();
            if (std::system(command.c_str()) != 0) std::abort();
        }
        return file.string();
    }();
    return path;
}

double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Outputs: 0 none, 1 event list, 2 event list and cluster log (the engine's default), 3 all with a cluster list.
void clusterT3pa(benchmark::State& state) {
    using namespace zel::clusterer;
    const std::string input = inputFile();
    const fs::path out = fs::temp_directory_path() / ("zel_bench_out_" + std::to_string(getpid()));
    fs::create_directories(out);
    ClustererOptions options;
    options.inputs = {input};
    const long outputs = state.range(0);
    if (outputs >= 1) options.elistBase = (out / "EventList").string();
    if (outputs >= 2) options.clogPath = (out / "ClusterLog.clog").string();
    if (outputs >= 3) options.clusterListBase = (out / "CList").string();
    Reporter reporter(false, true);
    long long pixels = 0;
    for (auto _ : state) {
        ClustererRun run(options, reporter);
        if (run.run() != 0) state.SkipWithError("clusterer run failed");
        pixels += run.statistics().pixelsRead;
        state.counters["clusters"] = static_cast<double>(run.statistics().clustersWritten);
        state.counters["held_pixels_peak"] = static_cast<double>(run.statistics().peakHeldPixels);
    }
    state.SetItemsProcessed(pixels);
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
    fs::remove_all(out);
}

BENCHMARK(clusterT3pa)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
