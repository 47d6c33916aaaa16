#pragma once
// Reader of Timepix3 pixel data in text form (".t3pa"): a header line, then one pixel per line with the columns
// Index, Matrix Index, ToA, ToT, FToA, Overflow.
#include <string>
#include <vector>

#include "LineSource.h"
#include "Pixel.h"

namespace zel::clusterer {

class T3paReader {
public:
    T3paReader(int width, int height) : width_(width), height_(height) {}

    // False with a reason when the file cannot be opened.
    bool open(const std::string& path, std::string& error);

    // Appends up to `maxPixels` pixels to `out`; false when the file held no further pixel.
    // x = Matrix Index mod width, y = Matrix Index div width, time = ToA × 25 − FToA × 1.5625 ns, value = ToT.
    bool readPixels(std::vector<Pixel>& out, size_t maxPixels);

    // Lines that were no pixel (malformed, or a matrix index outside the matrix).
    long long badLines() const { return badLines_; }
    long long firstBadLine() const { return firstBadLine_; }
    long long bytesRead() const { return source_.bytesRead(); }
    // Why the reading stopped before the end of the file (a line over the length limit); empty when it did not.
    std::string failure() const { return source_.tooLong() ? "Input refused: " + source_.tooLongText() + "." : ""; }

    // One line of the file into a pixel; false when it is no valid pixel line.
    bool parseLine(std::string_view line, Pixel& pixel) const;

private:
    int width_;
    int height_;
    LineSource source_;
    long long badLines_ = 0;
    long long firstBadLine_ = 0;
};

}  // namespace zel::clusterer
