#include "analysis/Assembly.h"

#include <gtest/gtest.h>

#include "AnalysisTestSupport.h"

namespace {

constexpr double kNear = 0.0275;   // centre of the first pixel: half a 55 um pitch from the edge, in mm
constexpr double kFar = 14.0525;   // centre of pixel 255: 14.08 mm - half a pitch

zel::Assembly timepix(std::vector<double> a, std::vector<double> b, std::vector<double> vector = {1, 0, 0}) {
    zel::Assembly assembly;
    assembly.sensorThickness = 300;
    EXPECT_EQ(assembly.setVector(std::move(vector)), 0);
    EXPECT_EQ(assembly.setPositions(std::move(a), std::move(b)), 0);
    return assembly;
}

void expectPoint(const zel::Point3& p, double x, double y, double z, const std::string& what) {
    EXPECT_NEAR(p[0], x, 1e-9) << what;
    EXPECT_NEAR(p[1], y, 1e-9) << what;
    EXPECT_NEAR(p[2], z, 1e-9) << what;
}

TEST(Assembly, EachAxisAlignedVariantMapsTheFourMatrixCornersWhereItsCornersSayTheyAre) {
    // The sensor spans 14.08 x 14.08 x 0.3 mm from the origin; A and B pick the senses. Expected coordinates of
    // column 0 and 255 (x), row 0 and 255 (y) and depth 0 and 300 um (z), worked out from the corners.
    struct Variant {
        int number;
        std::vector<double> a, b;
        double x0, x255, y0, y255, z0, z300;
    };
    const Variant variants[] = {
        {0, {0, 0, 0}, {14.08, 14.08, 0.3}, kNear, kFar, kNear, kFar, 0, 0.3},
        {1, {14.08, 0, 0}, {0, 14.08, 0.3}, kFar, kNear, kNear, kFar, 0, 0.3},
        {2, {0, 14.08, 0}, {14.08, 0, 0.3}, kNear, kFar, kFar, kNear, 0, 0.3},
        {3, {14.08, 14.08, 0}, {0, 0, 0.3}, kFar, kNear, kFar, kNear, 0, 0.3},
        {4, {0, 0, 0.3}, {14.08, 14.08, 0}, kNear, kFar, kNear, kFar, 0.3, 0},
        {5, {14.08, 0, 0.3}, {0, 14.08, 0}, kFar, kNear, kNear, kFar, 0.3, 0},
        {6, {0, 14.08, 0.3}, {14.08, 0, 0}, kNear, kFar, kFar, kNear, 0.3, 0},
        {7, {14.08, 14.08, 0.3}, {0, 0, 0}, kFar, kNear, kFar, kNear, 0.3, 0},
    };
    zeltest::LoggedDir logged;
    for (const Variant& v : variants) {
        zel::Assembly assembly = timepix(v.a, v.b);
        ASSERT_TRUE(assembly.setUpTransform(logged.to)) << v.number;
        EXPECT_EQ(assembly.transform().variant(), v.number);
        const std::string name = "variant " + std::to_string(v.number);
        for (double depth : {0.0, 300.0}) {
            const double z = depth == 0 ? v.z0 : v.z300;
            expectPoint(assembly.pixelToSpace(0, 0, depth), v.x0, v.y0, z, name + " (0, 0)");
            expectPoint(assembly.pixelToSpace(255, 0, depth), v.x255, v.y0, z, name + " (255, 0)");
            expectPoint(assembly.pixelToSpace(0, 255, depth), v.x0, v.y255, z, name + " (0, 255)");
            expectPoint(assembly.pixelToSpace(255, 255, depth), v.x255, v.y255, z, name + " (255, 255)");
        }
    }
    EXPECT_EQ(logged.logText(), "");
}

TEST(Assembly, TheVectorTurnsTheColumnsOntoItsAxisAndTheThinnestOtherExtentIsTheDepth) {
    // A sensor standing upright: columns up the z axis, rows along y, the 300 um along x.
    zeltest::LoggedDir logged;
    zel::Assembly standing = timepix({0, 0, 0}, {0.3, 14.08, 14.08}, {0, 0, 1});
    ASSERT_TRUE(standing.setUpTransform(logged.to));
    EXPECT_EQ(standing.transform().columnAxis(), 2);
    EXPECT_EQ(standing.transform().rowAxis(), 1);
    EXPECT_EQ(standing.transform().depthAxis(), 0);
    expectPoint(standing.pixelToSpace(0, 0, 0), 0, kNear, kNear, "first pixel");
    expectPoint(standing.pixelToSpace(255, 10, 150), 0.15, 10.5 * 0.055, kFar, "pixel (255, 10) half way in");

    // Columns along y: the rows take x.
    zel::Assembly turned = timepix({-7.04, -7.04, 0}, {7.04, 7.04, 0.3}, {0, -3, 0});
    ASSERT_TRUE(turned.setUpTransform(logged.to));
    EXPECT_EQ(turned.transform().columnAxis(), 1);
    expectPoint(turned.pixelToSpace(255, 0, 0), -7.04 + kNear, -7.04 + kFar, 0, "column 255 along y");
}

}  // namespace
