#pragma once
// Platform file-system helpers: the directory separator, the library's own directory, file checks.
#include <string>
#include <string_view>

namespace zel {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
inline constexpr char kForeignSeparator = '/';
#else
inline constexpr char kSeparator = '/';
inline constexpr char kForeignSeparator = '\\';
#endif

// The current directory as a path prefix: "./" here.
std::string currentDirPrefix();

// Turns every separator of the other platform into this platform's own.
std::string toPlatformSeparators(std::string path);

// Directory of the loaded ZEL_API library (of the running executable when linked statically), with separator.
std::string libraryDirectory();

bool isRegularFile(const std::string& path);
bool isDirectory(const std::string& path);

// Creates a directory with its missing parents; true when it exists afterwards.
bool makeDirectories(const std::string& path);

}  // namespace zel
