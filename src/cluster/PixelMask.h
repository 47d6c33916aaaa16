#pragma once
// The pixel mask: one active flag per sensor pixel, loaded from a mask file in matrix or list format, and the
// masked copies of pixel lists and cluster logs that leave the masked pixels out before clustering or reading.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/Messages.h"

namespace zel {

class PixelMask {
public:
    static constexpr int kCannotOpen = -2000;
    static constexpr int kLoadFailed = -2001;
    // The largest mask file read: a matrix of 256 x 256 numbers is well under a megabyte.
    static constexpr uintmax_t kMaxFileBytes = uintmax_t{64} << 20;

    // All pixels of a width x height sensor active. Sizes below 1 are taken as 1.
    PixelMask(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    size_t pixelCount() const { return active_.size(); }
    size_t maskedCount() const { return masked_; }
    bool matrixFormat() const { return matrixFormat_; }
    // N / (N - M): how much larger the products of the pixels left active are than those of the whole sensor.
    double areaFactor() const;

    bool isActive(int64_t x, int64_t y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_ && isActiveAt(static_cast<uint64_t>(x + y * width_));
    }
    // By matrix index x + y * width; an index beyond the sensor is not active.
    bool isActiveAt(uint64_t index) const { return index < active_.size() && active_[index] != 0; }
    void maskPixel(int64_t x, int64_t y);

    // Reads path + name and masks what it lists. 0, kCannotOpen or kLoadFailed, each reported.
    int load(const std::string& fullName, const MessageTarget& to);
    // The same from the text of a mask file.
    int loadText(std::string_view text, const MessageTarget& to);

    // What writing a masked copy has seen.
    struct CopyCounts {
        double linesRead = 0;   // pixel lines of a pixel list, cluster lines of a cluster log
        double pixelsKept = 0;
        double pixelsMasked = 0;
    };
    // A pixel list, one pixel per line after a header line; the second number of a line is its matrix index.
    // A line of a masked pixel is dropped and counted, a line beyond the sensor dropped without counting.
    void copyPixelList(std::istream& in, std::ostream& out, CopyCounts& counts) const;
    // A cluster log: frame lines as they are, cluster lines with their active pixels only.
    void copyClusterLog(std::istream& in, std::ostream& out, CopyCounts& counts) const;

    // Writes the masked copy of `input` into `output` (through a temporary file beside it, so that the output is
    // whole or absent). Refuses an output that is the input itself. 0, or -1 with a message.
    int writeMaskedCopy(const std::string& input, const std::string& output, bool clusterLog, CopyCounts& counts,
                        const MessageTarget& to) const;

private:
    void loadMatrix(std::string_view text);
    // False when the line holds nothing a list can use.
    bool loadListLine(std::string_view line, const MessageTarget& to);
    void maskRectangle(double x0, double x1, double y0, double y1);

    int width_;
    int height_;
    std::vector<uint8_t> active_;
    size_t masked_ = 0;
    bool matrixFormat_ = false;
};

}  // namespace zel
