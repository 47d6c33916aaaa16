#pragma once
// Writer of the event list and of the cluster list: one row of the 28 default variables per cluster under a names
// line and a units line, tab separated.
#include <string>

#include "ClusterFeatures.h"
#include "common/OutputText.h"

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

    // EventID of the last row of an appended list; -1 when the list was created.
    long long lastEventId() const { return lastEventId_; }

private:
    OutputText file_;
    long long lastEventId_ = -1;
};

}  // namespace zel::clusterer
