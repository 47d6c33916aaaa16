#pragma once
// The significant vector of a measurement: for each configured cluster variable, the share of clusters that fall
// into a few value intervals of its histogram (or, for a 2D histogram, the integrals under a few masks). It is
// configured by a "SigVec.ini" file or by the built-in three-variable set, takes copies of its input histograms
// (added in memory or read from histogram files), and writes and reads itself as a ".vec" data file (one component
// per line) with a ".vec_info" information file. Reference vectors of known fields are SigVec objects as well.
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "common/ConfigFile.h"
#include "common/Messages.h"
#include "hist/Hist1D.h"
#include "hist/Hist2D.h"

namespace zel {

class SigVec {
public:
    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kConfigOpen = 101,
        kConfigContents = 102,
        kNotInitialised = 103,
        kNoHistograms = 104,
        kHistogramFailed = 105,
        kNullHistogram = 106,
        kInfoLoad = 108,
        kDataOpen = 109,
        kDataWrite = 118,
        kExport = 119,
    };

    // One variable of the vector: a section of the configuration.
    struct Variable {
        std::string title;     // the section's Title, or its name
        std::string histName;  // title of the input histogram
        int rebin = 0;         // > 1 merges that many bins first
        std::vector<double> rebinEdges;
        std::vector<double> intervals;  // pairs low, high
        bool normalize = false;
        std::vector<std::string> masks;  // mask matrix files of a 2D variable
    };

    explicit SigVec(int errorCodeBase = 0, const MessageTarget& messages = {});

    // Reads directory + fileName; 0 or a code. Every section whose name holds "Var" is a variable, in file order.
    int LoadConfig(const std::string& directory, const std::string& fileName);
    // The built-in configuration: size, border pixel count and linearity of the histogram titles ending in
    // `suffix` (for example "_Total"), with histogram files looked for in histogramPath.
    void UseBuiltInConfig(const std::string& histogramPath, const std::string& outputPath, const std::string& suffix);
    // Forgets the input histograms and the vector, keeping the configuration: ready for a new Process.
    void ClearData();

    // Copies of the input histograms, one per variable in order; without any, Process reads histogram files.
    int AddHist1D(const Hist1D* hist);
    int AddHist2D(const Hist2D* hist);

    // Builds the vector; 0 or a code.
    int Process();
    // Writes the ".vec" and ".vec_info" files; 0 or a code.
    int Export() const;
    // Reads directory + name + infoEnding, then directory + name + dataEnding, replacing the vector.
    int ImportVector(const std::string& directory, const std::string& name, const std::string& dataEnding,
                     const std::string& infoEnding);

    // The text of the processing report, built by Process.
    const std::string& ReportText() const { return report_; }

    bool IsInitialised() const { return initialised_; }
    const std::vector<Variable>& GetVariables() const { return variables_; }
    // Titles of the input histograms, in variable order.
    std::vector<std::string> GetHistNames() const;
    const std::vector<double>& GetVector() const { return vector_; }
    void SetVector(std::vector<double> vector) { vector_ = std::move(vector); }
    const std::vector<int>& GetVarSize() const { return varSize_; }
    const std::vector<double>& GetVarMean() const { return varMean_; }
    const std::vector<double>& GetVarStd() const { return varStd_; }
    const std::vector<std::string>& GetVarTitles() const { return varTitles_; }
    // Every variable's intervals in order, as configured.
    std::vector<double> GetIntervals() const;
    const std::string& GetLabel() const { return label_; }

    void SetDoNormalization(bool on) { doNormalization_ = on; }
    bool GetDoNormalization() const { return doNormalization_; }
    void SetNormTarget(double target) { normTarget_ = target; }
    void SetOutput(std::string path, std::string name) {
        fileOutPath_ = std::move(path);
        fileOutName_ = std::move(name);
    }
    std::string DataPath() const { return fileOutPath_ + fileOutName_ + fileOutEndData_; }
    std::string InfoPath() const { return fileOutPath_ + fileOutName_ + fileOutEndInfo_; }
    const std::string& ConfigName() const { return configName_; }

private:
    using Histogram = std::variant<Hist1D, Hist2D>;

    int ReadConfig(const ConfigFile& config);
    int ProcessVariable(const Variable& variable, Histogram& hist);
    int Interval1D(const Variable& variable, Hist1D& hist);
    int Masks2D(const Variable& variable, Hist2D& hist);
    void NormaliseCollected();
    int Fail(const std::string& text, int number) const;

    MessageTarget messages_;
    int errorBase_ = 0;
    std::vector<Variable> variables_;
    std::vector<Histogram> histograms_;
    std::vector<double> vector_;
    std::vector<int> varSize_;
    std::vector<double> varMean_;
    std::vector<double> varStd_;
    std::vector<std::string> varTitles_;
    std::string label_ = "RadiationField_SignificantVector";
    bool doNormalization_ = false;
    double normTarget_ = 1.0;
    std::string fileHistInPath_;
    std::string fileHistInEndData_ = ".hist";
    std::string fileHistInEndInfo_ = ".hist_info";
    std::string fileOutPath_;
    std::string fileOutName_ = "SigVec";
    std::string fileOutEndData_ = ".vec";
    std::string fileOutEndInfo_ = ".vec_info";
    std::string configName_;
    std::string report_;
    bool initialised_ = false;
};

}  // namespace zel
