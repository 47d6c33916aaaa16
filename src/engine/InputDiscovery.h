#pragma once
// Finds the input files named by the settings and recognises what they are.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "input/ClusterLogRecognition.h"
#include "input/ElistRecognition.h"

namespace zel {

struct Settings;
class ClusterVariables;

enum class InputKind { None, T3PA, T3P, T3R, TextFrames, PMF, PLOG, BMF, ClusterLog, Elist };

// Supported extensions, in the order they are tried.
inline constexpr const char* kSupportedExtensions[] = {".t3pa", ".t3p", ".t3r", ".txt", ".pmf", ".plog",
                                                      ".bmf", ".clog", ".elist", ".elist2", ".korelist", ".clist"};

// A file as it stood at one moment: a file with the same name, size and time of last change is taken as unchanged.
struct ListStamp {
    std::string name;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed;
};

struct InputSet {
    std::vector<std::string> names;  // input file names in processing order
    int count = 0;                   // how many of them are processed
    std::vector<std::string> ignoredExtensions;

    InputKind kind = InputKind::None;
    bool rawToCluster = false;  // raw data or cluster log: the clusterer makes an event list first
    bool frameBased = false;    // frame matrices and counting-mode cluster logs
    bool timeInNs = true;       // cluster times come in nanoseconds
    char frameMode = 0;         // 'E' energy (ToT), 'A' time of arrival, 'C' counting, 0 unknown
    ClogKind clog;
    ElistKind elist;

    std::string elistPath;  // event list written by the clusterer, read in place of the raw inputs
    std::string elistName;
    std::vector<std::string> processed;     // inputs handed on successfully
    std::vector<std::string> failed;        // inputs the clusterer could not process
    // The event lists in the clusterer's output directory before it ran; a list still as it was then is no list of
    // this run. Taken only when the clusterer runs.
    std::vector<ListStamp> listsBefore;
    bool listsStamped = false;
    std::vector<std::string> producedClogs; // cluster logs written by the clusterer
};

// Text of a file name from its last '.', dot included; empty when there is none.
std::string extensionOf(const std::string& name);

// Full names of the files discoverInputs would take, found without a message: for checks before the log opens.
std::vector<std::string> inputFilesToDiscover(const Settings& settings, const InputSet& inputs);

// Fills the input list: explicit list, single name, or a search of the input directory in a multi-file run.
// Raises -1004 and -1038; returns -1005 when no file passes the selection.
int discoverInputs(Settings& settings, InputSet& inputs, const MessageTarget& to);

// Sets the kind flags of the inputs; an event list's names and units become the engine's variable list.
// Raises -1015, -1017, -1020 (and the codes of the cluster-log and event-list recognition).
int recogniseInputs(Settings& settings, InputSet& inputs, ClusterVariables& variables, const MessageTarget& to);

// True when every line of the file holds exactly `width` numbers and there are exactly `height` lines.
bool isTextFrameFile(const std::string& fullName, int width, int height);

}  // namespace zel
