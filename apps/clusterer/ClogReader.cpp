#include "ClogReader.h"

#include <cmath>

#include "TextScan.h"
#include "common/Text.h"

namespace zel::clusterer {
namespace {

// Numbers of one bracketed group, up to eight; returns how many were read, -1 for a group without ']'.
int readGroup(std::string_view& text, double* values, int capacity) {
    int count = 0;
    while (true) {
        size_t i = 0;
        while (i < text.size() && (isBlank(text[i]) || text[i] == ',')) ++i;
        text.remove_prefix(i);
        if (text.empty()) return -1;
        if (text.front() == ']') {
            text.remove_prefix(1);
            return count;
        }
        double value = 0.0;
        if (!nextNumber(text, value)) {
            // Not a number: the group is unusable; go on behind it.
            size_t close = text.find(']');
            if (close == std::string_view::npos) return -1;
            text.remove_prefix(close + 1);
            return 0;
        }
        if (count < capacity) values[count] = value;
        ++count;
    }
}

}  // namespace

bool ClogReader::open(const std::string& path, std::string& error) {
    if (!source_.open(path)) {
        error = "Can not open input file: " + path;
        return false;
    }
    badPixels_ = 0;
    firstBadLine_ = 0;
    maxValues_ = 0;
    return true;
}

bool ClogReader::parseFrameLine(std::string_view line, FrameInfo& frame) {
    std::vector<double> numbers = scanNumbers(line.substr(line.find("Frame") + 5));
    if (numbers.empty()) return false;
    // The run numbers frames itself; a written number beyond the range of frame numbers is kept as 0 (its
    // conversion would be undefined).
    constexpr double kFrameNumberLimit = 9.0e18;
    frame.number = std::fabs(numbers[0]) < kFrameNumberLimit ? static_cast<long long>(numbers[0]) : 0;
    frame.hasStartTime = numbers.size() >= 2;
    frame.startSeconds = numbers.size() >= 2 ? numbers[1] : 0.0;
    frame.acqSeconds = numbers.size() >= 3 ? numbers[2] : 0.0;
    return true;
}

int ClogReader::parsePixelLine(std::string_view line, std::vector<Pixel>& pixels) {
    int skipped = 0;
    double values[8];
    while (true) {
        size_t open = line.find('[');
        if (open == std::string_view::npos) break;
        line.remove_prefix(open + 1);
        int count = readGroup(line, values, 8);
        if (count < 0) {
            ++skipped;
            break;
        }
        if (count > maxValues_) maxValues_ = count;
        // NaN positions fail the whole-number test; a value or time that is no finite number is no pixel either
        // (it could not be ordered in time nor summed).
        if (count < 3 || values[0] < 0 || values[1] < 0 || values[0] >= width_ || values[1] >= height_ ||
            values[0] != std::floor(values[0]) || values[1] != std::floor(values[1]) || !std::isfinite(values[2]) ||
            (count >= 4 && !std::isfinite(values[3]))) {
            ++skipped;
            continue;
        }
        Pixel pixel;
        pixel.x = static_cast<int32_t>(values[0]);
        pixel.y = static_cast<int32_t>(values[1]);
        pixel.value = values[2];
        pixel.time = count >= 4 ? values[3] : 0.0;
        pixels.push_back(pixel);
    }
    return skipped;
}

ClogItem ClogReader::next(FrameInfo& frame, std::vector<Pixel>& pixels) {
    std::string_view line;
    while (source_.nextLine(line)) {
        std::string_view rest = line;
        skipBlanks(rest);
        if (rest.empty()) continue;
        if (startsWith(rest, "Frame")) {
            if (parseFrameLine(rest, frame)) return ClogItem::Frame;
            continue;
        }
        if (rest.find('[') == std::string_view::npos) continue;
        pixels.clear();
        int skipped = parsePixelLine(rest, pixels);
        if (skipped > 0) {
            if (firstBadLine_ == 0) firstBadLine_ = source_.lineNumber();
            badPixels_ += skipped;
        }
        if (!pixels.empty()) return ClogItem::Cluster;
    }
    return ClogItem::End;
}

FourthValue ClogReader::inspectFourthValue(const std::string& path, long long maxLines) {
    LineSource source;
    if (!source.open(path, 1 << 16)) return FourthValue::Absent;
    ClogReader reader(1 << 30, 1 << 30);
    std::vector<Pixel> pixels;
    std::string_view line;
    long long pixelLines = 0;
    bool fourth = false;
    while (pixelLines < maxLines && source.nextLine(line)) {
        if (line.find('[') == std::string_view::npos || startsWith(line, "F")) continue;
        ++pixelLines;
        pixels.clear();
        reader.maxValues_ = 0;
        reader.parsePixelLine(line, pixels);
        if (reader.maxValues_ < 4) continue;
        fourth = true;
        for (const Pixel& pixel : pixels) {
            if (pixel.time != std::floor(pixel.time)) return FourthValue::TimeOfArrival;
        }
    }
    return fourth ? FourthValue::Integer : FourthValue::Absent;
}

}  // namespace zel::clusterer
