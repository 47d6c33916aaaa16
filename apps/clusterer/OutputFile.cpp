#include "OutputFile.h"

#include <charconv>
#include <cmath>

namespace zel::clusterer {
namespace {

constexpr long long kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

char* writeDigits(char* out, unsigned long long value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) *out++ = digits[--n];
    return out;
}

}  // namespace

char* writeInteger(char* out, long long value) {
    if (value < 0) {
        *out++ = '-';
        return writeDigits(out, 0ULL - static_cast<unsigned long long>(value));
    }
    return writeDigits(out, static_cast<unsigned long long>(value));
}

char* writeFixed(char* out, double value, int decimals) {
    const long long scale = kPowers[decimals];
    // Integer arithmetic while the scaled value fits comfortably; the library formatter otherwise.
    if (std::isfinite(value) && std::fabs(value) < 9.0e17 / static_cast<double>(scale)) {
        long long scaled = std::llround(value * static_cast<double>(scale));
        if (scaled < 0) *out++ = '-';
        unsigned long long magnitude =
            scaled < 0 ? 0ULL - static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
        out = writeDigits(out, magnitude / static_cast<unsigned long long>(scale));
        if (decimals > 0) {
            *out++ = '.';
            unsigned long long fraction = magnitude % static_cast<unsigned long long>(scale);
            for (int d = decimals - 1; d >= 0; --d) {
                out[d] = static_cast<char>('0' + fraction % 10);
                fraction /= 10;
            }
            out += decimals;
        }
        return out;
    }
    return std::to_chars(out, out + 47, value, std::chars_format::fixed, decimals).ptr;
}

char* writeShortest(char* out, double value) { return std::to_chars(out, out + 31, value).ptr; }

bool OutputFile::open(const std::string& path, bool append) {
    close();
    file_ = std::fopen(path.c_str(), append ? "ab" : "wb");
    buffer_.resize(1 << 20);
    used_ = 0;
    failed_ = false;
    return file_ != nullptr;
}

void OutputFile::flush(size_t need) {
    if (file_ != nullptr && used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
    used_ = 0;
    if (buffer_.size() < need) buffer_.resize(need);
}

bool OutputFile::close() {
    if (file_ == nullptr) return !failed_;
    flush(0);
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

}  // namespace zel::clusterer
