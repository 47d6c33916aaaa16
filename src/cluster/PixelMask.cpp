#include "cluster/PixelMask.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

#include "common/NumberText.h"
#include "common/Text.h"
#include "common/BoundedLine.h"

namespace zel {
namespace {

constexpr int kMaxLineWarnings = 10;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNumberChar(char c) { return isDigit(c) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'; }
// In a rectangle entry the minus sign only separates: numbers carry no sign.
bool isUnsignedNumberChar(char c) { return isDigit(c) || c == '.' || c == '+' || c == 'e' || c == 'E'; }

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos;
}

// The next number of `text` from `at` on (runs of number characters, each read by its longest valid prefix);
// false when there is none. Allocates nothing.
template <class IsNumberChar>
bool nextNumber(std::string_view text, size_t& at, double& value, IsNumberChar isChar) {
    while (at < text.size()) {
        while (at < text.size() && !isChar(text[at])) ++at;
        const size_t start = at;
        while (at < text.size() && isChar(text[at])) ++at;
        if (at > start && parseLeadingDouble(text.substr(start, at - start), value)) return true;
    }
    return false;
}

size_t countNumbers(std::string_view line) {
    size_t count = 0;
    size_t at = 0;
    double value = 0;
    while (nextNumber(line, at, value, isNumberChar)) ++count;
    return count;
}

template <class Visit>
void forEachTextLine(std::string_view text, Visit visit) {
    size_t start = 0;
    size_t number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        visit(line, ++number);
        start = end + 1;
    }
}

// An int for a message, whatever the number.
int clampedInt(double value) {
    if (!(value > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    if (!(value < std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// A whole pixel coordinate or value, truncated toward zero, as text; fits any finite double.
char* writeTruncated(char* out, double value) { return writeFixed(out, std::trunc(value) + 0.0, 0); }

}  // namespace

PixelMask::PixelMask(int width, int height)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      active_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 1) {}

double PixelMask::areaFactor() const {
    const double n = static_cast<double>(active_.size());
    return n / (n - static_cast<double>(masked_));
}

void PixelMask::maskPixel(int64_t x, int64_t y) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t& flag = active_[static_cast<size_t>(x) + static_cast<size_t>(y) * static_cast<size_t>(width_)];
    if (flag == 0) return;
    flag = 0;
    ++masked_;
}

int PixelMask::load(const std::string& fullName, const MessageTarget& to) {
    std::ifstream in(fullName, std::ios::binary);
    if (!in.is_open()) {
        printErrorCode(to, "File with mask can not be opened: " + fullName, kCannotOpen);
        return kCannotOpen;
    }
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(fullName, ec);
    if (ec || size > kMaxFileBytes) {
        printError(to, "Mask file " + fullName + " is larger than " + std::to_string(kMaxFileBytes >> 20) +
                           " MB: no mask is that large.");
        printErrorCode(to, "Mask load failed.", kLoadFailed);
        return kLoadFailed;
    }
    std::string text(static_cast<size_t>(size), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(size))) {
        printErrorCode(to, "Mask load failed.", kLoadFailed);
        return kLoadFailed;
    }
    return loadText(text, to);
}

int PixelMask::loadText(std::string_view text, const MessageTarget& to) {
    // Format: a matrix has exactly `width` numbers on its first line and `height` non-empty lines.
    size_t firstCount = 0;
    size_t lines = 0;
    // A file that looks like a matrix of 0 and 1 but of another size is no list of pairs.
    size_t sameCount = 0;
    bool allSame = true;
    bool onlyFlags = true;
    forEachTextLine(text, [&](std::string_view line, size_t) {
        if (isBlank(line)) return;
        const size_t count = countNumbers(line);
        if (lines++ == 0) firstCount = count;
        if (sameCount == 0) sameCount = count;
        allSame = allSame && count == sameCount;
        size_t at = 0;
        double value = 0;
        while (onlyFlags && nextNumber(line, at, value, isNumberChar)) onlyFlags = value == 0.0 || value == 1.0;
    });
    if (lines == 0) {
        printError(to, "Mask file is empty: no pixel is masked.");
        printErrorCode(to, "Mask load failed.", kLoadFailed);
        return kLoadFailed;
    }
    matrixFormat_ = firstCount == static_cast<size_t>(width_) && lines == static_cast<size_t>(height_);
    if (matrixFormat_) {
        loadMatrix(text);
        return 0;
    }
    if (allSame && onlyFlags && sameCount >= 3 && lines >= 3) {
        printError(to, "Mask file holds a matrix of " + std::to_string(sameCount) + " x " + std::to_string(lines) +
                           " pixels, the sensor has " + std::to_string(width_) + " x " + std::to_string(height_) +
                           " pixels.");
        printErrorCode(to, "Mask load failed.", kLoadFailed);
        return kLoadFailed;
    }
    int unusable = 0;
    forEachTextLine(text, [&](std::string_view line, size_t number) {
        if (isBlank(line) || loadListLine(line, to)) return;
        if (++unusable <= kMaxLineWarnings)
            printWarning(to, "Mask file line " + std::to_string(number) + " holds no pixel pair and no rectangle.");
    });
    if (unusable > 0 && masked_ == 0) {
        printErrorCode(to, "Mask load failed.", kLoadFailed);
        return kLoadFailed;
    }
    return 0;
}

void PixelMask::loadMatrix(std::string_view text) {
    uint64_t index = 0;
    forEachTextLine(text, [&](std::string_view line, size_t) {
        if (countNumbers(line) < static_cast<size_t>(width_)) return;
        size_t at = 0;
        double value = 0;
        while (nextNumber(line, at, value, isNumberChar)) {
            if (value == 0.0 && index < active_.size() && active_[index] != 0) {
                active_[index] = 0;
                ++masked_;
            }
            ++index;
        }
    });
}

bool PixelMask::loadListLine(std::string_view line, const MessageTarget& to) {
    if (line.find('-') == std::string_view::npos) {
        double pair[2];
        size_t have = 0;
        size_t pairs = 0;
        size_t at = 0;
        while (nextNumber(line, at, pair[have], isNumberChar)) {
            if (++have < 2) continue;
            have = 0;
            ++pairs;
            const double x = pair[0];
            const double y = pair[1];
            if (x >= 0 && y >= 0 && x < width_ && y < height_) {
                maskPixel(static_cast<int64_t>(x), static_cast<int64_t>(y));
            } else {
                char text[160];
                std::snprintf(text, sizeof text, "[ERROR]\tCurrent pixel [%d|%d] is not within a sensor mask with size %f*%f",
                              clampedInt(x), clampedInt(y), static_cast<double>(width_), static_cast<double>(height_));
                printMsg(to, text);
            }
        }
        return pairs > 0;
    }
    // Rectangles: "(" or "[" x range "," y range ")" or "]", a range being "a-b" or a single number.
    bool any = false;
    size_t at = 0;
    while ((at = line.find_first_of("([", at)) != std::string_view::npos) {
        const size_t close = line.find_first_of(")]", at + 1);
        if (close == std::string_view::npos) break;
        const std::string_view entry = line.substr(at + 1, close - at - 1);
        at = close + 1;
        const size_t comma = entry.find(',');
        if (comma == std::string_view::npos) continue;
        double range[2][2];
        bool ok = true;
        for (int axis = 0; axis < 2 && ok; ++axis) {
            const std::string_view part = axis == 0 ? entry.substr(0, comma) : entry.substr(comma + 1);
            size_t from = 0;
            ok = nextNumber(part, from, range[axis][0], isUnsignedNumberChar);
            if (ok && !nextNumber(part, from, range[axis][1], isUnsignedNumberChar)) range[axis][1] = range[axis][0];
        }
        if (!ok) continue;
        maskRectangle(range[0][0], range[0][1], range[1][0], range[1][1]);
        any = true;
    }
    return any;
}

void PixelMask::maskRectangle(double x0, double x1, double y0, double y1) {
    if (!(std::isfinite(x0) && std::isfinite(x1) && std::isfinite(y0) && std::isfinite(y1))) return;
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    // Whole pixels inside the bounds and the sensor; clamped before any conversion.
    const double xLow = std::max(std::ceil(x0), 0.0);
    const double xHigh = std::min(std::floor(x1), width_ - 1.0);
    const double yLow = std::max(std::ceil(y0), 0.0);
    const double yHigh = std::min(std::floor(y1), height_ - 1.0);
    if (xLow > xHigh || yLow > yHigh) return;
    for (auto y = static_cast<int64_t>(yLow); y <= static_cast<int64_t>(yHigh); ++y)
        for (auto x = static_cast<int64_t>(xLow); x <= static_cast<int64_t>(xHigh); ++x) maskPixel(x, y);
}

void PixelMask::copyPixelList(std::istream& in, std::ostream& out, CopyCounts& counts) const {
    std::string line;
    bool header = true;
    while (readBoundedLine(in, line, kMaxInputLineLength) == LineRead::Line) {
        if (header) {
            out << line << '\n';
            header = false;
            continue;
        }
        size_t at = 0;
        double value = 0;
        if (!nextNumber(line, at, value, isNumberChar) || !nextNumber(line, at, value, isNumberChar)) continue;
        counts.linesRead += 1;
        if (!(value >= 0 && value < static_cast<double>(active_.size()))) continue;
        if (active_[static_cast<size_t>(value)] == 0) {
            counts.pixelsMasked += 1;
            continue;
        }
        counts.pixelsKept += 1;
        out << line << '\n';
    }
}

void PixelMask::copyClusterLog(std::istream& in, std::ostream& out, CopyCounts& counts) const {
    std::string line;
    std::string kept;
    char number[kFixedChars];
    auto append = [&](char* end) { kept.append(number, end); };
    while (readBoundedLine(in, line, kMaxInputLineLength) == LineRead::Line) {
        if (!line.empty() && line.front() == 'F') {
            out << line << '\n';
            continue;
        }
        kept.clear();
        if (!isBlank(line)) counts.linesRead += 1;
        size_t at = 0;
        while ((at = line.find('[', at)) != std::string::npos) {
            size_t close = line.find(']', at + 1);
            if (close == std::string::npos) close = line.size();
            const std::string_view group(line.data() + at + 1, close - at - 1);
            at = close;
            double values[4];
            size_t count = 0;
            size_t from = 0;
            while (count < 4 && nextNumber(group, from, values[count], isNumberChar)) ++count;
            if (count < 3) continue;
            const bool finite = std::isfinite(values[0]) && std::isfinite(values[1]) && std::isfinite(values[2]) &&
                                (count < 4 || std::isfinite(values[3]));
            const double x = std::trunc(values[0]);
            const double y = std::trunc(values[1]);
            if (!finite || !(x >= 0 && y >= 0 && x < width_ && y < height_) ||
                !isActive(static_cast<int64_t>(x), static_cast<int64_t>(y))) {
                counts.pixelsMasked += 1;
                continue;
            }
            counts.pixelsKept += 1;
            kept += '[';
            append(writeTruncated(number, values[0]));
            kept += ", ";
            append(writeTruncated(number, values[1]));
            kept += ", ";
            append(writeTruncated(number, values[2]));
            if (count == 4) {
                kept += ", ";
                append(writeFixed(number, values[3], 3));
            }
            kept += "] ";
        }
        out << kept << '\n';
    }
}

int PixelMask::writeMaskedCopy(const std::string& input, const std::string& output, bool clusterLog,
                               CopyCounts& counts, const MessageTarget& to) const {
    std::error_code ec;
    if (std::filesystem::equivalent(input, output, ec)) {
        printError(to, "The masked copy " + output + " would replace its own input: it is not written.");
        return -1;
    }
    std::ifstream in(input, std::ios::binary);
    if (!in.is_open()) {
        printError(to, "Can not open file for its masked copy: " + input);
        return -1;
    }
    // Written beside the target and renamed onto it: a link named like the copy is replaced, never written through.
    const std::string temporary = output + ".maskpart";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) {
            printError(to, "Can not write masked copy: " + temporary);
            return -1;
        }
        CopyCounts here;
        if (clusterLog) {
            copyClusterLog(in, out, here);
        } else {
            copyPixelList(in, out, here);
        }
        out.flush();
        if (!out || in.bad() || (!in.eof() && in.fail())) {
            out.close();
            std::filesystem::remove(temporary, ec);
            printError(to, "Masked copy of " + input + " failed (a line too long, or the disk full).");
            return -1;
        }
        counts.linesRead += here.linesRead;
        counts.pixelsKept += here.pixelsKept;
        counts.pixelsMasked += here.pixelsMasked;
    }
    std::filesystem::rename(temporary, output, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        printError(to, "Can not write masked copy: " + output);
        return -1;
    }
    return 0;
}

}  // namespace zel
