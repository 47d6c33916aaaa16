#include "common/NumberText.h"
#include "common/Text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

std::string general(double v) {
    char buffer[64];
    return std::string(buffer, zel::writeGeneral6(buffer, v));
}
std::string fixed3(double v) {
    char buffer[400];
    return std::string(buffer, zel::writeFixed(buffer, v, 3));
}
std::string printfText(const char* format, double v) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, format, v);
    return buffer;
}

TEST(NumberText, FastFormattingWritesWhatPrintfWrites) {
    const double fixedCases[] = {0, -0.0, 1, 0.5, 0.15, 161.984, 1e-4, 9.99999e-5, 99999.95, 999999.5, 1e6, 123456.5,
                                 0.00012345678, -3.14159265, 1e300, 2.5e-320, 1938237231.3, 0.0005, 0.0015};
    for (double v : fixedCases) {
        EXPECT_EQ(general(v), printfText("%g", v)) << v;
        EXPECT_EQ(fixed3(v), printfText("%.3f", v)) << v;
    }
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-6, 13);
    std::uniform_int_distribution<int> decimals(0, 6);
    for (int i = 0; i < 200000; ++i) {
        double v = std::pow(10.0, exponent(random));
        const double step = std::pow(10.0, -decimals(random));
        if (i % 2 == 0) v = std::round(v / step) * step;  // values written with few decimals, as event lists hold
        if (i % 3 == 0) v = -v;
        ASSERT_EQ(general(v), printfText("%g", v)) << v;
        ASSERT_EQ(fixed3(v), printfText("%.3f", v)) << v;
    }
}

// "%g" loses nothing exactly when its text reads back as the value, within the range where it writes no exponent.
TEST(NumberText, SixDigitsReadBackWhenPrintfTextReadsBack) {
    const double cases[] = {0.1, 12.5, -161.984, 999999.4, 123456.5, 0.30000000000000004, 1e-4, 9.99999e-5, 1e-5,
                            1e6, 5e5, 0.0001234565, 39468.948, 12763.765999999996};
    std::vector<double> values(std::begin(cases), std::end(cases));
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> exponent(-5, 7);
    std::uniform_int_distribution<int> decimals(0, 9);
    for (int i = 0; i < 100000; ++i) {
        const double step = std::pow(10.0, -decimals(random));
        values.push_back(std::round(std::pow(10.0, exponent(random)) / step) * step);
        values.push_back(values.back() + values[values.size() / 2]);  // sums, as maps add values
    }
    for (double v : values) {
        const bool inRange = std::fabs(v) >= 1e-4 && std::fabs(v) < 1e6;
        const bool readsBack = std::strtod(printfText("%g", v).c_str(), nullptr) == v;
        ASSERT_EQ(zel::sixDigitsReadBack(v), inRange && readsBack) << printfText("%.17g", v);
    }
}

TEST(NumberText, NumbersOfALineAreItsNumberRuns) {
    EXPECT_EQ(zel::scanNumbers("TimeSampling = 10 // s"), (std::vector<double>{10}));
    EXPECT_EQ(zel::scanNumbers("Hist1DGraphicsRebin = 4"), (std::vector<double>{1, 4}));
    EXPECT_EQ(zel::scanNumbers("a e 2.5e3 +1 x"), (std::vector<double>{2500, 1}));
    EXPECT_EQ(zel::scanNumbers("k = 1,2;3", ".-+e", ";#"), (std::vector<double>{1, 2}));
}

}  // namespace
