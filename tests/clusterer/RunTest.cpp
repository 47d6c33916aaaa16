#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ClusterFeatures.h"
#include "ClustererOptions.h"
#include "ClustererRun.h"
#include "EventListWriter.h"
#include "LineSource.h"
#include "Reporter.h"
#include "TestFiles.h"

namespace zel::clusterer {
namespace {

using testing::calibrationDir;
using testing::column;
using testing::readLines;
using testing::readRows;
using testing::readText;
using testing::ScratchDir;

// Runs the clusterer in this process with a command line of words; returns its exit status.
int runClusterer(std::vector<std::string> words, RunStatistics* statistics = nullptr) {
    words.insert(words.begin(), "clusterer");
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    ClustererOptions options;
    ParseResult parsed = parseCommandLine(static_cast<int>(argv.size()), argv.data(), options);
    if (parsed.outcome != ParseOutcome::Run) return 2;
    Reporter reporter(false, true);
    ClustererRun run(options, reporter);
    int status = run.run();
    if (statistics != nullptr) *statistics = run.statistics();
    return status;
}

// The value of a "Key<tab>value" line of the statistics file.
long long statValue(const std::string& path, const std::string& key) {
    for (const std::string& line : readLines(path)) {
        if (line.rfind(key + "\t", 0) == 0) return std::stoll(line.substr(key.size() + 1));
    }
    ADD_FAILURE() << key << " missing in " << path;
    return -1;
}

// Each run works in a scratch directory of its own.
struct ProgramRun : ::testing::Test {
    ScratchDir dir;
};

const std::string kThreeFrames =
    "Frame 1 (1000.000000, 2.000000 s)\n"
    "[1, 1, 10] [2, 1, 20] \n"
    "[50, 50, 5] \n"
    "Frame 2 (1002.500000, 2.000000 s)\n"
    "Frame 3 (1005.000000, 2.000000 s)\n"
    "[7, 7, 7] \n";

TEST_F(ProgramRun, WritesTheDefaultLayoutWithTheChosenLengthNames) {
    std::string input = dir.write("in.clog", kThreeFrames);
    ASSERT_EQ(runClusterer({"--korelist", dir.file("E"), "--clust-feat-list", dir.file("C"), "--l2d-corr-formula",
                            "3", input}),
              0);
    std::vector<std::string> lines = readLines(dir.file("E.korelist"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], namesLine(3));
    EXPECT_NE(lines[0].find("\tLengthCorrNabha\tLength3DCorrNabha\t"), std::string::npos);
    EXPECT_EQ(lines[1], unitsLine());
    EXPECT_EQ(lines[1].rfind("-\t-\tpx\tpx\tkeV\tns\t-\tpx\tkeV\t", 0), 0u);
    EXPECT_EQ(readText(dir.file("C.clist")), readText(dir.file("E.korelist")));
    std::vector<std::vector<double>> rows = readRows(dir.file("E.korelist"));
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& row : rows) EXPECT_EQ(row.size(), static_cast<size_t>(kColumnCount));
    // Frame data: T is the frame start in ns, Flags the frame number, each cluster an event of its own.
    EXPECT_EQ(column(rows, kT), (std::vector<double>{1000e9, 1000e9, 1005e9}));
    EXPECT_EQ(column(rows, kFlags), (std::vector<double>{1, 1, 3}));
    EXPECT_EQ(column(rows, kEventID), (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(rows[0][kE], 30);
}

TEST_F(ProgramRun, FrameNumbersContinueThroughTheStatisticsFileAndListsAreAppended) {
    std::string input = dir.write("in.clog", kThreeFrames);
    std::string stat = dir.file("ClustererStatFile.txt");
    const std::string elist = dir.file("EventList");
    ASSERT_EQ(runClusterer({"--korelist", elist, "--frame-start-num", "0", "--stat-file", stat, input}), 0);
    std::vector<std::string> statLines = readLines(stat);
    ASSERT_GE(statLines.size(), 2u);
    EXPECT_EQ(statLines[1], "FrameNum\t3");  // the title first, then the frame number the next input continues from

    ASSERT_EQ(runClusterer({"--korelist", elist, "--frame-start-num", std::to_string(statValue(stat, "FrameNum")),
                            "--stat-file", stat, input}),
              0);
    EXPECT_EQ(statValue(stat, "FrameNum"), 6);
    // One header and six rows: frame and event numbers go on after the earlier rows.
    std::vector<std::vector<double>> rows = readRows(elist + ".korelist");
    EXPECT_EQ(column(rows, kFlags), (std::vector<double>{1, 1, 3, 4, 4, 6}));
    EXPECT_EQ(column(rows, kEventID), (std::vector<double>{0, 1, 2, 3, 4, 5}));

    // A run that starts the numbering afresh starts a new list.
    ASSERT_EQ(runClusterer({"--korelist", elist, "--frame-start-num", "0", input}), 0);
    EXPECT_EQ(readRows(elist + ".korelist").size(), 3u);
}

TEST_F(ProgramRun, RefusesToAppendToAListOfAnotherLayout) {
    std::string input = dir.write("in.clog", kThreeFrames);
    ASSERT_EQ(runClusterer({"--korelist", dir.file("E"), "--l2d-corr-formula", "1", input}), 0);
    EXPECT_NE(runClusterer({"--korelist", dir.file("E"), "--l2d-corr-formula", "2", "--frame-start-num", "3", input}),
              0);
}

TEST_F(ProgramRun, CountsSkippedFramesDroppedClustersAndNonRealRoots) {
    // Frame 1 holds 5 of 16 pixels (31 %), frame 2 a cluster of 3 pixels and one pixel whose root is not real.
    std::string input = dir.write("in.clog",
                                  "Frame 1 (0, 1 s)\n[0, 0, 4] \n[2, 0, 4] \n[0, 2, 4] \n[2, 2, 4] \n[1, 3, 4] \n"
                                  "Frame 2 (1, 1 s)\n[0, 0, 4] [1, 0, 4] [2, 0, 4] \n[3, 3, 1] \n");
    // c = −10 at (3, 3) leaves E² − 4E + 13 = 0 for ToT 1; c = 0 elsewhere gives E = ToT.
    std::string cal = calibrationDir(dir, "cal", 4, 4, 1, 0, 0, 3, "0 0 0 0\n0 0 0 0\n0 0 0 0\n0 0 0 -10\n");
    std::string stat = dir.file("stat.txt");
    ASSERT_EQ(runClusterer({"--width", "4", "--height", "4", "-c", cal, "--frame-occupancy-limit", "30",
                            "--pix-count-max", "2", "--korelist", dir.file("E"), "--stat-file", stat, input}),
              0);
    for (auto [key, value] : {std::pair{"FramesRead", 2}, {"FramesSkippedOccupancy", 1},
                              {"ClustersDroppedPixCountMax", 1}, {"PixelsNonRealCalibRoot", 1}, {"ClustersWritten", 1}}) {
        EXPECT_EQ(statValue(stat, key), value) << key;
    }
    std::vector<std::vector<double>> rows = readRows(dir.file("E.korelist"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][kE], 0);  // the non-real root became 0 keV
}

TEST_F(ProgramRun, EventIdGroupsClustersByTheCoincidenceTime) {
    // Single-pixel clusters at 0, 50, 112.5 and 126.5625 ns: the third is more than 100 ns after the group's first.
    std::string input = dir.write("in.t3pa",
                                  "Index\tMatrix Index\tToA\tToT\tFToA\tOverflow\n"
                                  "0\t10\t0\t5\t0\t0\n1\t1000\t2\t5\t0\t0\n2\t2000\t5\t5\t8\t0\n3\t3000\t6\t5\t15\t0\n");
    RunStatistics statistics;
    ASSERT_EQ(runClusterer({"--korelist", dir.file("E"), "--el-coinctoadiff", "100", input}, &statistics), 0);
    std::vector<std::vector<double>> rows = readRows(dir.file("E.korelist"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(column(rows, kT), (std::vector<double>{0, 50, 125 - 8 * 1.5625, 150 - 15 * 1.5625}));
    EXPECT_EQ(column(rows, kEventID), (std::vector<double>{0, 0, 1, 1}));
    EXPECT_EQ(statistics.eventsWritten, 2);
    EXPECT_EQ(rows[0][kFlags], 1);  // a Timepix3 input counts as one frame
}

TEST_F(ProgramRun, CountsClustersWrittenOutOfTimeOrder) {
    // A pixel at 0 ns read after many later ones (beyond one read of the stream) becomes a cluster that is
    // written after later clusters.
    std::string text = "Index\tMatrix Index\tToA\tToT\tFToA\tOverflow\n";
    for (int i = 0; i < 20000; ++i) text += "0\t" + std::to_string(i % 60000) + "\t" + std::to_string(1000 + i) + "\t5\t0\t0\n";
    text += "0\t65000\t0\t5\t0\t0\n";
    std::string input = dir.write("in.t3pa", text);
    std::string stat = dir.file("s.txt");
    // A margin as long as the disorder puts it right.
    for (auto [margin, late] : {std::pair{"0", 1}, {"600000", 0}}) {
        ASSERT_EQ(runClusterer({"--toa-sort-margin", margin, "--stat-file", stat, input}), 0);
        EXPECT_EQ(statValue(stat, "PixelsOutOfOrder"), late) << margin;
        EXPECT_EQ(statValue(stat, "ClustersOutOfTimeOrder"), late) << margin;
    }
    // Logs with times of arrival are data-driven: the occupancy limit of frames does not apply to them.
    std::string clog = dir.write("t.clog", "Frame 1 (0, 0 s)\n[1, 1, 5, 0.5] [2, 1, 5, 1.5] [3, 1, 5, 2.5] \n");
    ASSERT_EQ(runClusterer({"--width", "4", "--height", "4", "--frame-occupancy-limit", "1", "--stat-file", stat,
                            clog}),
              0);
    EXPECT_EQ(statValue(stat, "ClustersWritten"), 1);
}

TEST_F(ProgramRun, PutsClustersOfALogWithTimesOfArrivalInTimeOrder) {
    std::string input = dir.write("in.clog",
                                  "Frame 1 (2, 1 s)\n[1, 1, 5, 300.5] \n[9, 9, 5, 100.5] [9, 10, 5, 99.25] \n"
                                  "[20, 20, 5, 150.5] \n");
    ASSERT_EQ(runClusterer({"--korelist", dir.file("E"), input}), 0);
    std::vector<std::vector<double>> rows = readRows(dir.file("E.korelist"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(column(rows, kT), (std::vector<double>{2e9 + 99.25, 2e9 + 150.5, 2e9 + 300.5}));
    EXPECT_EQ(column(rows, kEventID), (std::vector<double>{0, 0, 1}));
}

TEST_F(ProgramRun, ClusterLogRoundTripGivesTheSameClusters) {
    // A track whose pixels arrive out of order, a dot, and the same position hit again much later.
    std::string input = dir.write("in.t3pa",
                                  "Index\tMatrix Index\tToA\tToT\tFToA\tOverflow\n"
                                  "0\t2571\t40\t31\t3\t0\n1\t2570\t40\t12\t5\t0\n2\t2828\t41\t20\t11\t0\n"
                                  "3\t60000\t45\t7\t2\t0\n4\t2570\t400\t9\t1\t0\n");
    ASSERT_EQ(runClusterer({"--korelist", dir.file("A"), "-l", dir.file("a.clog"), input}), 0);
    ASSERT_EQ(runClusterer({"--korelist", dir.file("B"), "-l", dir.file("b.clog"), dir.file("a.clog")}), 0);
    EXPECT_EQ(readRows(dir.file("A.korelist")).size(), 3u);
    EXPECT_EQ(readText(dir.file("A.korelist")), readText(dir.file("B.korelist")));
    EXPECT_EQ(readText(dir.file("a.clog")), readText(dir.file("b.clog")));
    // Fractional times make the log one of times of arrival.
    EXPECT_NE(readText(dir.file("a.clog")).find("[10, 10, 12, 992.1875]"), std::string::npos);

    // Frame data with calibration: the log holds keV and reads back without calibration.
    std::string frame = dir.write("f.txt", "0 0 0 0\n0 5 6 0\n0 0 0 0\n9 0 0 0\n");
    std::string cal = calibrationDir(dir, "cal", 4, 4, 1.5, 3, 1, 1);
    ASSERT_EQ(runClusterer({"--width", "4", "--height", "4", "-c", cal, "--korelist", dir.file("C"), "-l",
                            dir.file("c.clog"), frame}),
              0);
    ASSERT_EQ(runClusterer({"--width", "4", "--height", "4", "--korelist", dir.file("D"), dir.file("c.clog")}), 0);
    std::vector<std::vector<double>> c = readRows(dir.file("C.korelist")), d = readRows(dir.file("D.korelist"));
    ASSERT_EQ(c.size(), 2u);
    ASSERT_EQ(d.size(), c.size());
    for (size_t i = 0; i < c.size(); ++i) {
        for (int k = 0; k < kColumnCount; ++k) EXPECT_NEAR(c[i][k], d[i][k], 1e-5) << "row " << i << " column " << k;
    }
}

TEST_F(ProgramRun, HitCountLogsCalibrateTheMeanToTPerHit) {
    // a=2, b=10, c=20, t=3: ToT 30 gives (13 + √89) / 2 keV.
    std::string cal = calibrationDir(dir, "cal", 8, 8, 2, 10, 20, 3);
    std::string input = dir.write("i.clog", "Frame 1 (5, 1 s)\n[1, 1, 90, 3] [1, 2, 30, 1] \n");
    ASSERT_EQ(runClusterer({"--width", "8", "--height", "8", "-c", cal, "--measmode", "itot+count", "--korelist",
                            dir.file("E"), input}),
              0);
    std::vector<std::vector<double>> rows = readRows(dir.file("E.korelist"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(rows[0][kE], 4 * (13 + std::sqrt(89.0)) / 2, 1e-3);
    EXPECT_EQ(rows[0][kT], 5e9);  // the counts are no times
}

TEST_F(ProgramRun, ReadsADirectoryOfFramesAsOneSet) {
    std::filesystem::create_directory(dir.file("frames"));
    dir.write("frames/b.txt", "0 0\n0 4\n");
    dir.write("frames/a.txt", "3 0\n0 0\n");
    dir.write("frames/notes.md", "not a frame\n");
    std::string stat = dir.file("s.txt");
    ASSERT_EQ(runClusterer({"--width", "2", "--height", "2", "--korelist", dir.file("E"), "--stat-file", stat,
                            dir.file("frames")}),
              0);
    std::vector<std::vector<double>> rows = readRows(dir.file("E.korelist"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][kE], 3);  // a.txt first
    EXPECT_EQ(rows[1][kFlags], 2);
    EXPECT_EQ(rows[1][kT], 1e9);  // numbered frames lie one second apart
    EXPECT_EQ(statValue(stat, "FrameNum"), 2);
}

TEST_F(ProgramRun, FailsOnMissingUnsupportedAndBrokenInputsButStillWritesStatistics) {
    std::string stat = dir.file("s.txt");
    EXPECT_NE(runClusterer({"--stat-file", stat, dir.file("none.t3pa")}), 0);
    EXPECT_EQ(statValue(stat, "FrameNum"), 0);
    EXPECT_NE(runClusterer({dir.write("x.t3p", "binary")}), 0);
    EXPECT_NE(runClusterer({dir.write("x.txt", "some words\n")}), 0);
    EXPECT_NE(runClusterer({"-c", dir.file("nocal"), dir.write("y.clog", kThreeFrames)}), 0);
    EXPECT_NE(runClusterer({"--korelist", dir.file("no/such/dir/E"), dir.write("z.clog", kThreeFrames)}), 0);
    // A line over the limit stops the input: the run fails instead of growing its buffer without end.
    RunStatistics statistics;
    EXPECT_EQ(runClusterer({dir.write("long.t3pa", "0\t1\t2\t3\t4\t0\n" + std::string(LineSource::kMaxLineLength + 1, '1') +
                                                     "\n1\t1\t2\t3\t4\t0\n")},
                           &statistics),
              1);
    EXPECT_EQ(statistics.pixelsRead, 1);
}

}  // namespace
}  // namespace zel::clusterer
