#pragma once
// File helpers shared by the histogram classes: numbers written so that they read back unchanged, the numbers of
// one data line read without allocation, whole-file reading, and output files that replace their target only when
// they were written completely.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/ConfigFile.h"

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

// Writes `value` at `out`, which has room for kHistNumberChars, in the stream's default notation (six significant
// digits) when that text reads back to the same double, and otherwise in the shortest text that does, so exported
// contents and edges survive a reload. Returns the end of the text.
inline constexpr size_t kHistNumberChars = 32;
char* writeHistNumber(char* out, double value);

// The text of the data file being made on this thread, emptied: it keeps its memory from the last file, so that
// exporting many histograms neither allocates nor copies as each text grows.
std::string& histDataText();

// Lines of a data file gathered in a small block and added to the text a block at a time, not line by line.
class LineBlock {
public:
    static constexpr size_t kLineRoom = 4 * kHistNumberChars;  // the longest line written at once

    explicit LineBlock(std::string& text) : text_(text) {}
    LineBlock(const LineBlock&) = delete;
    LineBlock& operator=(const LineBlock&) = delete;
    ~LineBlock() { flush(); }

    // Where the next line goes, with room for kLineRoom characters; done() takes the end of what was written.
    char* line() {
        if (used_ > sizeof block_ - kLineRoom) flush();
        return block_ + used_;
    }
    void done(const char* end) { used_ = static_cast<size_t>(end - block_); }
    // Adds the gathered lines to the text.
    void flush() {
        text_.append(block_, used_);
        used_ = 0;
    }

private:
    std::string& text_;
    char block_[16384];
    size_t used_ = 0;
};

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

// A file that appears under its target's name only complete, by `commit`; a file that is never committed leaves
// the previous target (or none) in place. On Linux the content goes into an unnamed file of the target's
// directory, which commit links under the target's name (through a temporary name and a rename when a target
// exists): creating it does not hold the directory, so that the threads of an export create their files side by
// side, and a file never committed leaves nothing behind. Elsewhere the content is written under a temporary
// name beside the target and renamed onto it.
class PendingFile {
public:
    explicit PendingFile(std::string target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& target() const { return target_; }

    // Writes `content` as the whole file; false when it cannot be written.
    bool write(std::string_view content);
    // Puts the file in the target's place; false when that fails (nothing is left behind then).
    bool commit();

private:
    bool commitUnnamed();
    // Writes the unnamed file's content under the temporary name.
    bool copyUnnamed();
    // The temporary name beside the target, made when first needed: most files never take it.
    const std::string& temporary();

    std::string target_;
    std::string temporary_;  // empty until made
    int unnamed_ = -1;       // descriptor of the unnamed file, or -1
    bool committed_ = false;
};

}  // namespace zel
