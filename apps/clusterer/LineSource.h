#pragma once
// Reads a text file line by line through one large reused buffer: no allocation per line.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/BoundedLine.h"

namespace zel::clusterer {

class LineSource {
public:
    // The longest line any input of the clusterer may hold; it bounds the buffer, which grows only as far as a
    // line needs.
    static constexpr size_t kMaxLineLength = kMaxInputLineLength;

    LineSource() = default;
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;
    ~LineSource() { close(); }

    bool open(const std::string& path, size_t blockSize = 1 << 20, size_t maxLineLength = kMaxLineLength);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    // The next line without its line end; the view stays valid until the next call. False at the end of the file,
    // and at a line longer than the limit (then tooLong() is true, lineNumber() is that line's number and
    // reading stops).
    bool nextLine(std::string_view& line);

    bool tooLong() const { return tooLong_; }
    // "line N of PATH is longer than ... characters" for the line that stopped the reading.
    std::string tooLongText() const;

    long long lineNumber() const { return lineNumber_; }
    // Bytes consumed so far, for progress reports.
    long long bytesRead() const { return bytesRead_; }

private:
    bool refill();

    std::FILE* file_ = nullptr;
    std::string path_;
    std::unique_ptr<char[]> buffer_;
    size_t capacity_ = 0;
    size_t maxLineLength_ = kMaxLineLength;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool atEnd_ = false;
    bool tooLong_ = false;
    long long lineNumber_ = 0;
    long long bytesRead_ = 0;
};

}  // namespace zel::clusterer
