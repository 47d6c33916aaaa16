#pragma once
// The end of the clustering chain: computes the variables of each finished cluster, drops clusters above the
// pixel limit, numbers events and writes the event list, the cluster list and the cluster log.
#include <span>
#include <string>

#include "ClusterFeatures.h"
#include "ClustererOptions.h"
#include "ClogWriter.h"
#include "EventListWriter.h"
#include "Pixel.h"
#include "RunStatistics.h"

namespace zel::clusterer {

// How the clusters of one frame (or of a whole Timepix3 input) are to be read.
struct FrameContext {
    FrameInfo info;
    double startNs = 0.0;      // added to pixel times; the cluster time of data without pixel times
    bool pixelTimes = false;   // pixels carry times of arrival: T from them, EventID groups by time
    bool writeFourth = false;  // the cluster log gets the fourth pixel value (time, or hit count)
};

class ClusterOutput {
public:
    ClusterOutput(const ClustererOptions& options, RunStatistics& statistics);

    // Opens the outputs named by the options. The event list and the cluster list are appended to when they
    // exist and the run continues an earlier one (frame start number above 0).
    bool open(std::string& error);

    // A new input: its times may start afresh.
    void beginInput() { timeSeen_ = false; }
    // A frame line in the cluster log.
    void beginFrame(const FrameContext& frame);
    // One finished cluster.
    void write(std::span<const Pixel> pixels, const FrameContext& frame);

    // Flushes and closes every output; false when a write failed.
    bool close(std::string& error);

    // The row of the last written cluster (for tests and debugging).
    const FeatureRow& lastRow() const { return row_; }

private:
    const ClustererOptions& options_;
    RunStatistics& statistics_;
    FeatureCalculator features_;
    EventListWriter eventList_;
    EventListWriter clusterList_;
    ClogWriter clog_;
    FeatureRow row_{};
    long long nextEventId_ = 0;
    double groupStart_ = 0.0;
    double lastTime_ = 0.0;
    bool timeSeen_ = false;
    bool groupOpen_ = false;
};

}  // namespace zel::clusterer
