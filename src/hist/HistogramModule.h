#pragma once
// The histogram module: a configurable set of 1D and 2D histograms of cluster variables, filled one cluster at a
// time and exported at the end of the run. Each histogram takes its value from one column of the cluster row or
// from the quotient, product, sum or difference of two columns. The set comes from a histogram file or from the
// built-in set; the module's suffix ("Total", a class name or "Others") ends every histogram title.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "common/ConfigFile.h"
#include "common/Messages.h"
#include "hist/Hist1D.h"
#include "hist/Hist2D.h"

namespace zel {

class HistogramModule {
public:
    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kDefaultLoad = 102,
        kConfigRead = 104,
        kHist1DSection = 105,
        kHist2DSection = 106,
        kConfigSections = 107,
        kNoHistograms = 109,
        kIndexBeyondData = 113,
        kNothingToExport = 115,
        kInitFailed = 117,
        kMappingFailed = 118,
        kHist1DInit = 119,
        kHist2DInit = 120,
    };

    // Value of a histogram whose source gives none (a division by zero, no source at all); it lies below every
    // built-in histogram.
    static constexpr double kNoValue = -6666;

    // The four column combinations, in the order in which a source is chosen.
    enum class Operation : int { Division, Multiplication, Addition, Subtraction };
    static constexpr size_t kOperationCount = 4;

    // One histogram with the sources of its values as configured: column indexes and variable names, plainly and
    // per operation (pairs: numerator and denominator, or the two operands in order). A 2D entry's lists cover
    // both axes. Names are turned into column indexes by MapNames.
    struct Sources {
        std::vector<int> columns;
        std::vector<std::string> names;
        std::array<std::vector<int>, kOperationCount> operationColumns;
        std::array<std::vector<std::string>, kOperationCount> operationNames;
    };
    template <class HistType>
    struct Entry : Sources {
        HistType hist;
    };
    using Entry1D = Entry<Hist1D>;
    using Entry2D = Entry<Hist2D>;

    // suffix: "Total", a class name or "Others"; it is appended, after "_", to the titles read from a histogram file.
    HistogramModule(std::string suffix, const MessageTarget& messages, int codeBase);
    HistogramModule(const HistogramModule&) = delete;
    HistogramModule& operator=(const HistogramModule&) = delete;

    // Reads the histogram file directory + fileName, or builds the built-in set when fileName is empty. Histograms
    // that initialise are kept; 0, or the sum of the codes of the failed steps.
    int LoadModuleConfig(const std::string& directory, const std::string& fileName);
    // True when a configuration was read, whether or not each of its sections made a histogram.
    bool ConfigRead() const { return config_ != nullptr && config_->isLoaded(); }
    // The built-in set, titles ending in "_" + suffix.
    int LoadDefault();

    // Resolves the sources against the engine's variable list (2D entries first): names become column indexes,
    // entries with a name missing from the list are removed with a warning, indexes beyond the list are set to its
    // last column and reported. 0, or the sum of the codes reported.
    int MapNames(const std::vector<std::string>& variableNames);
    // MapNames with the reports of a failed initialisation; 0 or base - 117.
    int InitModule(const std::vector<std::string>& variableNames);

    // Fills every histogram with one cluster, weight 1. No allocation, no name lookups.
    void FillCluster(std::span<const double> row);
    // Fills every histogram with the listed rows of a batch, in list order: the same sums as FillCluster row by
    // row, but one histogram at a time, so that its busy bins stay in the cache.
    // With `parts` > 1, only every parts-th histogram from `part` on: the parts can be filled side by side.
    void FillRows(const ClusterBatch& batch, std::span<const uint32_t> rows, size_t part = 0, size_t parts = 1);
    // The 1D and the 2D histograms of FillRows on their own.
    void FillRows1D(const ClusterBatch& batch, std::span<const uint32_t> rows, size_t part = 0, size_t parts = 1);
    void FillRows2D(const ClusterBatch& batch, std::span<const uint32_t> rows, size_t part = 0, size_t parts = 1);
    // True when `other` fills its histograms from the same values into the same bins, so that both can be
    // filled together by FillRows1DInSets and FillRows2DInSets.
    bool SameFills(const HistogramModule& other) const;
    // FillRows1D (FillRows2D) of sets[set[i]] with rows[i]: sets of classes, all with SameFills, each row in the
    // set of its class.
    static void FillRows1DInSets(std::span<HistogramModule* const> sets, const ClusterBatch& batch,
                                 std::span<const uint32_t> rows, const uint8_t* set, size_t part = 0,
                                 size_t parts = 1);
    static void FillRows2DInSets(std::span<HistogramModule* const> sets, const ClusterBatch& batch,
                                 std::span<const uint32_t> rows, const uint8_t* set, size_t part = 0,
                                 size_t parts = 1);
    // Completes sets[which] from the others (all with SameFills): it gains what the all-clusters set sets[0]
    // counts beyond the class sets sets[1] ..., the rows of its class that were filled into sets[0] only.
    static void CompleteSet(std::span<HistogramModule* const> sets, size_t which);

    // Writes every histogram (1D first) into `directory` as title + nameSuffix with the module's file endings.
    // 0, or the sum of the codes of the failed exports.
    int ExportAll(const std::string& directory, const std::string& nameSuffix = "");

    // "HISTOGRAMS", then the 1D and the 2D histograms with the source of their values.
    std::string ListText() const;
    void PrintList(const MessageTarget& to) const;

    // The first 1D histogram whose variable names hold `variable`; the 2D histogram of exactly that pair.
    const Hist1D* findHist1D(std::string_view variable) const;
    const Hist2D* findHist2D(std::string_view variableX, std::string_view variableY) const;
    // The histogram with exactly this title ("Hist1D_S_Total"), or nullptr.
    const Hist1D* findHist1DByTitle(std::string_view title) const;
    const Hist2D* findHist2DByTitle(std::string_view title) const;

    const std::string& suffix() const { return suffix_; }
    const std::vector<Entry1D>& entries1D() const { return entries1D_; }
    const std::vector<Entry2D>& entries2D() const { return entries2D_; }
    size_t histogramCount() const { return entries1D_.size() + entries2D_.size(); }
    const ConfigFile* configFile() const { return config_.get(); }
    bool isInitialised() const { return initialised_; }

    // Locations and switches read from the [Input] and [Output] sections.
    const std::string& fileInPath() const { return fileInPath_; }
    const std::string& fileInName() const { return fileInName_; }
    const std::vector<std::string>& fileOutPaths() const { return fileOutPaths_; }
    const std::string& fileOutEndData() const { return fileOutEndData_; }
    const std::string& fileOutEndInfo() const { return fileOutEndInfo_; }
    void setDoExport(bool on) { doExport_ = on; }
    bool doExport() const { return doExport_; }
    // Sensor thickness named by the last section that set one (300 until then; -1 asks for the detector's).
    double sensThick() const { return sensThick_; }

private:
    // How one value is taken from a row, with its one or two columns.
    struct Source {
        enum Kind : uint8_t { Column, Division, Multiplication, Addition, Subtraction, None };
        Kind kind = None;
        uint32_t a = 0;
        uint32_t b = 0;
    };
    struct Fill1D {
        Hist1D* hist;
        Source source;
    };
    struct Fill2D {
        Hist2D* hist;
        Source x;
        Source y;
    };

    void readLocations();
    int loadSections();
    bool addHist1D(const ConfigSection& section);
    bool addHist2D(const ConfigSection& section);
    bool mapEntry(Sources& entry, const std::vector<std::string>& variableNames, bool twoDimensional);
    void compile();
    static double valueOf(const Source& source, std::span<const double> row);

    std::string suffix_;
    MessageTarget messages_;
    int codeBase_ = 0;
    std::unique_ptr<ConfigFile> config_;
    bool userFile_ = false;
    std::vector<Entry1D> entries1D_;
    std::vector<Entry2D> entries2D_;
    std::vector<Fill1D> fills1D_;
    std::vector<Fill2D> fills2D_;
    std::vector<std::string> variableNames_;
    std::string fileInPath_;
    std::string fileInName_ = "Elist.txt";
    std::vector<std::string> fileOutPaths_;
    std::string fileOutEndData_ = ".hist";
    std::string fileOutEndInfo_ = ".hist_info";
    bool doExport_ = true;
    double sensThick_ = 300;
    bool initialised_ = false;
};

}  // namespace zel
