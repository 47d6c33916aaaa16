#pragma once
// The norm file beside a network model ("weights.txt"): its first line of at least two characters holds one norm
// per input feature, by which the feature is divided before it enters the network.
#include <string>
#include <vector>

namespace zel {

inline constexpr std::string_view kNormFileName = "weights.txt";

enum class NormFileResult { Read, NotOpened, NotRead, ZeroNorm, LineTooLong };

// Reads the norms of `path`; a line with other than `expected` numbers is NotRead, a norm of 0 is ZeroNorm, a line
// longer than kMaxSettingsLineLength LineTooLong. `lineNumber`, when given, gets the number of the line read last.
NormFileResult readNorms(const std::string& path, size_t expected, std::vector<double>& norms,
                         size_t* lineNumber = nullptr);

}  // namespace zel
