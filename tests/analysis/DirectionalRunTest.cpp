// The directional analysis on event lists as the engine reads them: hand-written lists, raw data with straight
// tracks of known direction put through the clusterer, and a real cosmic-background measurement.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include "AnalysisTestSupport.h"
#include "analysis/DirectionalAnalysis.h"
#include "cluster/ClusterVariables.h"
#include "input/Elist.h"

namespace {

using zel::DirectionalAnalysis;
using Q = DirectionalAnalysis::Quantity;
constexpr double kDegree = 180.0 / M_PI;

struct DirectionalRunTest : ::testing::Test, zeltest::LoggedDir {
    // Reads the event list like the engine: the module is made from the list's variables, every row goes to it
    // (those `take` accepts), and a time sample closes every `sampling` seconds of cluster time. Returns the
    // module's init result; rows are read to the end whether the module took part or not.
    int run(const std::string& name, DirectionalAnalysis& analysis, DirectionalAnalysis::Options options,
            size_t& rows, const std::function<bool(std::span<const double>, const zel::Elist&)>& take = {},
            double sampling = 1.0) {
        zel::Elist list(tmp.dir(), name, 'r', to, -5600);
        EXPECT_EQ(list.init(), 0);
        zel::ClusterVariables variables;
        variables.setList(list.names(), list.units());
        variables.mapNames({nullptr, false, false});
        options.directory = tmp.dir() + "Direction/";
        const int init = analysis.init(options, DirectionalAnalysis::Indexes::from(variables), to, -5500);
        const int time = list.column(zel::Var::T);
        double sampleEnd = -1;
        double lastTime = 0;
        rows = 0;
        zel::ClusterBatch batch;
        while (list.hasMoreData()) {
            EXPECT_EQ(list.readBatch(batch), 0);
            for (size_t r = 0; r < batch.size(); ++r) {
                ++rows;
                lastTime = batch.at(r, time) / 1e9;
                if (sampleEnd < 0) sampleEnd = lastTime + sampling;
                for (; lastTime >= sampleEnd; sampleEnd += sampling) analysis.closeSample(sampling, false);
                if (!take || take(batch.row(r), list)) analysis.processCluster(batch.row(r), 0);
            }
        }
        analysis.closeSample(sampling - (sampleEnd - lastTime), true);
        return init;
    }

    // Runs a program and expects it to succeed.
    void shell(const std::string& command) {
        const int status = std::system((command + " >>\"" + tmp.file("programs.txt") + "\" 2>&1").c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    }
};

const char* kHeader =
    "DetectorID\tEventID\tX\tY\tE\tT\tSize\tRoundness\tAngleAzim\tLengthProj\tLengthCorrStd\tLength3DCorrStd\t"
    "AngleElev\n-\t-\tpx\tpx\tkeV\tns\tpx\t-\tdeg\tpx\tpx\tum\tdeg\n";

TEST_F(DirectionalRunTest, EventListWithAndWithoutTheTrackingCondition) {
    // Two samples of one second; the dot and the round blob fail the tracking condition.
    tmp.write("list.elist", std::string(kHeader) +
                                "0\t0\t10\t10\t20\t100000000\t1\t1\t0\t1\t0\t300\t90\n"
                                "0\t1\t50\t50\t300\t200000000\t12\t0.1\t30\t11\t10\t604.4\t29.5\n"
                                "0\t2\t90\t90\t900\t1500000000\t9\t1\t0\t3\t2\t331.3\t69.8\n"
                                "0\t3\t20\t80\t250\t1600000000\t8\t0.15\t-60\t7\t6\t449.4\t42.3\n");
    DirectionalAnalysis tracking;
    DirectionalAnalysis::Options options;
    options.doTrackingCond = true;
    size_t rows = 0;
    ASSERT_EQ(run("list.elist", tracking, options, rows), 0);
    ASSERT_EQ(tracking.finishInput(), 0);
    EXPECT_EQ(rows, 4u);
    EXPECT_EQ(tracking.countAccepted(), 2);
    EXPECT_EQ(tracking.countFailedTrackCond(), 2);
    EXPECT_EQ(tracking.sampleMeans(Q::kAzimuth), (std::vector<double>{30, -60}));
    EXPECT_EQ(tracking.sampleLiveTimes().size(), 2u);
    EXPECT_DOUBLE_EQ(tracking.statistic(Q::kElevation).mean, (29.5 + 42.3) / 2);
    ASSERT_EQ(tracking.exportResults(to), 0) << logText();
    const auto json = nlohmann::json::parse(zeltest::TempDir::read(tmp.dir() + "Direction/DirectionList.json"));
    EXPECT_EQ(json["CountParticle_Sum_FailTrackCond_cnt"], 2);
    EXPECT_EQ(json["Length3D_MeanStdMinMax_um+1"][2], 449.4);

    DirectionalAnalysis all;
    ASSERT_EQ(run("list.elist", all, {}, rows), 0);
    ASSERT_EQ(all.finishInput(), 0);
    EXPECT_EQ(all.countAccepted(), 4);
    EXPECT_EQ(all.sampleMeans(Q::kAzimuth), (std::vector<double>{15, -30}));
    EXPECT_EQ(all.statistic(Q::kElevation).maximum, 90);
}

TEST_F(DirectionalRunTest, EventListWithoutAngleOrLengthColumnsDropsTheModuleAndTheRunGoesOn) {
    tmp.write("short.elist", "X\tY\tE\tT\tSize\tRoundness\tLengthProj\npx\tpx\tkeV\tns\tpx\t-\tpx\n"
                             "1\t2\t30\t100\t5\t0.2\t6\n4\t5\t60\t200\t7\t0.3\t8\n");
    DirectionalAnalysis analysis;
    size_t rows = 0;
    EXPECT_EQ(run("short.elist", analysis, {}, rows), -5609);
    EXPECT_EQ(rows, 2u);
    EXPECT_FALSE(analysis.isInitialised());
    EXPECT_EQ(analysis.countAccepted(), 0);
    EXPECT_TRUE(logHas("Initialization failed. Not all indexes were specified.\ni_AzimAng:\t-1\ni_ElevAng:\t-1\n"
                       "i_L2D:\t\t6\ni_L2D_Corr:\t-1\ni_L3D:\t\t-1\n"));
}

// Straight tracks crossing 300 um of silicon at known angles, drawn as raw data and clustered by the clusterer.
// A track at elevation b spans D = 300 / (55 tan b) pixels between its end pixels. The pixels quantise D and the
// sideways position of the end pixel to about one pixel, so the tolerances are the change of the elevation for one
// pixel more or less of D, and for the azimuth the angle of one pixel sideways over D: atan(1 / D).
TEST_F(DirectionalRunTest, GeneratedStraightTracksAreRecoveredWithinThePixelResolution) {
    const std::string bin = ZEL_BIN_DIR;
    if (!std::filesystem::exists(bin + "/zel_gen_raw") || !std::filesystem::exists(bin + "/clusterer")) {
        GTEST_SKIP() << "generator or clusterer not built";
    }
    const double pixelsPerThickness = 300.0 / 55.0;
    for (double elevation : {15.0, 25.0, 40.0, 55.0}) {
        for (double azimuth : {0.0, 20.0, 45.0, 70.0, 90.0, 120.0, 160.0}) {
            const std::string tag = "azimuth " + std::to_string(azimuth) + ", elevation " + std::to_string(elevation);
            shell("\"" + bin + "/zel_gen_raw\" --format clog --out \"" + tmp.file("tracks.clog") +
                  "\" --mix 0,0,1,0 --clusters 15 --frames 3 --separate --border 2 --seed 11 --angles " +
                  std::to_string(azimuth) + " --elevations " + std::to_string(elevation));
            shell("\"" + bin + "/clusterer\" --korelist \"" + tmp.file("tracks") + "\" --el-thickness 300 \"" +
                  tmp.file("tracks.clog") + "\"");
            DirectionalAnalysis analysis;
            DirectionalAnalysis::Options options;
            options.doTrackingCond = true;
            size_t rows = 0;
            ASSERT_EQ(run("tracks.korelist", analysis, options, rows), 0);
            ASSERT_EQ(analysis.finishInput(), 0);
            ASSERT_GT(rows, 5u) << tag;
            EXPECT_EQ(analysis.countAccepted(), static_cast<double>(rows)) << tag;

            const double span = pixelsPerThickness / std::tan(elevation / kDegree);
            const double elevationTolerance =
                kDegree * (std::atan(pixelsPerThickness / (span - 1)) - std::atan(pixelsPerThickness / span));
            const double azimuthTolerance = kDegree * std::atan(1.0 / span);
            const double folded = azimuth > 90 ? azimuth - 180 : azimuth;  // azimuths lie in (-90, 90]
            for (const auto* s : {&analysis.statistic(Q::kElevation)}) {
                EXPECT_NEAR(s->minimum, elevation, elevationTolerance) << tag;
                EXPECT_NEAR(s->maximum, elevation, elevationTolerance) << tag;
            }
            const auto& a = analysis.statistic(Q::kAzimuth);
            EXPECT_NEAR(a.minimum, folded, azimuthTolerance) << tag;
            EXPECT_NEAR(a.maximum, folded, azimuthTolerance) << tag;
        }
    }
}

// Ground-level background in 300 um of silicon. What geometry makes certain: a straight track whose corrected
// projection is longer than 5 pixels (275 um) crosses the 300 um at an elevation below atan(300 / 275); and cosmic
// tracks come from every direction in the sensor plane, so no 15 degree sector of azimuth is empty.
TEST_F(DirectionalRunTest, CosmicBackgroundGivesTracksFromEveryAzimuthAndFlatLongTracks) {
    const std::string data = std::string(ZEL_SHARED_DATA_DIR) + "/cosmic-tpx-si300/";
    const std::string clusterer = std::string(ZEL_BIN_DIR) + "/clusterer";
    if (!std::filesystem::exists(data + "cosmic.clog")) GTEST_SKIP() << "measurement not present: " << data;
    if (!std::filesystem::exists(clusterer)) GTEST_SKIP() << "clusterer not built: " << clusterer;
    shell("\"" + clusterer + "\" --korelist \"" + tmp.file("EventList") + "\" -c \"" + data +
          "\" --el-thickness 300 \"" + data + "cosmic.clog\"");

    DirectionalAnalysis tracks;
    DirectionalAnalysis::Options options;
    options.doTrackingCond = true;
    size_t rows = 0;
    ASSERT_EQ(run("EventList.korelist", tracks, options, rows, {}, 60.0), 0);
    ASSERT_EQ(tracks.finishInput(), 0);
    ASSERT_EQ(tracks.exportResults(to), 0);

    auto longStraight = [](std::span<const double> row, const zel::Elist& list) {
        return row[list.column(zel::Var::LengthCorr)] > 5 && row[list.column(zel::Var::Linearity)] > 0.9;
    };
    DirectionalAnalysis flat;
    ASSERT_EQ(run("EventList.korelist", flat, options, rows, longStraight, 60.0), 0);
    ASSERT_EQ(flat.finishInput(), 0);
    ASSERT_GT(flat.countAccepted(), 50);
    EXPECT_LT(flat.statistic(Q::kElevation).maximum, kDegree * std::atan(300.0 / 275.0));

    // Twelve sectors of 15 degrees from the fine azimuth histogram (0.5 degree bins: 30 bins a sector).
    const zel::Hist1D& azimuth = *flat.azimuthFine();
    std::string sectors;
    for (int sector = 0; sector < 12; ++sector) {
        double count = 0;
        for (int bin = 1 + 30 * sector; bin <= 30 * (sector + 1); ++bin) count += azimuth.GetBinContent(bin);
        EXPECT_GT(count, 0) << "no long track with an azimuth from " << -90 + 15 * sector;
        sectors += " " + std::to_string(static_cast<int>(count));
    }
    const auto& e = tracks.statistic(Q::kElevation);
    const auto& l = tracks.statistic(Q::kLength3D);
    std::printf("cosmic: %zu clusters, %.0f pass the tracking condition, %.0f fail; elevation mean %.1f std %.1f "
                "min %.1f max %.1f deg; 3D length mean %.0f um max %.0f um; %zu samples of 60 s\n"
                "long straight tracks: %.0f, elevation max %.1f deg, per 15 degree azimuth sector:%s\n",
                rows, tracks.countAccepted(), tracks.countFailedTrackCond(), e.mean, e.std, e.minimum, e.maximum,
                l.mean, l.maximum, tracks.sampleLiveTimes().size(), flat.countAccepted(),
                flat.statistic(Q::kElevation).maximum, sectors.c_str());
}

}  // namespace
