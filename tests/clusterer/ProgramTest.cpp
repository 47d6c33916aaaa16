// The clusterer and the generator as programs: exit status, messages, ground-truth recovery, a real measurement.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "ClusterFeatures.h"
#include "TestFiles.h"

namespace zel::clusterer {
namespace {

using testing::readLines;
using testing::readRows;
using testing::readText;
using testing::ScratchDir;

const std::string kBin = ZEL_BIN_DIR;

// Runs a shell command with stdout and stderr into `output`; returns the exit status.
int shell(const std::string& command, const std::string& output) {
    int status = std::system((command + " >\"" + output + "\" 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Truth {
    long long frame;
    double size, energy, x, y, t;
};

std::vector<Truth> readTruth(const std::string& path) {
    std::vector<Truth> truth;
    for (const std::string& line : readLines(path)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        Truth t{};
        std::string kind;
        in >> t.frame >> kind >> t.size >> t.energy >> t.x >> t.y >> t.t;
        truth.push_back(t);
    }
    return truth;
}

// Every generated cluster is found once with its pixel count, energy, centroid and time.
void expectRecovered(const std::string& truthPath, const std::string& elistPath) {
    std::vector<Truth> truth = readTruth(truthPath);
    std::vector<std::vector<double>> rows = readRows(elistPath);
    ASSERT_GT(truth.size(), 50u);
    ASSERT_EQ(rows.size(), truth.size());
    // Frames without time are matched by frame and position alone.
    const bool timed = !truth.empty() && truth.front().t >= 0;
    auto truthKey = [timed](const Truth& t) { return std::tuple(t.frame, timed ? t.t : 0.0, t.x, t.y); };
    auto rowKey = [timed](const std::vector<double>& r) {
        return std::tuple(static_cast<long long>(r[kFlags]), timed ? r[kT] : 0.0, r[kX], r[kY]);
    };
    std::sort(truth.begin(), truth.end(), [&](const Truth& a, const Truth& b) { return truthKey(a) < truthKey(b); });
    std::sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) { return rowKey(a) < rowKey(b); });
    for (size_t i = 0; i < truth.size(); ++i) {
        SCOPED_TRACE("cluster " + std::to_string(i));
        EXPECT_EQ(rows[i][kFlags], truth[i].frame);
        EXPECT_EQ(rows[i][kSize], truth[i].size);
        EXPECT_EQ(rows[i][kE], truth[i].energy);
        EXPECT_NEAR(rows[i][kX], truth[i].x, 1e-4);
        EXPECT_NEAR(rows[i][kY], truth[i].y, 1e-4);
        if (timed) {
            EXPECT_NEAR(rows[i][kT], truth[i].t, std::fabs(truth[i].t) * 1e-15 + 1e-4);
        }
    }
}

TEST(ClustererProgram, ReportsUsageErrorsAndUnhonouredOptions) {
    ScratchDir dir;
    std::string out = dir.file("out.txt");
    const std::string clog = dir.write("a.clog", "Frame 1 (0, 1 s)\n[1, 1, 5] \n");
    const struct {
        std::string args;
        bool ok;
        const char* text;
    } cases[] = {
        {"--help", true, "--korelist"},
        {"--bogus x.t3pa", false, "Unknown option: --bogus"},
        {"\"" + dir.file("missing.t3pa") + "\"", false, "missing.t3pa"},
        {"\"" + dir.write("x.bmf", "") + "\"", false, "not supported"},
        {"--corr-tpx-high-energy --log --stat-file \"" + dir.file("s.txt") + "\" \"" + clog + "\"", true,
         "--corr-tpx-high-energy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(shell(kBin + "/clusterer " + c.args, out) == 0, c.ok);
        EXPECT_NE(readText(out).find(c.text), std::string::npos);
    }
    // --log writes the run's messages beside the statistics file.
    EXPECT_NE(readText(dir.file("ClustererLog.txt")).find("--corr-tpx-high-energy"), std::string::npos);
}

TEST(ClustererProgram, RunsFromOneDirectoryKeepTheirStatisticsAndLogsApart) {
    ScratchDir dir;
    const std::string clog = dir.write("a.clog", "Frame 1 (0, 1 s)\n[1, 1, 5] \nFrame 2 (1, 1 s)\n[2, 2, 5] \n");
    std::filesystem::create_directories(dir.file("one"));
    std::filesystem::create_directories(dir.file("two"));
    const std::string out = dir.file("out.txt");
    const std::string run = "cd \"" + dir.file("") + "\" && \"" + kBin + "/clusterer\" --log --stat-file ClustererStatFile.txt ";
    ASSERT_EQ(shell(run + "--korelist one/E --frame-start-num 0 a.clog", out), 0) << readText(out);
    ASSERT_EQ(shell(run + "--korelist two/E --frame-start-num 10 a.clog", out), 0) << readText(out);
    EXPECT_EQ(readLines(dir.file("one/ClustererStatFile.txt")).at(1), "FrameNum\t2");
    EXPECT_EQ(readLines(dir.file("two/ClustererStatFile.txt")).at(1), "FrameNum\t12");
    EXPECT_TRUE(std::filesystem::exists(dir.file("one/ClustererLog.txt")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("two/ClustererLog.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ClustererStatFile.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ClustererLog.txt")));
}

TEST(ClustererProgram, RecoversGeneratedClusters) {
    ScratchDir dir;
    std::string out = dir.file("out.txt");
    const struct {
        std::string format, file, input, options;
    } cases[] = {
        {"t3pa", "g.t3pa", "g.t3pa", "--clusters 600 --seed 11"},
        {"clog-toa", "g.clog", "g.clog", "--clusters 300 --frames 6 --seed 5"},
        {"clog", "h.clog", "h.clog", "--clusters 300 --frames 6 --seed 5"},
        {"pmf", "m.pmf", "m.pmf", "--clusters 300 --frames 6 --seed 5"},
        // several frames: one file each, read as a directory
        {"txt", "frames/f.txt", "frames", "--clusters 300 --frames 6 --seed 5"},
    };
    std::filesystem::create_directory(dir.file("frames"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        ASSERT_EQ(shell(kBin + "/zel_gen_raw --format " + c.format + " --out " + dir.file(c.file) + " --truth " +
                            dir.file("t.truth") + " " + c.options + " --separate",
                        out),
                  0)
            << readText(out);
        ASSERT_EQ(shell(kBin + "/clusterer --korelist " + dir.file("E") + " " + dir.file(c.input), out), 0)
            << readText(out);
        expectRecovered(dir.file("t.truth"), dir.file("E.korelist"));
    }
}

// A real measurement: ground-level background in 300 um silicon, a cluster log in ToT with its calibration.
TEST(ClustererProgram, CalibratesARealCosmicBackgroundMeasurement) {
    const std::string data = std::string(ZEL_SHARED_DATA_DIR) + "/cosmic-tpx-si300/";
    if (!std::filesystem::exists(data + "cosmic.clog")) GTEST_SKIP() << "measurement not present: " << data;
    ScratchDir dir;
    // The command line exactly as the engine builds it.
    const std::string command = "\"" + kBin + "/clusterer\"  --korelist \"" + dir.file("EventList") + "\"  -c \"" +
                                data + "\"  --clust-feat-list \"" + dir.file("CList") +
                                "\"  --frame-occupancy-limit 12.000000  --frame-start-num 0  --pix-count-max 500  -l \"" +
                                dir.file("ClusterLog.clog") +
                                "\"  --el-coinctoadiff 100.000000  --el-thickness 300.000000  --l2d-corr-formula 1 "
                                " --stat-file \"" + dir.file("ClustererStatFile.txt") + "\"  \"" + data +
                                "cosmic.clog\" ";
    ASSERT_EQ(shell(command, dir.file("out.txt")), 0) << readText(dir.file("out.txt"));
    std::vector<std::string> stat = readLines(dir.file("ClustererStatFile.txt"));
    ASSERT_GE(stat.size(), 2u);
    EXPECT_EQ(stat[1], "FrameNum\t1000");

    std::vector<std::vector<double>> rows = readRows(dir.file("EventList.korelist"));
    ASSERT_GT(rows.size(), 900u);
    double dots = 0, dotsInRange = 0, energy = 0;
    for (const auto& r : rows) {
        energy += r[kE];
        if (r[kSize] != 1) continue;
        ++dots;
        dotsInRange += r[kE] >= 5 && r[kE] <= 60 ? 1 : 0;
    }
    EXPECT_GT(dotsInRange / dots, 0.85);
    // Dose rate in the 1.4 cm x 1.4 cm x 300 um sensor over 1000 frames of 5 s: a fraction of a uGy/h.
    const double massKg = 1.408 * 1.408 * 0.03 * 2.329 * 1e-3;
    const double microGrayPerHour = energy * 1.602176634e-16 / massKg * 1e6 / (1000 * 5.0 / 3600.0);
    EXPECT_GT(microGrayPerHour, 0.03);
    EXPECT_LT(microGrayPerHour, 1.0);
}

}  // namespace
}  // namespace zel::clusterer
