#include "T3paReader.h"

#include "TextScan.h"

namespace zel::clusterer {
namespace {

// Blanks between the columns; the columns are tab separated, but blanks are accepted as well.
inline void skipSeparators(std::string_view& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == '\t' || text[i] == ' ')) ++i;
    text.remove_prefix(i);
}

inline bool column(std::string_view& text, uint64_t& value) {
    skipSeparators(text);
    return nextUnsigned(text, value);
}

}  // namespace

bool T3paReader::open(const std::string& path, std::string& error) {
    if (!source_.open(path)) {
        error = "Can not open input file: " + path;
        return false;
    }
    badLines_ = 0;
    firstBadLine_ = 0;
    return true;
}

bool T3paReader::parseLine(std::string_view line, Pixel& pixel) const {
    // The running index of the first column is not needed: it is only skipped.
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits == 0) return false;
    line.remove_prefix(digits);
    uint64_t matrixIndex = 0, toa = 0, tot = 0, ftoa = 0;
    if (!column(line, matrixIndex) || !column(line, toa) || !column(line, tot) || !column(line, ftoa)) return false;
    uint64_t cells = static_cast<uint64_t>(width_) * static_cast<uint64_t>(height_);
    if (matrixIndex >= cells) return false;
    pixel.x = static_cast<int32_t>(matrixIndex % static_cast<uint64_t>(width_));
    pixel.y = static_cast<int32_t>(matrixIndex / static_cast<uint64_t>(width_));
    pixel.value = static_cast<double>(tot);
    pixel.time = static_cast<double>(toa) * 25.0 - static_cast<double>(ftoa) * 1.5625;
    return true;
}

bool T3paReader::readPixels(std::vector<Pixel>& out, size_t maxPixels) {
    size_t added = 0;
    std::string_view line;
    while (added < maxPixels && source_.nextLine(line)) {
        std::string_view rest = line;
        skipBlanks(rest);
        if (rest.empty()) continue;
        // The header (and any other line of words) starts with a letter.
        if (rest.front() < '0' || rest.front() > '9') {
            if (source_.lineNumber() == 1) continue;
            if (firstBadLine_ == 0) firstBadLine_ = source_.lineNumber();
            ++badLines_;
            continue;
        }
        Pixel pixel;
        if (!parseLine(rest, pixel)) {
            if (firstBadLine_ == 0) firstBadLine_ = source_.lineNumber();
            ++badLines_;
            continue;
        }
        out.push_back(pixel);
        ++added;
    }
    return added > 0;
}

}  // namespace zel::clusterer
