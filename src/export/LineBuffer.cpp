#include "export/LineBuffer.h"

#include <utility>

#include "common/PendingFile.h"

namespace zel {

void LineBuffer::open(std::string directory, std::string fileName, bool immediate) {
    directory_ = std::move(directory);
    fileName_ = std::move(fileName);
    immediate_ = immediate;
    lines_.clear();
    text_.close();
    text_.clear();
    open_ = immediate_ ? text_.open(path(), false) : true;
}

void LineBuffer::write(std::string_view line) {
    if (!open_) return;
    if (immediate_) {
        text_.write(line);
        return;
    }
    lines_.emplace_back(line);
}

int LineBuffer::flush() {
    if (immediate_) {
        text_.close();
        return kImmediate;
    }
    if (!open_) return kNeverOpened;
    // The whole file at once, under its name only when complete.
    text_.clear();
    for (const std::string& line : lines_) {
        text_.write(line);
        text_.put('\n');
    }
    PendingFile file(path());
    if (!file.write(text_.text()) || !file.commit()) return kCannotOpen;
    return 0;
}

}  // namespace zel
