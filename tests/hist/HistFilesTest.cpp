#include "hist/HistFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/TempDir.h"

namespace {

std::set<std::string> namesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.insert(entry.path().filename());
    return names;
}

}  // namespace

TEST(PendingFile, AppearsWholeOnCommitAndLeavesNothingElse) {
    zeltest::TempDir tmp("zel_pending");
    const std::string target = tmp.file("a.hist");
    {
        zel::PendingFile file(target);
        ASSERT_TRUE(file.write("1\t2\n"));
        EXPECT_FALSE(std::filesystem::exists(target));
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(zeltest::TempDir::read(target), "1\t2\n");
    EXPECT_EQ(namesIn(tmp.dir()), std::set<std::string>{"a.hist"});

    // A file never committed leaves the earlier target as it was, and nothing beside it.
    {
        zel::PendingFile file(target);
        ASSERT_TRUE(file.write("half"));
    }
    EXPECT_EQ(zeltest::TempDir::read(target), "1\t2\n");
    EXPECT_EQ(namesIn(tmp.dir()), std::set<std::string>{"a.hist"});
}

TEST(PendingFile, ReplacesAnEarlierTargetWithTheModeOfANewFile) {
    zeltest::TempDir tmp("zel_pending");
    const std::string target = tmp.file("b.hist_info");
    tmp.write("b.hist_info", "an earlier, longer content\n");
    const mode_t before = ::umask(022);
    zel::PendingFile file(target);
    const bool written = file.write("new\n") && file.commit();
    ::umask(before);
    ASSERT_TRUE(written);
    EXPECT_EQ(zeltest::TempDir::read(target), "new\n");
    EXPECT_EQ(namesIn(tmp.dir()), std::set<std::string>{"b.hist_info"});
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST(PendingFile, MissingDirectoryFailsWithoutLeftovers) {
    zeltest::TempDir tmp("zel_pending");
    zel::PendingFile file(tmp.file("missing/c.hist"));
    EXPECT_FALSE(file.write("x") && file.commit());
    EXPECT_TRUE(namesIn(tmp.dir()).empty());
}
