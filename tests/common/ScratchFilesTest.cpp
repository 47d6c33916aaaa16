// Scratch files of a killed run are removed by the next one; those of running processes and every other name stay.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "common/PendingFile.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// The id of a process that has ended.
std::string endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return std::to_string(child);
}

TEST(ScratchFiles, OnlyOwnNamesOfEndedProcessesAreRemoved) {
    zeltest::TempDir dir{"zel_scratch"};
    const std::string ended = endedProcess();
    const std::string running = std::to_string(::getpid());
    EXPECT_EQ(zel::scratchFileName(dir.file("EventListExt.korelist"), "part"),
              dir.file("EventListExt.korelist.part" + running));

    const std::vector<std::string> stale{"EventListExt.korelist.part" + ended, "CListExt.clist.marks" + ended,
                                         "SamplingList.json.tmp" + ended + "_0"};
    const std::vector<std::string> kept{
        "EventListExt.korelist.part" + running,  // a run still going on
        "SamplingList.json.tmp" + running + "_3",
        "EventListExt.korelist",                 // finished files and names that only look alike
        "notes.part",
        "notes.part12a",
        "notes.partial" + ended,
        "notes.tmp" + ended,
        "notes.tmp_" + ended,
        ".part" + ended,
        "notes.part0",
        "notes.part99999999999999999999",
    };
    for (const auto& name : stale) dir.write(name, "x");
    for (const auto& name : kept) dir.write(name, "x");
    fs::create_directory(dir.file("sub.part" + ended));  // directories are no scratch files
    dir.write("sub.part" + ended + "/Deeper.part" + ended, "x");

    std::vector<std::string> removed = zel::removeStaleScratchFiles(dir.dir());
    std::sort(removed.begin(), removed.end());
    std::vector<std::string> expected;
    for (const auto& name : stale) expected.push_back(dir.file(name));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(dir.file(name))) << name;
    EXPECT_TRUE(fs::exists(dir.file("sub.part" + ended + "/Deeper.part" + ended))) << "only the directory itself";
}

}  // namespace
