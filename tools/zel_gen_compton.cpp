// Simulates a two-layer Compton camera looking at point sources of gamma rays, and writes what its detectors
// would record: a silicon scatterer (500 um, 14.08 mm square, 20 mm above) over a CdTe absorber (1 mm), each a
// 256 x 256 matrix of 55 um pixels read out as its own detector.
//
//   zel_gen_compton --out DIR [--events N] [--energy KEV] [--source X,Y]... [--distance MM] [--seed S]
//                   [--si-sigma KEV] [--cdte-sigma FRACTION] [--escape P] [--double P] [--random P]
//                   [--backward P] [--single P] [--window KEV] [--rate HZ]
//
// Each event is a photon from one of the sources (taken in turn) at (X, Y, distance) mm, aimed at the scatterer.
// Kinds of events (shares of N; the rest are good forward events):
//   forward   Compton scatter in Si (Klein-Nishina angle), the scattered photon fully absorbed in CdTe;
//   backward  the photon crosses the Si, scatters backwards in CdTe and is absorbed in the Si;
//   escape    as forward, but the scattered photon leaves only part of its energy in CdTe;
//   double    scatter in Si, a second Compton scatter in CdTe, the rest absorbed elsewhere in CdTe (3 clusters);
//   random    a Si cluster and a CdTe cluster of two unrelated photons that fell into one coincidence window;
//   single    one cluster only (no coincidence).
// Energies are smeared by a Gaussian (Si: fixed sigma in keV; CdTe: sigma as a fraction of the deposit), positions
// are pixel centroids with 0.2 px smear, depths are uniform in the sensor (the reconstruction takes the face of
// corner A). Writes DIR/compton.elist (DetectorID = assembly NumID, EventID per coincidence), DIR/geometry.ini,
// DIR/compton.ini (the camera's configuration: energy window of +- KEV round the photon energy, image at the
// source distance), DIR/param.txt (a zel parameter file for the list) and DIR/truth.txt (counts by kind and one
// line per event).
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMe = 511.0;  // keV
constexpr double kPitch = 0.055;  // mm
constexpr double kSide = 256 * kPitch;  // 14.08 mm
constexpr double kCorner = -7.0125;  // x and y of corner A of both sensors
constexpr double kSiBottom = 20.0, kSiTop = 20.5;  // mm
constexpr double kCdTeBottom = 0.0, kCdTeTop = 1.0;
constexpr double kDriftNs = 86.0;  // charge collection across the CdTe

struct Vec {
    double x, y, z;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(double s, Vec a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec unit(Vec a) { return (1.0 / std::sqrt(dot(a, a))) * a; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

struct Options {
    std::string out;
    long long events = 2000;
    double energy = 662.0;
    std::vector<std::array<double, 2>> sources;
    double distance = 5000.0;
    unsigned long long seed = 1;
    double siSigma = 2.0;
    double cdteSigma = 0.01;
    double escape = 0.0, doubles = 0.0, randoms = 0.0, backward = 0.0, single = 0.0;
    double window = 30.0;
    double rate = 1000.0;
};

enum Kind { kForward, kBackward, kEscape, kDouble, kRandom, kSingle, kKinds };
constexpr const char* kKindNames[kKinds] = {"forward", "backward", "escape", "double", "random", "single"};

struct Hit {
    int assembly;  // 0 Si, 1 CdTe
    Vec point;
    double energy;  // deposited, before smearing
};

class Simulation {
public:
    explicit Simulation(const Options& o) : o_(o), rng_(o.seed) {}

    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }
    double gauss(double sigma) { return sigma > 0 ? std::normal_distribution<double>(0.0, sigma)(rng_) : 0.0; }

    // Scattered photon energy for a scattering angle of cosine c.
    static double scattered(double e, double c) { return e / (1.0 + e / kMe * (1.0 - c)); }

    // A scattering cosine from the Klein-Nishina cross-section, restricted to [cmin, cmax] (rejection sampling).
    double kleinNishina(double e, double cmin, double cmax) {
        for (;;) {
            const double c = uniform(cmin, cmax);
            const double r = scattered(e, c) / e;
            const double weight = r * r * (r + 1.0 / r - (1.0 - c * c)) / 2.0;  // at most 1 (at c = 1)
            if (uniform(0.0, 1.0) < weight) return c;
        }
    }

    // The direction at angle acos(c) from `d`, at a uniform azimuth round it.
    Vec turn(Vec d, double c) {
        const Vec helper = std::fabs(d.z) < 0.9 ? Vec{0, 0, 1} : Vec{1, 0, 0};
        const Vec u = unit(cross(d, helper));
        const Vec v = cross(d, u);
        const double phi = uniform(0.0, 2.0 * kPi);
        const double s = std::sqrt(std::max(0.0, 1.0 - c * c));
        return unit(c * d + (s * std::cos(phi)) * u + (s * std::sin(phi)) * v);
    }

    // Where a ray from p along d reaches height z, if that lies over the sensor square.
    static bool reach(Vec p, Vec d, double z, Vec& hit) {
        if (d.z == 0.0) return false;
        const double t = (z - p.z) / d.z;
        if (t <= 0) return false;
        hit = p + t * d;
        return hit.x > kCorner && hit.x < kCorner + kSide && hit.y > kCorner && hit.y < kCorner + kSide;
    }

    Vec sourceOf(long long event) const {
        const auto& s = o_.sources[static_cast<size_t>(event) % o_.sources.size()];
        return {s[0], s[1], o_.distance};
    }

    // A photon from `source` interacting at a uniform point of the slab [bottom, top].
    Vec entry(double bottom, double top) {
        return {uniform(kCorner, kCorner + kSide), uniform(kCorner, kCorner + kSide), uniform(bottom, top)};
    }

    // Scatter in Si, absorption point in CdTe; false when the scattered photon misses the CdTe.
    bool forward(Vec source, std::vector<Hit>& hits, double& cosine) {
        return scatterAndAbsorb(source, {0, kSiBottom, kSiTop}, {1, kCdTeBottom, kCdTeTop}, 1.0, hits, cosine);
    }
    // Scatter in CdTe back into the Si above it.
    bool backward(Vec source, std::vector<Hit>& hits, double& cosine) {
        return scatterAndAbsorb(source, {1, kCdTeBottom, kCdTeTop}, {0, kSiBottom, kSiTop}, 0.0, hits, cosine);
    }

    struct Layer {
        int detector;
        double bottom, top;
    };
    // Scatters in `scatterer` at a cosine from -1 to `maxCosine` and absorbs the scattered photon in `absorber`.
    bool scatterAndAbsorb(Vec source, Layer scatterer, Layer absorber, double maxCosine, std::vector<Hit>& hits,
                          double& cosine) {
        const Vec p = entry(scatterer.bottom, scatterer.top);
        const Vec d = unit(p - source);
        cosine = kleinNishina(o_.energy, -1.0, maxCosine);
        const Vec out = turn(d, cosine);
        Vec q;
        if (!reach(p, out, uniform(absorber.bottom, absorber.top), q)) return false;
        const double ePrime = scattered(o_.energy, cosine);
        hits = {{scatterer.detector, p, o_.energy - ePrime}, {absorber.detector, q, ePrime}};
        return true;
    }

    // One event of the given kind; false when its photon geometry failed (the caller draws again).
    bool event(Kind kind, Vec source, std::vector<Hit>& hits, double& cosine) {
        switch (kind) {
            case kForward:
                return forward(source, hits, cosine);
            case kBackward:
                return backward(source, hits, cosine);
            case kEscape:
                if (!forward(source, hits, cosine)) return false;
                hits[1].energy *= uniform(0.2, 0.8);
                return true;
            case kDouble: {
                if (!forward(source, hits, cosine)) return false;
                const double first = hits[1].energy;
                const double c2 = kleinNishina(first, -1.0, 1.0);
                const double rest = scattered(first, c2);
                Vec second = hits[1].point + Vec{uniform(-1.0, 1.0), uniform(-1.0, 1.0), 0.0};
                second.z = uniform(kCdTeBottom, kCdTeTop);
                if (second.x <= kCorner || second.x >= kCorner + kSide || second.y <= kCorner ||
                    second.y >= kCorner + kSide)
                    return false;
                hits[1].energy = first - rest;
                hits.push_back({1, second, rest});
                return true;
            }
            case kRandom: {
                // The Si deposit of one photon's scatter and the CdTe deposit of another photon.
                std::vector<Hit> a, b;
                double c;
                if (!forward(source, a, c) || !forward(source, b, c)) return false;
                hits = {a[0], b[1]};
                if (uniform(0.0, 1.0) < 0.5) hits[1].energy = o_.energy;  // a photo-absorbed photon
                cosine = 2.0;  // no angle
                return true;
            }
            case kSingle: {
                std::vector<Hit> a;
                if (!forward(source, a, cosine)) return false;
                hits = {a[0]};
                return true;
            }
            default:
                return false;
        }
    }

    Kind kindOf() {
        const double r = uniform(0.0, 1.0);
        const double shares[] = {o_.backward, o_.escape, o_.doubles, o_.randoms, o_.single};
        const Kind kinds[] = {kBackward, kEscape, kDouble, kRandom, kSingle};
        double edge = 0.0;
        for (int k = 0; k < 5; ++k) {
            edge += shares[k];
            if (r < edge) return kinds[k];
        }
        return kForward;
    }

    double smear(const Hit& h) {
        const double sigma = h.assembly == 0 ? o_.siSigma : o_.cdteSigma * h.energy;
        return std::max(0.1, h.energy + gauss(sigma));
    }

    // Pixel centroid of a point (corner A at (kCorner, kCorner); pixel i centred at kCorner + (i + 0.5) pitch).
    double pixel(double coordinate) { return (coordinate - kCorner) / kPitch - 0.5 + gauss(0.2); }

    std::mt19937_64& rng() { return rng_; }

private:
    const Options& o_;
    std::mt19937_64 rng_;
};

bool parseNumber(std::string_view text, double& value) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(value);
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view key = argv[i];
        if (i + 1 >= argc) return false;
        const std::string_view value = argv[++i];
        double number = 0.0;
        if (key == "--out") {
            o.out = value;
            continue;
        }
        if (key == "--source") {
            const size_t comma = value.find(',');
            double x = 0, y = 0;
            if (comma == std::string_view::npos || !parseNumber(value.substr(0, comma), x) ||
                !parseNumber(value.substr(comma + 1), y))
                return false;
            o.sources.push_back({x, y});
            continue;
        }
        if (!parseNumber(value, number)) return false;
        if (key == "--events" && number >= 1 && number <= 1e8) o.events = static_cast<long long>(number);
        else if (key == "--energy" && number > 0 && number < 1e5) o.energy = number;
        else if (key == "--distance" && number > kSiTop) o.distance = number;
        else if (key == "--seed" && number >= 0 && number < 1e18) o.seed = static_cast<unsigned long long>(number);
        else if (key == "--si-sigma" && number >= 0) o.siSigma = number;
        else if (key == "--cdte-sigma" && number >= 0) o.cdteSigma = number;
        else if (key == "--escape" && number >= 0 && number <= 1) o.escape = number;
        else if (key == "--double" && number >= 0 && number <= 1) o.doubles = number;
        else if (key == "--random" && number >= 0 && number <= 1) o.randoms = number;
        else if (key == "--backward" && number >= 0 && number <= 1) o.backward = number;
        else if (key == "--single" && number >= 0 && number <= 1) o.single = number;
        else if (key == "--window" && number > 0) o.window = number;
        else if (key == "--rate" && number > 0) o.rate = number;
        else return false;
    }
    while (o.out.size() > 1 && o.out.back() == '/') o.out.pop_back();
    if (o.sources.empty()) o.sources.push_back({0.0, 0.0});
    return !o.out.empty() && o.escape + o.doubles + o.randoms + o.backward + o.single <= 1.0;
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream file(path);
    file << text;
    return static_cast<bool>(file);
}

std::string format(const char* pattern, double a, double b = 0, double c = 0) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c);
    return buffer;
}

std::string geometryText() {
    return "[Settings]\nAssemblyConfigKey = \"Assembly\"\nDetectorConfigKey = \"Detector\"\n\n"
           "[AssemblySi]\nNumID = 0\nSensor_Material = \"Si\"\nSensor_Thickness = 500\n"
           "PositionA = -7.0125 -7.0125 20\nPositionB = 7.0675 7.0675 20.5\nVector = 1 0 0\n\n"
           "[AssemblyCdTe]\nNumID = 1\nSensor_Material = \"CdTe\"\nSensor_Thickness = 1000\n"
           "PositionA = -7.0125 -7.0125 0\nPositionB = 7.0675 7.0675 1\nVector = 1 0 0\n\n"
           "[DetectorSi]\nKey = \"S00\"\nReadout = \"Tinybox\"\nAssemblies = 0\n\n"
           "[DetectorCdTe]\nKey = \"C01\"\nReadout = \"Tinybox\"\nAssemblies = 1\n";
}

std::string cameraText(const Options& o) {
    return "[Settings]\n" + format("EnergyComptonSource = %g\n", o.energy) +
           format("EnergyComptonSumMin = %g\nEnergyComptonSumMax = %g\n", o.energy - o.window, o.energy + o.window) +
           format("ProjDistance = %g\n", o.distance) + "FileDetGeo_Path = \"" + o.out + "/\"\n" +
           "FileDetGeo_Name = \"geometry.ini\"\n\n[Export]\nDoExport = 1\n";
}

std::string paramText(const Options& o) {
    return "FileInPath = \"" + o.out + "/\"\nFileInName = \"compton.elist\"\nFileOutPath = \"" + o.out +
           "/out/\"\nDoPID = false\nDoFilter = false\nDoDirection = false\nDoSigVec = false\n"
           "DoRadFieldRecog = false\nDoCompton = true\nComptonPath = \"" + o.out + "/\"\nComptonName = \"compton.ini\"\n";
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: zel_gen_compton --out DIR [--events N] [--energy KEV] [--source X,Y]... "
                     "[--distance MM] [--seed S] [--si-sigma KEV] [--cdte-sigma FRACTION] [--escape P] [--double P] "
                     "[--random P] [--backward P] [--single P] [--window KEV] [--rate HZ]\n");
        return 2;
    }
    Simulation sim(o);
    std::string list = "DetectorID\tEventID\tX\tY\tE\tT\tSize\n-\t-\tpx\tpx\tkeV\tns\tpx\n";
    std::string truth;
    std::array<long long, kKinds> counts{};
    std::exponential_distribution<double> gap(o.rate);
    double time = 0.0;  // s
    std::vector<Hit> hits;
    for (long long id = 0; id < o.events; ++id) {
        const Kind kind = sim.kindOf();
        const Vec source = sim.sourceOf(id);
        double cosine = 2.0;
        while (!sim.event(kind, source, hits, cosine)) {
        }
        ++counts[kind];
        time += gap(sim.rng());
        const double t0 = time * 1e9;
        std::string energies;
        for (const Hit& h : hits) {
            const double e = sim.smear(h);
            // The CdTe signal comes after its charge has drifted from the interaction depth.
            const double t = t0 + (h.assembly == 1 ? kDriftNs * (kCdTeTop - h.point.z) / (kCdTeTop - kCdTeBottom) : 0);
            list += std::to_string(h.assembly) + "\t" + std::to_string(id) + "\t" +
                    format("%.2f\t%.2f\t%.3f\t", sim.pixel(h.point.x), sim.pixel(h.point.y), e) +
                    format("%.3f\t%.0f\n", t, static_cast<double>(1 + h.energy / 60));
            energies += format("\t%.3f", e);
        }
        truth += std::to_string(id) + "\t" + kKindNames[kind] + "\t" + format("%g\t%g", source.x, source.y) +
                 format("\t%.6f", cosine <= 1 ? std::acos(cosine) : -1.0) + energies + "\n";
    }
    std::string header = "# sources (x, y, z mm):";
    for (const auto& s : o.sources) header += format(" (%g, %g, %g)", s[0], s[1], o.distance);
    header += format("\n# energy %g keV, events %g\n", o.energy, static_cast<double>(o.events));
    for (int k = 0; k < kKinds; ++k) header += std::string("# ") + kKindNames[k] + " " + std::to_string(counts[k]) + "\n";
    header += "EventID\tKind\tSourceX\tSourceY\tTheta\tE...\n";

    const bool ok = writeText(o.out + "/compton.elist", list) && writeText(o.out + "/geometry.ini", geometryText()) &&
                    writeText(o.out + "/compton.ini", cameraText(o)) && writeText(o.out + "/param.txt", paramText(o)) &&
                    writeText(o.out + "/truth.txt", header + truth);
    if (!ok) {
        std::fprintf(stderr, "can not write into %s\n", o.out.c_str());
        return 1;
    }
    std::printf("%s", header.c_str());
    return 0;
}
