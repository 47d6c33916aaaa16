#pragma once
// Coincidence analysis: consecutive clusters with the same coincidence group number (`EventID`) form one event;
// events of two or more clusters are coincidence groups. Counts events, groups and their clusters per run and per
// time sample, fills the histogram of time differences inside groups, keeps a table of the groups, and hands every
// closed group to whichever module has asked for them through the run state (the Compton camera).
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Messages.h"
#include "engine/Module.h"
#include "hist/Hist1D.h"

namespace zel {

class CoincidenceAnalysis : public Module {
public:
    static constexpr std::string_view kName = "CoincidenceAnalysis";
    static constexpr std::string_view kHistogramName = "Hist1D_TimeDiff_Coinc_Total";
    static constexpr int kExportFailed = -4025;
    static constexpr int kTableEmpty = -4018;
    // Coincidence groups drawn from the cluster log besides the most numerous one, spread evenly over the run.
    static constexpr int kGroupPictures = 20;

    struct Options {
        double timeCoincWindow = 100.0;  // ns
        bool doExportText = true;
        bool doExportGraphics = false;
        bool doWeb = false;
        std::string directory;  // the "CoincEvent" export directory, with its separator
        std::string listName = "CoincEventList.txt";
        std::string listJsonName = "CoincEventList.json";
    };

    struct Columns {
        int eventId = -1;
        int time = -1;
        int energy = -1;
        int size = -1;
    };

    // One row of the table of coincidence groups.
    struct GroupRow {
        double eventId = 0.0;
        int clusterCount = 0;
        double time = 0.0;  // ns, of the first cluster
        double timeMin = 0.0;
        double timeMax = 0.0;
        double energySum = 0.0, energyMean = 0.0, energyMax = 0.0, energyMin = 0.0;
        double sizeSum = 0.0, sizeMean = 0.0, sizeMax = 0.0, sizeMin = 0.0;
    };

    int init(const ModuleContext& context) override;
    // Without the engine; false when the histogram can not be made.
    bool init(const Options& options, const Columns& columns, const MessageTarget& to);
    std::string_view name() const override { return "Coinc"; }

    bool takesClusters() const override { return true; }
    int processBatch(ClusterBatch& batch) override;
    void processCluster(std::span<const double> row, uint32_t rowIndex, int) override {
        groupCluster(row, static_cast<uint32_t>(batchFirst_ + rowIndex));
    }
    // Groups one evaluated cluster by its coincidence group number; `index` is its place among all clusters of
    // the run (for the pictures of the groups).
    void groupCluster(std::span<const double> row, uint32_t index = 0);
    void closeSample(double liveTime, bool final) override;
    // Closes the group still open and chooses the groups to be drawn (RunState::groupPictures).
    int finishInput() override;
    int exportResults(const MessageTarget& to) override;

    // Where closed groups go; the engine's run state is used when none is set.
    void setGroupReceiver(std::function<void(const CoincidenceGroup&)> receiver) { receiver_ = std::move(receiver); }

    const Options& options() const { return options_; }
    double countEvents() const { return events_; }
    double countCoincGroups() const { return coincGroups_; }
    double countParticles() const { return particles_; }
    double countParticlesInGroups() const { return particlesInGroups_; }
    double countParticlesNoCoinc() const { return particles_ - particlesInGroups_; }
    double meanParticlesPerEvent() const { return events_ > 0 ? particles_ / events_ : 0.0; }
    double meanParticlesPerGroup() const { return coincGroups_ > 0 ? particlesInGroups_ / coincGroups_ : 0.0; }
    int maxGroupSize() const { return maxGroupSize_; }
    double maxGroupEventId() const { return maxGroupEventId_; }
    const std::vector<double>& groupEventIds() const { return groupEventIds_; }
    const std::vector<GroupRow>& groups() const { return groups_; }
    // The run's indexes of the clusters of coincidence group g (as groups()).
    std::span<const uint32_t> groupClusters(size_t g) const;
    // The most numerous group (the first of them) and up to kGroupPictures others spread evenly over the run.
    std::vector<RunState::GroupPicture> groupPictures() const;
    // Per time sample; the open sample is last until the final sample closes.
    const std::vector<double>& sampleLiveTimes() const { return liveTimes_; }
    const std::vector<double>& sampleEvents() const { return sampleEvents_; }
    const std::vector<double>& sampleCoincGroups() const { return sampleCoincGroups_; }
    // Particles per event in each closed sample (0 for a sample without events).
    std::vector<double> sampleMeanParticlesPerEvent() const;
    const Hist1D* timeDifferences() const { return timeDifferences_.get(); }

private:
    void closeGroup();
    void addGroupPicture(std::vector<RunState::GroupPicture>& pictures, size_t g, std::string name,
                         std::string title) const;
    int exportGroupTable(const MessageTarget& to) const;
    int exportGraphs() const;
    int exportHistogram();

    Options options_;
    Columns columns_;
    MessageTarget messages_{nullptr, true, true};
    RunState* run_ = nullptr;
    std::function<void(const CoincidenceGroup&)> receiver_;

    // The open group: its number, first time and rows (the storage is kept from group to group).
    bool groupOpen_ = false;
    double groupId_ = 0.0;
    double groupTime_ = 0.0;
    size_t groupWidth_ = 0;
    std::vector<double> groupRows_;
    std::vector<uint32_t> groupIndexes_;
    uint64_t batchFirst_ = 0;  // the run's index of the first cluster of the batch
    uint64_t clustersBefore_ = 0;

    double events_ = 1.0;
    double coincGroups_ = 0.0;
    double particles_ = 0.0;
    double particlesInGroups_ = 0.0;
    int maxGroupSize_ = 0;
    double maxGroupEventId_ = -1.0;
    std::vector<double> groupEventIds_;
    std::vector<GroupRow> groups_;
    // The clusters of every coincidence group: those of group g from memberStart_[g] to memberStart_[g + 1].
    std::vector<uint32_t> members_;
    std::vector<size_t> memberStart_{0};
    size_t maxGroup_ = 0;  // in groups_

    std::vector<double> liveTimes_;
    std::vector<double> sampleEvents_{0.0};
    std::vector<double> sampleCoincGroups_{0.0};
    std::vector<double> sampleParticles_{0.0};
    bool finalClosed_ = false;

    std::unique_ptr<Hist1D> timeDifferences_;
};

}  // namespace zel
