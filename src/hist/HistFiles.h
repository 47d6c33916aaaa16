#pragma once
// File helpers shared by the histogram classes: numbers written so that they read back unchanged, the numbers of
// one data line read without allocation, whole-file reading, and output files that replace their target only when
// they were written completely.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/ConfigFile.h"
#include "common/NumberText.h"
#include "common/OutputText.h"
#include "common/PendingFile.h"
#include "common/NumberText.h"

namespace zel {

// Readers of one key of an information-file section. Each returns false and leaves `value` unchanged when the
// section is missing, the key is absent or it carries no value of the wanted kind, so absent keys keep defaults.
bool infoNumber(const ConfigSection* section, std::string_view key, double& value);
// The key or else its alternative spelling.
bool infoNumber(const ConfigSection* section, std::string_view key, std::string_view alternative, double& value);
// Nearest integer of the first number.
bool infoInt(const ConfigSection* section, std::string_view key, std::string_view alternative, int& value);
// True when the first number equals 1.
bool infoFlag(const ConfigSection* section, std::string_view key, bool& value);
// All numbers of the key, or nullptr when it has none.
const std::vector<double>* infoNumberList(const ConfigSection* section, std::string_view key);
// The same into any vector of doubles (plain, or bins and edges in zeroed memory).
template <class Values>
bool infoNumbers(const ConfigSection* section, std::string_view key, Values& values) {
    const std::vector<double>* numbers = infoNumberList(section, key);
    if (numbers == nullptr) return false;
    values.assign(numbers->begin(), numbers->end());
    return true;
}
// The first string value.
bool infoText(const ConfigSection* section, std::string_view key, std::string& value);
bool infoTexts(const ConfigSection* section, std::string_view key, std::vector<std::string>& values);


// The text of the data file being made on this thread, emptied: it keeps its memory from the last file, so that
// exporting many histograms neither allocates nor copies as each text grows.
OutputText& histDataText();
// The longest line of a data file, claimed at once.
inline constexpr size_t kHistLineRoom = 4 * kNumberChars;

// The first numbers of a line, at most `capacity`: runs of digits and ".-+eE", each converted by its longest valid
// decimal prefix (a run without one is skipped). Returns how many were stored.
size_t scanLineNumbers(std::string_view line, double* numbers, size_t capacity);

// Calls `onLine` for every line of `text` (without its line end, a trailing '\r' removed).
template <class OnLine>
void forEachLine(std::string_view text, OnLine&& onLine) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        onLine(line);
        start = end + 1;
    }
}

// Result of reading a whole text file.
enum class FileRead { Ok, CannotOpen, CannotRead };
FileRead readTextFile(const std::string& path, std::string& text);

}  // namespace zel
