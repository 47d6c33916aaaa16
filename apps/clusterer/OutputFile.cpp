#include "OutputFile.h"

#include <algorithm>

#include <charconv>
#include <cstdint>
#include <cmath>

namespace zel::clusterer {
namespace {

constexpr long long kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int digitCount(unsigned long long value) {
    int count = 1;
    while (value >= 10000) {
        value /= 10000;
        count += 4;
    }
    return count + (value >= 10) + (value >= 100) + (value >= 1000);
}

// Writes exactly `count` digits of `value` (leading zeros included), two at a time from the end; values that fit
// 32 bits take the cheaper 32-bit arithmetic.
template <typename Unsigned>
char* writeDigitsFrom(char* at, char* out, Unsigned value) {
    while (at - out >= 2) {
        unsigned pair = static_cast<unsigned>(value % 100) * 2;
        value /= 100;
        *--at = kPairs[pair + 1];
        *--at = kPairs[pair];
    }
    if (at > out) *--at = static_cast<char>('0' + value % 10);
    return at;
}

char* writeDigitsFixed(char* out, unsigned long long value, int count) {
    char* end = out + count;
    if (value <= 0xffffffffULL) writeDigitsFrom(end, out, static_cast<uint32_t>(value));
    else writeDigitsFrom(end, out, value);
    return end;
}

char* writeDigits(char* out, unsigned long long value) { return writeDigitsFixed(out, value, digitCount(value)); }

}  // namespace

namespace {

// Text of 0 to 999 (positions, raw ToT), four chars each: up to three digits and their count.
struct SmallNumbers {
    char text[1000][4];
    constexpr SmallNumbers() : text{} {
        for (int v = 0; v < 1000; ++v) {
            int digits = v >= 100 ? 3 : v >= 10 ? 2 : 1;
            int rest = v;
            for (int d = digits - 1; d >= 0; --d) {
                text[v][d] = static_cast<char>('0' + rest % 10);
                rest /= 10;
            }
            text[v][3] = static_cast<char>(digits);
        }
    }
};
constexpr SmallNumbers kSmallNumbers;

}  // namespace

char* writeInteger(char* out, long long value) {
    if (value >= 0 && value < 1000) {
        const char* text = kSmallNumbers.text[value];
        out[0] = text[0];
        out[1] = text[1];
        out[2] = text[2];
        return out + text[3];
    }
    if (value < 0) {
        *out++ = '-';
        return writeDigits(out, 0ULL - static_cast<unsigned long long>(value));
    }
    return writeDigits(out, static_cast<unsigned long long>(value));
}

namespace {

// The scale is a constant per instantiation, so that the divisions compile to multiplications.
template <int Decimals>
char* writeFixedScaled(char* out, double value) {
    constexpr unsigned long long scale = static_cast<unsigned long long>(kPowers[Decimals]);
    // Integer arithmetic while the scaled value fits comfortably; the library formatter otherwise.
    if (!(std::fabs(value) < 9.0e17 / static_cast<double>(scale))) {
        auto fixed = std::to_chars(out, out + 47, value, std::chars_format::fixed, Decimals);
        if (fixed.ec == std::errc()) return fixed.ptr;
        // Too large for the fixed form in a column's room: the shortest form that reads back the same value.
        return std::to_chars(out, out + 47, value).ptr;
    }
    double scaledValue = value * static_cast<double>(scale);
    long long scaled = static_cast<long long>(scaledValue + (scaledValue < 0 ? -0.5 : 0.5));
    if (scaled < 0) *out++ = '-';
    unsigned long long magnitude =
        scaled < 0 ? 0ULL - static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
    out = writeDigits(out, magnitude / scale);
    if constexpr (Decimals > 0) {
        *out++ = '.';
        out = writeDigitsFixed(out, magnitude % scale, Decimals);
    }
    return out;
}

}  // namespace

char* writeFixed(char* out, double value, int decimals) {
    switch (decimals) {
        case 0: return writeFixedScaled<0>(out, value);
        case 1: return writeFixedScaled<1>(out, value);
        case 2: return writeFixedScaled<2>(out, value);
        case 3: return writeFixedScaled<3>(out, value);
        case 4: return writeFixedScaled<4>(out, value);
        case 5: return writeFixedScaled<5>(out, value);
        case 6: return writeFixedScaled<6>(out, value);
        case 7: return writeFixedScaled<7>(out, value);
        case 8: return writeFixedScaled<8>(out, value);
        default: return writeFixedScaled<9>(out, value);
    }
}

char* writeCompact(char* out, double value, int decimals) {
    char* start = out;
    out = writeFixed(out, value, decimals);
    if (std::find_if(start, out, [](char ch) { return ch == 'e' || ch == 'n'; }) != out) return out;  // 1e+300, inf
    char* point = out;
    while (point > start && *(point - 1) != '.') --point;
    if (point == start) return out;  // no decimal point written
    while (out > point && *(out - 1) == '0') --out;
    if (out == point) --out;  // drop the point itself
    return out;
}

bool OutputFile::open(const std::string& path, bool append) {
    close();
    file_ = std::fopen(path.c_str(), append ? "ab" : "wb");
    buffer_.resize(1 << 16);  // small enough to stay in the cache between writes
    used_ = 0;
    failed_ = false;
    return file_ != nullptr;
}

void OutputFile::flush(size_t need) {
    if (file_ != nullptr && used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
    used_ = 0;
    if (buffer_.size() < need) buffer_.resize(need);
}

bool OutputFile::close() {
    if (file_ == nullptr) return !failed_;
    flush(0);
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

}  // namespace zel::clusterer
