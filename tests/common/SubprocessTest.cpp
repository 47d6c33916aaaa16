#include "common/Subprocess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(Subprocess, ArgumentsReachTheProgramUnparsedAndItsStatusComesBack) {
    const auto dir = std::filesystem::temp_directory_path() / ("zel_subprocess_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string marker = (dir / "X").string();
    const std::string out = (dir / "out with blank.txt").string();
    // A name that a shell would run as a command is only an argument here.
    const std::string hostile = "run$(touch " + marker + ").t3pa; echo 'quoted' \"too\"";
    zel::ProgramOptions options;
    options.stdoutFile = out;
    options.stderrFile = out;
    auto run = zel::runProgram({"printf", "%s|", hostile, "second"}, options);
    EXPECT_TRUE(run.succeeded()) << run.describe();
    EXPECT_EQ(slurp(out), hostile + "|second|");
    EXPECT_FALSE(std::filesystem::exists(marker));

    run = zel::runProgram({"sh", "-c", "echo to-stderr 1>&2; exit 3"}, options);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.succeeded());
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.describe(), "exit status 3");
    EXPECT_EQ(slurp(out), "to-stderr\n");

    options.appendOutput = true;
    run = zel::runProgram({"sh", "-c", "kill -9 $$"}, options);
    EXPECT_EQ(run.signal, 9);
    EXPECT_EQ(run.describe(), "killed by signal 9");

    run = zel::runProgram({(dir / "no-such-program").string()});
    EXPECT_FALSE(run.succeeded());
    EXPECT_FALSE(run.describe().empty());
    EXPECT_FALSE(zel::runProgram({}).succeeded());
    std::filesystem::remove_all(dir);
}

TEST(Subprocess, TheLoggedCommandLineQuotesWhatAShellWouldSplitOrRun) {
    EXPECT_EQ(zel::quotedCommandLine({"clusterer", "-o", "./out/File/", "a.t3pa"}), "clusterer -o ./out/File/ a.t3pa");
    EXPECT_EQ(zel::quotedCommandLine({"x", "a b", "it's", "$(rm)", ""}), "x 'a b' 'it'\\''s' '$(rm)' ''");
}
