#include "hist/HistFiles.h"

#include <atomic>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define ZEL_GETPID _getpid
#else
#include <fcntl.h>
#include <unistd.h>
#define ZEL_GETPID ::getpid
#endif

#include "common/Text.h"

#if defined(__linux__) && defined(O_TMPFILE)
#define ZEL_UNNAMED_FILES 1
#endif

namespace zel {

namespace {

const ConfigParameter* findKey(const ConfigSection* section, std::string_view key) {
    return section == nullptr ? nullptr : section->find(key);
}

}  // namespace

bool infoNumber(const ConfigSection* section, std::string_view key, double& value) {
    const ConfigParameter* parameter = findKey(section, key);
    if (parameter == nullptr || parameter->numbers.empty()) return false;
    value = parameter->numbers.front();
    return true;
}

bool infoNumber(const ConfigSection* section, std::string_view key, std::string_view alternative, double& value) {
    return infoNumber(section, key, value) || infoNumber(section, alternative, value);
}

bool infoInt(const ConfigSection* section, std::string_view key, std::string_view alternative, int& value) {
    double number = 0;
    if (!infoNumber(section, key, alternative, number)) return false;
    value = static_cast<int>(std::lround(number));
    return true;
}

bool infoFlag(const ConfigSection* section, std::string_view key, bool& value) {
    double number = 0;
    if (!infoNumber(section, key, number)) return false;
    value = number == 1;
    return true;
}

const std::vector<double>* infoNumberList(const ConfigSection* section, std::string_view key) {
    const ConfigParameter* parameter = findKey(section, key);
    return parameter == nullptr || parameter->numbers.empty() ? nullptr : &parameter->numbers;
}

bool infoText(const ConfigSection* section, std::string_view key, std::string& value) {
    const ConfigParameter* parameter = findKey(section, key);
    if (parameter == nullptr || parameter->strings.empty()) return false;
    value = parameter->strings.front();
    return true;
}

bool infoTexts(const ConfigSection* section, std::string_view key, std::vector<std::string>& values) {
    const ConfigParameter* parameter = findKey(section, key);
    if (parameter == nullptr || parameter->strings.empty()) return false;
    values = parameter->strings;
    return true;
}

namespace {

// Significant digits of a number's text: those of its mantissa from the first to the last non-zero one.
int significantDigits(const char* first, const char* last) {
    int seen = 0;     // digits from the first non-zero one on
    int counted = 0;  // up to the last non-zero one
    for (const char* c = first; c != last && *c != 'e'; ++c) {
        if (*c < '0' || *c > '9' || (seen == 0 && *c == '0')) continue;
        ++seen;
        if (*c != '0') counted = seen;
    }
    return counted;
}

}  // namespace

std::string& histDataText() {
    thread_local std::string text;
    text.clear();
    return text;
}

char* writeHistNumber(char* out, double value) {
    // "%g" (the same text, far faster), or the shortest exact form when six digits lose. Whole counts below a
    // million, the usual bin contents, lose nothing; other numbers lose exactly when their shortest exact form
    // has more than six digits. NaN and infinities read "nan" and "inf" either way.
    const bool whole = value > -1e6 && value < 1e6 && value == std::trunc(value);
    if (!whole && std::isfinite(value) && !sixDigitsReadBack(value)) {
        const auto exact = std::to_chars(out, out + kHistNumberChars, value);
        if (exact.ec == std::errc() && significantDigits(out, exact.ptr) > 6) return exact.ptr;
    }
    return writeGeneral6(out, value);
}

size_t scanLineNumbers(std::string_view line, double* numbers, size_t capacity) {
    auto isNumberChar = [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    };
    size_t count = 0;
    size_t i = 0;
    while (i < line.size() && count < capacity) {
        if (!isNumberChar(line[i])) {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < line.size() && isNumberChar(line[i])) ++i;
        double value = 0;
        if (parseLeadingDouble(line.substr(start, i - start), value)) numbers[count++] = value;
    }
    return count;
}

FileRead readTextFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return FileRead::CannotOpen;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return FileRead::CannotRead;
    text = std::move(content).str();
    return FileRead::Ok;
}

namespace {
// Temporary names differ between processes and between the files one process writes, also side by side.
std::string temporarySuffix() {
    static std::atomic<unsigned> count{0};
    return ".tmp" + std::to_string(ZEL_GETPID()) + "_" + std::to_string(count.fetch_add(1));
}
}  // namespace

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {}

PendingFile::~PendingFile() {
#if ZEL_UNNAMED_FILES
    if (unnamed_ >= 0) ::close(unnamed_);  // its content goes with it
#endif
    if (committed_ || unnamed_ >= 0 || temporary_.empty()) return;
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
}

const std::string& PendingFile::temporary() {
    if (temporary_.empty()) temporary_ = target_ + temporarySuffix();
    return temporary_;
}

bool PendingFile::write(std::string_view content) {
#if ZEL_UNNAMED_FILES
    // Unnamed files need the process's descriptor links to be named later; file systems without unnamed files
    // take the temporary name.
    static const bool linksNamed = ::access("/proc/self/fd", X_OK) == 0;
    const std::filesystem::path parent = std::filesystem::path(target_).parent_path();
    const char* directory = parent.empty() ? "." : parent.c_str();
    if (linksNamed) unnamed_ = ::open(directory, O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (unnamed_ >= 0) {
        while (!content.empty()) {
            const ssize_t written = ::write(unnamed_, content.data(), content.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            content.remove_prefix(static_cast<size_t>(written));
        }
        return true;
    }
#endif
    std::ofstream out(temporary(), std::ios::trunc | std::ios::binary);
    if (!out.is_open()) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    return static_cast<bool>(out);
}

bool PendingFile::commit() {
#if ZEL_UNNAMED_FILES
    if (unnamed_ >= 0) {
        committed_ = commitUnnamed();
        ::close(unnamed_);
        unnamed_ = -1;
        return committed_;
    }
#endif
    std::error_code ec;
    std::filesystem::rename(temporary(), target_, ec);
    if (ec) return false;
    committed_ = true;
    return true;
}

bool PendingFile::commitUnnamed() {
#if ZEL_UNNAMED_FILES
    const std::string link = "/proc/self/fd/" + std::to_string(unnamed_);
    if (::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    // An earlier target is replaced in one step: the file is linked under the temporary name (or, where it cannot
    // be linked at all, copied there) and renamed onto the target.
    const bool linked =
        errno == EEXIST && ::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, temporary().c_str(), AT_SYMLINK_FOLLOW) == 0;
    std::error_code ec;
    if (linked || copyUnnamed()) {
        std::filesystem::rename(temporary(), target_, ec);
        if (!ec) return true;
    }
    std::filesystem::remove(temporary(), ec);
#endif
    return false;
}

bool PendingFile::copyUnnamed() {
#if ZEL_UNNAMED_FILES
    std::ofstream out(temporary(), std::ios::trunc | std::ios::binary);
    if (!out.is_open()) return false;
    char buffer[1 << 16];
    off_t at = 0;
    while (true) {
        const ssize_t got = ::pread(unnamed_, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        out.write(buffer, got);
        at += got;
    }
    out.close();
    return static_cast<bool>(out);
#else
    return false;
#endif
}

}  // namespace zel
