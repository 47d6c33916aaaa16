// Writes a synthetic event list of plausible clusters: photons as small dots, electrons as curly tracks, MIPs as
// straight tracks and heavy ions as large blobs, with the 28 default variables, Poisson arrival times at a given
// rate, and event IDs shared by clusters that arrive within 100 ns of each other.
//
//   zel_gen_elist --clusters N [--seed S] [--rate HZ] [--mix P,E,M,I] [--out FILE]
//
// --mix gives the weights of photons, electrons, MIPs and heavy ions (default 0.5,0.3,0.12,0.08).
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Column {
    const char* name;
    const char* unit;
    int decimals;  // -1 for integer columns
};

// The engine's default variables, in its default order.
constexpr std::array<Column, 28> kColumns{{
    {"DetectorID", "-", -1}, {"EventID", "-", -1}, {"X", "px", 3}, {"Y", "px", 3}, {"E", "keV", 3},
    {"T", "ns", 3}, {"Flags", "-", -1}, {"Size", "px", -1}, {"Height", "keV", 3}, {"BorderPixCount", "-", -1},
    {"Roundness", "-", 4}, {"AngleAzim", "deg", 3}, {"Linearity", "-", 4}, {"LengthProj", "px", 3},
    {"WidthProj", "px", 3}, {"IsSensEdge", "-", -1}, {"StdAlong", "px", 3}, {"StdPerp", "px", 3},
    {"Thin", "-", -1}, {"Thick", "-", -1}, {"CurlyThin", "-", -1}, {"EpixMean", "keV", 3}, {"EpixStd", "keV", 3},
    {"LengthCorrStd", "px", 3}, {"Length3DCorrStd", "um", 3}, {"AngleElev", "deg", 3}, {"LET", "keV/um", 4},
    {"Diameter", "px", 3},
}};

enum Col {
    DetectorID, EventID, X, Y, E, T, Flags, Size, Height, BorderPixCount, Roundness, AngleAzim, Linearity,
    LengthProj, WidthProj, IsSensEdge, StdAlong, StdPerp, Thin, Thick, CurlyThin, EpixMean, EpixStd, LengthCorrStd,
    Length3DCorrStd, AngleElev, LET, Diameter
};

constexpr double kPixelPitchUm = 55.0;
constexpr double kSensorThicknessUm = 500.0;
constexpr double kSensorPixels = 256.0;
constexpr double kCoincidenceWindowNs = 100.0;
constexpr double kPartnerProbability = 0.02;
constexpr double kPi = 3.14159265358979323846;

struct Settings {
    long long clusters = -1;
    unsigned long long seed = 1;
    double rate = 1000.0;
    std::array<double, 4> mix{0.50, 0.30, 0.12, 0.08};
    std::string out;
};

// Shape of one kind of particle track.
struct Kind {
    double probability;
    int sizeMin, sizeMax;
    double energyMin, energyMax;  // keV, drawn log-uniformly
    double depthMin, depthMax;    // um of sensor depth the track spans
};

constexpr std::array<Kind, 4> kKinds{{
    {0.50, 1, 4, 5.0, 60.0, 5.0, 50.0},            // photons: small dots
    {0.30, 5, 40, 50.0, 800.0, 20.0, 500.0},       // electrons: curly tracks
    {0.12, 15, 80, 200.0, 2000.0, 500.0, 500.0},   // MIPs: straight tracks through the sensor
    {0.08, 30, 300, 1000.0, 50000.0, 20.0, 200.0}, // heavy ions: blobs
}};

class Generator {
public:
    explicit Generator(const Settings& settings) : random_(settings.seed), rate_(settings.rate) {
        const double total = settings.mix[0] + settings.mix[1] + settings.mix[2] + settings.mix[3];
        for (size_t i = 0; i < mix_.size(); ++i) mix_[i] = total == 1.0 ? settings.mix[i] : settings.mix[i] / total;
    }

    void next(std::array<double, 28>& v) {
        v.fill(0.0);
        const int kind = pickKind();
        const Kind& k = kKinds[kind];
        const double size = static_cast<double>(std::uniform_int_distribution<int>(k.sizeMin, k.sizeMax)(random_));
        const double energy = k.energyMin * std::exp(uniform(0.0, std::log(k.energyMax / k.energyMin)));
        shape(kind, size, v);

        const double length = v[LengthProj];
        const double width = v[WidthProj];
        v[Size] = size;
        v[E] = energy;
        v[EpixMean] = energy / size;
        v[Height] = std::min(energy, v[EpixMean] * uniform(1.0, std::min(size, 3.0)));
        v[EpixStd] = size > 1 ? v[EpixMean] * uniform(0.1, 0.8) : 0.0;
        v[BorderPixCount] = std::min(size, std::max(1.0, std::round(2.0 * (length + width)) - 2.0));
        v[StdAlong] = length / std::sqrt(12.0);
        v[StdPerp] = width / std::sqrt(12.0);
        v[Diameter] = size > 1 ? std::hypot(length, width) : 1.0;
        v[LengthCorrStd] = length * uniform(1.0, 1.1);
        const double across = v[LengthCorrStd] * kPixelPitchUm;
        const double depth = uniform(k.depthMin, k.depthMax);
        v[Length3DCorrStd] = std::hypot(across, depth);
        v[AngleElev] = std::atan2(depth, across) * 180.0 / kPi;
        v[LET] = energy / v[Length3DCorrStd];
        v[AngleAzim] = 90.0 - uniform(0.0, 180.0);

        const double margin = std::max(0.5, length / 2.0);
        v[X] = uniform(0.0, kSensorPixels - 1.0);
        v[Y] = uniform(0.0, kSensorPixels - 1.0);
        const bool edge = v[X] < margin || v[Y] < margin || v[X] > kSensorPixels - 1.0 - margin ||
                          v[Y] > kSensorPixels - 1.0 - margin;
        v[IsSensEdge] = edge ? 1.0 : 0.0;
        arrival(v);
    }

private:
    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(random_); }

    int pickKind() {
        double u = uniform(0.0, 1.0);
        for (int i = 0; i < static_cast<int>(kKinds.size()) - 1; ++i) {
            if (u < mix_[static_cast<size_t>(i)]) return i;
            u -= mix_[static_cast<size_t>(i)];
        }
        return static_cast<int>(kKinds.size()) - 1;
    }

    // Projected length and width with the shape measures that go with them.
    void shape(int kind, double size, std::array<double, 28>& v) {
        double length = 1.0, width = 1.0;
        switch (kind) {
            case 0:
                length = std::min(size, 2.0);
                width = size > 2 ? 2.0 : 1.0;
                v[Roundness] = uniform(0.7, 1.0);
                v[Linearity] = uniform(0.0, 0.4);
                break;
            case 1:
                length = size * uniform(0.4, 0.9);
                width = std::max(1.0, length * uniform(0.2, 0.6));
                v[Roundness] = uniform(0.2, 0.6);
                v[Linearity] = uniform(0.3, 0.8);
                v[Thin] = std::floor(size * uniform(0.5, 0.9));
                v[Thick] = std::floor(uniform(0.0, 3.0));
                v[CurlyThin] = std::floor(v[Thin] * uniform(0.3, 0.8));
                break;
            case 2:
                length = size * uniform(0.85, 1.0);
                width = std::min(length, uniform(1.0, 3.0));
                v[Roundness] = uniform(0.0, 0.2);
                v[Linearity] = uniform(0.9, 1.0);
                v[Thin] = std::floor(size * uniform(0.7, 1.0));
                break;
            default:
                length = std::sqrt(size) * uniform(1.1, 1.6);
                width = length * uniform(0.6, 1.0);
                v[Roundness] = uniform(0.6, 0.95);
                v[Linearity] = uniform(0.0, 0.3);
                v[Thin] = std::floor(uniform(0.0, 4.0));
                v[Thick] = std::floor(size * uniform(0.3, 0.7));
                break;
        }
        v[LengthProj] = length;
        v[WidthProj] = width;
    }

    // Poisson arrivals; a cluster within the coincidence window of the previous one joins its event.
    void arrival(std::array<double, 28>& v) {
        double gap = 0.0;
        if (first_) {
            first_ = false;
        } else if (uniform(0.0, 1.0) < kPartnerProbability) {
            gap = uniform(1.0, kCoincidenceWindowNs);
        } else {
            gap = std::exponential_distribution<double>(rate_)(random_) * 1e9;
        }
        time_ += gap;
        if (!firstEvent_ && gap >= kCoincidenceWindowNs) ++event_;
        firstEvent_ = false;
        v[T] = time_;
        v[EventID] = static_cast<double>(event_);
    }

    std::mt19937_64 random_;
    double rate_;
    std::array<double, 4> mix_{};
    double time_ = 0.0;
    long long event_ = 0;
    bool first_ = true;
    bool firstEvent_ = true;
};

class Output {
public:
    explicit Output(std::FILE* file) : file_(file) { buffer_.resize(kSize); }
    ~Output() { flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void text(std::string_view s) {
        room(s.size());
        std::memcpy(buffer_.data() + used_, s.data(), s.size());
        used_ += s.size();
    }
    void put(char c) {
        room(1);
        buffer_[used_++] = c;
    }
    // Fixed-point text; values of ordinary size go through one integer conversion, which is much faster.
    void number(double value, int decimals) {
        room(64);
        char* first = buffer_.data() + used_;
        char* last = first + 64;
        if (decimals < 0) {
            used_ += static_cast<size_t>(std::to_chars(first, last, static_cast<long long>(value)).ptr - first);
            return;
        }
        static constexpr double kScale[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
        if (decimals > 6 || !(std::fabs(value) < 1e12)) {
            used_ += static_cast<size_t>(
                std::to_chars(first, last, value, std::chars_format::fixed, decimals).ptr - first);
            return;
        }
        const double scale = kScale[decimals];
        long long scaled = std::llround(std::fabs(value) * scale);
        char* p = first;
        if (value < 0 && scaled != 0) *p++ = '-';
        const long long whole = scaled / static_cast<long long>(scale);
        long long fraction = scaled % static_cast<long long>(scale);
        p = std::to_chars(p, last, whole).ptr;
        if (decimals > 0) {
            *p++ = '.';
            for (int d = decimals - 1; d >= 0; --d) {
                p[d] = static_cast<char>('0' + fraction % 10);
                fraction /= 10;
            }
            p += decimals;
        }
        used_ += static_cast<size_t>(p - first);
    }
    bool flush() {
        bool ok = std::fwrite(buffer_.data(), 1, used_, file_) == used_;
        used_ = 0;
        failed_ = failed_ || !ok;
        return ok;
    }
    bool failed() const { return failed_; }

private:
    static constexpr size_t kSize = size_t{4} << 20;
    void room(size_t n) {
        if (used_ + n > buffer_.size()) flush();
    }
    std::FILE* file_;
    std::vector<char> buffer_;
    size_t used_ = 0;
    bool failed_ = false;
};

int usage(const char* program) {
    std::fprintf(stderr, "Usage: %s --clusters N [--seed S] [--rate HZ] [--mix P,E,M,I] [--out FILE]\n", program);
    return 1;
}

template <typename Number>
bool parseNumber(const char* text, Number& value) {
    const char* last = text + std::strlen(text);
    auto [end, ec] = std::from_chars(text, last, value);
    return ec == std::errc() && end == last;
}

// Four non-negative weights separated by commas, not all zero.
bool parseMix(std::string_view text, std::array<double, 4>& mix) {
    double total = 0;
    for (size_t i = 0; i < mix.size(); ++i) {
        const size_t comma = i + 1 < mix.size() ? text.find(',') : text.size();
        if (comma == std::string_view::npos) return false;
        const std::string part(text.substr(0, comma));
        if (!parseNumber(part.c_str(), mix[i]) || mix[i] < 0) return false;
        total += mix[i];
        text.remove_prefix(std::min(text.size(), comma + 1));
    }
    return total > 0;
}

bool parseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        std::string_view key = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (key == "--clusters") {
            if (!parseNumber(value, settings.clusters) || settings.clusters < 0) return false;
        } else if (key == "--seed") {
            if (!parseNumber(value, settings.seed)) return false;
        } else if (key == "--rate") {
            if (!parseNumber(value, settings.rate) || !(settings.rate > 0.0)) return false;
        } else if (key == "--mix") {
            if (!parseMix(value, settings.mix)) return false;
        } else if (key == "--out") {
            settings.out = value;
        } else {
            return false;
        }
    }
    return settings.clusters >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parseArguments(argc, argv, settings)) return usage(argv[0]);
    std::FILE* file = settings.out.empty() ? stdout : std::fopen(settings.out.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "Can not open output file: %s\n", settings.out.c_str());
        return 1;
    }
    bool ok = true;
    {
        Output out(file);
        for (const char* Column::*field : {&Column::name, &Column::unit}) {
            for (size_t c = 0; c < kColumns.size(); ++c) {
                if (c > 0) out.put('\t');
                out.text(kColumns[c].*field);
            }
            out.put('\n');
        }
        Generator generator(settings);
        std::array<double, 28> row{};
        for (long long i = 0; i < settings.clusters; ++i) {
            generator.next(row);
            for (size_t c = 0; c < kColumns.size(); ++c) {
                if (c > 0) out.put('\t');
                out.number(row[c], kColumns[c].decimals);
            }
            out.put('\n');
        }
        ok = out.flush() && !out.failed();
    }
    if (file != stdout) ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "Writing the event list failed.\n");
        return 1;
    }
    return 0;
}
