#include "input/ElistRecognition.h"

#include "cluster/VariableNames.h"
#include "common/Text.h"
#include "common/BoundedLine.h"
#include "input/Elist.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace zel {
namespace {

constexpr std::array<std::string_view, 5> kClogMarkers{".clog", "ClusterLog", "clog", "Clog", "cluster_log"};
constexpr std::array<std::string_view, 8> kElistMarkers{"Elist",     "elist",  "EList",   "eventlist",
                                                        "EventList", ".elist", ".elist2", ".korelist"};
constexpr std::string_view kSeparators = "\t :;|\r\n";
constexpr size_t kSimpleListMinValues = 11;
constexpr size_t kLinesOfFullList = 5;

template <size_t N>
bool hasMarker(const std::string& name, const std::array<std::string_view, N>& markers) {
    return std::any_of(markers.begin(), markers.end(), [&](std::string_view m) { return contains(name, m); });
}

// One line taken apart as words and as the words that are whole numbers.
struct LineWords {
    std::vector<std::string_view> words;
    size_t numbers = 0;
};

LineWords takeApart(std::string_view line) {
    LineWords result;
    result.words = splitAny(line, kSeparators);
    double value = 0;
    for (std::string_view word : result.words) result.numbers += parseDouble(word, value) ? 1 : 0;
    return result;
}

bool isKnownName(std::string_view word, const std::vector<std::string>& knownNames) {
    Var slot{};
    if (findVariable(word, slot)) return true;
    for (const auto& legacy : kLegacyNames) {
        if (word == legacy.first) return true;
    }
    return std::find(knownNames.begin(), knownNames.end(), word) != knownNames.end();
}

}  // namespace

int recogniseElist(const std::string& path, const std::string& name, const std::vector<std::string>& knownNames,
                   ElistKind& kind, const MessageTarget& to) {
    kind = ElistKind{};
    if (hasMarker(name, kClogMarkers) || !hasMarker(name, kElistMarkers)) return 0;

    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_directory(path + name, ec)) in.open(path + name, std::ios::binary);
    if (!in.is_open()) {
        printErrorCode(to, "Can not open input file: " + name, kElistCanNotOpen);
        return kElistCanNotOpen;
    }
    std::array<std::string, kLinesOfFullList> text;
    size_t lineCount = 0;
    while (lineCount < kLinesOfFullList) {
        const LineRead read = readBoundedLine(in, text[lineCount], Elist::kMaxHeaderLineLength);
        if (read == LineRead::End) break;
        if (read == LineRead::TooLong) {
            failWith(to,
                     "Corrupted elist file. Line " + std::to_string(lineCount + 1) + " of " + name +
                         " is longer than " + std::to_string(Elist::kMaxHeaderLineLength) + " characters.",
                     kElistCorrupted);
        }
        ++lineCount;
    }
    const LineWords names = takeApart(text[0]);
    const LineWords units = takeApart(text[1]);
    const LineWords firstRow = takeApart(text[2]);

    if (names.numbers >= kSimpleListMinValues && names.numbers == names.words.size()) {
        failWith(to,
                 "Input data recognized as ElistSimple. It can not be processed because the names of variables are "
                 "missing.",
                 kElistSimple);
    }
    bool anyKnown = std::any_of(names.words.begin(), names.words.end(),
                                [&](std::string_view word) { return isKnownName(word, knownNames); });
    if (!anyKnown) return 0;
    if (lineCount < kLinesOfFullList &&
        (names.words.size() != units.words.size() || names.words.size() != firstRow.numbers || firstRow.numbers == 0)) {
        failWith(to, "Corrupted elist file.", kElistCorrupted);
    }
    kind.isElist = true;
    kind.unitsSeconds = std::find(units.words.begin(), units.words.end(), "s") != units.words.end();
    kind.hasPIDClass = std::find(names.words.begin(), names.words.end(), "PIDClass") != names.words.end();
    kind.hasFilterPass = std::find(names.words.begin(), names.words.end(), "FilterPass") != names.words.end();
    return 0;
}

}  // namespace zel
