#include "hist/HistogramSets.h"

#include <algorithm>
#include <numeric>

#include "cluster/ClusterVariables.h"
#include "common/Paths.h"
#include "engine/JobTeam.h"
#include "engine/Settings.h"
#include "export/Pictures.h"

namespace zel {
namespace {

// The class sets' histograms take the copied rows of their classes in rounds of at least this many rows.
constexpr size_t kClassRowsPerFill = 8192;
// With sets filled together, the 2D and the 1D histograms of a batch are filled in this many parts each.
constexpr size_t k2DParts = 2;
constexpr size_t k1DParts = 8;
// Set by set, each set's histograms are filled in this many parts, and its maps in one more job.
constexpr size_t kSetParts = 2;
constexpr size_t kMapParts = ClusterMaps::kMapCount;
// Rows a class batch makes room for beyond a round, as a batch step brings them.
constexpr size_t kSliceRowsHint = 4096;

// The engine's code of a histogram set that cannot be made.
constexpr int kSetsFailed = -1025;

}  // namespace

int HistogramSets::init(const ModuleContext& context) {
    const Settings& settings = context.settings;
    const MessageTarget to = context.messages;
    settings_ = &settings;
    jobs_ = &context.jobs;
    run_ = &context.run;
    classesOn_ = context.run.pidActive;
    auto fail = [&](const std::string& text, int code) {
        printErrorCode(to, text, code);
        printErrorCode(to, "Error occurred during histogram module initialization.", kSetsFailed);
        histograms_.clear();
        maps_.clear();
        return kSetsFailed;
    };
    const std::string fileName = settings.HistPath + settings.HistName;
    if (!settings.HistName.empty() && !isRegularFile(fileName))
        return fail("Can not open file with histograms config: " + fileName, -1024);
    // One set for all clusters, then with classes one per class and one for "Others", in class order. The sets
    // are made side by side, their messages held and written in set order, as far as the first set that fails.
    std::vector<std::string> suffixes{"Total"};
    if (classesOn_) suffixes.insert(suffixes.end(), context.run.classNames.begin(), context.run.classNames.end());
    histograms_.resize(suffixes.size());
    maps_.resize(suffixes.size());
    std::vector<HeldMessages> held(suffixes.size());
    std::vector<uint8_t> loaded(suffixes.size(), 0);
    const ClusterVariables& variables = context.variables;
    auto make = [&](size_t s) {
        HeldMessages::Scope holding(held[s]);
        auto module = std::make_unique<HistogramModule>(suffixes[s], to, context.codeBase);
        // A section that fails is reported and dropped, and the module keeps the histograms that were made; only a
        // configuration that cannot be read fails the module.
        if (module->LoadModuleConfig(settings.HistPath, settings.HistName) != 0 && !module->ConfigRead()) return;
        module->MapNames(variables.names());
        histograms_[s] = std::move(module);
        maps_[s] = std::make_unique<ClusterMaps>(suffixes[s], settings.SensWidth, settings.SensHeight, variables, to);
        loaded[s] = 1;
    };
    try {
        jobs_->run(suffixes.size(), make);
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
    rows_.assign(histograms_.size(), {});
    setRows_.assign(histograms_.size(), 0.0);
    fillTogether_ = classesOn_ && histograms_.size() > 1 && histograms_.size() <= Hist1D::kMaxSets &&
                    std::all_of(histograms_.begin() + 1, histograms_.end(),
                                [&](const auto& module) { return module->SameFills(*histograms_.front()); });
    for (const auto& module : histograms_) histogramSets_.push_back(module.get());
    for (const auto& maps : maps_) mapSets_.push_back(maps.get());
    return 0;
}

void HistogramSets::processCluster(std::span<const double>, uint32_t rowIndex, int classIndex) {
    // The class sets follow the all-clusters set in class order, "Others" last.
    const size_t classSet = static_cast<size_t>(classIndex) + 1;
    const bool inClassSet = classesOn_ && classSet < rows_.size();
    rows_[0].push_back(rowIndex);
    if (fillTogether_) {
        // Every row has a class set, "Others" included.
        setOfRow_.push_back(static_cast<uint8_t>(inClassSet ? classSet : rows_.size() - 1));
    } else if (inClassSet) {
        rows_[classSet].push_back(rowIndex);
    }
}

void HistogramSets::listClassRows(const ClusterBatch& batch) {
    // The class with the most rows is left out: its rows go into the all-clusters histograms only, and its own
    // set gains them from there before the export (CompleteSet), so that most rows are counted once. It changes
    // when another class has more than twice its rows in a slice, at most every kSlicesPerChange slices, as the
    // set left out before is completed first.
    constexpr size_t kSlicesPerChange = 16;
    rowsPerSet_.assign(rows_.size(), 0);
    for (const uint8_t set : setOfRow_) ++rowsPerSet_[set];
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
        classBatch_.reserveRows(kClassRowsPerFill + std::max(kSliceRowsHint, batch.size()));
    }
    const std::vector<uint32_t>& rows = rows_[0];
    for (size_t i = 0; i < rows.size(); ++i) {
        if (setOfRow_[i] == leftOutSet_) continue;
        const std::span<const double> row = batch.row(rows[i]);
        std::copy(row.begin(), row.end(), classBatch_.appendRow(row.size()).begin());
        classSetOfRow_.push_back(setOfRow_[i]);
    }
    while (classRows_.size() < classBatch_.size()) classRows_.push_back(static_cast<uint32_t>(classRows_.size()));
}

void HistogramSets::fillClassPart(size_t part) {
    const std::span<const uint32_t> rows = std::span<const uint32_t>(classRows_).first(classBatch_.size());
    if (part < k2DParts) {
        HistogramModule::FillRows2DInSets(histogramSets_, classBatch_, rows, classSetOfRow_.data(), part, k2DParts);
    } else {
        HistogramModule::FillRows1DInSets(histogramSets_, classBatch_, rows, classSetOfRow_.data(), part - k2DParts,
                                          k1DParts);
    }
}

void HistogramSets::fillClassRows() {
    if (classBatch_.empty()) return;
    auto job = [&](size_t part) { fillClassPart(part); };
    jobs_->run(k2DParts + k1DParts, job);
    classBatch_.clear();
    classSetOfRow_.clear();
}

void HistogramSets::completeLeftOutSet() {
    // The class sets must hold every row of theirs before the left-out set takes the rest.
    fillClassRows();
    if (!remainderPending_) return;
    HistogramModule::CompleteSet(histogramSets_, leftOutSet_);
    remainderPending_ = false;
}

size_t HistogramSets::prepareBatchJobs(const ClusterBatch& batch) {
    // With sets filled together: the maps of all sets one by one, the 2D histograms in two parts and the 1D
    // histograms in eight (small jobs, so that the two threads end a slice close together, and both share the
    // first touch of new map memory); else set by set, the histograms in two halves and the maps. Each fill reads
    // its batch and changes only its own histograms, so every sum is the same as when filled in turn.
    // The histograms of the class sets take the copied class rows of several slices at once, when there are
    // kClassRowsPerFill of them: each bin of those small sets is then fetched once for many rows.
    fillMaps_ = false;
    fillClasses_ = false;
    if (!fillTogether_) return (kSetParts + 1) * rows_.size();
    listClassRows(batch);
    fillClasses_ = classBatch_.size() >= kClassRowsPerFill;
    fillMaps_ = ClusterMaps::PrepareRowsInSets(mapSets_, batch, rows_[0], setOfRow_.data());
    mapJobs_ = fillMaps_ ? kMapParts : 0;
    return mapJobs_ + k2DParts + k1DParts;
}

void HistogramSets::runBatchJob(const ClusterBatch& batch, size_t job) {
    if (fillTogether_) {
        // The larger jobs first, so that neither thread is left waiting for a long one taken last. The
        // histograms take every row in the all-clusters set, and the copied class rows in their class sets.
        const std::span<const uint32_t> rows = rows_[0];
        if (job < mapJobs_) {
            ClusterMaps::FillMapInSets(mapSets_, batch, rows, setOfRow_.data(), static_cast<int>(job));
            return;
        }
        const size_t part = job - mapJobs_;
        if (part < k2DParts) {
            histograms_[0]->FillRows2D(batch, rows, part, k2DParts);
        } else {
            histograms_[0]->FillRows1D(batch, rows, part - k2DParts, k1DParts);
        }
        if (fillClasses_) fillClassPart(part);
        return;
    }
    const size_t s = job / (kSetParts + 1);
    const size_t part = job % (kSetParts + 1);
    if (part < kSetParts) {
        histograms_[s]->FillRows(batch, rows_[s], part, kSetParts);
    } else {
        maps_[s]->FillRows(batch, rows_[s]);
    }
}

void HistogramSets::endBatch() {
    if (fillClasses_) {
        classBatch_.clear();
        classSetOfRow_.clear();
    }
    for (size_t s = 0; s < rows_.size(); ++s) {
        const bool listed = !fillTogether_ || s == 0;  // else the set's rows are counted by listClassRows
        setRows_[s] += static_cast<double>(listed ? rows_[s].size() : rowsPerSet_[s]);
    }
    for (auto& rows : rows_) rows.clear();
    setOfRow_.clear();
}

bool HistogramSets::exportOn() const { return settings_->DoExportText || settings_->DoExportGraphics; }

std::string HistogramSets::directory() const { return settings_->FileOutPath + settings_->ExportDirHist; }

std::vector<size_t> HistogramSets::exportJobs() {
    completeLeftOutSet();
    if (!exportOn()) return {};
    directory_ = directory();
    // Job k < sets writes histogram set k, the others the map sets. The map sets (six dense maps each) go before
    // the histogram sets, each kind by the rows of its sets, largest first: neither thread is then left with a
    // long job at the end.
    const size_t sets = histograms_.size();
    std::vector<size_t> order(2 * sets);
    std::iota(order.begin(), order.end(), 0);
    auto weight = [&](size_t k) {
        const bool isMap = k >= sets;
        const size_t set = isMap ? k - sets : k;
        return std::pair(isMap, setRows_[set]);
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return weight(a) > weight(b); });
    setFailed_.assign(order.size(), 0);
    return order;
}

void HistogramSets::runExportJob(size_t job) {
    const size_t sets = histograms_.size();
    if (job < sets) {
        setFailed_[job] = histograms_[job]->ExportAll(directory_) != 0;
    } else {
        setFailed_[job] = maps_[job - sets]->ExportAll(directory_) != 0;
    }
    addSetPictures(job < sets ? job : job - sets, job >= sets);
}

void HistogramSets::addSetPictures(size_t set, bool maps) const {
    Pictures* pictures = run_ ? run_->pictures : nullptr;
    if (pictures == nullptr) return;
    if (maps) {
        const ClusterMaps& setMaps = *maps_[set];
        for (int which = 0; which < ClusterMaps::kMapCount; ++which) {
            const Hist2D& map = setMaps.map(which);
            pictures->add(map, directory_, map.GetName() + " (" + setMaps.suffix() + ")");
        }
        return;
    }
    const HistogramModule& module = *histograms_[set];
    const std::string suffix = " (" + module.suffix() + ")";
    for (const auto& entry : module.entries1D())
        if (entry.hist.GetDoPlot()) pictures->add(entry.hist, directory_, entry.hist.GetName() + suffix);
    for (const auto& entry : module.entries2D())
        if (entry.hist.GetDoPlot()) pictures->add(entry.hist, directory_, entry.hist.GetName() + suffix);
}

// Energy, size and height of every class in one picture each.
void HistogramSets::addClassOverlays() const {
    Pictures* pictures = run_ ? run_->pictures : nullptr;
    if (pictures == nullptr || histograms_.size() < 2) return;
    for (const std::string_view prefix : {"Hist1D_E_EqBin", "Hist1D_S", "Hist1D_H"}) {
        auto find = [&](size_t s) {
            return histograms_[s]->findHist1DByTitle(std::string(prefix) + "_" + histograms_[s]->suffix());
        };
        const Hist1D* total = find(0);
        if (total == nullptr) continue;
        std::vector<const Hist1D*> curves;
        std::vector<std::string> labels;
        for (size_t s = 1; s < histograms_.size(); ++s) {
            const Hist1D* hist = find(s);
            if (hist == nullptr || !hist->SameBinning(*total)) continue;
            curves.push_back(hist);
            labels.push_back(histograms_[s]->suffix());
        }
        if (curves.empty()) continue;
        pictures->addOverlay(*total, curves, labels, std::string(prefix), directory_, total->GetName() + " by class");
    }
}

int HistogramSets::exportResults(const MessageTarget& to) {
    if (!exportOn()) return 0;
    if (std::count(setFailed_.begin(), setFailed_.end(), 1) != 0) {
        printErrorCode(to, "Can not write the histograms into " + directory_, -4022);
        return -1;
    }
    if (!histograms_.empty()) printMsg(to, "Histograms and cluster maps:\t\t" + directory_);
    addClassOverlays();
    return 0;
}

}  // namespace zel
