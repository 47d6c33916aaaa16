#include <gtest/gtest.h>

#include <cmath>

#include "Calibration.h"
#include "TestFiles.h"

namespace zel::clusterer {
namespace {

using testing::ScratchDir;
using testing::uniformMatrix;

TEST(CalibrationRoot, SolvesTheSurrogateFunction) {
    const struct {
        double a, b, c, t, tot, energy;
        bool nonReal;
    } cases[] = {
        {2, 10, 20, 3, 30, (13.0 + std::sqrt(89.0)) / 2.0, false},  // 2E² − 26E + 40 = 0: the larger root
        {1.5, 28, 30, 4, 80, (58.0 + std::sqrt(58.0 * 58.0 - 4 * 1.5 * 178)) / 3.0, false},  // a silicon pixel
        {1.5, 28, 30, 4, 0, 0.0, false},                                  // zero ToT
        {1, 0, -10, 3, 1, 0.0, true},                                     // E² − 4E + 13 = 0 has no real root
        {0, 2, 4, 1, 10, 0.5, false},                                     // a = 0 leaves −8E + 4 = 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "a=" << c.a << " ToT=" << c.tot);
        bool nonReal = !c.nonReal;
        EXPECT_NEAR(Calibration::solveEnergy(c.a, c.b, c.c, c.t, c.tot, nonReal), c.energy, 1e-12);
        EXPECT_EQ(nonReal, c.nonReal);
    }
}

TEST(CalibrationMatrices, LoadsAnyAcceptedSpellingAndLooksUpByLineAndColumn) {
    ScratchDir dir;
    dir.write("cal_A.txt", uniformMatrix(4, 3, 2.0));
    dir.write("B.TXT", uniformMatrix(4, 3, 10.0));
    dir.write("calibc.txt", uniformMatrix(4, 3, 20.0));
    dir.write("t.txt", "3 3 3 3\n3 3 3 3\n3 0 3 3\n");  // t differs at line 2 (y), column 1 (x)
    Calibration calibration;
    std::string error;
    ASSERT_TRUE(calibration.load(dir.file(""), 4, 3, error)) << error;
    bool nonReal = false;
    EXPECT_NEAR(calibration.energy(0, 0, 30, nonReal), (13.0 + std::sqrt(89.0)) / 2.0, 1e-12);
    // t = 0 at (1, 2): 2E² − 20E − 20 = 0 → E = 5 + √35.
    EXPECT_NEAR(calibration.energy(1, 2, 30, nonReal), 5.0 + std::sqrt(35.0), 1e-12);
}

TEST(CalibrationMatrices, ReportsMissingAndMalformedMatrices) {
    ScratchDir dir;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) dir.write(name, uniformMatrix(4, 3, 2.0));
    Calibration calibration;
    std::string error;
    EXPECT_FALSE(calibration.load(dir.file(""), 4, 3, error));
    EXPECT_NE(error.find("'t'"), std::string::npos) << error;
    dir.write("t.txt", "1 2 3 4\n1 2 3\n1 2 3 4\n");  // a short line
    EXPECT_FALSE(calibration.load(dir.file(""), 4, 3, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    dir.write("t.txt", uniformMatrix(4, 2, 2.0));  // a line too few
    EXPECT_FALSE(calibration.load(dir.file(""), 4, 3, error));
    EXPECT_FALSE(calibration.loaded());
    EXPECT_FALSE(calibration.load(dir.file("nowhere"), 4, 3, error));
}

}  // namespace
}  // namespace zel::clusterer
