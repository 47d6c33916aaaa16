#include "rfr/SigVec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

namespace zel {
namespace {

constexpr std::string_view kPrefix = "SigVec : ";

std::string prefixed(std::string_view text) { return std::string(kPrefix) + std::string(text); }

std::string firstString(const ConfigSection& section, std::string_view key, std::string fallback) {
    const ConfigParameter* p = section.find(key);
    return p != nullptr && !p->strings.empty() ? p->strings.front() : fallback;
}

double firstNumber(const ConfigSection& section, std::string_view key, double fallback) {
    const ConfigParameter* p = section.find(key);
    return p != nullptr && !p->numbers.empty() ? p->numbers.front() : fallback;
}

std::vector<double> numbers(const ConfigSection& section, std::string_view key) {
    const ConfigParameter* p = section.find(key);
    return p != nullptr ? p->numbers : std::vector<double>{};
}

// The numbers of one line of a vector file: runs of digits, '.', '-', '+', 'e' and 'E' that read as a number.
void appendNumbers(std::string_view line, std::vector<double>& into) {
    auto isNumberChar = [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    };
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && !isNumberChar(line[i])) ++i;
        size_t end = i;
        while (end < line.size() && isNumberChar(line[end])) ++end;
        if (end > i) {
            std::string_view token = line.substr(i, end - i);
            if (token.front() == '+') token.remove_prefix(1);
            double value = 0;
            const auto [last, error] = std::from_chars(token.data(), token.data() + token.size(), value);
            if (error == std::errc() && last == token.data() + token.size()) into.push_back(value);
        }
        i = end;
    }
}

std::string numberText(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace

SigVec::SigVec(int errorCodeBase, const MessageTarget& messages) : messages_(messages), errorBase_(errorCodeBase) {}

int SigVec::Fail(const std::string& text, int number) const {
    return printModuleError(messages_, prefixed(text), errorBase_, number);
}

int SigVec::LoadConfig(const std::string& directory, const std::string& fileName) {
    initialised_ = false;
    ConfigFile config(directory, fileName);
    config.setMessageTarget(messages_);
    config.setErrorCodeBase(errorBase_);
    if (config.load() != 0 || !config.isLoaded())
        return Fail("Failed to open config file in load config function.", kConfigOpen);
    configName_ = directory + fileName;
    return ReadConfig(config);
}

void SigVec::UseBuiltInConfig(const std::string& histogramPath, const std::string& outputPath,
                              const std::string& suffix) {
    // Assembled in memory as "SigVec.ini" of the current directory; nothing is read from the disk.
    ConfigFile config("", "SigVec.ini");
    config.setSkipLoad(true);
    config.addSection("Input");
    config.addParameter("Input", "FileHistIn_Path", histogramPath);
    config.addParameter("Input", "FileHistIn_EndData", ".hist");
    config.addParameter("Input", "FileHistIn_EndInfo", ".hist_info");
    config.addSection("Output");
    config.addParameter("Output", "FileOut_Path", outputPath);
    config.addParameter("Output", "FileOut_Name", "SigVec");
    config.addParameter("Output", "FileOut_EndData", ".vec");
    config.addParameter("Output", "FileOut_EndInfo", ".vec_info");
    struct BuiltIn {
        const char* section;
        const char* hist;
        std::initializer_list<double> intervals;
    };
    const BuiltIn builtIn[] = {
        {"Var_S", "Hist1D_S", {-1, 5, 5, 20, 20, 1e200}},
        {"Var_BorderPixN", "Hist1D_BorderPixN", {-1, 2, 2, 5, 5, 15, 15, 1e200}},
        {"Var_Lin", "Hist1D_Linear", {-1, 0.5, 0.5, 0.95, 0.95, 1e200}},
    };
    for (const BuiltIn& b : builtIn) {
        config.addSection(b.section);
        config.addParameter(b.section, "Title", std::string(b.section) + suffix);
        config.addParameter(b.section, "HistName", std::string(b.hist) + suffix);
        config.addParameter(b.section, "Intervals", b.intervals);
        config.addParameter(b.section, "Normalize", 1.0);
    }
    configName_ = "SigVec.ini";
    ReadConfig(config);
}

int SigVec::ReadConfig(const ConfigFile& config) {
    variables_.clear();
    if (const ConfigSection* input = config.getSection("Input")) {
        fileHistInPath_ = firstString(*input, "FileHistIn_Path", fileHistInPath_);
        fileHistInEndData_ = firstString(*input, "FileHistIn_EndData", fileHistInEndData_);
        fileHistInEndInfo_ = firstString(*input, "FileHistIn_EndInfo", fileHistInEndInfo_);
    }
    if (const ConfigSection* output = config.getSection("Output")) {
        fileOutPath_ = firstString(*output, "FileOut_Path", fileOutPath_);
        fileOutName_ = firstString(*output, "FileOut_Name", fileOutName_);
        fileOutEndData_ = firstString(*output, "FileOut_EndData", fileOutEndData_);
        fileOutEndInfo_ = firstString(*output, "FileOut_EndInfo", fileOutEndInfo_);
    }
    if (const ConfigSection* settings = config.getSection("Settings"))
        doNormalization_ = firstNumber(*settings, "DoNormalization", 0) != 0;

    for (const auto& section : config.sections()) {
        if (section->name.find("Var") == std::string::npos) continue;
        Variable v;
        v.title = firstString(*section, "Title", section->name);
        v.histName = firstString(*section, "HistName", "");
        v.rebin = static_cast<int>(firstNumber(*section, "RebinVal", 0));
        v.rebinEdges = numbers(*section, "BinLowEdge_Rebin");
        v.intervals = numbers(*section, "Intervals");
        v.normalize = firstNumber(*section, "Normalize", 0) != 0;
        for (const ConfigParameter& p : section->parameters)
            if (p.key.find("Mask") != std::string::npos && !p.strings.empty()) v.masks.push_back(p.strings.front());
        // A variable must name its histogram and give whole pairs of interval edges.
        if (v.histName.empty())
            return Fail("Variable " + section->name + " names no histogram (HistName).", kConfigContents);
        if (v.intervals.size() % 2 != 0)
            return Fail("Variable " + section->name + " has an odd number of interval edges.", kConfigContents);
        variables_.push_back(std::move(v));
    }
    if (variables_.empty()) return Fail("No variable section (a name holding \"Var\") was given.", kConfigContents);
    initialised_ = true;
    return 0;
}

void SigVec::ClearData() {
    histograms_.clear();
    vector_.clear();
    varSize_.clear();
    varMean_.clear();
    varStd_.clear();
    varTitles_.clear();
    report_.clear();
}

int SigVec::AddHist1D(const Hist1D* hist) {
    if (hist == nullptr) return Fail("Can not add nullptr 1D histogram for processing.", kNullHistogram);
    histograms_.emplace_back(*hist);
    return 0;
}

int SigVec::AddHist2D(const Hist2D* hist) {
    if (hist == nullptr) return Fail("Can not add nullptr 2D histogram for processing.", kNullHistogram);
    histograms_.emplace_back(*hist);
    return 0;
}

std::vector<std::string> SigVec::GetHistNames() const {
    std::vector<std::string> names;
    for (const Variable& v : variables_) names.push_back(v.histName);
    return names;
}

std::vector<double> SigVec::GetIntervals() const {
    std::vector<double> all;
    for (const Variable& v : variables_) all.insert(all.end(), v.intervals.begin(), v.intervals.end());
    return all;
}

int SigVec::Process() {
    if (!initialised_) {
        printError(messages_, prefixed("Init failed in processing of data. Init should be done before processing."));
        return Fail("Processing failed because initialization has not been done or failed.", kNotInitialised);
    }
    const bool inMemory = !histograms_.empty();
    if (inMemory && histograms_.size() < variables_.size())
        return Fail("No histograms have been given.", kNoHistograms);
    vector_.clear();
    varSize_.clear();
    varMean_.clear();
    varStd_.clear();
    varTitles_.clear();
    report_ = std::string(71, '=') + "\n                     SIGNIFICANT VECTOR PROCESSING                     \n" +
              std::string(71, '=') + "\n";

    for (size_t i = 0; i < variables_.size(); ++i) {
        const Variable& variable = variables_[i];
        report_ += "\n* Processing histogram: " + variable.histName;
        std::vector<Histogram> fromFile;
        if (!inMemory) {
            // Histogram files name their dimension in the information file: 1D is tried first.
            try {
                fromFile.emplace_back(Hist1D(fileHistInPath_, variable.histName, fileHistInEndData_,
                                             fileHistInEndInfo_, 0, {nullptr, false, false}));
            } catch (const std::runtime_error&) {
                try {
                    fromFile.emplace_back(Hist2D(fileHistInPath_, variable.histName, fileHistInEndData_,
                                                 fileHistInEndInfo_, 0, messages_));
                } catch (const std::runtime_error&) {
                    printError(messages_, prefixed("Could not load 1D histogram in process hist"));
                    printError(messages_, prefixed("Could not load 2D histogram in process hist."));
                    return Fail("Histogram processing failed. " + variable.title, kHistogramFailed);
                }
            }
        }
        Histogram& hist = inMemory ? histograms_[i] : fromFile.front();
        if (ProcessVariable(variable, hist) != 0) {
            printError(messages_, prefixed("Processing of histogram failed"));
            return Fail("Histogram processing failed. " + variable.title, kHistogramFailed);
        }
        if (doNormalization_) NormaliseCollected();
    }
    report_ += "\n\nFeatures:\n\n";
    for (const Variable& v : variables_) {
        report_ += "Var_" + v.title + "\tNormalize\t" + (v.normalize ? "True" : "False") + "\tIntervals";
        for (size_t j = 0; j + 1 < v.intervals.size(); j += 2)
            report_ += "\t[" + numberText(v.intervals[j]) + "," + numberText(v.intervals[j + 1]) + "]";
        report_ += "\n";
    }
    report_ += "\nDATA:\n\n\tIndex\tCont\t\tHist\n\n";
    for (size_t j = 0; j < vector_.size(); ++j) {
        const int bar = static_cast<int>(std::lround(std::clamp(vector_[j], 0.0, 1.0) * 40));
        report_ += "\t" + std::to_string(j) + "\t" + numberText(vector_[j]) + "\t\t" +
                   (bar > 0 ? " --" + std::string(static_cast<size_t>(bar), '-') + ",-- " : " --'") + "   |\n";
    }
    report_ += " --'\n";
    printMsg(messages_, report_);
    return 0;
}

int SigVec::ProcessVariable(const Variable& variable, Histogram& hist) {
    varTitles_.push_back(variable.title);
    if (auto* h1 = std::get_if<Hist1D>(&hist)) {
        // An empty histogram keeps its zeros: every interval of it is 0.
        if (variable.normalize && h1->Integral() != 0 && h1->Normalize(1) != 0) return -1;
        if (variable.rebin > 1 && h1->Rebin(variable.rebin) != 0) return -1;
        if (!variable.rebinEdges.empty() && h1->RebinToEdges(variable.rebinEdges) != 0) return -1;
        if (variable.intervals.empty()) {
            printError(messages_, prefixed("Histogram intervaling can not be done."));
            return -1;
        }
        return Interval1D(variable, *h1);
    }
    auto& h2 = std::get<Hist2D>(hist);
    if (variable.normalize && h2.Integral() != 0 && h2.Normalize(1) != 0) return -1;
    if (!variable.masks.empty()) return Masks2D(variable, h2);
    if (variable.intervals.size() < 4) {
        printError(messages_, prefixed("Histogram2D intervaling can not be done because there only " +
                                       std::to_string(variable.intervals.size()) + "of interval edges."));
        printError(messages_, prefixed("Histogram2D intervaling can not be done."));
        return -1;
    }
    printWarning(messages_, prefixed("Histogram2D intervaling - Not tested! Skipped!"));
    varSize_.push_back(0);
    varMean_.push_back(-666);
    varStd_.push_back(-666);
    return 0;
}

int SigVec::Interval1D(const Variable& variable, Hist1D& hist) {
    report_ += "\n\tHistogram intervaling:\t";
    const int nBin = hist.GetNBin();
    double total = 0;
    double weighted = 0;  // sum of content x centre
    double squares = 0;   // sum of content x centre squared
    std::string results;
    for (size_t j = 0; j + 1 < variable.intervals.size(); j += 2) {
        const double a = variable.intervals[j];
        const double b = variable.intervals[j + 1];
        report_ += "\t[" + numberText(a) + "," + numberText(b) + "]\t";
        const double lo = std::max(hist.GetXmin(), a);
        const double hi = std::min(hist.GetXmax(), b);
        double sum = 0;
        if (!(lo > hist.GetXmax() || hist.GetXmin() > hi)) {
            int i = 1;
            while (i <= nBin && hist.GetBinCenter(i) < lo) ++i;
            for (; i <= nBin && hist.GetBinCenter(i) <= hi; ++i) {
                const double content = hist.GetBinContent(i);
                const double centre = hist.GetBinCenter(i);
                sum += content;
                weighted += content * centre;
                squares += content * centre * centre;
            }
        }
        total += sum;
        vector_.push_back(sum);
        results += "\t" + numberText(sum);
    }
    report_ += "\n\tIntervaling results:\t" + results;
    varSize_.push_back(static_cast<int>(variable.intervals.size() / 2));
    const double mean = total != 0 ? weighted / total : 0;
    varMean_.push_back(mean);
    // The spread of the bin centres, weighted by content; a total of one entry or less has none to speak of.
    const double variance = total > 1 ? (squares - mean * mean * total) / (total - 1)
                            : total > 0 ? squares / total - mean * mean
                                        : 0;
    varStd_.push_back(std::sqrt(std::max(0.0, variance)));
    return 0;
}

int SigVec::Masks2D(const Variable& variable, Hist2D& hist) {
    report_ += "\n\tHistogram2D mask application + integrating";
    std::string results;
    for (const std::string& maskFile : variable.masks) {
        Hist2D mask = hist;
        mask.ClearContents(true);
        if (!mask.LoadHist_OnlyCont_FromMatrix(maskFile)) return -1;
        Hist2D product = hist;
        if (product.Multiply(mask) != 0) return -1;
        const double integral = product.Integral();
        vector_.push_back(integral);
        results += "\t" + numberText(integral);
    }
    report_ += "\n\tMasking results:\t" + results;
    varSize_.push_back(static_cast<int>(variable.masks.size()));
    varMean_.push_back(-666);
    varStd_.push_back(-666);
    return 0;
}

void SigVec::NormaliseCollected() {
    double sum = 0;
    for (double v : vector_) sum += v;
    if (sum == 0) return;
    for (double& v : vector_) v *= normTarget_ / sum;
}

int SigVec::Export() const {
    {
        std::ofstream data(DataPath(), std::ios::out | std::ios::trunc);
        if (!data.is_open()) return Fail("Failed to open data file for export: " + DataPath(), kDataWrite);
        for (double v : vector_) data << v << "\n";
    }
    ConfigFile info(fileOutPath_, fileOutName_ + fileOutEndInfo_);
    info.setMessageTarget(messages_);
    info.setErrorCodeBase(errorBase_);
    info.addSection("VecPar");
    info.addParameter("VecPar", "VarTitle", varTitles_);
    info.addParameter("VecPar", "Label", label_);
    info.addParameter("VecPar", "VarSize", std::vector<double>(varSize_.begin(), varSize_.end()));
    info.addParameter("VecPar", "VarMean", varMean_);
    info.addParameter("VecPar", "VarStd", varStd_);
    info.addSection("Output");
    info.addParameter("Output", "FileOut_Path", fileOutPath_);
    info.addParameter("Output", "FileOut_Name", fileOutName_);
    info.addParameter("Output", "FileOut_EndData", fileOutEndData_);
    info.addParameter("Output", "FileOut_EndInfo", fileOutEndInfo_);
    if (info.save() != 0) return Fail("Export failed.", kExport);
    return 0;
}

int SigVec::ImportVector(const std::string& directory, const std::string& name, const std::string& dataEnding,
                         const std::string& infoEnding) {
    ConfigFile info(directory, name + infoEnding);
    info.setMessageTarget(messages_);
    info.setErrorCodeBase(errorBase_);
    if (info.load() != 0 || !info.isLoaded()) return Fail("Failed to load info file.", kInfoLoad);
    if (const ConfigSection* par = info.getSection("VecPar")) {
        label_ = firstString(*par, "Label", label_);
        if (const ConfigParameter* p = par->find("VarTitle")) varTitles_ = p->strings;
        const std::vector<double> sizes = numbers(*par, "VarSize");
        varSize_.assign(sizes.begin(), sizes.end());
        varMean_ = numbers(*par, "VarMean");
        varStd_ = numbers(*par, "VarStd");
    }
    const std::string path = directory + name + dataEnding;
    std::ifstream data(path);
    if (!data.is_open()) return Fail("Failed to open data file:" + path, kDataOpen);
    vector_.clear();
    std::string line;
    while (std::getline(data, line)) appendNumbers(line, vector_);
    if (vector_.empty()) printWarning(messages_, prefixed("Loaded empty vector."));
    return 0;
}

}  // namespace zel
