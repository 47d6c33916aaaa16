#include "EventListWriter.h"
#include "common/NumberText.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "TextScan.h"
#include "cluster/VariableNames.h"

namespace zel::clusterer {
namespace {

static_assert(kColumnCount == static_cast<int>(kDefaultVariables.size()));
static_assert(kLengthCorr == kDefaultLengthCorrIndex2D && kLength3DCorr == kDefaultLengthCorrIndex3D);

// Decimals written per column; -1 for whole numbers.
constexpr int kDecimals[kColumnCount] = {
    -1, -1, 4, 4, 4, 4, -1,  // DetectorID EventID X Y E T Flags
    -1, 4, -1, 6, 4, 6,      // Size Height BorderPixCount Roundness AngleAzim Linearity
    4, 4, -1, 6, 6,          // LengthProj WidthProj IsSensEdge StdAlong StdPerp
    6, 6, 6, 4, 4,           // Thin Thick CurlyThin EpixMean EpixStd
    4, 4, 4, 6, 4,           // LengthCorr Length3DCorr AngleElev LET Diameter
};

// The last data line of a file, read from its tail.
std::string lastDataLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    std::streamoff start = size > 65536 ? size - 65536 : 0;
    in.seekg(start);
    std::string tail(static_cast<size_t>(size - start), '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    size_t end = tail.size();
    while (end > 0) {
        size_t begin = tail.rfind('\n', end - 1);
        begin = begin == std::string::npos ? 0 : begin + 1;
        std::string_view line(tail.data() + begin, end - begin);
        skipBlanks(line);
        if (!line.empty() && line.front() != '#') return std::string(line);
        if (begin == 0) break;
        end = begin - 1;
    }
    return {};
}

}  // namespace

std::string namesLine(int lengthCorrFormula) {
    int choice = lengthCorrFormula >= 1 && lengthCorrFormula <= 3 ? lengthCorrFormula - 1 : 0;
    std::string line;
    for (size_t i = 0; i < kDefaultVariables.size(); ++i) {
        std::string_view name = kDefaultVariables[i].name;
        if (static_cast<int>(i) == kDefaultLengthCorrIndex2D) name = kLengthCorrNames[static_cast<size_t>(choice)].name2D;
        if (static_cast<int>(i) == kDefaultLengthCorrIndex3D) name = kLengthCorrNames[static_cast<size_t>(choice)].name3D;
        if (i > 0) line += '\t';
        line += name;
    }
    return line;
}

std::string unitsLine() {
    std::string line;
    for (size_t i = 0; i < kDefaultVariables.size(); ++i) {
        if (i > 0) line += '\t';
        line += kDefaultVariables[i].unit;
    }
    return line;
}

bool EventListWriter::open(const std::string& path, int lengthCorrFormula, bool append, std::string& error) {
    const std::string names = namesLine(lengthCorrFormula);
    std::error_code code;
    bool extend = append && std::filesystem::is_regular_file(path, code) && std::filesystem::file_size(path, code) > 0;
    lastEventId_ = -1;
    if (extend) {
        // Only as much of the first line as the names line of this run needs: a list of another layout may begin
        // with a line of any length.
        std::ifstream in(path, std::ios::binary);
        std::string header(names.size() + 2, '\0');
        in.read(header.data(), static_cast<std::streamsize>(header.size()));
        header.resize(static_cast<size_t>(in.gcount()));
        header.resize(std::min(header.find('\n'), header.size()));
        if (!header.empty() && header.back() == '\r') header.pop_back();
        if (header != names) {
            error = "Can not append to " + path + ": its names line differs from the one of this run.";
            return false;
        }
        std::string last = lastDataLine(path);
        std::string_view rest = last;
        double id = 0.0;
        // The second column is EventID; a list holding only its two header lines has none.
        if (last != names && nextNumber(rest, id) && nextNumber(rest, id)) {
            // Event IDs count clusters: one that no count can reach is a damaged list, and its conversion would
            // be undefined.
            if (!(id >= 0.0 && id < 9.0e15)) {
                error = "Can not append to " + path + ": its last EventID is no count of events.";
                return false;
            }
            lastEventId_ = std::llround(id);
        }
    }
    if (!file_.open(path, extend)) {
        error = "Can not open output file: " + path;
        return false;
    }
    if (!extend) {
        file_.write(names);
        file_.write("\n");
        file_.write(unitsLine());
        file_.write("\n");
    }
    return true;
}

void EventListWriter::writeRow(const FeatureRow& row) {
    char* out = file_.claim(kColumnCount * kFixedChars + 2);
    for (int i = 0; i < kColumnCount; ++i) {
        if (i > 0) *out++ = '\t';
        double value = row[static_cast<size_t>(i)];
        out = kDecimals[i] < 0 ? writeInteger(out, static_cast<long long>(value + (value < 0 ? -0.5 : 0.5)))
                               : writeFixed(out, value, kDecimals[i]);
    }
    *out++ = '\n';
    file_.commit(out);
}

}  // namespace zel::clusterer
