// The log file: where it goes, its first lines, and the fall-back to the working directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "support/TempDir.h"
#include "zel/ZEL_API.h"

namespace {

struct LogFile : ::testing::Test {
    zeltest::TempDir dir{"zel_log"};
    std::filesystem::path before = std::filesystem::current_path();
    void SetUp() override {
        std::filesystem::current_path(dir.dir());  // the fall-back log lands here
        ASSERT_EQ(zel::construct(), 0);
    }
    void TearDown() override {
        zel::destruct();
        std::filesystem::current_path(before);
    }
    void load(const std::string& text) {
        dir.write("run.param", "FileOutPath = \"" + dir.dir() +
                                   "out/\"\nDoPrint = false\nDoPID = false\nDoExportGraphics = false\n" + text);
        ASSERT_EQ(zel::loadParamFile(dir.dir(), "run.param"), 0);
    }
};

TEST_F(LogFile, StartsWithTheDateAndCarriesTheBannerAndReport) {
    load("LogPath = \"" + dir.dir() + "out/\"\nLogName = \"run.log\"\n");
    ASSERT_EQ(zel::init(), 0);
    const std::string log = zeltest::TempDir::read(dir.file("out/run.log"));
    EXPECT_TRUE(std::regex_search(log, std::regex("^\\d{4}-\\d{2}-\\d{2}\t\\d{2}:\\d{2}:\\d{2}\n"))) << log.substr(0, 40);
    EXPECT_TRUE(std::regex_search(log, std::regex("ZEL version: 1\\.1\\.0 240828 [0-9a-f]{8}\n")));
    EXPECT_NE(log.find("INITILIZATION and SETTINGS"), std::string::npos);
    EXPECT_NE(log.find("FILES AND PATHS"), std::string::npos);
    EXPECT_EQ(log.find("\033["), std::string::npos) << "no colours in the log";
}

TEST_F(LogFile, SwitchesLeaveOutTheDateAndVersion) {
    load("LogPath = \"" + dir.dir() + "out/\"\nDoLogDateTime = false\nDoLogVersion = false\n");
    ASSERT_EQ(zel::init(), 0);
    const std::string log = zeltest::TempDir::read(dir.file("out/LogFile.txt"));
    EXPECT_EQ(log.find("ZEL version"), std::string::npos);
    EXPECT_FALSE(std::regex_search(log, std::regex("^\\d{4}-")));
}

TEST_F(LogFile, MissingLogDirectoryFallsBackToTheWorkingDirectory) {
    load("LogPath = \"" + dir.dir() + "no/such/dir/\"\nLogName = \"x.log\"\n");
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(zel::init(), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "-1003;");
    EXPECT_TRUE(std::filesystem::exists(dir.file("LogFile.txt")));
    EXPECT_NE(zeltest::TempDir::read(dir.file("LogFile.txt")).find("INITILIZATION"), std::string::npos);
}

}  // namespace
