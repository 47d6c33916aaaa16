// Back-projection speed of the Compton camera: 100 000 cones of a point source 5 m above a two-layer stack,
// drawn into the default image of 100 x 100 bins of 50 mm. The "cones/s" counter is the figure to compare across
// commits (the goal is at least 200 000 cones/s on one thread).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/ComptonCone.h"
#include "hist/Hist2D.h"

namespace {

constexpr size_t kCones = 100000;

// Cones whose apex lies on the scatterer, whose axis comes from a point of the absorber 20 mm below, and whose
// half angle points them at a source at (600, -400, 5000) mm, smeared by a few degrees.
std::vector<zel::ComptonCone> cones() {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> across(-7.0, 7.0);
    std::normal_distribution<double> smear(0.0, 0.05);
    std::vector<zel::ComptonCone> out(kCones);
    for (zel::ComptonCone& cone : out) {
        cone.apex = {across(random), across(random), 20.0};
        const double a[3] = {cone.apex[0] - across(random), cone.apex[1] - across(random), 20.0};
        const double length = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        cone.axis = {a[0] / length, a[1] / length, a[2] / length};
        const double s[3] = {600 - cone.apex[0], -400 - cone.apex[1], 5000 - cone.apex[2]};
        const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        cone.halfAngle = std::acos((s[0] * cone.axis[0] + s[1] * cone.axis[1] + s[2] * cone.axis[2]) / sl) + smear(random);
    }
    return out;
}

void BM_ConeBackProjection(benchmark::State& state) {
    const std::vector<zel::ComptonCone> all = cones();
    zel::ConeProjector projector(100, 100, 50, 50, 0, 0, 5000);
    zel::Hist2D image("image", 100, -2500, 2500, 100, -2500, 2500, 0, {nullptr, false, false});
    size_t points = 0;
    for (auto _ : state) {
        for (const zel::ComptonCone& cone : all) points += projector.project(cone, image);
    }
    benchmark::DoNotOptimize(points);
    state.counters["cones/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kCones), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ConeBackProjection)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
