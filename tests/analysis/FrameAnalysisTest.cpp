// Frame analysis on hand-made clusters and frame lines: counting per frame, the maximal-occupancy frame, the
// frame timing of a cluster log, the per-frame products, and the "FrameList" in both layouts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <cmath>
#include <sstream>

#include "AnalysisTestSupport.h"
#include "analysis/FrameAnalysis.h"

namespace {

using zel::FrameAnalysis;
using L = FrameAnalysis::List;

struct FrameAnalysisTest : ::testing::Test, zeltest::LoggedDir {
    FrameAnalysis frames;
    // Columns: Flags, Size, E, IsSensEdge, FilterPass.
    FrameAnalysis::Columns columns{0, 1, 2, 3, 4};

    void SetUp() override { frames.init(FrameAnalysis::Options{}, columns, to); }
    std::vector<double> counts() const { return frames.list(L::kCountParticle); }
};

TEST_F(FrameAnalysisTest, ClustersAreCountedPerFrameWithTheEmptyFramesBetween) {
    frames.countCluster(1, 3, 10);
    frames.countCluster(1, 2, 20);
    frames.countCluster(4, 5, 40);
    EXPECT_EQ(frames.frameCount(), 4);
    EXPECT_EQ(frames.emptyFrames(), 2);
    EXPECT_EQ(frames.nonEmptyFrames(), 2);
    EXPECT_EQ(counts(), (std::vector<double>{2, 0, 0, 1}));
    EXPECT_EQ(frames.list(L::kCountPixHit), (std::vector<double>{5, 0, 0, 5}));
    EXPECT_EQ(frames.list(L::kEnergy), (std::vector<double>{30, 0, 0, 40}));
}

TEST_F(FrameAnalysisTest, ARunStartingInFrameThreeKeepsFrameOneAsANonEmptyZeroEntry) {
    frames.countCluster(3, 1, 1);
    EXPECT_EQ(counts(), (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(frames.frameCount(), 3);
    EXPECT_EQ(frames.nonEmptyFrames(), 2);
    EXPECT_EQ(frames.emptyFrames(), 1);
}

TEST_F(FrameAnalysisTest, TheEarliestOfEquallyOccupiedFramesWinsAndTheLastFrameIsNeverCompared) {
    frames.countCluster(1, 5, 0);
    frames.countCluster(2, 5, 0);
    frames.countCluster(3, 100, 0);  // current at the end: not compared
    EXPECT_EQ(frames.maxOccupancyFrame(), 1);
    EXPECT_EQ(frames.maxOccupancyHits(), 5);
    frames.countCluster(4, 1, 0);
    EXPECT_EQ(frames.maxOccupancyFrame(), 3);
    EXPECT_EQ(frames.maxOccupancyHits(), 100);
}

TEST_F(FrameAnalysisTest, AFrameNumberGoingBackwardsStartsANewEntryAtTheEndWithAWarning) {
    frames.countCluster(1, 1, 0);
    frames.countCluster(3, 1, 0);
    frames.countCluster(2, 1, 0);
    EXPECT_EQ(counts(), (std::vector<double>{1, 0, 1, 1}));
    EXPECT_EQ(frames.frameCount(), 4);
    EXPECT_EQ(frames.currentFrame(), 2);
    EXPECT_TRUE(logHas("Frame numbers go backwards (frame 2 after frame 3)"));
}

TEST_F(FrameAnalysisTest, BatchSkipsEdgeFilteredAndUnnumberedClusters) {
    FrameAnalysis::Options options;
    options.ignoreSensEdge = true;
    frames.init(options, columns, to);
    frames.setFilterActive(true);
    zel::ClusterBatch batch = zel::ClusterBatch::fromRows({
        {1, 2, 10, 0, 1},    // counted
        {1, 4, 10, 1, 1},    // sensor edge
        {2, 4, 10, 0, 0},    // failed the filter
        {2.5, 4, 10, 0, 1},  // no frame number
        {2, 3, 30, 0, 1},    // counted
    });
    EXPECT_EQ(frames.processBatch(batch), 0);
    EXPECT_EQ(counts(), (std::vector<double>{1, 1}));
    EXPECT_EQ(frames.list(L::kCountPixHit), (std::vector<double>{2, 3}));
    EXPECT_TRUE(logHas("1 clusters of the batch carry a Flags value that is no frame number (the first: 2.5)"));

    zel::ClusterBatch empty = zel::ClusterBatch::fromRows({});
    EXPECT_EQ(frames.processBatch(empty), FrameAnalysis::kBatchFailed);
    frames.resetFrames();
    EXPECT_EQ(counts(), (std::vector<double>{0}));
    EXPECT_EQ(frames.frameCount(), 1);
}

TEST_F(FrameAnalysisTest, FrameLinesGiveAcquisitionAndDeadTimeAndUnusableLinesAreReportedEach) {
    std::istringstream clog("Frame 1 (100.0, 2.0 s)\n[1, 2, 3]\nFrame 2 (102.5, 2.0 s)\nFrame broken\n"
                           "Frame 3 (105.5, 2.0 s)\nF 7\n");
    EXPECT_EQ(frames.readFrameTiming(clog), 2);
    // Dead times 0.5 and 1.0.
    EXPECT_DOUBLE_EQ(frames.timeAcq(), 2.0);
    EXPECT_DOUBLE_EQ(frames.deadTimeMean(), 0.75);
    EXPECT_NEAR(frames.deadTimeStd(), std::sqrt(0.125), 1e-12);
    EXPECT_EQ(frames.timeUnit(), "s+1");
    const std::string text = logText();
    size_t reported = 0;
    for (size_t at = text.find("Can not load acq time of frames from input clog."); at != std::string::npos;
         at = text.find("Can not load acq time of frames from input clog.", at + 1))
        ++reported;
    EXPECT_EQ(reported, 2u);
    EXPECT_NE(text.find("-2100"), std::string::npos);

    FrameAnalysis other;
    other.init(FrameAnalysis::Options{}, columns, to);
    std::istringstream noFrames("[1, 2, 3]\n");
    EXPECT_EQ(other.readFrameTiming(noFrames), 0);
    EXPECT_EQ(other.deadTimeMean(), 0.0);
    EXPECT_EQ(other.readFrameTiming(tmp.file("missing.clog")), 1);
}

TEST_F(FrameAnalysisTest, ZeroAcquisitionTimeGivesUnitStepsAndNoRates) {
    frames.countCluster(1, 4, 8);
    frames.countCluster(2, 2, 2);
    frames.countCluster(3, 0, 0);
    FrameAnalysis::Factors factors;
    factors.dose = 2;
    factors.doseRate = 3;
    factors.flux = 0.5;
    factors.sensorArea = 2;
    frames.evaluate(factors);
    EXPECT_EQ(frames.frameStartTimes(), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(frames.list(L::kCountRate), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(frames.list(L::kDoseRate), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(frames.list(L::kFlux), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(frames.list(L::kDose), (std::vector<double>{16, 4, 0}));
    EXPECT_EQ(frames.list(L::kFluence), (std::vector<double>{0.5, 0.5, 0.5}));
    EXPECT_EQ(frames.list(L::kEnergyPerPixel), (std::vector<double>{2, 1, 0}));
    EXPECT_DOUBLE_EQ(frames.framesPerSecond(), -1.0);

    std::istringstream clog("Frame 1 (0, 0 s)\nFrame 2 (0.25, 0 s)\n");
    frames.readFrameTiming(clog);
    frames.evaluate(factors);
    EXPECT_DOUBLE_EQ(frames.framesPerSecond(), 4.0);  // 1 / mean dead time
}

TEST_F(FrameAnalysisTest, PerFrameProductsAndTheirStatisticsFollowTheAcquisitionTime) {
    std::istringstream clog("Frame 1 (10, 2 s)\nFrame 2 (13, 2 s)\n");  // dead time 1 s
    frames.readFrameTiming(clog);
    frames.countCluster(1, 6553.6, 10);  // 10 % of the matrix
    frames.countCluster(2, 0, 0);
    frames.countCluster(2, 0, 0);
    FrameAnalysis::Factors factors;
    factors.doseRate = 3;
    factors.flux = 0.5;
    frames.evaluate(factors);
    EXPECT_EQ(frames.frameStartTimes(), (std::vector<double>{2, 5}));
    EXPECT_DOUBLE_EQ(frames.framesPerSecond(), 1.0 / 3.0);
    EXPECT_NEAR(frames.list(L::kOccupancy)[0], 10.0, 1e-12);
    EXPECT_EQ(frames.list(L::kCountRate), (std::vector<double>{0.5, 1.0}));
    EXPECT_EQ(frames.list(L::kFlux), (std::vector<double>{0.25, 0.5}));
    EXPECT_EQ(frames.list(L::kDoseRate), (std::vector<double>{15, 0}));
    EXPECT_EQ(frames.list(L::kDose), (std::vector<double>{0, 0}));  // no dose factor
    const FrameAnalysis::Statistic& rate = frames.statistic(L::kCountRate);
    EXPECT_DOUBLE_EQ(rate.mean, 0.75);
    EXPECT_DOUBLE_EQ(rate.minimum, 0.5);
    EXPECT_DOUBLE_EQ(rate.maximum, 1.0);
    EXPECT_NEAR(rate.std, std::sqrt(0.125), 1e-12);
}

TEST_F(FrameAnalysisTest, FrameListHoldsEveryKeyInBothLayouts) {
    for (bool web : {false, true}) {
        FrameAnalysis::Options options;
        options.doWeb = web;
        options.directory = tmp.dir() + (web ? "web/" : "plain/");
        frames.init(options, columns, to);
        frames.countCluster(1, 2, 5);
        frames.countCluster(3, 4, 7);
        ASSERT_EQ(frames.exportResults(to), 0);
        const nlohmann::json doc = nlohmann::json::parse(zeltest::TempDir::read(options.directory + "FrameList.json"));
        nlohmann::json values;
        if (web) {
            ASSERT_TRUE(doc.is_array());
            ASSERT_EQ(doc.size(), 3u);
            EXPECT_EQ(doc[0]["SectionType"][0], "1DTable");
            EXPECT_EQ(doc[1]["SectionType"][0], "MeanStdMinMax");
            EXPECT_EQ(doc[2]["SectionName"], "Physical products for individual frames");
            for (const auto& table : doc) values.update(table["Data"]);
        } else {
            ASSERT_TRUE(doc.is_object());
            values = doc;
        }
        EXPECT_EQ(values["CountFrame_cnt"], 3);
        EXPECT_EQ(values["CountFrame_NonEmpty_cnt"], 2);
        EXPECT_EQ(values["CountFrame_Empty_cnt"], 1);
        for (const char* key : {"TimeAcq_s+1", "TimeDead_Mean_s+1", "TimeDead_Std_s+1", "FramesPerSecond_Mean_s-1",
                                "EnergyDep_MeanStdMinMax_keV+1", "Dose_MeanStdMinMax_uGy+1",
                                "DoseRate_MeanStdMinMax_uGy+1h-1", "Pix_MeanStdMinMax_keV+1",
                                "CountParticles_MeanStdMinMax_cnt", "CountRate_MeanStdMinMax_s-1",
                                "Fluence_MeanStdMinMax_cm-2", "Flux_MeanStdMinMax_cm-2s-1",
                                "CountPixHit_MeanStdMinMax_cnt", "OccupancyPix_MeanStdMinMax_perc", "Frame_MeStMiMaPix",
                                "Frame_MeStMiMaDoseRate", "Time_Frame_s+1", "CountHitPix_Frame_cnt",
                                "OccupancyPix_Frame_perc", "Dose_Frame_uGy+1", "DoseRate_Frame_uGy+1h-1"})
            EXPECT_TRUE(values.contains(key)) << key;
        EXPECT_EQ(values["CountParticle_Frame_cnt"], (std::vector<double>{1, 0, 1}));
        EXPECT_EQ(values["CountPixHit_MeanStdMinMax_cnt"].size(), 4u);
        EXPECT_TRUE(logHas("FrameList.txt"));
    }
}

}  // namespace
