#pragma once
// One chip with its sensor and bump bonds, placed in space by two opposite corners of the sensor volume (A and B,
// mm) and a direction vector, and the transform that turns a pixel position and a depth into a 3D point.
//
// Only axis-aligned placements are supported: the pixel columns, the pixel rows and the depth each run along one
// spatial axis, forwards or backwards. Which axis takes which role and in which sense is described in
// docs/geometry.md.
#include <array>
#include <string>
#include <vector>

#include "common/Messages.h"

namespace zel {

using Point3 = std::array<double, 3>;

// Density in g/cm3 of a sensor material ("Si", "CdTe", "GaAs"); 0 for a material that is not known.
double materialDensity(const std::string& material);

// The axis-aligned map from (pixel column, pixel row, depth) to a point in mm. Column and row are pixel indexes
// (continuous: the centre of pixel i is i, its edges i - 0.5 and i + 0.5); the depth is in µm from the face of
// the sensor that holds corner A.
class PixelTransform {
public:
    // The eight variants by the senses of the three roles; bit 0 set: columns run backwards along their axis,
    // bit 1: rows, bit 2: depth.
    int variant() const { return (columnSign_ < 0 ? 1 : 0) | (rowSign_ < 0 ? 2 : 0) | (depthSign_ < 0 ? 4 : 0); }
    // Spatial axes (0 x, 1 y, 2 z) of the columns, the rows and the depth.
    int columnAxis() const { return columnAxis_; }
    int rowAxis() const { return rowAxis_; }
    int depthAxis() const { return depthAxis_; }

    Point3 map(double column, double row, double depthUm) const;

private:
    friend class Assembly;

    Point3 corner_{};  // outer corner of pixel (0, 0) on the mid-plane of the sensor
    double pitchMm_ = 0.055;
    double halfDepthMm_ = 0.0;
    int columnAxis_ = 0;
    int rowAxis_ = 1;
    int depthAxis_ = 2;
    double columnSign_ = 1.0;
    double rowSign_ = 1.0;
    double depthSign_ = 1.0;
};

class Assembly {
public:
    // Results of setPositions and setVector.
    enum Result : int { kEmpty = -1, kLengthMismatch = -2, kVectorMismatch = -3, kZeroVector = -4 };

    int numId = -1;
    std::string chipType;
    double chipThickness = 0.0;
    std::string sensorMaterial;
    double sensorDensity = 0.0;  // g/cm3
    double sensorThickness = 0.0;  // µm
    double sensorTemperature = 22.0;
    double sensorBias = 0.0;
    double bumpBondThickness = 25.0;
    double bumpBondHeight = 20.0;
    std::string bumpBondMaterial;
    int matrixPixelWidth = 256;
    int matrixHeight = 256;
    double pixelSize = 55.0;  // µm

    double matrixWidthMm() const { return matrixPixelWidth * pixelSize / 1000.0; }
    double matrixHeightMm() const { return matrixHeight * pixelSize / 1000.0; }

    // Both corners need the same length, and that of the vector when one is set: 0, kEmpty, kLengthMismatch or
    // kVectorMismatch.
    int setPositions(std::vector<double> a, std::vector<double> b);
    // The vector must have the length of the positions when they are set; it is normalised to length 1. 0,
    // kEmpty, kVectorMismatch or kZeroVector (nothing can be normalised).
    int setVector(std::vector<double> vector);
    const std::vector<double>& positionA() const { return positionA_; }
    const std::vector<double>& positionB() const { return positionB_; }
    const std::vector<double>& vector() const { return vector_; }

    // A density of 0 or below is taken from the material.
    void resolveDensity();

    // Checks the corners against the matrix size and the thickness, reporting each mismatch, and sets up the
    // transform. True for a placement that is axis-aligned and fits the sensor; false after the warning that a
    // rotation would be needed (the transform is still set up as well as the placement allows).
    bool setUpTransform(const MessageTarget& to);
    const PixelTransform& transform() const { return transform_; }
    bool isPlaced() const { return placed_; }

    Point3 pixelToSpace(double column, double row, double depthUm) const { return transform_.map(column, row, depthUm); }

private:
    std::vector<double> positionA_;
    std::vector<double> positionB_;
    std::vector<double> vector_;
    PixelTransform transform_;
    bool placed_ = false;
};

}  // namespace zel
