#include "common/PendingFile.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define ZEL_GETPID _getpid
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#define ZEL_GETPID ::getpid
#endif

#if defined(__linux__) && defined(O_TMPFILE)
#define ZEL_UNNAMED_FILES 1
#endif

namespace zel {

namespace {
constexpr std::string_view kTemporaryKind = "tmp";
constexpr std::string_view kScratchKinds[] = {"part", "marks"};

// Temporary names differ between processes and between the files one process writes, also side by side.
std::string temporarySuffix() {
    static std::atomic<unsigned> count{0};
    return "." + std::string(kTemporaryKind) + std::to_string(ZEL_GETPID()) + "_" + std::to_string(count.fetch_add(1));
}

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The process id written as `digits` (nothing else); 0 when it is none.
long long processIdOf(std::string_view digits) {
    long long id = 0;
    if (!allDigits(digits) || digits.size() > 10) return 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), id);
    return id > 0 && id <= std::numeric_limits<int>::max() ? id : 0;
}

// The process that wrote a file named by scratchFileName or temporarySuffix, or 0 for any other name.
long long writerOf(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return 0;
    const std::string_view suffix = name.substr(dot + 1);
    for (std::string_view kind : kScratchKinds)
        if (suffix.starts_with(kind)) return processIdOf(suffix.substr(kind.size()));
    if (!suffix.starts_with(kTemporaryKind)) return 0;
    const std::string_view rest = suffix.substr(kTemporaryKind.size());
    const size_t underscore = rest.find('_');
    if (underscore == std::string_view::npos || !allDigits(rest.substr(underscore + 1))) return 0;
    return processIdOf(rest.substr(0, underscore));
}

bool processRuns(long long id) {
#ifdef _WIN32
    (void)id;
    return true;  // no cheap test here: nothing is taken for stale
#else
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
#endif
}

}  // namespace

std::string scratchFileName(const std::string& target, std::string_view kind) {
    return target + "." + std::string(kind) + std::to_string(ZEL_GETPID());
}

std::vector<std::string> removeStaleScratchFiles(const std::string& directory) {
    std::vector<std::string> removed;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(directory.empty() ? "." : directory, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError)) continue;
        const long long writer = writerOf(it->path().filename().string());
        if (writer == 0 || processRuns(writer)) continue;
        if (std::filesystem::remove(it->path(), fileError)) removed.push_back(it->path().string());
    }
    return removed;
}

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
