#include "common/Messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct LogFile : ::testing::Test {
    std::string path = (std::filesystem::temp_directory_path() / ("zel_msg_" + std::to_string(::getpid()) + ".txt")).string();
    std::ofstream log{path};
    void TearDown() override { std::filesystem::remove(path); }
};

TEST_F(LogFile, CodedErrorsCarryTheirPrefixAndZeroCodeLinesUp) {
    zel::MessageTarget to{&log, false, true};
    EXPECT_EQ(zel::printErrorCode(to, "zero", 0), 0);
    EXPECT_EQ(zel::printErrorCode(to, "bad key", -1030), 0);
    EXPECT_EQ(zel::printError(to, "plain"), 0);
    EXPECT_EQ(readAll(path), "[ERROR]    zero\n[ERROR] -1030 : bad key\n[ERROR]    plain\n");
}

TEST_F(LogFile, ConsoleGetsColoursAndLogGetsNone) {
    zel::MessageTarget to{&log, true, true};
    ::testing::internal::CaptureStdout();
    zel::printWarning(to, "careful");
    zel::printSuccess(to, "done");
    zel::printColor(to, "cyan", 36);
    zel::printMsg(to, "indented", 2);
    std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(console,
              "\033[1;33m[WARNING]  careful\033[0m\n\033[1;32m[SUCCESS]  done\033[0m\n\033[1;36mcyan\033[0m\n\t\tindented\n");
    EXPECT_EQ(readAll(path), "[WARNING]  careful\n[SUCCESS]  done\ncyan\n\t\tindented\n");
}

TEST_F(LogFile, HeldMessagesOfSeveralThreadsComeOutInTheOrderOfTheirHolders) {
    zel::MessageTarget to{&log, true, true};
    ::testing::internal::CaptureStdout();
    zel::HeldMessages first;
    zel::HeldMessages second;
    // The second holder fills first and on another thread; nothing is written before release.
    std::thread other([&] {
        zel::HeldMessages::Scope holding(second);
        zel::printMsg(to, "second");
        EXPECT_EQ(zel::printError(zel::MessageTarget{nullptr, true, true}, "no log"), -1);  // code as if written
    });
    other.join();
    {
        zel::HeldMessages::Scope holding(first);
        zel::printWarning(to, "first");
        zel::printMsg(zel::MessageTarget{&log, false, true}, "log only");
    }
    zel::printMsg(to, "not held");
    EXPECT_EQ(readAll(path), "not held\n");
    first.release();
    second.release();
    second.release();  // released messages are gone
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "not held\n\033[1;33m[WARNING]  first\033[0m\nsecond\n\033[1;31m[ERROR]    no log\033[0m\n");
    EXPECT_EQ(readAll(path), "not held\n[WARNING]  first\nlog only\nsecond\n");
}

TEST(Messages, MissingLogGivesMinusOneButStillPrints) {
    zel::MessageTarget to{nullptr, true, true};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(zel::printWarning(to, "x"), -1);
    EXPECT_FALSE(::testing::internal::GetCapturedStdout().empty());
    zel::MessageTarget quiet{nullptr, false, false};
    EXPECT_EQ(zel::printWarning(quiet, "x"), 0);
}

TEST(Messages, ProgressBarDrawsSixtyCells) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(zel::printProgress(0.5), 0);
    EXPECT_EQ(zel::printProgress(1.0), 0);
    EXPECT_EQ(zel::printProgress(-0.1), -1);
    std::string out = ::testing::internal::GetCapturedStdout();
    std::string half = "\r 50% [" + std::string(30, '|') + std::string(30, ' ') + "]";
    std::string full = "\r100% [" + std::string(60, '|') + "]";
    EXPECT_EQ(out, half + full);
}

TEST(Messages, RaiseCodeThrowsTheDecimalCodeAndWritesItToTheErrorStream) {
    ::testing::internal::CaptureStderr();
    try {
        zel::raiseCode(-1036);
        FAIL() << "no throw";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "-1036");
        EXPECT_EQ(zel::codeFromRaised(error, 0), -1036);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "-1036;");
}

}  // namespace
