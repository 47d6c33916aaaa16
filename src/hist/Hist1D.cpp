#include "hist/Hist1D.h"

#include <algorithm>
#include <cmath>

#include "common/Paths.h"
#include "common/NumberText.h"
#include "common/Text.h"
#include "hist/HistFiles.h"

namespace zel {

namespace {

// Appends one "%..." formatted piece to `out`.
template <class... Args>
void appendFormat(std::string& out, const char* format, Args... args) {
    char buffer[512];
    int length = std::snprintf(buffer, sizeof buffer, format, args...);
    if (length > 0) out.append(buffer, std::min(static_cast<size_t>(length), sizeof buffer - 1));
}

const std::string kRule(55, '-');

}  // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction

Hist1D::Hist1D(std::string title, int nBin, double xmin, double xmax, int errorCodeBase,
               const MessageTarget& messages) {
    Setup(errorCodeBase, messages);
    if (xmin >= xmax) Fail("Hist1D " + title + " constructor recevived Xmin >= Xmax.", kXminNotBelowXmax);
    if (nBin <= 0) Fail("Hist1D " + title + " constructor recevived NBin <= 0.", kNBinNotPositive);
    title_ = std::move(title);
    axis_.nBin = nBin;
    axis_.min = xmin;
    axis_.max = xmax;
    if (Init() != 0) Fail("Initialization failed in constructor with equidistant bins.", kInitEquidistant);
}

Hist1D::Hist1D(std::string title, const std::vector<double>& lowEdges, int errorCodeBase,
               const MessageTarget& messages) {
    Setup(errorCodeBase, messages);
    RequireEdges(title, "", lowEdges.size(), kTooFewEdges);
    title_ = std::move(title);
    axis_.lowEdges.assign(lowEdges.begin(), lowEdges.end());
    if (Init() != 0) Fail("Initialization failed in constructor with variable size of bin widths.", kInitVariable);
}

Hist1D::Hist1D(std::shared_ptr<ConfigFile> config, int errorCodeBase, const MessageTarget& messages) {
    Setup(errorCodeBase, messages);
    BuildFromConfig(std::move(config), {kConfigLoad, kInitConfig, 0});
}

Hist1D::Hist1D(std::string directory, std::string name, std::string dataEnding, std::string infoEnding,
               int errorCodeBase, const MessageTarget& messages) {
    Setup(errorCodeBase, messages);
    BuildFromFiles(std::move(directory), std::move(name), std::move(dataEnding), std::move(infoEnding),
                   {kConfigFromFiles, kInitFromFiles, kDataFromFiles});
}

void Hist1D::Reset() {
    ResetTo({"Hist1D", "Histogram1D", {"X", "N"}});
    axis_ = HistAxis{};
    contents_.clear();
    overflow_ = 0;
    underflow_ = 0;
    autoRange_.clear();
    integral_ = 0;
    numRebinPlot_ = 0;
    doLogX_ = false;
    doLogY_ = false;
    doAutoRange_ = true;
    mean_ = meanErr_ = std_ = stdErr_ = -666;
}

// ---------------------------------------------------------------------------------------------------------------
// Initialisation and consistency

// A histogram built from files (bins-given flag) has only its parameters from the information file when Init
// runs; its edges and contents arrive with LoadData. Init therefore accepts it without laying out bins or checking
// them, and LoadData lays out the bins from the data file and runs the consistency check itself. No bin is found
// or filled in between, so FindBin, NBin and the edges never disagree.
int Hist1D::Init() {
    if (int code = OpenOwnLog(); code != 0) return code;
    if (binsGiven_ && !binsDefined_) return 0;
    if (!binsDefined_) LayOutBins();
    if (!CheckConsistency()) return ReportCode("Initialization failed.", kInitFailed);
    statOnOutput_ = true;
    return 0;
}

void Hist1D::LayOutBins() {
    if (axis_.lowEdges.size() >= 2) {
        const std::vector<double> edges = axis_.lowEdges;
        axis_.layoutFromEdges(edges);
    } else if (axis_.lowEdges.empty() && axis_.nBin > 0) {
        axis_.layoutEquidistant(axis_.nBin, axis_.min, axis_.max);
    } else {
        return;
    }
    if (TooManyBins(uint64_t(axis_.nBin))) return;
    // Contents given with the configuration are kept, with or without their under- and overflow entries (zero
    // when missing). New bins are zeros, and their flow entries are not read back: that would back pages for
    // nothing.
    const size_t slots = static_cast<size_t>(axis_.nBin) + 2;
    if (contents_.size() == slots) {
        MirrorFlows();
    } else {
        ZeroedDoubles bins(slots);
        if (contents_.size() + 2 == slots) std::copy(contents_.begin(), contents_.end(), bins.begin() + 1);
        contents_ = std::move(bins);
        underflow_ = overflow_ = 0;
    }
    binsDefined_ = true;
}

bool Hist1D::CheckConsistency() const {
    std::vector<std::string> findings;
    if (!binsDefined_) findings.emplace_back("Content of histogram was not initialized or failed.");
    if (contents_.size() < 3) {
        findings.push_back("Vector for bin content is smaller than 3: " + std::to_string(contents_.size()));
    }
    axis_.check("", "Xmin", "Xmax", findings);
    if (contents_.size() >= 3 && contents_.size() != axis_.edgeCount()) {
        findings.push_back("Vector for bin content has " + std::to_string(contents_.size()) +
                           " entries but vector for bin low edges " + std::to_string(axis_.edgeCount()));
    }
    if (findings.empty()) return true;
    for (const std::string& finding : findings) printError(messages_, finding);
    ReportCode("Histogram variables check failed.", kCheckFailed);
    return false;
}

void Hist1D::MirrorFlows() {
    underflow_ = contents_.empty() ? 0 : contents_.front();
    overflow_ = contents_.size() < 2 ? 0 : contents_.back();
}

// ---------------------------------------------------------------------------------------------------------------
// Contents access

double Hist1D::GetBinContent(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= contents_.size()) return -1;
    return contents_[static_cast<size_t>(i)];
}

void Hist1D::SetBinContent(int i, double value) {
    if (i < 0 || static_cast<size_t>(i) >= contents_.size()) return;
    contents_[static_cast<size_t>(i)] = value;
    if (i == 0) underflow_ = value;
    if (i == axis_.nBin + 1) overflow_ = value;
}

bool Hist1D::SameBinning(const Hist1D& other) const {
    return axis_.sameBins(other.axis_) && contents_.size() == other.contents_.size();
}

double Hist1D::GetBinCenter(int i) const {
    if (i < 1 || i > axis_.nBin || static_cast<size_t>(i) + 1 >= axis_.edgeCount()) {
        printMsg(messages_, "Problem with GetBinCenter - i_Bin (" + std::to_string(i) +
                                ") is incorrect. For histogram - " + title_);
        return 0;
    }
    return axis_.center(i);
}

double Hist1D::GetBinLowEdge(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= axis_.edgeCount()) return 0;
    return axis_.edge(static_cast<size_t>(i));
}

void Hist1D::AddRemainder(const Hist1D& total, std::span<const Hist1D* const> parts) {
    std::vector<const ZeroedDoubles*> contents;
    contents.reserve(parts.size());
    double under = total.underflow_;
    double over = total.overflow_;
    for (const Hist1D* part : parts) {
        contents.push_back(&part->contents_);
        under -= part->underflow_;
        over -= part->overflow_;
    }
    addRemainder(contents_, total.contents_, contents);
    underflow_ += under;
    overflow_ += over;
}

void Hist1D::ClearContents() {
    std::fill(contents_.begin(), contents_.end(), 0.0);
    underflow_ = overflow_ = 0;
    integral_ = 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Sums, extremes and statistics

double Hist1D::Integral(double a, double b) {
    // Bins on pages never written are empty and add nothing (a sum of such terms is never -0).
    double sum = 0;
    forEachWrittenBin([&](size_t i) {
        if (a != b) {
            const double center = axis_.center(static_cast<int>(i));
            if (center < a || center > b) return;
        }
        sum += contents_[i];
    });
    integral_ = sum;
    return sum;
}

int Hist1D::GetMaximumBin(double a, double b) const { return ExtremeBin(a, b, true); }
int Hist1D::GetMinimumBin(double a, double b) const { return ExtremeBin(a, b, false); }

// The last bin holding the largest content, or the last holding the smallest non-zero content, among the bins whose
// centres lie in [a, b] (a == b: all bins; a limit at Xmin or Xmax does not cut).
int Hist1D::ExtremeBin(double a, double b, bool maximum) const {
    if (a > b) return 0;
    const bool whole = a == b;
    int best = 0;
    double bestContent = maximum ? -1 : 1e300;
    for (int i = 1; i <= axis_.nBin; ++i) {
        const double center = axis_.center(i);
        if (!whole && center < a && a != axis_.min) continue;
        if (!whole && center > b && b != axis_.max) break;
        const double content = contents_[static_cast<size_t>(i)];
        const bool better = maximum ? content >= bestContent : content != 0 && content <= bestContent;
        if (better) {
            bestContent = content;
            best = i;
        }
    }
    return best;
}

std::vector<double> Hist1D::XRange() {
    if (contents_.empty() || axis_.nBin <= 0) {
        printError(messages_, "Histogram is empty with no bins! XRange terminated!");
        return {};
    }
    double low = axis_.min;
    double high = axis_.max;
    for (int i = 1; i <= axis_.nBin; ++i) {
        if (contents_[static_cast<size_t>(i)] != 0) {
            low = axis_.edge(static_cast<size_t>(i));
            break;
        }
    }
    for (int i = axis_.nBin; i >= 1; --i) {
        if (contents_[static_cast<size_t>(i)] != 0) {
            high = axis_.edge(static_cast<size_t>(i) + 1);
            break;
        }
    }
    autoRange_ = {low, high};
    return autoRange_;
}

// The entry count N is always the integral of the whole range taken now, so that fills made after an earlier
// computation (or a partial Integral in between) are never left out of the statistics.
void Hist1D::ComputeStatistics() {
    const double n = Integral();
    if (n < 1) return;
    // Empty bins add nothing (a sum of such terms is never -0), so they are passed over: most bins of a large
    // histogram are empty.
    double sum = 0;
    forEachWrittenBin([&](size_t i) {
        const double content = contents_[i];
        if (content != 0) sum += axis_.center(static_cast<int>(i)) * content;
    });
    const double mean = sum / n;
    double m2 = 0;
    double m4 = 0;
    if (n > 1) {
        forEachWrittenBin([&](size_t i) {
            const double content = contents_[i];
            if (content == 0) return;
            const double center = axis_.center(static_cast<int>(i));
            const double d2 = (center - mean) * (center - mean);
            m2 += d2 * content;
            m4 += d2 * d2 * content;
        });
        m2 /= n - 1;
        m4 /= n - 1;
    }
    mean_ = mean;
    std_ = m2 > 0 ? std::sqrt(m2) : 0;
    meanErr_ = std_ / std::sqrt(n);
    stdErr_ = 0;
    if (std_ != 0 && n > 1) {
        // Approximate error of the standard deviation; a negative estimate (few entries) counts as 0.
        const double variance = (m4 - (n - 3) / (n - 1) * m2 * m2) / n;
        stdErr_ = variance > 0 ? std::sqrt(variance) / (2 * std_) : 0;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Normalisation and rebinning

int Hist1D::Normalize(double norm) {
    const double integral = Integral();
    if (integral == 0) {
        printError(messages_, "Normalization can not be done. No bin content.");
        return -1;
    }
    if (norm < 1) {
        printError(messages_, "Normalization can not be done for norm less or equal 0.");
        return -2;
    }
    // The divisor is a whole number of entries per unit of norm; an integral below half the norm still divides
    // by one rather than by zero.
    const double divisor = std::max(1.0, std::round(integral / norm));
    const double scale = 1.0 / divisor;
    for (double& content : contents_) content *= scale;
    underflow_ = 0;
    overflow_ = 0;
    integral_ = integral * scale;
    return 0;
}

// Rebin with NBin not a multiple of k: the remaining bins form one narrower last bin that is counted, so NBin
// becomes NBin / k rounded up and Xmax stays where it was; nothing moves between the bins and the overflow. Such a
// histogram no longer has equal bins, so it becomes a variable-width one (BinEquidist 0, bin width -1) and FindBin
// searches its edges. With no remainder an equidistant histogram stays equidistant with k times the width.
int Hist1D::Rebin(int k) {
    if (k < 2) {
        printError(messages_, "Rebin val has to be larger than 1!");
        return -1;
    }
    if (!axis_.hasEdges() || contents_.size() != axis_.edgeCount()) {
        printError(messages_, "Low edges are not defined! Can not be rebinned!");
        return -1;
    }
    const int oldBins = axis_.nBin;
    const int newBins = (oldBins + k - 1) / k;
    std::vector<double> edges(static_cast<size_t>(newBins) + 2);
    ZeroedDoubles contents(static_cast<size_t>(newBins) + 2);
    edges.front() = axis_.min;
    edges.back() = axis_.max;
    contents.front() = contents_.front();
    contents.back() = contents_.back();
    for (int j = 1; j <= newBins; ++j) {
        const int first = (j - 1) * k + 1;
        const int last = std::min(j * k, oldBins);
        edges[static_cast<size_t>(j)] = axis_.edge(static_cast<size_t>(first));
        double sum = 0;
        for (int i = first; i <= last; ++i) sum += contents_[static_cast<size_t>(i)];
        contents[static_cast<size_t>(j)] = sum;
    }
    const bool stayEquidistant = axis_.equidist == 1 && oldBins % k == 0;
    axis_.lowEdges = std::move(edges);
    axis_.nBin = newBins;
    axis_.equidist = stayEquidistant ? 1 : 0;
    axis_.width = stayEquidistant ? axis_.width * k : -1;
    contents_ = std::move(contents);
    MirrorFlows();
    return 0;
}

int Hist1D::RebinToEdges(const std::vector<double>& edges) {
    if (!axis_.hasEdges() || contents_.size() != axis_.edgeCount()) {
        printError(messages_, "Low edges are not defined! Can not be rebinned!");
        return -1;
    }
    if (edges.size() < 2) {
        printError(messages_, " No edges given or only one! (" + std::to_string(edges.size()) + ")");
        return -2;
    }
    if (edges.front() < axis_.min) {
        printError(messages_, " Xmin rebin is lower than current Xmin! (" + formatFixed(edges.front()) + "," +
                                  formatFixed(axis_.min) + ")");
        return -3;
    }
    if (edges.back() > axis_.max) {
        printError(messages_, " Xmax rebin is lower than current Xmax! (" + formatFixed(edges.back()) + "," +
                                  formatFixed(axis_.max) + ")");
        return -4;
    }
    const size_t newBins = edges.size() - 1;
    ZeroedDoubles contents(newBins + 2);
    std::vector<int> collected(newBins + 2, 0);
    contents.front() = contents_.front();
    contents.back() = contents_.back();
    size_t target = 1;
    for (int i = 1; i <= axis_.nBin; ++i) {
        const double center = axis_.center(i);
        const double content = contents_[static_cast<size_t>(i)];
        if (center < edges.front()) {
            contents.front() += content;
            continue;
        }
        while (target <= newBins && center > edges[target]) ++target;
        contents[target] += content;
        ++collected[target];
    }
    for (size_t j = 1; j <= newBins; ++j) {
        if (collected[j] == 0) {
            printMsg(messages_, "[ERROR] one rebin bin is finer than original binning!");
            return -5;
        }
    }
    axis_.layoutFromEdges(edges);
    contents_ = std::move(contents);
    MirrorFlows();
    return 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Configuration and files

int Hist1D::LoadConfig() {
    if (!config_ || LoadOwnConfig() != 0) {
        return ReportCode("Read of config file during config load failed.", kConfigRead);
    }
    const ConfigSection* par = config_->getSection("HistPar");
    infoText(par, "Title", title_);
    infoText(par, "Name", name_);
    infoTexts(par, "AxisTitle", axisTitles_);
    infoInt(par, "NBin", "Nbins", axis_.nBin);
    infoNumber(par, "Xmax", "xmax", axis_.max);
    infoNumber(par, "Xmin", "xmin", axis_.min);
    if (!binsGiven_) infoNumbers(par, "BinLowEdge", axis_.lowEdges);
    bool equidist = axis_.equidist == 1;
    if (infoFlag(par, "BinEquidist", equidist)) axis_.equidist = equidist ? 1 : 0;
    infoFlag(par, "DoPlot", doPlot_);
    infoFlag(par, "DoSparseExport", doSparseExport_);
    infoInt(par, "NumRebinPlot", "NumRebinPlot", numRebinPlot_);
    infoFlag(par, "DoLogX", doLogX_);
    infoFlag(par, "DoLogY", doLogY_);
    infoFlag(par, "DoAutoRange", doAutoRange_);
    infoTexts(par, "AxisTitles", axisTitles_);

    const ConfigSection* cont = config_->getSection("HistCont");
    infoNumbers(cont, "BinCont", contents_);
    if (binsGiven_) {
        infoNumber(cont, "Overflow", "OverFlow", overflow_);
        infoNumber(cont, "Underflow", "UnderFlow", underflow_);
    }

    const ConfigSection* stat = config_->getSection("Statistics");
    if (stat == nullptr) stat = config_->getSection("Stat");
    infoNumber(stat, "Mean", mean_);
    infoNumber(stat, "Mean_Err", meanErr_);
    infoNumber(stat, "Std", std_);
    infoNumber(stat, "Std_Err", stdErr_);

    const ConfigSection* out = config_->getSection("Output");
    infoText(out, "FileOut_Path", fileOutPath_);
    infoText(out, "FileOut_Name", fileOutName_);
    infoText(out, "FileOut_EndData", fileOutEndData_);
    infoText(out, "FileOut_EndInfo", fileOutEndInfo_);
    return 0;
}

int Hist1D::Export() {
    if (statOnOutput_) ComputeStatistics();
    const int nBin = axis_.nBin;
    const bool sparse = doSparseExport_ && axis_.equidist == 1;

    // Sparse files keep bins 1 and 2, which fix the binning, the non-empty bins and the overflow slot.
    OutputText& text = histDataText();
    if (!sparse) text.reserve(static_cast<size_t>(24 * (nBin + 1)));
    auto addLine = [&](int i) {
        char* end = writeRoundTrip(text.claim(kHistLineRoom), axis_.edge(static_cast<size_t>(i)));
        *end++ = '\t';
        end = writeRoundTrip(end, contents_[static_cast<size_t>(i)]);
        *end++ = '\n';
        text.commit(end);
    };
    if (binsDefined_ && sparse) {
        for (int i = 1; i <= std::min(nBin, 2); ++i) addLine(i);
        forEachWrittenBin([&](size_t i) {
            if (i > 2 && contents_[i] != 0) addLine(static_cast<int>(i));
        });
        addLine(nBin + 1);
    } else if (binsDefined_) {
        for (int i = 1; i <= nBin + 1; ++i) addLine(i);
    }
    ConfigFile info = InfoFileHead();
    info.addParameter("HistPar", "NBin", static_cast<double>(nBin));
    info.addParameter("HistPar", "Xmin", axis_.min);
    info.addParameter("HistPar", "Xmax", axis_.max);
    info.addParameter("HistPar", "BinEquidist", static_cast<double>(axis_.equidist));
    if (axis_.equidist == 0) info.addParameter("HistPar", "BinLowEdge", axis_.binEdges());
    info.addSection("HistCont");
    info.addParameter("HistCont", "Underflow", underflow_);
    info.addParameter("HistCont", "Overflow", overflow_);
    info.addSection("Statistics");
    info.addParameter("Statistics", "Mean", mean_);
    info.addParameter("Statistics", "Mean_Err", meanErr_);
    info.addParameter("Statistics", "Std", std_);
    info.addParameter("Statistics", "Std_Err", stdErr_);
    return WriteFiles(text.text(), info, kCannotWriteData, kCannotWriteInfo);
}

// The data file is authoritative for the edges: it carries them at full precision, while the information file may
// have rounded Xmin and Xmax. A full file lists every bin in order and then the overflow slot, whose line is not a
// bin: NBin + 1 lines. A sparse file (equal bins, at most NBin lines) starts with bin 1 and ends with the overflow
// slot, whose edges give Xmin and Xmax. The under- and overflow values come from the information file.
int Hist1D::LoadData() {
    std::string text;
    size_t usableLines = 0;
    if (int code = ReadDataText(text, 2, usableLines, {kInfoNotRead, kCannotOpenData, kCannotCountData}); code != 0)
        return code;
    if (axis_.nBin <= 0) {
        CheckConsistency();
        return CheckedCode();
    }
    if (TooManyBins(uint64_t(axis_.nBin))) return CheckedCode();
    ReadContentsLines(text, usableLines);
    contents_.front() = underflow_;
    contents_.back() = overflow_;
    binsDefined_ = true;
    if (!CheckConsistency()) return CheckedCode();
    statOnOutput_ = true;
    return 0;
}

void Hist1D::ReadContentsLines(const std::string& text, size_t usableLines) {
    const int nBin = axis_.nBin;
    const size_t bins = static_cast<size_t>(nBin);
    std::vector<double> edges;
    std::vector<double> values;
    edges.reserve(std::min(usableLines, bins + 1));
    values.reserve(std::min(usableLines, bins + 1));
    forEachLine(text, [&](std::string_view line) {
        double numbers[2];
        if (scanLineNumbers(line, numbers, 2) < 2) return;
        edges.push_back(numbers[0]);
        values.push_back(numbers[1]);
    });
    contents_ = ZeroedDoubles(bins + 2);

    // A full file has a line per bin and the overflow slot's line; a file of equal bins with fewer lines, even one
    // fewer, is sparse and placed by position.
    const bool full = usableLines > bins || (axis_.equidist != 1 && usableLines == bins);
    if (!full) {
        double low = axis_.min;
        double high = axis_.max;
        const double tolerance = 1e-5 * std::max({std::fabs(low), std::fabs(high), high - low});
        if (!edges.empty() && std::fabs(edges.front() - low) <= tolerance) low = edges.front();
        if (!edges.empty() && std::fabs(edges.back() - high) <= tolerance) high = edges.back();
        axis_.layoutEquidistant(nBin, low, high);
        for (size_t line = 0; line < edges.size(); ++line) {
            const long k = std::lround(std::fabs(edges[line] - low) / axis_.width);
            if (k >= 0 && k < nBin) contents_[static_cast<size_t>(k) + 1] = values[line];
        }
        return;
    }

    const double high = edges.size() > bins ? edges[bins] : axis_.max;
    std::vector<double> binEdges(edges.begin(), edges.begin() + nBin);
    binEdges.push_back(high);
    for (size_t i = 0; i < bins; ++i) contents_[i + 1] = values[i];
    const int equidist = axis_.equidist;
    axis_.layoutFromEdges(binEdges);
    if (equidist == 1) {
        axis_.equidist = 1;
        axis_.width = (axis_.max - axis_.min) / nBin;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Printing

std::string Hist1D::PrintText() const {
    std::string out = kRule + "\n";
    out += "[HistPar]\n\n";
    appendFormat(out, "Title\t\t%s\n", title_.c_str());
    appendFormat(out, "Name\t\t%s\n", name_.c_str());
    out += "Axis titles\t|";
    for (const std::string& axisTitle : axisTitles_) out += axisTitle + "|";
    out += "\n";
    appendFormat(out, "NBin\t\t%ld\n", static_cast<long>(axis_.nBin));
    appendFormat(out, "Xmin\t\t%f\n", axis_.min);
    appendFormat(out, "Xmax\t\t%f\n", axis_.max);
    appendFormat(out, "BinEquidist\t%d\n", axis_.equidist);
    out += "[HistCont]\n\n";
    out += "Index\tLowEdge\t\tCont\n";
    for (int i = 1; i <= axis_.nBin && static_cast<size_t>(i) < contents_.size(); ++i) {
        appendFormat(out, "%d\t%f\t%f\n", i, axis_.edge(static_cast<size_t>(i)), contents_[static_cast<size_t>(i)]);
    }
    out += "\n";
    appendFormat(out, "Underflow\t%f\n", underflow_);
    appendFormat(out, "Overflow\t%f\n", overflow_);
    out += "[Statistics]\n\n";
    appendFormat(out, "Mean\t\t%f\n", mean_);
    appendFormat(out, "Mean err\t%f\n", meanErr_);
    appendFormat(out, "Std\t\t%f\n", std_);
    appendFormat(out, "Std err\t\t%f\t[JUST APPROXIMATE!]\n", stdErr_);
    out += kRule + "\n";
    return out;
}

void Hist1D::Print() {
    if (statOnOutput_) ComputeStatistics();
    const std::string text = PrintText();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace zel
