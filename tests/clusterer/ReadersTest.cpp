#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include <cstdlib>
#include <string>

#include "ClogReader.h"
#include "FrameFileReader.h"
#include "InputKind.h"
#include "LineSource.h"
#include "common/NumberText.h"
#include "T3paReader.h"
#include "TestFiles.h"

namespace zel::clusterer {
namespace {

using testing::ScratchDir;
using Pixels = std::vector<std::tuple<int, int, double, double>>;

// Position, value and (when `withTime`) time of each pixel, for whole comparisons.
Pixels pixelsOf(const std::vector<Pixel>& pixels, bool withTime = true) {
    Pixels out;
    for (const Pixel& p : pixels) out.emplace_back(p.x, p.y, p.value, withTime ? p.time : 0.0);
    return out;
}

TEST(T3paReader, MapsMatrixIndexAndTimeAndSkipsBadLines) {
    ScratchDir dir;
    std::string path = dir.write("run.t3pa",
                                 "Index\tMatrix Index\tToA\tToT\tFToA\tOverflow\n"
                                 "0\t515\t1000\t12\t3\t0\n"
                                 "1\t 0 \t40\t7\t0\t0\r\n"
                                 "2\t99999\t41\t7\t0\t0\n"   // outside a 256 x 256 matrix
                                 "3\t17\tgarbage\n"
                                 "\n"
                                 "4\t65535\t2\t1\t15\t1");   // no line end at the end
    T3paReader reader(256, 256);
    std::string error;
    ASSERT_TRUE(reader.open(path, error)) << error;
    std::vector<Pixel> pixels;
    while (reader.readPixels(pixels, 2)) {
    }
    // 515 = 2 × 256 + 3; the time is 25 ns per ToA less 1.5625 ns per FToA.
    EXPECT_EQ(pixelsOf(pixels),
              (Pixels{{3, 2, 12, 1000 * 25.0 - 3 * 1.5625}, {0, 0, 7, 1000}, {255, 255, 1, 50 - 15 * 1.5625}}));
    EXPECT_EQ(reader.badLines(), 2);
    EXPECT_EQ(reader.firstBadLine(), 4);

    EXPECT_FALSE(reader.open(dir.file("absent.t3pa"), error));
    EXPECT_NE(error.find("absent.t3pa"), std::string::npos);
}

TEST(ClogReader, ReadsFramesAndClustersOfThreeAndFourValues) {
    ScratchDir dir;
    std::string path = dir.write("a.clog",
                                 "Frame 12 (1686735362.528850, 5.000000 s)\n"
                                 "[1, 2, 80] [2, 2, 55.5] \n"
                                 "\n"
                                 "Frame 13 (1686735367.721940, 5.000000 s)\n"
                                 "[10, 11, 12, 100.5] \n"
                                 "[300, 1, 5] [4, 4, 6] [1, 2] \n");
    ClogReader reader(256, 256);
    std::string error;
    ASSERT_TRUE(reader.open(path, error));
    FrameInfo frame;
    std::vector<Pixel> pixels;
    ASSERT_EQ(reader.next(frame, pixels), ClogItem::Frame);
    EXPECT_EQ(frame.number, 12);
    EXPECT_DOUBLE_EQ(frame.startSeconds, 1686735362.528850);
    EXPECT_DOUBLE_EQ(frame.acqSeconds, 5.0);
    ASSERT_EQ(reader.next(frame, pixels), ClogItem::Cluster);
    EXPECT_EQ(pixelsOf(pixels, false), (Pixels{{1, 2, 80, 0}, {2, 2, 55.5, 0}}));
    ASSERT_EQ(reader.next(frame, pixels), ClogItem::Frame);
    EXPECT_EQ(frame.number, 13);
    ASSERT_EQ(reader.next(frame, pixels), ClogItem::Cluster);
    EXPECT_EQ(pixelsOf(pixels), (Pixels{{10, 11, 12, 100.5}}));
    // A position outside the matrix and a group of two numbers are skipped and counted.
    ASSERT_EQ(reader.next(frame, pixels), ClogItem::Cluster);
    EXPECT_EQ(pixelsOf(pixels, false), (Pixels{{4, 4, 6, 0}}));
    EXPECT_EQ(reader.badPixels(), 2);
    EXPECT_EQ(reader.firstBadLine(), 6);
    EXPECT_EQ(reader.next(frame, pixels), ClogItem::End);
}

TEST(ClogReader, TellsTimesOfArrivalFromHitCounts) {
    ScratchDir dir;
    EXPECT_EQ(ClogReader::inspectFourthValue(dir.write("a.clog", "Frame 1 (0, 1 s)\n[1, 1, 5] \n")),
              FourthValue::Absent);
    EXPECT_EQ(ClogReader::inspectFourthValue(dir.write("b.clog", "Frame 1 (0, 1 s)\n[1, 1, 5, 3] [1, 2, 5, 7] \n")),
              FourthValue::Integer);
    EXPECT_EQ(ClogReader::inspectFourthValue(
                  dir.write("c.clog", "Frame 1 (0, 1 s)\n[1, 1, 5, 3] \n[1, 1, 5, 4] [2, 2, 9, 17.1875] \n")),
              FourthValue::TimeOfArrival);
}

TEST(FrameFileReader, ReadsOneTextFrame) {
    ScratchDir dir;
    std::string path = dir.write("f.txt", "0 0 0 0\n0 7 0 0\n0 0 0 3.5\n");
    FrameFileReader reader(4, 3);
    std::string error;
    ASSERT_TRUE(reader.open(path, error));
    std::vector<Pixel> pixels;
    FrameInfo frame;
    ASSERT_EQ(reader.next(pixels, frame, error), FrameFileReader::Result::Frame);
    EXPECT_EQ(pixelsOf(pixels, false), (Pixels{{1, 1, 7, 0}, {3, 2, 3.5, 0}}));
    EXPECT_FALSE(frame.hasStartTime);
    EXPECT_EQ(reader.next(pixels, frame, error), FrameFileReader::Result::End);
}

TEST(FrameFileReader, ReadsFramesWithDescriptorTimesAndRefusesBrokenFrames) {
    ScratchDir dir;
    std::string path = dir.write("m.pmf", "1 0\n0 0\n0 0\n0 2\n");
    dir.write("m.pmf.dsc",
              "A2\n[F0]\nType=i16 [X,C] width=2 height=2\n\"Acq time\" (\"Acquisition time [s]\"):\ndouble[1]\n"
              "0.5\n\"Start time\" (\"Acquisition start time\"):\ndouble[1]\n100.25\n\n[F1]\n"
              "\"Start time\" (\"Acquisition start time\"):\ndouble[1]\n101.0\n");
    FrameFileReader reader(2, 2);
    std::string error;
    ASSERT_TRUE(reader.open(path, error));
    EXPECT_TRUE(reader.hasDescriptor());
    std::vector<Pixel> pixels;
    FrameInfo frame;
    ASSERT_EQ(reader.next(pixels, frame, error), FrameFileReader::Result::Frame);
    EXPECT_TRUE(frame.hasStartTime);
    EXPECT_DOUBLE_EQ(frame.startSeconds, 100.25);
    EXPECT_DOUBLE_EQ(frame.acqSeconds, 0.5);
    ASSERT_EQ(reader.next(pixels, frame, error), FrameFileReader::Result::Frame);
    EXPECT_DOUBLE_EQ(frame.startSeconds, 101.0);
    EXPECT_EQ(pixelsOf(pixels, false), (Pixels{{1, 1, 2, 0}}));

    FrameFileReader broken(2, 2);
    ASSERT_TRUE(broken.open(dir.write("b.pmf", "1 0\n0 0\n0 0\n"), error));
    EXPECT_EQ(broken.next(pixels, frame, error), FrameFileReader::Result::Frame);
    EXPECT_EQ(broken.next(pixels, frame, error), FrameFileReader::Result::Error);
    EXPECT_NE(error.find("ends inside a frame"), std::string::npos);
    ASSERT_TRUE(broken.open(dir.write("c.txt", "1 0 4\n0 0\n"), error));
    EXPECT_EQ(broken.next(pixels, frame, error), FrameFileReader::Result::Error);
}

TEST(LineSource, ALineOverTheLimitStopsTheReadingAndIsNamed) {
    ScratchDir dir;
    LineSource source;
    const std::string path = dir.write("l.txt", "12345678\n" + std::string(9, '7') + "\nafter\n");
    ASSERT_TRUE(source.open(path, 4, 8));
    std::string_view line;
    ASSERT_TRUE(source.nextLine(line));
    EXPECT_EQ(line, "12345678");  // the longest line allowed, read through a buffer grown from 4 bytes
    EXPECT_FALSE(source.nextLine(line));
    EXPECT_TRUE(source.tooLong());
    EXPECT_EQ(source.tooLongText(), "line 2 of " + path + " is longer than 8 characters");
    EXPECT_FALSE(source.nextLine(line));  // nothing after it is taken

    ASSERT_TRUE(source.open(dir.write("m.txt", "ab\n" + std::string(9, 'x')), 64, 8));  // no final line end
    ASSERT_TRUE(source.nextLine(line));
    EXPECT_FALSE(source.nextLine(line));
    EXPECT_TRUE(source.tooLong());
    EXPECT_EQ(source.lineNumber(), 2);
}

TEST(T3paReader, RefusesALineOfMoreThanSixteenMegabytes) {
    ScratchDir dir;
    const std::string path =
        dir.write("long.t3pa", "Index\tMatrix Index\tToA\tToT\tFToA\tOverflow\n0\t1\t2\t3\t4\t0\n" +
                                   std::string(LineSource::kMaxLineLength + 1, '5') + "\n1\t1\t2\t3\t4\t0\n");
    T3paReader reader(256, 256);
    std::string error;
    ASSERT_TRUE(reader.open(path, error));
    std::vector<Pixel> pixels;
    EXPECT_TRUE(reader.readPixels(pixels, 100));
    EXPECT_EQ(pixels.size(), 1u);
    EXPECT_FALSE(reader.readPixels(pixels, 100));
    EXPECT_EQ(reader.failure(), "Input refused: line 3 of " + path + " is longer than 16777216 characters.");
}

TEST(ClogReader, NumbersBeyondTheirRangeAreNoFrameNumberAndNoPixel) {
    FrameInfo frame;
    ASSERT_TRUE(ClogReader::parseFrameLine("Frame 1e300 (5.5, 2 s)", frame));
    EXPECT_EQ(frame.number, 0);
    EXPECT_DOUBLE_EQ(frame.startSeconds, 5.5);
    ASSERT_TRUE(ClogReader::parseFrameLine("Frame -1e19 (1, 2 s)", frame));
    EXPECT_EQ(frame.number, 0);

    ClogReader reader(256, 256);
    std::vector<Pixel> pixels;
    EXPECT_EQ(reader.parsePixelLine("[1, 1, nan, 2] [1, 2, 5, inf] [1e300, 1, 5] [2, 2, 5, 1.5]", pixels), 3);
    EXPECT_EQ(pixelsOf(pixels), (Pixels{{2, 2, 5, 1.5}}));
}

TEST(FrameFileReader, DescriptorBlocksBeyondTheFramesOfTheFileTakeNoRoom) {
    ScratchDir dir;
    const std::string start = "\"Start time\" (\"Acquisition start time\"):\ndouble[1]\n";
    const std::string path = dir.write("d.dsc", "[F4000000000]\n" + start + "1\n[F1e300]\n" + start + "2\n[F-3]\n" +
                                                    start + "3\n[F1]\n" + start + "4\n");
    DescriptorTimes times;
    std::string error;
    ASSERT_TRUE(readDescriptorFile(path, 2, times, error));
    ASSERT_EQ(times.size(), 1u);
    EXPECT_DOUBLE_EQ(times.at(1).startSeconds, 4.0);
    // Each frame of a 2 x 2 matrix takes at least 8 bytes: 100 bytes hold at most 12 frames, 13 with a spare.
    EXPECT_EQ(FrameFileReader::frameLimit(100, 2, 2), 13);
}

TEST(OutputFile, NumbersTooLargeForTheirColumnKeepTheirValue) {
    char text[zel::kFixedChars + 1];
    for (double value : {1e300, -1.5e300, 9.1e17}) {
        *writeFixed(text, value, 4) = '\0';
        EXPECT_EQ(std::strtod(text, nullptr), value) << text;
        *writeCompact(text, value, 6) = '\0';
        EXPECT_EQ(std::strtod(text, nullptr), value) << text;
    }
}

TEST(InputKind, ByExtensionThenByContent) {
    ScratchDir dir;
    EXPECT_EQ(detectInputKind(dir.write("a.t3pa", "x")), InputKind::T3pa);
    EXPECT_EQ(detectInputKind(dir.write("a.clog", "x")), InputKind::Clog);
    EXPECT_EQ(detectInputKind(dir.write("a.pmf", "0 1\n")), InputKind::FrameMatrix);
    EXPECT_EQ(detectInputKind(dir.write("a.bmf", "x")), InputKind::Unsupported);
    EXPECT_EQ(detectInputKind(dir.write("a.t3r", "x")), InputKind::Unsupported);
    EXPECT_EQ(detectInputKind(dir.write("log.txt", "\nFrame 1 (0, 1 s)\n")), InputKind::Clog);
    EXPECT_EQ(detectInputKind(dir.write("m.txt", "0 1 2\n")), InputKind::FrameMatrix);
    EXPECT_EQ(detectInputKind(dir.write("p.dat", "Index\tMatrix Index\tToA\n")), InputKind::T3pa);
    EXPECT_EQ(detectInputKind(dir.write("w.txt", "hello world\n")), InputKind::Unknown);
    EXPECT_EQ(detectInputKind(dir.write("e.txt", "")), InputKind::Empty);
    EXPECT_EQ(detectInputKind(dir.write("e.t3pa", "")), InputKind::Empty);
    EXPECT_EQ(detectInputKind(dir.file("nothing.t3pa")), InputKind::Missing);
    EXPECT_EQ(detectInputKind(dir.file("")), InputKind::FrameDirectory);
}

}  // namespace
}  // namespace zel::clusterer
