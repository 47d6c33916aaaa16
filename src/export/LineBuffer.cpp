#include "export/LineBuffer.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <utility>

namespace zel {

void LineBuffer::open(std::string directory, std::string fileName, bool immediate) {
    directory_ = std::move(directory);
    fileName_ = std::move(fileName);
    immediate_ = immediate;
    lines_.clear();
    if (stream_.is_open()) stream_.close();
    if (immediate_) {
        stream_.open(path(), std::ios::trunc);
        open_ = stream_.is_open();
    } else {
        open_ = true;
    }
}

void LineBuffer::write(std::string_view line) {
    if (!open_) return;
    if (immediate_) {
        stream_ << line;
        return;
    }
    lines_.emplace_back(line);
}

int LineBuffer::flush() {
    if (immediate_) {
        if (stream_.is_open()) stream_.flush();
        return kImmediate;
    }
    if (!open_) return kNeverOpened;

    const std::string target = path();
    const std::string temporary = target + ".tmp" + std::to_string(::getpid());
    std::error_code ec;
    {
        std::ofstream out(temporary, std::ios::trunc | std::ios::binary);
        if (!out.is_open()) return kCannotOpen;
        for (const std::string& line : lines_) out << line << '\n';
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, ec);
            return kCannotOpen;
        }
    }
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return kCannotOpen;
    }
    return 0;
}

}  // namespace zel
