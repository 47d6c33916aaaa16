// Coincidence grouping on hand-counted event lists: groups, sizes, time differences, per-sample counts, the groups
// handed on, and the "CoincEventList" in both layouts.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "AnalysisTestSupport.h"
#include "analysis/CoincidenceAnalysis.h"

namespace {

using zel::CoincidenceAnalysis;

struct CoincidenceAnalysisTest : ::testing::Test, zeltest::LoggedDir {
    CoincidenceAnalysis coinc;
    std::vector<std::pair<double, size_t>> handedOn;  // (group number, size) of every group handed on
    std::vector<double> handedTimes;

    void SetUp() override {
        CoincidenceAnalysis::Options options;
        options.directory = tmp.dir() + "CoincEvent/";
        // Columns: EventID, T, E, Size.
        ASSERT_TRUE(coinc.init(options, {0, 1, 2, 3}, to));
        coinc.setGroupReceiver([this](const zel::CoincidenceGroup& group) {
            handedOn.emplace_back(group.eventId, group.size());
            for (size_t i = 0; i < group.size(); ++i) handedTimes.push_back(group.row(i)[1]);
        });
    }
    void feed(const std::vector<std::vector<double>>& rows) {
        for (const auto& row : rows) coinc.groupCluster(row);
    }
    double histogramEntries() const {
        double sum = 0;
        for (int b = 0; coinc.timeDifferences()->GetBinContent(b) >= 0; ++b) sum += coinc.timeDifferences()->GetBinContent(b);
        return sum;
    }
};

// Group numbers 5, 5, 6, 7, 7, 7, then 8: two coincidence groups of sizes 2 and 3.
const std::vector<std::vector<double>> kGroups = {
    {5, 1000, 10, 1}, {5, 1030, 20, 3}, {6, 5000, 7, 2}, {7, 9000, 100, 4}, {7, 9010, 50, 1}, {7, 9070, 30, 2},
    {8, 20000, 1, 1},
};

TEST_F(CoincidenceAnalysisTest, HandCountedGroupsSizesAndTimeDifferences) {
    feed(kGroups);
    EXPECT_EQ(coinc.countCoincGroups(), 2);
    EXPECT_EQ(coinc.countParticlesInGroups(), 5);
    EXPECT_EQ(coinc.maxGroupSize(), 3);
    EXPECT_EQ(coinc.maxGroupEventId(), 7);
    EXPECT_EQ(coinc.countEvents(), 4);  // 5, 6, 7 and the open 8
    EXPECT_EQ(coinc.countParticlesNoCoinc(), 2);
    EXPECT_DOUBLE_EQ(coinc.meanParticlesPerGroup(), 2.5);
    EXPECT_DOUBLE_EQ(coinc.meanParticlesPerEvent(), 7.0 / 4.0);
    EXPECT_EQ(coinc.groupEventIds(), (std::vector<double>{5, 7}));
    EXPECT_EQ(histogramEntries(), 3);  // 30, 10 and 70 ns
    EXPECT_EQ(handedOn, (std::vector<std::pair<double, size_t>>{{5, 2}, {7, 3}}));
    EXPECT_EQ(handedTimes, (std::vector<double>{1000, 1030, 9000, 9010, 9070}));

    const auto& groups = coinc.groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[1].clusterCount, 3);
    EXPECT_EQ(groups[1].time, 9000);
    EXPECT_EQ(groups[1].timeMax - groups[1].timeMin, 70);
    EXPECT_EQ(groups[1].energySum, 180);
    EXPECT_EQ(groups[1].energyMin, 30);
    EXPECT_EQ(groups[1].sizeMax, 4);
    EXPECT_DOUBLE_EQ(groups[0].sizeMean, 2);

    // The open group of one cluster closes at the end of the input and adds nothing.
    EXPECT_EQ(coinc.finishInput(), 0);
    EXPECT_EQ(coinc.countCoincGroups(), 2);
    EXPECT_EQ(handedOn.size(), 2u);
}

TEST_F(CoincidenceAnalysisTest, SameNumberApartIsTwoEventsAndTheLastGroupClosesAtTheEnd) {
    feed({{3, 0, 1, 1}, {4, 10, 1, 1}, {3, 20, 1, 1}, {3, 25, 1, 1}});
    EXPECT_EQ(coinc.countCoincGroups(), 0);
    coinc.finishInput();
    EXPECT_EQ(coinc.countEvents(), 3);
    EXPECT_EQ(coinc.countCoincGroups(), 1);
    EXPECT_EQ(histogramEntries(), 1);
    EXPECT_EQ(coinc.timeDifferences()->GetBinContent(coinc.timeDifferences()->FindBin(5)), 1);
}

TEST_F(CoincidenceAnalysisTest, CountsPerTimeSample) {
    feed({{1, 0, 1, 1}, {1, 5, 1, 1}, {2, 10, 1, 1}});
    coinc.closeSample(1.0, false);
    feed({{3, 2e9, 1, 1}, {3, 2e9 + 5, 1, 1}, {3, 2e9 + 6, 1, 1}, {4, 2e9 + 100, 1, 1}});
    coinc.closeSample(0.5, true);
    coinc.finishInput();
    EXPECT_EQ(coinc.sampleLiveTimes(), (std::vector<double>{1.0, 0.5}));
    EXPECT_EQ(coinc.sampleEvents(), (std::vector<double>{2, 2}));
    // Group 1 closes in the first sample; group 3 closes when 4 opens in the second.
    EXPECT_EQ(coinc.sampleCoincGroups(), (std::vector<double>{1, 1}));
    EXPECT_EQ(coinc.sampleMeanParticlesPerEvent(), (std::vector<double>{1.5, 2.0}));
}

TEST_F(CoincidenceAnalysisTest, CoincEventListHoldsEveryKeyInBothLayouts) {
    feed(kGroups);
    coinc.closeSample(2.0, true);
    coinc.finishInput();
    ASSERT_EQ(coinc.exportResults(to), 0);
    const nlohmann::json plain =
        nlohmann::json::parse(zeltest::TempDir::read(tmp.file("CoincEvent/CoincEventList.json")));
    ASSERT_TRUE(plain.is_object());
    EXPECT_EQ(plain["TimeCoincWindow_ns+1"], 100);
    EXPECT_EQ(plain["CountEvent_Sum_cnt"], 4);
    EXPECT_EQ(plain["CountCoincGroup_Sum_cnt"], 2);
    EXPECT_EQ(plain["CountCoincGroup_Sum_perc"], 50);
    EXPECT_EQ(plain["CountParticle_Mean_Event_cnt"], 1.75);
    EXPECT_EQ(plain["CountParticle_Sum_NoCoinc_cnt"], 2);
    EXPECT_EQ(plain["CountParticle_Sum_CoincGroup_cnt"], 5);
    EXPECT_EQ(plain["CountParticle_Mean_CoincGroup_cnt"], 2.5);
    EXPECT_EQ(plain["CountParticle_Max_CoincGroup_cnt"], 3);
    EXPECT_TRUE(plain.contains("CountParticle_Sum_NoCoinc_perc"));
    EXPECT_TRUE(plain.contains("CountParticle_Sum_CoincGroup_perc"));
    EXPECT_EQ(plain["TimeLive_Int_Sample_s+1"], std::vector<double>{2});
    EXPECT_EQ(plain["CountParticle_Mean_Sample_Event_cnt"], std::vector<double>{1.75});
    EXPECT_EQ(plain["CountCoincGroup_Sample_cnt"], std::vector<double>{2});
    EXPECT_TRUE(std::filesystem::exists(tmp.file("CoincEvent/Hist/Hist1D_TimeDiff_Coinc_Total.hist")));
    const std::string table = zeltest::TempDir::read(tmp.file("CoincEvent/CoincGroups.txt"));
    EXPECT_NE(table.find("7\t3\t9000\t9000\t9070\t70\t180\t60\t100\t30\t7"), std::string::npos) << table;

    CoincidenceAnalysis::Options options;
    options.doWeb = true;
    options.directory = tmp.dir() + "web/";
    CoincidenceAnalysis web;
    ASSERT_TRUE(web.init(options, {0, 1, 2, 3}, to));
    for (const auto& row : kGroups) web.groupCluster(row);
    web.closeSample(2.0, true);
    ASSERT_EQ(web.exportResults(to), 0);
    const nlohmann::json tables = nlohmann::json::parse(zeltest::TempDir::read(tmp.file("web/CoincEventList.json")));
    ASSERT_TRUE(tables.is_array());
    ASSERT_EQ(tables.size(), 3u);
    EXPECT_EQ(tables[0]["Data"]["CountCoincGroup_Sum_cnt"], 2);
    EXPECT_EQ(tables[1]["SectionType"][0], "1DHistogram");
    EXPECT_EQ(tables[1]["Feature"], "TimeDiff_Coinc");
    EXPECT_EQ(tables[2]["SectionType"][0], "TabTimePlot");
}

TEST_F(CoincidenceAnalysisTest, AnEmptyGroupTableIsSaidButTheListIsWritten) {
    feed({{1, 0, 1, 1}, {2, 10, 1, 1}});
    coinc.finishInput();
    EXPECT_EQ(coinc.exportResults(to), 0);
    EXPECT_TRUE(logHas("Can not export coincidence group because the storage is empty."));
    EXPECT_TRUE(std::filesystem::exists(tmp.file("CoincEvent/CoincEventList.json")));
}

}  // namespace

TEST_F(CoincidenceAnalysisTest, GroupsToBeDrawnCarryTheRunsClusterIndexesAcrossBatches) {
    // Two batches of 4 and 3 rows; the third row of the first batch is not evaluated (filtered out), so the
    // analysis never sees it, yet the indexes count it.
    const std::vector<std::vector<double>> first = {{5, 1000, 10, 1}, {5, 1030, 20, 3}, {0, 0, 0, 0}, {6, 5000, 7, 2}};
    const std::vector<std::vector<double>> second = {{7, 9000, 100, 4}, {7, 9010, 50, 1}, {8, 20000, 1, 1}};
    for (const auto* rows : {&first, &second}) {
        zel::ClusterBatch batch = zel::ClusterBatch::fromRows(*rows);
        coinc.processBatch(batch);
        for (uint32_t r = 0; r < batch.size(); ++r)
            if (rows == &second || r != 2) coinc.processCluster(batch.row(r), r, -1);
    }
    coinc.finishInput();
    const auto pictures = coinc.groupPictures();
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[0].name, "ClustersMaxCoincGroup");
    EXPECT_EQ(pictures[0].title, "Clusters of most numerous coinc group");
    EXPECT_EQ(pictures[0].clusters, (std::vector<uint32_t>{0, 1}));  // the first of the two largest
    EXPECT_EQ(pictures[1].name, "ClustersCoincGroup_5");
    EXPECT_EQ(pictures[1].title, "Clusters of coinc group 5");
    EXPECT_EQ(pictures[2].name, "ClustersCoincGroup_7");
    EXPECT_EQ(pictures[2].clusters, (std::vector<uint32_t>{4, 5}));
}

TEST_F(CoincidenceAnalysisTest, TwentyGroupsSpreadOverTheRunAreDrawnBesidesTheLargest) {
    // 100 groups of two, the 37th of three.
    for (int g = 0; g < 100; ++g)
        for (int c = 0; c < (g == 36 ? 3 : 2); ++c) {
            const std::vector<double> row{double(g), g * 1e6 + c, 1, 1};
            coinc.groupCluster(row);
        }
    coinc.finishInput();
    const auto pictures = coinc.groupPictures();
    ASSERT_EQ(pictures.size(), 1u + CoincidenceAnalysis::kGroupPictures);
    EXPECT_EQ(pictures[0].clusters.size(), 3u);
    // Every fifth group: 0, 5, ..., 95.
    EXPECT_EQ(pictures[1].name, "ClustersCoincGroup_0");
    EXPECT_EQ(pictures[2].name, "ClustersCoincGroup_5");
    EXPECT_EQ(pictures.back().name, "ClustersCoincGroup_95");
}
