#include "pid/network/NormFile.h"

#include <fstream>

#include "common/Text.h"

namespace zel {

NormFileResult readNorms(const std::string& path, size_t expected, std::vector<double>& norms) {
    norms.clear();
    std::ifstream in(path);
    if (!in.is_open()) return NormFileResult::NotOpened;
    std::string line;
    while (std::getline(in, line) && line.size() < 2) {
    }
    // A number is a run of digits and ".-+eE"; anything else separates numbers.
    if (line.size() >= 2) norms = scanNumbers(line);
    if (norms.size() != expected) {
        norms.clear();
        return NormFileResult::NotRead;
    }
    for (double norm : norms)
        if (norm == 0.0) return NormFileResult::ZeroNorm;
    return NormFileResult::Read;
}

}  // namespace zel
