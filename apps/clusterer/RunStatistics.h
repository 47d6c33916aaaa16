#pragma once
// Counts of one clusterer run and the statistics file that hands them, with the next frame number, to the engine.
#include <string>

namespace zel::clusterer {

struct RunStatistics {
    long long nextFrameNumber = 0;         // last frame number used; the next run starts its frames after it
    long long inputs = 0;
    long long framesRead = 0;
    long long framesSkippedOccupancy = 0;
    long long pixelsRead = 0;
    long long pixelsSkippedInput = 0;      // malformed lines or pixel groups, positions outside the matrix
    long long pixelsNonRealRoot = 0;       // calibration without a real root: 0 keV
    long long pixelsOutOfOrder = 0;        // Timepix3 pixels later than the sort margin
    long long clustersFound = 0;
    long long clustersDroppedPixelLimit = 0;
    long long clustersWritten = 0;
    long long clustersOutOfOrder = 0;      // written with a time before that of an earlier cluster
    long long eventsWritten = 0;
    long long peakHeldPixels = 0;
    double seconds = 0.0;
};

// Writes the statistics file: a title line, then one "Key<tab>value" line per count, "FrameNum" first.
bool writeStatFile(const std::string& path, const RunStatistics& statistics);

}  // namespace zel::clusterer
