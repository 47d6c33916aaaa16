#pragma once
// Reader of the sorted-table file that indexes the variables of a saved model: every key with its value, in key
// order, after checking the footer's magic number and the checksum of every block.
#include <string>
#include <utility>
#include <vector>

#include "pid/network/NetworkStatus.h"

namespace zel {

using TableEntries = std::vector<std::pair<std::string, std::string>>;

// Reads all entries of the table in `file` (the file's bytes); `path` names it in messages.
NetworkStatus readSortedTable(std::string_view file, const std::string& path, TableEntries& entries);

}  // namespace zel
