#include "input/ClusterLogRecognition.h"

#include "InputTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

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
    int raised(const std::string& text) {
        try {
            recognise(text);
        } catch (const std::runtime_error& error) {
            return std::stoi(error.what());
        }
        return 0;
    }
};

TEST_F(ClogFile, ThreeValuesPerPixelAreCountingFrames) {
    ASSERT_EQ(recognise("Frame 1 (0.000000, 0.001000 s)\n\n[10, 20, 1] [11, 20, 2]\n"), 0);
    EXPECT_TRUE(kind.isClog);
    EXPECT_TRUE(kind.counting);
    EXPECT_EQ(kind.valuesPerPixel, 3);
    EXPECT_FALSE(kind.itotCount || kind.fractionalTime || kind.timeInNs);
}

TEST_F(ClogFile, WholeNumberTimesAreItotAndCountFractionalOnesTimeOfArrival) {
    ASSERT_EQ(recognise("Frame 1 (0.0, 0.001 s)\n[10, 20, 31, 100] [11, 20, 12, 104]\nFrame 2 (1.0, 0.001 s)\n"
                        "[1, 2, 3.5, 7]\n"),
              0);
    EXPECT_TRUE(kind.isClog);
    EXPECT_EQ(kind.valuesPerPixel, 4);
    EXPECT_TRUE(kind.itotCount);
    EXPECT_FALSE(kind.fractionalTime);

    // The fractional time may first show on a later line and in a later group.
    ASSERT_EQ(recognise("Frame 1 (0.0, 0.001 s)\n[10, 20, 31, 100]\n[1, 2, 3, 7] [1, 3, 4, 7.8125]\n"), 0);
    EXPECT_TRUE(kind.fractionalTime);
    EXPECT_FALSE(kind.itotCount || kind.timeInNs);

    ASSERT_EQ(recognise("Frame 1 (0.0 ns, 0.001 s)\n[10, 20, 31, 100]\n"), 0);
    EXPECT_TRUE(kind.timeInNs);
    EXPECT_FALSE(kind.itotCount || kind.fractionalTime);
}

TEST_F(ClogFile, TimeCheckStopsAfterTenThousandLines) {
    std::string text = "Frame 1 (0.0, 0.001 s)\n";
    for (int i = 0; i < 10000; ++i) text += "[1, 2, 3, 4]\n";
    ASSERT_EQ(recognise(text + "[1, 2, 3, 4.5]\n"), 0);
    EXPECT_TRUE(kind.itotCount);
}

TEST_F(ClogFile, FiveValuesPerPixelAreCorrupted) {
    EXPECT_EQ(raised("Frame 1 (0.0, 0.001 s)\n[10, 20, 31, 100, 5]\n"), -1018);
    EXPECT_NE(scratch.messages().find("-1018 : Corrupted clog file."), std::string::npos);
}

TEST_F(ClogFile, FrameHeaderWithoutPixelLinesIsEmpty) {
    EXPECT_EQ(raised("Frame 1 (0.0, 0.001 s)\nFrame 2 (0.1, 0.001 s)\n10, 20, 31\n"), -1019);
    EXPECT_NE(scratch.messages().find("-1019 : Empty clog file."), std::string::npos);
}

TEST_F(ClogFile, PixelLinesAfterTheFirstTenThousandLinesGiveAPlainClusterLog) {
    std::string text;
    for (int i = 0; i < 10001; ++i) text += "Frame " + std::to_string(i) + " (0.0, 0.001 s)\n";
    ASSERT_EQ(recognise(text + "[1, 2, 3]\n"), 0);
    EXPECT_TRUE(kind.isClog);
    EXPECT_EQ(kind.valuesPerPixel, 0);
    EXPECT_FALSE(kind.counting || kind.itotCount || kind.fractionalTime || kind.timeInNs);
}

TEST_F(ClogFile, OtherFilesAreNoClusterLogAndMissingOnesAreReported) {
    ASSERT_EQ(recognise("EventID X Y T\n- px px ns\n[1, 2, 3]\n"), 0);
    EXPECT_FALSE(kind.isClog);
    EXPECT_EQ(zel::recogniseClog(scratch.path(), "none.clog", kind, scratch.target()), -4016);
    EXPECT_NE(scratch.messages().find("-4016 : Can not open file with clog: none.clog"), std::string::npos);
}

}  // namespace
