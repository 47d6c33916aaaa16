#include "RunStatistics.h"

#include <fstream>

#include "common/NumberText.h"
#include "common/Text.h"

namespace zel::clusterer {

bool writeStatFile(const std::string& path, const RunStatistics& s) {
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out) return false;
    const std::pair<const char*, long long> counts[] = {
        {"FrameNum", s.nextFrameNumber},
        {"InputCount", s.inputs},
        {"FramesRead", s.framesRead},
        {"FramesSkippedOccupancy", s.framesSkippedOccupancy},
        {"PixelsRead", s.pixelsRead},
        {"PixelsSkippedInput", s.pixelsSkippedInput},
        {"PixelsNonRealCalibRoot", s.pixelsNonRealRoot},
        {"PixelsOutOfOrder", s.pixelsOutOfOrder},
        {"ClustersFound", s.clustersFound},
        {"ClustersDroppedPixCountMax", s.clustersDroppedPixelLimit},
        {"ClustersWritten", s.clustersWritten},
        {"ClustersOutOfTimeOrder", s.clustersOutOfOrder},
        {"EventsWritten", s.eventsWritten},
        {"PeakHeldPixels", s.peakHeldPixels},
    };
    out << "Clusterer statistics\n";
    for (const auto& [key, value] : counts) out << key << '\t' << value << '\n';
    out << "ProcessingTime_s\t" << formatFixed(s.seconds, 3) << '\n';
    return static_cast<bool>(out);
}

}  // namespace zel::clusterer
