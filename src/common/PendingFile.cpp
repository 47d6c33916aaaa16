#include "common/PendingFile.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define ZEL_GETPID _getpid
#else
#include <fcntl.h>
#include <unistd.h>
#define ZEL_GETPID ::getpid
#endif

#if defined(__linux__) && defined(O_TMPFILE)
#define ZEL_UNNAMED_FILES 1
#endif

namespace zel {

namespace {
// Temporary names differ between processes and between the files one process writes, also side by side.
std::string temporarySuffix() {
    static std::atomic<unsigned> count{0};
    return ".tmp" + std::to_string(ZEL_GETPID()) + "_" + std::to_string(count.fetch_add(1));
}
}  // namespace

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {}

PendingFile::~PendingFile() {
#if ZEL_UNNAMED_FILES
    if (unnamed_ >= 0) ::close(unnamed_);  // its content goes with it
#endif
    if (committed_ || unnamed_ >= 0 || temporary_.empty()) return;
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
}

const std::string& PendingFile::temporary() {
    if (temporary_.empty()) temporary_ = target_ + temporarySuffix();
    return temporary_;
}

bool PendingFile::write(std::string_view content) {
#if ZEL_UNNAMED_FILES
    // Unnamed files need the process's descriptor links to be named later; file systems without unnamed files
    // take the temporary name.
    static const bool linksNamed = ::access("/proc/self/fd", X_OK) == 0;
    const std::filesystem::path parent = std::filesystem::path(target_).parent_path();
    const char* directory = parent.empty() ? "." : parent.c_str();
    if (linksNamed) unnamed_ = ::open(directory, O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (unnamed_ >= 0) {
        while (!content.empty()) {
            const ssize_t written = ::write(unnamed_, content.data(), content.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            content.remove_prefix(static_cast<size_t>(written));
        }
        return true;
    }
#endif
    std::ofstream out(temporary(), std::ios::trunc | std::ios::binary);
    if (!out.is_open()) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    return static_cast<bool>(out);
}

bool PendingFile::commit() {
#if ZEL_UNNAMED_FILES
    if (unnamed_ >= 0) {
        committed_ = commitUnnamed();
        ::close(unnamed_);
        unnamed_ = -1;
        return committed_;
    }
#endif
    std::error_code ec;
    std::filesystem::rename(temporary(), target_, ec);
    if (ec) return false;
    committed_ = true;
    return true;
}

bool PendingFile::commitUnnamed() {
#if ZEL_UNNAMED_FILES
    const std::string link = "/proc/self/fd/" + std::to_string(unnamed_);
    if (::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    // An earlier target is replaced in one step: the file is linked under the temporary name (or, where it cannot
    // be linked at all, copied there) and renamed onto the target.
    const bool linked =
        errno == EEXIST && ::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, temporary().c_str(), AT_SYMLINK_FOLLOW) == 0;
    std::error_code ec;
    if (linked || copyUnnamed()) {
        std::filesystem::rename(temporary(), target_, ec);
        if (!ec) return true;
    }
    std::filesystem::remove(temporary(), ec);
#endif
    return false;
}

bool PendingFile::copyUnnamed() {
#if ZEL_UNNAMED_FILES
    std::ofstream out(temporary(), std::ios::trunc | std::ios::binary);
    if (!out.is_open()) return false;
    char buffer[1 << 16];
    off_t at = 0;
    while (true) {
        const ssize_t got = ::pread(unnamed_, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        out.write(buffer, got);
        at += got;
    }
    out.close();
    return static_cast<bool>(out);
#else
    return false;
#endif
}

}  // namespace zel
