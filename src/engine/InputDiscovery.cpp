#include "engine/InputDiscovery.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "cluster/ClusterVariables.h"
#include "common/BoundedLine.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "engine/CodeBases.h"
#include "engine/Settings.h"
#include "input/Elist.h"

namespace zel {

std::string extensionOf(const std::string& name) {
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

namespace {

bool isSupported(const std::string& extension, const InputSet& inputs) {
    bool known = std::any_of(std::begin(kSupportedExtensions), std::end(kSupportedExtensions),
                             [&](const char* e) { return extension == e; });
    bool ignored = std::find(inputs.ignoredExtensions.begin(), inputs.ignoredExtensions.end(), extension) !=
                   inputs.ignoredExtensions.end();
    return known && !ignored;
}

std::vector<std::string> searchInputDirectory(const Settings& settings) {
    std::vector<std::string> found;
    std::error_code ec;
    std::string dir = settings.FileInPath.empty() ? currentDirPrefix() : settings.FileInPath;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError)) continue;
        std::string name = it->path().filename().string();
        if (!contains(name, settings.FileInName)) continue;
        if (!settings.FileInNameEnd.empty() && extensionOf(name) != settings.FileInNameEnd) continue;
        found.push_back(name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> supportedOnly(const std::vector<std::string>& names, const InputSet& inputs) {
    std::vector<std::string> kept;
    for (const auto& name : names)
        if (isSupported(extensionOf(name), inputs)) kept.push_back(name);
    return kept;
}

char frameModeFromName(const std::string& name) {
    if (contains(name, "ToT")) return 'E';
    if (contains(name, "ToA")) return 'A';
    if (contains(name, "Event")) return 'C';
    return 0;
}

// Opens the input and checks that it holds something; raises -1015 or -1020.
void checkReadable(const std::string& fullName, const std::string& name, const MessageTarget& to) {
    std::ifstream in(fullName, std::ios::binary);
    if (!in.is_open() || isDirectory(fullName)) failWith(to, "Can not open input file: " + name, -1015);
    if (in.peek() == std::ifstream::traits_type::eof()) failWith(to, "Empty in file format: " + name, -1020);
}

}  // namespace

bool isTextFrameFile(const std::string& fullName, int width, int height) {
    std::ifstream in(fullName);
    if (!in.is_open() || width <= 0 || height <= 0) return false;
    std::string line;
    int lines = 0;
    // A line longer than any frame line ends the test: it is no frame file, and the recognisers after this one say
    // where the line is.
    for (LineRead read; (read = readBoundedLine(in, line, kMaxInputLineLength)) != LineRead::End;) {
        if (read == LineRead::TooLong) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() && in.peek() == std::ifstream::traits_type::eof()) break;
        if (++lines > height) return false;
        if (static_cast<int>(scanNumbers(line).size()) != width) return false;
    }
    return lines == height;
}

std::vector<std::string> inputFilesToDiscover(const Settings& settings, const InputSet& inputs) {
    std::vector<std::string> names;
    if (!settings.FileInNames.empty()) names = settings.FileInNames;
    else if (!settings.DoMultiFile && !settings.FileInName.empty()) names.push_back(settings.FileInName);
    else if (settings.DoMultiFile) names = supportedOnly(searchInputDirectory(settings), inputs);
    for (std::string& name : names) name = settings.FileInPath + name;
    return names;
}

int discoverInputs(Settings& settings, InputSet& inputs, const MessageTarget& to) {
    inputs.names.clear();
    if (!settings.FileInNames.empty()) {
        inputs.names = settings.FileInNames;
    } else if (!settings.DoMultiFile) {
        // A host that pushes batches names no input at all; a file run then stops for want of inputs.
        if (settings.FileInName.empty()) {
            inputs.count = 0;
            return 0;
        }
        inputs.names.push_back(settings.FileInName);
    } else {
        inputs.names = searchInputDirectory(settings);
        if (inputs.names.empty()) {
            printErrorCode(to, "Can not find any files for processing. Process terminated.", -1004);
            printColor(to, "Used FileInPath:\t" + settings.FileInPath, 36);
            printColor(to, "Used FileInName:\t" + settings.FileInName, 36);
            if (!settings.FileInNameEnd.empty()) printColor(to, "Used FileInNameEnd:\t" + settings.FileInNameEnd, 36);
            raiseCode(-1004);
        }
        std::vector<std::string> kept = supportedOnly(inputs.names, inputs);
        if (kept.empty()) {
            printErrorCode(to, "No files have passed the selection and ignore criteria. Process terminated.", -1005);
            return -1005;
        }
        inputs.names = std::move(kept);
    }
    if (!inputs.names.empty()) settings.FileInName = inputs.names.front();
    if (inputs.names.size() < 2) settings.DoMultiFile = false;
    if (inputs.names.empty()) failWith(to, "No in files were found for processing.", -1038);
    inputs.count = static_cast<int>(inputs.names.size());
    if (settings.FileInCount >= 0 && settings.FileInCount < inputs.count) inputs.count = settings.FileInCount;
    return 0;
}

int recogniseInputs(Settings& settings, InputSet& inputs, ClusterVariables& variables, const MessageTarget& to) {
    const std::string& name = inputs.names.front();
    const std::string fullName = settings.FileInPath + name;
    const std::string extension = extensionOf(name);
    checkReadable(fullName, name, to);

    inputs.kind = InputKind::None;
    inputs.rawToCluster = false;
    inputs.frameBased = false;
    inputs.timeInNs = true;
    struct RawKind {
        const char* extension;
        InputKind kind;
        bool frameBased;
    };
    static constexpr RawKind kRawKinds[] = {
        {".t3p", InputKind::T3P, false}, {".t3r", InputKind::T3R, false}, {".t3pa", InputKind::T3PA, false},
        {".bmf", InputKind::BMF, true},  {".pmf", InputKind::PMF, true},  {".plog", InputKind::PLOG, true},
    };
    for (const auto& raw : kRawKinds) {
        if (extension != raw.extension) continue;
        inputs.kind = raw.kind;
        inputs.rawToCluster = true;
        inputs.frameBased = raw.frameBased;
        if (raw.frameBased) {
            inputs.frameMode = frameModeFromName(name);
            inputs.timeInNs = raw.kind == InputKind::PLOG;
        } else {
            settings.DoFrame = false;
        }
        return 0;
    }
    if (isTextFrameFile(fullName, settings.SensWidth, settings.SensHeight)) {
        inputs.kind = InputKind::TextFrames;
        inputs.rawToCluster = true;
        inputs.frameBased = true;
        inputs.timeInNs = false;
        inputs.frameMode = frameModeFromName(name);
        if (settings.DoMultiFile) settings.DoMultiFile = false;
        return 0;
    }
    if (recogniseElist(settings.FileInPath, name, variables.names(), inputs.elist, to) == 0 && inputs.elist.isElist) {
        inputs.kind = InputKind::Elist;
        settings.DoFrame = false;
        settings.DoCreateClog = false;
        Elist reader(settings.FileInPath, name, 'r', to, kCodeBaseElist);
        if (reader.init() == 0) variables.setList(reader.names(), reader.units());
        return 0;
    }
    ClogKind clog;
    int clogResult = recogniseClog(settings.FileInPath, name, clog, to);
    if (clogResult == 0 && clog.isClog) {
        inputs.kind = InputKind::ClusterLog;
        inputs.clog = clog;
        inputs.rawToCluster = true;
        if (clog.itotCount) settings.MeasModeItotCount = true;
        inputs.frameBased = clog.counting || clog.itotCount;
        inputs.timeInNs = clog.timeInNs || clog.fractionalTime;
        if (clog.counting) settings.DoCoinc = false;
        variables.setDefaultList(settings.LengthCorr);
        return 0;
    }
    failWith(to, "Unknown in file format: " + name, -1017);
}

}  // namespace zel
