// Time to draw every picture of a run: the bundled event list, and a generated list of 20 000 clusters with
// particle identification (algorithm 103), whose classes each get their histograms and maps drawn. Each case runs
// once without and once with graphics; the reported time is the difference, the drawing alone, and "pictures"
// counts the PNG files made. Needs /usr/bin/python3 (or ZEL_PYTHON) with numpy and matplotlib.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/Subprocess.h"
#include "zel/ZEL_API.h"

namespace {

namespace fs = std::filesystem;

fs::path binDirectory() { return fs::read_symlink("/proc/self/exe").parent_path(); }

fs::path workDirectory() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("zel_bench_graphics_" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// Runs the engine on `input` into `out`; the seconds it took.
double runOnce(const fs::path& input, const fs::path& out, const std::string& extra, bool graphics) {
    fs::remove_all(out);
    fs::create_directories(out);
    const fs::path param = workDirectory() / "run.param";
    std::ofstream(param) << "FileInPath = \"" << input.parent_path().string() << "/\"\nFileInName = \""
                         << input.filename().string() << "\"\nFileOutPath = \"" << out.string() << "/\"\nLogPath = \""
                         << out.string() << "/\"\nDoPrint = false\nDoCheckPrereq = false\nDoFilter = false\n"
                         << "DoExportGraphics = " << (graphics ? "true" : "false") << "\n"
                         << extra;
    const auto start = std::chrono::steady_clock::now();
    zel::construct();
    zel::loadParamFile(workDirectory().string() + "/", "run.param");
    zel::processFile("", "", "");
    zel::destruct();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void drawRun(benchmark::State& state, const fs::path& input, const std::string& extra) {
    const fs::path out = workDirectory() / "out";
    double pictures = 0;
    for (auto _ : state) {
        const double without = runOnce(input, out, extra, false);
        const double with = runOnce(input, out, extra, true);
        state.SetIterationTime(std::max(0.0, with - without));
        pictures = 0;
        for (const auto& entry : fs::recursive_directory_iterator(out)) pictures += entry.path().extension() == ".png";
    }
    state.counters["pictures"] = pictures;
}

void BM_DrawExampleElist(benchmark::State& state) {
    drawRun(state, binDirectory().parent_path().parent_path() / "examples" / "elist" / "example.elist",
            "TimeSampling = 1.0\nDoPID = false\n");
}

void BM_DrawPid103(benchmark::State& state) {
    const fs::path list = workDirectory() / "pid.elist";
    if (!fs::exists(list))
        zel::runProgram({(binDirectory() / "zel_gen_elist").string(), "--clusters", "20000", "--seed", "11", "--rate",
                         "2000", "--out", list.string()});
    drawRun(state, list, "PIDAlg = 103\nDoPID = true\n");
}

BENCHMARK(BM_DrawExampleElist)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_DrawPid103)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(workDirectory(), ec);
    return 0;
}
