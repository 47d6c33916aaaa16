#pragma once
// The lines of one output file. Buffered, the lines are kept in memory (the latest ones may still be amended) and
// written at flush, each followed by a line end, as a file that takes its name only when everything was written,
// so a failure never leaves a half-written file. Immediate, the file is opened at once and each line is written as
// it comes, without an added line end.
#include <string>
#include <string_view>
#include <vector>

#include "common/OutputText.h"

namespace zel {

class LineBuffer {
public:
    // Results of flush.
    static constexpr int kImmediate = -1;
    static constexpr int kNeverOpened = -2;
    static constexpr int kCannotOpen = -3;

    // Prepares the file directory + fileName; in immediate mode the file is opened (truncated) now.
    void open(std::string directory, std::string fileName, bool immediate);
    void write(std::string_view line);
    // Writes the kept lines: 0, kImmediate, kNeverOpened or kCannotOpen.
    int flush();

    bool isOpen() const { return open_; }
    bool isImmediate() const { return immediate_; }
    std::string path() const { return directory_ + fileName_; }
    // The kept lines (buffered mode), for amendment of the latest ones before flush.
    std::vector<std::string>& lines() { return lines_; }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    bool open_ = false;
    bool immediate_ = false;
    std::string fileName_;
    std::string directory_;
    OutputText text_;
    std::vector<std::string> lines_;
};

}  // namespace zel
