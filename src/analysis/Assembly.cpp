#include "analysis/Assembly.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace zel {
namespace {

constexpr double kSameLength = 1e-6;  // mm: corners that agree with the sensor to a nanometre agree
constexpr char kAxisLetters[3] = {'X', 'Y', 'Z'};

std::string fourDecimals(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

// Reports a corner distance that differs from the sensor's own size along the same role.
bool sameExtent(int axis, double extent, double expected, const char* what, const MessageTarget& to) {
    if (std::fabs(extent - expected) <= kSameLength) return true;
    printWarning(to, std::string(1, kAxisLetters[axis]) + " distance of points A and B " + fourDecimals(extent) +
                         " is not the same as " + what + " of sensor: " + fourDecimals(expected));
    return false;
}

}  // namespace

double materialDensity(const std::string& material) {
    if (material == "Si") return 2.329;
    if (material == "CdTe") return 5.85;
    if (material == "GaAs") return 5.3176;
    return 0.0;
}

Point3 PixelTransform::map(double column, double row, double depthUm) const {
    Point3 point = corner_;
    point[static_cast<size_t>(columnAxis_)] += columnSign_ * (column + 0.5) * pitchMm_;
    point[static_cast<size_t>(rowAxis_)] += rowSign_ * (row + 0.5) * pitchMm_;
    point[static_cast<size_t>(depthAxis_)] += depthSign_ * (depthUm / 1000.0 - halfDepthMm_);
    return point;
}

int Assembly::setPositions(std::vector<double> a, std::vector<double> b) {
    if (a.empty() || b.empty()) return kEmpty;
    if (a.size() != b.size()) return kLengthMismatch;
    if (!vector_.empty() && vector_.size() != a.size()) return kVectorMismatch;
    positionA_ = std::move(a);
    positionB_ = std::move(b);
    return 0;
}

int Assembly::setVector(std::vector<double> vector) {
    if (vector.empty()) return kEmpty;
    if (!positionA_.empty() && positionA_.size() != vector.size()) return kVectorMismatch;
    double length = 0.0;
    for (double v : vector) length += v * v;
    length = std::sqrt(length);
    if (!(length > 0.0)) return kZeroVector;
    for (double& v : vector) v /= length;
    vector_ = std::move(vector);
    return 0;
}

void Assembly::resolveDensity() {
    if (sensorDensity <= 0.0) sensorDensity = materialDensity(sensorMaterial);
}

bool Assembly::setUpTransform(const MessageTarget& to) {
    placed_ = false;
    if (positionA_.size() != 3 || positionB_.size() != 3 || vector_.size() != 3) return false;
    Point3 span{};
    for (size_t i = 0; i < 3; ++i) span[i] = positionB_[i] - positionA_[i];

    // The columns follow the vector; of the two other axes the thinner extent is the depth.
    size_t column = 0;
    for (size_t i = 1; i < 3; ++i) {
        if (std::fabs(vector_[i]) > std::fabs(vector_[column])) column = i;
    }
    bool aligned = true;
    for (size_t i = 0; i < 3; ++i) aligned = aligned && (i == column || vector_[i] == 0.0);
    const size_t first = column == 0 ? 1 : 0;
    const size_t second = column == 2 ? 1 : 2;
    const bool firstIsDepth = std::fabs(span[first]) < std::fabs(span[second]);
    const size_t depth = firstIsDepth ? first : second;
    const size_t row = firstIsDepth ? second : first;

    PixelTransform& t = transform_;
    t.columnAxis_ = static_cast<int>(column);
    t.rowAxis_ = static_cast<int>(row);
    t.depthAxis_ = static_cast<int>(depth);
    t.columnSign_ = span[column] < 0 ? -1.0 : 1.0;
    t.rowSign_ = span[row] < 0 ? -1.0 : 1.0;
    t.depthSign_ = span[depth] < 0 ? -1.0 : 1.0;
    t.pitchMm_ = pixelSize / 1000.0;

    const double width = matrixWidthMm();
    const double height = matrixHeightMm();
    bool fits = sameExtent(static_cast<int>(column), std::fabs(span[column]), width, "matrix Width", to);
    fits = sameExtent(static_cast<int>(row), std::fabs(span[row]), height, "matrix height", to) && fits;
    fits = sameExtent(static_cast<int>(depth), std::fabs(span[depth]), sensorThickness / 1000.0, "sensor thickness",
                      to) && fits;

    // The corner of pixel (0, 0) lies half the matrix before the centre; the depth counts from the face of A.
    const double diagonal2 = span[0] * span[0] + span[1] * span[1] + span[2] * span[2];
    t.halfDepthMm_ = std::sqrt(std::fmax(0.0, diagonal2 - width * width - height * height)) / 2.0;
    for (size_t i = 0; i < 3; ++i) t.corner_[i] = (positionA_[i] + positionB_[i]) / 2.0;
    t.corner_[column] -= t.columnSign_ * width / 2.0;
    t.corner_[row] -= t.rowSign_ * height / 2.0;

    if (!fits || !aligned) {
        printWarning(to, "There is possibility that a more complex rotation is needed, but this is not implemented.");
        return false;
    }
    placed_ = true;
    return true;
}

}  // namespace zel
