#include "hist/HistAxis.h"

#include <cmath>

#include "common/NumberText.h"
#include "common/Text.h"

namespace zel {

void HistAxis::layoutEquidistant(int bins, double lo, double hi) {
    nBin = bins;
    min = lo;
    max = hi;
    width = (hi - lo) / bins;
    equidist = 1;
    equalLayout = true;
    lowEdges.clear();
    lowEdges.shrink_to_fit();
}

void HistAxis::layoutFromEdges(std::span<const double> edges) {
    lowEdges.clear();
    lowEdges.reserve(edges.size() + 1);
    lowEdges.push_back(edges.front());
    lowEdges.insert(lowEdges.end(), edges.begin(), edges.end());
    nBin = static_cast<int>(edges.size()) - 1;
    min = edges.front();
    max = edges.back();
    equidist = 0;
    width = -1;
    equalLayout = false;
}

std::vector<double> HistAxis::edgeList() const {
    std::vector<double> edges(edgeCount());
    for (size_t i = 0; i < edges.size(); ++i) edges[i] = edge(i);
    return edges;
}

size_t HistAxis::firstNotRising() const {
    const size_t count = edgeCount();
    if (!computedEdges()) {
        for (size_t i = 2; i < count; ++i)
            if (!(lowEdges[i] > lowEdges[i - 1])) return i;
        return count;
    }
    // Min, Min + width, ..., Min + (NBin - 1) width, then Max, without the lookups of edge().
    double previous = min;
    for (size_t i = 2; i + 1 < count; ++i) {
        const double current = min + static_cast<double>(i - 1) * width;
        if (!(current > previous)) return i;
        previous = current;
    }
    return count >= 3 && !(max > previous) ? count - 1 : count;
}

bool HistAxis::sameBins(const HistAxis& other) const {
    if (nBin != other.nBin || min != other.min || max != other.max || edgeCount() != other.edgeCount()) return false;
    if ((equidist == 1) != (other.equidist == 1) || width != other.width) return false;
    if (computedEdges() && other.computedEdges()) return true;  // the edges follow from the limits and the width
    for (size_t i = 0; i < edgeCount(); ++i)
        if (edge(i) != other.edge(i)) return false;
    return true;
}

std::vector<double> HistAxis::binEdges() const {
    std::vector<double> edges = edgeList();
    if (edges.size() < 2) return {};
    edges.erase(edges.begin());
    return edges;
}

void HistAxis::check(const std::string& label, const std::string& minName, const std::string& maxName,
                     std::vector<std::string>& findings) const {
    const size_t count = edgeCount();
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
    if (edge(0) != min) {
        findings.push_back(minName + " " + formatG(min) + " is different than value stored in vector with " + label +
                           "low edges " + formatG(edge(0)));
    }
    if (edge(count - 1) != max) {
        findings.push_back(maxName + " " + formatG(max) + " is different than value stored in vector with " + label +
                           "low edges " + formatG(edge(count - 1)));
    }
    // Bin search relies on strictly rising edges from the first bin on.
    if (const size_t i = firstNotRising(); i < count) {
        findings.push_back("Bin low edges " + label + "are not in ascending order at index " + std::to_string(i) +
                           ": " + formatG(edge(i - 1)) + " and " + formatG(edge(i)));
    }
    if (equidist == 1 && count > 4) {
        const double first = edge(2) - edge(1);
        const double second = edge(3) - edge(2);
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
