#pragma once
// Frame analysis: for every acquisition frame of frame-based data, the number of particles, the hit pixels and the
// deposited energy; the frame with the highest occupancy; the frame timing (acquisition time, dead time, frames
// per second) from the frame lines of the cluster log; and the per-frame physical products with their statistics,
// exported as the "FrameList" results.
//
// The frame number of a cluster is its `Flags` value. Frames are counted in the order their clusters come: a frame
// number lower than the current one opens a new entry at the end, frames are never re-sorted.
#include <array>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Messages.h"
#include "engine/Module.h"

namespace zel {

class Products;

class FrameAnalysis : public Module {
public:
    static constexpr std::string_view kName = "FrameAnalysis";

    // Engine codes of the frame analysis.
    static constexpr int kBatchFailed = -3012;
    static constexpr int kTimingUnusable = -2100;
    static constexpr int kExportFailed = -4024;

    // The per-frame lists: three counted while clusters come, the rest derived by `evaluate`.
    enum List : size_t {
        kCountParticle,
        kCountPixHit,
        kEnergy,
        kOccupancy,
        kEnergyPerPixel,
        kDose,
        kDoseRate,
        kCountRate,
        kFluence,
        kFlux,
        kListCount,
    };

    struct Options {
        bool ignoreSensEdge = false;
        double timeFrameAcq = 0.0;     // s; the acquisition time until a cluster log says otherwise
        double matrixPixels = 65536;   // pixels of the sensor matrix
        bool doExportText = true;
        bool doExportGraphics = false;
        bool doWeb = false;
        std::string directory;  // the "Frame" export directory, with its separator
        std::string listName = "FrameList.txt";
        std::string listJsonName = "FrameList.json";
    };

    // Columns of the cluster row, -1 when the variable is absent.
    struct Columns {
        int flags = -1;
        int size = -1;
        int energy = -1;
        int sensEdge = -1;
        int filterPass = -1;
    };

    // Conversion factors of the physical products (those of the run's products).
    struct Factors {
        double dose = 0.0;
        double doseRate = 0.0;
        double flux = 0.0;
        double sensorArea = 1.982464;  // cm2
        std::string doseUnit = "uGy+1";
        std::string doseRateUnit = "uGy+1 h-1";
    };

    struct Statistic {
        double mean = 0.0;
        double std = 0.0;
        double minimum = 0.0;
        double maximum = 0.0;
    };

    FrameAnalysis() { resetFrames(); }

    int init(const ModuleContext& context) override;
    // Without the engine: the options, the columns and where messages go.
    void init(const Options& options, const Columns& columns, const MessageTarget& to);
    std::string_view name() const override { return "Frame"; }

    // Counts the clusters of the batch per frame, skipping edge clusters (when they are ignored) and clusters that
    // failed an active filter. 0, or kBatchFailed for a batch without clusters or a failed cluster step.
    int processBatch(ClusterBatch& batch) override;
    // The per-cluster step with frame number `frame`.
    void countCluster(int frame, double size, double energy);
    void endBatch() override;
    int finishInput() override;
    int exportResults(const MessageTarget& to) override;

    // Empties the frames and the timing, as at initialisation.
    void resetFrames();
    void resetCurrent() override { resetFrames(); }

    // The frame timing from the frame lines of a cluster log: every line starting with "F". Each unusable frame
    // line is reported with kTimingUnusable; the number of such lines is returned.
    int readFrameTiming(std::istream& log);
    // The same from a file; a file that can not be opened is one failure.
    int readFrameTiming(const std::string& fileName);

    // The derived per-frame lists, frames per second and the statistics of the ten lists.
    void evaluate(const Factors& factors);

    // Whether the active filter's verdict is read; the engine sets it from the run at every batch.
    void setFilterActive(bool active) { filterActive_ = active; }

    int frameCount() const { return frameCount_; }
    int currentFrame() const { return currentFrame_; }
    int nonEmptyFrames() const { return nonEmptyFrames_; }
    int emptyFrames() const { return emptyFrames_; }
    int maxOccupancyFrame() const { return maxOccupancyFrame_; }
    int maxOccupancyHits() const { return maxOccupancyHits_; }
    const std::vector<double>& list(List which) const { return lists_[which]; }
    const std::vector<double>& frameStartTimes() const { return startTimes_; }
    const Statistic& statistic(List which) const { return statistics_[which]; }
    double timeAcq() const { return timeAcq_; }
    // Summed acquisition time of the usable frame lines read, and their number.
    double acquisitionTimeSum() const { return acquisitionTimeSum_; }
    int framesWithTiming() const { return framesWithTiming_; }
    double deadTimeMean() const { return deadTimeMean_; }
    double deadTimeStd() const { return deadTimeStd_; }
    double framesPerSecond() const { return framesPerSecond_; }
    const std::string& timeUnit() const { return timeUnit_; }
    const Factors& factors() const { return factors_; }
    const Options& options() const { return options_; }

private:
    Factors factorsFromProducts() const;
    // Reads the frame timing from the input cluster logs, once, when the first batch comes.
    void loadTimingOnce();
    bool parseFrameLine(const std::string& line, double& start, double& acq, std::string& unit) const;

    Options options_;
    Columns columns_;
    MessageTarget messages_{nullptr, true, true};
    const Products* products_ = nullptr;
    RunState* run_ = nullptr;  // reads the filter state, publishes the frames found at the end of the input
    std::vector<std::string> timingLogs_;  // input cluster logs, whose frame lines give the timing
    bool timingLoaded_ = true;
    bool filterActive_ = false;
    bool warnedBackwards_ = false;

    int currentFrame_ = 1;
    int frameCount_ = 1;
    int nonEmptyFrames_ = 1;
    int emptyFrames_ = 0;
    int maxOccupancyFrame_ = 0;
    int maxOccupancyHits_ = 0;
    std::array<std::vector<double>, kListCount> lists_;
    std::vector<double> startTimes_;
    std::array<Statistic, kListCount> statistics_{};

    double timeAcq_ = 0.0;
    double acquisitionTimeSum_ = 0.0;
    int framesWithTiming_ = 0;
    double deadTimeMean_ = 0.0;
    double deadTimeStd_ = 0.0;
    double framesPerSecond_ = 0.0;
    std::string timeUnit_ = "s+1";
    Factors factors_;
};

}  // namespace zel
