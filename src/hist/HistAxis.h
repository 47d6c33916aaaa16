#pragma once
// One binned axis of a histogram. NBin regular bins lie between Min and Max; the low-edge list has NBin + 2
// entries: entry 0 repeats Min (the underflow slot), entries 1 ... NBin are the lower edges of the bins and entry
// NBin + 1 equals Max (the lower edge of the overflow slot). Bins are open below and closed above, except that the
// first bin also holds Min.
#include <cstddef>
#include <string>
#include <vector>

namespace zel {

struct HistAxis {
    int nBin = 0;
    double min = 0;
    double max = 0;
    std::vector<double> lowEdges;
    int equidist = 1;
    double width = -1;

    // Values this close to a bin edge, in units of the bin width, count as lying on it.
    static constexpr double kEdgeTolerance = 1e-10;

    // The axis as plain values, for loops that find many slots: a copy that stays in registers while the loop
    // writes histogram contents.
    struct Locator {
        const double* edges;  // nullptr when the axis has no edges
        double min;
        double max;
        double width;
        int nBin;
        bool equal;

        // As HistAxis::find.
        int find(double x) const {
            if (edges == nullptr) return -1;
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
    Locator locator() const { return {lowEdges.empty() ? nullptr : lowEdges.data(), min, max, width, nBin, equidist == 1}; }

    // Slot of x: 0 below Min (and for NaN), NBin + 1 above Max, -1 when the axis has no edges. O(1) for equal bins,
    // a binary search over the edges otherwise.
    int find(double x) const { return locator().find(x); }

    // Midpoint of bin i (1 ... NBin).
    double center(int i) const { return 0.5 * (lowEdges[static_cast<size_t>(i)] + lowEdges[static_cast<size_t>(i) + 1]); }

    // Equal bins of width (max - min) / nBin; the last edge is Max itself so that it matches exactly.
    void layoutEquidistant(int bins, double lo, double hi);
    // Bins between consecutive entries of `edges` (n + 1 ascending values for n bins); the first is repeated in
    // front as the underflow slot's edge.
    void layoutFromEdges(const std::vector<double>& edges);
    // The n + 1 bin edges (entries 1 ... NBin + 1), as written to and read from information files.
    std::vector<double> binEdges() const;

    // Appends the consistency findings of the axis to `findings`. `label` names the axis in the texts ("" or
    // "X "), `minName` and `maxName` its limits ("Xmin", "Ymax", ...).
    void check(const std::string& label, const std::string& minName, const std::string& maxName,
               std::vector<std::string>& findings) const;
};

}  // namespace zel
