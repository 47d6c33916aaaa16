#include <gtest/gtest.h>

#include <cmath>
#include <utility>
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

// Checks the listed columns of a row.
void expectColumns(const FeatureRow& row, std::initializer_list<std::pair<Column, double>> expected) {
    for (const auto& [k, value] : expected) EXPECT_NEAR(row[k], value, 1e-9) << "column " << k;
}

TEST(ClusterFeatures, SinglePixel) {
    expectColumns(compute({Pixel{10, 20, 5.0, 7.0}}),
                  {{kSize, 1},       {kE, 5},           {kHeight, 5},         {kEpixMean, 5},       {kEpixStd, 0},
                   {kX, 10},         {kY, 20},          {kT, 7},              {kBorderPixCount, 1}, {kRoundness, 1},
                   {kAngleAzim, 0},  {kLinearity, 0},   {kLengthProj, 1},     {kWidthProj, 1},      {kIsSensEdge, 0},
                   {kStdAlong, 0},   {kStdPerp, 0},     {kThin, 1},           {kThick, 0},          {kCurlyThin, 1},
                   {kLengthCorr, 0}, {kAngleElev, 90},  {kLength3DCorr, 300}, {kLET, 5.0 / 300.0},  {kDiameter, 1}});
}

TEST(ClusterFeatures, ThreeByThreeBlob) {
    std::vector<Pixel> blob;
    for (int y = 59; y <= 61; ++y) {
        for (int x = 49; x <= 51; ++x) blob.push_back(Pixel{x, y, x == 50 && y == 60 ? 10.0 : 2.0, 100.0 - x});
    }
    const double mean = 26.0 / 9.0, length3D = std::hypot(110.0, 300.0);
    expectColumns(compute(blob),
                  {{kSize, 9}, {kE, 26}, {kHeight, 10}, {kEpixMean, mean},
                   {kEpixStd, std::sqrt((8 * (2 - mean) * (2 - mean) + (10 - mean) * (10 - mean)) / 9)},
                   {kX, 50}, {kY, 60}, {kT, 49},  // T: the earliest pixel
                   {kBorderPixCount, 8}, {kThin, 0}, {kThick, 1.0 / 9.0}, {kLinearity, 0}, {kAngleAzim, 0},
                   {kLengthProj, 3}, {kWidthProj, 3}, {kRoundness, 1}, {kStdAlong, std::sqrt(2.0 / 3.0)},
                   {kStdPerp, std::sqrt(2.0 / 3.0)}, {kDiameter, 2 * kRoot2 + 1}, {kCurlyThin, 0}, {kLengthCorr, 2},
                   {kLength3DCorr, length3D}, {kAngleElev, std::atan(300.0 / 110.0) * kDeg}, {kLET, 26.0 / length3D}});
}

TEST(ClusterFeatures, Lines) {
    std::vector<Pixel> horizontal = line(10, 30, 1, 0, 5);
    for (int i = 0; i < 5; ++i) horizontal[i].value = i + 1;
    // X is energy-weighted: (10·1 + 11·2 + 12·3 + 13·4 + 14·5) / 15.
    expectColumns(compute(horizontal),
                  {{kX, 190.0 / 15.0}, {kY, 30}, {kAngleAzim, 0}, {kLengthProj, 5}, {kWidthProj, 1}, {kRoundness, 0.2},
                   {kLinearity, 1}, {kStdAlong, kRoot2}, {kStdPerp, 0}, {kThin, 1}, {kThick, 0}, {kBorderPixCount, 5},
                   {kCurlyThin, 0}, {kDiameter, 5}, {kLengthCorr, 4}});
    EXPECT_DOUBLE_EQ(compute(horizontal, 2)[kLengthCorr], 4);
    EXPECT_DOUBLE_EQ(compute(horizontal, 3)[kLengthCorr], std::sqrt(24.0));

    expectColumns(compute(line(20, 20, 1, 1, 5)), {{kAngleAzim, 45}, {kLengthProj, 4 * kRoot2 + 1}, {kWidthProj, 1},
                                                   {kDiameter, 4 * kRoot2 + 1}, {kLinearity, 1}, {kThin, 1}});
    expectColumns(compute(line(20, 40, 1, -1, 5)), {{kAngleAzim, -45}});
    // 90 degrees, not -90: the angle lies in (-90, 90].
    expectColumns(compute(line(7, 3, 0, 1, 5)), {{kAngleAzim, 90}, {kLengthProj, 5}, {kWidthProj, 1}, {kRoundness, 0.2}});
}

TEST(ClusterFeatures, LShape) {
    // (0,0) (0,1) (0,2) (1,2) (2,2): covariance 0.64, 0.64, 0.36; eigenvalues 1.0 and 0.28 along ±45 degrees.
    std::vector<Pixel> pixels{{100, 100, 1, 0}, {100, 101, 1, 0}, {100, 102, 1, 0}, {101, 102, 1, 0}, {102, 102, 1, 0}};
    expectColumns(compute(pixels),
                  {{kAngleAzim, 45}, {kStdAlong, 1.0}, {kStdPerp, std::sqrt(0.28)}, {kLinearity, 0.72},
                   {kLengthProj, 2 * kRoot2 + 1}, {kWidthProj, kRoot2 + 1}, {kRoundness, (kRoot2 + 1) / (2 * kRoot2 + 1)},
                   {kThin, 0.6},  // the two ends and the corner have at most two neighbours
                   {kThick, 0}, {kCurlyThin, 0.6 * 0.28}, {kDiameter, 2 * kRoot2 + 1}});
    EXPECT_NEAR(compute(pixels, 2)[kLengthCorr], kRoot2, 1e-9);
    EXPECT_NEAR(compute(pixels, 3)[kLengthCorr], std::sqrt(6 + 2 * kRoot2), 1e-9);
}

TEST(ClusterFeatures, LargeClustersUseTheHullForTheDiameter) {
    EXPECT_NEAR(compute(line(3, 3, 1, 1, 30))[kDiameter], 29 * kRoot2 + 1, 1e-9);
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
    expectColumns(compute({Pixel{4, 4, 0, 0}, Pixel{5, 4, 0, 0}}), {{kX, 4.5}, {kLET, 0}});
    // Without thickness a dot has no 3D length: elevation 90, LET 0.
    expectColumns(compute({Pixel{4, 4, 7, 0}}, 1, 0.0), {{kLength3DCorr, 0}, {kAngleElev, 90}, {kLET, 0}});
}

}  // namespace
}  // namespace zel::clusterer
