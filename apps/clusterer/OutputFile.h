#pragma once
// Buffered text output with fast number formatting, for the event list, cluster list and cluster log.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zel::clusterer {

// Appends `value` with a fixed number of decimals (0 to 9) at `out`; returns the end. Needs 48 free chars.
char* writeFixed(char* out, double value, int decimals);
// Appends `value` rounded to `decimals` decimals without trailing zeros ("12", "9187.5"). Needs 48 free chars.
char* writeCompact(char* out, double value, int decimals);
// Appends a whole number. Needs 24 free chars.
char* writeInteger(char* out, long long value);

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { close(); }

    // Creates (or, with `append`, extends) the file; false when it cannot be opened.
    bool open(const std::string& path, bool append);
    bool isOpen() const { return file_ != nullptr; }
    // Writes the rest of the buffer and closes; false when a write failed at any time.
    bool close();

    void write(std::string_view text) {
        char* out = claim(text.size());
        for (char ch : text) *out++ = ch;
        used_ += text.size();
    }
    // A pointer to at least `size` free chars; finish with commit(end).
    char* claim(size_t size) {
        if (buffer_.size() - used_ < size) flush(size);
        return buffer_.data() + used_;
    }
    void commit(const char* end) { used_ = static_cast<size_t>(end - buffer_.data()); }

private:
    void flush(size_t need);

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace zel::clusterer
