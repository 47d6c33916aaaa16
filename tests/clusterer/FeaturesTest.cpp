#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ClusterFeatures.h"

namespace zel::clusterer {
namespace {

constexpr double kDeg = 180.0 / M_PI;
const double kRoot2 = std::sqrt(2.0);

FeatureRow compute(const std::vector<Pixel>& pixels, int formula = 1, double thickness = 300.0) {
    FeatureCalculator calculator(FeatureSettings{256, 256, thickness, formula});
    FeatureRow row{};
    calculator.compute(pixels, row);
    return row;
}

std::vector<Pixel> line(int x0, int y0, int dx, int dy, int n, double value = 1.0) {
    std::vector<Pixel> pixels;
    for (int i = 0; i < n; ++i) pixels.push_back(Pixel{x0 + i * dx, y0 + i * dy, value, 0.0});
    return pixels;
}

TEST(ClusterFeatures, SinglePixel) {
    FeatureRow r = compute({Pixel{10, 20, 5.0, 7.0}});
    EXPECT_EQ(r[kSize], 1);
    EXPECT_EQ(r[kE], 5);
    EXPECT_EQ(r[kHeight], 5);
    EXPECT_EQ(r[kEpixMean], 5);
    EXPECT_EQ(r[kEpixStd], 0);
    EXPECT_EQ(r[kX], 10);
    EXPECT_EQ(r[kY], 20);
    EXPECT_EQ(r[kT], 7);
    EXPECT_EQ(r[kBorderPixCount], 1);
    EXPECT_EQ(r[kRoundness], 1);
    EXPECT_EQ(r[kAngleAzim], 0);
    EXPECT_EQ(r[kLinearity], 0);
    EXPECT_EQ(r[kLengthProj], 1);
    EXPECT_EQ(r[kWidthProj], 1);
    EXPECT_EQ(r[kIsSensEdge], 0);
    EXPECT_EQ(r[kStdAlong], 0);
    EXPECT_EQ(r[kStdPerp], 0);
    EXPECT_EQ(r[kThin], 1);
    EXPECT_EQ(r[kThick], 0);
    EXPECT_EQ(r[kCurlyThin], 1);
    EXPECT_EQ(r[kLengthCorr], 0);
    EXPECT_EQ(r[kLength3DCorr], 300);
    EXPECT_EQ(r[kAngleElev], 90);
    EXPECT_DOUBLE_EQ(r[kLET], 5.0 / 300.0);
    EXPECT_EQ(r[kDiameter], 1);
}

TEST(ClusterFeatures, ThreeByThreeBlob) {
    std::vector<Pixel> blob;
    for (int y = 59; y <= 61; ++y) {
        for (int x = 49; x <= 51; ++x) blob.push_back(Pixel{x, y, x == 50 && y == 60 ? 10.0 : 2.0, 100.0 - x});
    }
    FeatureRow r = compute(blob);
    const double mean = 26.0 / 9.0;
    EXPECT_EQ(r[kSize], 9);
    EXPECT_EQ(r[kE], 26);
    EXPECT_EQ(r[kHeight], 10);
    EXPECT_DOUBLE_EQ(r[kEpixMean], mean);
    EXPECT_NEAR(r[kEpixStd], std::sqrt((8 * (2 - mean) * (2 - mean) + (10 - mean) * (10 - mean)) / 9), 1e-12);
    EXPECT_DOUBLE_EQ(r[kX], 50);
    EXPECT_DOUBLE_EQ(r[kY], 60);
    EXPECT_EQ(r[kT], 49);  // the earliest pixel
    EXPECT_EQ(r[kBorderPixCount], 8);
    EXPECT_EQ(r[kThin], 0);
    EXPECT_DOUBLE_EQ(r[kThick], 1.0 / 9.0);
    EXPECT_EQ(r[kLinearity], 0);
    EXPECT_EQ(r[kAngleAzim], 0);
    EXPECT_DOUBLE_EQ(r[kLengthProj], 3);
    EXPECT_DOUBLE_EQ(r[kWidthProj], 3);
    EXPECT_DOUBLE_EQ(r[kRoundness], 1);
    EXPECT_NEAR(r[kStdAlong], std::sqrt(2.0 / 3.0), 1e-12);
    EXPECT_NEAR(r[kStdPerp], std::sqrt(2.0 / 3.0), 1e-12);
    EXPECT_NEAR(r[kDiameter], 2 * kRoot2 + 1, 1e-12);
    EXPECT_EQ(r[kCurlyThin], 0);
    EXPECT_DOUBLE_EQ(r[kLengthCorr], 2);
    EXPECT_NEAR(r[kLength3DCorr], std::sqrt(110.0 * 110.0 + 300.0 * 300.0), 1e-9);
    EXPECT_NEAR(r[kAngleElev], std::atan(300.0 / 110.0) * kDeg, 1e-9);
    EXPECT_NEAR(r[kLET], 26.0 / std::sqrt(110.0 * 110.0 + 300.0 * 300.0), 1e-12);
}

TEST(ClusterFeatures, HorizontalLine) {
    std::vector<Pixel> pixels = line(10, 30, 1, 0, 5);
    for (int i = 0; i < 5; ++i) pixels[i].value = i + 1;
    FeatureRow r = compute(pixels);
    EXPECT_DOUBLE_EQ(r[kX], 190.0 / 15.0);  // energy-weighted: (10·1 + 11·2 + 12·3 + 13·4 + 14·5) / 15
    EXPECT_DOUBLE_EQ(r[kY], 30);
    EXPECT_EQ(r[kAngleAzim], 0);
    EXPECT_DOUBLE_EQ(r[kLengthProj], 5);
    EXPECT_DOUBLE_EQ(r[kWidthProj], 1);
    EXPECT_DOUBLE_EQ(r[kRoundness], 0.2);
    EXPECT_DOUBLE_EQ(r[kLinearity], 1);
    EXPECT_DOUBLE_EQ(r[kStdAlong], kRoot2);
    EXPECT_EQ(r[kStdPerp], 0);
    EXPECT_EQ(r[kThin], 1);
    EXPECT_EQ(r[kThick], 0);
    EXPECT_EQ(r[kBorderPixCount], 5);
    EXPECT_EQ(r[kCurlyThin], 0);
    EXPECT_DOUBLE_EQ(r[kDiameter], 5);
    EXPECT_DOUBLE_EQ(r[kLengthCorr], 4);
    EXPECT_DOUBLE_EQ(compute(pixels, 2)[kLengthCorr], 4);
    EXPECT_DOUBLE_EQ(compute(pixels, 3)[kLengthCorr], std::sqrt(24.0));
}

TEST(ClusterFeatures, DiagonalAndVerticalLines) {
    FeatureRow up = compute(line(20, 20, 1, 1, 5));
    EXPECT_NEAR(up[kAngleAzim], 45, 1e-9);
    EXPECT_NEAR(up[kLengthProj], 4 * kRoot2 + 1, 1e-9);
    EXPECT_DOUBLE_EQ(up[kWidthProj], 1);
    EXPECT_NEAR(up[kDiameter], 4 * kRoot2 + 1, 1e-12);
    EXPECT_NEAR(up[kLinearity], 1, 1e-12);
    EXPECT_EQ(up[kThin], 1);

    FeatureRow down = compute(line(20, 40, 1, -1, 5));
    EXPECT_NEAR(down[kAngleAzim], -45, 1e-9);

    // 90 degrees, not -90: the angle lies in (-90, 90].
    FeatureRow vertical = compute(line(7, 3, 0, 1, 5));
    EXPECT_DOUBLE_EQ(vertical[kAngleAzim], 90);
    EXPECT_DOUBLE_EQ(vertical[kLengthProj], 5);
    EXPECT_DOUBLE_EQ(vertical[kWidthProj], 1);
    EXPECT_DOUBLE_EQ(vertical[kRoundness], 0.2);
}

TEST(ClusterFeatures, LShape) {
    // (0,0) (0,1) (0,2) (1,2) (2,2): covariance 0.64, 0.64, 0.36; eigenvalues 1.0 and 0.28 along ±45 degrees.
    std::vector<Pixel> pixels{{100, 100, 1, 0}, {100, 101, 1, 0}, {100, 102, 1, 0}, {101, 102, 1, 0}, {102, 102, 1, 0}};
    FeatureRow r = compute(pixels);
    EXPECT_NEAR(r[kAngleAzim], 45, 1e-9);
    EXPECT_NEAR(r[kStdAlong], 1.0, 1e-12);
    EXPECT_NEAR(r[kStdPerp], std::sqrt(0.28), 1e-12);
    EXPECT_NEAR(r[kLinearity], 0.72, 1e-12);
    EXPECT_NEAR(r[kLengthProj], 2 * kRoot2 + 1, 1e-9);
    EXPECT_NEAR(r[kWidthProj], kRoot2 + 1, 1e-9);
    EXPECT_NEAR(r[kRoundness], (kRoot2 + 1) / (2 * kRoot2 + 1), 1e-9);
    EXPECT_DOUBLE_EQ(r[kThin], 0.6);  // the two ends and the corner have at most two neighbours
    EXPECT_EQ(r[kThick], 0);
    EXPECT_NEAR(r[kCurlyThin], 0.6 * 0.28, 1e-12);
    EXPECT_NEAR(r[kDiameter], 2 * kRoot2 + 1, 1e-12);
    EXPECT_NEAR(compute(pixels, 2)[kLengthCorr], kRoot2, 1e-9);
    EXPECT_NEAR(compute(pixels, 3)[kLengthCorr], std::sqrt(6 + 2 * kRoot2), 1e-9);
}

TEST(ClusterFeatures, LargeClustersUseTheHullForTheDiameter) {
    EXPECT_NEAR(compute(line(0 + 3, 3, 1, 1, 30))[kDiameter], 29 * kRoot2 + 1, 1e-9);
    std::vector<Pixel> square;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) square.push_back(Pixel{200 + x, 100 + y, 1, 0});
    }
    EXPECT_NEAR(compute(square)[kDiameter], 4 * kRoot2 + 1, 1e-12);
    // An L with long arms: the diameter joins the two arm ends.
    std::vector<Pixel> ell = line(10, 10, 0, 1, 20);
    std::vector<Pixel> arm = line(11, 29, 1, 0, 14);
    ell.insert(ell.end(), arm.begin(), arm.end());
    EXPECT_NEAR(compute(ell)[kDiameter], std::hypot(14.0, 19.0) + 1, 1e-12);
}

TEST(ClusterFeatures, EdgeEnergylessAndThicknessCases) {
    EXPECT_EQ(compute({Pixel{0, 5, 1, 0}})[kIsSensEdge], 1);
    EXPECT_EQ(compute({Pixel{255, 5, 1, 0}, Pixel{254, 5, 1, 0}})[kIsSensEdge], 1);
    EXPECT_EQ(compute({Pixel{5, 255, 1, 0}})[kIsSensEdge], 1);
    EXPECT_EQ(compute({Pixel{254, 254, 1, 0}})[kIsSensEdge], 0);
    // Pixels of 0 keV: the plain centre stands in for the weighted one.
    FeatureRow empty = compute({Pixel{4, 4, 0, 0}, Pixel{5, 4, 0, 0}});
    EXPECT_DOUBLE_EQ(empty[kX], 4.5);
    EXPECT_EQ(empty[kLET], 0);
    // Without thickness a dot has no 3D length: elevation 90, LET 0.
    FeatureRow flat = compute({Pixel{4, 4, 7, 0}}, 1, 0.0);
    EXPECT_EQ(flat[kLength3DCorr], 0);
    EXPECT_EQ(flat[kAngleElev], 90);
    EXPECT_EQ(flat[kLET], 0);
}

}  // namespace
}  // namespace zel::clusterer
