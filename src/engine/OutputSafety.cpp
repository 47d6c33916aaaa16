#include "engine/OutputSafety.h"

#include <filesystem>

#include "engine/ExternalClusterer.h"
#include "engine/InputDiscovery.h"
#include "engine/Settings.h"

namespace zel {

std::vector<PlannedOutput> plannedLog(const Settings& settings) {
    if (!settings.DoLog) return {};
    return {{"log file", settings.LogPath + settings.LogName}};
}

std::vector<PlannedOutput> plannedOutputs(const Settings& s, const InputSet& inputs) {
    std::vector<PlannedOutput> outputs;
    if (inputs.rawToCluster && s.DoRunClusterer && s.DoRunClustererCmd) {
        const std::string out = clustererOutputDir(s);
        if (s.DoCreateClog)
            for (int i = 0; i < inputs.count; ++i)
                outputs.push_back({"cluster log", out + clusterLogName(s, inputs.names[static_cast<size_t>(i)])});
        if (s.DoReprocElist) outputs.push_back({"event list of the clusterer", out + s.ElistOutName + ".korelist"});
        if (s.DoExportCList && !s.CListName.empty())
            outputs.push_back({"cluster list of the clusterer", out + s.CListName + ".clist"});
        if (s.DoClustererStatFile) outputs.push_back({"statistics file of the clusterer", clustererStatFile(s)});
    }
    if (!s.DoExportText) return outputs;
    const std::string fileDir = s.FileOutPath + s.ExportDirFile;
    const std::string elistExt = s.ElistExtOutName.empty() ? std::string("EventListExt") : s.ElistExtOutName;
    const std::string clistExt = s.CListExtName.empty() ? std::string("CListExt") : s.CListExtName;
    if (s.DoCreateElistExt) outputs.push_back({"extended event list", fileDir + elistExt + ".korelist"});
    if (inputs.rawToCluster && (s.DoExportCList || !s.CListExtName.empty()))
        outputs.push_back({"extended cluster list", fileDir + clistExt + ".clist"});
    outputs.push_back({"results list", s.SamplingListPath + s.SamplingListName});
    outputs.push_back({"results list", s.SamplingListJsonPath + s.SamplingListJsonName});
    const struct {
        const std::string& directory;
        const std::string& text;
        const std::string& json;
    } lists[] = {
        {s.ExportDirFrame, s.FrameListName, s.FrameListJsonName},
        {s.ExportDirCoincEvent, s.CoincEventListName, s.CoincEventListJsonName},
        {s.ExportDirRadFieldRecog, s.RadFieldRecogListName, s.RadFieldRecogListJsonName},
        {s.ExportDirDirection, s.DirectionListName, s.DirectionListJsonName},
        {s.ExportDirCompton, s.ComptonListName, s.ComptonListJsonName},
    };
    for (const auto& list : lists) {
        outputs.push_back({"results list", s.FileOutPath + list.directory + list.text});
        outputs.push_back({"results list", s.FileOutPath + list.directory + list.json});
    }
    return outputs;
}

void refuseOutputsOverInputs(const std::vector<PlannedOutput>& outputs, const std::vector<std::string>& inputs,
                             const MessageTarget& to) {
    for (const PlannedOutput& output : outputs) {
        for (const std::string& input : inputs) {
            std::error_code ec;  // a name that does not exist is no file at all, and so no input
            if (!std::filesystem::equivalent(output.path, input, ec) || ec) continue;
            failWith(to,
                     "The " + output.what + " " + output.path + " is the input file " + input +
                         ". Nothing is written over an input: choose another name or directory.",
                     kCodeOutputIsInput);
        }
    }
}

}  // namespace zel
