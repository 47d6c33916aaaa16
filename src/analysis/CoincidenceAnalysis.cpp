#include "analysis/CoincidenceAnalysis.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "cluster/ClusterVariables.h"
#include "common/NumberText.h"
#include "common/Paths.h"
#include "engine/InputDiscovery.h"
#include "engine/Settings.h"
#include "export/CoincEventList.h"
#include "export/Pictures.h"

namespace zel {
namespace {

// The histogram reaches over two coincidence windows, so that groups chained beyond one window still show.
constexpr int kHistogramBins = 200;

double valueAt(std::span<const double> row, int column) {
    return column >= 0 && static_cast<size_t>(column) < row.size() ? row[static_cast<size_t>(column)] : 0.0;
}

// Inputs that carry no time of arrival can not tell coincidences apart.
bool hasTimeOfArrival(const InputSet& in) {
    if (in.clog.counting || in.clog.itotCount) return false;
    return !(in.frameBased && in.frameMode != 'A' && in.kind != InputKind::ClusterLog);
}

}  // namespace

int CoincidenceAnalysis::init(const ModuleContext& context) {
    if (!hasTimeOfArrival(context.inputs)) return kNotUsed;
    const Settings& s = context.settings;
    Options options;
    options.timeCoincWindow = s.TimeCoinc;
    options.doExportText = s.DoExportText;
    options.doExportGraphics = s.DoExportGraphics;
    options.doWeb = s.DoWeb;
    options.directory = s.FileOutPath + s.ExportDirCoincEvent;
    options.listName = s.CoincEventListName;
    options.listJsonName = s.CoincEventListJsonName;
    const ClusterVariables& v = context.variables;
    Columns columns;
    columns.eventId = v.index(Var::EventID);
    columns.time = v.index(Var::T);
    columns.energy = v.index(Var::E);
    columns.size = v.index(Var::Size);
    if (columns.eventId < 0) {
        printWarning(context.messages, std::string(kName) +
                                           " : The cluster list has no EventID column, so clusters can not be grouped "
                                           "into coincidences. Coincidence analysis is switched off.");
        return kNotUsed;
    }
    run_ = &context.run;
    return init(options, columns, context.messages) ? 0 : 1;
}

bool CoincidenceAnalysis::init(const Options& options, const Columns& columns, const MessageTarget& to) {
    options_ = options;
    columns_ = columns;
    messages_ = to;
    const double reach = options.timeCoincWindow > 0 ? 2.0 * options.timeCoincWindow : 200.0;
    try {
        timeDifferences_ = std::make_unique<Hist1D>("Time difference of particles in coincidence (ith - 1st)",
                                                    kHistogramBins, 0.0, reach, 0, to);
    } catch (const std::runtime_error&) {
        return false;
    }
    timeDifferences_->SetName(std::string(kHistogramName));
    timeDifferences_->SetFileOutName(std::string(kHistogramName));
    timeDifferences_->SetAxisTitles({"T diff [ns]", "N [-]"});
    return true;
}

int CoincidenceAnalysis::processBatch(ClusterBatch& batch) {
    batchFirst_ = clustersBefore_;
    clustersBefore_ += batch.size();
    return 0;
}

void CoincidenceAnalysis::groupCluster(std::span<const double> row, uint32_t index) {
    const double id = valueAt(row, columns_.eventId);
    particles_ += 1.0;
    sampleParticles_.back() += 1.0;
    if (groupOpen_ && id == groupId_) {
        groupRows_.insert(groupRows_.end(), row.begin(), row.end());
        groupIndexes_.push_back(index);
        return;
    }
    // A new event; the first one is already counted.
    if (groupOpen_) {
        events_ += 1.0;
        closeGroup();
    }
    sampleEvents_.back() += 1.0;
    groupOpen_ = true;
    groupId_ = id;
    groupTime_ = valueAt(row, columns_.time);
    groupWidth_ = row.size();
    groupRows_.assign(row.begin(), row.end());
    groupIndexes_.assign(1, index);
}

void CoincidenceAnalysis::closeGroup() {
    const CoincidenceGroup group{groupId_, groupTime_, groupWidth_, groupRows_};
    const size_t size = group.size();
    if (size < 2) return;
    coincGroups_ += 1.0;
    particlesInGroups_ += static_cast<double>(size);
    groupEventIds_.push_back(groupId_);
    sampleCoincGroups_.back() += 1.0;
    if (static_cast<int>(size) > maxGroupSize_) {
        maxGroupSize_ = static_cast<int>(size);
        maxGroupEventId_ = groupId_;
        maxGroup_ = groups_.size();
    }
    members_.insert(members_.end(), groupIndexes_.begin(), groupIndexes_.end());
    memberStart_.push_back(members_.size());

    GroupRow summary;
    summary.eventId = groupId_;
    summary.clusterCount = static_cast<int>(size);
    summary.time = groupTime_;
    for (size_t i = 0; i < size; ++i) {
        const std::span<const double> row = group.row(i);
        const double t = valueAt(row, columns_.time);
        const double e = valueAt(row, columns_.energy);
        const double s = valueAt(row, columns_.size);
        if (i > 0) timeDifferences_->Fill(t - groupTime_);
        summary.timeMin = i == 0 ? t : std::min(summary.timeMin, t);
        summary.timeMax = i == 0 ? t : std::max(summary.timeMax, t);
        summary.energyMin = i == 0 ? e : std::min(summary.energyMin, e);
        summary.energyMax = i == 0 ? e : std::max(summary.energyMax, e);
        summary.sizeMin = i == 0 ? s : std::min(summary.sizeMin, s);
        summary.sizeMax = i == 0 ? s : std::max(summary.sizeMax, s);
        summary.energySum += e;
        summary.sizeSum += s;
    }
    summary.energyMean = summary.energySum / static_cast<double>(size);
    summary.sizeMean = summary.sizeSum / static_cast<double>(size);
    groups_.push_back(summary);

    if (receiver_) receiver_(group);
    else if (run_ != nullptr && run_->coincidenceGroupClosed) run_->coincidenceGroupClosed(group);
}

void CoincidenceAnalysis::closeSample(double liveTime, bool final) {
    if (finalClosed_) return;
    liveTimes_.push_back(liveTime);
    finalClosed_ = final;
    if (final) return;
    sampleEvents_.push_back(0.0);
    sampleCoincGroups_.push_back(0.0);
    sampleParticles_.push_back(0.0);
}

std::span<const uint32_t> CoincidenceAnalysis::groupClusters(size_t g) const {
    if (g + 1 >= memberStart_.size()) return {};
    return std::span<const uint32_t>(members_).subspan(memberStart_[g], memberStart_[g + 1] - memberStart_[g]);
}

void CoincidenceAnalysis::addGroupPicture(std::vector<RunState::GroupPicture>& pictures, size_t g, std::string name,
                                          std::string title) const {
    const std::span<const uint32_t> clusters = groupClusters(g);
    pictures.push_back({std::move(name), std::move(title), {clusters.begin(), clusters.end()}});
}

std::vector<RunState::GroupPicture> CoincidenceAnalysis::groupPictures() const {
    std::vector<RunState::GroupPicture> pictures;
    if (groups_.empty()) return pictures;
    addGroupPicture(pictures, maxGroup_, "ClustersMaxCoincGroup", "Clusters of most numerous coinc group");
    const size_t count = std::min<size_t>(groups_.size(), kGroupPictures);
    for (size_t i = 0; i < count; ++i) {
        const size_t g = i * groups_.size() / count;
        const std::string number = formatG(groups_[g].eventId);
        addGroupPicture(pictures, g, "ClustersCoincGroup_" + number, "Clusters of coinc group " + number);
    }
    return pictures;
}

int CoincidenceAnalysis::finishInput() {
    if (groupOpen_) closeGroup();
    groupOpen_ = false;
    if (run_ != nullptr && (options_.doExportText || options_.doExportGraphics)) run_->groupPictures = groupPictures();
    return 0;
}

std::vector<double> CoincidenceAnalysis::sampleMeanParticlesPerEvent() const {
    std::vector<double> means;
    for (size_t k = 0; k < liveTimes_.size() && k < sampleEvents_.size(); ++k)
        means.push_back(sampleEvents_[k] > 0 ? sampleParticles_[k] / sampleEvents_[k] : 0.0);
    return means;
}

int CoincidenceAnalysis::exportResults(const MessageTarget& to) {
    if (!options_.doExportText && !options_.doExportGraphics) return 0;
    if (!makeDirectories(options_.directory)) return kExportFailed;
    int failed = 0;
    if (options_.doExportText && writeCoincEventList(*this, to) != 0) failed = kExportFailed;
    if (exportHistogram() != 0) failed = kExportFailed;
    if (options_.doExportGraphics && exportGraphs() != 0) failed = kExportFailed;
    // A run without coincidences has an empty table: said, but the export has not failed.
    exportGroupTable(to);
    return failed;
}

int CoincidenceAnalysis::exportHistogram() {
    const std::string directory = options_.directory + "Hist" + kSeparator;
    if (!makeDirectories(directory)) return -1;
    timeDifferences_->SetFileOutPath(directory);
    timeDifferences_->SetFileOutEndData(".hist");
    timeDifferences_->SetFileOutEndInfo(".hist_info");
    const int result = timeDifferences_->Export();
    if (options_.doExportGraphics && run_ != nullptr && run_->pictures != nullptr)
        run_->pictures->add(*timeDifferences_, directory);
    return result;
}

int CoincidenceAnalysis::exportGroupTable(const MessageTarget& to) const {
    if (groups_.empty()) {
        printErrorCode(to, "Can not export coincidence group because the storage is empty.", kTableEmpty);
        return kTableEmpty;
    }
    std::ofstream out(options_.directory + "CoincGroups.txt");
    out << "EventID\tClusterCount\tTimeCoincGroup (ns)\tT_Min (ns)\tT_Max (ns)\tT_Max-T_Min (ns)\tEdep_Sum\t"
           "Edep_Mean\tEdep_Max\tEdep_Min\tS_Sum\tS_Mean\tS_Max\tS_Min\n";
    for (const GroupRow& g : groups_) {
        const double values[] = {g.eventId,   static_cast<double>(g.clusterCount), g.time, g.timeMin, g.timeMax,
                                 g.timeMax - g.timeMin, g.energySum, g.energyMean, g.energyMax, g.energyMin,
                                 g.sizeSum,   g.sizeMean, g.sizeMax, g.sizeMin};
        for (size_t k = 0; k < std::size(values); ++k) out << (k == 0 ? "" : "\t") << formatG(values[k]);
        out << '\n';
    }
    if (!out.flush()) {
        printError(to, "Can not write the table of coincidence groups: " + options_.directory + "CoincGroups.txt");
        return kExportFailed;
    }
    return 0;
}

// The two time-sample graphs as text files of two columns: the end of each sample and its value.
int CoincidenceAnalysis::exportGraphs() const {
    const std::string directory = options_.directory + "Graph" + kSeparator;
    if (!makeDirectories(directory)) return -1;
    std::vector<double> ends;
    double elapsed = 0.0;
    for (double live : liveTimes_) ends.push_back(elapsed += std::max(0.0, live));
    struct Graph {
        const char* name;
        const char* title;
        const char* yTitle;
        std::vector<double> y;
    };
    const Graph graphs[] = {
        {"CountPar_Mean_Event_Sample", "Mean count of particles in events in time samples",
         "Mean count of particles in events [-]", sampleMeanParticlesPerEvent()},
        {"CountCoincGroup_Sample", "Count of coincidence group in time samples", "Count of coincidence groups [-]",
         sampleCoincGroups_},
    };
    for (const Graph& graph : graphs) {
        std::ofstream out(directory + graph.name + ".txt");
        out << "# " << graph.title << "\nT sample [s+1]\t" << graph.yTitle << "\n";
        for (size_t k = 0; k < ends.size() && k < graph.y.size(); ++k)
            out << formatG(ends[k]) << '\t' << formatG(graph.y[k]) << '\n';
        if (!out.flush()) return -1;
        if (run_ != nullptr && run_->pictures != nullptr) {
            const size_t n = std::min(ends.size(), graph.y.size());
            PlotGraph picture;
            picture.labels = {graph.title, "T sample [s+1]", graph.yTitle};
            picture.x.emplace_back(ends.begin(), ends.begin() + static_cast<std::ptrdiff_t>(n));
            picture.y.emplace_back(graph.y.begin(), graph.y.begin() + static_cast<std::ptrdiff_t>(n));
            run_->pictures->add(picture, graph.name, directory);
        }
    }
    return 0;
}

}  // namespace zel
