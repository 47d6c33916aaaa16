#pragma once
// Which reader an input needs, from its extension and, where the extension does not tell, its first line.
#include <string>

namespace zel::clusterer {

enum class InputKind {
    Missing, Unreadable, Empty, Unknown, LineTooLong, Unsupported, T3pa, Clog, FrameMatrix, FrameDirectory
};

// ".t3pa" pixel data, ".clog" cluster logs, ".pmf" frames, a directory of frame files; other names by content:
// a first line with "Frame" is a cluster log, a first line of numbers a frame matrix, a header naming the
// "Matrix Index" column Timepix3 pixel data. The other raw kinds (".t3p", ".t3r", ".bmf", ".plog") are Unsupported.
// LineTooLong: the content decides and its first line is longer than the line limit of the readers.
InputKind detectInputKind(const std::string& path);

// A short name of the kind for messages.
const char* inputKindName(InputKind kind);

}  // namespace zel::clusterer
