#include "common/Paths.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace zel {

std::string currentDirPrefix() { return std::string(".") + kSeparator; }

std::string toPlatformSeparators(std::string path) {
    std::replace(path.begin(), path.end(), kForeignSeparator, kSeparator);
    return path;
}

std::string libraryDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryDirectory), &info) == 0 || info.dli_fname == nullptr) return {};
    std::error_code ec;
    std::filesystem::path file = std::filesystem::canonical(info.dli_fname, ec);
    if (ec) file = info.dli_fname;
    std::string dir = file.parent_path().string();
    if (dir.empty()) return currentDirPrefix();
    return dir + kSeparator;
}

std::string fileNameFromTitle(std::string title) {
    for (char& c : title)
        if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) c = '_';
    return title;
}

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool makeDirectories(const std::string& path) {
    if (path.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return isDirectory(path);
}

}  // namespace zel
