#pragma once
// Writers of the clusterer's text outputs: the event list and cluster list (one row of the 28 default variables
// per cluster under a names line and a units line, tab separated) and the cluster log.
#include <span>
#include <string>

#include "ClusterFeatures.h"
#include "OutputFile.h"
#include "Pixel.h"

namespace zel::clusterer {

// The tab-separated names line and units line for the chosen corrected-length formula (1, 2 or 3).
std::string namesLine(int lengthCorrFormula);
std::string unitsLine();

class EventListWriter {
public:
    // Creates the list, or appends to it when `append` is set and the file exists. Appending needs the same
    // names line; the last EventID of the existing rows is read so that numbering can continue.
    bool open(const std::string& path, int lengthCorrFormula, bool append, std::string& error);
    void writeRow(const FeatureRow& row);
    bool close() { return file_.close(); }
    bool isOpen() const { return file_.isOpen(); }

    // Largest EventID found in an appended list; -1 when the list was created.
    long long lastEventId() const { return lastEventId_; }

private:
    OutputFile file_;
    long long lastEventId_ = -1;
};

class ClogWriter {
public:
    bool open(const std::string& path, std::string& error);
    // "Frame N (start, acq s)" with six decimals.
    void writeFrame(long long number, double startSeconds, double acqSeconds);
    // One line of "[x, y, value] " groups, or "[x, y, value, fourth] " when `withFourth` is set; values and times
    // with up to six decimals.
    void writeCluster(std::span<const Pixel> pixels, bool withFourth);
    bool close() { return file_.close(); }
    bool isOpen() const { return file_.isOpen(); }

private:
    OutputFile file_;
};

}  // namespace zel::clusterer
