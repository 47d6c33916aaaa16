#include "input/ClusterLogRecognition.h"

#include "common/Text.h"
#include "common/BoundedLine.h"

#include <cmath>
#include <fstream>

namespace zel {
namespace {

constexpr int kValuesScanLines = 10000;
constexpr int kPixelSearchLines = 100000;
constexpr int kTimeCheckLines = 10000;

bool isPixelLine(const std::string& line) { return contains(line, "[") && contains(line, "]"); }

// Reads the lines of a cluster log with their numbers; a line over the limit makes the file a corrupted log.
class LogLines {
public:
    LogLines(std::ifstream& in, const std::string& name, const MessageTarget& to) : in_(in), name_(name), to_(to) {}

    bool next(std::string& line) {
        const LineRead read = readBoundedLine(in_, line, kMaxInputLineLength);
        if (read == LineRead::End) return false;
        ++number_;
        if (read == LineRead::TooLong) {
            failWith(to_,
                     "Corrupted clog file. Line " + std::to_string(number_) + " of " + name_ + " is longer than " +
                         std::to_string(kMaxInputLineLength) + " characters.",
                     kClogCorrupted);
        }
        return true;
    }
    void restart() {
        in_.clear();
        in_.seekg(0);
        number_ = 0;
    }

private:
    std::ifstream& in_;
    const std::string& name_;
    const MessageTarget& to_;
    size_t number_ = 0;
};

// Numbers of the first bracketed group of a line; empty when the line has none.
std::vector<double> firstGroupNumbers(const std::string& line) {
    size_t open = line.find('[');
    if (open == std::string::npos) return {};
    size_t close = line.find(']', open + 1);
    if (close == std::string::npos) return {};
    return scanNumbers(std::string_view(line).substr(open + 1, close - open - 1));
}

// Values per pixel from the first pixel line of the first lines of the file; 0 when none is found.
int countValuesPerPixel(LogLines& in) {
    std::string line;
    for (int i = 0; i < kValuesScanLines && in.next(line); ++i) {
        if (line.size() <= 1 || line[0] == 'F') continue;
        std::vector<double> numbers = firstGroupNumbers(line);
        if (numbers.size() >= 3) return static_cast<int>(numbers.size());
    }
    return 0;
}

bool findPixelLine(LogLines& in) {
    std::string line;
    for (int i = 0; i < kPixelSearchLines && in.next(line); ++i) {
        if (isPixelLine(line)) return true;
    }
    return false;
}

// True when a fourth value (the pixel time) of the first pixel lines has a fractional part: time-of-arrival data.
bool hasFractionalTimes(LogLines& in) {
    std::string line;
    for (int i = 0; i < kTimeCheckLines && in.next(line); ++i) {
        if (!isPixelLine(line)) continue;
        std::vector<double> numbers = scanNumbers(line);
        for (size_t k = 3; k < numbers.size(); k += 4) {
            if (!std::isfinite(numbers[k]) || numbers[k] != std::floor(numbers[k])) return true;
        }
    }
    return false;
}

}  // namespace

int recogniseClog(const std::string& path, const std::string& name, ClogKind& kind, const MessageTarget& to) {
    kind = ClogKind{};
    std::ifstream in(path + name, std::ios::binary);
    if (!in.is_open()) {
        printErrorCode(to, "Can not open file with clog: " + name, kClogCanNotOpen);
        return kClogCanNotOpen;
    }
    LogLines lines(in, name, to);
    std::string first;
    lines.next(first);
    if (!contains(first, "Frame")) return 0;
    const bool headerInNs = contains(first, "ns");

    lines.restart();
    kind.valuesPerPixel = countValuesPerPixel(lines);
    if (kind.valuesPerPixel == 3) {
        kind.counting = true;
    } else if (kind.valuesPerPixel == 0) {
        if (!findPixelLine(lines)) failWith(to, "Empty clog file.", kClogEmpty);
    } else if (kind.valuesPerPixel >= 5) {
        failWith(to, "Corrupted clog file.", kClogCorrupted);
    } else {
        lines.restart();
        if (headerInNs) {
            kind.timeInNs = true;
        } else if (hasFractionalTimes(lines)) {
            kind.fractionalTime = true;
        } else {
            kind.itotCount = true;
        }
    }
    kind.isClog = true;
    return 0;
}

}  // namespace zel
