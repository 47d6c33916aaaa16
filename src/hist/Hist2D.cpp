#include "hist/Hist2D.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "common/Paths.h"
#include "common/NumberText.h"
#include "common/Text.h"
#include "hist/HistFiles.h"

namespace zel {

namespace {

template <class... Args>
void appendFormat(std::string& out, const char* format, Args... args) {
    char buffer[512];
    int length = std::snprintf(buffer, sizeof buffer, format, args...);
    if (length > 0) out.append(buffer, std::min(static_cast<size_t>(length), sizeof buffer - 1));
}

void appendList(std::string& out, const char* label, const double* values, size_t count) {
    out += label;
    for (size_t i = 0; i < count; ++i) appendFormat(out, "%f\t", values[i]);
    out += "\n";
}

const std::string kRule(55, '-');

// Snaps a limit read with rounding from the information file onto the exact value found in the data file.
double preciseLimit(double rounded, double exact, double low, double high) {
    const double tolerance = 1e-5 * std::max({std::fabs(low), std::fabs(high), high - low});
    return std::fabs(exact - rounded) <= tolerance ? exact : rounded;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction

Hist2D::Hist2D(std::string title, int nBinX, double xmin, double xmax, int nBinY, double ymin, double ymax,
               int errorCodeBase, const MessageTarget& messages) {
    Setup(errorCodeBase, messages);
    if (xmin >= xmax) Fail("Hist1D " + title + " constructor recevived Xmin >= Xmax.", kXminNotBelowXmax);
    if (nBinX <= 0) Fail("Hist1D " + title + " constructor recevived X NBin <= 0.", kNBinXNotPositive);
    if (ymin >= ymax) Fail("Hist1D " + title + " constructor recevived Ymin >= Ymax.", kYminNotBelowYmax);
    if (nBinY <= 0) Fail("Hist1D " + title + " constructor recevived Y NBin <= 0.", kNBinYNotPositive);
    title_ = std::move(title);
    axisX_.nBin = nBinX;
    axisX_.min = xmin;
    axisX_.max = xmax;
    axisY_.nBin = nBinY;
    axisY_.min = ymin;
    axisY_.max = ymax;
    if (Init() != 0) Fail("Initialization failed in constructor with equidistant bins.", kInitEquidistant);
}

Hist2D::Hist2D(std::string title, const std::vector<double>& lowEdgesX, const std::vector<double>& lowEdgesY,
               int errorCodeBase, const MessageTarget& messages) {
    Setup(errorCodeBase, messages);
    RequireEdges(title, "X ", lowEdgesX.size(), kTooFewEdges);
    RequireEdges(title, "Y ", lowEdgesY.size(), kTooFewEdges);
    title_ = std::move(title);
    axisX_.lowEdges.assign(lowEdgesX.begin(), lowEdgesX.end());
    axisY_.lowEdges.assign(lowEdgesY.begin(), lowEdgesY.end());
    if (Init() != 0) Fail("Initialization failed in constructor with variable size of bin widths.", kInitVariable);
}

Hist2D::Hist2D(std::shared_ptr<ConfigFile> config, int errorCodeBase, const MessageTarget& messages) {
    Setup(errorCodeBase, messages);
    BuildFromConfig(std::move(config), {kConfigLoad, kInitConfig, 0});
}

Hist2D::Hist2D(std::string directory, std::string name, std::string dataEnding, std::string infoEnding,
               int errorCodeBase, const MessageTarget& messages) {
    Setup(errorCodeBase, messages);
    BuildFromFiles(std::move(directory), std::move(name), std::move(dataEnding), std::move(infoEnding),
                   {kConfigFromFiles, kInitFromFiles, kDataFromFiles});
}

void Hist2D::Reset() {
    ResetTo({"Hist2D", "Histogram2D", {"X", "Y", "N"}});
    binEquidist_ = 1;
    contents_.clear();
    overflowX_.assign(1, 0.0);
    underflowX_.assign(1, 0.0);
    overflowY_.assign(1, 0.0);
    underflowY_.assign(1, 0.0);
    overUnderFlowXY_ = {0, 0, 0, 0};
    axisX_ = HistAxis{};
    axisY_ = HistAxis{};
    profileX_.reset();
    profileY_.reset();
    integral_ = 0;
    doLogX_ = doLogY_ = doLogZ_ = false;
    cmin_ = 0;
    rangeExtension_ = 0;
    doAutoRange_ = true;
    doPlotStat_ = false;
    meanX_ = meanXErr_ = stdX_ = stdXErr_ = 0;
    meanY_ = meanYErr_ = stdY_ = stdYErr_ = 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Initialisation and consistency

// As for Hist1D: a histogram built from files is accepted by Init without bins; LoadData lays them out from the
// data file and checks them, and nothing is filled in between.
int Hist2D::Init() {
    if (int code = OpenOwnLog(); code != 0) return code;
    if (binsGiven_ && !binsDefined_) return 0;
    if (!binsDefined_) LayOutBins();
    if (!CheckConsistency()) return ReportCode("Initialization failed.", kInitFailed);
    statOnOutput_ = true;
    return 0;
}

void Hist2D::SetBinFilling(Filling filling) {
    binFilling_ = filling;
    if (!contents_.empty()) contents_ = ZeroedDoubles(contents_.size(), filling);
}

void Hist2D::LayOutBins() {
    for (HistAxis* axis : {&axisX_, &axisY_}) {
        if (axis->lowEdges.size() >= 2) {
            const std::vector<double> edges = axis->lowEdges;
            axis->layoutFromEdges(edges);
        } else if (axis->lowEdges.empty() && axis->nBin > 0) {
            axis->layoutEquidistant(axis->nBin, axis->min, axis->max);
        } else {
            return;
        }
    }
    if (TooManyBins(uint64_t(axisX_.nBin) * uint64_t(axisY_.nBin))) return;
    binEquidist_ = axisX_.equidist == 1 && axisY_.equidist == 1 ? 1 : 0;
    const size_t slots = static_cast<size_t>(GetNBin()) + 2;
    if (contents_.size() != slots) contents_ = ZeroedDoubles(slots, binFilling_);
    SizeFlowLists();
    binsDefined_ = true;
}

// Lists of the right length (read from an information file) are kept; any other is replaced by zeros.
void Hist2D::SizeFlowLists() {
    const size_t nx = static_cast<size_t>(std::max(axisX_.nBin, 0));
    const size_t ny = static_cast<size_t>(std::max(axisY_.nBin, 0));
    if (overflowX_.size() != ny) overflowX_.assign(ny, 0.0);
    if (underflowX_.size() != ny) underflowX_.assign(ny, 0.0);
    if (overflowY_.size() != nx) overflowY_.assign(nx, 0.0);
    if (underflowY_.size() != nx) underflowY_.assign(nx, 0.0);
}

bool Hist2D::CheckConsistency() const {
    std::vector<std::string> findings;
    if (!binsDefined_) findings.emplace_back("Content of histogram was not initialized or failed.");
    if (contents_.size() < 3) {
        findings.push_back("Vector for bin content is smaller than 3: " + std::to_string(contents_.size()));
    }
    axisX_.check("X ", "Xmin", "Xmax", findings);
    axisY_.check("Y ", "Ymin", "Ymax", findings);
    const size_t slots = static_cast<size_t>(GetNBin()) + 2;
    if (contents_.size() >= 3 && contents_.size() != slots) {
        findings.push_back("Vector for bin content has " + std::to_string(contents_.size()) +
                           " entries but NBinX * NBinY + 2 is " + std::to_string(slots));
    }
    if (findings.empty()) return true;
    for (const std::string& finding : findings) printError(messages_, finding);
    ReportCode("Histogram variables check failed.", kCheckFailed);
    return false;
}

// ---------------------------------------------------------------------------------------------------------------
// Filling and contents access

void Hist2D::FillOutside(int ix, int iy, double weight) {
    const int nx = axisX_.nBin;
    const int ny = axisY_.nBin;
    const bool xUnder = ix == 0;
    const bool xOver = ix > nx;
    const bool yUnder = iy == 0;
    const bool yOver = iy > ny;
    if (xUnder && yUnder) {
        overUnderFlowXY_[kUnderUnder] += weight;
        contents_.front() += weight;
    } else if (xOver && yUnder) {
        overUnderFlowXY_[kOverUnder] += weight;
    } else if (xUnder && yOver) {
        overUnderFlowXY_[kUnderOver] += weight;
    } else if (xOver && yOver) {
        overUnderFlowXY_[kOverOver] += weight;
        contents_.back() += weight;
    } else if (xUnder) {
        underflowX_[static_cast<size_t>(iy - 1)] += weight;
    } else if (xOver) {
        overflowX_[static_cast<size_t>(iy - 1)] += weight;
    } else if (yUnder) {
        underflowY_[static_cast<size_t>(ix - 1)] += weight;
    } else {
        overflowY_[static_cast<size_t>(ix - 1)] += weight;
    }
}

bool Hist2D::SameBinning(const Hist2D& other) const {
    return axisX_.sameBins(other.axisX_) && axisY_.sameBins(other.axisY_) &&
           contents_.size() == other.contents_.size();
}

double Hist2D::GetBinContent(double x, double y) const {
    const auto [ix, iy] = FindBin(x, y);
    if (ix < 0 || iy < 0) return -1;
    return GetBinContent(GetFlatIndex(ix, iy));
}

double Hist2D::GetBinContent(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= contents_.size()) return -1;
    return contents_[static_cast<size_t>(i)];
}

void Hist2D::SetBinContent(int i, double value) {
    if (i < 0 || static_cast<size_t>(i) >= contents_.size()) return;
    contents_[static_cast<size_t>(i)] = value;
}

bool Hist2D::ValidFlatBin(int i) const {
    return axisX_.nBin > 0 && i >= 1 && static_cast<unsigned>(i) <= GetNBin() && i + 1 < static_cast<int>(contents_.size());
}

std::pair<int, int> Hist2D::SplitFlatIndex(int i) const {
    const int nx = axisX_.nBin;
    const int remainder = i % nx;
    return {remainder == 0 ? nx : remainder, i / nx + (remainder != 0 ? 1 : 0)};
}

std::pair<double, double> Hist2D::GetBinCenter(int i) const {
    if (!ValidFlatBin(i)) {
        printMsg(messages_, "Problem with GetBinCenter - i_Bin " + std::to_string(i) + " is incorrect.");
        return {0, 0};
    }
    const auto [ix, iy] = SplitFlatIndex(i);
    return {axisX_.center(ix), axisY_.center(iy)};
}

std::pair<double, double> Hist2D::GetBinLowEdges(int i) const {
    if (!ValidFlatBin(i)) {
        printMsg(messages_, "Problem with GetBinLowEdges - i_Bin " + std::to_string(i) + " is incorrect.");
        return {0, 0};
    }
    const auto [ix, iy] = SplitFlatIndex(i);
    return {axisX_.edge(static_cast<size_t>(ix)), axisY_.edge(static_cast<size_t>(iy))};
}

std::pair<double, double> Hist2D::GetBinHighEdges(int i) const {
    if (!ValidFlatBin(i)) {
        printMsg(messages_, "Problem with GetBinHighEdges - i_Bin " + std::to_string(i) + " is incorrect.");
        return {0, 0};
    }
    const auto [ix, iy] = SplitFlatIndex(i);
    return {axisX_.edge(static_cast<size_t>(ix) + 1), axisY_.edge(static_cast<size_t>(iy) + 1)};
}

void Hist2D::AddRemainder(const Hist2D& total, std::span<const Hist2D* const> parts) {
    std::vector<const ZeroedDoubles*> contents;
    contents.reserve(parts.size());
    SizeFlowLists();
    const std::array<std::vector<double> Hist2D::*, 4> flows{&Hist2D::overflowX_, &Hist2D::underflowX_,
                                                             &Hist2D::overflowY_, &Hist2D::underflowY_};
    for (auto flow : flows) {
        std::vector<double> remainder = total.*flow;
        for (const Hist2D* part : parts) {
            const std::vector<double>& from = part->*flow;
            for (size_t i = 0; i < std::min(from.size(), remainder.size()); ++i) remainder[i] -= from[i];
        }
        std::vector<double>& to = this->*flow;
        for (size_t i = 0; i < std::min(to.size(), remainder.size()); ++i) to[i] += remainder[i];
    }
    for (size_t c = 0; c < overUnderFlowXY_.size(); ++c) {
        double remainder = total.overUnderFlowXY_[c];
        for (const Hist2D* part : parts) remainder -= part->overUnderFlowXY_[c];
        overUnderFlowXY_[c] += remainder;
    }
    for (const Hist2D* part : parts) contents.push_back(&part->contents_);
    addRemainder(contents_, total.contents_, contents);
}

void Hist2D::ClearContents(bool underOverflow) {
    const size_t slots = static_cast<size_t>(GetNBin()) + 2;
    if (contents_.size() != slots) {
        contents_ = ZeroedDoubles(slots, binFilling_);
    } else {
        std::fill(contents_.begin(), contents_.end(), 0.0);
    }
    if (underOverflow) {
        SizeFlowLists();
        for (std::vector<double>* list : {&overflowX_, &underflowX_, &overflowY_, &underflowY_}) {
            std::fill(list->begin(), list->end(), 0.0);
        }
        overUnderFlowXY_ = {0, 0, 0, 0};
    }
    integral_ = 0;
}

double Hist2D::Integral() {
    double sum = 0;
    const size_t last = std::min(static_cast<size_t>(GetNBin()), contents_.empty() ? 0 : contents_.size() - 1);
    for (size_t i = 1; i <= last; ++i) sum += contents_[i];
    integral_ = sum;
    return sum;
}

int Hist2D::Normalize(double norm) {
    const double integral = Integral();
    if (integral == 0) {
        printError(messages_, "Normalization can not be done. No bin content.");
        return -1;
    }
    if (!(norm > 0)) {
        printError(messages_, "Normalization can not be done for norm less or equal 0.");
        return -2;
    }
    const double divisor = integral / norm;
    for (double& content : contents_) content /= divisor;
    for (std::vector<double>* list : {&overflowX_, &underflowX_, &overflowY_, &underflowY_}) {
        std::fill(list->begin(), list->end(), 0.0);
    }
    overUnderFlowXY_ = {0, 0, 0, 0};
    meanX_ = meanXErr_ = stdX_ = stdXErr_ = 0;
    meanY_ = meanYErr_ = stdY_ = stdYErr_ = 0;
    integral_ = norm;
    return 0;
}

int Hist2D::Multiply(const Hist2D& other) {
    if (contents_.size() != other.contents_.size()) {
        printError(messages_,
                   "Hist can not by multiplied with given hist because they have different number of bins! (o:" +
                       std::to_string(contents_.size()) + ", m:" + std::to_string(other.contents_.size()) + ")");
        return -1;
    }
    for (size_t i = 0; i < contents_.size(); ++i) contents_[i] *= other.contents_[i];
    return 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Profiles and statistics

bool Hist2D::ProfileSums(std::vector<double>& sumsX, std::vector<double>& sumsY) const {
    const int nx = axisX_.nBin;
    const int ny = axisY_.nBin;
    if (nx <= 0 || ny <= 0 || contents_.size() != static_cast<size_t>(GetNBin()) + 2) return false;
    sumsX.assign(static_cast<size_t>(nx) + 1, 0.0);
    sumsY.assign(static_cast<size_t>(ny) + 1, 0.0);
    // Bins on pages never written are empty and add nothing (a sum of such terms is never -0).
    const WrittenPages pages(contents_.data(), contents_.size() * sizeof(double));
    for (int iy = 1; iy <= ny; ++iy) {
        const size_t rowStart = static_cast<size_t>(GetFlatIndex(0, iy));  // flat index of ix = 0
        double sumY = 0;
        pages.forEachRun(rowStart + 1, rowStart + static_cast<size_t>(nx) + 1, sizeof(double),
                         [&](size_t first, size_t last) {
                             for (size_t flat = first; flat < last; ++flat) {
                                 sumsX[flat - rowStart] += contents_[flat];
                                 sumY += contents_[flat];
                             }
                         });
        sumsY[static_cast<size_t>(iy)] = sumY;
    }
    return true;
}

int Hist2D::BuildProfile(bool alongX, const std::vector<double>& sums) {
    const HistAxis& axis = alongX ? axisX_ : axisY_;
    std::optional<Hist1D>& profile = alongX ? profileX_ : profileY_;
    const char* title = alongX ? "ProfileX" : "ProfileY";
    if (!profile || profile->GetNBin() != axis.nBin) {
        try {
            if (axis.equidist == 1) {
                profile.emplace(title, axis.nBin, axis.min, axis.max, errorBase_, messages_);
            } else {
                profile.emplace(title, axis.binEdges(), errorBase_, messages_);
            }
        } catch (const std::exception&) {
            profile.reset();
            return -1;
        }
    }
    profile->ClearContents();
    for (int i = 1; i <= axis.nBin; ++i) profile->SetBinContent(i, sums[static_cast<size_t>(i)]);
    profile->ComputeStatistics();
    if (alongX) {
        meanX_ = profile->GetMean();
        meanXErr_ = profile->GetMeanErr();
        stdX_ = profile->GetStd();
        stdXErr_ = profile->GetStdErr();
    } else {
        meanY_ = profile->GetMean();
        meanYErr_ = profile->GetMeanErr();
        stdY_ = profile->GetStd();
        stdYErr_ = profile->GetStdErr();
    }
    return 0;
}

int Hist2D::ProfileX() {
    std::vector<double> sumsX, sumsY;
    return ProfileSums(sumsX, sumsY) ? BuildProfile(true, sumsX) : -1;
}

int Hist2D::ProfileY() {
    std::vector<double> sumsX, sumsY;
    return ProfileSums(sumsX, sumsY) ? BuildProfile(false, sumsY) : -1;
}

void Hist2D::ComputeStatistics() {
    std::vector<double> sumsX, sumsY;
    if (!ProfileSums(sumsX, sumsY)) return;
    BuildProfile(true, sumsX);
    BuildProfile(false, sumsY);
}

// ---------------------------------------------------------------------------------------------------------------
// Matrix files

int Hist2D::ExportMatrix(bool range) {
    const std::string path = fileOutPath_ + fileOutName_ + ".txt";
    const int nx = axisX_.nBin;
    const int ny = axisY_.nBin;
    int firstX = 1;
    int lastX = nx;
    int firstY = 1;
    int lastY = ny;
    const bool ready = nx > 0 && ny > 0 && contents_.size() == static_cast<size_t>(GetNBin()) + 2;
    if (ready && range) {
        firstX = nx + 1;
        lastX = 0;
        firstY = ny + 1;
        lastY = 0;
        for (int iy = 1; iy <= ny; ++iy) {
            for (int ix = 1; ix <= nx; ++ix) {
                if (contents_[static_cast<size_t>(GetFlatIndex(ix, iy))] == 0) continue;
                firstX = std::min(firstX, ix);
                lastX = std::max(lastX, ix);
                firstY = std::min(firstY, iy);
                lastY = std::max(lastY, iy);
            }
        }
    }
    std::string text;
    if (ready) {
        for (int iy = firstY; iy <= lastY; ++iy) {
            for (int ix = firstX; ix <= lastX; ++ix) {
                const double value = contents_[static_cast<size_t>(GetFlatIndex(ix, iy))];
                appendFormat(text, "%.*f\t", value == 0 ? 0 : 3, value);
            }
            text += "\n";
        }
    }
    PendingFile file(path);
    if (!file.write(text) || !file.commit()) {
        printError(messages_, "Can not open matrix file for export data: " + path);
        return -1;
    }
    return 0;
}

bool Hist2D::LoadHist_OnlyCont_FromMatrix(const std::string& path) {
    const std::string file = path.empty() ? inputDirectory_ + inputName_ + inputEndData_ : path;
    std::string text;
    if (readTextFile(file, text) != FileRead::Ok) {
        printError(messages_, "File can not be open in the fuction - LoadHist_OnlyCont_FromMatrix! File: " + file);
        return false;
    }
    std::vector<double> contents;
    contents.reserve(static_cast<size_t>(GetNBin()) + 2);
    contents.push_back(0.0);
    size_t columns = 0;
    size_t rows = 0;
    bool consistent = true;
    forEachLine(text, [&](std::string_view line) {
        if (!consistent) return;
        const std::vector<double> numbers = scanNumbers(line);
        if (numbers.empty()) return;
        if (rows == 0) columns = numbers.size();
        if (numbers.size() != columns) {
            printError(messages_,
                       "Can not load hist 2D/mask from matrix file - different number of bin contents in lines: " +
                           std::to_string(columns) + " and " + std::to_string(numbers.size()));
            consistent = false;
            return;
        }
        contents.insert(contents.end(), numbers.begin(), numbers.end());
        ++rows;
    });
    if (!consistent) return false;
    if (columns != static_cast<size_t>(axisX_.nBin) || rows != static_cast<size_t>(axisY_.nBin)) {
        printError(messages_, "Matrix in file " + file + " does not fit the histogram: " + std::to_string(columns) +
                                  " x " + std::to_string(rows) + " values for " + std::to_string(axisX_.nBin) +
                                  " x " + std::to_string(axisY_.nBin) + " bins");
        return false;
    }
    contents.push_back(0.0);
    contents_.assign(contents.begin(), contents.end());
    return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Configuration and files

int Hist2D::LoadConfig() {
    if (!config_ || LoadOwnConfig() != 0) {
        return ReportCode("Read of config file during config load failed.", kConfigRead);
    }
    const ConfigSection* par = config_->getSection("HistPar");
    infoText(par, "Title", title_);
    infoText(par, "Name", name_);
    infoTexts(par, "AxisTitle", axisTitles_);
    infoInt(par, "NBinX", "NbinsX", axisX_.nBin);
    infoInt(par, "NBinY", "NbinsY", axisY_.nBin);
    infoNumber(par, "Xmax", "xmax", axisX_.max);
    infoNumber(par, "Xmin", "xmin", axisX_.min);
    infoNumber(par, "Ymax", "ymax", axisY_.max);
    infoNumber(par, "Ymin", "ymin", axisY_.min);
    bool equidist = false;
    if (!binsGiven_) infoNumbers(par, "BinLowEdgeX", axisX_.lowEdges);
    if (infoFlag(par, "BinEquidistX", equidist)) axisX_.equidist = equidist ? 1 : 0;
    if (!binsGiven_) infoNumbers(par, "BinLowEdgeY", axisY_.lowEdges);
    if (infoFlag(par, "BinEquidistY", equidist)) axisY_.equidist = equidist ? 1 : 0;
    if (infoFlag(par, "BinEquidist", equidist)) binEquidist_ = equidist ? 1 : 0;
    infoFlag(par, "DoPlot", doPlot_);
    infoFlag(par, "DoLogX", doLogX_);
    infoFlag(par, "DoLogY", doLogY_);
    infoFlag(par, "DoLogZ", doLogZ_);
    infoNumber(par, "Cmin", cmin_);
    infoNumber(par, "RangeExtension", rangeExtension_);
    infoFlag(par, "DoAutoRange", doAutoRange_);
    infoFlag(par, "DoPlotStat", doPlotStat_);
    infoTexts(par, "AxisTitles", axisTitles_);
    infoFlag(par, "DoSparseExport", doSparseExport_);

    // Under- and overflow lists as written by Export, in [HistCont] (older files keep them in [HistPar]).
    const ConfigSection* cont = config_->getSection("HistCont");
    for (const ConfigSection* section : {par, cont}) {
        infoNumbers(section, "OverflowX", overflowX_);
        infoNumbers(section, "UnderflowX", underflowX_);
        infoNumbers(section, "OverflowY", overflowY_);
        infoNumbers(section, "UnderflowY", underflowY_);
        std::vector<double> corners;
        if (infoNumbers(section, "OverUnderFlowXY", corners)) {
            for (size_t i = 0; i < overUnderFlowXY_.size() && i < corners.size(); ++i) overUnderFlowXY_[i] = corners[i];
        }
    }

    const ConfigSection* stat = config_->getSection("Statistics");
    if (stat == nullptr) stat = config_->getSection("Stat");
    infoNumber(stat, "MeanX", meanX_);
    infoNumber(stat, "MeanX_Err", meanXErr_);
    infoNumber(stat, "StdX", stdX_);
    infoNumber(stat, "StdX_Err", stdXErr_);
    infoNumber(stat, "MeanY", meanY_);
    infoNumber(stat, "MeanY_Err", meanYErr_);
    infoNumber(stat, "StdY", stdY_);
    infoNumber(stat, "StdY_Err", stdYErr_);

    const ConfigSection* out = config_->getSection("Output");
    infoText(out, "FileOut_Path", fileOutPath_);
    infoText(out, "FileOut_Name", fileOutName_);
    infoText(out, "FileOut_EndData", fileOutEndData_);
    infoText(out, "FileOut_EndInfo", fileOutEndInfo_);
    return 0;
}

namespace {
// True when the `count` doubles from `values` on are all +0 (a -0 counts as not zero).
bool allZeroBits(const double* values, size_t count) {
    uint64_t bits = 0;
    for (size_t i = 0; i < count; ++i) {
        uint64_t word = 0;
        std::memcpy(&word, values + i, sizeof word);
        bits |= word;
    }
    return bits == 0;
}
}  // namespace

int Hist2D::Export() {
    if (statOnOutput_) ComputeStatistics();
    const int nx = axisX_.nBin;
    const int ny = axisY_.nBin;
    const bool sparse = doSparseExport_ && binEquidist_ == 1;

    // Sparse files keep bins (1, 1), (2, 1) and (1, 2), which fix the binning, and the non-empty bins; the last
    // line carries the maxima and the corner above both.
    OutputText& text = histDataText();
    if (binsDefined_ && contents_.size() == static_cast<size_t>(GetNBin()) + 2) {
        if (!sparse) text.reserve(static_cast<size_t>(GetNBin()) * 24 + 64);
        auto addLine = [&](double x, double y, double content) {
            char* end = writeRoundTrip(text.claim(kHistLineRoom), x);
            *end++ = '\t';
            end = writeRoundTrip(end, y);
            *end++ = '\t';
            end = writeRoundTrip(end, content);
            *end++ = '\n';
            text.commit(end);
        };
        // The X edges of the bins are written once and copied into each line, and so is the Y edge of a row.
        constexpr size_t kStride = kNumberChars;
        std::vector<char> xTexts((static_cast<size_t>(nx) + 1) * kStride);
        std::vector<uint8_t> xLengths(static_cast<size_t>(nx) + 1);
        for (size_t ix = 1; ix <= static_cast<size_t>(nx); ++ix) {
            char* const at = xTexts.data() + ix * kStride;
            xLengths[ix] = static_cast<uint8_t>(writeRoundTrip(at, axisX_.edge(ix)) - at);
        }
        char yText[kStride] = {};
        size_t yLength = 0;
        auto addBinLine = [&](size_t ix, double content) {
            char* const line = text.claim(kHistLineRoom);
            std::memcpy(line, xTexts.data() + ix * kStride, kStride);
            char* end = line + xLengths[ix];
            *end++ = '\t';
            std::memcpy(end, yText, kStride);
            end += yLength;
            *end++ = '\t';
            end = writeRoundTrip(end, content);
            *end++ = '\n';
            text.commit(end);
        };
        // Pages never written hold only empty bins, passed over in a sparse file like other empty stretches
        // (four bins at a time); rows 1 and 2 hold anchors, read only where their pages were written.
        const WrittenPages pages(contents_.data(), contents_.size() * sizeof(double));
        auto contentAt = [&](size_t flat) { return pages.holds(flat, sizeof(double)) ? contents_[flat] : 0.0; };
        for (int iy = 1; iy <= ny; ++iy) {
            const size_t rowStart = static_cast<size_t>(GetFlatIndex(0, iy));  // flat index of ix = 0
            const double* row = contents_.data() + rowStart;                   // row[ix]
            yLength = static_cast<size_t>(writeRoundTrip(yText, axisY_.edge(static_cast<size_t>(iy))) - yText);
            auto lines = [&](size_t firstFlat, size_t lastFlat) {
                const int last = static_cast<int>(lastFlat - rowStart);
                for (int ix = static_cast<int>(firstFlat - rowStart); ix < last; ++ix) {
                    if (sparse && iy > 2 && ix + 3 < last && allZeroBits(row + ix, 4)) {
                        ix += 3;
                        continue;
                    }
                    const double content = sparse && iy <= 2 ? contentAt(rowStart + static_cast<size_t>(ix)) : row[ix];
                    const bool anchor = (iy == 1 && ix <= 2) || (iy == 2 && ix == 1);
                    if (!sparse || anchor || content != 0) addBinLine(static_cast<size_t>(ix), content);
                }
            };
            if (sparse && iy > 2) {
                pages.forEachRun(rowStart + 1, rowStart + static_cast<size_t>(nx) + 1, sizeof(double), lines);
            } else {
                lines(rowStart + 1, rowStart + static_cast<size_t>(nx) + 1);
            }
        }
        addLine(axisX_.edge(axisX_.edgeCount() - 1), axisY_.edge(axisY_.edgeCount() - 1),
                contentAt(contents_.size() - 1));
    }
    ConfigFile info = InfoFileHead();
    info.addParameter("HistPar", "NBin", static_cast<double>(GetNBin()));
    info.addParameter("HistPar", "BinEquidist", static_cast<double>(binEquidist_));
    info.addParameter("HistPar", "NBinX", static_cast<double>(nx));
    info.addParameter("HistPar", "Xmin", axisX_.min);
    info.addParameter("HistPar", "Xmax", axisX_.max);
    info.addParameter("HistPar", "BinEquidistX", static_cast<double>(axisX_.equidist));
    if (axisX_.equidist == 0) info.addParameter("HistPar", "BinLowEdgeX", axisX_.binEdges());
    info.addParameter("HistPar", "NBinY", static_cast<double>(ny));
    info.addParameter("HistPar", "Ymin", axisY_.min);
    info.addParameter("HistPar", "Ymax", axisY_.max);
    info.addParameter("HistPar", "BinEquidistY", static_cast<double>(axisY_.equidist));
    if (axisY_.equidist == 0) info.addParameter("HistPar", "BinLowEdgeY", axisY_.binEdges());
    info.addSection("HistCont");
    info.addParameter("HistCont", "OverUnderFlowXY",
                      std::vector<double>(overUnderFlowXY_.begin(), overUnderFlowXY_.end()));
    info.addParameter("HistCont", "OverflowX", overflowX_);
    info.addParameter("HistCont", "UnderflowX", underflowX_);
    info.addParameter("HistCont", "OverflowY", overflowY_);
    info.addParameter("HistCont", "UnderflowY", underflowY_);
    info.addSection("Statistics");
    info.addParameter("Statistics", "MeanX", meanX_);
    info.addParameter("Statistics", "MeanX_Err", meanXErr_);
    info.addParameter("Statistics", "StdX", stdX_);
    info.addParameter("Statistics", "StdX_Err", stdXErr_);
    info.addParameter("Statistics", "MeanY", meanY_);
    info.addParameter("Statistics", "MeanY_Err", meanYErr_);
    info.addParameter("Statistics", "StdY", stdY_);
    info.addParameter("Statistics", "StdY_Err", stdYErr_);
    return WriteFiles(text.text(), info, kCannotWriteData, kCannotWriteInfo);
}

// The data file is authoritative for the binning: a full file gives the X edges in its first row, the Y edges in
// its first column and the maxima in its last line, all at full precision; it has NBinX x NBinY + 1 lines. A sparse
// file (equal bins only, at most NBinX x NBinY lines) is placed on the equidistant binning of the information file,
// its first line (bin (1, 1)) and last line (the maxima) sharpening the limits. The last line of a full file is not
// a bin; the corner entries come from OverUnderFlowXY.
int Hist2D::LoadData() {
    std::string text;
    size_t usableLines = 0;
    if (int code = ReadDataText(text, 3, usableLines, {kInfoNotRead, kCannotOpenData, kCannotCountData}); code != 0)
        return code;
    if (axisX_.nBin <= 0 || axisY_.nBin <= 0) {
        CheckConsistency();
        return CheckedCode();
    }
    if (TooManyBins(uint64_t(axisX_.nBin) * uint64_t(axisY_.nBin))) return CheckedCode();
    ReadContentsLines(text, usableLines);
    contents_.front() = overUnderFlowXY_[kUnderUnder];
    contents_.back() = overUnderFlowXY_[kOverOver];
    binEquidist_ = axisX_.equidist == 1 && axisY_.equidist == 1 ? 1 : 0;
    SizeFlowLists();
    binsDefined_ = true;
    if (!CheckConsistency()) return CheckedCode();
    statOnOutput_ = true;
    return 0;
}

void Hist2D::ReadContentsLines(const std::string& text, size_t usableLines) {
    const int nx = axisX_.nBin;
    const int ny = axisY_.nBin;
    const size_t bins = static_cast<size_t>(nx) * static_cast<size_t>(ny);
    contents_ = ZeroedDoubles(bins + 2, binFilling_);

    // A full file has a line per bin and the line of the maxima; a file of equal bins with fewer lines, even one
    // fewer, is sparse and placed by position.
    const bool equal = axisX_.equidist == 1 && axisY_.equidist == 1;
    const bool full = usableLines > bins || (!equal && usableLines == bins);
    if (!full) {
        double first[3] = {axisX_.min, axisY_.min, 0};
        double last[3] = {axisX_.max, axisY_.max, 0};
        size_t seen = 0;
        forEachLine(text, [&](std::string_view line) {
            double numbers[3];
            if (scanLineNumbers(line, numbers, 3) < 3) return;
            if (seen++ == 0) std::copy(numbers, numbers + 3, first);
            std::copy(numbers, numbers + 3, last);
        });
        axisX_.layoutEquidistant(nx, preciseLimit(axisX_.min, first[0], axisX_.min, axisX_.max),
                                 preciseLimit(axisX_.max, last[0], axisX_.min, axisX_.max));
        axisY_.layoutEquidistant(ny, preciseLimit(axisY_.min, first[1], axisY_.min, axisY_.max),
                                 preciseLimit(axisY_.max, last[1], axisY_.min, axisY_.max));
        // Limits that give no usable width (equal, reversed, not numbers) place no bin; the consistency check
        // reports them. Positions outside the matrix, or not numbers, are left out.
        const double widthX = axisX_.width;
        const double widthY = axisY_.width;
        if (!(widthX > 0 && widthY > 0 && std::isfinite(widthX) && std::isfinite(widthY))) return;
        forEachLine(text, [&](std::string_view line) {
            double numbers[3];
            if (scanLineNumbers(line, numbers, 3) < 3) return;
            const double u = std::fabs(numbers[0] - axisX_.min) / widthX;
            const double v = std::fabs(numbers[1] - axisY_.min) / widthY;
            if (!(u < nx - 0.5 && v < ny - 0.5)) return;
            const size_t i = static_cast<size_t>(std::lround(u));
            const size_t j = static_cast<size_t>(std::lround(v));
            contents_[static_cast<size_t>(nx) * j + i + 1] = numbers[2];
        });
        return;
    }

    std::vector<double> edgesX;
    std::vector<double> edgesY;
    edgesX.reserve(static_cast<size_t>(nx) + 1);
    edgesY.reserve(static_cast<size_t>(ny) + 1);
    double maxX = axisX_.max;
    double maxY = axisY_.max;
    size_t row = 0;
    forEachLine(text, [&](std::string_view line) {
        double numbers[3];
        if (scanLineNumbers(line, numbers, 3) < 3) return;
        if (row < bins) {
            contents_[row + 1] = numbers[2];
            if (row < static_cast<size_t>(nx)) edgesX.push_back(numbers[0]);
            if (row % static_cast<size_t>(nx) == 0) edgesY.push_back(numbers[1]);
        } else if (row == bins) {
            maxX = numbers[0];
            maxY = numbers[1];
        }
        ++row;
    });
    edgesX.push_back(maxX);
    edgesY.push_back(maxY);
    for (auto [axis, edges] : {std::pair{&axisX_, &edgesX}, std::pair{&axisY_, &edgesY}}) {
        const int equidist = axis->equidist;
        axis->layoutFromEdges(*edges);
        if (equidist == 1) {
            axis->equidist = 1;
            axis->width = (axis->max - axis->min) / axis->nBin;
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Printing

std::string Hist2D::PrintText() const {
    std::string out = kRule + "\n";
    out += "[HistPar]\n\n";
    appendFormat(out, "Title\t%s\n", title_.c_str());
    appendFormat(out, "Name\t%s\n", name_.c_str());
    appendFormat(out, "NBin\t%ld\n", static_cast<long>(GetNBin()));
    appendFormat(out, "BinEquidist\t%d\n", binEquidist_);
    appendFormat(out, "NBinX\t%ld\n", static_cast<long>(axisX_.nBin));
    appendFormat(out, "Xmin\t%f\n", axisX_.min);
    appendFormat(out, "Xmax\t%f\n", axisX_.max);
    appendFormat(out, "BinEquidistX\t%d\n", axisX_.equidist);
    appendFormat(out, "NBinY\t%ld\n", static_cast<long>(axisY_.nBin));
    appendFormat(out, "Ymin\t%f\n", axisY_.min);
    appendFormat(out, "Ymax\t%f\n", axisY_.max);
    appendFormat(out, "BinEquidistY\t%d\n", axisY_.equidist);
    out += "AxisTitle:\t|";
    for (const std::string& axisTitle : axisTitles_) out += axisTitle + "|";
    out += "\n";
    out += "[HistCont]\n\n";
    const bool withEdges = axisX_.hasEdges() && axisY_.hasEdges() &&
                           contents_.size() == static_cast<size_t>(GetNBin()) + 2;
    if (withEdges) {
        out += "Index\tLowEdgeX\tLowEdgeY\tCont\n";
        for (int i = 1; static_cast<unsigned>(i) <= GetNBin(); ++i) {
            const auto [ix, iy] = SplitFlatIndex(i);
            appendFormat(out, "%lu\t%f\t%f\t%f\n", static_cast<unsigned long>(i),
                         axisX_.edge(static_cast<size_t>(ix)), axisY_.edge(static_cast<size_t>(iy)),
                         contents_[static_cast<size_t>(i)]);
        }
    } else {
        out += "Index\tCont\n";
        for (size_t i = 0; i < contents_.size(); ++i) appendFormat(out, "%d\t%f\n", static_cast<int>(i), contents_[i]);
    }
    out += "\n";
    out += "[UndeOverFlow]\n\n";
    appendList(out, "v_OverflowX\t\t", overflowX_.data(), overflowX_.size());
    appendList(out, "v_UnderflowX\t\t", underflowX_.data(), underflowX_.size());
    appendList(out, "v_OverflowY\t\t", overflowY_.data(), overflowY_.size());
    appendList(out, "v_UnderflowY\t\t", underflowY_.data(), underflowY_.size());
    appendList(out, "v_OverUnderFlowXY\t", overUnderFlowXY_.data(), overUnderFlowXY_.size());
    out += "[Statistics]\n\n";
    appendFormat(out, "MeanY\t\t%f\n", meanY_);
    appendFormat(out, "MeanY err\t%f\n", meanYErr_);
    appendFormat(out, "StdY\t\t%f\n", stdY_);
    appendFormat(out, "StdY err\t%f\n", stdYErr_);
    appendFormat(out, "MeanX\t\t%f\n", meanX_);
    appendFormat(out, "MeanX err\t%f\n", meanXErr_);
    appendFormat(out, "StdX\t\t%f\n", stdX_);
    appendFormat(out, "StdX err\t%f\n", stdXErr_);
    out += kRule + "\n";
    return out;
}

void Hist2D::Print() {
    if (statOnOutput_) ComputeStatistics();
    const std::string text = PrintText();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace zel
