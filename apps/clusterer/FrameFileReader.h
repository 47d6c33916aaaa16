#pragma once
// Reader of frame matrices in text form: ".txt" (one frame of `height` lines of `width` numbers) and ".pmf"
// (several such frames one after another). Frame start and acquisition times come from a descriptor file beside
// the input (P + ".dsc" or P with its extension replaced by ".dsc") when there is one.
#include <map>
#include <string>
#include <vector>

#include "LineSource.h"
#include "Pixel.h"

namespace zel::clusterer {

// Start and acquisition times of the frames of one file, in file order.
struct FrameTimes {
    double startSeconds = 0.0;
    double acqSeconds = 0.0;
    bool hasStart = false;
    bool hasAcq = false;
};

// The times a descriptor gives, by frame index (0 for the first frame of the file). Only described frames take
// room: a block "[F4000000000]" costs one entry, not four billion.
using DescriptorTimes = std::map<long long, FrameTimes>;

// Reads a descriptor file: a block per frame opened by a line "[F<n>]"; inside it a line holding the quoted key
// "Start time" or "Acq time" is followed by a type line and then a line that starts with the value. Frames from
// `frameLimit` on are left out (the frame file can not hold them), and so are blocks whose index is no number from
// 0 up. False, with the reason, when a line is longer than the line limit.
bool readDescriptorFile(const std::string& path, long long frameLimit, DescriptorTimes& times, std::string& error);

// The descriptor file that belongs to a frame file, or an empty string.
std::string findDescriptorFile(const std::string& framePath);

class FrameFileReader {
public:
    FrameFileReader(int width, int height) : width_(width), height_(height) {}

    // Opens the frame file and loads its descriptor when present.
    bool open(const std::string& path, std::string& error);

    enum class Result { Frame, End, Error };
    // The non-zero pixels of the next frame (time 0); `frame` gets the descriptor's times when known.
    Result next(std::vector<Pixel>& pixels, FrameInfo& frame, std::string& error);

    bool hasDescriptor() const { return !times_.empty(); }
    // At most as many frames as a file of `bytes` bytes can hold: each frame is at least `height` lines of
    // `width` numbers, one character and one separator each.
    static long long frameLimit(unsigned long long bytes, int width, int height);
    long long bytesRead() const { return source_.bytesRead(); }

private:
    int width_;
    int height_;
    std::string path_;
    LineSource source_;
    DescriptorTimes times_;
    size_t framesRead_ = 0;
};

}  // namespace zel::clusterer
