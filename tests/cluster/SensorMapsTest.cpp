#include "cluster/SensorMaps.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cluster/ClusterVariables.h"
#include "cluster/Products.h"
#include "engine/InputDiscovery.h"
#include "engine/JobTeam.h"
#include "engine/Settings.h"
#include "support/LoggedDir.h"

namespace {

using zel::SensorMaps;

// Four clusters in two frames; the second is skipped by the run (filter or edge).
const char* kLog = "Frame 1 (0.000000, 1.000000 s)\n"
                   "[0, 0, 5] [1, 0, 7] \n"
                   "[3, 3, 100] \n"
                   "\n"
                   "Frame 2 (1.100000, 1.000000 s)\n"
                   "[0, 0, 2.5] \n"
                   "[255, 255, 1] [254, 255, 2] [255, 254, 4] \n";

struct SensorMapsTest : ::testing::Test {
    zeltest::LoggedDir tmp{"zel_maps"};
    zel::Settings settings;
    zel::ClusterVariables variables;
    zel::InputSet inputs;
    zel::Products products;
    zel::RunState run;
    zel::JobTeam jobs{false};
    SensorMaps maps;

    void start() {
        run.fileRun = true;
        zel::ProductSetup setup;
        setup.classCount = run.classCount();
        products.setup(setup, tmp.target());
        const zel::ModuleContext context{settings, variables, inputs, products, run, jobs, tmp.target(), 0};
        ASSERT_EQ(maps.init(context), 0);
    }
    size_t fill(const std::string& log) {
        std::istringstream in(log);
        return maps.fillFromLog(in, 0);
    }
    static double at(const zel::Hist2D& map, int x, int y) { return map.GetBinContent(x + 0.5, y + 0.5); }
};

TEST_F(SensorMapsTest, PixelsOfKeptClustersFillTheirBinsAndThePartialMapStopsAtItsLimit) {
    settings.IsEnergyCalibrated = true;
    settings.ClusterCountInSensImage = 2;
    settings.ClusterImageCount = 1;
    start();
    maps.noteCluster(0, 2);
    maps.noteCluster(SensorMaps::kSkipped, 1);
    maps.noteCluster(0, 2);  // its line holds one pixel: reported, still filled
    maps.noteCluster(0, 3);
    EXPECT_EQ(fill(kLog), 4u);

    const zel::Hist2D& all = *maps.integrated();
    EXPECT_EQ(all.GetName(), "SensMatrixIntegrated");
    EXPECT_EQ(all.GetTitle(), "Integrated Energy plot of sensor");
    EXPECT_EQ(at(all, 0, 0), 7.5);
    EXPECT_EQ(at(all, 1, 0), 7);
    EXPECT_EQ(at(all, 3, 3), 0) << "skipped cluster";
    EXPECT_EQ(at(all, 255, 255), 1) << "the last pixel lies in the last bin, not in the overflow";
    EXPECT_EQ(at(all, 254, 255), 2);
    EXPECT_EQ(at(all, 255, 254), 4);
    double sum = 0;
    for (size_t i = 1; i + 1 < all.GetContents().size(); ++i) sum += all.GetContents()[i];
    EXPECT_EQ(sum, 5 + 7 + 2.5 + 1 + 2 + 4);

    const zel::Hist2D& partial = *maps.partial();
    EXPECT_EQ(maps.partialClusters(), 2);
    EXPECT_EQ(partial.GetTitle(), "Energy plot of sensor with 2 clusters");
    EXPECT_EQ(at(partial, 0, 0), 7.5);
    EXPECT_EQ(at(partial, 255, 255), 0) << "the third kept cluster is beyond the limit";

    // Three kept clusters, one image: every 4th kept cluster (the first) and the largest one.
    ASSERT_EQ(maps.clusterImages().size(), 2u);
    EXPECT_EQ(maps.clusterImages()[0].GetName(), "ClusterPlot_0");
    const zel::Hist2D& largest = maps.clusterImages()[1];
    EXPECT_EQ(largest.GetName(), "ClusterPlot_MaxSize");
    EXPECT_EQ(largest.GetNBinX(), 2);
    EXPECT_EQ(at(largest, 255, 254), 4);
    const std::string messages = tmp.messages();
    EXPECT_NE(messages.find("Incorrect number of pixel data in line with cluster: 2 with respect to estimated size:2"),
              std::string::npos);
    EXPECT_NE(messages.find("Cluster with biggest size: 3"), std::string::npos);
}

TEST_F(SensorMapsTest, CountModeAndClassMaps) {
    settings.DoSensMatrixCount = true;
    settings.ClusterCountInSensImage = 1;
    run.pidActive = true;
    run.classNames = {"alpha", "beta", "Others"};
    start();
    EXPECT_EQ(maps.quantity(), "Count");
    EXPECT_EQ(maps.quantityUnit(), "[-]");
    ASSERT_EQ(maps.classMaps().size(), 3u);
    EXPECT_EQ(maps.classMaps()[2].GetName(), "SensMatrix_ClassOthers");
    maps.noteCluster(1, 2);  // class 0
    maps.noteCluster(3, 1);  // Others
    maps.noteCluster(1, 1);  // class 0 again: beyond the class map's limit
    maps.noteCluster(2, 3);  // class 1
    EXPECT_EQ(fill(kLog), 4u);
    EXPECT_EQ(at(*maps.integrated(), 0, 0), 2) << "every pixel adds one";
    EXPECT_EQ(at(*maps.integrated(), 3, 3), 1);
    EXPECT_EQ(at(maps.classMaps()[0], 0, 0), 1);
    EXPECT_EQ(at(maps.classMaps()[0], 1, 0), 1);
    EXPECT_EQ(at(maps.classMaps()[2], 3, 3), 1);
    EXPECT_EQ(at(maps.classMaps()[1], 255, 254), 1);
    EXPECT_EQ(maps.classMaps()[0].GetTitle(), "Count plot of sensor with 1 clusters");
}

TEST_F(SensorMapsTest, FrameImagesOfTheMaximalOccupancyFrameAndSpreadFrames) {
    settings.IsEnergyCalibrated = true;
    run.frameCount = 2;
    run.maxOccupancyFrame = 2;
    run.frameTimeAcq = 1.0;
    start();
    for (uint32_t size : {2u, 1u, 1u, 3u}) maps.noteCluster(0, size);
    // Frames 0, 1, 2 ... 19 (two frames: every frame) and the maximal one.
    fill(kLog);
    ASSERT_EQ(maps.frameImages().size(), 3u);
    const zel::FrameImage& first = maps.frameImages()[0];
    EXPECT_EQ(first.name(), "Frame_1");
    EXPECT_EQ(first.particles(), 2);
    EXPECT_EQ(first.hitPixels(), 3);
    const zel::FrameImage& maximal = maps.frameImages()[1];
    EXPECT_EQ(maximal.name(), "Frame_MaxOccupancy");
    EXPECT_EQ(maximal.title(), "Frame with maximal occupancy");
    EXPECT_EQ(maximal.frameNumber(), 2);
    EXPECT_EQ(maximal.particles(), 2);
    EXPECT_EQ(maximal.sum(), 2.5 + 7);
    EXPECT_EQ(maps.frameImages()[2].name(), "Frame_2");
}

TEST_F(SensorMapsTest, GroupImagesHoldThePixelsOfTheirClusters) {
    settings.IsEnergyCalibrated = true;
    run.groupPictures = {{"ClustersMaxCoincGroup", "Clusters of most numerous coinc group", {3, 0}},
                         {"ClustersCoincGroup_9", "Clusters of coinc group 9", {3}}};
    start();
    for (uint32_t size : {2u, 1u, 1u, 3u}) maps.noteCluster(0, size);
    fill(kLog);
    ASSERT_EQ(maps.groupImages().size(), 2u);
    const zel::Hist2D& largest = maps.groupImages()[0];
    EXPECT_EQ(largest.GetName(), "ClustersMaxCoincGroup");
    EXPECT_EQ(largest.GetTitle(), "Clusters of most numerous coinc group");
    EXPECT_EQ(at(largest, 0, 0), 5);
    EXPECT_EQ(at(largest, 1, 0), 7);
    EXPECT_EQ(at(largest, 3, 3), 0) << "not in the group";
    EXPECT_EQ(at(largest, 255, 254), 4);
    const zel::Hist2D& other = maps.groupImages()[1];
    EXPECT_EQ(at(other, 0, 0), 0);
    EXPECT_EQ(at(other, 255, 255), 1);
    EXPECT_EQ(at(other, 254, 255), 2);
}

struct FrameImageTest : ::testing::Test {
    zeltest::LoggedDir tmp{"zel_frameimage"};
};

TEST_F(FrameImageTest, CountsHitAndDistinctPixelsAndTheirStatistics) {
    zel::FrameImage image(4, 2, 2, true, tmp.target(), -700);
    // (0, 0) twice, (1, 0) with value 0, (3, 1) once.
    ASSERT_EQ(image.addCluster(std::vector<double>{0, 0, 5, 0, 0, 3, 1, 0, 0}, 3), 0);
    ASSERT_EQ(image.addCluster(std::vector<double>{3, 1, 4}, 3), 0);
    EXPECT_EQ(image.hitPixels(), 3);
    EXPECT_EQ(image.distinctPixels(), 2);
    EXPECT_EQ(image.particles(), 2);
    EXPECT_EQ(image.maximum(), 5);
    EXPECT_EQ(image.minimum(), 0);
    ASSERT_EQ(image.analyse(), 0);
    EXPECT_DOUBLE_EQ(image.occupancy(), 2 * 100.0 / 8);
    EXPECT_DOUBLE_EQ(image.mean(), 12.0 / 2);
    EXPECT_EQ(image.matrix()->GetBinContent(0.5, 0.5), 8);
    std::vector<std::string> names;
    std::vector<double> values;
    image.results(names, values);
    ASSERT_EQ(names.size(), 13u);
    EXPECT_EQ(names[3], "TimeAcq [s]");
    EXPECT_EQ(names[8], "E [keV]_Sum");
    EXPECT_EQ(values[4], 2);   // distinct pixels
    EXPECT_EQ(values[5], 3);   // hit pixels
    EXPECT_EQ(values[8], 12);  // sum

    EXPECT_EQ(image.addCluster({}, 3), -800);
    EXPECT_EQ(image.addCluster(std::vector<double>{1, 1}, 2), -800) << "too short to hold the value";
}

TEST_F(FrameImageTest, BadSizesFailTheirChecks) {
    EXPECT_EQ(zeltest::raisedCode([&] { zel::FrameImage(-1, 2, 2, true, tmp.target(), -700); }), -804);
    zel::FrameImage later(2, 2, -1, false, tmp.target(), -700);
    EXPECT_EQ(later.addCluster(std::vector<double>{0, 0, 1}, 3), -805);
    EXPECT_EQ(later.analyse(), -806);
    EXPECT_EQ(later.init(), -803);
    // An own log that cannot be opened is reported and the image works without it; one that opens gets the
    // image's messages.
    zel::FrameImage lost(2, 2, 2, false, tmp.target(), -700);
    lost.setOwnLog(true, tmp.file("missing/"), "");
    EXPECT_EQ(lost.init(), 0);
    zel::FrameImage own(2, 2, 2, false, tmp.target(), -700);
    own.setOwnLog(true, tmp.dir(), "frame.log");
    ASSERT_EQ(own.init(), 0);
    EXPECT_EQ(own.addCluster({}, 3), -800);
    EXPECT_NE(zeltest::TempDir::read(tmp.file("frame.log")).find("-800 : Frame : Nullptr cluster"), std::string::npos);
    const std::string messages = tmp.messages();
    EXPECT_NE(messages.find("-807 : Frame : Can not open log file: " + tmp.file("missing/LogFile.txt")),
              std::string::npos);
    EXPECT_NE(messages.find("Check failed. Width is less then 0: -1"), std::string::npos);
    EXPECT_NE(messages.find("Check failed. MatrixVarIndex is less then 0: -1"), std::string::npos);
}

}  // namespace
