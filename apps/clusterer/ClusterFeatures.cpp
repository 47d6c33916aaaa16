#include "ClusterFeatures.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace zel::clusterer {
namespace {

constexpr double kPixelPitchUm = 55.0;
constexpr double kDegree = 180.0 / std::numbers::pi;

using Point = std::array<int32_t, 2>;

int64_t cross(const Point& o, const Point& a, const Point& b) {
    return static_cast<int64_t>(a[0] - o[0]) * (b[1] - o[1]) - static_cast<int64_t>(a[1] - o[1]) * (b[0] - o[0]);
}

int64_t squaredDistance(const Point& a, const Point& b) {
    int64_t dx = a[0] - b[0];
    int64_t dy = a[1] - b[1];
    return dx * dx + dy * dy;
}

}  // namespace

FeatureCalculator::FeatureCalculator(const FeatureSettings& settings) : settings_(settings) {}

double FeatureCalculator::correctedLength(int formula, double lengthProj, double widthProj) {
    switch (formula) {
        case 2: return std::max(0.0, lengthProj - widthProj);
        case 3: return std::sqrt(std::max(0.0, lengthProj * lengthProj - widthProj * widthProj));
        default: return std::max(0.0, lengthProj - 1.0);
    }
}

void FeatureCalculator::compute(std::span<const Pixel> pixels, FeatureRow& row) {
    computeEnergy(pixels, row);
    computeShape(pixels, row);
    computeNeighbours(pixels, row);
    row[kDiameter] = largestDistance(pixels) + 1.0;

    double lengthCorr = correctedLength(settings_.lengthCorrFormula, row[kLengthProj], row[kWidthProj]);
    double planar = lengthCorr * kPixelPitchUm;
    double depth = settings_.thicknessUm;
    double length3D = std::sqrt(planar * planar + depth * depth);
    row[kLengthCorr] = lengthCorr;
    row[kLength3DCorr] = length3D;
    row[kAngleElev] = planar > 0.0 ? std::atan(depth / planar) * kDegree : 90.0;
    row[kLET] = length3D > 0.0 ? row[kE] / length3D : 0.0;
}

// Size, energy sum, height, mean and spread of the pixel energies, energy-weighted centroid and earliest time.
void FeatureCalculator::computeEnergy(std::span<const Pixel> pixels, FeatureRow& row) const {
    const double n = static_cast<double>(pixels.size());
    double sum = 0.0, height = pixels.front().value, sumX = 0.0, sumY = 0.0, plainX = 0.0, plainY = 0.0;
    double earliest = pixels.front().time;
    bool edge = false;
    for (const Pixel& p : pixels) {
        sum += p.value;
        height = std::max(height, p.value);
        sumX += p.value * p.x;
        sumY += p.value * p.y;
        plainX += p.x;
        plainY += p.y;
        earliest = std::min(earliest, p.time);
        edge = edge || p.x == 0 || p.y == 0 || p.x == settings_.width - 1 || p.y == settings_.height - 1;
    }
    double mean = sum / n;
    double spread = 0.0;
    for (const Pixel& p : pixels) spread += (p.value - mean) * (p.value - mean);

    row[kSize] = n;
    row[kE] = sum;
    row[kHeight] = height;
    row[kEpixMean] = mean;
    row[kEpixStd] = std::sqrt(spread / n);
    // Without energy (all pixels 0 keV) the plain centre of the pixels stands in.
    row[kX] = sum > 0.0 ? sumX / sum : plainX / n;
    row[kY] = sum > 0.0 ? sumY / sum : plainY / n;
    row[kT] = earliest;
    row[kIsSensEdge] = edge ? 1.0 : 0.0;
}

// Principal axes of the unweighted pixel positions and the extents of the cluster along them.
void FeatureCalculator::computeShape(std::span<const Pixel> pixels, FeatureRow& row) {
    if (pixels.size() == 1) {  // a dot has no direction: the general case below gives the same values
        row[kAngleAzim] = 0.0;
        row[kStdAlong] = row[kStdPerp] = row[kLinearity] = 0.0;
        row[kLengthProj] = row[kWidthProj] = row[kRoundness] = 1.0;
        return;
    }
    const double n = static_cast<double>(pixels.size());
    double meanX = 0.0, meanY = 0.0;
    for (const Pixel& p : pixels) {
        meanX += p.x;
        meanY += p.y;
    }
    meanX /= n;
    meanY /= n;
    double cxx = 0.0, cyy = 0.0, cxy = 0.0;
    for (const Pixel& p : pixels) {
        double dx = p.x - meanX, dy = p.y - meanY;
        cxx += dx * dx;
        cyy += dy * dy;
        cxy += dx * dy;
    }
    cxx /= n;
    cyy /= n;
    cxy /= n;
    double half = 0.5 * (cxx + cyy);
    double offset = std::sqrt(0.25 * (cxx - cyy) * (cxx - cyy) + cxy * cxy);
    double major = half + offset;
    double minor = std::max(0.0, half - offset);

    // Direction of the major axis in (-90, 90]; an isotropic cluster has no direction and gets 0.
    double angle = offset > 0.0 ? 0.5 * std::atan2(2.0 * cxy, cxx - cyy) * kDegree : 0.0;
    if (angle <= -90.0) angle += 180.0;
    double cosA = std::cos(angle / kDegree), sinA = std::sin(angle / kDegree);

    double alongMin = 0.0, alongMax = 0.0, acrossMin = 0.0, acrossMax = 0.0;
    bool first = true;
    for (const Pixel& p : pixels) {
        double along = p.x * cosA + p.y * sinA;
        double across = -p.x * sinA + p.y * cosA;
        if (first) {
            alongMin = alongMax = along;
            acrossMin = acrossMax = across;
            first = false;
            continue;
        }
        alongMin = std::min(alongMin, along);
        alongMax = std::max(alongMax, along);
        acrossMin = std::min(acrossMin, across);
        acrossMax = std::max(acrossMax, across);
    }
    // Rounding of the rotation must not turn a one-pixel-wide line into a wider one.
    auto extent = [](double low, double high) { return std::round((high - low) * 1e9) / 1e9 + 1.0; };
    double length = extent(alongMin, alongMax);
    double width = extent(acrossMin, acrossMax);

    row[kAngleAzim] = angle;
    row[kStdAlong] = std::sqrt(major);
    row[kStdPerp] = std::sqrt(minor);
    row[kLinearity] = major > 0.0 ? 1.0 - minor / major : 0.0;
    row[kLengthProj] = length;
    row[kWidthProj] = width;
    row[kRoundness] = width / length;
}

// Border, thin and thick pixels from the number of 8-neighbours inside the cluster, counted on a small map of the
// cluster's bounding box with an empty frame around it (positions outside the matrix are outside the cluster).
void FeatureCalculator::computeNeighbours(std::span<const Pixel> pixels, FeatureRow& row) {
    int left = pixels.front().x, right = left, top = pixels.front().y, bottom = top;
    for (const Pixel& p : pixels) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    const size_t stride = static_cast<size_t>(right - left + 3);
    occupied_.assign(stride * static_cast<size_t>(bottom - top + 3), 0);
    auto cell = [&](const Pixel& p) {
        return static_cast<size_t>(p.y - top + 1) * stride + static_cast<size_t>(p.x - left + 1);
    };
    for (const Pixel& p : pixels) occupied_[cell(p)] = 1;
    int border = 0, thin = 0, thick = 0;
    for (const Pixel& p : pixels) {
        const uint8_t* above = occupied_.data() + cell(p) - stride - 1;
        const uint8_t* here = above + stride;
        const uint8_t* below = here + stride;
        int neighbours = above[0] + above[1] + above[2] + here[0] + here[2] + below[0] + below[1] + below[2];
        border += neighbours < 8 ? 1 : 0;
        thin += neighbours <= 2 ? 1 : 0;
        thick += neighbours == 8 ? 1 : 0;
    }

    const double n = static_cast<double>(pixels.size());
    row[kBorderPixCount] = border;
    row[kThin] = thin / n;
    row[kThick] = thick / n;
    row[kCurlyThin] = row[kThin] * (1.0 - row[kLinearity]);
}

// Largest distance between two pixel centres: directly for small clusters, over the convex hull for large ones.
// Only the first and last pixel of each row can be hull corners; taking them row by row gives the candidates
// already in (y, x) order, so the hull needs no sorting.
double FeatureCalculator::largestDistance(std::span<const Pixel> pixels) {
    int64_t best = 0;
    if (pixels.size() <= 6) {
        for (size_t i = 0; i < pixels.size(); ++i) {
            for (size_t j = i + 1; j < pixels.size(); ++j) {
                best = std::max(best, squaredDistance({pixels[i].x, pixels[i].y}, {pixels[j].x, pixels[j].y}));
            }
        }
        return std::sqrt(static_cast<double>(best));
    }
    int top = pixels.front().y, bottom = pixels.front().y;
    for (const Pixel& p : pixels) {
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    const size_t rows = static_cast<size_t>(bottom - top + 1);
    rowFirst_.assign(rows, INT32_MAX);
    rowLast_.assign(rows, INT32_MIN);
    for (const Pixel& p : pixels) {
        size_t row = static_cast<size_t>(p.y - top);
        rowFirst_[row] = std::min(rowFirst_[row], p.x);
        rowLast_[row] = std::max(rowLast_[row], p.x);
    }
    points_.clear();
    for (size_t row = 0; row < rows; ++row) {
        if (rowFirst_[row] > rowLast_[row]) continue;
        int32_t y = top + static_cast<int32_t>(row);
        points_.push_back({y, rowFirst_[row]});
        if (rowLast_[row] != rowFirst_[row]) points_.push_back({y, rowLast_[row]});
    }
    // Monotone chain over the (y, x)-ordered candidates: one chain, then the other.
    hull_.assign(2 * points_.size(), Point{});
    size_t k = 0;
    for (size_t i = 0; i < points_.size(); ++i) {
        while (k >= 2 && cross(hull_[k - 2], hull_[k - 1], points_[i]) <= 0) --k;
        hull_[k++] = points_[i];
    }
    for (size_t i = points_.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && cross(hull_[k - 2], hull_[k - 1], points_[i]) <= 0) --k;
        hull_[k++] = points_[i];
    }
    hull_.resize(k > 1 ? k - 1 : k);
    for (size_t i = 0; i < hull_.size(); ++i) {
        for (size_t j = i + 1; j < hull_.size(); ++j) best = std::max(best, squaredDistance(hull_[i], hull_[j]));
    }
    return std::sqrt(static_cast<double>(best));
}

}  // namespace zel::clusterer
