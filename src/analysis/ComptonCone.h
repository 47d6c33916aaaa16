#pragma once
// The physics of one Compton event: which of two deposits was the scatter and which the absorption, the cone of
// possible source directions that follows, and the back-projection of that cone onto an image plane.
//
// A photon of energy E0 = Ea + Eb scatters once (leaving the electron energy in one sensor) and is absorbed in the
// other (leaving the scattered photon's energy E'). The scattering angle follows from cos θ = 1 + m/E0 - m/E',
// m = 511 keV; the source lies on the cone whose apex is the scatter point, whose axis points from the absorption
// point through the scatter point, and whose half angle is θ.
#include <cstddef>
#include <vector>

#include "analysis/Assembly.h"

namespace zel {

class Hist2D;

inline constexpr double kElectronRestEnergy = 511.0;  // keV

// Cosine of the scattering angle when `absorbed` keV were left by the scattered photon and `total` keV is the
// photon's energy. Outside [-1, 1] (or NaN) when no single Compton scatter gives these energies.
inline double scatterCosine(double absorbed, double total) {
    return 1.0 + kElectronRestEnergy / total - kElectronRestEnergy / absorbed;
}

// Orders of a pair (a, b). Forward: b is the scatter (its deposit is the electron's), a the absorption;
// backward: the reverse.
enum class ComptonOrder { None, Forward, Backward, Ambiguous };

struct OrderChoice {
    ComptonOrder order = ComptonOrder::None;  // the order taken; Ambiguous when both fit and none was forced
    bool ambiguous = false;                   // both orders fit the energies
};

// Decides the order of a pair with energies ea and eb (keV) from which scattering cosines are physical. Both
// energies must be positive and finite, otherwise no order fits.
OrderChoice chooseOrder(double ea, double eb, bool forceForward, bool forceBackward);

struct ComptonCone {
    double scatterEnergy = 0.0;  // keV
    Point3 scatterPosition{};    // mm
    double absorberEnergy = 0.0;
    Point3 absorberPosition{};
    Point3 apex{};
    Point3 axis{};  // unit vector, absorption point to scatter point
    double halfAngle = 0.0;  // rad
    ComptonOrder order = ComptonOrder::Forward;
};

// The cone of a scatter at `scatter` (deposit es) and an absorption at `absorption` (deposit ea). False when the
// energies give no physical angle or both points coincide.
bool makeCone(double es, const Point3& scatter, double ea, const Point3& absorption, ComptonOrder order,
              ComptonCone& cone);

// The image plane z = distance (setup frame, mm): nx x ny bins of widths bx, by centred at (centreX, centreY).
// Draws the curve where a cone meets the plane by sampling: along at least 100 columns the curve's y values are
// solved, along at least 100 rows its x values, and every point found inside the image adds one to its bin. Only
// the half of the double cone the axis points into counts (the source lies there). No allocation per cone.
class ConeProjector {
public:
    ConeProjector(int nx, int ny, double bx, double by, double centreX, double centreY, double distance);

    // Fills the cone into `image` (a histogram of this binning); the number of points that fell inside.
    size_t project(const ComptonCone& cone, Hist2D& image) const;

    double xMin() const { return xMin_; }
    double yMin() const { return yMin_; }

private:
    // One sweep: along `count` values s = start + k * step of one coordinate, solve for the other.
    size_t sweep(const ComptonCone& cone, bool alongX, double* bins) const;

    int nx_, ny_;
    double bx_, by_;
    double xMin_, yMin_;
    double distance_;
    int columns_, rows_;
};

}  // namespace zel
