#include "FrameFileReader.h"

#include <algorithm>
#include <filesystem>

#include "TextScan.h"
#include "common/Text.h"

namespace zel::clusterer {
namespace {

bool startsWithNumber(std::string_view line) {
    skipBlanks(line);
    if (line.empty()) return false;
    char ch = line.front();
    return (ch >= '0' && ch <= '9') || ch == '-' || ch == '+' || ch == '.';
}

}  // namespace

bool readDescriptorFile(const std::string& path, long long frameLimit, DescriptorTimes& times, std::string& error) {
    times.clear();
    LineSource source;
    if (!source.open(path, 1 << 16)) return true;
    enum class Pending { None, Start, Acq } pending = Pending::None;
    constexpr long long kNoBlock = -1;  // no block seen yet: the values list the frames in order
    constexpr long long kIgnoredBlock = -2;
    long long current = kNoBlock;  // frame of the block being read
    std::string_view line;
    while (source.nextLine(line)) {
        std::string_view rest = line;
        skipBlanks(rest);
        if (startsWith(rest, "[F")) {
            double number = 0.0;
            // Checked as a double first: the conversion of a number beyond the frames of the file is undefined.
            bool usable = parseLeadingDouble(rest.substr(2), number) && number >= 0 &&
                          number < static_cast<double>(frameLimit);
            current = usable ? static_cast<long long>(number) : kIgnoredBlock;
            pending = Pending::None;
            continue;
        }
        if (contains(rest, "\"Start time\"")) {
            pending = Pending::Start;
            continue;
        }
        if (contains(rest, "\"Acq time\"")) {
            pending = Pending::Acq;
            continue;
        }
        if (pending == Pending::None || !startsWithNumber(rest)) continue;
        double value = 0.0;
        if (!parseLeadingDouble(rest, value)) continue;
        // A descriptor without frame blocks lists the frames in order: a value that the last frame already
        // has starts the next frame.
        long long index = current;
        if (current == kNoBlock) {
            const auto last = times.rbegin();
            bool fresh = last == times.rend() ||
                         (pending == Pending::Start ? last->second.hasStart : last->second.hasAcq);
            index = last == times.rend() ? 0 : last->first + (fresh ? 1 : 0);
        }
        if (index < 0 || index >= frameLimit) {
            pending = Pending::None;
            continue;
        }
        FrameTimes& frame = times[index];
        if (pending == Pending::Start) {
            frame.startSeconds = value;
            frame.hasStart = true;
        } else {
            frame.acqSeconds = value;
            frame.hasAcq = true;
        }
        pending = Pending::None;
    }
    if (source.tooLong()) {
        error = "Descriptor refused: " + source.tooLongText() + ".";
        return false;
    }
    return true;
}

long long FrameFileReader::frameLimit(unsigned long long bytes, int width, int height) {
    const unsigned long long perFrame = 2ULL * static_cast<unsigned long long>(std::max(width, 1)) *
                                        static_cast<unsigned long long>(std::max(height, 1));
    return static_cast<long long>(bytes / perFrame + 1);
}

std::string findDescriptorFile(const std::string& framePath) {
    namespace fs = std::filesystem;
    std::error_code code;
    std::string beside = framePath + ".dsc";
    if (fs::is_regular_file(beside, code)) return beside;
    fs::path replaced = fs::path(framePath).replace_extension(".dsc");
    if (fs::is_regular_file(replaced, code)) return replaced.string();
    return {};
}

bool FrameFileReader::open(const std::string& path, std::string& error) {
    if (!source_.open(path)) {
        error = "Can not open input file: " + path;
        return false;
    }
    path_ = path;
    framesRead_ = 0;
    times_.clear();
    std::string descriptor = findDescriptorFile(path);
    if (descriptor.empty()) return true;
    std::error_code code;
    const auto bytes = std::filesystem::file_size(path, code);
    return readDescriptorFile(descriptor, frameLimit(code ? 0 : bytes, width_, height_), times_, error);
}

FrameFileReader::Result FrameFileReader::next(std::vector<Pixel>& pixels, FrameInfo& frame, std::string& error) {
    pixels.clear();
    std::string_view line;
    int row = 0;
    while (row < height_ && source_.nextLine(line)) {
        std::string_view rest = line;
        skipBlanks(rest);
        if (rest.empty()) continue;
        int column = 0;
        double value = 0.0;
        while (column < width_ && nextNumber(rest, value)) {
            if (value != 0.0) pixels.push_back(Pixel{column, row, value, 0.0});
            ++column;
        }
        skipBlanks(rest);
        if (column != width_ || !rest.empty()) {
            error = "Frame file " + path_ + ": line " + std::to_string(source_.lineNumber()) + " does not hold " +
                    std::to_string(width_) + " numbers.";
            return Result::Error;
        }
        ++row;
    }
    if (source_.tooLong()) {
        error = "Frame file refused: " + source_.tooLongText() + ".";
        return Result::Error;
    }
    if (row == 0) return Result::End;
    if (row != height_) {
        error = "Frame file " + path_ + " ends inside a frame (" + std::to_string(row) + " of " +
                std::to_string(height_) + " lines).";
        return Result::Error;
    }
    frame = FrameInfo{};
    if (auto described = times_.find(static_cast<long long>(framesRead_)); described != times_.end()) {
        frame.startSeconds = described->second.startSeconds;
        frame.acqSeconds = described->second.acqSeconds;
        frame.hasStartTime = described->second.hasStart;
    }
    ++framesRead_;
    return Result::Frame;
}

}  // namespace zel::clusterer
