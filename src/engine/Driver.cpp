// The processing driver: initialisation, the file flow, the batch step and the end-of-run steps.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <stdexcept>

#include "common/Paths.h"
#include "engine/ClustererRun.h"
#include "engine/Engine.h"
#include "engine/SettingsReport.h"
#include "export/ExportDirs.h"
#include "export/ExtendedClusterList.h"
#include "export/ExtendedEventList.h"
#include "export/SamplingList.h"
#include "filter/Filter.h"
#include "hist/ClusterMaps.h"
#include "hist/HistogramModule.h"
#include "input/Elist.h"
#include "pid/PidModule.h"

namespace zel {
namespace {

// Rows of an event list that go through the batch step together.
constexpr size_t kSliceRows = 4096;
// The class sets' histograms take the copied rows of their classes in rounds of at least this many rows.
constexpr size_t kClassRowsPerFill = 8192;
// With sets filled together, the 2D and the 1D histograms of a batch are filled in this many parts each.
constexpr size_t k2DParts = 2;
constexpr size_t k1DParts = 8;

double valueAt(std::span<const double> row, int column, double fallback) {
    return column >= 0 && static_cast<size_t>(column) < row.size() ? row[column] : fallback;
}

}  // namespace

int Engine::initialise() {
    bool failed = false;
    const MessageTarget quiet{nullptr, settings_.DoPrint, false};

    // Result lists left without a directory go into the output directory's "File" subdirectory.
    const std::string fileDir = settings_.FileOutPath + settings_.ExportDirFile;
    if (settings_.SamplingListPath.empty()) settings_.SamplingListPath = fileDir;
    if (settings_.SamplingListJsonPath.empty()) settings_.SamplingListJsonPath = fileDir;

    if (!makeDirectories(settings_.FileOutPath.empty() ? currentDirPrefix() : settings_.FileOutPath))
        failWith(quiet, "Output directory does not exits: " + settings_.FileOutPath, -1037);

    if (openLog() != 0) failed = true;
    printBanner();
    const MessageTarget to = messages();

    if (discoverInputs(settings_, inputs_, to) != 0) failed = true;
    else if (!inputs_.names.empty()) recogniseInputs(settings_, inputs_, variables_, to);

    if (settings_.DoAbortAfterFileRec) {
        printMsg(to, "Abort after recognition of input files.");
        std::exit(0);
    }

    prerequisitesOk_ = false;
    if (settings_.DoCheckPrereq) {
        bool ok = true;
        if (inputs_.rawToCluster && settings_.DoRunClusterer && findClusterer(settings_, to) != 0) ok = false;
        if (settings_.DoPID && findModels(settings_, to) != 0) ok = false;
        if (!ok) printErrorCode(to, "Error occurred during checking of prerequisites.", -1047);
        prerequisitesOk_ = ok;
    }

    variables_.mapNames(to);
    if (initialiseModules() != 0) failed = true;

    if (failed) {
        printErrorCode(to, "Error occurred during initialization.", -1036);
        raiseCode(-1036);
    }
    printReport();
    initialised_ = true;
    return 0;
}

int Engine::initialiseModules() {
    const MessageTarget to = messages();
    modules_.clear();
    int result = 0;

    // Detector and dose constants.
    if (settings_.SensThick <= 0 || settings_.SensWidth <= 0 || settings_.SensHeight <= 0) {
        printErrorCode(to, "Error occurred during modules initialization.", -1023);
        return -1023;
    }

    createPID();

    // Cleared product storage, sized for the classes.
    ProductSetup setup;
    setup.sensorAreaCm2 = settings_.SensWidth * 55.0 * settings_.SensHeight * 55.0 / 1e8;
    setup.sensorMaterial = settings_.SensMat;
    setup.sensorDensity = settings_.SensDens;
    setup.sensorThicknessUm = settings_.SensThick;
    setup.radiologyUnits = settings_.DoDoseUnitRadiology;
    setup.classCount = pidActive_ ? classCount() : 0;  // the classes without "Others"
    setup.timeSampling = settings_.TimeSampling;
    setup.timeAcq = settings_.TimeAcq;
    products_.setup(setup, to);
    if (!products_.started()) products_.setTimeFirst(settings_.TimeFirst);
    products_.onSampleClosed([this](double samplingTime, bool final) {
        for (const auto& module : modules_) module->closeSample(samplingTime, final);
    });

    createFilter();
    if (createHistograms() != 0) {
        printErrorCode(to, "Error occurred during modules initialization.", -1023);
        result = -1023;
    }

    // Coincidence analysis needs times of arrival.
    if (settings_.DoCoinc && (inputs_.clog.counting || inputs_.clog.itotCount ||
                              (inputs_.frameBased && inputs_.frameMode != 'A' && inputs_.kind != InputKind::ClusterLog)))
        settings_.DoCoinc = false;

    modulesCreated_ = true;
    return result;
}

void Engine::createPID() {
    pidActive_ = false;
    classNames_.clear();
    if (!settings_.DoPID) return;
    const MessageTarget to = messages();
    PidModule::Setup setup;
    setup.chipType = settings_.ChipType;
    setup.sensMat = settings_.SensMat;
    setup.modelPath = settings_.ModelPath;
    setup.sensThick = settings_.SensThick;
    setup.sensBias = settings_.SensBias;
    setup.pidAlg = settings_.PIDAlg;
    setup.dtSwitch = settings_.DTSwitch;
    auto pid = std::make_unique<PidModule>(setup, variables_.names(), to, kCodeBasePID);
    if (pid->init() != 0) {
        settings_.DoPID = false;
        printErrorCode(to, "Error occurred during PID module initialization. Module will not be used in processing.",
                       -1039);
        return;
    }
    pid->setClassColumn(variables_.addColumn("PIDClass", "-", Var::PIDClass, true));
    classNames_ = pid->classNames();
    classNames_.push_back("Others");
    modules_.push_back(std::move(pid));
    pidActive_ = true;
}

void Engine::createFilter() {
    filterActive_ = false;
    if (!settings_.DoFilter) return;
    const MessageTarget to = messages();
    const std::string fileName = settings_.FilterPath + settings_.FilterName;
    auto switchOff = [&]() {
        settings_.DoFilter = false;
        printErrorCode(to, "Error occurred during filter module initialization. Module will not be used in processing.",
                       -1035);
    };
    if (settings_.FilterName.empty() || !isRegularFile(fileName)) {
        printErrorCode(to, "Can not open file with filter config: " + fileName, -1022);
        switchOff();
        return;
    }
    std::unique_ptr<Filter> filter;
    try {
        filter = std::make_unique<Filter>(settings_.FilterPath, settings_.FilterName, to, kCodeBaseFilter);
    } catch (int) {
        switchOff();
        return;
    }
    if (filter->init(variables_.names()) != 0) {
        switchOff();
        return;
    }
    if (filter->entryCount() == 0) {
        settings_.DoFilter = false;
        printWarning(to, "Filter file holds no range of a known variable: " + fileName + ". Filter is switched off.");
        return;
    }
    filter->setPassColumn(variables_.addColumn("FilterPass", "-", Var::FilterPass, true));
    modules_.push_back(std::move(filter));
    filterActive_ = true;
}

int Engine::createHistograms() {
    histograms_.clear();
    maps_.clear();
    histogramRows_.clear();
    histogramSets_.clear();
    mapSets_.clear();
    fillSetsTogether_ = false;
    classBatch_ = ClusterBatch();
    classSetOfRow_.clear();
    leftOutSet_ = 0;
    slicesSinceChange_ = 0;
    remainderPending_ = false;
    const MessageTarget to = messages();
    auto fail = [&](const std::string& text, int code) {
        printErrorCode(to, text, code);
        printErrorCode(to, "Error occurred during histogram module initialization.", -1025);
        histograms_.clear();
        maps_.clear();
        histogramRows_.clear();
        return -1025;
    };
    if (!settings_.HistName.empty() && !isRegularFile(settings_.HistPath + settings_.HistName))
        return fail("Can not open file with histograms config: " + settings_.HistPath + settings_.HistName, -1024);
    // One set for all clusters, then with classes one per class and one for "Others", in class order. The sets
    // are made side by side, their messages held and written in set order, as far as the first set that fails.
    std::vector<std::string> suffixes{"Total"};
    if (pidActive_) suffixes.insert(suffixes.end(), classNames_.begin(), classNames_.end());
    histograms_.resize(suffixes.size());
    maps_.resize(suffixes.size());
    std::vector<HeldMessages> held(suffixes.size());
    std::vector<uint8_t> loaded(suffixes.size(), 0);
    auto make = [&](size_t s) {
        HeldMessages::Scope holding(held[s]);
        auto module = std::make_unique<HistogramModule>(suffixes[s], to, kCodeBaseModule1);
        if (module->LoadModuleConfig(settings_.HistPath, settings_.HistName) != 0) return;
        module->MapNames(variables_.names());
        histograms_[s] = std::move(module);
        maps_[s] = std::make_unique<ClusterMaps>(suffixes[s], settings_.SensWidth, settings_.SensHeight, variables_, to);
        loaded[s] = 1;
    };
    try {
        jobs().run(suffixes.size(), make);
    } catch (...) {
        for (HeldMessages& messages : held) messages.release();
        histograms_.clear();
        maps_.clear();
        throw;
    }
    for (size_t s = 0; s < suffixes.size(); ++s) {
        held[s].release();
        if (loaded[s] == 0) return fail("Error occurred during hist process file initialization.", -1040);
    }
    histogramRows_.assign(histograms_.size(), {});
    setRows_.assign(histograms_.size(), 0.0);
    fillSetsTogether_ = pidActive_ && histograms_.size() > 1 && histograms_.size() <= Hist1D::kMaxSets &&
                        std::all_of(histograms_.begin() + 1, histograms_.end(),
                                    [&](const auto& module) { return module->SameFills(*histograms_.front()); });
    for (const auto& module : histograms_) histogramSets_.push_back(module.get());
    for (const auto& maps : maps_) mapSets_.push_back(maps.get());
    return 0;
}

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
    fileRun_ = true;

    if (inputs_.names.empty()) failWith(to, "No in files were found for processing.", -1038);
    int result = 0;
    if (!exportDirsCreated_) {
        result = createExportDirs(settings_, false, to);
        exportDirsCreated_ = true;
    }
    if (result == 0) result = runRawData(settings_, inputs_, to);
    if (result == 0) result = runBatchLoop();
    if (result == 0) finishProducts();

    if (result == 0) {
        try {
            result = exportResults();  // raises -4000 when nothing was processed
        } catch (...) {
            discardExtendedLists();
            throw;
        }
        if (result == 0) {
            removeIntermediateFiles();
            printPhaseHeader("END OF PROCESSING", to);
            return 0;
        }
    }
    discardExtendedLists();
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
        products_.finishInput(lastTime_);
        int failures = 0;
        for (const auto& module : modules_) failures += module->finishInput() != 0;
        if (failures != 0) {
            printErrorCode(to, "Error occurred during elist processing.", -3015);
            return -3015;
        }
    }
    processingFinished_ = true;
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
    // The only allocations of the run: the two slices, and the copies of class rows.
    for (ClusterBatch& slice : slices) slice.reserveRows(sliceRows);
    if (fillSetsTogether_ && classBatch_.empty()) {
        classBatch_.reset(names.size());
        classBatch_.reserveRows(kClassRowsPerFill + sliceRows);
    }
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
    while (true) {
        ClusterBatch& batch = slices[current];
        clustersRead_ += static_cast<double>(batch.size());
        readHere += batch.size();
        batchesRead_ = batchesBefore + static_cast<int>((readHere + batchSize - 1) / batchSize);
        lastBatch_ = !reader.hasMoreData();
        const bool done = lastBatch_ || (limited && readHere >= static_cast<size_t>(settings_.ClusterCount));
        // The next slice is read while this one goes through the batch step.
        int nextRead = 0;
        auto readNext = [&] {
            if (!done) nextRead = readSlice(slices[1 - current], readHere);
        };
        auto step = [&] {
            if (!batch.empty() && processBatch(batch) != 0) batchFailed = true;
        };
        jobs().runAlongside(readNext, step);
        if (batchFailed && (done || readHere % batchSize == 0)) return -3015;
        if (done) break;
        if (nextRead != 0) return -3015;
        current = 1 - current;
    }
    continuity_ = reader.continuity();
    return 0;
}

int Engine::processClusters(const std::vector<std::vector<double>>& rows) {
    if (!initialised_) initialise();
    ClusterBatch batch = ClusterBatch::fromRows(rows);
    processBatch(batch);
    finishProducts();
    return 0;
}

int Engine::processBatch(ClusterBatch& batch) {
    const MessageTarget to = messages();
    if (batch.empty()) {
        printErrorCode(to, "No clusters given for processing.", -3007);
        return -3007;
    }
    if (!processingHeaderPrinted_) {
        printPhaseHeader("PROCESSING", to);
        printMsg(to, "N samples [-]\tElapsed time [s]\tN sum of processed particles [-]");
        processingHeaderPrinted_ = true;
    }
    if (batch.width() == 0) {
        printErrorCode(to, "Error occurred during clusters processing.", -3008);
        return -3008;
    }
    variables_.widen(batch, to);

    const int tCol = variables_.index(Var::T);
    const int eCol = variables_.index(Var::E);
    const int sizeCol = variables_.index(Var::Size);
    const int idCol = variables_.index(Var::EventID);
    const int edgeCol = variables_.index(Var::IsSensEdge);
    const int filterCol = variables_.index(Var::FilterPass);
    products_.beginBatch(batch, tCol, inputs_.frameBased);

    // Whole-batch steps in module order: classification, filter, frame counting.
    struct BatchFailure {
        std::string_view module;
        const char* message;
        int code;
    };
    static constexpr BatchFailure kBatchFailures[] = {
        {"PID", "Error occurred during PID processing.", -3009},
        {"Filter", "Error occurred during filtering.", -3010},
    };
    int failures = 0;
    for (const auto& module : modules_) {
        if (module->processBatch(batch) == 0) continue;
        ++failures;
        for (const auto& failure : kBatchFailures)
            if (module->name() == failure.module) printErrorCode(to, failure.message, failure.code);
    }

    const bool ignoreEdge = settings_.DoIgnoreClusterSensEdge;
    const bool filterOn = filterActive_ && settings_.DoFilter;
    for (size_t r = 0; r < batch.size(); ++r) {
        std::span<const double> row = batch.row(r);
        products_.countSeen();
        currentEventId_ = valueAt(row, idCol, currentEventId_);
        const double edge = valueAt(row, edgeCol, 0.0);
        const bool onEdge = !(edge == 0.0);  // a NaN counts as on the edge
        const bool filteredOut = filterOn && valueAt(row, filterCol, 1.0) == 0.0;
        if ((ignoreEdge && onEdge) || filteredOut) {
            if (onEdge) products_.countEdgeSkipped();
            if (filteredOut) products_.countFilteredOut();
        } else {
            const int classIndex = classOf(row);
            products_.addCluster(classIndex, valueAt(row, tCol, 0.0), valueAt(row, eCol, 0.0), valueAt(row, sizeCol, 0.0));
            noteHistogramRow(static_cast<uint32_t>(r), classIndex);
            for (const auto& module : modules_) module->processCluster(row, classIndex);
        }
        lastTime_ = valueAt(row, tCol, lastTime_);
        products_.noteLastTime(lastTime_);
        haveLastRow_ = true;
    }

    failures += fillAndRecord(batch);

    if (failures != 0) {
        printErrorCode(to, "Error occurred during clusters processing.", -3008);
        return -3008;
    }
    return 0;
}

int Engine::recordExtendedLists(const ClusterBatch& batch) {
    // Only a file run exports; pushed batches keep no extended list.
    if (!fileRun_ || !settings_.DoExportText) return 0;
    const MessageTarget to = messages();
    const int edgeCol = variables_.index(Var::IsSensEdge);
    const int filterCol = variables_.index(Var::FilterPass);
    const bool filterOn = filterActive_ && settings_.DoFilter;
    const bool ignoreEdge = settings_.DoIgnoreClusterSensEdge;
    int failures = 0;
    if (settings_.DoCreateElistExt) {
        if (!elistExt_) {
            ExtendedListRules rules;
            rules.filterColumn = filterCol;
            rules.edgeColumn = edgeCol;
            rules.timeColumn = variables_.index(Var::T);
            rules.dropFiltered = filterOn && !settings_.DoExportElistExtFilter;
            rules.dropEdge = ignoreEdge && !settings_.DoExportElistExtSensEdge;
            const std::string name = settings_.ElistExtOutName.empty() ? "EventListExt" : settings_.ElistExtOutName;
            elistExt_ = std::make_unique<ExtendedEventList>(settings_.FileOutPath + settings_.ExportDirFile + name + ".korelist", rules);
            if (elistExt_->open(variables_.names(), variables_.units(), to) != 0) ++failures;
        }
        if (elistExt_->isOpen() && elistExt_->append(batch) != 0) ++failures;
    }

    if (inputs_.rawToCluster && wantsExtendedClusterList()) {
        if (!clistExt_) {
            ExtendedClusterListSetup setup;
            setup.clusterListName = clustererOutputDir(settings_) + settings_.CListName + ".clist";
            const std::string name = settings_.CListExtName.empty() ? "CListExt" : settings_.CListExtName;
            setup.fullName = settings_.FileOutPath + settings_.ExportDirFile + name + ".clist";
            setup.clusterListExported = settings_.DoExportCList;
            setup.classColumn = pidActive_ ? variables_.index(Var::PIDClass) : -1;
            setup.filterColumn = filterOn ? filterCol : -1;
            setup.edgeColumn = edgeCol;
            setup.dropFiltered = filterOn && !settings_.DoExportClistExtFilter;
            setup.dropEdge = ignoreEdge && !settings_.DoExportClistExtSensEdge;
            clistExt_ = std::make_unique<ExtendedClusterList>(setup);
        }
        if (clistExt_->append(batch, to) != 0) ++failures;
    }

    return failures;
}

bool Engine::wantsExtendedClusterList() const {
    // Asked for by exporting the cluster list, or by naming the extended one (which then warns that the
    // cluster list is not exported).
    return settings_.DoExportCList || !settings_.CListExtName.empty();
}

void Engine::noteHistogramRow(uint32_t row, int classIndex) {
    if (histogramRows_.empty()) return;
    // The class sets follow the all-clusters set in class order, "Others" last.
    const size_t classSet = static_cast<size_t>(classIndex) + 1;
    const bool inClassSet = pidActive_ && classSet < histogramRows_.size();
    histogramRows_[0].push_back(row);
    if (fillSetsTogether_) {
        // Every row has a class set, "Others" included.
        histogramSetOfRow_.push_back(static_cast<uint8_t>(inClassSet ? classSet : histogramRows_.size() - 1));
    } else if (inClassSet) {
        histogramRows_[classSet].push_back(row);
    }
}

void Engine::listClassRows(const ClusterBatch& batch) {
    // The class with the most rows is left out: its rows go into the all-clusters histograms only, and its own
    // set gains them from there before the export (CompleteSet), so that most rows are counted once. It changes
    // when another class has more than twice its rows in a slice, at most every kSlicesPerChange slices, as the
    // set left out before is completed first.
    constexpr size_t kSlicesPerChange = 16;
    rowsPerSet_.assign(histogramRows_.size(), 0);
    for (const uint8_t set : histogramSetOfRow_) ++rowsPerSet_[set];
    const auto largest = std::max_element(rowsPerSet_.begin(), rowsPerSet_.end());
    const size_t most = static_cast<size_t>(largest - rowsPerSet_.begin());
    if (leftOutSet_ == 0) {
        leftOutSet_ = most;
    } else if (rowsPerSet_[most] > 2 * rowsPerSet_[leftOutSet_] && slicesSinceChange_ >= kSlicesPerChange) {
        completeLeftOutSet();
        leftOutSet_ = most;
        slicesSinceChange_ = 0;
    }
    ++slicesSinceChange_;
    if (rowsPerSet_[leftOutSet_] > 0) remainderPending_ = true;
    if (classBatch_.width() != batch.width()) {
        fillClassRows();
        classBatch_.reset(batch.width());
    }
    const std::vector<uint32_t>& rows = histogramRows_[0];
    for (size_t i = 0; i < rows.size(); ++i) {
        if (histogramSetOfRow_[i] == leftOutSet_) continue;
        const std::span<const double> row = batch.row(rows[i]);
        std::copy(row.begin(), row.end(), classBatch_.appendRow(row.size()).begin());
        classSetOfRow_.push_back(histogramSetOfRow_[i]);
    }
    while (classRows_.size() < classBatch_.size()) classRows_.push_back(static_cast<uint32_t>(classRows_.size()));
}

void Engine::fillClassPart(size_t part) {
    const std::span<const uint32_t> rows = std::span<const uint32_t>(classRows_).first(classBatch_.size());
    if (part < k2DParts) {
        HistogramModule::FillRows2DInSets(histogramSets_, classBatch_, rows, classSetOfRow_.data(), part, k2DParts);
    } else {
        HistogramModule::FillRows1DInSets(histogramSets_, classBatch_, rows, classSetOfRow_.data(), part - k2DParts,
                                          k1DParts);
    }
}

void Engine::fillClassRows() {
    if (classBatch_.empty()) return;
    auto job = [&](size_t part) { fillClassPart(part); };
    jobs().run(k2DParts + k1DParts, job);
    classBatch_.clear();
    classSetOfRow_.clear();
}

void Engine::completeLeftOutSet() {
    // The class sets must hold every row of theirs before the left-out set takes the rest.
    fillClassRows();
    if (!remainderPending_) return;
    HistogramModule::CompleteSet(histogramSets_, leftOutSet_);
    remainderPending_ = false;
}

JobTeam& Engine::jobs() {
    if (!jobs_) jobs_ = std::make_unique<JobTeam>(std::thread::hardware_concurrency() > 1);
    return *jobs_;
}

int Engine::fillAndRecord(const ClusterBatch& batch) {
    // Job 0 writes the extended lists and stays on this thread, as it may report. Then come the fills: with sets
    // filled together, the maps of all sets one by one, the 2D histograms in two parts and the 1D histograms in
    // eight (small jobs, so that the two threads end a slice close together, and both share the first touch of
    // new map memory); else set by set, the histograms in two halves and the maps. Each fill reads its batch and
    // changes only its own histograms, so every sum is the same as when filled in turn.
    // The histograms of the class sets take the copied class rows of several slices at once, when there are
    // kClassRowsPerFill of them: each bin of those small sets is then fetched once for many rows.
    constexpr size_t kMapParts = ClusterMaps::kMapCount;
    constexpr size_t kSetParts = 2;
    const size_t sets = histogramRows_.size();
    bool fillMaps = false;
    bool fillClasses = false;
    if (fillSetsTogether_) {
        listClassRows(batch);
        fillClasses = classBatch_.size() >= kClassRowsPerFill;
        fillMaps = ClusterMaps::PrepareRowsInSets(mapSets_, batch, histogramRows_[0], histogramSetOfRow_.data());
    }
    const size_t mapJobs = fillMaps ? kMapParts : 0;
    const size_t fillJobs = fillSetsTogether_ ? mapJobs + k2DParts + k1DParts : (kSetParts + 1) * sets;
    int failures = 0;
    auto job = [&](size_t index) {
        if (index == 0) {
            failures = recordExtendedLists(batch);
            return;
        }
        const size_t j = index - 1;
        if (fillSetsTogether_) {
            // The larger jobs first, so that neither thread is left waiting for a long one taken last. The
            // histograms take every row in the all-clusters set, and the copied class rows in their class sets.
            const std::span<const uint32_t> rows = histogramRows_[0];
            if (j < mapJobs) {
                ClusterMaps::FillMapInSets(mapSets_, batch, rows, histogramSetOfRow_.data(), static_cast<int>(j));
                return;
            }
            const size_t part = j - mapJobs;
            if (part < k2DParts) {
                histograms_[0]->FillRows2D(batch, rows, part, k2DParts);
            } else {
                histograms_[0]->FillRows1D(batch, rows, part - k2DParts, k1DParts);
            }
            if (fillClasses) fillClassPart(part);
            return;
        }
        const size_t s = j / (kSetParts + 1);
        const size_t part = j % (kSetParts + 1);
        if (part < kSetParts) {
            histograms_[s]->FillRows(batch, histogramRows_[s], part, kSetParts);
        } else {
            maps_[s]->FillRows(batch, histogramRows_[s]);
        }
    };
    jobs().run(1 + fillJobs, job);
    if (fillClasses) {
        classBatch_.clear();
        classSetOfRow_.clear();
    }
    for (size_t s = 0; s < sets && s < setRows_.size(); ++s) {
        const bool listed = !fillSetsTogether_ || s == 0;  // else the set's rows are counted by listClassRows
        setRows_[s] += static_cast<double>(listed ? histogramRows_[s].size() : rowsPerSet_[s]);
    }
    for (auto& rows : histogramRows_) rows.clear();
    histogramSetOfRow_.clear();
    return failures;
}

int Engine::classOf(std::span<const double> row) const {
    if (!pidActive_) return 0;
    return products_.classOf(valueAt(row, variables_.index(Var::PIDClass), -1.0));
}

void Engine::finishProducts() { products_.computeTotals(); }

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
    // The extended lists, each histogram set and each map set are written side by side. Their messages are held
    // back and written afterwards in this order, as if they had been written in turn.
    const bool histogramsOut = settings_.DoExportText || settings_.DoExportGraphics;
    const std::string histDir = settings_.FileOutPath + settings_.ExportDirHist;
    const size_t sets = histogramsOut ? histograms_.size() + maps_.size() : 0;
    completeLeftOutSet();
    std::vector<HeldMessages> held(1 + sets);
    std::vector<int> setFailed(sets, 0);
    // The map sets (six dense maps each) before the histogram sets, each kind by the rows of its sets, largest
    // first: neither thread is then left with a long job at the end.
    std::vector<size_t> order(sets);
    std::iota(order.begin(), order.end(), 0);
    auto exportWeight = [&](size_t k) {
        const bool isMap = k >= histograms_.size();
        const size_t set = isMap ? k - histograms_.size() : k;
        return std::pair(isMap, set < setRows_.size() ? setRows_[set] : 0.0);
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return exportWeight(a) > exportWeight(b); });
    auto job = [&](size_t index) {
        const size_t k = index == 0 ? 0 : order[index - 1];
        HeldMessages::Scope holding(held[index == 0 ? 0 : 1 + k]);
        if (index == 0) {
            result += exportExtendedLists(to);
        } else if (k < histograms_.size()) {
            setFailed[k] = histograms_[k]->ExportAll(histDir) != 0;
        } else {
            setFailed[k] = maps_[k - histograms_.size()]->ExportAll(histDir) != 0;
        }
    };
    try {
        jobs().run(held.size(), job);
    } catch (...) {
        for (HeldMessages& messages : held) messages.release();
        throw;
    }
    for (HeldMessages& messages : held) messages.release();
    if (histogramsOut) {
        const int failed = static_cast<int>(std::count(setFailed.begin(), setFailed.end(), 1));
        if (failed != 0) {
            printErrorCode(to, "Can not write the histograms into " + histDir, -4022);
            result += -1;
        } else if (!histograms_.empty()) {
            printMsg(to, "Histograms and cluster maps:\t\t" + histDir);
        }
    }
    if (settings_.DoExportText) result += writeSamplingList(*this, to);
    for (const auto& module : modules_) result += module->exportResults(to);
    if (result != 0) {
        printErrorCode(to, "Error occurred during export.", -4022);
        return -4022;
    }
    return 0;
}

int Engine::exportExtendedLists(const MessageTarget& to) {
    int result = 0;
    if (settings_.DoExportText && settings_.DoCreateElistExt && elistExt_) {
        result += elistExt_->commit(to);
        if (result == 0) printMsg(to, "Extended event list:\t\t\t" + elistExt_->fileName());
    }
    if (settings_.DoExportText && clistExt_) {
        const int written = clistExt_->write(to);
        result += written;
        if (written == 0 && settings_.DoExportCList) printMsg(to, "Extended cluster list:\t\t\t" + clistExt_->fileName());
    }
    return result;
}

void Engine::discardExtendedLists() {
    if (elistExt_) elistExt_->discard();
    if (clistExt_) clistExt_->discard();
}

void Engine::removeIntermediateFiles() {
    if (!inputs_.rawToCluster || !settings_.DoRemoveElist) return;
    const std::string out = clustererOutputDir(settings_);
    std::error_code ec;
    std::filesystem::remove(out + settings_.ElistOutName + ".korelist", ec);
    std::filesystem::remove(out + settings_.CListName + ".clist", ec);
}

}  // namespace zel
