#include "common/Text.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace zel {

std::vector<std::string_view> splitAny(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

bool parseLeadingDouble(std::string_view text, double& value) {
    // from_chars takes the longest valid prefix but refuses a leading '+'.
    size_t skip = (!text.empty() && text[0] == '+') ? 1 : 0;
    if (skip == 1 && text.size() > 1 && (text[1] == '-' || text[1] == '+')) return false;
    const char* first = text.data() + skip;
    auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
    return ec == std::errc() && end != first;
}

bool parseDouble(std::string_view token, double& value) {
    size_t skip = (!token.empty() && token[0] == '+') ? 1 : 0;
    const char* first = token.data() + skip;
    const char* last = token.data() + token.size();
    auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && first != last;
}

std::vector<double> scanNumbers(std::string_view text, std::string_view numberChars, std::string_view listEnds) {
    auto isNumberChar = [&](char c) { return (c >= '0' && c <= '9') || numberChars.find(c) != std::string_view::npos; };
    std::vector<double> numbers;
    size_t i = 0;
    while (i < text.size()) {
        if (!isNumberChar(text[i])) {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < text.size() && isNumberChar(text[i])) ++i;
        double value = 0;
        if (parseLeadingDouble(text.substr(start, i - start), value)) numbers.push_back(value);
        if (i < text.size() && listEnds.find(text[i]) != std::string_view::npos) break;
    }
    return numbers;
}

std::vector<double> scanNumbers(std::string_view text) { return scanNumbers(text, ".-+eE", {}); }

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }
bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace zel
