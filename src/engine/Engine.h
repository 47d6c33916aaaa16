#pragma once
// The one processing engine behind the exported functions: owns the settings, the cluster variables, the
// products, the log stream and the modules, and runs initialisation, file runs and pushed batches through the
// modules of the module table in a fixed order.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "cluster/ClusterVariables.h"
#include "cluster/Products.h"
#include "common/Messages.h"
#include "engine/InputDiscovery.h"
#include "engine/JobTeam.h"
#include "engine/Module.h"
#include "engine/ModuleRunner.h"
#include "engine/Settings.h"
#include "input/Elist.h"

namespace zel {

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
    // The sum of the frames' acquisition times becomes the live time of frame data without a given TimeAcq.
    void useFrameLiveTime();
    // Empties the current accumulators of the products and of the modules that keep their own.
    void resetCurrent();
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
    const RunState& run() const { return run_; }
    MessageTarget messages() const { return {log_.get(), settings_.DoPrint, settings_.DoLog}; }

    bool isInitialised() const { return initialised_; }
    double clustersRead() const { return clustersRead_; }
    int batchesRead() const { return batchesRead_; }

    // Answers of the histogram, sensor-map, field-recognition and Compton modules; empty while those modules are
    // not part of the run.
    std::vector<std::vector<double>> hist1DAll(const std::string& variable) const;
    std::vector<std::vector<double>> hist2DAll(const std::vector<std::string>& variables) const;
    std::vector<std::vector<double>> sensorMapIntegrated() const;
    std::vector<std::vector<double>> sensorMapSample() const;
    int radFieldRecognition(std::string& name, double& score);
    int comptonProjection(std::vector<double>& projection);
    int comptonTestProjection(std::vector<double>& projection);
    double comptonProjectionMax() const { return comptonMax_; }
    // The image's bin counts as the Compton module set them; -1 and -1 until it has.
    void comptonProjectionBins(int& nx, int& ny);

    // Opens the log file (falls back to the working directory); 0 or -1.
    int openLog();

private:
    // The team of threads of initialisation, the batch steps and the export, made when first needed.
    JobTeam& jobs();
    int runBatchLoop();
    std::vector<std::string> inputFullNames() const;
    void removeStalePartialFiles();
    // With the mask on, makes masked copies of the raw inputs and puts them in the inputs' place until
    // unmaskInputs. 0, or -1 when a copy cannot be written (reported).
    int maskInputs();
    void unmaskInputs();
    int runInputElist(const std::string& path, const std::string& name);
    int exportResults();
    // Builds the significant vector from the all-clusters histograms and, when recognition is part of the run,
    // compares it with the reference database, keeping the field found. At the end of a file run the vector is
    // also exported, and compared only when recognition after the run is allowed. 0, -3005 or -3003 after its
    // message.
    int recogniseField(bool endOfFileRun);
    void removeIntermediateFiles();
    void printBanner();
    int classOf(std::span<const double> row) const;

    Settings settings_;
    ClusterVariables variables_;
    Products products_;
    InputSet inputs_;
    RunState run_;
    std::unique_ptr<std::ofstream> log_;
    std::unique_ptr<JobTeam> jobs_;
    ModuleRunner modules_;

    bool initialised_ = false;
    bool processingHeaderPrinted_ = false;
    bool prerequisitesOk_ = false;
    bool exportDirsCreated_ = false;

    double clustersRead_ = 0;
    int batchesRead_ = 0;
    double lastTime_ = 0;
    bool haveLastRow_ = false;
    // The field of the last successful recognition, and its probability (-1 until then).
    std::string fieldName_;
    double fieldProbability_ = -1.0;
    bool frameLiveTimeSaid_ = false;  // the log has said once that the frames give the live time
    double comptonMax_ = -1.0;
    int comptonBinsX_ = -1;
    int comptonBinsY_ = -1;
    Elist::Continuity continuity_;  // carried across the event lists of one run
    std::string unmaskedInputPath_;  // the inputs while their masked copies stand in for them
    std::vector<std::string> unmaskedInputNames_;
};

}  // namespace zel
