#include "input/ClusterLogRecognition.h"

#include "common/BoundedLine.h"

#include "InputTestSupport.h"

#include <gtest/gtest.h>

namespace {

using zel::ClogKind;

struct ClogFile : ::testing::Test {
    zel::test::Scratch scratch;
    ClogKind kind;

    int recognise(const std::string& text) {
        scratch.write("run.clog", text);
        return zel::recogniseClog(scratch.path(), "run.clog", kind, scratch.target());
    }
    // The code a recognition raised, 0 when it raised nothing.
    int raised(const std::string& text) { return zeltest::raisedCode([&] { recognise(text); }); }
};

TEST_F(ClogFile, KindFollowsTheValuesPerPixelAndTheirTimes) {
    std::string tenThousandItot = "Frame 1 (0.0, 0.001 s)\n", manyFrames;
    for (int i = 0; i < 10000; ++i) tenThousandItot += "[1, 2, 3, 4]\n";
    for (int i = 0; i < 10001; ++i) manyFrames += "Frame " + std::to_string(i) + " (0.0, 0.001 s)\n";
    const struct {
        const char* what;
        std::string text;
        bool isClog, counting, itotCount, fractionalTime, timeInNs;
        int valuesPerPixel;
    } cases[] = {
        {"three values count", "Frame 1 (0.000000, 0.001000 s)\n\n[10, 20, 1] [11, 20, 2]\n",
         true, true, false, false, false, 3},
        {"whole-number times are iToT and count",
         "Frame 1 (0.0, 0.001 s)\n[10, 20, 31, 100] [11, 20, 12, 104]\nFrame 2 (1.0, 0.001 s)\n[1, 2, 3.5, 7]\n",
         true, false, true, false, false, 4},
        {"a fractional time on a later line and group",
         "Frame 1 (0.0, 0.001 s)\n[10, 20, 31, 100]\n[1, 2, 3, 7] [1, 3, 4, 7.8125]\n",
         true, false, false, true, false, 4},
        {"time in ns", "Frame 1 (0.0 ns, 0.001 s)\n[10, 20, 31, 100]\n", true, false, false, false, true, 4},
        {"the time check stops after 10000 lines", tenThousandItot + "[1, 2, 3, 4.5]\n",
         true, false, true, false, false, 4},
        {"pixels only after 10000 lines: a plain cluster log", manyFrames + "[1, 2, 3]\n",
         true, false, false, false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(recognise(c.text), 0);
        EXPECT_EQ(kind.isClog, c.isClog);
        EXPECT_EQ(kind.counting, c.counting);
        EXPECT_EQ(kind.itotCount, c.itotCount);
        EXPECT_EQ(kind.fractionalTime, c.fractionalTime);
        EXPECT_EQ(kind.timeInNs, c.timeInNs);
        EXPECT_EQ(kind.valuesPerPixel, c.valuesPerPixel);
    }
}

TEST_F(ClogFile, ALineBeyondTheLimitIsACorruptedLog) {
    const std::string huge(zel::kMaxInputLineLength + 1, '[');
    EXPECT_EQ(raised("Frame 1 (0.0, 0.001 s)\n[1, 2, 3]\n" + huge + "\n"), 0);  // three values: the scan stops early
    EXPECT_EQ(raised("Frame 1 (0.0, 0.001 s)\n" + huge + "\n[1, 2, 3]\n"), -1018);
    EXPECT_EQ(raised(huge), -1018);
    const std::string log = scratch.messages();
    EXPECT_NE(log.find("Corrupted clog file. Line 2 of run.clog is longer than 16777216 characters."), std::string::npos);
    EXPECT_NE(log.find("Line 1 of run.clog"), std::string::npos);
}

TEST_F(ClogFile, CorruptedEmptyOtherAndMissingFiles) {
    EXPECT_EQ(raised("Frame 1 (0.0, 0.001 s)\n[10, 20, 31, 100, 5]\n"), -1018);  // five values per pixel
    EXPECT_EQ(raised("Frame 1 (0.0, 0.001 s)\nFrame 2 (0.1, 0.001 s)\n10, 20, 31\n"), -1019);  // no pixel lines
    ASSERT_EQ(recognise("EventID X Y T\n- px px ns\n[1, 2, 3]\n"), 0);
    EXPECT_FALSE(kind.isClog);
    EXPECT_EQ(zel::recogniseClog(scratch.path(), "none.clog", kind, scratch.target()), -4016);
    const std::string log = scratch.messages();
    for (const char* message : {"-1018 : Corrupted clog file.", "-1019 : Empty clog file.",
                                "-4016 : Can not open file with clog: none.clog"}) {
        EXPECT_NE(log.find(message), std::string::npos) << message;
    }
}

}  // namespace
