#pragma once
// Line reading with a limit on the length of a line, so that a file of one huge line costs no more memory than the
// limit. Every reader of text files reads its lines this way.
#include <cstddef>
#include <cstdio>
#include <istream>
#include <string>
#include <string_view>

namespace zel {

// The longest line of a cluster log or of any text input of the clusterer: far beyond a frame line of 65536
// numbers or a cluster covering a whole 256 x 256 matrix.
inline constexpr size_t kMaxInputLineLength = size_t{16} << 20;

// The longest line of a file of settings: parameter files, configuration files, norm files, the clusterer's
// statistics file.
inline constexpr size_t kMaxSettingsLineLength = size_t{1} << 20;

enum class LineRead { Line, End, TooLong };

// The first size of a read buffer for `file`: its size + 1 when it is a regular file shorter than `largest`,
// otherwise `largest`; never below 64. A short file costs a buffer of its own size, not of the largest block.
size_t readBufferSizeFor(std::FILE* file, size_t largest);

// As std::getline (the line end is not kept), but a line longer than `maxLength` stops the reading: TooLong, with
// the stream failed and `line` holding its first `maxLength` characters.
LineRead readBoundedLine(std::istream& in, std::string& line, size_t maxLength);

// The lines of one text, counted, none longer than a limit.
class BoundedLines {
public:
    BoundedLines(std::istream& in, size_t maxLength) : in_(in), maxLength_(maxLength) {}

    // The next line into `line`; after TooLong nothing more is read.
    LineRead next(std::string& line);
    // Number of the line read last, counted from 1.
    size_t number() const { return number_; }
    size_t maxLength() const { return maxLength_; }
    // "Line N of NAME is longer than L characters."
    std::string tooLongText(std::string_view name) const;

private:
    std::istream& in_;
    size_t maxLength_;
    size_t number_ = 0;
};

}  // namespace zel
