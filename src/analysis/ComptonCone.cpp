#include "analysis/ComptonCone.h"

#include <algorithm>
#include <cmath>

#include "hist/Hist2D.h"

namespace zel {
namespace {

bool physical(double cosine) { return cosine >= -1.0 && cosine <= 1.0; }

// The image is sampled at least this often along each axis, so that a coarse image still shows whole curves.
constexpr int kMinSamples = 100;

}  // namespace

OrderChoice chooseOrder(double ea, double eb, bool forceForward, bool forceBackward) {
    OrderChoice choice;
    if (!(ea > 0.0 && eb > 0.0 && std::isfinite(ea) && std::isfinite(eb))) return choice;
    const double total = ea + eb;
    const bool forward = physical(scatterCosine(ea, total));
    const bool backward = physical(scatterCosine(eb, total));
    if (forward && backward) {
        choice.ambiguous = true;
        choice.order = forceForward ? ComptonOrder::Forward
                       : forceBackward ? ComptonOrder::Backward
                                       : ComptonOrder::Ambiguous;
    } else if (forward) {
        choice.order = ComptonOrder::Forward;
    } else if (backward) {
        choice.order = ComptonOrder::Backward;
    }
    return choice;
}

bool makeCone(double es, const Point3& scatter, double ea, const Point3& absorption, ComptonOrder order,
              ComptonCone& cone) {
    const double cosine = scatterCosine(ea, es + ea);
    if (!physical(cosine)) return false;
    Point3 axis{scatter[0] - absorption[0], scatter[1] - absorption[1], scatter[2] - absorption[2]};
    const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    for (double& a : axis) a /= length;
    cone.scatterEnergy = es;
    cone.scatterPosition = scatter;
    cone.absorberEnergy = ea;
    cone.absorberPosition = absorption;
    cone.apex = scatter;
    cone.axis = axis;
    cone.halfAngle = std::acos(cosine);
    cone.order = order;
    return true;
}

ConeProjector::ConeProjector(int nx, int ny, double bx, double by, double centreX, double centreY, double distance)
    : nx_(nx),
      ny_(ny),
      bx_(bx),
      by_(by),
      xMin_(centreX - 0.5 * nx * bx),
      yMin_(centreY - 0.5 * ny * by),
      distance_(distance),
      columns_(std::max(nx, kMinSamples)),
      rows_(std::max(ny, kMinSamples)) {}

size_t ConeProjector::project(const ComptonCone& cone, Hist2D& image) const {
    double* bins = image.FlatBins();
    return sweep(cone, true, bins) + sweep(cone, false, bins);
}

// A point d = P - apex lies on the cone when (u.d)^2 = cos^2(θ) |d|^2 and u.d has the sign of cos θ. On the plane
// z = distance, with the sampled coordinate fixed, this is a quadratic in the other one.
size_t ConeProjector::sweep(const ComptonCone& cone, bool alongX, double* bins) const {
    const int along = alongX ? 0 : 1;   // the sampled coordinate
    const int across = alongX ? 1 : 0;  // the solved one
    const int count = alongX ? columns_ : rows_;
    const int binsAlong = alongX ? nx_ : ny_;
    const double step = (static_cast<double>(binsAlong) / count) * (alongX ? bx_ : by_);
    const double start = alongX ? xMin_ : yMin_;
    const double acrossMin = alongX ? yMin_ : xMin_;
    const double acrossWidth = alongX ? by_ : bx_;
    const int binsAcross = alongX ? ny_ : nx_;

    const double c = std::cos(cone.halfAngle);
    const double c2 = c * c;
    const double ua = cone.axis[along];
    const double uc = cone.axis[across];
    const double uz = cone.axis[2];
    const double dz = distance_ - cone.apex[2];
    const double a = uc * uc - c2;
    if (a == 0.0) return 0;
    const double twoA = 2.0 * a;

    size_t inside = 0;
    for (int k = 0; k < count; ++k) {
        const double s = start + k * step;
        const double ds = s - cone.apex[along];
        const double p = ua * ds + uz * dz;
        const double b = 2.0 * uc * p;
        const double c0 = p * p - c2 * (ds * ds + dz * dz);
        const double discriminant = std::trunc(b * b - 4.0 * a * c0);
        if (!(discriminant >= 0.0)) continue;
        const double root = std::sqrt(discriminant);
        // The sample's own bin, from its number rather than its position, so that rounding can not move it.
        const int iAlong = static_cast<int>((static_cast<long long>(k) * binsAlong) / count);
        for (int sign = -1; sign <= 1; sign += 2) {
            const double d = (-b + sign * root) / twoA;
            // The nappe the axis points into: u.d has the sign of cos θ.
            if ((p + uc * d) * c < 0.0) continue;
            const double u = (cone.apex[across] + d - acrossMin) / acrossWidth;
            if (u >= 0.0 && u < binsAcross) {
                const int iAcross = static_cast<int>(u);
                const int ix = alongX ? iAlong : iAcross;
                const int iy = alongX ? iAcross : iAlong;
                bins[static_cast<size_t>(iy) * static_cast<size_t>(nx_) + static_cast<size_t>(ix) + 1] += 1.0;
                ++inside;
            }
            if (root == 0.0) break;  // a double root is one point
        }
    }
    return inside;
}

}  // namespace zel
