#include "analysis/ComptonCamera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>

#include "AnalysisTestSupport.h"
#include "hist/Hist2D.h"

namespace {

using zel::ComptonCamera;
using zel::ComptonCone;
using zel::ComptonOrder;

// Si scatterer 20 mm above a CdTe absorber, corner A of both at x = y = 0: pixel (i, j) lies at
// ((i + 0.5) 0.055, (j + 0.5) 0.055) mm on the face of corner A.
const char* kStack = R"([AssemblySi]
NumID = 0
Sensor_Material = "Si"
Sensor_Thickness = 500
PositionA = 0 0 20
PositionB = 14.08 14.08 20.5

[AssemblyCdTe]
NumID = 1
Sensor_Material = "CdTe"
Sensor_Thickness = 1000
PositionA = 0 0 0
PositionB = 14.08 14.08 1

[DetectorSi]
Key = "S00"
Assemblies = 0

[DetectorCdTe]
Key = "C01"
Assemblies = 1
)";

// Rows: DetectorID, EventID, X, Y, E, T.
constexpr size_t kWidth = 6;
const ComptonCamera::Indexes kIndexes{4, 2, 3, 5, 0, 1};

struct ComptonCameraTest : ::testing::Test, zeltest::LoggedDir {
    zel::DetectorSetup geometry;
    ComptonCamera camera;
    ComptonCamera::Config config;

    ComptonCameraTest() {
        config.energySumMin = 640;
        config.energySumMax = 680;
        config.doKeepComptonEvents = true;
    }

    void loadGeometry(const std::string& text) {
        tmp.write("geo.ini", text);
        geometry.setMessageTarget(to);
        ASSERT_EQ(geometry.loadConfig(tmp.dir(), "geo.ini"), 0) << logText();
    }
    int start(int base = -5700) {
        if (geometry.assemblyCount() == 0) loadGeometry(kStack);
        ComptonCamera::Output output;
        output.directory = tmp.dir() + "Compton/";
        return camera.init(config, &geometry, kIndexes, output, to, base);
    }
    // One group of clusters {assembly, x, y, energy, time}.
    void group(std::initializer_list<std::array<double, 5>> clusters, double id = 1) {
        std::vector<double> values;
        for (const auto& c : clusters) values.insert(values.end(), {c[0], id, c[1], c[2], c[3], c[4]});
        camera.processGroup({id, values[5], kWidth, values});
    }
};

TEST(ComptonKinematics, OrderFollowsWhichScatterAngleIsPhysical) {
    // 100 keV beside 562 keV: only the 562 keV deposit can be the scattered photon's (cos = 0.8626).
    auto choice = zel::chooseOrder(100, 562, false, false);
    EXPECT_EQ(choice.order, ComptonOrder::Backward);
    EXPECT_FALSE(choice.ambiguous);
    EXPECT_NEAR(zel::scatterCosine(562, 662), 1 + 511.0 / 662 - 511.0 / 562, 1e-12);
    EXPECT_NEAR(zel::scatterCosine(562, 662), 0.8626, 1e-4);
    EXPECT_EQ(zel::chooseOrder(562, 100, false, false).order, ComptonOrder::Forward);
    // 300 and 362 keV fit both ways: ambiguous unless an order is forced (forward first).
    EXPECT_EQ(zel::chooseOrder(300, 362, false, false).order, ComptonOrder::Ambiguous);
    EXPECT_EQ(zel::chooseOrder(300, 362, false, true).order, ComptonOrder::Backward);
    EXPECT_EQ(zel::chooseOrder(300, 362, true, true).order, ComptonOrder::Forward);
    EXPECT_TRUE(zel::chooseOrder(300, 362, true, false).ambiguous);
    // Two small deposits fit neither order; nor do deposits that are not positive numbers.
    EXPECT_EQ(zel::chooseOrder(30, 40, true, true).order, ComptonOrder::None);
    EXPECT_EQ(zel::chooseOrder(NAN, 500, true, true).order, ComptonOrder::None);
    EXPECT_EQ(zel::chooseOrder(-50, 700, true, true).order, ComptonOrder::None);
    EXPECT_EQ(zel::chooseOrder(0, 662, true, true).order, ComptonOrder::None);
}

TEST(ComptonKinematics, ConeAndItsCurveOnTheImagePlane) {
    ComptonCone cone;
    ASSERT_TRUE(zel::makeCone(20, {5, 5, 20}, 642, {2, 1, 8}, ComptonOrder::Forward, cone));
    EXPECT_EQ(cone.apex, (zel::Point3{5, 5, 20}));
    EXPECT_NEAR(cone.axis[0], 3 / 13.0, 1e-12);  // (3, 4, 12) / 13
    EXPECT_NEAR(cone.axis[1], 4 / 13.0, 1e-12);
    EXPECT_NEAR(cone.axis[2], 12 / 13.0, 1e-12);
    EXPECT_NEAR(cone.halfAngle, std::acos(1 + 511.0 / 662 - 511.0 / 642), 1e-12);
    EXPECT_FALSE(zel::makeCone(20, {5, 5, 20}, 642, {5, 5, 20}, ComptonOrder::Forward, cone));  // one point
    EXPECT_FALSE(zel::makeCone(40, {5, 5, 20}, 30, {2, 1, 8}, ComptonOrder::Forward, cone));   // no angle

    // A cone straight up from the origin with tan(θ) = 0.2 meets z = 5000 in a circle of radius 1000 mm.
    zel::ConeProjector projector(100, 100, 50, 50, 0, 0, 5000);
    zel::Hist2D image("image", 100, -2500, 2500, 100, -2500, 2500);
    ComptonCone up;
    up.axis = {0, 0, 1};
    up.halfAngle = std::atan(0.2);
    const size_t points = projector.project(up, image);
    EXPECT_GT(points, 100u);
    EXPECT_EQ(image.Integral(), static_cast<double>(points));
    // Every filled bin lies on the circle (within half a bin diagonal), and the circle (126 bins round) is whole.
    int filled = 0;
    for (int i = 1; i <= 10000; ++i) {
        if (image.GetBinContent(i) == 0) continue;
        ++filled;
        const auto [x, y] = image.GetBinCenter(i);
        EXPECT_NEAR(std::hypot(x, y), 1000, 36) << x << ", " << y;
    }
    EXPECT_GE(filled, 120);
    // The same cone pointing down has its open side away from the plane, and a wide cone misses the image.
    image.ClearContents(true);
    ComptonCone down = up;
    down.axis = {0, 0, -1};
    EXPECT_EQ(projector.project(down, image), 0u);
    ComptonCone wide = up;
    wide.halfAngle = 1.2;
    EXPECT_EQ(projector.project(wide, image), 0u);
    EXPECT_EQ(image.Integral(), 0);
}

TEST_F(ComptonCameraTest, PairGivesTheConeOfItsScatterAndAbsorption) {
    ASSERT_EQ(start(), 0) << logText();
    EXPECT_EQ(camera.scattererId(), 0);  // the top of the stack
    EXPECT_EQ(camera.absorberId(), 1);
    // 20 keV in the Si at pixel (99.5, 99.5), 642 keV in the CdTe below: the cone opens upwards from (5.5, 5.5, 20).
    group({{1, 99.5, 99.5, 642, 0}, {0, 99.5, 99.5, 20, 0}});
    ASSERT_EQ(camera.keptCones().size(), 1u);
    const ComptonCone& cone = camera.keptCones()[0];
    EXPECT_NEAR(cone.apex[0], 5.5, 1e-9);
    EXPECT_NEAR(cone.apex[1], 5.5, 1e-9);
    EXPECT_NEAR(cone.apex[2], 20, 1e-9);
    EXPECT_NEAR(cone.axis[2], 1, 1e-12);
    EXPECT_NEAR(cone.halfAngle, std::acos(1 + 511.0 / 662 - 511.0 / 642), 1e-12);
    EXPECT_EQ(cone.order, ComptonOrder::Forward);
    EXPECT_EQ(camera.counters().inProjection, 1);

    // 180 keV in the Si: θ = 0.78 rad, the circle (radius 4920 mm) lies outside the 5 m image.
    group({{0, 99.5, 99.5, 180, 0}, {1, 99.5, 99.5, 482, 0}}, 2);
    EXPECT_EQ(camera.counters().outProjection, 1);
    // The Si deposit of 562 keV beside 100 keV in the CdTe fits the reverse order only: a backward cone from the
    // CdTe, opening downwards.
    group({{0, 99.5, 99.5, 562, 0}, {1, 99.5, 99.5, 100, 0}}, 3);
    ASSERT_EQ(camera.keptCones().size(), 3u);
    const ComptonCone& back = camera.keptCones()[2];
    EXPECT_EQ(back.order, ComptonOrder::Backward);
    EXPECT_NEAR(back.apex[2], 0, 1e-9);
    EXPECT_NEAR(back.axis[2], -1, 1e-12);
    EXPECT_NEAR(std::cos(back.halfAngle), 0.8626, 1e-4);

    const ComptonCamera::Counters& c = camera.counters();
    EXPECT_EQ(c.coincGroups, 3);
    EXPECT_EQ(c.forward, 2);
    EXPECT_EQ(c.backward, 1);
    EXPECT_EQ(c.passed, 3);
    EXPECT_EQ(c.multiDetector, 3);
    EXPECT_EQ(c.outProjection, 2);
    std::vector<double> image;
    ASSERT_EQ(camera.projection(image), 0);
    double total = 0;
    for (double b : image) total += b;
    EXPECT_NEAR(total, 1.0, 1e-12);  // normalised
}

TEST_F(ComptonCameraTest, EnergyWindowIsOpenAtBothEnds) {
    ASSERT_EQ(start(), 0);
    group({{0, 10, 10, 20, 0}, {1, 10, 10, 620, 0}}, 1);      // 640: on the lower bound
    group({{0, 10, 10, 20, 0}, {1, 10, 10, 620.01, 0}}, 2);   // just inside
    group({{0, 10, 10, 20, 0}, {1, 10, 10, 659.99, 0}}, 3);   // just inside
    group({{0, 10, 10, 20, 0}, {1, 10, 10, 660, 0}}, 4);      // 680: on the upper bound
    group({{0, 10, 10, NAN, 0}, {1, 10, 10, 642, 0}}, 5);     // no sum
    EXPECT_EQ(camera.counters().coincGroups, 5);
    EXPECT_EQ(camera.counters().possibleEvents, 2);
    EXPECT_EQ(camera.counters().passed, 2);
}

TEST_F(ComptonCameraTest, LargerGroupsSameDetectorPairsAndUnknownAssemblies) {
    config.skipSelfDetectorCoinc = true;
    ASSERT_EQ(start(), 0);
    // Three clusters: only the pair that fills the window on its own (20 + 630) gives a cone.
    group({{0, 10, 10, 20, 0}, {1, 10, 10, 630, 0}, {1, 50, 50, 3, 0}}, 1);
    EXPECT_EQ(camera.counters().passed, 1);
    EXPECT_EQ(camera.counters().singleDetector, 0);
    EXPECT_EQ(camera.counters().uniqueGroups, 1);
    // Both clusters in the CdTe: one detector, skipped.
    group({{1, 10, 10, 20, 0}, {1, 90, 90, 642, 0}}, 2);
    EXPECT_EQ(camera.counters().singleDetector, 1);
    EXPECT_EQ(camera.counters().passed, 1);
    // An assembly the geometry does not know fails the pair.
    group({{7, 10, 10, 20, 0}, {1, 10, 10, 642, 0}}, 3);
    EXPECT_EQ(camera.counters().failed, 1);
    EXPECT_EQ(camera.counters().comptonGroups, 1);

    ComptonCamera pairsOnly;
    config.onlyPairCoinc = true;
    ComptonCamera::Output output;
    ASSERT_EQ(pairsOnly.init(config, &geometry, kIndexes, output, to, -5700), 0);
    std::vector<double> three{0, 1, 10, 10, 20, 0, 1, 1, 10, 10, 642, 0, 1, 1, 50, 50, 3, 0};
    pairsOnly.processGroup({1, 0, kWidth, three});
    EXPECT_EQ(pairsOnly.counters().possibleEvents, 1);
    EXPECT_EQ(pairsOnly.counters().passed, 0);
}

TEST_F(ComptonCameraTest, DepthInCdTeFollowsTheDriftBehindTheFirstCluster) {
    ASSERT_EQ(start(), 0);
    // Scatter and absorption both in the CdTe, the absorption 43 ns after the first cluster: half of 1 mm deep.
    // The pair (same height) keeps its order: the first cluster is taken as the scatter.
    group({{1, 99.5, 99.5, 20, 100}, {1, 99.5, 199.5, 642, 143}});
    ASSERT_EQ(camera.keptCones().size(), 1u);
    const ComptonCone& cone = camera.keptCones()[0];
    EXPECT_NEAR(cone.apex[2], 0, 1e-9);
    EXPECT_NEAR(cone.absorberPosition[2], 0.5, 1e-9);
    EXPECT_NEAR(cone.absorberPosition[1], 199.5 * 0.055 + 0.0275, 1e-9);
}

TEST_F(ComptonCameraTest, ContrastAndBlur) {
    std::vector<double> bins{1, 3, 3, 2};
    ComptonCamera::applyContrastAndBlur(bins, 2, 2, 150, 0);  // above 100 %: the maximum itself
    EXPECT_EQ(bins, (std::vector<double>{0, 3, 3, 0}));
    bins = {1, 3, 3, 2};
    ComptonCamera::applyContrastAndBlur(bins, 2, 2, 50, 0);
    EXPECT_EQ(bins, (std::vector<double>{0, 3, 3, 2}));
    // One pass spreads a corner bin over its neighbours; outside the image nothing is added.
    std::vector<double> corner(9, 0.0);
    corner[0] = 16;
    ComptonCamera::applyContrastAndBlur(corner, 3, 3, -1, 1);
    EXPECT_EQ(corner, (std::vector<double>{4, 2, 0, 2, 1, 0, 0, 0, 0}));
    std::vector<double> centre(9, 0.0);
    centre[4] = 16;
    ComptonCamera::applyContrastAndBlur(centre, 3, 3, -1, 2);
    EXPECT_DOUBLE_EQ(centre[4], (16 * 4 * 4 + 4 * 16 * 2 * 2 + 4 * 16 * 1 * 1) / 256.0);
}

TEST_F(ComptonCameraTest, FieldOfViewSizesTheImage) {
    config.doProjInitOnFieldOfView = true;
    config.projFieldViewX = config.projFieldViewY = 60;
    ASSERT_EQ(start(), 0);
    // Width 2 atan(30 degrees in rad) 5000 = 4823.5 mm: bins of 49 mm, 99 rows.
    EXPECT_EQ(camera.projectionBinWidthX(), 49);
    EXPECT_EQ(camera.projectionBinsX(), 100);
    EXPECT_EQ(camera.projectionBinsY(), 99);
    std::vector<double> ring;
    ASSERT_EQ(camera.testProjection(ring), 0);
    EXPECT_EQ(ring.size(), 9900u);
    EXPECT_EQ(ring[49 * 100 + 50], 0);  // the centre of the ring is empty
}

TEST_F(ComptonCameraTest, InitialisationFailures) {
    config.energySumMax = -1;
    EXPECT_EQ(start(-5700), -5806);
    EXPECT_TRUE(logHas("Min or max energy for sum has not been not given: min = 640 max = -1")) << logText();
    EXPECT_FALSE(camera.isInitialised());
    std::vector<double> image{1};
    EXPECT_EQ(camera.projection(image), ComptonCamera::kNotReady);
    EXPECT_TRUE(image.empty());

    config.energySumMax = 680;
    ComptonCamera::Output output;
    EXPECT_NE(camera.init(config, &geometry, {4, 2, 3, 5, 0, -1}, output, to, -5700), 0);
    EXPECT_TRUE(logHas("Can not map all indexes, some are missing: i_E = 4, i_X2, i_Y3, i_T5, i_AssemID0, i_EventID-1"));

    zel::DetectorSetup silicon;
    tmp.write("si.ini", "[AssemblyA]\nNumID = 0\nSensor_Material = \"Si\"\nPositionA = 0 0 0\n"
                        "PositionB = 14.08 14.08 0.3\n[DetectorA]\nKey = \"X\"\nAssemblies = 0\n");
    silicon.setMessageTarget(to);
    ASSERT_EQ(silicon.loadConfig(tmp.dir(), "si.ini"), 0);
    EXPECT_NE(camera.init(config, &silicon, kIndexes, output, to, -5700), 0);
    EXPECT_TRUE(logHas("not adjusted for single Si detector."));

    config.projNBinX = 0;
    EXPECT_NE(camera.init(config, &geometry, kIndexes, output, to, -5700), 0);
}

TEST_F(ComptonCameraTest, ResultsListAndConeFile) {
    ASSERT_EQ(start(), 0);
    group({{1, 99.5, 99.5, 642, 0}, {0, 99.5, 99.5, 20, 0}});
    group({{1, 99.5, 99.5, 300, 0}, {0, 99.5, 99.5, 362, 0}}, 2);  // ambiguous
    camera.closeSample(1.0, true);
    ASSERT_EQ(camera.finishInput(), 0);
    ASSERT_EQ(camera.exportResults(to), 0) << logText();
    const auto json = nlohmann::json::parse(zeltest::TempDir::read(tmp.dir() + "Compton/ComptonList.json"));
    EXPECT_EQ(json["CountCoincGroups_cnt"], 2);
    EXPECT_EQ(json["CountDirAmbigCompGroup_cnt"], 1);
    EXPECT_EQ(json["CountPassInProcCompGroup_cnt"], 1);
    EXPECT_EQ(json["CountCompGroup_Sum_Sample_cnt"][0], 1);
    EXPECT_NEAR(json["ConeHalfAngle_MeanStdMinMax_rad+1"][0].get<double>(), 0.219745, 1e-5);  // four decimals
    const std::string cones = zeltest::TempDir::read(tmp.dir() + "Compton/ConeParams.txt");
    EXPECT_EQ(cones.substr(0, cones.find('\n', cones.find('\n') + 1) + 1),
              "ConeApexX\tConeApexY\tConeApexZ\tConeAxisX\tConeAxisY\tConeAxisZ\tApexHalfAngle\nmm\tmm\tmm\tmm\tmm\tmm\trad\n");
    EXPECT_NE(cones.find("5.5\t5.5\t20\t0\t0\t1\t0.219745\n"), std::string::npos) << cones;

    // The web layout: an array of the four tables, the text file unchanged.
    const std::string text = zeltest::TempDir::read(tmp.dir() + "Compton/ComptonList.txt");
    ComptonCamera web;
    ComptonCamera::Output output;
    output.directory = tmp.dir() + "Web/";
    output.doWeb = true;
    ASSERT_EQ(web.init(config, &geometry, kIndexes, output, to, -5700), 0);
    ASSERT_EQ(web.finishInput(), 0);
    ASSERT_EQ(web.exportResults(to), 0);
    const auto tables = nlohmann::json::parse(zeltest::TempDir::read(tmp.dir() + "Web/ComptonList.json"));
    ASSERT_TRUE(tables.is_array());
    ASSERT_EQ(tables.size(), 4u);
    EXPECT_EQ(tables[0]["SectionName"], "General information");
    EXPECT_EQ(tables[1]["Feature"], "ConeHalfAngle");
    EXPECT_EQ(tables[3]["SectionType"][0], "TabTimePlot");
    EXPECT_EQ(tables[0]["Data"]["CountCoincGroups_cnt"], 0);
    EXPECT_NE(text.find("CountCoincGroups [-]:"), std::string::npos);
}

}  // namespace
