#pragma once
// The histogram and cluster-position map sets of a run: one set for all clusters, and with particle classes one
// per class and one for "Others", in class order. Each evaluated cluster goes into the set of all clusters and
// the set of its class; at the end of each batch step the sets are filled side by side on both threads, and at
// the export their files are written side by side.
//
// With classes, whose sets all hold the same histograms, the sets are filled together: every row goes into the
// all-clusters histograms, and the rows of all classes but the one with most rows are copied and go into their
// class sets some thousand at a time; the class with most rows is completed from the all-clusters set before the
// export, exactly, as histograms count. The cluster-position maps add a quantity, so both sets take every row.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "engine/Module.h"
#include "hist/ClusterMaps.h"
#include "hist/HistogramModule.h"

namespace zel {

class HistogramSets : public Module {
public:
    std::string_view name() const override { return "Hist"; }

    // Makes the sets side by side on the context's threads, their messages written in set order. 0, or base - 25
    // ("Error occurred during histogram module initialization.") when a set cannot be made.
    int init(const ModuleContext& context) override;

    bool takesClusters() const override { return !histograms_.empty(); }
    void processCluster(std::span<const double> row, uint32_t rowIndex, int classIndex) override;
    size_t prepareBatchJobs(const ClusterBatch& batch) override;
    void runBatchJob(const ClusterBatch& batch, size_t job) override;
    void endBatch() override;

    std::vector<size_t> exportJobs() override;
    void runExportJob(size_t job) override;
    int exportResults(const MessageTarget& to) override;

    // The set of all clusters, which always holds every row; nullptr when there are no sets.
    const HistogramModule* allClusters() const { return histograms_.empty() ? nullptr : histograms_.front().get(); }

private:
    // Lists the batch's rows that go into the class sets' histograms and copies them (all but the left-out set's).
    void listClassRows(const ClusterBatch& batch);
    // Fills part `part` of the class sets' histograms with the copied class rows, in the parts of the batch
    // step's fills: first those of the 2D histograms, then those of the 1D ones.
    void fillClassPart(size_t part);
    // Fills the class sets' histograms with the copied class rows and forgets them.
    void fillClassRows();
    // Fills the copied class rows, then completes the class set left out of the fills when it lacks rows: after
    // it every class set holds all its rows.
    void completeLeftOutSet();

    // Text or graphics export, and where the files go: read from the settings when the export starts.
    bool exportOn() const;
    std::string directory() const;

    // Adds the pictures of set `set` (its histograms and maps), and with classes those of the classes side by side.
    void addSetPictures(size_t set, bool maps) const;
    void addClassOverlays() const;

    const Settings* settings_ = nullptr;
    JobTeam* jobs_ = nullptr;
    const RunState* run_ = nullptr;
    std::string directory_;  // of the export in progress
    bool classesOn_ = false;

    // The all-clusters set first, then one per class and "Others".
    std::vector<std::unique_ptr<HistogramModule>> histograms_;
    std::vector<std::unique_ptr<ClusterMaps>> maps_;
    std::vector<HistogramModule*> histogramSets_;  // histograms_ and maps_ as lists for filling them together
    std::vector<ClusterMaps*> mapSets_;
    // Per set, the rows of the current batch that go into its histograms and maps (storage kept between batches).
    std::vector<std::vector<uint32_t>> rows_;
    // With sets filled together: the set of each row of the all-clusters list (0 for none).
    bool fillTogether_ = false;
    std::vector<uint8_t> setOfRow_;
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
    // Of the batch step in progress.
    bool fillMaps_ = false;
    bool fillClasses_ = false;
    size_t mapJobs_ = 0;
    // Of the export.
    std::vector<uint8_t> setFailed_;
};

}  // namespace zel
