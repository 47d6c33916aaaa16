// The zel program: a parameter file end to end, and its closing line.
#include <gtest/gtest.h>

#include <string>

#include "common/Subprocess.h"
#include "support/TempDir.h"

namespace {

const char* kEventList =
    "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n"
    "1\t10\t10\t100\t200000000\t2\n2\t20\t20\t200\t700000000\t3\n3\t30\t30\t300\t3400000000\t4\n";

// Runs the zel program on `extra` settings over the three-cluster list; its standard output.
std::string runZel(zeltest::TempDir& dir, const std::string& extra) {
    dir.write("run.elist", kEventList);
    dir.write("run.param", "FileInPath = \"" + dir.dir() + "\"\nFileInName = \"run.elist\"\nFileOutPath = \"" +
                               dir.dir() + "out/\"\nLogPath = \"" + dir.dir() +
                               "out/\"\nDoPrint = false\nDoExportGraphics = false\nDoPID = false\n" + extra);
    zel::ProgramOptions options;
    options.stdoutFile = dir.file("stdout.txt");
    const zel::ProgramRun run = zel::runProgram({std::string(ZEL_BIN_DIR) + "/zel", dir.file("run.param")}, options);
    EXPECT_TRUE(run.succeeded()) << run.describe();
    return zeltest::TempDir::read(dir.file("stdout.txt"));
}

}  // namespace

TEST(ZelProgram, ClosingLineGivesTheLiveTimeAndUnitsInForce) {
    zeltest::TempDir dir{"zel_program"};
    // Without TimeAcq the live time is the span of the cluster times: 3.4 s.
    std::string out = runZel(dir, "");
    EXPECT_NE(out.find("zel: 3 particles, dose rate "), std::string::npos) << out;
    EXPECT_NE(out.find(" uGy/h, dose "), std::string::npos) << out;
    EXPECT_NE(out.find(" uGy over a live time of 3.4 s; results in " + dir.dir() + "out/"), std::string::npos) << out;

    // A given acquisition time wins; radiology units give Gy and Gy/s.
    out = runZel(dir, "TimeAcq = 20\nDoDoseUnitRadiology = true\n");
    EXPECT_NE(out.find(" Gy/s, dose "), std::string::npos) << out;
    EXPECT_NE(out.find(" Gy over a live time of 20 s;"), std::string::npos) << out;
}
