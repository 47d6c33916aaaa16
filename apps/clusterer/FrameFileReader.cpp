#include "FrameFileReader.h"

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

std::vector<FrameTimes> readDescriptorFile(const std::string& path) {
    std::vector<FrameTimes> times;
    LineSource source;
    if (!source.open(path, 1 << 16)) return times;
    enum class Pending { None, Start, Acq } pending = Pending::None;
    long long current = -1;  // frame of the block being read
    auto frameAt = [&times](long long index) -> FrameTimes& {
        if (static_cast<size_t>(index) >= times.size()) times.resize(static_cast<size_t>(index) + 1);
        return times[static_cast<size_t>(index)];
    };
    std::string_view line;
    while (source.nextLine(line)) {
        std::string_view rest = line;
        skipBlanks(rest);
        if (startsWith(rest, "[F")) {
            double number = 0.0;
            if (parseLeadingDouble(rest.substr(2), number) && number >= 0) current = static_cast<long long>(number);
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
        if (current < 0) {
            bool fresh = times.empty() || (pending == Pending::Start ? times.back().hasStart : times.back().hasAcq);
            index = static_cast<long long>(times.size()) - (fresh ? 0 : 1);
        }
        FrameTimes& frame = frameAt(index);
        if (pending == Pending::Start) {
            frame.startSeconds = value;
            frame.hasStart = true;
        } else {
            frame.acqSeconds = value;
            frame.hasAcq = true;
        }
        pending = Pending::None;
    }
    return times;
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
    if (std::string descriptor = findDescriptorFile(path); !descriptor.empty()) times_ = readDescriptorFile(descriptor);
    return true;
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
    if (row == 0) return Result::End;
    if (row != height_) {
        error = "Frame file " + path_ + " ends inside a frame (" + std::to_string(row) + " of " +
                std::to_string(height_) + " lines).";
        return Result::Error;
    }
    frame = FrameInfo{};
    if (framesRead_ < times_.size()) {
        frame.startSeconds = times_[framesRead_].startSeconds;
        frame.acqSeconds = times_[framesRead_].acqSeconds;
        frame.hasStartTime = times_[framesRead_].hasStart;
    }
    ++framesRead_;
    return Result::Frame;
}

}  // namespace zel::clusterer
