#pragma once
// Reader of cluster logs (".clog"): frame lines such as "Frame 12 (1686735362.528850, 5.000000 s)", then one
// cluster per line of bracketed pixel groups "[x, y, value]" or "[x, y, value, fourth]".
#include <string>
#include <vector>

#include "LineSource.h"
#include "Pixel.h"

namespace zel::clusterer {

enum class ClogItem { Frame, Cluster, End };

// What the fourth value of the pixel groups of a log is, judged from its first pixel lines.
enum class FourthValue { Absent, TimeOfArrival, Integer };

class ClogReader {
public:
    ClogReader(int width, int height) : width_(width), height_(height) {}

    bool open(const std::string& path, std::string& error);

    // The next frame line (fills `frame`: number as written, start and acquisition time) or cluster line (fills
    // `pixels`, the fourth value in `time`, 0 when the groups hold three values); End at the end of the file.
    ClogItem next(FrameInfo& frame, std::vector<Pixel>& pixels);

    // Pixel groups that were skipped: fewer than three numbers, or a position outside the matrix.
    long long badPixels() const { return badPixels_; }
    long long firstBadLine() const { return firstBadLine_; }
    // Largest number of values seen in one pixel group.
    int maxValuesPerPixel() const { return maxValues_; }
    long long bytesRead() const { return source_.bytesRead(); }
    // Why the reading stopped before the end of the file (a line over the length limit); empty when it did not.
    std::string failure() const { return source_.tooLong() ? "Input refused: " + source_.tooLongText() + "." : ""; }

    // Parses a frame line; false when it holds no frame number.
    static bool parseFrameLine(std::string_view line, FrameInfo& frame);
    // Parses the pixel groups of one line into `pixels` (appended); returns the number of skipped groups.
    int parsePixelLine(std::string_view line, std::vector<Pixel>& pixels);

    // Looks at up to `maxLines` pixel lines of a log: whether their groups carry a fourth value and whether any
    // fourth value has a fractional part (a time of arrival) or all are whole numbers (hit counts).
    static FourthValue inspectFourthValue(const std::string& path, long long maxLines = 10000);

private:
    int width_;
    int height_;
    LineSource source_;
    long long badPixels_ = 0;
    long long firstBadLine_ = 0;
    int maxValues_ = 0;
};

}  // namespace zel::clusterer
