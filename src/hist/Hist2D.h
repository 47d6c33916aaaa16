#pragma once
// Two-dimensional histogram: distributions of one cluster variable against another, sensor maps over the pixel
// matrix and the 2D products of the analyses.
//
// Contents are one flat list of NBinX * NBinY + 2 entries. Bin (ix, iy), 1 <= ix <= NBinX and 1 <= iy <= NBinY, is
// entry (iy - 1) * NBinX + ix, so rows of constant y follow each other; entry 0 collects the corner below both
// minima and the last entry the corner above both maxima. Points outside one axis only go to the per-row and
// per-column under- and overflow lists.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hist/Hist.h"
#include "hist/Hist1D.h"
#include "hist/HistAxis.h"

namespace zel {

class Hist2D : public Hist {
public:
    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kCannotOpenLog = 100,
        kXminNotBelowXmax = 102,
        kNBinXNotPositive = 103,
        kYminNotBelowYmax = 104,
        kNBinYNotPositive = 105,
        kInitEquidistant = 106,
        kCheckFailed = 107,
        kConfigRead = 108,
        kInitFailed = 109,
        kCannotWriteData = 110,
        kCannotWriteInfo = 111,
        kTooFewEdges = 112,
        kInitVariable = 113,
        kConfigLoad = 114,
        kInitConfig = 115,
        kConfigFromFiles = 118,
        kDataFromFiles = 119,
        kInitFromFiles = 120,
        kCannotOpenData = 121,
        kCannotCountData = 122,
        kInfoNotRead = 123,
    };

    // The four corners in OverUnderFlowXY.
    enum Corner : int { kUnderUnder = 0, kOverUnder = 1, kUnderOver = 2, kOverOver = 3 };

    // Constructors report a failure and throw its code (std::runtime_error carrying the decimal code).
    Hist2D(std::string title, int nBinX, double xmin, double xmax, int nBinY, double ymin, double ymax,
           int errorCodeBase = 0, const MessageTarget& messages = {});
    // Variable bins on both axes from n + 1 ascending edges each.
    Hist2D(std::string title, const std::vector<double>& lowEdgesX, const std::vector<double>& lowEdgesY,
           int errorCodeBase = 0, const MessageTarget& messages = {});
    // From a configuration ([HistPar] with NBinX, Xmin, ... or BinLowEdgeX, BinLowEdgeY): Reset, LoadConfig,
    // Init. A configuration assembled in memory (no input file name) is used as it is.
    explicit Hist2D(std::shared_ptr<ConfigFile> config, int errorCodeBase = 0, const MessageTarget& messages = {});
    // From the files directory + name + infoEnding and directory + name + dataEnding, as written by Export.
    Hist2D(std::string directory, std::string name, std::string dataEnding, std::string infoEnding,
           int errorCodeBase = 0, const MessageTarget& messages = {});

    void Reset() override;
    int Init() override;
    int LoadConfig() override;
    // Writes the data and information files; each replaces its target only when written completely.
    int Export() override;
    void Print() override;
    std::string PrintText() const;
    int LoadData() override;

    // Adds `weight` at (x, y). No allocation; O(1) per equidistant axis.
    void Fill(double x, double y, double weight = 1.0) {
        const int ix = axisX_.find(x);
        const int iy = axisY_.find(y);
        if (ix < 0 || iy < 0) return;
        const int nx = axisX_.nBin;
        const int ny = axisY_.nBin;
        const bool xIn = ix >= 1 && ix <= nx;
        const bool yIn = iy >= 1 && iy <= ny;
        if (xIn && yIn) {
            contents_[static_cast<size_t>(iy - 1) * static_cast<size_t>(nx) + static_cast<size_t>(ix)] += weight;
        } else {
            FillOutside(ix, iy, weight);
        }
    }
    // Hist1D::AddRemainder for the contents and every flow.
    void AddRemainder(const Hist2D& total, std::span<const Hist2D* const> parts);
    // True when `other` has the same bins on both axes.
    bool SameBinning(const Hist2D& other) const;
    // Fill for a point known to lie inside the matrix, by the flat index of its bin (GetFlatIndex).
    void FillFlatBin(size_t flat, double weight) { contents_[flat] += weight; }
    // The contents by flat index, for fills that reach the bins of many histograms of one binning row by row.
    double* FlatBins() { return contents_.data(); }
    // How fills reach the bins: at a few places (the default) or all over (a sensor map), which lays them out in
    // huge pages. Set before the first fill: the contents start again from zeros.
    void SetBinFilling(Filling filling);
    // (ix, iy), each found on its own axis: 0 below, NBin + 1 above, -1 without edges.
    std::pair<int, int> FindBin(double x, double y) const { return {axisX_.find(x), axisY_.find(y)}; }

    // Content of the bin holding (x, y), or -1 when its flat index falls outside 0 ... NBinX * NBinY + 1.
    double GetBinContent(double x, double y) const;
    // Flat entry i, or -1 outside the list.
    double GetBinContent(int i) const;
    // Sets flat entry i (ignored outside the list) without touching statistics or the under/overflow lists.
    void SetBinContent(int i, double value);
    // Flat entry of bin (ix, iy) for 1 <= ix <= NBinX, 1 <= iy <= NBinY.
    int GetFlatIndex(int ix, int iy) const { return (iy - 1) * axisX_.nBin + ix; }
    // (x centre, y centre), (x low, y low) and (x high, y high) of flat bin i, 1 <= i <= NBinX * NBinY; any other
    // index is reported and gives (0, 0).
    std::pair<double, double> GetBinCenter(int i) const;
    std::pair<double, double> GetBinLowEdges(int i) const;
    std::pair<double, double> GetBinHighEdges(int i) const;

    // Zeroes every content, rebuilding the list when its size is wrong; with `underOverflow` also the lists.
    void ClearContents(bool underOverflow);
    // Divides every content by integral / norm and clears the under/overflow lists and the statistics; -1 without
    // content.
    int Normalize(double norm);
    // Multiplies entry by entry; -1 (receiver unchanged) when the lists differ in length.
    int Multiply(const Hist2D& other);
    // Sum of the regular bins 1 ... NBinX * NBinY; also stored.
    double Integral();

    // Build (or refill) the projection onto X (Y) and take its statistics into MeanX ... StdX_Err (MeanY ...).
    // -1 when the projection cannot be created.
    int ProfileX();
    int ProfileY();
    const Hist1D* GetProfileX() const { return profileX_ ? &*profileX_ : nullptr; }
    const Hist1D* GetProfileY() const { return profileY_ ? &*profileY_ : nullptr; }

    // Writes the contents as a matrix, one line per row, to FileOut_Path + FileOut_Name + ".txt"; with `range`
    // only the rows and columns inside the range of non-empty bins. 0, or -1 when the file cannot be written.
    int ExportMatrix(bool range);
    // Reads a text matrix (one line per row) into the contents; an empty path reads the input data file. The matrix
    // must match NBinX x NBinY. False when the file cannot be read or does not fit.
    bool LoadHist_OnlyCont_FromMatrix(const std::string& path);

    unsigned GetNBin() const { return static_cast<unsigned>(axisX_.nBin) * static_cast<unsigned>(axisY_.nBin); }
    int GetNBinX() const { return axisX_.nBin; }
    int GetNBinY() const { return axisY_.nBin; }
    double GetXmin() const { return axisX_.min; }
    double GetXmax() const { return axisX_.max; }
    double GetYmin() const { return axisY_.min; }
    double GetYmax() const { return axisY_.max; }
    int GetBinEquidist() const { return binEquidist_; }
    int GetBinEquidistX() const { return axisX_.equidist; }
    int GetBinEquidistY() const { return axisY_.equidist; }
    double GetBinWidthX() const { return axisX_.width; }
    double GetBinWidthY() const { return axisY_.width; }
    std::vector<double> GetLowEdgesX() const { return axisX_.edgeList(); }
    std::vector<double> GetLowEdgesY() const { return axisY_.edgeList(); }
    const HistAxis& GetAxisX() const { return axisX_; }
    const HistAxis& GetAxisY() const { return axisY_; }
    const ZeroedDoubles& GetContents() const { return contents_; }
    const std::vector<double>& GetOverflowX() const { return overflowX_; }
    const std::vector<double>& GetUnderflowX() const { return underflowX_; }
    const std::vector<double>& GetOverflowY() const { return overflowY_; }
    const std::vector<double>& GetUnderflowY() const { return underflowY_; }
    const std::array<double, 4>& GetOverUnderFlowXY() const { return overUnderFlowXY_; }
    double GetIntegral() const { return integral_; }

    double GetMeanX() const { return meanX_; }
    double GetMeanXErr() const { return meanXErr_; }
    double GetStdX() const { return stdX_; }
    double GetStdXErr() const { return stdXErr_; }
    double GetMeanY() const { return meanY_; }
    double GetMeanYErr() const { return meanYErr_; }
    double GetStdY() const { return stdY_; }
    double GetStdYErr() const { return stdYErr_; }
    // Both profiles with their statistics.
    void ComputeStatistics();


    bool GetDoLogX() const { return doLogX_; }
    bool GetDoLogY() const { return doLogY_; }
    bool GetDoLogZ() const { return doLogZ_; }
    double GetCmin() const { return cmin_; }
    double GetRangeExtension() const { return rangeExtension_; }
    bool GetDoAutoRange() const { return doAutoRange_; }
    bool GetDoPlotStat() const { return doPlotStat_; }
    void SetDoLogX(bool on) { doLogX_ = on; }
    void SetDoLogY(bool on) { doLogY_ = on; }
    void SetDoLogZ(bool on) { doLogZ_ = on; }
    void SetCmin(double value) { cmin_ = value; }
    void SetRangeExtension(double value) { rangeExtension_ = value; }
    void SetDoAutoRange(bool on) { doAutoRange_ = on; }
    void SetDoPlotStat(bool on) { doPlotStat_ = on; }

private:
    void FillOutside(int ix, int iy, double weight);
    void LayOutBins();
    void SizeFlowLists();
    bool CheckConsistency() const;
    int CheckedCode() const { return errorBase_ - kCheckFailed; }
    std::pair<int, int> SplitFlatIndex(int i) const;
    bool ValidFlatBin(int i) const;
    // The profile along X (sums over Y for each X bin) or along Y from its sums (index 1 ... NBin).
    int BuildProfile(bool alongX, const std::vector<double>& sums);
    // The sums of both profiles in one pass over the matrix, each in the order of a pass along its own axis;
    // false without a laid-out matrix.
    bool ProfileSums(std::vector<double>& sumsX, std::vector<double>& sumsY) const;
    void ReadContentsLines(const std::string& text, size_t usableLines);

    int binEquidist_ = 1;
    ZeroedDoubles contents_;
    Filling binFilling_ = Filling::Sparse;
    std::vector<double> overflowX_;
    std::vector<double> underflowX_;
    std::vector<double> overflowY_;
    std::vector<double> underflowY_;
    std::array<double, 4> overUnderFlowXY_{};
    HistAxis axisX_;
    HistAxis axisY_;
    std::optional<Hist1D> profileX_;
    std::optional<Hist1D> profileY_;
    double integral_ = 0;
    bool doLogX_ = false;
    bool doLogY_ = false;
    bool doLogZ_ = false;
    double cmin_ = 0;
    double rangeExtension_ = 0;
    bool doAutoRange_ = true;
    bool doPlotStat_ = false;
    double meanX_ = 0;
    double meanXErr_ = 0;
    double stdX_ = 0;
    double stdXErr_ = 0;
    double meanY_ = 0;
    double meanYErr_ = 0;
    double stdY_ = 0;
    double stdYErr_ = 0;
};

}  // namespace zel
