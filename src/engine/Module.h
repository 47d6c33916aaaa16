#pragma once
// The one surface through which the engine drives its processing modules (particle identification, filter,
// histogram sets, extended lists, results lists, and the analyses that follow). A module is constructed without
// anything that can fail, initialised once from the narrow context below, and then sees whole batches, evaluated
// clusters, the end of each batch step, sample closing, the end of the input, the export and the settings report.
// It never learns about the engine.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "common/Messages.h"

namespace zel {

class ClusterVariables;
class JobTeam;
class Pictures;
class Products;
struct InputSet;
struct Settings;

// A closed coincidence group as the coincidence analysis hands it on: its number, the time of its first cluster
// and the rows of its clusters one after another, `width` values each. The view lives only during the call.
struct CoincidenceGroup {
    double eventId = 0.0;
    double firstTime = 0.0;
    size_t width = 0;
    std::span<const double> values;

    size_t size() const { return width == 0 ? 0 : values.size() / width; }
    std::span<const double> row(size_t i) const { return values.subspan(i * width, width); }
};

// Facts of the run that modules establish at initialisation and the modules after them read.
struct RunState {
    // The class names of the classification followed by "Others"; empty without classification.
    std::vector<std::string> classNames;
    int pidAlgorithm = -1;  // the algorithm in use, -1 without classification
    bool pidActive = false;
    bool filterActive = false;
    bool fileRun = false;  // a file run, as against batches pushed by a host
    std::vector<std::string> inputsFailed;  // inputs of a file run that could not be processed
    // Modules whose initialisation failed while the run went on without them, by table name.
    std::vector<std::string> failedModules;
    // The pixel mask: on once loaded, its factor N / (N - M), and the pixel hits its copies kept and left out.
    bool maskOn = false;
    double maskFactor = 1.0;
    double maskPixelsKept = 0.0;
    double maskPixelsMasked = 0.0;
    // What the frame analysis found by the end of the input: the frames, the one of maximal occupancy and the
    // acquisition time of a frame with its unit.
    int frameCount = 0;
    int maxOccupancyFrame = 0;
    double frameTimeAcq = -1.0;
    std::string frameTimeUnit = "s";
    // Receives every closed coincidence group of two or more clusters (the Compton camera registers here).
    std::function<void(const CoincidenceGroup&)> coincidenceGroupClosed;
    // The coincidence groups to be drawn from the cluster log, chosen by the coincidence analysis when its input has
    // ended: the picture's name and title, and the run's indexes of the group's clusters (event-list order, every
    // cluster of the list counted).
    struct GroupPicture {
        std::string name;
        std::string title;
        std::vector<uint32_t> clusters;
    };
    std::vector<GroupPicture> groupPictures;
    // Where a module adds the pictures of its export (export/Pictures.h); null when graphics are off.
    Pictures* pictures = nullptr;
    // The plotting interpreter found by the check of prerequisites (empty: none works), when that check ran.
    bool interpreterChecked = false;
    std::string interpreter;
    bool interpreterMultiProcess = false;

    // Number of particle classes, without "Others".
    int classCount() const { return classNames.empty() ? 0 : static_cast<int>(classNames.size()) - 1; }
};

// What the engine shares with a module. The references outlive the module.
struct ModuleContext {
    const Settings& settings;
    ClusterVariables& variables;  // column indexes; a module may append the column it writes
    const InputSet& inputs;
    const Products& products;
    RunState& run;
    JobTeam& jobs;  // the calling thread and a helper, for work that can be shared
    MessageTarget messages;
    int codeBase = 0;  // the module's codes are this base minus a fixed number per message
};

class Module {
public:
    // An `init` result that leaves the module out of the run without the engine's failure message: the module
    // has said why (a filter without a condition on a known variable, for example).
    static constexpr int kNotUsed = 1;

    virtual ~Module() = default;
    virtual std::string_view name() const = 0;

    // Reads the module's configuration and resolves its columns: 0, kNotUsed, or the code of the failure.
    // Called once; the engine makes a new module for a reset.
    virtual int init(const ModuleContext& context) = 0;

    // Whole-batch step, in table order before the clusters are evaluated one by one (classification,
    // filtering...). A non-zero result marks the batch as failed but does not stop it.
    virtual int processBatch(ClusterBatch&) { return 0; }

    // True when the module wants processCluster: only those are called row by row.
    virtual bool takesClusters() const { return false; }
    // One evaluated cluster: its row, its place in the batch, and its class (-1 for "Others" when classes exist,
    // 0 without classification).
    virtual void processCluster(std::span<const double> /*row*/, uint32_t /*rowIndex*/, int /*classIndex*/) {}

    // The end of the batch step. prepareBatchJobs says how many jobs the module hands out (they run on either
    // thread, side by side with every other module's, and each changes only the module's own state);
    // recordBatch runs on the calling thread meanwhile and may report (the number of failures); endBatch
    // follows once all jobs are done.
    virtual size_t prepareBatchJobs(const ClusterBatch&) { return 0; }
    virtual void runBatchJob(const ClusterBatch&, size_t /*job*/) {}
    virtual int recordBatch(const ClusterBatch&) { return 0; }
    virtual void endBatch() {}

    // Closes the module's own time sample together with the products: the sample's live time (the sampling time,
    // or less for the final sample) and whether it is the last one.
    virtual void closeSample(double /*liveTime*/, bool /*final*/) {}

    // End of the input: closes whatever the module keeps open. 0 or an error code.
    virtual int finishInput() { return 0; }

    // The export, in two steps. First the module's jobs, written side by side on both threads with every other
    // module's (each job's messages are held and written afterwards, in job number order): exportJobs lists the
    // job numbers in the order they should be handed out, largest first. Then exportResults on the calling
    // thread: the module's failures to report and its own files; 0, or a non-zero result for a failure.
    virtual std::vector<size_t> exportJobs() { return {}; }
    virtual void runExportJob(size_t /*job*/) {}
    virtual int exportResults(const MessageTarget&) { return 0; }

    // The host empties the current accumulators: the module forgets what it has counted so far.
    virtual void resetCurrent() {}

    // The run failed: drops whatever partial output the module holds.
    virtual void discard() {}

    // The module's section of the settings report.
    virtual void report(const MessageTarget&) const {}
};

using ModulePtr = std::unique_ptr<Module>;

}  // namespace zel
