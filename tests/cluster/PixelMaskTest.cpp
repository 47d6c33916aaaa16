#include "cluster/PixelMask.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "support/LoggedDir.h"

namespace {

using zel::PixelMask;

struct MaskLoad : ::testing::Test {
    zeltest::LoggedDir tmp{"zel_mask"};
    zel::MessageTarget to = tmp.target();
    PixelMask mask{256, 256};
};

// A 256 x 256 matrix of ones with zeros at the given pixels, on `lines` lines.
std::string matrixText(int lines, std::initializer_list<std::pair<int, int>> zeros) {
    std::string text;
    for (int y = 0; y < lines; ++y) {
        for (int x = 0; x < 256; ++x) {
            bool zero = false;
            for (auto [zx, zy] : zeros) zero = zero || (zx == x && zy == y);
            text += zero ? "0 " : "1 ";
        }
        text += "\n";
    }
    return text;
}

TEST_F(MaskLoad, MatrixOfSensorSizeIsReadAsMatrixAndOtherwiseAsList) {
    ASSERT_EQ(mask.loadText(matrixText(256, {{3, 0}, {255, 255}}), to), 0);
    EXPECT_TRUE(mask.matrixFormat());
    EXPECT_EQ(mask.maskedCount(), 2u);
    EXPECT_FALSE(mask.isActive(3, 0));
    EXPECT_FALSE(mask.isActive(255, 255));
    EXPECT_TRUE(mask.isActive(0, 0));

    // The same values on 255 lines are no matrix; numbers of 0 and 1 only, all lines alike: a matrix of another
    // size, refused rather than read as pairs.
    PixelMask other(256, 256);
    EXPECT_EQ(other.loadText(matrixText(255, {{3, 0}}), to), PixelMask::kLoadFailed);
    EXPECT_FALSE(other.matrixFormat());
    EXPECT_EQ(other.maskedCount(), 0u);
    EXPECT_NE(tmp.messages().find("Mask file holds a matrix of 256 x 255 pixels"), std::string::npos);
}

TEST_F(MaskLoad, ListPairsRectanglesAndPixelsOutsideTheSensor) {
    const std::string text =
        "1 2 3 4\n"           // two pairs
        "(10-12, 5)\n"         // x range, single y
        "[0-1,7-8] (250-300, 255)\n"  // a square, and a range cut at the sensor's edge
        "300 20\n"             // outside: reported, nothing masked
        "\n";
    ASSERT_EQ(mask.loadText(text, to), 0);
    EXPECT_FALSE(mask.matrixFormat());
    for (auto [x, y] : {std::pair{1, 2}, {3, 4}, {10, 5}, {11, 5}, {12, 5}, {0, 7}, {1, 7}, {0, 8}, {1, 8}})
        EXPECT_FALSE(mask.isActive(x, y)) << x << "," << y;
    EXPECT_TRUE(mask.isActive(9, 5));
    EXPECT_TRUE(mask.isActive(13, 5));
    EXPECT_TRUE(mask.isActive(20, 255)) << "pair 300 20 must not wrap onto another pixel";
    EXPECT_EQ(mask.maskedCount(), 2u + 3u + 4u + 6u);
    EXPECT_NE(tmp.messages().find("[ERROR]\tCurrent pixel [300|20] is not within a sensor mask with size "
                                  "256.000000*256.000000"),
              std::string::npos);
}

TEST_F(MaskLoad, FactorFollowsTheMaskedFraction) {
    // A tenth of a 10 x 10 sensor: N / (N - M) = 10 / 9.
    PixelMask small(10, 10);
    ASSERT_EQ(small.loadText("(0-9, 3)\n", to), 0);
    EXPECT_EQ(small.maskedCount(), 10u);
    EXPECT_DOUBLE_EQ(small.areaFactor(), 10.0 / 9.0);
    // A pixel listed twice counts once.
    ASSERT_EQ(small.loadText("0 3 5 5 5 5\n", to), 0);
    EXPECT_EQ(small.maskedCount(), 11u);
}

TEST_F(MaskLoad, BadFilesAreRefusedWithTheirCode) {
    EXPECT_EQ(mask.load(tmp.file("absent.txt"), to), PixelMask::kCannotOpen);
    EXPECT_EQ(mask.loadText("", to), PixelMask::kLoadFailed);
    EXPECT_EQ(mask.loadText(" \n\t\n", to), PixelMask::kLoadFailed);
    EXPECT_EQ(mask.loadText("hello world\nno pixels here\n", to), PixelMask::kLoadFailed);
    // Negative coordinates are no pairs (the minus makes a rectangle line, which has no brackets).
    EXPECT_EQ(mask.loadText("-3 5\n", to), PixelMask::kLoadFailed);
    // Huge numbers are outside the sensor, whatever their size.
    EXPECT_EQ(mask.loadText("1e300 4 5 1e19\n", to), 0);
    EXPECT_EQ(mask.loadText("[1e300-1e301, 0]\n", to), 0);
    EXPECT_EQ(mask.maskedCount(), 0u);
    const std::string messages = tmp.messages();
    EXPECT_NE(messages.find("File with mask can not be opened: " + tmp.file("absent.txt")), std::string::npos);
    EXPECT_NE(messages.find("Mask load failed."), std::string::npos);
    EXPECT_NE(messages.find("Mask file line 1 holds no pixel pair and no rectangle."), std::string::npos);
}

struct MaskCopy : MaskLoad {
    void SetUp() override { ASSERT_EQ(mask.loadText("1 0 5 5\n", to), 0); }
};

TEST_F(MaskCopy, PixelListKeepsActivePixelsAndCountsTheMaskedOnes) {
    // Matrix indexes: 1 = (1, 0) masked, 2 active, 5 + 5 * 256 = 1285 masked, 65536 beyond the sensor.
    std::istringstream in("Index\tMatrix Index\tToA\tToT\n0\t1\t10\t5\n1\t2\t11\t6\n2\t1285\t12\t7\n3\t65536\t1\t1\n"
                          "4\t0\t13\t8\n");
    std::ostringstream out;
    PixelMask::CopyCounts counts;
    mask.copyPixelList(in, out, counts);
    EXPECT_EQ(out.str(), "Index\tMatrix Index\tToA\tToT\n1\t2\t11\t6\n4\t0\t13\t8\n");
    EXPECT_EQ(counts.linesRead, 5);
    EXPECT_EQ(counts.pixelsKept, 2);
    EXPECT_EQ(counts.pixelsMasked, 2) << "a pixel beyond the sensor is dropped without counting";
}

TEST_F(MaskCopy, ClusterLogLinesAreRewrittenWithTheirActivePixels) {
    std::istringstream in("Frame 1 (0.000000, 1.000000 s)\n"
                          "[1, 0, 33.7] [2, 0, 12.2] \n"
                          "[5, 5, 10, 1.25] [6, 5, -2.9, 3.5] \n"
                          "\n"
                          "Frame 2 (1.200000, 1.000000 s)\n");
    std::ostringstream out;
    PixelMask::CopyCounts counts;
    mask.copyClusterLog(in, out, counts);
    EXPECT_EQ(out.str(),
              "Frame 1 (0.000000, 1.000000 s)\n"
              "[2, 0, 12] \n"
              "[6, 5, -2, 3.500] \n"
              "\n"
              "Frame 2 (1.200000, 1.000000 s)\n");
    EXPECT_EQ(counts.linesRead, 2);
    EXPECT_EQ(counts.pixelsKept, 2);
    EXPECT_EQ(counts.pixelsMasked, 2);
}

TEST_F(MaskCopy, CopyIsWrittenBesideAndNeverOverItsInput) {
    tmp.write("in.clog", "Frame 1 (0, 1 s)\n[1, 0, 5] [3, 3, 4] \n");
    PixelMask::CopyCounts counts;
    ASSERT_EQ(mask.writeMaskedCopy(tmp.file("in.clog"), tmp.file("MASK_in.clog"), true, counts, to), 0);
    EXPECT_EQ(zeltest::TempDir::read(tmp.file("MASK_in.clog")), "Frame 1 (0, 1 s)\n[3, 3, 4] \n");
    EXPECT_FALSE(std::filesystem::exists(tmp.file("MASK_in.clog.maskpart")));

    // An output that is the input itself (here through a link) is refused and the input stays as it was.
    std::filesystem::create_hard_link(tmp.file("in.clog"), tmp.file("link.clog"));
    EXPECT_EQ(mask.writeMaskedCopy(tmp.file("in.clog"), tmp.file("link.clog"), true, counts, to), -1);
    EXPECT_EQ(zeltest::TempDir::read(tmp.file("in.clog")), "Frame 1 (0, 1 s)\n[1, 0, 5] [3, 3, 4] \n");
    // So is a symbolic link that resolves to the input.
    std::filesystem::create_symlink(tmp.file("in.clog"), tmp.file("MASK_other.clog"));
    EXPECT_EQ(mask.writeMaskedCopy(tmp.file("in.clog"), tmp.file("MASK_other.clog"), true, counts, to), -1);
    EXPECT_EQ(zeltest::TempDir::read(tmp.file("in.clog")), "Frame 1 (0, 1 s)\n[1, 0, 5] [3, 3, 4] \n");
}

}  // namespace
