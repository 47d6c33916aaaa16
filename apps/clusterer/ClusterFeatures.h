#pragma once
// The 28 default cluster variables computed from the pixels of one cluster.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "Pixel.h"

namespace zel::clusterer {

// Columns of a feature row, in the order of the default variable list.
enum Column : int {
    kDetectorID, kEventID, kX, kY, kE, kT, kFlags, kSize, kHeight, kBorderPixCount, kRoundness, kAngleAzim,
    kLinearity, kLengthProj, kWidthProj, kIsSensEdge, kStdAlong, kStdPerp, kThin, kThick, kCurlyThin, kEpixMean,
    kEpixStd, kLengthCorr, kLength3DCorr, kAngleElev, kLET, kDiameter,
    kColumnCount
};

using FeatureRow = std::array<double, kColumnCount>;

struct FeatureSettings {
    int width = 256;
    int height = 256;
    double thicknessUm = 300.0;
    int lengthCorrFormula = 1;  // 1 Std, 2 Width, 3 Nabha
};

class FeatureCalculator {
public:
    explicit FeatureCalculator(const FeatureSettings& settings);

    // Fills every column but DetectorID, EventID and Flags, which belong to the caller (left untouched).
    // T is the earliest pixel time. The pixels must lie inside the matrix; `pixels` must not be empty.
    void compute(std::span<const Pixel> pixels, FeatureRow& row);

    // Corrected 2D length in px from the projected length and width, by the chosen formula.
    static double correctedLength(int formula, double lengthProj, double widthProj);

private:
    void computeEnergy(std::span<const Pixel> pixels, FeatureRow& row) const;
    void computeShape(std::span<const Pixel> pixels, FeatureRow& row);
    void computeNeighbours(std::span<const Pixel> pixels, FeatureRow& row);
    double largestDistance(std::span<const Pixel> pixels);

    FeatureSettings settings_;
    std::vector<uint8_t> occupied_;  // map of the current cluster's bounding box
    std::vector<int32_t> rowFirst_;
    std::vector<int32_t> rowLast_;
    std::vector<std::array<int32_t, 2>> points_;
    std::vector<std::array<int32_t, 2>> hull_;
};

}  // namespace zel::clusterer
