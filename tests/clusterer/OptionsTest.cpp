#include <gtest/gtest.h>
#include <wordexp.h>

#include <string>
#include <vector>

#include "ClustererOptions.h"

namespace zel::clusterer {
namespace {

// Splits a command as the shell does and parses it.
ParseResult parse(const std::string& command, ClustererOptions& options) {
    wordexp_t words;
    EXPECT_EQ(wordexp(command.c_str(), &words, WRDE_NOCMD), 0) << command;
    ParseResult result = parseCommandLine(static_cast<int>(words.we_wordc), words.we_wordv, options);
    wordfree(&words);
    return result;
}

TEST(ClustererOptions, ReadsTheFullEngineCommandLine) {
    // As the engine builds it: doubled blanks, "--stat-file" right after a trailing blank, the input last.
    const std::string command =
        "\"/opt/zel/clusterer\"  --korelist \"/out/EventList\"  -c \"/cal/\"  --clust-feat-list \"/out/CList\"  "
        "--frame-occupancy-limit 12.000000  --frame-start-num 7  --pix-count-max 500  -l \"/out/ClusterLog.clog\"  "
        "--corr-tpx-high-energy  --measmode \"itot+count\"  --el-coinctoadiff 100.000000  --el-thickness 500.000000  "
        "--l2d-corr-formula 3  --log  --debug --stat-file \"/out/ClustererStatFile.txt\"  \"/data/run 1.t3pa\" ";
    ClustererOptions o;
    ParseResult result = parse(command, o);
    ASSERT_EQ(result.outcome, ParseOutcome::Run) << result.message;
    EXPECT_EQ(o.elistBase, "/out/EventList");
    EXPECT_EQ(o.calibrationDir, "/cal/");
    EXPECT_EQ(o.clusterListBase, "/out/CList");
    EXPECT_DOUBLE_EQ(o.frameOccupancyLimit, 12.0);
    EXPECT_EQ(o.frameStartNum, 7);
    EXPECT_EQ(o.pixCountMax, 500);
    EXPECT_EQ(o.clogPath, "/out/ClusterLog.clog");
    EXPECT_TRUE(o.tpxHighEnergyCorr);
    EXPECT_EQ(o.measMode, "itot+count");
    EXPECT_DOUBLE_EQ(o.coincToaDiff, 100.0);
    EXPECT_DOUBLE_EQ(o.thickness, 500.0);
    EXPECT_EQ(o.lengthCorrFormula, 3);
    EXPECT_TRUE(o.log);
    EXPECT_TRUE(o.debug);
    EXPECT_EQ(o.statFile, "/out/ClustererStatFile.txt");
    ASSERT_EQ(o.inputs.size(), 1u);
    EXPECT_EQ(o.inputs[0], "/data/run 1.t3pa");
    // The correction cannot be honoured and is reported, not dropped silently.
    ASSERT_EQ(result.ignored.size(), 1u);
    EXPECT_NE(result.ignored[0].find("--corr-tpx-high-energy"), std::string::npos);
}

TEST(ClustererOptions, AbsentOptionsKeepTheirDefaultsAndOwnOptionsAcceptBothSpellings) {
    ClustererOptions o;
    ASSERT_EQ(parse("clusterer --frame-start-num 0 --l2d-corr-formula 1 in.clog", o).outcome, ParseOutcome::Run);
    EXPECT_TRUE(o.elistBase.empty() && o.clogPath.empty() && o.calibrationDir.empty());
    EXPECT_DOUBLE_EQ(o.toaWindow, 200.0);
    EXPECT_EQ(o.width, 256);
    EXPECT_EQ(o.height, 256);
    EXPECT_DOUBLE_EQ(o.thickness, 300.0);
    EXPECT_DOUBLE_EQ(o.coincToaDiff, 100.0);
    EXPECT_LE(o.pixCountMax, 0);
    EXPECT_LE(o.frameOccupancyLimit, 0.0);

    ClustererOptions own;
    ASSERT_EQ(parse("clusterer --toa-window=150 --width 128 --height=64 --detector-id 3 in.t3pa", own).outcome,
              ParseOutcome::Run);
    EXPECT_DOUBLE_EQ(own.toaWindow, 150.0);
    EXPECT_EQ(own.width, 128);
    EXPECT_EQ(own.height, 64);
    EXPECT_EQ(own.detectorId, 3);
}

TEST(ClustererOptions, RefusesWhatItCannotUse) {
    const char* bad[] = {
        "clusterer --frobnicate in.t3pa",            // unknown option
        "clusterer --korelist",                      // value missing
        "clusterer --pix-count-max many in.t3pa",    // not a number
        "clusterer --frame-start-num 1.5 in.t3pa",   // not a whole number
        "clusterer --l2d-corr-formula 4 in.t3pa",    // no such formula
        "clusterer --measmode \"tot\" in.t3pa",      // unknown measurement mode
        "clusterer --log=1 in.t3pa",                 // a switch with a value
        "clusterer --korelist out",                  // no input left
        "clusterer --width 0 in.t3pa",
    };
    for (const char* command : bad) {
        ClustererOptions o;
        ParseResult result = parse(command, o);
        EXPECT_EQ(result.outcome, ParseOutcome::Error) << command;
        EXPECT_FALSE(result.message.empty()) << command;
    }
}

TEST(ClustererOptions, WholeNumbersAreCheckedAgainstTheirRangeBeforeConversion) {
    for (const char* command : {"clusterer --width 9e15 in.t3pa", "clusterer --height 65537 in.t3pa",
                                "clusterer --detector-id 3e9 in.t3pa", "clusterer --detector-id -2147483649 in.t3pa",
                                "clusterer --frame-start-num -1 in.t3pa", "clusterer --pix-count-max 1e16 in.t3pa"}) {
        ClustererOptions o;
        ParseResult result = parse(command, o);
        EXPECT_EQ(result.outcome, ParseOutcome::Error) << command;
        EXPECT_NE(result.message.find("needs a whole number from"), std::string::npos) << result.message;
    }
    ClustererOptions o;
    ASSERT_EQ(parse("clusterer --detector-id -2147483648 --width 65536 --height 1 --frame-start-num 9e15 in.t3pa", o)
                  .outcome,
              ParseOutcome::Run);
    EXPECT_EQ(o.detectorId, -2147483647 - 1);
    EXPECT_EQ(o.width, 65536);
    EXPECT_EQ(o.frameStartNum, 9000000000000000LL);
}

TEST(ClustererOptions, StatisticsFileAndLogBelongToTheOutputDirectory) {
    const struct {
        const char* command;
        const char* statFile;
        const char* logFile;
    } cases[] = {
        {"clusterer --korelist /out/a/EventList -l /out/b/c.clog --stat-file S.txt in.t3pa", "/out/a/S.txt",
         "/out/a/ClustererLog.txt"},
        {"clusterer -l /out/b/c.clog --stat-file S.txt --log-file L.txt in.t3pa", "/out/b/S.txt", "/out/b/L.txt"},
        {"clusterer --out-dir /own --korelist /out/a/E --stat-file S.txt in.t3pa", "/own/S.txt",
         "/own/ClustererLog.txt"},
        {"clusterer --korelist /out/a/E --stat-file ./S.txt --log-file /logs/L.txt in.t3pa", "./S.txt", "/logs/L.txt"},
        {"clusterer --stat-file /s/S.txt in.t3pa", "/s/S.txt", "/s/ClustererLog.txt"},
        {"clusterer in.t3pa", "", "ClustererLog.txt"},
    };
    for (const auto& c : cases) {
        ClustererOptions o;
        ASSERT_EQ(parse(c.command, o).outcome, ParseOutcome::Run) << c.command;
        EXPECT_EQ(o.statFile, c.statFile) << c.command;
        EXPECT_EQ(o.logFile, c.logFile) << c.command;
    }
}

TEST(ClustererOptions, HelpWinsAndListsEveryOption) {
    ClustererOptions o;
    EXPECT_EQ(parse("clusterer --korelist x --help", o).outcome, ParseOutcome::Help);
    std::string usage = usageText();
    for (const char* name : {"--korelist", "-c", "--clust-feat-list", "--frame-occupancy-limit", "--frame-start-num",
                             "--pix-count-max", "-l", "--corr-tpx-high-energy", "--measmode", "--el-coinctoadiff",
                             "--el-thickness", "--l2d-corr-formula", "--log", "--debug", "--stat-file",
                             "--toa-window", "--width", "--height"}) {
        EXPECT_NE(usage.find(std::string("  ") + name + " "), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace zel::clusterer
