#include "InputKind.h"

#include <filesystem>
#include <string_view>

#include "LineSource.h"
#include "TextScan.h"
#include "common/Text.h"

namespace zel::clusterer {
namespace {

std::string extensionOf(const std::string& path) { return std::filesystem::path(path).extension().string(); }

}  // namespace

InputKind detectInputKind(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code code;
    if (!fs::exists(path, code)) return InputKind::Missing;
    if (fs::is_directory(path, code)) return InputKind::FrameDirectory;
    LineSource in;
    if (!in.open(path, 1 << 16)) return InputKind::Unreadable;

    const std::string extension = extensionOf(path);
    for (std::string_view unsupported : {".t3p", ".t3r", ".bmf", ".plog"}) {
        if (extension == unsupported) return InputKind::Unsupported;
    }
    if (fs::file_size(path, code) == 0) return InputKind::Empty;
    if (extension == ".t3pa") return InputKind::T3pa;
    if (extension == ".clog") return InputKind::Clog;
    if (extension == ".pmf") return InputKind::FrameMatrix;

    // A first line over the line limit is no input of any kind.
    std::string_view line;
    while (in.nextLine(line)) {
        std::string_view rest = line;
        skipBlanks(rest);
        if (rest.empty()) continue;
        if (startsWith(rest, "Frame")) return InputKind::Clog;
        if (contains(rest, "Matrix Index")) return InputKind::T3pa;
        double value = 0.0;
        while (nextNumber(rest, value)) {
        }
        skipBlanks(rest);
        return rest.empty() ? InputKind::FrameMatrix : InputKind::Unknown;
    }
    return in.tooLong() ? InputKind::LineTooLong : InputKind::Unknown;
}

const char* inputKindName(InputKind kind) {
    switch (kind) {
        case InputKind::T3pa: return "Timepix3 pixel data";
        case InputKind::Clog: return "cluster log";
        case InputKind::FrameMatrix: return "frame matrices";
        case InputKind::FrameDirectory: return "directory of frame files";
        case InputKind::Unsupported: return "unsupported raw data";
        case InputKind::Missing: return "missing";
        case InputKind::Empty: return "empty";
        case InputKind::Unreadable: return "unreadable";
        case InputKind::LineTooLong: return "line too long";
        case InputKind::Unknown: break;
    }
    return "unknown";
}

}  // namespace zel::clusterer
