#pragma once
// Inputs of the fuzz harnesses as files: the parsers read paths. One scratch directory per process, in memory when
// /dev/shm is there; the files are rewritten for every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace zelfuzz {

// The directory with its separator; removed with everything in it when the process ends.
inline const std::string& scratchDir() {
    struct Scratch {
        std::string path;
        Scratch() {
            std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
            path = (base / ("zel_fuzz_" + std::to_string(::getpid()))).string() + "/";
            std::filesystem::create_directories(path);
        }
        ~Scratch() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Scratch scratch;
    return scratch.path;
}

inline std::string writeFile(const std::string& name, std::string_view content) {
    const std::string path = scratchDir() + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(content.data(),
                                                                  static_cast<std::streamsize>(content.size()));
    return path;
}

inline std::string_view asText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Inputs made of two files (a frame file and its descriptor, a histogram's information and data file) are one
// text with this line between the two parts; without it the second part is empty.
inline constexpr std::string_view kPartSeparator = "\n----8<----\n";

inline std::pair<std::string_view, std::string_view> twoParts(std::string_view text) {
    const size_t at = text.find(kPartSeparator);
    if (at == std::string_view::npos) return {text, {}};
    return {text.substr(0, at), text.substr(at + kPartSeparator.size())};
}

}  // namespace zelfuzz
