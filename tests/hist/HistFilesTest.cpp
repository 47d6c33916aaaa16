#include "hist/HistFiles.h"
#include "common/NumberText.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace {

std::set<std::string> namesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.insert(entry.path().filename());
    return names;
}

}  // namespace

TEST(PendingFile, AppearsWholeOnCommitAndLeavesNothingElse) {
    zeltest::TempDir tmp("zel_pending");
    const std::string target = tmp.file("a.hist");
    {
        zel::PendingFile file(target);
        ASSERT_TRUE(file.write("1\t2\n"));
        EXPECT_FALSE(std::filesystem::exists(target));
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(zeltest::TempDir::read(target), "1\t2\n");
    EXPECT_EQ(namesIn(tmp.dir()), std::set<std::string>{"a.hist"});

    // A file never committed leaves the earlier target as it was, and nothing beside it.
    {
        zel::PendingFile file(target);
        ASSERT_TRUE(file.write("half"));
    }
    EXPECT_EQ(zeltest::TempDir::read(target), "1\t2\n");
    EXPECT_EQ(namesIn(tmp.dir()), std::set<std::string>{"a.hist"});
}

TEST(PendingFile, ReplacesAnEarlierTargetWithTheModeOfANewFile) {
    zeltest::TempDir tmp("zel_pending");
    const std::string target = tmp.file("b.hist_info");
    tmp.write("b.hist_info", "an earlier, longer content\n");
    const mode_t before = ::umask(022);
    zel::PendingFile file(target);
    const bool written = file.write("new\n") && file.commit();
    ::umask(before);
    ASSERT_TRUE(written);
    EXPECT_EQ(zeltest::TempDir::read(target), "new\n");
    EXPECT_EQ(namesIn(tmp.dir()), std::set<std::string>{"b.hist_info"});
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST(PendingFile, MissingDirectoryFailsWithoutLeftovers) {
    zeltest::TempDir tmp("zel_pending");
    zel::PendingFile file(tmp.file("missing/c.hist"));
    EXPECT_FALSE(file.write("x") && file.commit());
    EXPECT_TRUE(namesIn(tmp.dir()).empty());
}

TEST(HistNumber, SixDigitsWhenTheyAreExactElseTheShortestExactText) {
    // The rule itself, written plainly: "%g", read back; when that loses, the shortest text that does not.
    auto expected = [](double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%g", value);
        if (std::strtod(text, nullptr) == value || std::isnan(value)) return std::string(text);
        const auto exact = std::to_chars(text, text + sizeof text, value);
        return std::string(text, exact.ptr);
    };
    std::vector<double> values = {0.0, 3, -7, 0.1, 100000, 120000, 1200000, 1234567, 999999.5, 1e6, 1e-5, 2.5e-7,
                                  39468.948, 12763.765999999996, 1e300, -1.5e-300, 5e-324, 0.30000000000000004,
                                  std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> digits(1, 17);
    std::uniform_int_distribution<int> exponent(-12, 12);
    for (int i = 0; i < 20000; ++i) {
        // Decimal numbers of a few to seventeen digits at many scales, and sums as a map accumulates them.
        const double mantissa = std::floor(std::ldexp(static_cast<double>(random() >> 11), -53) * std::pow(10.0, digits(random)));
        values.push_back(mantissa * std::pow(10.0, exponent(random)));
        values.push_back(values.back() + 0.1 * static_cast<double>(i));
    }
    for (const double value : values) {
        char text[zel::kNumberChars];
        ASSERT_EQ(std::string(text, zel::writeRoundTrip(text, value)), expected(value)) << value;
    }
}
