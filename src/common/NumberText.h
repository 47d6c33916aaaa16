#pragma once
// The one number writer of every text output (results lists, extended lists, histogram files, the clusterer's
// lists and logs): each format writes at `out`, which has room for the format's longest text, and returns the end
// of what it wrote. The formats give the same text as printf's, faster.
#include <cstddef>
#include <string>

namespace zel {

// Room the formats need: kNumberChars for all but the fixed formats of very large numbers, which need kFixedChars.
inline constexpr size_t kNumberChars = 32;
inline constexpr size_t kFixedChars = 350;

// "%g": six significant digits, trailing zeros dropped.
char* writeGeneral6(char* out, double value);
// "%.<decimals>f" for 0 to 9 decimals (more are taken as 9).
char* writeFixed(char* out, double value, int decimals);
// writeFixed without trailing zeros, and without the point when nothing follows it ("12", "9187.5").
char* writeCompact(char* out, double value, int decimals);
// A whole number.
char* writeInteger(char* out, long long value);
// "%g" when its six digits read back to the same double, else the shortest text that does: numbers written so
// that they read back unchanged.
char* writeRoundTrip(char* out, double value);

// True when a value of 1e-4 <= |value| < 1e6 reads back exactly from its six significant digits, so that "%g" loses
// nothing; false when it does not, or lies outside that range.
bool sixDigitsReadBack(double value);

// "%f"-style and "%g"-style formatting into a std::string.
std::string formatFixed(double value, int precision = 6);
std::string formatG(double value);

}  // namespace zel
