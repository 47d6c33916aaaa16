#include "hist/HistAxis.h"

#include <cmath>

#include "common/Text.h"

namespace zel {

void HistAxis::layoutEquidistant(int bins, double lo, double hi) {
    nBin = bins;
    min = lo;
    max = hi;
    width = (hi - lo) / bins;
    equidist = 1;
    lowEdges.assign(static_cast<size_t>(bins) + 2, lo);
    for (int k = 1; k < bins; ++k) lowEdges[static_cast<size_t>(k) + 1] = lo + k * width;
    lowEdges.back() = hi;
}

void HistAxis::layoutFromEdges(const std::vector<double>& edges) {
    lowEdges.clear();
    lowEdges.reserve(edges.size() + 1);
    lowEdges.push_back(edges.front());
    lowEdges.insert(lowEdges.end(), edges.begin(), edges.end());
    nBin = static_cast<int>(edges.size()) - 1;
    min = edges.front();
    max = edges.back();
    equidist = 0;
    width = -1;
}

std::vector<double> HistAxis::binEdges() const {
    if (lowEdges.size() < 2) return {};
    return std::vector<double>(lowEdges.begin() + 1, lowEdges.end());
}

void HistAxis::check(const std::string& label, const std::string& minName, const std::string& maxName,
                     std::vector<std::string>& findings) const {
    const size_t count = lowEdges.size();
    if (count < 3) {
        findings.push_back("Vector for " + label + "bin low edges is smaller than 3: " + std::to_string(count));
        return;
    }
    const std::string countText = std::to_string(count);
    if (nBin < static_cast<int>(count) - 2) {
        findings.push_back("Count of bins " + label + "NBin " + std::to_string(nBin) +
                           " is less than size of vector for " + label + "bin low edges " + countText);
    } else if (nBin > static_cast<int>(count) - 2) {
        findings.push_back("Count of bins " + label + "NBin " + std::to_string(nBin) +
                           " is more than size of vector for " + label + "bin low edges " + countText);
    }
    if (lowEdges.front() != min) {
        findings.push_back(minName + " " + formatG(min) + " is different than value stored in vector with " + label +
                           "low edges " + formatG(lowEdges.front()));
    }
    if (lowEdges.back() != max) {
        findings.push_back(maxName + " " + formatG(max) + " is different than value stored in vector with " + label +
                           "low edges " + formatG(lowEdges.back()));
    }
    // Bin search relies on strictly rising edges from the first bin on.
    for (size_t i = 2; i < count; ++i) {
        if (!(lowEdges[i] > lowEdges[i - 1])) {
            findings.push_back("Bin low edges " + label + "are not in ascending order at index " + std::to_string(i) +
                               ": " + formatG(lowEdges[i - 1]) + " and " + formatG(lowEdges[i]));
            break;
        }
    }
    if (equidist == 1 && count > 4) {
        const double first = lowEdges[2] - lowEdges[1];
        const double second = lowEdges[3] - lowEdges[2];
        if (std::fabs(first - second) > 1e-6 * std::fabs(first)) {
            findings.push_back("Histogram should be equidistant in width of " + label +
                               "bins but frist two bins have different width: " + formatG(first) + " " +
                               formatG(second));
        }
    }
    if (equidist == 1 && !(width > 0)) {
        findings.push_back("Bin width " + label + "of an equidistant histogram is not positive: " + formatG(width));
    }
}

}  // namespace zel
