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
#include <unistd.h>
#define ZEL_GETPID ::getpid
#endif

#include "common/Text.h"

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

void appendHistNumber(std::string& out, double value) {
    char buffer[64];
    // "%g" (the same text, far faster), or the shortest exact form when six digits lose. Whole counts below a
    // million, the usual bin contents, lose nothing.
    char* end = writeGeneral6(buffer, value);
    const bool whole = value > -1e6 && value < 1e6 && value == std::trunc(value);
    double back = 0;
    if (whole ||
        (parseLeadingDouble(std::string_view(buffer, static_cast<size_t>(end - buffer)), back) && back == value)) {
        out.append(buffer, end);
        return;
    }
    auto exact = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (exact.ec == std::errc()) out.append(buffer, exact.ptr);
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

PendingFile::PendingFile(std::string target)
    : target_(std::move(target)), suffix_(temporarySuffix()), temporary_(target_ + suffix_) {}

PendingFile::~PendingFile() {
    if (committed_) return;
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
}

bool PendingFile::write(std::string_view content) {
    std::ofstream out(temporary_, std::ios::trunc | std::ios::binary);
    if (!out.is_open()) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    return static_cast<bool>(out);
}

bool PendingFile::commit() {
    std::error_code ec;
    std::filesystem::rename(temporary_, target_, ec);
    if (ec) return false;
    committed_ = true;
    return true;
}

}  // namespace zel
