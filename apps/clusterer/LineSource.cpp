#include "LineSource.h"

#include <algorithm>
#include <cstring>

namespace zel::clusterer {

bool LineSource::open(const std::string& path, size_t blockSize, size_t maxLineLength) {
    close();
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) return false;
    path_ = path;
    maxLineLength_ = std::max<size_t>(maxLineLength, 1);
    // Not zeroed, and no larger than the file: a short file costs little.
    capacity_ = std::clamp<size_t>(readBufferSizeFor(file_, blockSize), 64, maxLineLength_ + 1);
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    begin_ = end_ = 0;
    atEnd_ = false;
    tooLong_ = false;
    lineNumber_ = 0;
    bytesRead_ = 0;
    return true;
}

void LineSource::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

std::string LineSource::tooLongText() const {
    return "line " + std::to_string(lineNumber_) + " of " + path_ + " is longer than " +
           std::to_string(maxLineLength_) + " characters";
}

// Moves the unread rest to the front and fills the buffer behind it; doubles the buffer (up to one line of the
// longest length and its line end) when a single line does not fit. False when nothing more could be read.
bool LineSource::refill() {
    if (atEnd_ || file_ == nullptr) return false;
    size_t rest = end_ - begin_;
    if (begin_ > 0) {
        if (rest > 0) std::memmove(buffer_.get(), buffer_.get() + begin_, rest);
        begin_ = 0;
        end_ = rest;
    }
    if (end_ == capacity_) {
        const size_t grown = std::min(capacity_ * 2, maxLineLength_ + 1);
        auto larger = std::make_unique_for_overwrite<char[]>(grown);
        std::memcpy(larger.get(), buffer_.get(), end_);
        buffer_ = std::move(larger);
        capacity_ = grown;
    }
    size_t got = std::fread(buffer_.get() + end_, 1, capacity_ - end_, file_);
    if (got == 0) {
        atEnd_ = true;
        return false;
    }
    end_ += got;
    return true;
}

bool LineSource::nextLine(std::string_view& line) {
    size_t searchFrom = begin_;
    while (true) {
        const char* start = buffer_.get() + searchFrom;
        const void* newline = end_ > searchFrom ? std::memchr(start, '\n', end_ - searchFrom) : nullptr;
        if (newline != nullptr) {
            size_t stop = static_cast<size_t>(static_cast<const char*>(newline) - buffer_.get());
            size_t length = stop - begin_;
            line = std::string_view(buffer_.get() + begin_, length);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            bytesRead_ += static_cast<long long>(length + 1);
            begin_ = stop + 1;
            ++lineNumber_;
            return true;
        }
        size_t scanned = end_ - begin_;
        if (scanned > maxLineLength_) {
            // Nothing after it can be trusted to start a line: the reading stops here.
            tooLong_ = true;
            atEnd_ = true;
            ++lineNumber_;
            begin_ = end_ = 0;
            return false;
        }
        if (!refill()) break;
        searchFrom = begin_ + scanned;
    }
    // The last line of a file without a final line end.
    if (end_ - begin_ > maxLineLength_) {
        tooLong_ = true;
        ++lineNumber_;
        begin_ = end_ = 0;
        return false;
    }
    if (end_ > begin_) {
        line = std::string_view(buffer_.get() + begin_, end_ - begin_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        bytesRead_ += static_cast<long long>(end_ - begin_);
        begin_ = end_;
        ++lineNumber_;
        return true;
    }
    return false;
}

}  // namespace zel::clusterer
