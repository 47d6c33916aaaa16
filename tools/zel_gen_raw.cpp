// Generator of synthetic raw detector data for tests, examples and benchmarks: Timepix3 pixel data (.t3pa),
// cluster logs (.clog, with or without times of arrival) and text frame matrices (.txt, .pmf with .dsc), with a
// chosen mix of particle shapes, Poisson arrival times, a seed, and a ground-truth file of the generated clusters.
//
//   zel_gen_raw --format t3pa --out run.t3pa --truth run.truth --clusters 1000 --seed 7 --separate
//
// Run with --help for every option.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

enum class Format { T3pa, Clog, ClogToa, Txt, Pmf };
enum Shape { Photon, Electron, Mip, Ion, ShapeCount };
constexpr const char* kShapeNames[ShapeCount] = {"photon", "electron", "mip", "ion"};

struct Settings {
    Format format = Format::T3pa;
    std::string out;
    std::string truth;
    unsigned long long seed = 1;
    long long clusters = 1000;
    long long pixels = 0;            // when > 0: generate until this many pixels are written
    long long frames = 10;
    double rate = 1.0e5;             // clusters per second (Timepix3)
    double jitter = 40.0;            // ns spread of the pixel times inside one cluster
    double sepTime = 1000.0;         // ns during which touching a cluster is avoided with --separate
    bool separate = false;
    std::array<double, ShapeCount> mix{0.6, 0.2, 0.15, 0.05};
    std::vector<double> angles{0, 30, 45, 60, 90, 135};
    std::vector<double> elevations;  // when set, MIP tracks cross the sensor at these angles to its plane
    double thickness = 300.0;        // um, sensor thickness that a track at an elevation angle crosses
    double pitch = 55.0;             // um, pixel pitch
    int mipMin = 8, mipMax = 40;
    int width = 256, height = 256;
    double frameTime = 1.0;          // s of acquisition per frame
    double frameGap = 0.2;           // s of dead time between frames
    double startUnix = 1700000000.0;
    int border = 0;                  // keep clusters this many pixels away from the matrix border
};

struct GenPixel {
    int x, y;
    int value;
    double time;  // ns, absolute for Timepix3, relative to the frame start for cluster logs with times
};

[[noreturn]] void fail(const std::string& text) {
    std::fprintf(stderr, "zel_gen_raw: %s\n", text.c_str());
    std::exit(2);
}

void usage() {
    std::puts(
        "Usage: zel_gen_raw --format t3pa|clog|clog-toa|txt|pmf --out PATH [options]\n"
        "  --truth PATH          ground truth: one line per cluster (Frame Kind Size E X Y T; T in ns,\n"
        "                        -1 for text frames, which carry no time)\n"
        "  --seed N              random seed (default 1)\n"
        "  --clusters N          number of clusters (default 1000)\n"
        "  --pixels N            generate until N pixels are written (overrides --clusters)\n"
        "  --frames N            frames of the frame formats and cluster logs (default 10)\n"
        "  --rate HZ             Timepix3 cluster rate, Poisson arrivals (default 1e5)\n"
        "  --jitter NS           spread of pixel times inside a cluster (default 40)\n"
        "  --separate            no cluster touches another (same frame, or within --sep-time)\n"
        "  --sep-time NS         time apart that counts as separate (default 1000)\n"
        "  --mix p,e,m,i         weights of photons, electrons, MIP tracks, ions (default 0.6,0.2,0.15,0.05)\n"
        "  --angles A,B,...      MIP azimuth angles in degrees (default 0,30,45,60,90,135)\n"
        "  --mip-length MIN:MAX  MIP track length in pixels (default 8:40)\n"
        "  --elevations A,B,...  MIP elevation angles in degrees from the sensor plane: a track crosses the whole\n"
        "                        thickness, so its length follows from the angle (overrides --mip-length); the\n"
        "                        ground truth gains the columns Azim and Elev\n"
        "  --thickness UM        sensor thickness for --elevations (default 300)\n"
        "  --pitch UM            pixel pitch for --elevations (default 55)\n"
        "  --width N --height N  matrix size (default 256 x 256)\n"
        "  --border N            keep clusters N pixels off the matrix border (default 0)\n"
        "  --frame-time S        acquisition time per frame (default 1)\n"
        "  --frame-gap S         dead time between frames (default 0.2)\n"
        "  --start-unix S        start time of the first frame (default 1700000000)");
}

double number(std::string_view text, const char* option) {
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) fail(std::string("bad number for ") + option);
    return value;
}

std::vector<double> numberList(std::string_view text, const char* option) {
    std::vector<double> values;
    while (!text.empty()) {
        size_t comma = text.find_first_of(",:");
        values.push_back(number(text.substr(0, comma), option));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return values;
}

Settings parse(int argc, char** argv) {
    Settings s;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage();
            std::exit(0);
        }
        if (arg == "--separate") {
            s.separate = true;
            continue;
        }
        if (i + 1 >= argc) fail("option " + std::string(arg) + " needs a value");
        std::string_view value = argv[++i];
        if (arg == "--format") {
            if (value == "t3pa") s.format = Format::T3pa;
            else if (value == "clog") s.format = Format::Clog;
            else if (value == "clog-toa") s.format = Format::ClogToa;
            else if (value == "txt") s.format = Format::Txt;
            else if (value == "pmf") s.format = Format::Pmf;
            else fail("unknown format " + std::string(value));
        } else if (arg == "--out") s.out = value;
        else if (arg == "--truth") s.truth = value;
        else if (arg == "--seed") s.seed = static_cast<unsigned long long>(number(value, "--seed"));
        else if (arg == "--clusters") s.clusters = static_cast<long long>(number(value, "--clusters"));
        else if (arg == "--pixels") s.pixels = static_cast<long long>(number(value, "--pixels"));
        else if (arg == "--frames") s.frames = static_cast<long long>(number(value, "--frames"));
        else if (arg == "--rate") s.rate = number(value, "--rate");
        else if (arg == "--jitter") s.jitter = number(value, "--jitter");
        else if (arg == "--sep-time") s.sepTime = number(value, "--sep-time");
        else if (arg == "--mix") {
            std::vector<double> weights = numberList(value, "--mix");
            if (weights.size() != ShapeCount) fail("--mix needs four weights");
            std::copy(weights.begin(), weights.end(), s.mix.begin());
        } else if (arg == "--angles") s.angles = numberList(value, "--angles");
        else if (arg == "--elevations") s.elevations = numberList(value, "--elevations");
        else if (arg == "--thickness") s.thickness = number(value, "--thickness");
        else if (arg == "--pitch") s.pitch = number(value, "--pitch");
        else if (arg == "--mip-length") {
            std::vector<double> range = numberList(value, "--mip-length");
            if (range.size() != 2 || range[0] < 1 || range[1] < range[0]) fail("--mip-length needs MIN:MAX");
            s.mipMin = static_cast<int>(range[0]);
            s.mipMax = static_cast<int>(range[1]);
        } else if (arg == "--width") s.width = static_cast<int>(number(value, "--width"));
        else if (arg == "--height") s.height = static_cast<int>(number(value, "--height"));
        else if (arg == "--border") s.border = static_cast<int>(number(value, "--border"));
        else if (arg == "--frame-time") s.frameTime = number(value, "--frame-time");
        else if (arg == "--frame-gap") s.frameGap = number(value, "--frame-gap");
        else if (arg == "--start-unix") s.startUnix = number(value, "--start-unix");
        else fail("unknown option " + std::string(arg) + " (see --help)");
    }
    if (s.out.empty()) fail("--out is required");
    if (s.width < 16 || s.height < 16) fail("the matrix must be at least 16 x 16");
    if (s.frames < 1) fail("--frames must be at least 1");
    if (!(s.rate > 0)) fail("--rate must be positive");
    if (s.angles.empty()) fail("--angles needs at least one angle");
    for (double e : s.elevations) {
        if (!(e > 0 && e <= 90)) fail("--elevations must lie above 0 and up to 90 degrees");
    }
    if (!(s.thickness > 0) || !(s.pitch > 0)) fail("--thickness and --pitch must be positive");
    return s;
}

// Shapes in local coordinates (any origin); values are ToT-like whole numbers of at least 1.
class ShapeMaker {
public:
    ShapeMaker(const Settings& settings, std::mt19937_64& random) : s_(settings), random_(random) {}

    Shape pick() {
        std::discrete_distribution<int> choose(s_.mix.begin(), s_.mix.end());
        return static_cast<Shape>(choose(random_));
    }

    void make(Shape shape, std::vector<GenPixel>& out) {
        out.clear();
        switch (shape) {
            case Photon: photon(out); break;
            case Electron: electron(out); break;
            case Mip: mip(out); break;
            default: ion(out); break;
        }
    }

    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    double uniformReal(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }

    // 1 to 4 pixels: a single pixel, a pair, an L of three, a square of four; the energy is shared.
    void photon(std::vector<GenPixel>& out) {
        static constexpr int kOffsets[4][4][2] = {{{0, 0}}, {{0, 0}, {1, 0}}, {{0, 0}, {1, 0}, {0, 1}},
                                                  {{0, 0}, {1, 0}, {0, 1}, {1, 1}}};
        int size = uniform(1, 4);
        bool turn = uniform(0, 1) == 1;  // pairs and Ls also come rotated
        int total = uniform(5 * size, 60);
        for (int k = 0; k < size; ++k) {
            int dx = kOffsets[size - 1][k][0], dy = kOffsets[size - 1][k][1];
            if (turn) std::swap(dx, dy);
            int share = k + 1 < size ? std::max(1, total / size + uniform(-2, 2)) : 0;
            out.push_back({dx, dy, share, 0});
        }
        int used = 0;
        for (size_t k = 0; k + 1 < out.size(); ++k) used += out[k].value;
        out.back().value = std::max(1, total - used);
    }

    // A random walk that keeps turning: the curly track of a low-energy electron.
    void electron(std::vector<GenPixel>& out) {
        int steps = uniform(8, 40);
        double direction = uniformReal(0, 2 * kPi);
        int x = 0, y = 0;
        out.push_back({x, y, uniform(10, 40), 0});
        for (int k = 1; k < steps; ++k) {
            direction += uniformReal(-0.9, 0.9);
            int nx = x + static_cast<int>(std::lround(std::cos(direction)));
            int ny = y + static_cast<int>(std::lround(std::sin(direction)));
            if (nx == x && ny == y) continue;
            x = nx;
            y = ny;
            bool seen = false;
            for (const GenPixel& p : out) seen = seen || (p.x == x && p.y == y);
            if (!seen) out.push_back({x, y, uniform(10, 40), 0});
        }
    }

    // The truth columns of the last shape: azimuth and elevation of a MIP track, "-" for other shapes.
    std::string truthAngles(Shape shape) const {
        if (s_.elevations.empty()) return "";
        if (shape != Mip) return "\t-\t-";
        char text[64];
        std::snprintf(text, sizeof text, "\t%g\t%g", azimuth_, elevation_);
        return text;
    }

private:
    template <class List>
    double pickFrom(const List& values) {
        return values[static_cast<size_t>(uniform(0, static_cast<int>(values.size()) - 1))];
    }

    // A straight one-pixel-wide line at one of the chosen angles. With elevations, the track crosses the sensor:
    // its centres span thickness / tan(elevation) in the plane, rounded to whole steps of the line.
    void mip(std::vector<GenPixel>& out) {
        azimuth_ = pickFrom(s_.angles);
        double angle = azimuth_ * kPi / 180;
        double dx = std::cos(angle), dy = std::sin(angle);
        double step = std::max(std::fabs(dx), std::fabs(dy));
        int length = uniform(s_.mipMin, s_.mipMax);
        if (!s_.elevations.empty()) {
            elevation_ = pickFrom(s_.elevations);
            double span = s_.thickness / s_.pitch / std::tan(elevation_ * kPi / 180);
            length = 1 + static_cast<int>(std::lround(span * step));
        }
        for (int k = 0; k < length; ++k) {
            int x = static_cast<int>(std::lround(k * dx / step));
            int y = static_cast<int>(std::lround(k * dy / step));
            out.push_back({x, y, uniform(15, 30), 0});
        }
    }

    // A round blob with a high centre: a heavy ion.
    void ion(std::vector<GenPixel>& out) {
        int radius = uniform(2, 6);
        double peak = uniformReal(200, 800);
        double sigma = radius / 1.5;
        for (int y = -radius; y <= radius; ++y) {
            for (int x = -radius; x <= radius; ++x) {
                double d2 = x * x + y * y;
                if (d2 > radius * radius + 0.5) continue;
                out.push_back({x, y, std::max(1, static_cast<int>(peak * std::exp(-d2 / (2 * sigma * sigma)))), 0});
            }
        }
    }

    const Settings& s_;
    std::mt19937_64& random_;
    double azimuth_ = 0;
    double elevation_ = 0;
};

// Remembers where clusters lie (and, for Timepix3, until when) to keep new clusters apart from them.
class Placement {
public:
    explicit Placement(const Settings& s)
        : s_(s), lastTime_(static_cast<size_t>(s.width) * static_cast<size_t>(s.height), -1e300) {}

    // Moves `pixels` to a random place inside the matrix; false when no free place was found.
    bool place(std::vector<GenPixel>& pixels, double time, std::mt19937_64& random) {
        int minX = 1 << 30, minY = 1 << 30, maxX = -(1 << 30), maxY = -(1 << 30);
        for (const GenPixel& p : pixels) {
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        int spanX = s_.width - 2 * s_.border - (maxX - minX), spanY = s_.height - 2 * s_.border - (maxY - minY);
        if (spanX < 1 || spanY < 1) return false;
        for (int attempt = 0; attempt < 50; ++attempt) {
            int shiftX = s_.border - minX + std::uniform_int_distribution<int>(0, spanX - 1)(random);
            int shiftY = s_.border - minY + std::uniform_int_distribution<int>(0, spanY - 1)(random);
            if (s_.separate && touches(pixels, shiftX, shiftY, time)) continue;
            for (GenPixel& p : pixels) {
                p.x += shiftX;
                p.y += shiftY;
                lastTime_[cell(p.x, p.y)] = time;
            }
            return true;
        }
        return false;
    }

    // Frames start empty.
    void clear() { std::fill(lastTime_.begin(), lastTime_.end(), -1e300); }

private:
    size_t cell(int x, int y) const { return static_cast<size_t>(y) * static_cast<size_t>(s_.width) + x; }

    bool touches(const std::vector<GenPixel>& pixels, int shiftX, int shiftY, double time) const {
        for (const GenPixel& p : pixels) {
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    int x = p.x + shiftX + dx, y = p.y + shiftY + dy;
                    if (x < 0 || y < 0 || x >= s_.width || y >= s_.height) continue;
                    if (time - lastTime_[cell(x, y)] < s_.sepTime) return true;
                }
            }
        }
        return false;
    }

    const Settings& s_;
    std::vector<double> lastTime_;
};

class Output {
public:
    explicit Output(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
        if (file_ == nullptr) fail("can not create " + path);
        buffer_.reserve(1 << 20);
    }
    ~Output() {
        flush();
        std::fclose(file_);
    }
    void text(std::string_view t) {
        buffer_.append(t);
        if (buffer_.size() > (1 << 20)) flush();
    }
    void integer(long long v) {
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
        text(std::string_view(digits, static_cast<size_t>(end - digits)));
    }
    void real(double v, int decimals) {
        char digits[64];
        auto end = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed, decimals).ptr;
        text(std::string_view(digits, static_cast<size_t>(end - digits)));
    }
    void shortest(double v) {
        char digits[64];
        auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
        text(std::string_view(digits, static_cast<size_t>(end - digits)));
    }

private:
    void flush() {
        if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
            fail("write failed");
        }
        buffer_.clear();
    }
    std::FILE* file_;
    std::string buffer_;
};

// The ground truth of one cluster: what the clusterer must find when the cluster stands apart.
void writeTruth(Output* truth, long long frame, Shape shape, const std::vector<GenPixel>& pixels, double timeNs,
                const std::string& angles) {
    if (truth == nullptr) return;
    double sum = 0, sx = 0, sy = 0;
    for (const GenPixel& p : pixels) {
        sum += p.value;
        sx += static_cast<double>(p.value) * p.x;
        sy += static_cast<double>(p.value) * p.y;
    }
    truth->integer(frame);
    truth->text("\t");
    truth->text(kShapeNames[shape]);
    truth->text("\t");
    truth->integer(static_cast<long long>(pixels.size()));
    truth->text("\t");
    truth->real(sum, 0);
    truth->text("\t");
    truth->real(sx / sum, 6);
    truth->text("\t");
    truth->real(sy / sum, 6);
    truth->text("\t");
    truth->real(timeNs, 4);
    truth->text(angles);
    truth->text("\n");
}

// Timepix3 time stamps: time = ToA × 25 − FToA × 1.5625 ns. The encoded time (the first stamp at or after
// `time`) is returned; encoding an encoded time gives it back unchanged.
double encodeTime(double time, long long& toa, int& ftoa) {
    toa = static_cast<long long>(std::ceil(time / 25.0));
    ftoa = std::min(15, static_cast<int>(std::floor((static_cast<double>(toa) * 25.0 - time) / 1.5625)));
    return static_cast<double>(toa) * 25.0 - ftoa * 1.5625;
}

void generateT3pa(const Settings& s, std::mt19937_64& random, Output* truth) {
    Output out(s.out);
    out.text("Index\tMatrix Index\tToA\tToT\tFToA\tOverflow\n");
    ShapeMaker shapes(s, random);
    Placement placement(s);
    std::exponential_distribution<double> gap(s.rate * 1e-9);
    std::uniform_real_distribution<double> jitter(0, s.jitter);
    std::vector<GenPixel> pixels;
    double time = 1000.0;
    long long index = 0, made = 0;
    while (s.pixels > 0 ? index < s.pixels : made < s.clusters) {
        time += gap(random);
        Shape shape = shapes.pick();
        shapes.make(shape, pixels);
        if (!placement.place(pixels, time, random)) continue;
        double earliest = 1e300;
        for (size_t k = 0; k < pixels.size(); ++k) {
            long long toa = 0;
            int ftoa = 0;
            pixels[k].time = encodeTime(time + (k == 0 ? 0.0 : jitter(random)), toa, ftoa);
            earliest = std::min(earliest, pixels[k].time);
        }
        // Pixels of one cluster leave the chip in no particular order.
        std::shuffle(pixels.begin(), pixels.end(), random);
        for (const GenPixel& p : pixels) {
            long long toa = 0;
            int ftoa = 0;
            encodeTime(p.time, toa, ftoa);
            out.integer(index++);
            out.text("\t");
            out.integer(static_cast<long long>(p.y) * s.width + p.x);
            out.text("\t");
            out.integer(toa);
            out.text("\t");
            out.integer(p.value);
            out.text("\t");
            out.integer(ftoa);
            out.text("\t0\n");
        }
        writeTruth(truth, 1, shape, pixels, earliest, shapes.truthAngles(shape));
        ++made;
    }
}

// Clusters of one frame, counted by a Poisson draw around the mean per frame.
long long clustersInFrame(const Settings& s, std::mt19937_64& random) {
    double mean = static_cast<double>(s.clusters) / static_cast<double>(s.frames);
    return std::poisson_distribution<long long>(mean)(random);
}

double frameStart(const Settings& s, long long frame) {
    return s.startUnix + static_cast<double>(frame - 1) * (s.frameTime + s.frameGap);
}

void generateClog(const Settings& s, std::mt19937_64& random, Output* truth) {
    Output out(s.out);
    ShapeMaker shapes(s, random);
    Placement placement(s);
    std::uniform_real_distribution<double> arrival(0, s.frameTime * 1e9 - 1000);
    std::uniform_real_distribution<double> jitter(0, s.jitter);
    std::vector<GenPixel> pixels;
    for (long long frame = 1; frame <= s.frames; ++frame) {
        out.text("Frame ");
        out.integer(frame);
        out.text(" (");
        out.real(frameStart(s, frame), 6);
        out.text(", ");
        out.real(s.frameTime, 6);
        out.text(" s)\n");
        placement.clear();
        long long count = clustersInFrame(s, random);
        for (long long c = 0; c < count; ++c) {
            Shape shape = shapes.pick();
            shapes.make(shape, pixels);
            if (!placement.place(pixels, 0.0, random)) continue;
            double start = arrival(random), earliest = 1e300;
            for (size_t k = 0; k < pixels.size(); ++k) {
                long long toa = 0;
                int ftoa = 0;
                pixels[k].time = encodeTime(start + (k == 0 ? 0.0 : jitter(random)), toa, ftoa);
                earliest = std::min(earliest, pixels[k].time);
            }
            for (const GenPixel& p : pixels) {
                out.text("[");
                out.integer(p.x);
                out.text(", ");
                out.integer(p.y);
                out.text(", ");
                out.integer(p.value);
                if (s.format == Format::ClogToa) {
                    out.text(", ");
                    out.shortest(p.time);
                }
                out.text("] ");
            }
            out.text("\n");
            double startNs = frameStart(s, frame) * 1e9;
            writeTruth(truth, frame, shape, pixels, s.format == Format::ClogToa ? startNs + earliest : startNs,
                       shapes.truthAngles(shape));
        }
    }
}

void writeMatrix(Output& out, const Settings& s, const std::vector<int>& matrix) {
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            if (x > 0) out.text(" ");
            out.integer(matrix[static_cast<size_t>(y) * static_cast<size_t>(s.width) + x]);
        }
        out.text("\n");
    }
}

std::string framePath(const Settings& s, long long frame) {
    if (s.format == Format::Pmf || s.frames == 1) return s.out;
    std::string stem = s.out;
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".txt") == 0) stem.resize(stem.size() - 4);
    char number[32];
    std::snprintf(number, sizeof number, "_%05lld.txt", frame);
    return stem + number;
}

void generateFrames(const Settings& s, std::mt19937_64& random, Output* truth) {
    ShapeMaker shapes(s, random);
    Placement placement(s);
    std::vector<GenPixel> pixels;
    std::vector<int> matrix(static_cast<size_t>(s.width) * static_cast<size_t>(s.height));
    std::unique_ptr<Output> pmf;
    if (s.format == Format::Pmf) pmf = std::make_unique<Output>(s.out);
    for (long long frame = 1; frame <= s.frames; ++frame) {
        std::fill(matrix.begin(), matrix.end(), 0);
        placement.clear();
        long long count = clustersInFrame(s, random);
        for (long long c = 0; c < count; ++c) {
            Shape shape = shapes.pick();
            shapes.make(shape, pixels);
            if (!placement.place(pixels, 0.0, random)) continue;
            for (const GenPixel& p : pixels) matrix[static_cast<size_t>(p.y) * static_cast<size_t>(s.width) + p.x] += p.value;
            // Text frames carry no time: -1 in the ground truth.
            writeTruth(truth, frame, shape, pixels, pmf ? frameStart(s, frame) * 1e9 : -1.0, shapes.truthAngles(shape));
        }
        if (pmf) {
            writeMatrix(*pmf, s, matrix);
        } else {
            Output out(framePath(s, frame));
            writeMatrix(out, s, matrix);
        }
    }
    if (s.format == Format::Pmf) {
        Output dsc(s.out + ".dsc");
        dsc.text("A");
        dsc.integer(s.frames);
        dsc.text("\n");
        for (long long frame = 1; frame <= s.frames; ++frame) {
            dsc.text("[F");
            dsc.integer(frame - 1);
            dsc.text("]\nType=i16 [X,C] width=");
            dsc.integer(s.width);
            dsc.text(" height=");
            dsc.integer(s.height);
            dsc.text("\n\"Acq time\" (\"Acquisition time [s]\"):\ndouble[1]\n");
            dsc.real(s.frameTime, 6);
            dsc.text("\n\"Start time\" (\"Acquisition start time\"):\ndouble[1]\n");
            dsc.real(frameStart(s, frame), 6);
            dsc.text("\n\n");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Settings s = parse(argc, argv);
    std::mt19937_64 random(s.seed);
    std::unique_ptr<Output> truth;
    if (!s.truth.empty()) {
        truth = std::make_unique<Output>(s.truth);
        truth->text(s.elevations.empty() ? "# Frame\tKind\tSize\tE\tX\tY\tT\n" : "# Frame\tKind\tSize\tE\tX\tY\tT\tAzim\tElev\n");
    }
    switch (s.format) {
        case Format::T3pa: generateT3pa(s, random, truth.get()); break;
        case Format::Clog:
        case Format::ClogToa: generateClog(s, random, truth.get()); break;
        default: generateFrames(s, random, truth.get()); break;
    }
    return 0;
}
