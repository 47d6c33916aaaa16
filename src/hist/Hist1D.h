#pragma once
// One-dimensional histogram of doubles: fills, finds bins, computes statistics, rebins, normalises, prints itself,
// and saves and loads itself as a data file (".hist", one line per bin) and an information file (".hist_info").
//
// Contents and low edges both have NBin + 2 entries: entry 0 is the underflow slot, entries 1 ... NBin the bins and
// entry NBin + 1 the overflow slot (see HistAxis for the edge layout).
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/ZeroedMemory.h"
#include "hist/Hist.h"
#include "hist/HistAxis.h"

namespace zel {

class Hist1D : public Hist {
public:
    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kCannotOpenLog = 100,
        kXminNotBelowXmax = 102,
        kNBinNotPositive = 103,
        kInitEquidistant = 104,
        kInitFailed = 105,
        kCheckFailed = 106,
        kTooFewEdges = 107,
        kInitVariable = 108,
        kConfigLoad = 109,
        kInitConfig = 110,
        kConfigRead = 111,
        kInitFromFiles = 114,
        kConfigFromFiles = 115,
        kDataFromFiles = 116,
        kCannotOpenData = 117,
        kCannotCountData = 118,
        kInfoNotRead = 119,
        kCannotWriteData = 120,
        kCannotWriteInfo = 121,
    };

    // Constructors report a failure and throw its code (std::runtime_error carrying the decimal code).
    // NBin equal bins between Xmin and Xmax.
    Hist1D(std::string title, int nBin, double xmin, double xmax, int errorCodeBase = 0,
           const MessageTarget& messages = {});
    // Variable bins between consecutive entries of `lowEdges` (n + 1 ascending edges for n bins).
    Hist1D(std::string title, const std::vector<double>& lowEdges, int errorCodeBase = 0,
           const MessageTarget& messages = {});
    // From a configuration ([HistPar] with NBin, Xmin, Xmax or BinLowEdge, ...): Reset, LoadConfig, Init. A
    // configuration assembled in memory (no input file name) is used as it is; one naming a file is loaded first.
    explicit Hist1D(std::shared_ptr<ConfigFile> config, int errorCodeBase = 0, const MessageTarget& messages = {});
    // From the files directory + name + infoEnding and directory + name + dataEnding, as written by Export.
    Hist1D(std::string directory, std::string name, std::string dataEnding, std::string infoEnding,
           int errorCodeBase = 0, const MessageTarget& messages = {});

    void Reset() override;
    // Lays out the bins from NBin, Xmin, Xmax or from the given edges and checks the histogram; 0 or a code.
    int Init() override;
    int LoadConfig() override;
    // Writes the data and information files; each replaces its target only when written completely.
    int Export() override;
    // Writes the histogram to standard output (statistics recomputed first once initialised).
    void Print() override;
    // The text that Print writes.
    std::string PrintText() const;
    // Reads the data file input directory + input name + input data ending after the information file.
    int LoadData() override;

    // Adds `weight` to the slot of x. No allocation; O(1) for equal bins, binary search for variable bins.
    void Fill(double x, double weight = 1.0) {
        const int bin = axis_.find(x);
        if (bin < 0) return;
        contents_[static_cast<size_t>(bin)] += weight;
        if (bin == 0) {
            underflow_ += weight;
        } else if (bin == axis_.nBin + 1) {
            overflow_ += weight;
        }
    }
    // Fill(value(i)) for i = 0 ... count - 1, in order, weight 1.
    template <class Value>
    void FillCounts(size_t count, Value&& value) {
        const HistAxis::Locator axis = axis_.locator();
        if (!axis.usable) return;
        double* contents = contents_.data();
        double under = 0;
        double over = 0;
        for (size_t i = 0; i < count; ++i) {
            const int bin = axis.find(value(i));
            contents[static_cast<size_t>(bin)] += 1.0;
            under += bin == 0;
            over += bin == axis.nBin + 1;
        }
        underflow_ += under;
        overflow_ += over;
    }
    // FillCounts of row i (value(i)) on sets[set[i]]: histograms of one binning (the sets of the classes, each
    // row in one), the bins found on the axis of sets[0]. At most kMaxSets sets.
    static constexpr size_t kMaxSets = 256;
    template <class Value>
    static void FillCountsInSets(std::span<Hist1D* const> sets, const uint8_t* set, size_t count, Value&& value) {
        const HistAxis::Locator axis = sets[0]->axis_.locator();
        if (!axis.usable || sets.size() > kMaxSets) return;
        // Only the entries of the sets are set: clearing all kMaxSets would cost more than a slice's fills.
        std::array<double*, kMaxSets> contents;
        std::array<double, kMaxSets> under;
        std::array<double, kMaxSets> over;
        for (size_t s = 0; s < sets.size(); ++s) {
            contents[s] = sets[s]->contents_.data();
            under[s] = over[s] = 0;
        }
        const int overBin = axis.nBin + 1;
        for (size_t i = 0; i < count; ++i) {
            const int bin = axis.find(value(i));
            const size_t s = set[i];
            contents[s][static_cast<size_t>(bin)] += 1.0;
            // Flows are rare: counting them on every row would chain the rows through the counters in memory.
            if (bin == 0 || bin == overBin) [[unlikely]] (bin == 0 ? under : over)[s] += 1.0;
        }
        for (size_t s = 0; s < sets.size(); ++s) {
            sets[s]->underflow_ += under[s];
            sets[s]->overflow_ += over[s];
        }
    }
    // Adds what `total` counts beyond the sum of `parts` (this one among them), histograms of this binning, to
    // the contents, under- and overflow: the clusters of a class that went only into the all-clusters set. Counts,
    // so every difference is exact.
    void AddRemainder(const Hist1D& total, std::span<const Hist1D* const> parts);
    // True when `other` has the same bins: the same count, limits and edges.
    bool SameBinning(const Hist1D& other) const;
    // 0 below Xmin, NBin + 1 above Xmax, -1 without edges. A value on a bin's upper edge belongs to that bin; Xmin
    // belongs to bin 1.
    int FindBin(double x) const { return axis_.find(x); }

    // Contents entry i (0 underflow, NBin + 1 overflow), or -1 outside the list.
    double GetBinContent(int i) const;
    // Sets entry i (ignored outside the list); entries 0 and NBin + 1 are mirrored into Underflow and Overflow.
    void SetBinContent(int i, double value);
    // Midpoint of bin i, 1 <= i <= NBin; any other index is reported and gives 0.
    double GetBinCenter(int i) const;
    // Low edge list entry i, or 0 outside the list.
    double GetBinLowEdge(int i) const;
    // Zeroes every entry, under- and overflow included.
    void ClearContents();

    // With a = b the sum of bins 1 ... NBin, otherwise of the bins whose centre lies in [a, b]; also stored.
    double Integral(double a = 0, double b = 0);
    // Bin with the largest (smallest non-zero) content whose centre lies in [a, b] (a = b: whole range); ties go
    // to the last such bin; 0 when none or a > b.
    int GetMaximumBin(double a = 0, double b = 0) const;
    int GetMinimumBin(double a = 0, double b = 0) const;
    // Lower edge of the first and upper edge of the last non-empty bin (Xmin, Xmax when none); also stored as the
    // auto range. Empty for a histogram without contents.
    std::vector<double> XRange();

    // Mean, Std and their errors over bins 1 ... NBin, the entry count being the integral of the whole range.
    void ComputeStatistics();
    // Scales every entry by 1 / m, m the integer nearest to integral / norm. -1 without content, -2 for norm < 1.
    int Normalize(double norm);
    // Merges runs of k bins. A remainder forms a narrower last bin that counts in NBin, Xmax stays, and the
    // histogram then has variable bins. -1 for k < 2 or without edges.
    int Rebin(int k);
    // Regroups the bins, by their centres, into the variable bins between the ascending `edges`; bins below and
    // above them join the under- and overflow. -1 ... -5 on failure, histogram unchanged.
    int RebinToEdges(const std::vector<double>& edges);

    int GetNBin() const { return axis_.nBin; }
    double GetXmin() const { return axis_.min; }
    double GetXmax() const { return axis_.max; }
    double GetRangeWidth() const { return axis_.max - axis_.min; }
    int GetBinEquidist() const { return axis_.equidist; }
    // Width of the bins of an equidistant histogram, -1 otherwise.
    double GetBinWidth() const { return axis_.width; }
    std::vector<double> GetLowEdges() const { return axis_.edgeList(); }
    const ZeroedDoubles& GetContents() const { return contents_; }
    const HistAxis& GetAxis() const { return axis_; }
    double GetUnderflow() const { return underflow_; }
    double GetOverflow() const { return overflow_; }
    // The integral stored by the last Integral, ComputeStatistics or Normalize.
    double GetIntegral() const { return integral_; }
    const std::vector<double>& GetAutoRange() const { return autoRange_; }

    double GetMean() const { return mean_; }
    double GetMeanErr() const { return meanErr_; }
    double GetStd() const { return std_; }
    double GetStdErr() const { return stdErr_; }


    int GetNumRebinPlot() const { return numRebinPlot_; }
    bool GetDoLogX() const { return doLogX_; }
    bool GetDoLogY() const { return doLogY_; }
    bool GetDoAutoRange() const { return doAutoRange_; }
    void SetNumRebinPlot(int k) { numRebinPlot_ = k; }
    void SetDoLogX(bool on) { doLogX_ = on; }
    void SetDoLogY(bool on) { doLogY_ = on; }
    void SetDoAutoRange(bool on) { doAutoRange_ = on; }

private:
    int ExtremeBin(double a, double b, bool maximum) const;
    // Builds edges and contents from NBin, Xmin, Xmax or from the given edges; false when there is nothing to build
    // from.
    void LayOutBins();
    // Reports every inconsistency; false (after "Histogram variables check failed.") when there was one.
    bool CheckConsistency() const;
    int CheckedCode() const { return errorBase_ - kCheckFailed; }
    void MirrorFlows();
    // Calls visit(i) for the bins 1 ... NBin in order, passing over those on pages never written (all empty).
    template <class Visit>
    void forEachWrittenBin(Visit&& visit) const {
        if (axis_.nBin <= 0 || contents_.size() < static_cast<size_t>(axis_.nBin) + 1) return;
        WrittenPages(contents_.data(), contents_.size() * sizeof(double))
            .forEachRun(1, static_cast<size_t>(axis_.nBin) + 1, sizeof(double), [&](size_t first, size_t last) {
                for (size_t i = first; i < last; ++i) visit(i);
            });
    }
    void ReadContentsLines(const std::string& text, size_t usableLines);

    HistAxis axis_;
    ZeroedDoubles contents_;
    double overflow_ = 0;
    double underflow_ = 0;
    std::vector<double> autoRange_;
    double integral_ = 0;
    int numRebinPlot_ = 0;
    bool doLogX_ = false;
    bool doLogY_ = false;
    bool doAutoRange_ = true;
    double mean_ = -666;
    double meanErr_ = -666;
    double std_ = -666;
    double stdErr_ = -666;
};

}  // namespace zel
