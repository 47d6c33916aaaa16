// Frame and coincidence analysis through the engine: a real measurement with 1000 frame lines, cluster logs with
// unusable frame lines, hand-written event lists with known frames and coincidence groups, and inputs that lack
// the columns the analyses need.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "EngineRunSupport.h"

namespace {

const std::string kCosmic = std::string(ZEL_SHARED_DATA_DIR) + "/cosmic-tpx-si300/";
const std::string kBin = std::string(ZEL_BIN_DIR) + "/";

struct FrameRun : enginetest::EngineRun {
    std::filesystem::path before = std::filesystem::current_path();
    void TearDown() override {
        EngineRun::TearDown();
        std::filesystem::current_path(before);
    }
    nlohmann::json frameList() const { return nlohmann::json::parse(read("out/Frame/FrameList.json")); }
    nlohmann::json coincList() const { return nlohmann::json::parse(read("out/CoincEvent/CoincEventList.json")); }
    std::string withClusterer(const std::string& extra = "") const {
        return "ClustererPath = \"" + kBin + "\"\nDoPID = false\nDoFilter = false\n" + extra;
    }
};

// What the frame lines and cluster lines of a cluster log say, read here without the engine.
struct ClogFacts {
    std::vector<double> starts;
    double acq = 0;
    std::map<int, int> clustersPerFrame;
    int clusters = 0;

    explicit ClogFacts(const std::string& file) {
        std::ifstream in(file);
        int frame = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("Frame ", 0) == 0) {
                std::istringstream fields(line.substr(6));
                char bracket = 0, comma = 0;
                double start = 0;
                fields >> frame >> bracket >> start >> comma >> acq;
                starts.push_back(start);
            } else if (line.find('[') != std::string::npos) {
                ++clustersPerFrame[frame];
                ++clusters;
            }
        }
    }
    double deadTimeMean() const {
        double sum = 0;
        for (size_t i = 1; i < starts.size(); ++i) sum += starts[i] - starts[i - 1] - acq;
        return sum / static_cast<double>(starts.size() - 1);
    }
};

TEST_F(FrameRun, RealMeasurementGivesTheFramesAndTimingOfItsClusterLog) {
    if (!std::filesystem::exists(kCosmic + "cosmic.clog")) GTEST_SKIP() << "cosmic measurement not at hand";
    if (!std::filesystem::exists(kBin + "clusterer")) GTEST_SKIP() << "clusterer not built";
    const ClogFacts facts(kCosmic + "cosmic.clog");
    ASSERT_EQ(facts.starts.size(), 1000u);
    const int lastFrame = facts.clustersPerFrame.rbegin()->first;
    const int withClusters = static_cast<int>(facts.clustersPerFrame.size());
    // Frame 1 counts as non-empty even without clusters; frames after the last cluster are never reached.
    const int nonEmpty = withClusters + (facts.clustersPerFrame.count(1) ? 0 : 1);

    std::filesystem::current_path(dir.dir());  // the clusterer's statistics file
    process("FileInPath = \"" + kCosmic + "\"\nFileInName = \"cosmic.clog\"\nFileOutPath = \"" + dir.dir() +
            "out/\"\nLogPath = \"" + dir.dir() + "out/\"\nDoPrint = false\nDoExportGraphics = false\nCalMat = \"" +
            kCosmic + "\"\n" + withClusterer());
    const nlohmann::json list = frameList();
    EXPECT_EQ(list["CountFrame_cnt"], lastFrame);
    EXPECT_EQ(list["CountFrame_NonEmpty_cnt"], nonEmpty);
    EXPECT_EQ(list["CountFrame_Empty_cnt"], lastFrame - nonEmpty);
    EXPECT_DOUBLE_EQ(list["TimeAcq_s+1"].get<double>(), facts.acq);
    EXPECT_NEAR(list["TimeDead_Mean_s+1"].get<double>(), facts.deadTimeMean(), 1e-8);
    EXPECT_NEAR(list["FramesPerSecond_Mean_s-1"].get<double>(), 1.0 / (facts.acq + facts.deadTimeMean()), 1e-3);
    const std::vector<double> perFrame = list["CountParticle_Frame_cnt"].get<std::vector<double>>();
    ASSERT_EQ(perFrame.size(), static_cast<size_t>(lastFrame));
    double sum = 0;
    for (double count : perFrame) sum += count;
    EXPECT_EQ(sum, facts.clusters);
    for (const auto& [frame, count] : facts.clustersPerFrame) EXPECT_EQ(perFrame[frame - 1], count) << frame;
    std::printf("cosmic frames: %d frames, %d non-empty, dead time %.6f s, %.5f frames/s, %d clusters\n", lastFrame,
                nonEmpty, facts.deadTimeMean(), 1.0 / (facts.acq + facts.deadTimeMean()), facts.clusters);
    // Without TimeAcq the frames are the live time: 1000 frames of 5 s.
    EXPECT_NEAR(results()["TimeLive_Sum_s+1"].get<double>(), 1000 * facts.acq, 1e-6);
    EXPECT_NE(log().find("Live time is the sum of the acquisition times of the 1000 frames of the cluster log: 5000 s"),
              std::string::npos);
    // A counting-mode cluster log carries no time of arrival: no coincidence analysis.
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/CoincEvent/CoincEventList.json")));
}

TEST_F(FrameRun, UnusableFrameLinesAreReportedOnceEachAndTheRunGoesOn) {
    if (!std::filesystem::exists(kBin + "clusterer")) GTEST_SKIP() << "clusterer not built";
    dir.write("bad.clog", "Frame 1 (0.000000, 1.000000 s)\n[1, 1, 10] [2, 1, 12]\nFrame 2 (oops)\n[5, 5, 10]\n"
                          "Frame 3 (2.500000, 1.000000 s)\n[9, 9, 20]\n");
    std::filesystem::current_path(dir.dir());
    process(params("bad.clog", withClusterer("IsEnergyCalibrated = true\n")));
    const std::string text = log();
    const std::string message = "Can not load acq time of frames from input clog.";
    const size_t first = text.find(message);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find(message, first + 1), std::string::npos);
    const nlohmann::json list = frameList();
    EXPECT_EQ(list["CountFrame_cnt"], 3);
    EXPECT_EQ(list["CountFrame_Empty_cnt"], 0);
    EXPECT_DOUBLE_EQ(list["TimeDead_Mean_s+1"].get<double>(), 1.5);  // from frames 1 and 3
    EXPECT_DOUBLE_EQ(list["FramesPerSecond_Mean_s-1"].get<double>(), 0.4);
    EXPECT_EQ(list["CountParticle_Frame_cnt"], (std::vector<double>{1, 1, 1}));
}

const char* kGoodClog = "Frame 1 (0.000000, 1.000000 s)\n[1, 1, 10] [2, 1, 12]\nFrame 2 (1.100000, 1.000000 s)\n"
                        "Frame 3 (2.200000, 1.000000 s)\n[9, 9, 20]\n";

TEST_F(FrameRun, WebLayoutMakesTheFrameListAnArrayOfTables) {
    if (!std::filesystem::exists(kBin + "clusterer")) GTEST_SKIP() << "clusterer not built";
    dir.write("run.clog", kGoodClog);
    std::filesystem::current_path(dir.dir());
    process(params("run.clog", withClusterer("IsEnergyCalibrated = true\nDoWeb = true\n")));
    const nlohmann::json tables = frameList();
    ASSERT_TRUE(tables.is_array());
    ASSERT_EQ(tables.size(), 3u);
    EXPECT_EQ(tables[0]["Data"]["CountFrame_Empty_cnt"], 1);
    EXPECT_NEAR(tables[0]["Data"]["TimeDead_Mean_s+1"].get<double>(), 0.1, 1e-9);
    EXPECT_EQ(tables[2]["Data"]["CountParticle_Frame_cnt"], (std::vector<double>{1, 0, 1}));
    EXPECT_TRUE(results().is_object());
}

const char* kHeader = "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n";

TEST_F(FrameRun, EventListWithKnownCoincidenceGroups) {
    // Groups 5 (2 clusters, 40 ns apart), 6, 7 (3 clusters: 10 and 25 ns after the first), 8.
    dir.write("run.elist", std::string(kHeader) +
                               "5\t1\t1\t10\t100\t2\n5\t2\t2\t20\t140\t3\n6\t3\t3\t30\t5000\t1\n"
                               "7\t4\t4\t40\t9000\t4\n7\t5\t5\t50\t9010\t1\n7\t6\t6\t60\t9025\t1\n"
                               "8\t7\t7\t70\t20000\t2\n");
    process(params("run.elist", "TimeCoinc = 50\nDoWeb = true\n"));
    const nlohmann::json tables = coincList();
    ASSERT_TRUE(tables.is_array());
    ASSERT_EQ(tables.size(), 3u);
    const nlohmann::json& coinc = tables[0]["Data"];
    EXPECT_EQ(coinc["TimeCoincWindow_ns+1"], 50);
    EXPECT_EQ(coinc["CountEvent_Sum_cnt"], 4);
    EXPECT_EQ(coinc["CountCoincGroup_Sum_cnt"], 2);
    EXPECT_EQ(coinc["CountCoincGroup_Sum_perc"], 50);
    EXPECT_EQ(coinc["CountParticle_Sum_CoincGroup_cnt"], 5);
    EXPECT_EQ(coinc["CountParticle_Max_CoincGroup_cnt"], 3);
    EXPECT_EQ(coinc["CountParticle_Sum_NoCoinc_cnt"], 2);
    const std::string groups = read("out/CoincEvent/CoincGroups.txt");
    EXPECT_NE(groups.find("5\t2\t100\t100\t140\t40\t30"), std::string::npos) << groups;
    EXPECT_NE(groups.find("7\t3\t9000\t9000\t9025\t25\t150"), std::string::npos) << groups;
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/CoincEvent/Hist/Hist1D_TimeDiff_Coinc_Total.hist")));
    // Event lists carry no frame timing: frame analysis is off for them.
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/Frame/FrameList.json")));
}

struct PushedRun : FrameRun {
    void start(const std::vector<std::string>& variables) {
        dir.write("run.param", "FileOutPath = \"" + dir.dir() + "out/\"\nLogPath = \"" + dir.dir() +
                                   "out/\"\nDoPrint = false\nDoExportGraphics = false\n");
        std::filesystem::create_directories(dir.file("out"));
        ASSERT_EQ(zel::loadParamFile(dir.dir(), "run.param"), 0);
        zel::setClusterVarOrder(variables);
        ASSERT_EQ(zel::init(), 0);
    }
};

TEST_F(PushedRun, ClustersWithoutEventIdOrFlagsSwitchTheAnalysesOffWithAWarning) {
    start({"X", "Y", "E", "T", "Size"});
    ASSERT_EQ(zel::processClusters({{1, 1, 10, 100, 2}, {2, 2, 20, 200, 3}}), 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 2);
    const std::string text = log();
    EXPECT_NE(text.find("no EventID column"), std::string::npos);
    EXPECT_NE(text.find("Coincidence analysis is switched off."), std::string::npos);
    EXPECT_NE(text.find("no Flags column"), std::string::npos);
}

TEST_F(PushedRun, FlagsThatAreNoFrameNumbersAreSaidAndTheRestIsProcessed) {
    start({"EventID", "X", "Y", "E", "T", "Flags", "Size"});
    ASSERT_EQ(zel::processClusters({{1, 1, 1, 10, 100, 1, 2}, {2, 2, 2, 20, 200, 2.5, 3}, {3, 3, 3, 5, 300, 2, 1}}), 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 3);
    EXPECT_NE(log().find("1 clusters of the batch carry a Flags value that is no frame number (the first: 2.5)"),
              std::string::npos);
}

}  // namespace
