#include "engine/SettingsReport.h"

#include <vector>

#include "common/NumberText.h"
#include "common/Text.h"

namespace zel {
namespace {

constexpr size_t kRuleWidth = 72;
constexpr size_t kValueColumn = 32;  // four tab stops
constexpr size_t kTabWidth = 8;

std::string countText(int count) { return count < 0 ? std::string("all") : std::to_string(count); }

std::vector<std::string> filesAndPaths(const Settings& s, const ReportInputs& inputs) {
    std::vector<std::string> lines;
    lines.push_back(reportLine("FileInPath", s.FileInPath));
    std::span<const std::string> names = inputs.names;
    if (names.empty() && !s.FileInNames.empty()) names = s.FileInNames;
    if (names.empty()) {
        lines.push_back(reportLine("FileInName", s.FileInName));
    } else {
        for (size_t i = 0; i < names.size(); ++i) lines.push_back(reportLine(i == 0 ? "FileInName" : "", names[i]));
    }
    lines.push_back(reportLine("FileInNameEnd", s.FileInNameEnd));
    if (s.DoMultiFile) lines.push_back(reportLine("DoMultiFile", reportBool(true)));
    lines.push_back(reportLine("Number of files", countText(inputs.count >= 0 ? inputs.count : s.FileInCount)));
    lines.push_back(reportLine("Param file - path+name:", s.ParamFileName));
    lines.push_back(reportLine("CalMat", s.CalMat));
    lines.push_back(reportLine("FileOutPath", s.FileOutPath));
    lines.push_back(reportLine("Log - path+name:", s.LogPath + s.LogName));
    lines.push_back(reportLine("Filter - path+name:", s.FilterPath + s.FilterName));
    lines.push_back(reportLine("Mask - path+name:", s.MaskPath + s.MaskName));
    lines.push_back(reportLine("Hist - path+name:", s.HistPath + s.HistName));
    lines.push_back(reportLine("SigVec - path+name:", s.SigVecPath + s.SigVecName));
    lines.push_back(reportLine("Direction - path+name:", s.DirectionPath + s.DirectionName));
    lines.push_back(reportLine("Compton - path+name:", s.ComptonPath + s.ComptonName));
    lines.push_back(reportLine("Coinc - path+name:", s.CoincPath + s.CoincName));
    lines.push_back(reportLine("DetGeo - path+name:", s.DetGeoPath + s.DetGeoName));
    lines.push_back(reportLine("ModelPath", s.ModelPath));
    return lines;
}

std::vector<std::string> detectorSettings(const Settings& s) {
    return {
        reportLine("ChipType", s.ChipType),
        reportLine("SensMat", s.SensMat),
        reportLine("SensDens [g cm-3]", formatG(s.SensDens)),
        reportLine("SensThick [um]", formatG(s.SensThick)),
        reportLine("SensBias [V]", formatG(s.SensBias)),
        reportLine("DataOrigin", std::to_string(s.DataOriginSwitch) + " - " + dataOriginText(s.DataOriginSwitch)),
    };
}

std::vector<std::string> otherSettings(const Settings& s) {
    return {
        reportLine("TimeSampling [s]", formatG(s.TimeSampling)),
        reportLine("TimeFirst [s]", formatG(s.TimeFirst)),
        reportLine("ClusterCount", countText(s.ClusterCount)),
        reportLine("IsEnergyCalibrated", reportBool(s.IsEnergyCalibrated)),
        reportLine("DoTpxHighEnergyCorr", reportBool(s.DoTpxHighEnergyCorr)),
        reportLine("MaxFrameOccupancy", formatG(s.MaxFrameOccupancy)),
        reportLine("MaxPixelCountProc", formatG(s.MaxPixelCountProc)),
        reportLine("TimeAcq [s]", formatG(s.TimeAcq)),
        reportLine("TimeFrameAcq [s]", formatG(s.TimeFrameAcq)),
        reportLine("TimeFrameDead [s]", formatG(s.TimeFrameDead)),
        reportLine("TimeCoinc [ns]", formatG(s.TimeCoinc)),
        reportLine("LengthCorr",
                   std::to_string(s.LengthCorr) + " (" + s.LengthCorrName2D + ", " + s.LengthCorrName3D + ")"),
        reportLine("DoIgnoreClusterSensEdge", reportBool(s.DoIgnoreClusterSensEdge)),
    };
}

}  // namespace

std::string reportLine(std::string_view label, std::string_view value) {
    size_t tabs = label.size() < kValueColumn ? (kValueColumn - label.size() + kTabWidth - 1) / kTabWidth : 1;
    std::string line(label);
    line.append(tabs, '\t');
    line.append(value);
    return line;
}

const char* reportBool(bool value) { return value ? "True" : "False"; }

void printReportSection(std::string_view title, std::span<const std::string> lines, const MessageTarget& to) {
    const std::string rule(kRuleWidth, '-');
    printMsg(to, rule);
    printMsg(to, title);
    printMsg(to, rule);
    for (const std::string& line : lines) printMsg(to, line);
}

void printPhaseHeader(std::string_view title, const MessageTarget& to) {
    const std::string rule(kRuleWidth, '=');
    printMsg(to, rule);
    printMsg(to, title);
    printMsg(to, rule);
}

void printSettingsReport(const Settings& settings, const MessageTarget& to, const ReportInputs& inputs) {
    printReportSection("FILES AND PATHS", filesAndPaths(settings, inputs), to);
    printReportSection("DETECTOR SETTINGS", detectorSettings(settings), to);
    printReportSection("OTHER SETTINGS", otherSettings(settings), to);
}

}  // namespace zel
