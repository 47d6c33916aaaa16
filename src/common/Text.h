#pragma once
// Small string and number helpers shared by the readers of parameter files, cluster logs and event lists.
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// Splits at any of the characters in `separators`; empty pieces are dropped.
std::vector<std::string_view> splitAny(std::string_view text, std::string_view separators);

// Numbers of a line: maximal runs of digits and ".-+eE", each converted by its longest valid decimal prefix;
// a run with no valid prefix (a lone "e" inside a word) is dropped.
std::vector<double> scanNumbers(std::string_view text);

// The same with the characters that may continue a number besides the digits, and the characters that end the
// whole list when they end a number.
std::vector<double> scanNumbers(std::string_view text, std::string_view numberChars, std::string_view listEnds);

// Longest valid decimal prefix of `text` as a double; false when there is none.
bool parseLeadingDouble(std::string_view text, double& value);

// Whole-token conversion with std::from_chars: false unless every character is used.
bool parseDouble(std::string_view token, double& value);

bool contains(std::string_view text, std::string_view part);
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);

}  // namespace zel
