#pragma once
// The one processing engine behind the exported functions: owns the settings, the cluster variables, the products,
// the log stream and every module, and runs initialisation, file runs and pushed batches in a fixed order.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "cluster/ClusterVariables.h"
#include "cluster/Products.h"
#include "common/Messages.h"
#include "engine/CodeBases.h"
#include "engine/InputDiscovery.h"
#include "engine/JobTeam.h"
#include "engine/Module.h"
#include "engine/Settings.h"
#include "input/Elist.h"

namespace zel {

class ExtendedEventList;
class ExtendedClusterList;
class HistogramModule;
class ClusterMaps;

class Engine {
public:
    static constexpr const char* kVersionNumber = "1.1.0";
    static constexpr const char* kBuildDate = "240828";

    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Lifecycle entry points behind the exported functions.
    int loadParamFile(const std::string& fullName);
    int initialise();
    int initialiseModules();
    int runFiles();
    int processClusters(const std::vector<std::vector<double>>& rows);
    int processBatch(ClusterBatch& batch);
    void finishProducts();
    int reset();
    void printReport();
    std::string version() const;
    static std::string buildId();

    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }
    ClusterVariables& variables() { return variables_; }
    const ClusterVariables& variables() const { return variables_; }
    Products& products() { return products_; }
    const Products& products() const { return products_; }
    const InputSet& inputs() const { return inputs_; }
    MessageTarget messages() const { return {log_.get(), settings_.DoPrint, settings_.DoLog}; }

    bool isInitialised() const { return initialised_; }
    bool isPIDActive() const { return pidActive_; }
    bool isFilterActive() const { return filterActive_; }
    // Number of particle classes of the algorithm, without "Others".
    int classCount() const { return classNames_.empty() ? 0 : static_cast<int>(classNames_.size()) - 1; }
    // The class names followed by "Others" (empty without particle identification).
    const std::vector<std::string>& classNames() const { return classNames_; }
    double clustersRead() const { return clustersRead_; }
    int batchesRead() const { return batchesRead_; }

    // Answers of the histogram, sensor-map, field-recognition and Compton modules; empty while those modules are
    // not part of the run.
    std::vector<std::vector<double>> hist1DAll(const std::string& variable) const;
    std::vector<std::vector<double>> hist2DAll(const std::vector<std::string>& variables) const;
    std::vector<std::vector<double>> sensorMapIntegrated() const { return {}; }
    std::vector<std::vector<double>> sensorMapSample() const { return {}; }
    int radFieldRecognition(std::string& name, double& score);
    int comptonProjection(std::vector<double>& projection);
    int comptonTestProjection(std::vector<double>& projection);
    double comptonProjectionMax() const { return comptonMax_; }
    void comptonProjectionBins(int& nx, int& ny) const {
        nx = comptonBinsX_;
        ny = comptonBinsY_;
    }

    // Opens the log file (falls back to the working directory); 0 or -1.
    int openLog();

private:
    void createPID();
    void createFilter();
    int createHistograms();
    // Lists an evaluated row of the batch for the all-clusters set and for its class set.
    void noteHistogramRow(uint32_t row, int classIndex);
    // Fills the histograms and maps of every set with the rows listed for it and writes the extended lists, side
    // by side on two threads where there are two cores; then empties the row lists. The number of failures.
    int fillAndRecord(const ClusterBatch& batch);
    // With sets filled together: chooses the class set whose rows go into the all-clusters histograms only, and
    // copies the rows of the batch that go into their class sets' histograms.
    void listClassRows(const ClusterBatch& batch);
    // Fills part `part` of the class sets' histograms with the copied class rows, in the parts of the batch
    // step's fills: first those of the 2D histograms, then those of the 1D ones.
    void fillClassPart(size_t part);
    // Fills the class sets' histograms with the copied class rows and forgets them.
    void fillClassRows();
    // Fills the copied class rows, then completes the class set left out of the fills, when it lacks rows: after
    // it every class set holds all its rows.
    void completeLeftOutSet();
    // The team of threads of the batch steps, made when first needed.
    JobTeam& jobs();
    int runBatchLoop();
    int runInputElist(const std::string& path, const std::string& name);
    int exportResults();
    void removeIntermediateFiles();
    // Gives the extended lists their final names; 0 or the sum of the failures' codes.
    int exportExtendedLists(const MessageTarget& to);
    void discardExtendedLists();
    // Streams the batch into the extended event and cluster lists of a file run; the number of failures.
    int recordExtendedLists(const ClusterBatch& batch);
    bool wantsExtendedClusterList() const;
    void printBanner();
    int classOf(std::span<const double> row) const;

    Settings settings_;
    ClusterVariables variables_;
    Products products_;
    InputSet inputs_;
    std::unique_ptr<std::ofstream> log_;
    std::vector<std::unique_ptr<Module>> modules_;
    std::unique_ptr<ExtendedEventList> elistExt_;
    std::unique_ptr<ExtendedClusterList> clistExt_;
    std::vector<std::string> classNames_;
    // Histograms and cluster-position maps: the all-clusters set first, then one per class and "Others".
    std::vector<std::unique_ptr<HistogramModule>> histograms_;
    std::vector<std::unique_ptr<ClusterMaps>> maps_;
    // Per set, the rows of the current batch that go into its histograms and maps (storage kept between batches).
    std::vector<std::vector<uint32_t>> histogramRows_;
    // With classes and sets of the same histograms: the set of each row of the all-clusters list (0 for none), so
    // that the histograms of all sets are filled together, each bin found once.
    bool fillSetsTogether_ = false;
    std::vector<HistogramModule*> histogramSets_;  // histograms_ and maps_ as lists for filling them together
    std::vector<ClusterMaps*> mapSets_;
    std::vector<uint8_t> histogramSetOfRow_;
    // Copies of the rows for the class sets' histograms (all but the left-out set's) not filled yet, their sets,
    // and the places 0, 1, ... in the copy.
    ClusterBatch classBatch_;
    std::vector<uint8_t> classSetOfRow_;
    std::vector<uint32_t> classRows_;
    std::vector<size_t> rowsPerSet_;  // of the batch
    std::vector<double> setRows_;     // rows filled into each set so far, which orders the export
    size_t leftOutSet_ = 0;           // the class set left out of the histogram fills; 0 before the first batch
    size_t slicesSinceChange_ = 0;
    bool remainderPending_ = false;   // the left-out set lacks rows
    std::unique_ptr<JobTeam> jobs_;

    bool initialised_ = false;
    bool modulesCreated_ = false;
    bool processingHeaderPrinted_ = false;
    bool lastBatch_ = false;
    bool processingFinished_ = false;
    bool prerequisitesOk_ = false;
    bool exportDirsCreated_ = false;
    bool pidActive_ = false;
    bool filterActive_ = false;
    bool fileRun_ = false;

    double clustersRead_ = 0;
    int batchesRead_ = 0;
    double currentEventId_ = 0;
    double lastTime_ = 0;
    bool haveLastRow_ = false;
    std::string rfrBestName_;
    double rfrBestScore_ = -1.0;
    std::vector<double> comptonProjection_;
    double comptonMax_ = -1.0;
    int comptonBinsX_ = -1;
    int comptonBinsY_ = -1;
    Elist::Continuity continuity_;  // carried across the event lists of one run
};

}  // namespace zel
