#pragma once
// Reader of the parameter file: line-oriented "key value" text whose keys are the rows of the settings table.
#include <string>
#include <string_view>

#include "common/Messages.h"
#include "engine/Settings.h"

namespace zel {

// Reads the whole file into `settings` and returns 0, minus 1031 for each line whose key is no setting key.
// A file that cannot be opened is reported and raised as -1000. With DoAbortAfterParamRead set, the process ends
// after reading.
int readParamFile(const std::string& fullName, Settings& settings, const MessageTarget& to);

// Applies one line of a parameter file: 0 when it is skipped or its key is known, -1031 when the key is unknown.
int readParamLine(std::string_view line, Settings& settings, const MessageTarget& to);

// True when the text holds "true", "True" or "TRUE" anywhere.
bool parseBool(std::string_view text);

}  // namespace zel
