#pragma once
// The extended cluster list: the cluster list exported by the clusterer, read back line by line, with the class and
// the filter verdict the engine gave each cluster appended to its line. While batches run, the module keeps one
// small mark per cluster (written or left out, class, filter verdict) in a scratch file beside the final list, so
// memory stays bounded; at export the marks are paired with the cluster lines in order.
#include <cstdint>
#include <cstdio>
#include <istream>
#include <string>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "common/BoundedLine.h"
#include "common/Messages.h"
#include "common/OutputText.h"

namespace zel {

struct ExtendedClusterListSetup {
    std::string clusterListName;       // full name of the exported cluster list
    std::string fullName;              // full name of the extended list
    bool clusterListExported = false;  // without the exported cluster list nothing is written
    int classColumn = -1;              // "PIDClass" is added when this is a column of the rows
    int filterColumn = -1;             // "FilterPass" is added when this is a column of the rows
    int edgeColumn = -1;
    bool dropFiltered = false;  // leave out clusters that failed the filter
    bool dropEdge = false;      // leave out clusters on the sensor edge (a NaN counts as on the edge)
};

class ExtendedClusterList {
public:
    explicit ExtendedClusterList(ExtendedClusterListSetup setup);
    ~ExtendedClusterList();
    ExtendedClusterList(const ExtendedClusterList&) = delete;
    ExtendedClusterList& operator=(const ExtendedClusterList&) = delete;

    // Marks every row of the batch, in order. 0, or -3016 when the scratch file cannot be written.
    int append(const ClusterBatch& batch, const MessageTarget& to);

    // Writes the extended list: 0, -3016 (a list cannot be opened or written) or -3017 (no header in the cluster
    // list, or a line too long to be read). Without the exported cluster list it only warns and returns 0. Cluster lines beyond the marked
    // clusters (the run stopped early) are left out.
    int write(const MessageTarget& to);

    // Drops the marks and any partial output.
    void discard();

    const std::string& fileName() const { return setup_.fullName; }
    size_t markedCount() const { return marked_; }

private:
    struct Mark {
        int32_t pidClass;
        uint8_t filterPass;
        uint8_t keep;
    };

    int flushMarks();
    bool nextMark(Mark& mark);
    bool copyLines(BoundedLines& lines, OutputText& out);
    void appendValues(OutputText& out, const Mark& mark) const;

    ExtendedClusterListSetup setup_;
    std::string marksName_;
    std::string partName_;
    std::FILE* marks_ = nullptr;
    std::vector<Mark> pending_;
    size_t pendingRead_ = 0;
    size_t marked_ = 0;
    bool marksFailed_ = false;
};

}  // namespace zel
