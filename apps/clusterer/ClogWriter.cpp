#include "ClogWriter.h"
#include "common/NumberText.h"

#include <algorithm>
#include <cmath>

namespace zel::clusterer {

bool ClogWriter::open(const std::string& path, std::string& error) {
    if (!file_.open(path, false)) {
        error = "Can not open output file: " + path;
        return false;
    }
    return true;
}

void ClogWriter::writeFrame(long long number, double startSeconds, double acqSeconds) {
    char* out = file_.claim(2 * kFixedChars + 64);
    for (char ch : std::string_view("Frame ")) *out++ = ch;
    out = writeInteger(out, number);
    *out++ = ' ';
    *out++ = '(';
    out = writeFixed(out, startSeconds, 6);
    *out++ = ',';
    *out++ = ' ';
    out = writeFixed(out, acqSeconds, 6);
    for (char ch : std::string_view(" s)\n")) *out++ = ch;
    file_.commit(out);
}

namespace {

// Whole values (raw ToT, counts) take the short integer path, values with at most four decimals (Timepix3 times
// are multiples of 1/16 ns) a short fixed one; the rest is written with six decimals.
char* writePixelValue(char* out, double value) {
    if (!(std::fabs(value) < 1e14)) return writeCompact(out, value, 6);
    auto whole = static_cast<long long>(value);
    if (static_cast<double>(whole) == value) return writeInteger(out, whole);
    double scaled = value * 1e4;
    auto tenThousandths = static_cast<long long>(scaled);
    if (static_cast<double>(tenThousandths) != scaled) return writeCompact(out, value, 6);
    if (tenThousandths < 0) {
        *out++ = '-';
        tenThousandths = -tenThousandths;
    }
    out = writeInteger(out, tenThousandths / 10000);
    *out++ = '.';
    long long fraction = tenThousandths % 10000;
    for (long long unit = 1000; fraction != 0; unit /= 10) {
        *out++ = static_cast<char>('0' + fraction / unit);
        fraction %= unit;
    }
    return out;
}

}  // namespace

void ClogWriter::writeCluster(std::span<const Pixel> pixels, bool withFourth) {
    constexpr size_t kPerPixel = 2 * 24 + 2 * kFixedChars + 8;
    for (size_t begin = 0; begin < pixels.size(); begin += 256) {
        size_t end = std::min(pixels.size(), begin + 256);
        char* out = file_.claim((end - begin) * kPerPixel + 1);
        for (size_t i = begin; i < end; ++i) {
            const Pixel& p = pixels[i];
            *out++ = '[';
            out = writeInteger(out, p.x);
            *out++ = ',';
            *out++ = ' ';
            out = writeInteger(out, p.y);
            *out++ = ',';
            *out++ = ' ';
            out = writePixelValue(out, p.value);
            if (withFourth) {
                *out++ = ',';
                *out++ = ' ';
                out = writePixelValue(out, p.time);
            }
            *out++ = ']';
            *out++ = ' ';
        }
        if (end == pixels.size()) *out++ = '\n';
        file_.commit(out);
    }
}

}  // namespace zel::clusterer
