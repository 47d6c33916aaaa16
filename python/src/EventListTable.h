#pragma once
// A whole event list read into one flat table through the library's own reader, for the Python package.
#include <cstddef>
#include <string>
#include <vector>

namespace zel::python {

struct EventListTable {
    int code = 0;             // 0, or the reader's negative code
    std::string message;      // the reader's message when the code is not 0
    std::vector<std::string> names;
    std::vector<std::string> units;  // after the reader's conversions: times in ns, positions in px, angles in deg
    size_t rows = 0;
    std::vector<double> values;  // rows x names.size(), row after row
};

// Reads the event list `path` + `name` (joined as they are).
EventListTable readEventListTable(const std::string& path, const std::string& name);

}  // namespace zel::python
