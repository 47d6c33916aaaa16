#pragma once
// One run of the clusterer: every input in turn through its reader, calibration and clustering into the outputs.
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Calibration.h"
#include "ClusterOutput.h"
#include "ClustererOptions.h"
#include "FrameClusterer.h"
#include "InputKind.h"
#include "Pixel.h"
#include "Reporter.h"
#include "RunStatistics.h"

namespace zel::clusterer {

class ClustererRun {
public:
    ClustererRun(const ClustererOptions& options, Reporter& reporter);

    // Runs all inputs; 0 on success, 1 when an input or output failed (the statistics file is still written).
    int run();

    const RunStatistics& statistics() const { return statistics_; }

private:
    bool prepare();
    bool processInput(const std::string& path);
    bool processT3pa(const std::string& path);
    bool processClog(const std::string& path);
    bool processFrameFile(const std::string& path);
    bool processFrameDirectory(const std::string& path);

    // Numbers the next frame and fills in the start time of numbered frames.
    FrameContext nextFrame(const FrameInfo& read, bool pixelTimes, bool writeFourth);
    // Occupancy check, clustering and output of the pixels of one frame.
    void finishFrame(const FrameContext& frame, std::vector<Pixel>& pixels);
    // Turns the values of `pixels` into keV with the calibration (when loaded).
    void calibrate(std::span<Pixel> pixels);
    // Hit-count mode of cluster logs: the value is the summed ToT of `time` hits.
    void calibrateCounted(std::span<Pixel> pixels);
    bool frameOverOccupancy(size_t pixelCount) const;
    // Reports of settings that an input cannot use.
    void warnMeasModeUnused(const std::string& path);
    void noteEventsWithoutTimes();

    const ClustererOptions& options_;
    Reporter& reporter_;
    RunStatistics statistics_;
    Calibration calibration_;
    bool calibrate_ = false;
    std::unique_ptr<ClusterOutput> output_;
    FrameClusterer frameClusterer_;
    long long frameNumber_ = 0;
    bool eventsNoteGiven_ = false;
    std::vector<Pixel> pixels_;
};

}  // namespace zel::clusterer
