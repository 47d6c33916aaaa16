#pragma once
// One binned axis of a histogram. NBin regular bins lie between Min and Max; the low-edge list has NBin + 2
// entries: entry 0 repeats Min (the underflow slot), entries 1 ... NBin are the lower edges of the bins and entry
// NBin + 1 equals Max (the lower edge of the overflow slot). Bins are open below and closed above, except that the
// first bin also holds Min.
//
// An axis laid out with equal bins computes its edges instead of keeping the list: a run with particle classes has
// hundreds of such axes with up to 200 000 bins each. Edges given as a list (variable bins, or equal bins read back
// from files) are kept as given.
#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace zel {

struct HistAxis {
    int nBin = 0;
    double min = 0;
    double max = 0;
    std::vector<double> lowEdges;  // the given edges; empty while the edges are computed
    int equidist = 1;
    double width = -1;
    bool equalLayout = false;  // laid out with equal bins by layoutEquidistant

    // Values this close to a bin edge, in units of the bin width, count as lying on it.
    static constexpr double kEdgeTolerance = 1e-10;

    // The axis as plain values, for loops that find many slots: a copy that stays in registers while the loop
    // writes histogram contents.
    struct Locator {
        const double* edges;  // the given edges, or nullptr
        bool usable;          // false when the axis has no edges
        double min;
        double max;
        double width;
        int nBin;
        bool equal;

        // As HistAxis::find.
        int find(double x) const {
            if (!usable) return -1;
            if (!(x >= min)) return 0;
            if (x > max) return nBin + 1;
            if (x == min) return 1;
            if (equal) {
                // t >= 0 here, so truncation is the floor; a value within the tolerance above an edge belongs to
                // the bin below it (upper edges are inclusive), anything else to the bin it lies in.
                const double t = (x - min) / width;
                const int below = static_cast<int>(t);
                const int bin = t - below < kEdgeTolerance ? below : below + 1;
                return bin > nBin ? nBin : bin < 1 ? 1 : bin;
            }
            // The first upper edge at or above x closes x's bin; as x <= Max, it is one of the nBin upper edges.
            // The search halves the range without branching on the comparisons, which are as good as random for
            // the values of a run.
            const double* first = edges + 2;
            size_t length = static_cast<size_t>(nBin);
            while (length > 1) {
                const size_t half = length / 2;
                first += static_cast<size_t>(first[half - 1] < x) * half;
                length -= half;
            }
            return static_cast<int>(first - edges) - 1;
        }
    };
    Locator locator() const {
        // Computed edges are always equal bins, whatever the flag says.
        const bool equal = equidist == 1 || lowEdges.empty();
        return {lowEdges.empty() ? nullptr : lowEdges.data(), hasEdges(), min, max, width, nBin, equal};
    }

    // Slot of x: 0 below Min (and for NaN), NBin + 1 above Max, -1 when the axis has no edges. O(1) for equal bins,
    // a binary search over the edges otherwise.
    int find(double x) const { return locator().find(x); }

    bool computedEdges() const { return equalLayout && lowEdges.empty(); }
    bool hasEdges() const { return computedEdges() || !lowEdges.empty(); }
    // Entries of the low-edge list: NBin + 2 once laid out, 0 without edges.
    size_t edgeCount() const { return computedEdges() ? static_cast<size_t>(nBin) + 2 : lowEdges.size(); }
    // Entry i of the low-edge list (i < edgeCount()). Computed edges are the values an edge list of equal bins
    // holds: Min + (i - 1) * width between the first and the last, which are Min and Max themselves.
    double edge(size_t i) const {
        if (!computedEdges()) return lowEdges[i];
        if (i <= 1) return min;
        if (i > static_cast<size_t>(nBin)) return max;
        return min + static_cast<double>(i - 1) * width;
    }
    // The whole low-edge list.
    std::vector<double> edgeList() const;
    // Index i >= 2 of the first edge not above the one before it, or edgeCount() when the edges rise throughout.
    size_t firstNotRising() const;
    // True when both axes find the same slot for every value: the same bins, limits and edges.
    bool sameBins(const HistAxis& other) const;

    // Midpoint of bin i (1 ... NBin).
    double center(int i) const { return 0.5 * (edge(static_cast<size_t>(i)) + edge(static_cast<size_t>(i) + 1)); }

    // Equal bins of width (max - min) / nBin; the last edge is Max itself so that it matches exactly.
    void layoutEquidistant(int bins, double lo, double hi);
    // Bins between consecutive entries of `edges` (n + 1 ascending values for n bins); the first is repeated in
    // front as the underflow slot's edge.
    void layoutFromEdges(std::span<const double> edges);
    // The n + 1 bin edges (entries 1 ... NBin + 1), as written to and read from information files.
    std::vector<double> binEdges() const;

    // Appends the consistency findings of the axis to `findings`. `label` names the axis in the texts ("" or
    // "X "), `minName` and `maxName` its limits ("Xmin", "Ymax", ...).
    void check(const std::string& label, const std::string& minName, const std::string& maxName,
               std::vector<std::string>& findings) const;
};

}  // namespace zel
