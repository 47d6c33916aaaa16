#include "engine/ParamFile.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "common/BoundedLine.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "engine/SettingsTable.h"

namespace zel {
namespace {

constexpr int kCodeCannotOpen = -1000;
constexpr int kCodeMissingValue = -1030;
constexpr int kCodeUnknownKey = -1031;

// Words of a line are separated by any of these eight characters.
constexpr std::string_view kWordSeparators = "\t\n\r:; =\"";

// What one line offers to the settings: its words, its numbers and its quoted values.
struct ParamLine {
    std::vector<std::string_view> words;
    std::vector<double> numbers;
    std::vector<std::string> quoted;
};

// Every stretch between one double quote and the next; an unclosed quote runs to the end of the line. Only the
// first value gets the platform's separators, as it is the one text settings take.
std::vector<std::string> quotedValues(std::string_view line) {
    std::vector<std::string> values;
    size_t open = line.find('"');
    while (open != std::string_view::npos) {
        size_t close = line.find('"', open + 1);
        if (close == std::string_view::npos) {
            values.emplace_back(line.substr(open + 1));
            break;
        }
        values.emplace_back(line.substr(open + 1, close - open - 1));
        open = line.find('"', close + 1);
    }
    if (!values.empty()) values.front() = toPlatformSeparators(std::move(values.front()));
    return values;
}

// False when the line carries nothing: empty, a bare line end, a whole-line comment, or no words left.
bool splitParamLine(std::string_view line, ParamLine& parsed) {
    if (line.empty() || line.front() == '\n' || line.front() == '\r') return false;
    if (line.size() > 2 && startsWith(line, "//")) return false;
    if (line.back() == '\r') line.remove_suffix(1);
    // The comment cut ignores quotes: "//" inside a quoted value ends the line too.
    size_t comment = line.find("//");
    if (comment != std::string_view::npos) line = line.substr(0, comment);
    parsed.words = splitAny(line, kWordSeparators);
    if (parsed.words.empty()) return false;
    parsed.numbers = scanNumbers(line);
    parsed.quoted = quotedValues(line);
    return true;
}

// Integer settings keep the number truncated toward zero, held inside the range of int.
int truncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

enum class Assigned { Stored, Refused, Missing };

// Stores the line's value in the row's member. A row that takes one value only refuses any other silently.
Assigned assignSetting(const SettingKey& row, const ParamLine& line, Settings& settings) {
    switch (row.kind) {
        case SettingKind::Text:
            if (line.quoted.empty()) return Assigned::Missing;
            if (!row.onlyValue.empty() && line.quoted.front() != row.onlyValue) return Assigned::Refused;
            settings.*row.text = line.quoted.front();
            break;
        case SettingKind::TextOrList:
            if (line.quoted.empty()) return Assigned::Missing;
            if (line.quoted.size() == 1) {
                settings.*row.text = line.quoted.front();
            } else {
                settings.*row.list = line.quoted;
            }
            break;
        case SettingKind::Int:
            if (line.numbers.size() <= row.numberIndex) return Assigned::Missing;
            settings.*row.integer = truncateToInt(line.numbers[row.numberIndex]);
            break;
        case SettingKind::Double:
            if (line.numbers.size() <= row.numberIndex) return Assigned::Missing;
            settings.*row.real = line.numbers[row.numberIndex];
            break;
        case SettingKind::Switch:
            if (line.words.size() < 2) return Assigned::Missing;
            settings.*row.flag = parseBool(line.words[1]);
            break;
    }
    return Assigned::Stored;
}

}  // namespace

bool parseBool(std::string_view text) {
    return contains(text, "true") || contains(text, "True") || contains(text, "TRUE");
}

int readParamLine(std::string_view text, Settings& settings, const MessageTarget& to) {
    ParamLine line;
    if (!splitParamLine(text, line)) return 0;
    std::string_view key = line.words.front();
    bool recognised = false;
    for (const SettingKey& row : settingKeys()) {
        if (!row.hasName(key)) continue;
        recognised = true;
        Assigned assigned = assignSetting(row, line, settings);
        if (assigned == Assigned::Missing) {
            printErrorCode(to,
                           "Parameter " + std::string(key) +
                               " is missing value in correct format. Check e.g. quotations.",
                           kCodeMissingValue);
            continue;
        }
        if (assigned == Assigned::Stored && row.effect != nullptr) row.effect(settings, to);
    }
    if (recognised) return 0;
    printErrorCode(to, "Non existing parameter name: \"" + std::string(key) + "\"", kCodeUnknownKey);
    return kCodeUnknownKey;
}

int readParamFile(const std::string& fullName, Settings& settings, const MessageTarget& to) {
    if (!fullName.empty()) settings.ParamFileName = fullName;
    std::ifstream file(fullName);
    if (!file.is_open()) {
        printErrorCode(to, "Can not open parameters file in path " + fullName + ".", kCodeCannotOpen);
        raiseCode(kCodeCannotOpen);
    }
    int result = 0;
    std::string text;
    BoundedLines lines(file, kMaxSettingsLineLength);
    LineRead read = LineRead::End;
    while ((read = lines.next(text)) == LineRead::Line) result += readParamLine(text, settings, to);
    if (read == LineRead::TooLong) {
        // No parameter line is that long: the file is no parameter file, and nothing after the line is taken.
        printErrorCode(to, lines.tooLongText(fullName) + " The parameters file is read no further.", kCodeCannotOpen);
        raiseCode(kCodeCannotOpen);
    }
    file.close();
    if (settings.DoAbortAfterParamRead) {
        printMsg(to, "Abort after reading of param file.");
        std::exit(0);
    }
    return result;
}

}  // namespace zel
