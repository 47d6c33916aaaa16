#pragma once
// Hands raw pixel data and cluster logs to the external clusterer program and finds the event list it wrote.
#include <string>
#include <vector>

#include "common/Messages.h"
#include "engine/InputDiscovery.h"

namespace zel {

struct Settings;

// Directory the clusterer writes into: the output directory and its "File" subdirectory.
std::string clustererOutputDir(const Settings& settings);

// The clusterer's run for one input: the argument vector it is started with (no shell parses it) and the command
// line the log shows, both in the fixed option order.
struct ClustererCommand {
    std::vector<std::string> arguments;
    std::string text;
};
ClustererCommand makeClustererCommand(const Settings& settings, const std::string& inputName, const std::string& clogName);

// The command line of makeClustererCommand.
std::string buildClustererCommand(const Settings& settings, const std::string& inputName, const std::string& clogName);

// Name of the cluster log the clusterer is asked to write for this input.
std::string clusterLogName(const Settings& settings, const std::string& inputName);

// The clusterer's statistics file: in the clusterer's output directory unless ClustererStatPath names one.
std::string clustererStatFile(const Settings& settings);

// Prerequisite checks; 0, -1009 or -1010. A program or directory found beside the library replaces the setting.
int findClusterer(Settings& settings, const MessageTarget& to);
int findModels(Settings& settings, const MessageTarget& to);

// A clusterer run that could not be started, was killed or ended with a non-zero status.
inline constexpr int kCodeClustererFailed = -3019;

// Builds, logs and runs the command for input `index`; 0, the sum of failures of the preparatory steps, or
// kCodeClustererFailed.
int clusterInput(Settings& settings, InputSet& inputs, size_t index, const MessageTarget& to);

// Reads the frame number the next input continues with; 0 or -1 when the statistics file cannot be opened.
int readClustererStat(Settings& settings, const MessageTarget& to);

// Makes the event list written by the clusterer the input; 0 or -3000. When the clusterer ran, only a list it
// wrote or changed is taken.
int chooseElist(Settings& settings, InputSet& inputs, const MessageTarget& to);

// Runs the clusterer over every input that needs it. An input it fails on is reported and noted in the failed
// inputs, and the others go on; 0, kCodeClustererFailed when no input is left, or the code of chooseElist.
int runRawData(Settings& settings, InputSet& inputs, const MessageTarget& to);

}  // namespace zel
