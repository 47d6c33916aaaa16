#pragma once
// The settings report and the framed headers of the processing phases, written through the messages facility.
#include <span>
#include <string>
#include <string_view>

#include "common/Messages.h"
#include "engine/Settings.h"

namespace zel {

// The inputs found by discovery; when empty, the report names the inputs the settings give.
struct ReportInputs {
    std::span<const std::string> names;
    int count = -1;  // how many are processed; below 0 the report shows FileInCount
};

// "FILES AND PATHS", "DETECTOR SETTINGS" and "OTHER SETTINGS", each framed by lines of dashes.
void printSettingsReport(const Settings& settings, const MessageTarget& to, const ReportInputs& inputs = {});

// A report section: the title framed by lines of dashes, then its lines. Modules add their own sections this way.
void printReportSection(std::string_view title, std::span<const std::string> lines, const MessageTarget& to);

// A phase header ("PROCESSING", ...) framed by lines of "=".
void printPhaseHeader(std::string_view title, const MessageTarget& to);

// A report line: the label, tabs up to the value column, the value.
std::string reportLine(std::string_view label, std::string_view value);

// "True" or "False", as the report writes switches.
const char* reportBool(bool value);

}  // namespace zel
