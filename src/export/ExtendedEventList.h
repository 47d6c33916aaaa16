#pragma once
// The extended event list: every cluster the engine handled, with the columns the engine added (class, filter
// verdict). Rows are streamed batch by batch into a temporary file beside the final one, so memory stays bounded
// by the batch; the file takes its final name only when the export runs, and is dropped when the run fails.
#include <string>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "common/Messages.h"
#include "common/OutputText.h"

namespace zel {

struct ExtendedListRules {
    int filterColumn = -1;    // rows with 0 here are left out when `dropFiltered`
    int edgeColumn = -1;      // rows with a non-zero value here are left out when `dropEdge`
    int timeColumn = -1;      // written with three decimals
    bool dropFiltered = false;
    bool dropEdge = false;
};

class ExtendedEventList {
public:
    ExtendedEventList(std::string fullName, ExtendedListRules rules);
    ~ExtendedEventList();
    ExtendedEventList(const ExtendedEventList&) = delete;
    ExtendedEventList& operator=(const ExtendedEventList&) = delete;

    // Opens the temporary file and writes the names and units lines; 0 or -3001.
    int open(const std::vector<std::string>& names, const std::vector<std::string>& units, const MessageTarget& to);
    int append(const ClusterBatch& batch);
    // Gives the file its final name; 0 or -3001.
    int commit(const MessageTarget& to);
    // Removes the temporary file.
    void discard();

    const std::string& fileName() const { return fullName_; }
    bool isOpen() const { return text_.isOpen(); }

private:
    std::string fullName_;
    std::string partName_;
    ExtendedListRules rules_;
    OutputText text_{size_t{1} << 20};
};

}  // namespace zel
