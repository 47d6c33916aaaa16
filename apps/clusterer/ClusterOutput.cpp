#include "ClusterOutput.h"

#include <algorithm>

namespace zel::clusterer {

ClusterOutput::ClusterOutput(const ClustererOptions& options, RunStatistics& statistics)
    : options_(options),
      statistics_(statistics),
      features_(FeatureSettings{options.width, options.height, options.thickness, options.lengthCorrFormula}) {}

bool ClusterOutput::open(std::string& error) {
    // A run that continues the frame numbering of an earlier input adds to its lists.
    bool append = options_.frameStartNum > 0;
    if (!options_.elistBase.empty()) {
        if (!eventList_.open(options_.elistBase + ".korelist", options_.lengthCorrFormula, append, error)) return false;
        nextEventId_ = std::max(nextEventId_, eventList_.lastEventId() + 1);
    }
    if (!options_.clusterListBase.empty()) {
        if (!clusterList_.open(options_.clusterListBase + ".clist", options_.lengthCorrFormula, append, error)) {
            return false;
        }
        nextEventId_ = std::max(nextEventId_, clusterList_.lastEventId() + 1);
    }
    if (!options_.clogPath.empty() && !clog_.open(options_.clogPath, error)) return false;
    return true;
}

void ClusterOutput::beginFrame(const FrameContext& frame) {
    if (clog_.isOpen()) clog_.writeFrame(frame.info.number, frame.info.startSeconds, frame.info.acqSeconds);
}

void ClusterOutput::write(std::span<const Pixel> pixels, const FrameContext& frame) {
    if (pixels.empty()) return;
    ++statistics_.clustersFound;
    if (options_.pixCountMax > 0 && static_cast<long long>(pixels.size()) > options_.pixCountMax) {
        ++statistics_.clustersDroppedPixelLimit;
        return;
    }
    features_.compute(pixels, row_);
    row_[kT] = frame.pixelTimes ? frame.startNs + row_[kT] : frame.startNs;
    // Readers of the event list expect times that never run backwards.
    if (timeSeen_ && row_[kT] < lastTime_) ++statistics_.clustersOutOfOrder;
    lastTime_ = timeSeen_ ? std::max(lastTime_, row_[kT]) : row_[kT];
    timeSeen_ = true;
    row_[kDetectorID] = options_.detectorId;
    row_[kFlags] = static_cast<double>(frame.info.number);

    // Clusters of data with times of arrival form an event while they follow the event's first cluster within
    // the coincidence time; without times no coincidence can be told, and each cluster is an event of its own.
    bool sameEvent = frame.pixelTimes && groupOpen_ && row_[kT] - groupStart_ <= options_.coincToaDiff &&
                     groupStart_ - row_[kT] <= options_.coincToaDiff;
    if (!sameEvent) {
        groupStart_ = row_[kT];
        groupOpen_ = true;
        ++nextEventId_;
        ++statistics_.eventsWritten;
    }
    row_[kEventID] = static_cast<double>(nextEventId_ - 1);

    if (eventList_.isOpen()) eventList_.writeRow(row_);
    if (clusterList_.isOpen()) clusterList_.writeRow(row_);
    if (clog_.isOpen()) clog_.writeCluster(pixels, frame.writeFourth);
    ++statistics_.clustersWritten;
}

bool ClusterOutput::close(std::string& error) {
    bool ok = true;
    if (eventList_.isOpen() && !eventList_.close()) {
        error = "Writing the event list failed: " + options_.elistBase + ".korelist";
        ok = false;
    }
    if (clusterList_.isOpen() && !clusterList_.close()) {
        error = "Writing the cluster list failed: " + options_.clusterListBase + ".clist";
        ok = false;
    }
    if (clog_.isOpen() && !clog_.close()) {
        error = "Writing the cluster log failed: " + options_.clogPath;
        ok = false;
    }
    return ok;
}

}  // namespace zel::clusterer
