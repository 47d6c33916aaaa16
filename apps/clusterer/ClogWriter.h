#pragma once
// Writer of the cluster log: frame lines and one line of bracketed pixel groups per cluster.
#include <span>
#include <string>

#include "common/OutputText.h"
#include "Pixel.h"

namespace zel::clusterer {

class ClogWriter {
public:
    bool open(const std::string& path, std::string& error);
    // "Frame N (start, acq s)" with six decimals.
    void writeFrame(long long number, double startSeconds, double acqSeconds);
    // One line of "[x, y, value] " groups, or "[x, y, value, fourth] " when `withFourth` is set; values and times
    // with up to six decimals.
    void writeCluster(std::span<const Pixel> pixels, bool withFourth);
    bool close() { return file_.close(); }
    bool isOpen() const { return file_.isOpen(); }

private:
    OutputText file_;
};

}  // namespace zel::clusterer
