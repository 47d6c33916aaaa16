#include "common/OutputText.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zel {

OutputText::OutputText(size_t bufferSize) : bufferSize_(bufferSize) {}

OutputText::OutputText(OutputText&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      buffer_(std::move(other.buffer_)),
      bufferSize_(other.bufferSize_),
      used_(std::exchange(other.used_, 0)),
      failed_(other.failed_) {}

OutputText& OutputText::operator=(OutputText&& other) noexcept {
    if (this == &other) return *this;
    close();
    file_ = std::exchange(other.file_, nullptr);
    buffer_ = std::move(other.buffer_);
    bufferSize_ = other.bufferSize_;
    used_ = std::exchange(other.used_, 0);
    failed_ = other.failed_;
    return *this;
}

bool OutputText::open(const std::string& path, bool append) {
    close();
    file_ = std::fopen(path.c_str(), append ? "ab" : "wb");
    if (buffer_.size() < bufferSize_) buffer_.resize(bufferSize_);
    used_ = 0;
    failed_ = false;
    return file_ != nullptr;
}

void OutputText::makeRoom(size_t size) {
    if (file_ != nullptr) {
        if (used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
        used_ = 0;
        if (buffer_.size() < size) buffer_.resize(size);
        return;
    }
    buffer_.resize(std::max({used_ + size, 2 * buffer_.size(), bufferSize_}));
}

void OutputText::write(std::string_view text) {
    char* out = claim(text.size());
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    used_ += text.size();
}

bool OutputText::close() {
    if (file_ == nullptr) return !failed_;
    if (used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
    used_ = 0;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

}  // namespace zel
