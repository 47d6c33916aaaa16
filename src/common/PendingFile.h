#pragma once
// Output files that appear under their names only complete.
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// A file that appears under its target's name only complete, by `commit`; a file that is never committed leaves
// the previous target (or none) in place. On Linux the content goes into an unnamed file of the target's
// directory, which commit links under the target's name (through a temporary name and a rename when a target
// exists): creating it does not hold the directory, so that the threads of an export create their files side by
// side, and a file never committed leaves nothing behind. Elsewhere the content is written under a temporary
// name beside the target and renamed onto it.
class PendingFile {
public:
    explicit PendingFile(std::string target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& target() const { return target_; }

    // Writes `content` as the whole file; false when it cannot be written.
    bool write(std::string_view content);
    // Puts the file in the target's place; false when that fails (nothing is left behind then).
    bool commit();

private:
    bool commitUnnamed();
    // Writes the unnamed file's content under the temporary name.
    bool copyUnnamed();
    // The temporary name beside the target, made when first needed: most files never take it.
    const std::string& temporary();

    std::string target_;
    std::string temporary_;  // empty until made
    int unnamed_ = -1;       // descriptor of the unnamed file, or -1
    bool committed_ = false;
};

// Name of a scratch file this process writes beside `target` while making it: target + "." + kind + the process id;
// kind is "part" for the file itself (renamed to the target when complete) or "marks" for data kept beside it.
std::string scratchFileName(const std::string& target, std::string_view kind);

// Removes from `directory` (not below it) the scratch files of scratchFileName and the temporary names of
// PendingFile whose process no longer runs: what a killed run left behind. Files of other names are never
// touched. Returns the full names removed.
std::vector<std::string> removeStaleScratchFiles(const std::string& directory);

}  // namespace zel
