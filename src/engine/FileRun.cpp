// The file run: export directories, raw data through the clusterer, the event lists read in batches, the end of
// the input, the export, and the removal of intermediate files.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "common/Paths.h"
#include "engine/CodeBases.h"
#include "engine/Engine.h"
#include "engine/ExternalClusterer.h"
#include "engine/OutputSafety.h"
#include "engine/SettingsReport.h"
#include "export/ExportDirs.h"
#include "input/Elist.h"

namespace zel {
namespace {

// Rows of an event list that go through the batch step together.
constexpr size_t kSliceRows = 4096;

}  // namespace

int Engine::runFiles() {
    if (!initialised_) {
        int code = 0;
        try {
            code = initialise();
        } catch (const std::runtime_error& error) {
            code = codeFromRaised(error, -1036);
        }
        if (code != 0) failWith(messages(), "Initialization has not been done.", -1001);
    }
    const MessageTarget to = messages();
    printPhaseHeader("PRE-PROCESSING", to);
    run_.fileRun = true;

    if (inputs_.names.empty()) failWith(to, "No in files were found for processing.", -1038);
    // Settings changed since the initialisation may name an input as an output.
    refuseOutputsOverInputs(plannedOutputs(settings_, inputs_), inputFullNames(), to);
    int result = 0;
    if (!exportDirsCreated_) {
        result = createExportDirs(settings_, false, to);
        exportDirsCreated_ = true;
    }
    if (result == 0) result = maskInputs();
    if (result == 0) result = runRawData(settings_, inputs_, to);
    unmaskInputs();
    run_.inputsFailed = inputs_.failed;  // the results name them
    if (result == 0) result = runBatchLoop();
    if (result == 0) finishProducts();
    // A vector that cannot be made or compared is reported and leaves the rest of the run as it is; its code
    // is the run's result.
    const int recognition = result == 0 ? recogniseField(true) : 0;

    if (result == 0) {
        try {
            result = exportResults();  // raises -4000 when nothing was processed
        } catch (...) {
            modules_.discard();
            throw;
        }
        if (result == 0) {
            removeIntermediateFiles();
            // The results of the other inputs are written; the run still fails for the inputs left out.
            if (!inputs_.failed.empty()) {
                std::string names;
                for (const std::string& name : inputs_.failed) names += (names.empty() ? "" : ", ") + name;
                printErrorCode(to, "Results hold only part of the inputs. Not processed: " + names + ".",
                               kCodeClustererFailed);
            }
            printPhaseHeader("END OF PROCESSING", to);
            return inputs_.failed.empty() ? recognition : kCodeClustererFailed;
        }
    }
    modules_.discard();
    printErrorCode(to, "Error occurred during data processing.", -3006);
    return -3006;
}

int Engine::runBatchLoop() {
    const MessageTarget to = messages();
    std::vector<std::pair<std::string, std::string>> lists;  // (path, name) of the event lists to read
    if (inputs_.rawToCluster) {
        lists.emplace_back(inputs_.elistPath, inputs_.elistName);
    } else {
        for (int i = 0; i < inputs_.count; ++i) lists.emplace_back(settings_.FileInPath, inputs_.names[static_cast<size_t>(i)]);
    }
    for (const auto& [path, name] : lists) {
        if (runInputElist(path, name) != 0) {
            printErrorCode(to, "Error occurred during elist processing.", -3015);
            return -3015;
        }
    }
    if (products_.clustersProcessed() > 0 || haveLastRow_) {
        const int closed = products_.finishInput(lastTime_);
        if (modules_.finishInput() != 0 || closed != 0) {
            printErrorCode(to, "Error occurred during elist processing.", -3015);
            return -3015;
        }
    }
    return 0;
}

int Engine::runInputElist(const std::string& path, const std::string& name) {
    const MessageTarget to = messages();
    Elist reader(path, name, 'r', to, kCodeBaseElist);
    if (reader.init() != 0 || reader.checkVariables() != 0) {
        printErrorCode(to, "Elist init failed: " + name, -3014);
        return -3014;
    }
    if (inputs_.frameBased) reader.setRelativeTime(true);
    reader.continueFrom(continuity_);
    // The list is read in batches of kDefaultBatchSize rows (fewer when ClusterCount asks for fewer), and each
    // batch in slices of kSliceRows: a slice goes through the batch step while its rows are still in the cache,
    // and the storage stays small whatever the batch size. Every batch step works row by row, so slicing changes
    // no result.
    size_t batchSize = Elist::kDefaultBatchSize;
    const bool limited = settings_.ClusterCount > 0;
    if (limited && static_cast<size_t>(settings_.ClusterCount) < batchSize) batchSize = static_cast<size_t>(settings_.ClusterCount);
    const size_t sliceRows = std::min(batchSize, kSliceRows);
    // The first list's header became the variable list at recognition (the modules may have appended columns);
    // every list of the run must carry the same columns in the same order.
    const auto& names = variables_.names();
    if (reader.names().size() > names.size() || !std::equal(reader.names().begin(), reader.names().end(), names.begin())) {
        printErrorCode(to, "Elist " + name + " has other variables than the variable list of this run.", -3014);
        return -3014;
    }

    reader.setRowWidth(names.size());
    // Two slices: while one goes through the batch step, the next is read into the other.
    ClusterBatch slices[2] = {ClusterBatch(names.size()), ClusterBatch(names.size())};
    // The only allocations of the run: the two slices (and the modules' own storage, made at their first batch).
    for (ClusterBatch& slice : slices) slice.reserveRows(sliceRows);
    // Slices end where batches end, so that a failed batch is evaluated to its end and no further.
    auto readSlice = [&](ClusterBatch& into, size_t readBefore) {
        size_t rows = std::min(sliceRows, batchSize - readBefore % batchSize);
        if (limited) rows = std::min(rows, static_cast<size_t>(settings_.ClusterCount) - readBefore);
        reader.setBatchSize(rows);
        return reader.readBatch(into);
    };
    if (readSlice(slices[0], 0) != 0) return -3015;
    size_t readHere = 0;
    size_t current = 0;
    const int batchesBefore = batchesRead_;
    bool batchFailed = false;
    bool tooManySamples = false;
    while (true) {
        ClusterBatch& batch = slices[current];
        clustersRead_ += static_cast<double>(batch.size());
        readHere += batch.size();
        batchesRead_ = batchesBefore + static_cast<int>((readHere + batchSize - 1) / batchSize);
        const bool done = !reader.hasMoreData() || (limited && readHere >= static_cast<size_t>(settings_.ClusterCount));
        // The next slice is read while this one goes through the batch step.
        int nextRead = 0;
        auto readNext = [&] {
            if (!done) nextRead = readSlice(slices[1 - current], readHere);
        };
        auto step = [&] {
            if (batch.empty()) return;
            const int stepResult = processBatch(batch);
            batchFailed = batchFailed || stepResult != 0;
            tooManySamples = stepResult == Products::kCodeTooManySamples;
        };
        jobs().runAlongside(readNext, step);
        if (tooManySamples) {
            // A jump in time that would close more samples than the run may keep: nothing after it can count.
            printErrorCode(to, "The run stops in " + name + " within its first " + std::to_string(readHere) +
                                   " clusters: too many time samples. Give a larger TimeSampling.",
                           Products::kCodeTooManySamples);
            return -3015;
        }
        if (batchFailed && (done || readHere % batchSize == 0)) return -3015;
        if (done) break;
        if (nextRead != 0) return -3015;
        current = 1 - current;
    }
    continuity_ = reader.continuity();
    return 0;
}

int Engine::exportResults() {
    const MessageTarget to = messages();
    if (!(products_.clustersProcessed() > 0))
        failWith(to, "No data was processed. Can not continue with export.", -4000);

    int result = 0;
    if (settings_.DoExportText || settings_.DoExportGraphics) {
        printPhaseHeader("EXPORTING of PROCESSING RESULTS", to);
        printMsg(to, "Main path for results:\t\t\t" + settings_.FileOutPath);
        printMsg(to, "Hist are be shown with max N bins:\t" + std::to_string(settings_.Hist1DGraphicsRebin) + " bins\n");
        printMsg(to, "Count of clusters in integrated plots:\t" + std::to_string(settings_.ClusterCountInSensImage));
        printMsg(to, "Count of clusters in individual plots:\t" + std::to_string(settings_.ClusterImageCount));
        printMsg(to, std::string("DoExportText:\t\t\t\t") + (settings_.DoExportText ? "true" : "false"));
        printMsg(to, std::string("DoExportGraphics:\t\t\t") + (settings_.DoExportGraphics ? "true" : "false"));
    }
    result += modules_.exportResults(to, jobs());
    if (result != 0) {
        printErrorCode(to, "Error occurred during export.", -4022);
        return -4022;
    }
    return 0;
}

void Engine::removeIntermediateFiles() {
    if (!inputs_.rawToCluster || !settings_.DoRemoveElist) return;
    const std::string out = clustererOutputDir(settings_);
    std::error_code ec;
    std::filesystem::remove(out + settings_.ElistOutName + ".korelist", ec);
    std::filesystem::remove(out + settings_.CListName + ".clist", ec);
}

}  // namespace zel
