#pragma once
// The directory tree of the results below the output directory.
#include "common/Messages.h"

namespace zel {

struct Settings;

// Creates the export directories the settings ask for; 0 or -1043 with the list of paths that failed.
int createExportDirs(Settings& settings, bool clusterPictures, const MessageTarget& to);

}  // namespace zel
