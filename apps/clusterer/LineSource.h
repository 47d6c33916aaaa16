#pragma once
// Reads a text file line by line through one large reused buffer: no allocation per line.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zel::clusterer {

class LineSource {
public:
    LineSource() = default;
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;
    ~LineSource() { close(); }

    bool open(const std::string& path, size_t blockSize = 1 << 20);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    // The next line without its line end; the view stays valid until the next call. False at the end of the file.
    bool nextLine(std::string_view& line);

    long long lineNumber() const { return lineNumber_; }
    // Bytes consumed so far, for progress reports.
    long long bytesRead() const { return bytesRead_; }

private:
    bool refill();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool atEnd_ = false;
    long long lineNumber_ = 0;
    long long bytesRead_ = 0;
};

}  // namespace zel::clusterer
