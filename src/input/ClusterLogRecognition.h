#pragma once
// Tells whether a file is a cluster log and which measurement mode it holds. A cluster log has a header line with
// "Frame" and pixel lines of bracketed groups [x, y, value] (counting frames) or [x, y, value, time].
#include "common/Messages.h"

#include <string>

namespace zel {

struct ClogKind {
    bool isClog = false;
    bool counting = false;        // three values per pixel: counting-mode frames
    bool timeInNs = false;        // the header says "ns"; set for time-of-arrival and for whole-number times
    bool fractionalTime = false;  // time-of-arrival with fractional times and no "ns" in the header
    bool itotCount = false;       // whole-number fourth values without "ns": iToT and count frames
    int valuesPerPixel = 0;       // numbers in the first bracketed group, 0 when none was found
};

inline constexpr int kClogCanNotOpen = -4016;
inline constexpr int kClogCorrupted = -1018;
inline constexpr int kClogEmpty = -1019;

// 0 whether recognised or not (see kind.isClog); -4016 with "Can not open file with clog: " when the file cannot be
// opened. Raises -1018 "Corrupted clog file." (five or more values per pixel) and -1019 "Empty clog file." (a
// frame header but no pixel line).
int recogniseClog(const std::string& path, const std::string& name, ClogKind& kind, const MessageTarget& to);

}  // namespace zel
