#include "pid/network/NormFile.h"

#include <fstream>

#include "common/BoundedLine.h"
#include "common/Text.h"

namespace zel {

NormFileResult readNorms(const std::string& path, size_t expected, std::vector<double>& norms, size_t* lineNumber) {
    norms.clear();
    std::ifstream in(path);
    if (!in.is_open()) return NormFileResult::NotOpened;
    std::string line;
    BoundedLines lines(in, kMaxSettingsLineLength);
    LineRead read = LineRead::End;
    while ((read = lines.next(line)) == LineRead::Line && line.size() < 2) {
    }
    if (lineNumber != nullptr) *lineNumber = lines.number();
    if (read == LineRead::TooLong) return NormFileResult::LineTooLong;
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
