#include "engine/ExternalClusterer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>

#include "common/BoundedLine.h"
#include "common/Paths.h"
#include "common/Subprocess.h"
#include "common/NumberText.h"
#include "common/Text.h"
#include "engine/Settings.h"

namespace zel {
namespace {

std::string inQuotes(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.append(1, '"').append(text).append(1, '"');
    return out;
}

std::string upToFirstDot(const std::string& name) { return name.substr(0, name.find('.')); }

void removeFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// The files whose name marks them as event lists, as they stand now.
std::vector<ListStamp> stampEventLists(const std::string& directory) {
    std::vector<ListStamp> lists;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(directory.empty() ? currentDirPrefix() : directory, ec), end;
         !ec && it != end; it.increment(ec)) {
        ListStamp stamp;
        stamp.name = it->path().filename().string();
        if (!contains(stamp.name, "korelist")) continue;
        std::error_code fileError;
        stamp.size = it->file_size(fileError);
        if (!fileError) stamp.changed = it->last_write_time(fileError);
        if (!fileError) lists.push_back(std::move(stamp));
    }
    return lists;
}

bool wasThere(const std::vector<ListStamp>& before, const ListStamp& list) {
    return std::any_of(before.begin(), before.end(), [&](const ListStamp& b) {
        return b.name == list.name && b.size == list.size && b.changed == list.changed;
    });
}

const char* rawBanner(InputKind kind) {
    switch (kind) {
        case InputKind::ClusterLog: return "Processing RawData CLOG:\t";
        case InputKind::T3PA: return "Processing RawData T3PA:\t";
        case InputKind::T3P: return "Processing RawData T3P:\t";
        case InputKind::T3R: return "Processing RawData T3R:\t";
        default: return "Processing RawData matrix:\t";
    }
}

}  // namespace

std::string clustererOutputDir(const Settings& settings) {
    return settings.FileOutPath + (settings.DoCreateExportDir ? settings.ExportDirFile : std::string());
}

std::string clustererStatFile(const Settings& settings) {
    // Beside the run's own lists unless a directory is given, so that runs started from one directory keep apart.
    const std::string directory =
        settings.ClustererStatPath.empty() ? clustererOutputDir(settings) : settings.ClustererStatPath;
    return directory + settings.ClustererStatName;
}

std::string clusterLogName(const Settings& settings, const std::string& inputName) {
    std::string name = settings.ClogOutName.empty() ? std::string("ClusterLog") : upToFirstDot(settings.ClogOutName);
    if (settings.DoMultiFile && settings.DoCreateClog) name += "_" + upToFirstDot(inputName);
    return name + ".clog";
}

namespace {

// The clusterer's arguments and, beside them, the command line the log shows: each option written as a shell would
// have been given it, with its leading and closing blanks and quoted paths.
class CommandBuilder {
public:
    void program(const std::string& path) {
        command.arguments.push_back(path);
        command.text += inQuotes(path) + " ";
    }
    void flag(const char* name) {
        command.arguments.emplace_back(name);
        command.text.append(" ").append(name).append(" ");
    }
    void value(const char* name, const std::string& text) {
        command.arguments.emplace_back(name);
        command.arguments.push_back(text);
        command.text.append(" ").append(name).append(" ").append(text).append(" ");
    }
    void quoted(const char* name, const std::string& text, bool leadingBlank = true) {
        command.arguments.emplace_back(name);
        command.arguments.push_back(text);
        if (leadingBlank) command.text += " ";
        command.text.append(name).append(" ").append(inQuotes(text)).append(" ");
    }
    void input(const std::string& text) {
        command.arguments.push_back(text);
        command.text += " " + inQuotes(text) + " ";
    }
    ClustererCommand command;
};

}  // namespace

ClustererCommand makeClustererCommand(const Settings& s, const std::string& inputName, const std::string& clogName) {
    const std::string out = clustererOutputDir(s);
    CommandBuilder b;
    b.program(s.ClustererPath + s.ClustererName);
    if (s.DoReprocElist) b.quoted("--korelist", out + s.ElistOutName);
    if (!s.CalMat.empty() && !s.IsEnergyCalibrated) b.quoted("-c", s.CalMat);
    if (s.DoExportCList && !s.CListName.empty()) b.quoted("--clust-feat-list", out + s.CListName);
    if (s.MaxFrameOccupancy > 0) b.value("--frame-occupancy-limit", formatFixed(s.MaxFrameOccupancy));
    b.value("--frame-start-num", std::to_string(s.FrameStartNum));
    if (s.MaxPixelCountProc > 0)
        b.value("--pix-count-max", std::to_string(static_cast<long long>(s.MaxPixelCountProc)));
    if (s.DoCreateClog) b.quoted("-l", out + clogName);
    if (s.DoTpxHighEnergyCorr) b.flag("--corr-tpx-high-energy");
    if (!s.MeasMode.empty()) b.quoted("--measmode", s.MeasMode);
    if (s.TimeCoinc != -1) b.value("--el-coinctoadiff", formatFixed(s.TimeCoinc));
    if (s.SensThick != -1) b.value("--el-thickness", formatFixed(s.SensThick));
    b.value("--l2d-corr-formula", std::to_string(s.LengthCorr));
    if (s.DoClustererLog) b.flag("--log");
    if (s.DoClustererDebug) b.flag("--debug");
    if (s.DoClustererStatFile) b.quoted("--stat-file", clustererStatFile(s), false);
    std::string input = s.FileInPath + inputName;
    if (inputName.empty() && !input.empty() && (input.back() == '/' || input.back() == '\\')) input.pop_back();
    b.input(input);
    return std::move(b.command);
}

std::string buildClustererCommand(const Settings& s, const std::string& inputName, const std::string& clogName) {
    return makeClustererCommand(s, inputName, clogName).text;
}

int findClusterer(Settings& settings, const MessageTarget& to) {
    const std::string given = settings.ClustererPath + settings.ClustererName;
    if (isRegularFile(given)) return 0;
    // Beside the library (the build tree), or in the programs' directory of an installed tree (lib/ and bin/).
    const std::string library = libraryDirectory();
    const std::string places[] = {library, library + ".." + kSeparator + "bin" + kSeparator};
    for (const std::string& beside : places) {
        if (library.empty() || !isRegularFile(beside + settings.ClustererName)) continue;
        MessageTarget console{nullptr, to.print, false};
        printWarning(console, "Clusterer not found in given path:   " + given);
        printWarning(console, "Clusterer found in alternative path: " + beside + settings.ClustererName);
        settings.ClustererPath = beside;
        return 0;
    }
    printErrorCode(to, "Can not find clusterer binary: " + given + " . Raw data processing can not be done.", -1009);
    return -1009;
}

int findModels(Settings& settings, const MessageTarget& to) {
    if (isDirectory(settings.ModelPath)) return 0;
    const std::string beside = libraryDirectory() + "models" + kSeparator;
    if (isDirectory(beside)) {
        MessageTarget console{nullptr, to.print, false};
        printWarning(console, "Directory with models not found in given path:   " + settings.ModelPath);
        printWarning(console, "Directory with models found in alternative path: " + beside);
        settings.ModelPath = beside;
        return 0;
    }
    printErrorCode(to, "Can not find directory with models: " + settings.ModelPath + ". PID will not be used.", -1010);
    return -1010;
}

int clusterInput(Settings& settings, InputSet& inputs, size_t index, const MessageTarget& to) {
    const std::string& input = inputs.names[index];
    const std::string clogName = clusterLogName(settings, input);
    inputs.producedClogs.push_back(clogName);
    if (!settings.DoRunClusterer) return 0;
    const std::string out = clustererOutputDir(settings);
    if (index == 0 && settings.DoRemoveOldElist) {
        removeFile(out + settings.ElistOutName + ".korelist");
        removeFile(out + settings.ElistOutName + ".clist");
    }
    // A multi-file run of text frames goes to the clusterer as one set: the input directory itself.
    const std::string inputArgument = inputs.kind == InputKind::TextFrames && inputs.count > 1 ? std::string() : input;
    const ClustererCommand command = makeClustererCommand(settings, inputArgument, clogName);
    if (settings.DoLogClustererCmd) printMsg(to, "Clustere command: |" + command.text + "|");
    if (settings.DoRunClustererCmd) {
        // Started from its arguments, so that no file name is ever read as a command.
        const ProgramRun run = runProgram(command.arguments);
        if (!run.succeeded()) {
            printErrorCode(to, "Clusterer failed on " + settings.FileInPath + inputArgument + ": " + run.describe() + ".",
                           kCodeClustererFailed);
            return kCodeClustererFailed;
        }
    }
    return 0;
}

int readClustererStat(Settings& settings, const MessageTarget& to) {
    if (!settings.DoClustererStatFile) return 0;
    const std::string name = clustererStatFile(settings);
    std::ifstream in(name);
    if (!in.is_open()) {
        printErrorCode(MessageTarget{nullptr, to.print, false}, "Can not open clusterer stat file: " + name, -1);
        return -1;
    }
    std::string line;
    bool first = true;
    BoundedLines lines(in, kMaxSettingsLineLength);
    LineRead read = LineRead::End;
    while ((read = lines.next(line)) == LineRead::Line) {
        if (first) {
            first = false;
            continue;
        }
        if (!contains(line, "FrameNum")) continue;
        auto numbers = scanNumbers(line);
        // A frame count that no frame number of this run can reach is no count: it is left out.
        if (!numbers.empty() && numbers.front() >= 0 && numbers.front() <= std::numeric_limits<int>::max())
            settings.FrameStartNum = static_cast<int>(numbers.front());
    }
    if (read == LineRead::TooLong) {
        printErrorCode(MessageTarget{nullptr, to.print, false},
                       "Can not read clusterer stat file: " + lines.tooLongText(name), -1);
        return -1;
    }
    return 0;
}

int chooseElist(Settings& settings, InputSet& inputs, const MessageTarget& to) {
    const std::string out = clustererOutputDir(settings);
    const std::string expected = settings.ElistOutName + ".korelist";
    std::vector<ListStamp> now = stampEventLists(out);
    auto ofThisRun = [&](const std::string& name) {
        if (!inputs.listsStamped) return true;
        auto stamp = std::find_if(now.begin(), now.end(), [&](const ListStamp& l) { return l.name == name; });
        return stamp != now.end() && !wasThere(inputs.listsBefore, *stamp);
    };
    std::string chosen;
    if (isRegularFile(out + expected) && ofThisRun(expected)) {
        chosen = expected;
    } else {
        std::vector<std::string> candidates;
        for (const ListStamp& list : now)
            if (ofThisRun(list.name)) candidates.push_back(list.name);
        if (candidates.empty()) {
            printErrorCode(to, "Elist file can not be found.", -3000);
            return -3000;
        }
        std::sort(candidates.begin(), candidates.end());
        chosen = candidates.front();
        printWarning(MessageTarget{nullptr, to.print, false}, "Following elist will be used for processing: " + chosen);
    }
    inputs.elistPath = out;
    inputs.elistName = chosen;
    return 0;
}

int runRawData(Settings& settings, InputSet& inputs, const MessageTarget& to) {
    inputs.rawToCluster = inputs.kind != InputKind::Elist && inputs.kind != InputKind::None;
    if (inputs.rawToCluster) printMsg(to, rawBanner(inputs.kind) + settings.FileInPath + inputs.names.front());
    int count = inputs.kind == InputKind::TextFrames ? std::min(inputs.count, 1) : inputs.count;
    inputs.failed.clear();
    inputs.listsStamped = inputs.rawToCluster && settings.DoRunClusterer && settings.DoRunClustererCmd;
    if (inputs.listsStamped) inputs.listsBefore = stampEventLists(clustererOutputDir(settings));
    int failure = 0;
    for (int i = 0; i < count; ++i) {
        settings.FileInName = inputs.names[static_cast<size_t>(i)];
        bool ok = true;
        if (inputs.rawToCluster) {
            const int code = clusterInput(settings, inputs, static_cast<size_t>(i), to);
            ok = code == 0;
            if (ok && settings.DoRunClusterer) readClustererStat(settings, to);
            if (!ok) {
                failure = code;
                inputs.failed.push_back(settings.FileInName);
            }
        }
        if (ok) inputs.processed.push_back(settings.FileInName);
    }
    if (!settings.DoRunClusterer)
        printWarning(to, "Processing with clusterer is skipped with DoRunClusterer option.");
    if (!inputs.rawToCluster) return 0;
    if (inputs.processed.empty() && failure != 0) return failure;  // nothing of this run to read
    return chooseElist(settings, inputs, to);
}

}  // namespace zel
