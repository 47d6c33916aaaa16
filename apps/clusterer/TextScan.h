#pragma once
// Allocation-free scanning of numbers from text, shared by the readers of the clusterer.
#include <charconv>
#include <cstdint>
#include <string_view>

namespace zel::clusterer {

inline bool isBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\f' || ch == '\v'; }

inline void skipBlanks(std::string_view& text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    text.remove_prefix(i);
}

// Skips blanks and commas, then reads one number; false (text unchanged past the separators) when none follows.
inline bool nextNumber(std::string_view& text, double& value) {
    size_t i = 0;
    while (i < text.size() && (isBlank(text[i]) || text[i] == ',')) ++i;
    text.remove_prefix(i);
    if (text.empty()) return false;
    const char* first = text.data();
    if (*first == '+') ++first;  // from_chars refuses a leading plus
    auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (ec != std::errc()) return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return true;
}

// Unsigned decimal integer at the front of `text` (no sign, no blanks); false when no digit is there.
inline bool nextUnsigned(std::string_view& text, uint64_t& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc()) return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return true;
}

}  // namespace zel::clusterer
