#include "common/BoundedLine.h"

#include <sys/stat.h>

#include <algorithm>

namespace zel {

size_t readBufferSizeFor(std::FILE* file, size_t largest) {
    struct stat status {};
    size_t size = largest;
    if (file != nullptr && ::fstat(::fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0 &&
        static_cast<unsigned long long>(status.st_size) < largest)
        size = static_cast<size_t>(status.st_size) + 1;
    return std::max<size_t>(size, 64);
}

LineRead readBoundedLine(std::istream& in, std::string& line, size_t maxLength) {
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    if (!in.good() || buffer == nullptr) return LineRead::End;
    for (;;) {
        const int ch = buffer->sbumpc();
        if (ch == std::char_traits<char>::eof()) {
            in.setstate(line.empty() ? std::ios::eofbit | std::ios::failbit : std::ios::eofbit);
            return line.empty() ? LineRead::End : LineRead::Line;
        }
        if (ch == '\n') return LineRead::Line;
        if (line.size() == maxLength) {
            in.setstate(std::ios::failbit);
            return LineRead::TooLong;
        }
        line.push_back(static_cast<char>(ch));
    }
}

}  // namespace zel

namespace zel {

LineRead BoundedLines::next(std::string& line) {
    const LineRead read = readBoundedLine(in_, line, maxLength_);
    if (read != LineRead::End) ++number_;
    return read;
}

std::string BoundedLines::tooLongText(std::string_view name) const {
    return "Line " + std::to_string(number_) + " of " + std::string(name) + " is longer than " +
           std::to_string(maxLength_) + " characters.";
}

}  // namespace zel
