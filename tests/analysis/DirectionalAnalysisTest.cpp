#include "analysis/DirectionalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "AnalysisTestSupport.h"
#include "cluster/ClusterVariables.h"
#include "engine/Settings.h"

namespace {

using zel::DirectionalAnalysis;
using Q = DirectionalAnalysis::Quantity;

// Rows in the engine's default variable list, built from the few values the analysis reads.
struct DirectionalTest : ::testing::Test, zeltest::LoggedDir {
    zel::ClusterVariables variables;
    DirectionalAnalysis::Indexes indexes;
    DirectionalAnalysis analysis;

    DirectionalTest() {
        variables.mapNames({nullptr, false, false});
        indexes = DirectionalAnalysis::Indexes::from(variables);
    }
    DirectionalAnalysis::Options options(bool trackingCond = false) {
        DirectionalAnalysis::Options o;
        o.doTrackingCond = trackingCond;
        o.directory = tmp.dir() + "Direction/";
        return o;
    }
    std::vector<double> row(double azimuth, double elevation, double length2D = 10, double roundness = 0.1,
                            double size = 10) {
        std::vector<double> r(variables.names().size(), 0.0);
        r[indexes.azimuth] = azimuth;
        r[indexes.elevation] = elevation;
        r[indexes.length2D] = length2D;
        r[indexes.length2DCorr] = length2D - 1;
        r[indexes.length3D] = std::sqrt(std::pow(55 * (length2D - 1), 2) + 300 * 300);
        r[indexes.roundness] = roundness;
        r[indexes.size] = size;
        return r;
    }
};

TEST_F(DirectionalTest, InitWithoutEveryIndexFailsAndListsThem) {
    DirectionalAnalysis::Indexes missing = indexes;
    missing.elevation = -1;
    EXPECT_EQ(analysis.init(options(), missing, to, -5500), -5609);
    EXPECT_EQ(logText(), "[ERROR] -5609 : DirectionalAnalysis : Initialization failed. Not all indexes were "
                         "specified.\ni_AzimAng:\t11\ni_ElevAng:\t-1\ni_L2D:\t\t13\ni_L2D_Corr:\t23\ni_L3D:\t\t24\n");
    EXPECT_FALSE(analysis.isInitialised());
    analysis.processCluster(row(10, 20));
    EXPECT_EQ(analysis.countAccepted(), 0);

    // A row without the columns the indexes name is no cluster.
    ASSERT_EQ(analysis.init(options(), indexes, to, -5500), 0);
    analysis.processCluster(std::vector<double>(5, 1.0));
    EXPECT_TRUE(logHas("[ERROR] -5603 : DirectionalAnalysis : No cluster for processing.\n"));
    EXPECT_EQ(analysis.countAccepted(), 0);

    // Size and roundness are needed as well, even though the list leaves them out of the message.
    DirectionalAnalysis::Indexes noSize = indexes;
    noSize.size = -1;
    EXPECT_EQ(analysis.init(options(), noSize, to, 0), -109);
}

TEST_F(DirectionalTest, TrackingConditionLetsThroughOnlyElongatedClustersOfFourPixelsOrMore) {
    ASSERT_EQ(analysis.init(options(true), indexes, to, 0), 0);
    analysis.processCluster(row(10, 20, 10, 0.93, 10));  // too round
    analysis.processCluster(row(10, 20, 10, 0.5, 3));    // too small
    analysis.processCluster(row(30, 40, 10, 0.92, 4));   // both limits pass
    EXPECT_EQ(analysis.countFailedTrackCond(), 2);
    EXPECT_EQ(analysis.countAccepted(), 1);
    EXPECT_EQ(analysis.azimuthCoarse()->GetBinContent(analysis.azimuthCoarse()->FindBin(10)), 0);
    EXPECT_EQ(analysis.azimuthCoarse()->GetBinContent(analysis.azimuthCoarse()->FindBin(30)), 1);
    EXPECT_EQ(analysis.directionFine()->GetBinContent(30.0, 40.0), 1);

    DirectionalAnalysis open;
    ASSERT_EQ(open.init(options(false), indexes, to, 0), 0);
    open.processCluster(row(10, 20, 1, 1, 1));
    EXPECT_EQ(open.countAccepted(), 1);
    EXPECT_EQ(open.countFailedTrackCond(), 0);
}

TEST_F(DirectionalTest, StatisticsGiveMeanStdMinMaxOfTheAcceptedClusters) {
    ASSERT_EQ(analysis.init(options(), indexes, to, 0), 0);
    analysis.processCluster(row(-30, 10, 5));
    ASSERT_EQ(analysis.finishInput(), 0);
    EXPECT_EQ(analysis.statistic(Q::kAzimuth).mean, -30);
    EXPECT_EQ(analysis.statistic(Q::kAzimuth).std, 0);  // one cluster has no spread

    analysis.processCluster(row(0, 20, 9));
    analysis.processCluster(row(30, 60, 13));
    ASSERT_EQ(analysis.finishInput(), 0);
    const auto& azimuth = analysis.statistic(Q::kAzimuth);
    EXPECT_DOUBLE_EQ(azimuth.mean, 0);
    EXPECT_DOUBLE_EQ(azimuth.std, 30);  // sqrt((900 + 0 + 900) / 2)
    EXPECT_EQ(azimuth.minimum, -30);
    EXPECT_EQ(azimuth.maximum, 30);
    const auto& elevation = analysis.statistic(Q::kElevation);
    EXPECT_DOUBLE_EQ(elevation.mean, 30);
    EXPECT_DOUBLE_EQ(elevation.std, std::sqrt((400.0 + 100 + 900) / 2));
    EXPECT_DOUBLE_EQ(analysis.statistic(Q::kLength2DCorr).mean, 8);

    DirectionalAnalysis idle;
    EXPECT_EQ(idle.finishInput(), -108);
}

TEST_F(DirectionalTest, SamplesKeepTheMeansOfTheirClustersAndMarkEmptyLiveTimes) {
    ASSERT_EQ(analysis.init(options(), indexes, to, 0), 0);
    analysis.processCluster(row(10, 20, 4));
    analysis.processCluster(row(30, 40, 8));
    analysis.closeSample(2.5, false);
    analysis.closeSample(0.0, false);  // no cluster, no live time
    analysis.processCluster(row(-50, 80, 6));
    analysis.closeSample(1.0, true);
    analysis.closeSample(1.0, true);  // nothing is left open after the last sample
    EXPECT_EQ(analysis.sampleIndex(), 3);
    EXPECT_EQ(analysis.sampleLiveTimes(), (std::vector<double>{2.5, -1, 1}));
    EXPECT_EQ(analysis.sampleMeans(Q::kAzimuth), (std::vector<double>{20, 0, -50}));
    EXPECT_EQ(analysis.sampleMeans(Q::kElevation), (std::vector<double>{30, 0, 80}));
    EXPECT_EQ(analysis.sampleMeans(Q::kLength2D), (std::vector<double>{6, 0, 6}));
}

TEST_F(DirectionalTest, AngleHistogramsHaveTheirCoarseAndFineBinsInDegreesOrRadians) {
    ASSERT_EQ(analysis.init(options(), indexes, to, 0), 0);
    const zel::Hist1D& elevation = *analysis.elevationCoarse();
    EXPECT_EQ(elevation.GetNBin(), 14);
    EXPECT_EQ(elevation.GetLowEdges()[2], 18);
    EXPECT_EQ(elevation.GetLowEdges()[5], 40);
    EXPECT_EQ(elevation.GetXmax(), 90);
    EXPECT_EQ(analysis.azimuthCoarse()->GetNBin(), 90);

    DirectionalAnalysis::Options radians = options();
    radians.doRadians = true;
    DirectionalAnalysis inRadians;
    ASSERT_EQ(inRadians.init(radians, indexes, to, 0), 0);
    EXPECT_EQ(inRadians.angleUnit(), "rad");
    EXPECT_NEAR(inRadians.elevationCoarse()->GetXmax(), M_PI / 2, 1e-12);
    EXPECT_NEAR(inRadians.azimuthCoarse()->GetXmin(), -M_PI / 2, 1e-12);
    inRadians.processCluster(row(45, 89));  // rows carry degrees
    ASSERT_EQ(inRadians.finishInput(), 0);
    EXPECT_NEAR(inRadians.statistic(Q::kAzimuth).mean, M_PI / 4, 1e-12);
    EXPECT_EQ(inRadians.elevationCoarse()->GetBinContent(14), 1);
}

TEST_F(DirectionalTest, ExportWritesTheListTheHistogramsAndTheGraphData) {
    ASSERT_EQ(analysis.init(options(), indexes, to, 0), 0);
    analysis.processCluster(row(-30, 10, 5));
    analysis.processCluster(row(30, 50, 9));
    analysis.closeSample(1.0, false);
    analysis.closeSample(2.0, true);
    ASSERT_EQ(analysis.finishInput(), 0);
    ASSERT_EQ(analysis.exportResults(to), 0) << logText();

    const std::string dir = tmp.dir() + "Direction/";
    const auto json = nlohmann::json::parse(zeltest::TempDir::read(dir + "DirectionList.json"));
    EXPECT_EQ(json["CountParticle_Sum_cnt"], 2);
    EXPECT_EQ(json["CountParticle_Sum_FailTrackCond_cnt"], 0);
    EXPECT_EQ(json["Stat"], (std::vector<std::string>{"Mean", "Std", "Min", "Max"}));
    EXPECT_EQ(json["AzimuthAngle_MeanStdMinMax_deg+1"][3], 30);
    EXPECT_EQ(json["PhysicalProducts_MeStMiMaElevAngle"], (std::vector<double>{30, 28.2843, 10, 50}));
    EXPECT_EQ(json["TimeLive_Int_Sample_s+1"], (std::vector<double>{1, 2}));
    EXPECT_EQ(json["ElevationAngle_Mean_Sample_deg+1"], (std::vector<double>{30, 0}));
    const std::string text = zeltest::TempDir::read(dir + "DirectionList.txt");
    EXPECT_NE(text.find("DIRECTIONAL ANALYSIS"), std::string::npos);
    EXPECT_NE(text.find("CountParticle_Sum [-]:                  2\n"), std::string::npos) << text;

    for (const char* name : {"Hist1D_AzimAngle_Total", "Hist1D_AzimAngle_FineBin_Total", "Hist1D_ElevAngle_Total",
                             "Hist1D_ElevAngle_FineBin_Total", "Hist2D_AzimElevAngle_Total",
                             "Hist2D_AzimElevAngle_FineBin_Total"}) {
        EXPECT_TRUE(std::filesystem::exists(dir + "Hist/" + name + ".hist")) << name;
        EXPECT_TRUE(std::filesystem::exists(dir + "Hist/" + name + ".hist_info")) << name;
    }
    const zel::Hist1D back(dir + "Hist/", "Hist1D_ElevAngle_Total", ".hist", ".hist_info");
    EXPECT_EQ(back.GetBinContent(1), 1);  // 10 degrees
    EXPECT_EQ(back.GetBinContent(6), 1);  // 50 degrees: 45 to 50
    EXPECT_EQ(zeltest::TempDir::read(dir + "Graph/ElevationAngle_TimeSample.txt"),
              "# Mean elevation angle over time samples\nT [s]\tElevation angle [deg]\n1\t30\n3\t0\n");
}

TEST_F(DirectionalTest, WebLayoutMakesTheListAnArrayOfTables) {
    DirectionalAnalysis::Options web = options();
    web.doWeb = true;
    web.doExportGraphics = false;
    ASSERT_EQ(analysis.init(web, indexes, to, 0), 0);
    analysis.processCluster(row(0, 45));
    analysis.closeSample(1.0, true);
    ASSERT_EQ(analysis.finishInput(), 0);
    ASSERT_EQ(analysis.exportResults(to), 0) << logText();
    const auto json = nlohmann::json::parse(zeltest::TempDir::read(tmp.dir() + "Direction/DirectionList.json"));
    ASSERT_TRUE(json.is_array());
    std::vector<std::string> kinds;
    for (const auto& table : json) kinds.push_back(table["SectionType"][0]);
    EXPECT_EQ(kinds, (std::vector<std::string>{"1DTable", "MeanStdMinMax", "1DHistogram", "1DHistogram",
                                               "1DHistogram", "1DHistogram", "2DHistogram", "2DHistogram",
                                               "TabTimePlot"}));
    EXPECT_EQ(json[0]["Data"]["CountParticle_Sum_cnt"], 1);
    EXPECT_EQ(json[5]["Feature"], "ElevAngle_FineBin");
    EXPECT_EQ(json[8]["Data"]["AzimuthAngle_Mean_Sample_deg+1"], std::vector<double>{0});
    EXPECT_FALSE(std::filesystem::exists(tmp.dir() + "Direction/Graph"));
}

TEST_F(DirectionalTest, ExportThatCanNotWriteFails) {
    tmp.write("Direction", "a file where the directory should be");
    ASSERT_EQ(analysis.init(options(), indexes, to, -5500), 0);
    EXPECT_EQ(analysis.exportResults(to), -5607);
    EXPECT_TRUE(logHas("DirectionalAnalysis : Error occurred during export."));
}

TEST_F(DirectionalTest, SettingsGiveTheOptionsAndTheReportShowsThem) {
    zel::Settings settings;
    settings.FileOutPath = tmp.dir();
    settings.DoDirectionTrackCond = true;
    tmp.write("Direction.ini", "[Settings]\nDoRadians = 1\n[Export]\nDoExport = 0\n");
    settings.DirectionPath = tmp.dir();
    settings.DirectionName = "Direction.ini";
    ASSERT_EQ(analysis.init(settings, variables, to, 0), 0);
    EXPECT_TRUE(analysis.options().doTrackingCond);
    EXPECT_TRUE(analysis.options().doRadians);
    EXPECT_FALSE(analysis.options().doExport);
    EXPECT_EQ(analysis.options().directory, tmp.dir() + "./Direction/");
    EXPECT_NE(analysis.reportText().find("DoRadians:\t\ttrue\n" + std::string(57, '-') + "\nDo tracking condition:\ttrue"),
              std::string::npos);

    settings.DirectionName = "absent.ini";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(analysis.init(settings, variables, to, 0), -111);
    ::testing::internal::GetCapturedStderr();
}

}  // namespace
