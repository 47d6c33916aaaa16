#pragma once
// Line reading with a limit on the length of a line, so that a file of one huge line costs no more memory than the
// limit. The recognisers of the inputs and the clusterer read their text this way.
#include <cstddef>
#include <istream>
#include <string>

namespace zel {

// The longest line of a cluster log or of any text input of the clusterer: far beyond a frame line of 65536
// numbers or a cluster covering a whole 256 x 256 matrix.
inline constexpr size_t kMaxInputLineLength = size_t{16} << 20;

enum class LineRead { Line, End, TooLong };

// As std::getline (the line end is not kept), but a line longer than `maxLength` stops the reading: TooLong, with
// the stream failed and `line` holding its first `maxLength` characters.
LineRead readBoundedLine(std::istream& in, std::string& line, size_t maxLength);

}  // namespace zel
