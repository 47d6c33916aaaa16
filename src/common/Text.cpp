#include "common/Text.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace zel {

std::vector<std::string_view> splitAny(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

bool parseLeadingDouble(std::string_view text, double& value) {
    // from_chars takes the longest valid prefix but refuses a leading '+'.
    size_t skip = (!text.empty() && text[0] == '+') ? 1 : 0;
    if (skip == 1 && text.size() > 1 && (text[1] == '-' || text[1] == '+')) return false;
    const char* first = text.data() + skip;
    auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
    return ec == std::errc() && end != first;
}

bool parseDouble(std::string_view token, double& value) {
    size_t skip = (!token.empty() && token[0] == '+') ? 1 : 0;
    const char* first = token.data() + skip;
    const char* last = token.data() + token.size();
    auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && first != last;
}

std::vector<double> scanNumbers(std::string_view text, std::string_view numberChars, std::string_view listEnds) {
    auto isNumberChar = [&](char c) { return (c >= '0' && c <= '9') || numberChars.find(c) != std::string_view::npos; };
    std::vector<double> numbers;
    size_t i = 0;
    while (i < text.size()) {
        if (!isNumberChar(text[i])) {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < text.size() && isNumberChar(text[i])) ++i;
        double value = 0;
        if (parseLeadingDouble(text.substr(start, i - start), value)) numbers.push_back(value);
        if (i < text.size() && listEnds.find(text[i]) != std::string_view::npos) break;
    }
    return numbers;
}

std::vector<double> scanNumbers(std::string_view text) { return scanNumbers(text, ".-+eE", {}); }

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }
bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

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

// Writes the `count` lowest decimal digits of `number`, with leading zeros.
char* writeDigits(char* out, uint64_t number, int count) {
    for (int i = count - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + number % 10);
        number /= 10;
    }
    return out + count;
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

char* writeFixed3(char* out, double value) {
    const double a = std::fabs(value);
    uint64_t m = 0;
    if (a < 1e12 && roundClearly(a * 1000.0, m)) {
        if (std::signbit(value)) *out++ = '-';
        out = std::to_chars(out, out + 24, m / 1000).ptr;
        *out++ = '.';
        return writeDigits(out, m % 1000, 3);
    }
    return std::to_chars(out, out + 350, value, std::chars_format::fixed, 3).ptr;
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

}  // namespace zel
