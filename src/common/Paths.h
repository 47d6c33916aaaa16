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

// A title turned into a file name: characters that separate directories or that file systems refuse
// ('/', '\\', ':', '*', '?', '"', '<', '>', '|') become '_'. Class names such as "LE ions (<10 MeV/u)" need it.
std::string fileNameFromTitle(std::string title);

bool isRegularFile(const std::string& path);
bool isDirectory(const std::string& path);

// Creates a directory with its missing parents; true when it exists afterwards.
bool makeDirectories(const std::string& path);

}  // namespace zel
