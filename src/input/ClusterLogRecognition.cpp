#include "input/ClusterLogRecognition.h"

#include "common/Text.h"

#include <cmath>
#include <fstream>

namespace zel {
namespace {

constexpr int kValuesScanLines = 10000;
constexpr int kPixelSearchLines = 100000;
constexpr int kTimeCheckLines = 10000;

bool isPixelLine(const std::string& line) { return contains(line, "[") && contains(line, "]"); }

// Numbers of the first bracketed group of a line; empty when the line has none.
std::vector<double> firstGroupNumbers(const std::string& line) {
    size_t open = line.find('[');
    if (open == std::string::npos) return {};
    size_t close = line.find(']', open + 1);
    if (close == std::string::npos) return {};
    return scanNumbers(std::string_view(line).substr(open + 1, close - open - 1));
}

// Values per pixel from the first pixel line of the first lines of the file; 0 when none is found.
int countValuesPerPixel(std::ifstream& in) {
    std::string line;
    for (int i = 0; i < kValuesScanLines && std::getline(in, line); ++i) {
        if (line.size() <= 1 || line[0] == 'F') continue;
        std::vector<double> numbers = firstGroupNumbers(line);
        if (numbers.size() >= 3) return static_cast<int>(numbers.size());
    }
    return 0;
}

bool findPixelLine(std::ifstream& in) {
    std::string line;
    for (int i = 0; i < kPixelSearchLines && std::getline(in, line); ++i) {
        if (isPixelLine(line)) return true;
    }
    return false;
}

// True when a fourth value (the pixel time) of the first pixel lines has a fractional part: time-of-arrival data.
bool hasFractionalTimes(std::ifstream& in) {
    std::string line;
    for (int i = 0; i < kTimeCheckLines && std::getline(in, line); ++i) {
        if (!isPixelLine(line)) continue;
        std::vector<double> numbers = scanNumbers(line);
        for (size_t k = 3; k < numbers.size(); k += 4) {
            if (!std::isfinite(numbers[k]) || numbers[k] != std::floor(numbers[k])) return true;
        }
    }
    return false;
}

void restart(std::ifstream& in) {
    in.clear();
    in.seekg(0);
}

}  // namespace

int recogniseClog(const std::string& path, const std::string& name, ClogKind& kind, const MessageTarget& to) {
    kind = ClogKind{};
    std::ifstream in(path + name, std::ios::binary);
    if (!in.is_open()) {
        printErrorCode(to, "Can not open file with clog: " + name, kClogCanNotOpen);
        return kClogCanNotOpen;
    }
    std::string first;
    std::getline(in, first);
    if (!contains(first, "Frame")) return 0;
    const bool headerInNs = contains(first, "ns");

    restart(in);
    kind.valuesPerPixel = countValuesPerPixel(in);
    if (kind.valuesPerPixel == 3) {
        kind.counting = true;
    } else if (kind.valuesPerPixel == 0) {
        if (!findPixelLine(in)) failWith(to, "Empty clog file.", kClogEmpty);
    } else if (kind.valuesPerPixel >= 5) {
        failWith(to, "Corrupted clog file.", kClogCorrupted);
    } else {
        restart(in);
        if (headerInNs) {
            kind.timeInNs = true;
        } else if (hasFractionalTimes(in)) {
            kind.fractionalTime = true;
        } else {
            kind.itotCount = true;
        }
    }
    kind.isClog = true;
    return 0;
}

}  // namespace zel
