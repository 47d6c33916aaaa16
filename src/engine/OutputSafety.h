#pragma once
// A run never writes over its own inputs: every file it is about to write is compared with every input file, by
// device and inode, so that two names of one file (a link, "./", "..") are caught as well.
#include <string>
#include <vector>

#include "common/Messages.h"

namespace zel {

struct Settings;
struct InputSet;

// An output that is the same file as an input: nothing has been written, the run stops.
inline constexpr int kCodeOutputIsInput = -1049;

// A file the run is about to write and what it is, for the message.
struct PlannedOutput {
    std::string what;
    std::string path;
};

// The log file, when the log is on.
std::vector<PlannedOutput> plannedLog(const Settings& settings);

// Every other file whose name the settings and the inputs fix: the clusterer's cluster logs, lists and statistics
// file (when it runs), and with text export the extended event and cluster lists and the results lists.
std::vector<PlannedOutput> plannedOutputs(const Settings& settings, const InputSet& inputs);

// The first output that is the same file as one of the inputs (full names) is reported and raised with
// kCodeOutputIsInput. An output that does not exist yet is no input.
void refuseOutputsOverInputs(const std::vector<PlannedOutput>& outputs, const std::vector<std::string>& inputs,
                             const MessageTarget& to);

}  // namespace zel
