#include "common/BoundedLine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "support/TempDir.h"

TEST(BoundedLine, ALineBeyondTheLimitStopsTheReadingWithItsNumber) {
    std::istringstream in("short\r\n" + std::string(11, 'x') + "\nnever read\n");
    zel::BoundedLines lines(in, 10);
    std::string line;
    ASSERT_EQ(lines.next(line), zel::LineRead::Line);
    EXPECT_EQ(line, "short\r");
    EXPECT_EQ(lines.next(line), zel::LineRead::TooLong);
    EXPECT_EQ(line, std::string(10, 'x'));
    EXPECT_EQ(lines.tooLongText("a.txt"), "Line 2 of a.txt is longer than 10 characters.");
    EXPECT_EQ(lines.next(line), zel::LineRead::End);
}

TEST(BoundedLine, ReadBufferIsSizedForShortFilesAndCappedForLargeOnesAndPipes) {
    zeltest::TempDir dir;
    dir.write("small.txt", std::string(10, 'a'));
    dir.write("mid.txt", std::string(1000, 'a'));
    dir.write("large.txt", std::string(5000, 'a'));
    auto sizeFor = [&](const std::string& name) {
        std::FILE* file = std::fopen(dir.file(name).c_str(), "rb");
        const size_t size = zel::readBufferSizeFor(file, 4096);
        std::fclose(file);
        return size;
    };
    EXPECT_EQ(sizeFor("small.txt"), 64u);
    EXPECT_EQ(sizeFor("mid.txt"), 1001u);
    EXPECT_EQ(sizeFor("large.txt"), 4096u);

    // A pipe has no size to go by.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::FILE* pipe = ::fdopen(ends[0], "rb");
    EXPECT_EQ(zel::readBufferSizeFor(pipe, 4096), 4096u);
    std::fclose(pipe);
    ::close(ends[1]);
}
