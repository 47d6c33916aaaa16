#include <gtest/gtest.h>

#include <cmath>

#include "Calibration.h"
#include "TestFiles.h"

namespace zel::clusterer {
namespace {

using testing::ScratchDir;
using testing::uniformMatrix;

TEST(CalibrationRoot, LargerRootOfTheSurrogateFunction) {
    // a=2, b=10, c=20, t=3, ToT=30: 2E² − 26E + 40 = 0, roots (13 ± √89) / 2; the larger is 11.2169905...
    bool nonReal = true;
    double e = Calibration::solveEnergy(2, 10, 20, 3, 30, nonReal);
    EXPECT_FALSE(nonReal);
    EXPECT_NEAR(e, (13.0 + std::sqrt(89.0)) / 2.0, 1e-12);
    // The root reproduces the ToT.
    EXPECT_NEAR(2 * e + 10 - 20 / (e - 3), 30.0, 1e-9);

    // A typical pixel of a silicon chip: a=1.5, b=28, c=30, t=4, ToT=80: 1.5E² − 58E + 178 = 0.
    e = Calibration::solveEnergy(1.5, 28, 30, 4, 80, nonReal);
    EXPECT_NEAR(e, (58.0 + std::sqrt(58.0 * 58.0 - 4 * 1.5 * 178)) / 3.0, 1e-12);
    EXPECT_NEAR(e, 35.3055, 1e-4);
}

TEST(CalibrationRoot, ZeroToTNonRealAndLinearCases) {
    bool nonReal = true;
    EXPECT_EQ(Calibration::solveEnergy(1.5, 28, 30, 4, 0, nonReal), 0.0);
    EXPECT_FALSE(nonReal);
    // a=1, b=0, c=−10, t=3, ToT=1: E² − 4E + 13 = 0 has no real root.
    EXPECT_EQ(Calibration::solveEnergy(1, 0, -10, 3, 1, nonReal), 0.0);
    EXPECT_TRUE(nonReal);
    // a = 0 leaves (b − ToT)·E + (ToT·t − b·t − c) = 0: b=2, c=4, t=1, ToT=10 gives −8E + 4 = 0.
    EXPECT_NEAR(Calibration::solveEnergy(0, 2, 4, 1, 10, nonReal), 0.5, 1e-12);
    EXPECT_FALSE(nonReal);
}

TEST(CalibrationMatrices, LoadsAnyAcceptedSpellingAndLooksUpByLineAndColumn) {
    ScratchDir dir;
    dir.write("cal_A.txt", uniformMatrix(4, 3, 2.0));
    dir.write("B.TXT", uniformMatrix(4, 3, 10.0));
    dir.write("calibc.txt", uniformMatrix(4, 3, 20.0));
    // t differs at line 2 (y), column 1 (x).
    dir.write("t.txt", "3 3 3 3\n3 3 3 3\n3 0 3 3\n");
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
    dir.write("a.txt", uniformMatrix(4, 3, 2.0));
    dir.write("b.txt", uniformMatrix(4, 3, 2.0));
    dir.write("c.txt", uniformMatrix(4, 3, 2.0));
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
