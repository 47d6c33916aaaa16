#pragma once
// The one text buffer of every output file (results lists, extended lists, histogram files, the clusterer's lists
// and logs). Text is claimed and committed in place, numbers written into it by the number writers. Opened on a
// file, the text streams to the file whenever the buffer fills, for lists of any length; never opened, the buffer
// keeps the whole text, to be handed to a PendingFile at once so that the file appears only complete.
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class OutputText {
public:
    // `bufferSize`: how much text a file takes at a time.
    explicit OutputText(size_t bufferSize = size_t{1} << 16);
    ~OutputText() { close(); }
    OutputText(const OutputText&) = delete;
    OutputText& operator=(const OutputText&) = delete;
    OutputText(OutputText&& other) noexcept;
    OutputText& operator=(OutputText&& other) noexcept;

    // Creates (or, with `append`, extends) the file the text streams to; false when it cannot be opened.
    bool open(const std::string& path, bool append);
    bool isOpen() const { return file_ != nullptr; }
    // True once a write to the file failed.
    bool failed() const { return failed_; }
    // Writes the rest of the text and closes the file; false when a write failed at any time.
    bool close();

    // A pointer to at least `size` free characters; finish with commit(end).
    char* claim(size_t size) {
        if (buffer_.size() - used_ < size) makeRoom(size);
        return buffer_.data() + used_;
    }
    void commit(const char* end) { used_ = static_cast<size_t>(end - buffer_.data()); }
    void write(std::string_view text);
    void put(char c) {
        *claim(1) = c;
        ++used_;
    }

    // The text kept so far (all of it when no file is open), and its removal.
    std::string_view text() const { return {buffer_.data(), used_}; }
    void clear() { used_ = 0; }
    // Makes room for a kept text of `size` characters at once.
    void reserve(size_t size) {
        if (buffer_.size() < size) buffer_.resize(size);
    }

private:
    // Streams the text to the file, or grows the buffer when it keeps the whole text, so that `size` more fit.
    void makeRoom(size_t size);

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    size_t bufferSize_;
    size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace zel
