#include "common/NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zel {
namespace {

constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// Rounds x >= 0 to the nearest integer; false when x lies too close to a half for a double product to tell.
bool roundClearly(double x, uint64_t& rounded) {
    const auto below = static_cast<uint64_t>(x);
    const double fraction = x - static_cast<double>(below);
    if (fraction > 0.499999 && fraction < 0.500001) return false;
    rounded = below + (fraction > 0.5 ? 1 : 0);
    return true;
}

// The decade of 1e-4 <= a < 1e6: 10^e <= a < 10^(e+1), counted without branches (the decades of a column's
// values are as good as random).
int decadeOf(double a) {
    return (a >= 1e-3) + (a >= 1e-2) + (a >= 1e-1) + (a >= 1.0) + (a >= 1e1) + (a >= 1e2) + (a >= 1e3) + (a >= 1e4) +
           (a >= 1e5) - 4;
}

// The digit pairs "00" ... "99" as two-character words, the first character in the lower byte.
constexpr auto kDigitPairs = [] {
    std::array<uint16_t, 100> pairs{};
    for (int i = 0; i < 100; ++i)
        pairs[static_cast<size_t>(i)] = static_cast<uint16_t>(('0' + i / 10) | (('0' + i % 10) << 8));
    return pairs;
}();

// The six digits of number < 1000000, with leading zeros, as the six lower bytes of a word (first digit lowest).
uint64_t sixDigits(uint32_t number) {
    const uint32_t high = number / 10000;
    const uint32_t low = number % 10000;
    return uint64_t{kDigitPairs[high]} | uint64_t{kDigitPairs[low / 100]} << 16 | uint64_t{kDigitPairs[low % 100]} << 32;
}


// Significant digits of a number's text: those of its mantissa from the first to the last non-zero one.
int significantDigits(const char* first, const char* last) {
    int seen = 0;     // digits from the first non-zero one on
    int counted = 0;  // up to the last non-zero one
    for (const char* c = first; c != last && *c != 'e'; ++c) {
        if (*c < '0' || *c > '9' || (seen == 0 && *c == '0')) continue;
        ++seen;
        if (*c != '0') counted = seen;
    }
    return counted;
}


}  // namespace

bool sixDigitsReadBack(double value) {
    const double a = std::fabs(value);
    if (!(a >= 1e-4 && a < 1e6)) return false;
    // The six digits as a whole number m of units 1 / scale: the decimal m / scale reads back as the double
    // nearest to it, which one division gives (m and scale are exact doubles). A product just off a half may
    // round m the other way; the decimal then does not read back, and the caller takes the longer way.
    const double scale = kPowers[5 - decadeOf(a)];
    return static_cast<double>(static_cast<int64_t>(a * scale + 0.5)) / scale == a;
}

char* writeGeneral6(char* out, double value) {
    // Whole numbers (counts, sizes, flags) as integers: what "%g" writes for them below a million.
    if (value > -1e6 && value < 1e6) {
        const auto whole = static_cast<int32_t>(value);
        if (static_cast<double>(whole) == value && !(whole == 0 && std::signbit(value)))
            return std::to_chars(out, out + 16, whole).ptr;
    }
    const double a = std::fabs(value);
    if (a >= 1e-4 && a < 1e6) {
        int e = decadeOf(a);
        uint64_t m = 0;
        if (roundClearly(a * kPowers[5 - e], m)) {  // the six significant digits
            if (m == 1000000) {  // rounded up into the next decade
                m = 100000;
                ++e;
            }
            if (e < 6) {
                *out = '-';
                out += std::signbit(value) ? 1 : 0;
                // Digits, point and text are put together in two words, without branches: the decade and the
                // number of trailing zeros of a column's values are as good as random.
                const uint64_t digits = sixDigits(static_cast<uint32_t>(m));
                // Trailing zeros of the fraction are dropped: the digits that equal '0' from the sixth back.
                const uint64_t notZero = (digits ^ 0x303030303030ULL) << 16;
                const int zeros = std::min(__builtin_clzll(notZero) / 8, 5);
                const int last = std::max(5 - zeros, std::max(e, 0));  // the last digit written
                // From 1 up: the integer digits, the point, the fraction (up to seven characters).
                const int shift = 8 * (e + 1);
                const uint64_t wholeMask = e >= 0 ? (uint64_t{1} << shift) - 1 : 0;
                const uint64_t withPoint = (digits & wholeMask) | (uint64_t{'.'} << (shift & 63)) |
                                           ((digits >> (shift & 63)) << ((shift + 8) & 63));
                // Below 1: "0." and -e - 1 zeros (2 to 5 characters), then the digits, over two words.
                const int prefix = 1 - e;
                const int prefixShift = 8 * prefix;
                const uint64_t zerosWord = 0x3030303030302E30ULL & ((uint64_t{1} << (prefixShift & 63)) - 1);
                const uint64_t small0 = zerosWord | (digits << (prefixShift & 63));
                const uint64_t small1 = digits >> ((64 - prefixShift) & 63);
                const bool whole = e >= 0;
                const uint64_t first = whole ? withPoint : small0;
                const uint64_t second = whole ? 0 : small1;
                std::memcpy(out, &first, 8);
                std::memcpy(out + 8, &second, 8);
                return out + (whole ? (last > e ? last + 2 : e + 1) : prefix + last + 1);
            }
        }
    }
    return std::to_chars(out, out + 32, value, std::chars_format::general, 6).ptr;
}


std::string formatFixed(double value, int precision) {
    char buffer[512];
    int n = std::snprintf(buffer, sizeof buffer, "%.*f", precision, value);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), "%.*f", precision, value);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string formatG(double value) {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, "%g", value);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

char* writeRoundTrip(char* out, double value) {
    // "%g" (the same text, far faster), or the shortest exact form when six digits lose. Whole counts below a
    // million, the usual bin contents, lose nothing; other numbers lose exactly when their shortest exact form
    // has more than six digits. NaN and infinities read "nan" and "inf" either way.
    const bool whole = value > -1e6 && value < 1e6 && value == std::trunc(value);
    if (!whole && std::isfinite(value) && !sixDigitsReadBack(value)) {
        const auto exact = std::to_chars(out, out + kNumberChars, value);
        if (exact.ec == std::errc() && significantDigits(out, exact.ptr) > 6) return exact.ptr;
    }
    return writeGeneral6(out, value);
}

namespace {

constexpr long long kWholePowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int wholeDigitCount(unsigned long long value) {
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
char* writeWholeDigitsFrom(char* at, char* out, Unsigned value) {
    while (at - out >= 2) {
        unsigned pair = static_cast<unsigned>(value % 100) * 2;
        value /= 100;
        *--at = kPairs[pair + 1];
        *--at = kPairs[pair];
    }
    if (at > out) *--at = static_cast<char>('0' + value % 10);
    return at;
}

char* writeWholeDigitsFixed(char* out, unsigned long long value, int count) {
    char* end = out + count;
    if (value <= 0xffffffffULL) writeWholeDigitsFrom(end, out, static_cast<uint32_t>(value));
    else writeWholeDigitsFrom(end, out, value);
    return end;
}

char* writeWholeDigits(char* out, unsigned long long value) {
    return writeWholeDigitsFixed(out, value, wholeDigitCount(value));
}

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
        return writeWholeDigits(out, 0ULL - static_cast<unsigned long long>(value));
    }
    return writeWholeDigits(out, static_cast<unsigned long long>(value));
}

namespace {

// "%.<Decimals>f". Integer arithmetic while the scaled value is small enough for its rounding to be told from a
// double product; the exact library formatter otherwise. The scale is a constant per instantiation, so that the
// divisions compile to multiplications.
template <int Decimals>
char* writeFixedScaled(char* out, double value) {
    constexpr uint64_t scale = static_cast<uint64_t>(kWholePowers[Decimals]);
    const double a = std::fabs(value);
    uint64_t m = 0;
    if (a < 1e15 / static_cast<double>(scale) && roundClearly(a * static_cast<double>(scale), m)) {
        if (std::signbit(value)) *out++ = '-';
        out = writeWholeDigits(out, m / scale);
        if constexpr (Decimals > 0) {
            *out++ = '.';
            out = writeWholeDigitsFixed(out, m % scale, Decimals);
        }
        return out;
    }
    return std::to_chars(out, out + kFixedChars, value, std::chars_format::fixed, Decimals).ptr;
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
    char* point = out;
    while (point > start && *(point - 1) != '.') --point;
    if (point == start) return out;  // no decimal point written
    while (out > point && *(out - 1) == '0') --out;
    if (out == point) --out;  // drop the point itself
    return out;
}

}  // namespace zel
