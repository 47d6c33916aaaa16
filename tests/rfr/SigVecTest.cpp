#include "rfr/SigVec.h"

#include <gtest/gtest.h>

#include <numeric>

#include "support/LoggedDir.h"

namespace {

using zel::Hist1D;
using zel::Hist2D;
using zel::SigVec;

struct SigVecTest : ::testing::Test, zeltest::LoggedDir {
    // The three all-clusters histograms the built-in vector reads, binned like the built-in histogram set.
    Hist1D size{"Hist1D_S_Total", 5000, 0, 5000};
    Hist1D border{"Hist1D_BorderPixN_Total", 3000, 0, 3000};
    Hist1D linear{"Hist1D_Linear_Total", 200, -0.1, 1.1};

    std::vector<double> builtInVector() {
        SigVec vec(-5200, target());
        vec.UseBuiltInConfig(dir(), dir(), "_Total");
        EXPECT_EQ(vec.AddHist1D(&size), 0);
        EXPECT_EQ(vec.AddHist1D(&border), 0);
        EXPECT_EQ(vec.AddHist1D(&linear), 0);
        EXPECT_EQ(vec.Process(), 0);
        return vec.GetVector();
    }
};

TEST_F(SigVecTest, BuiltInVectorOfSinglePixelClustersIsOneZeroPattern) {
    for (int i = 0; i < 7; ++i) {
        size.Fill(1);
        border.Fill(i % 2);
        linear.Fill(0);
    }
    EXPECT_EQ(builtInVector(), (std::vector<double>{1, 0, 0, 1, 0, 0, 0, 1, 0, 0}));
}

TEST_F(SigVecTest, BuiltInVectorSharesEachVariableByBinCentre) {
    // Sizes 3, 5 (bin centre 4.5, still the first interval), 12 and 40; border counts 1, 3, 9, 30.
    for (double s : {3.0, 5.0, 12.0, 40.0}) size.Fill(s);
    for (double b : {1.0, 3.0, 9.0, 30.0}) border.Fill(b);
    for (double l : {0.2, 0.7, 0.99, 0.99}) linear.Fill(l);
    EXPECT_EQ(builtInVector(), (std::vector<double>{0.5, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25, 0.5}));
}

TEST_F(SigVecTest, UserConfigReadsHistogramFilesRebinsAndNormalisesTheWholeVector) {
    Hist1D energy("Hist1D_E_Total", 10, 0, 10);
    for (double e : {0.5, 1.5, 2.5, 3.5, 6.5, 7.5}) energy.Fill(e);
    energy.SetFileOutPath(dir());
    energy.SetFileOutName("Hist1D_E_Total");
    ASSERT_EQ(energy.Export(), 0);
    // Two bins merged into one of width 2; the second variable reads the same file with edges regrouped; the
    // interval [50, 60] lies beyond the histogram and counts 0.
    write("SigVec.ini",
          "[Input]\nFileHistIn_Path=\"" + dir() + "\"\n\n[Output]\nFileOut_Path=\"" + dir() +
              "\"\nFileOut_Name=\"Mine\"\n\n[Settings]\nDoNormalization=1\n\n"
              "[Var_Rebinned]\nHistName=\"Hist1D_E_Total\"\nRebinVal=2\nIntervals=0,4,4,10,50,60\n\n"
              "[Var_Edges]\nHistName=\"Hist1D_E_Total\"\nBinLowEdge_Rebin=0,5,10\nIntervals=0,5\n");
    SigVec vec(-5200, target());
    ASSERT_EQ(vec.LoadConfig(dir(), "SigVec.ini"), 0);
    ASSERT_EQ(vec.Process(), 0);
    // The first variable gives 4, 2, 0, scaled to 2/3, 1/3, 0; the second adds 4, and the whole vector is scaled
    // to sum 1 again.
    const std::vector<double> v = vec.GetVector();
    ASSERT_EQ(v.size(), 4u);
    EXPECT_NEAR(v[0], 2.0 / 15, 1e-12);
    EXPECT_NEAR(v[1], 1.0 / 15, 1e-12);
    EXPECT_EQ(v[2], 0.0);
    EXPECT_NEAR(v[3], 0.8, 1e-12);
    EXPECT_NEAR(std::accumulate(v.begin(), v.end(), 0.0), 1.0, 1e-12);
    EXPECT_EQ(vec.GetVarSize(), (std::vector<int>{3, 1}));
    EXPECT_NE(vec.ReportText().find("SIGNIFICANT VECTOR PROCESSING"), std::string::npos);
    EXPECT_NE(vec.ReportText().find("\n* Processing histogram: Hist1D_E_Total"), std::string::npos);
}

TEST_F(SigVecTest, ExportedVectorReadsBack) {
    SigVec vec(0, target());
    vec.UseBuiltInConfig(dir(), dir(), "_Total");
    vec.SetOutput(dir(), "Field");
    for (int i = 0; i < 3; ++i) size.Fill(30), border.Fill(1), linear.Fill(0.6);
    size.Fill(2);
    ASSERT_EQ(vec.AddHist1D(&size), 0);
    ASSERT_EQ(vec.AddHist1D(&border), 0);
    ASSERT_EQ(vec.AddHist1D(&linear), 0);
    ASSERT_EQ(vec.Process(), 0);
    ASSERT_EQ(vec.Export(), 0);
    EXPECT_EQ(read(file("Field.vec")), "0.25\n0\n0.75\n1\n0\n0\n0\n0\n1\n0\n");

    SigVec back(0, target());
    ASSERT_EQ(back.ImportVector(dir(), "Field", ".vec", ".vec_info"), 0);
    EXPECT_EQ(back.GetVector(), vec.GetVector());
    EXPECT_EQ(back.GetVarTitles(), (std::vector<std::string>{"Var_S_Total", "Var_BorderPixN_Total", "Var_Lin_Total"}));
    EXPECT_EQ(back.GetVarSize(), (std::vector<int>{3, 4, 3}));
}

TEST_F(SigVecTest, BadVectorFilesAndConfigurationsFailWithTheirCodes) {
    SigVec vec(-5200, target());
    EXPECT_EQ(vec.ImportVector(dir(), "absent", ".vec", ".vec_info"), -5308);
    EXPECT_TRUE(messages().find("Failed to load info file.") != std::string::npos);

    // A data file without a number gives an empty vector and a warning; numbers are picked out of any text.
    write("Words.vec_info", "[VecPar]\n\nLabel=\"x\"\n");
    write("Words.vec", "abc\nnone here\n");
    EXPECT_EQ(vec.ImportVector(dir(), "Words", ".vec", ".vec_info"), 0);
    EXPECT_TRUE(vec.GetVector().empty());
    EXPECT_NE(messages().find("Loaded empty vector."), std::string::npos);
    write("Words.vec", "0.5 x -1e-3\n+2\n");
    EXPECT_EQ(vec.ImportVector(dir(), "Words", ".vec", ".vec_info"), 0);
    EXPECT_EQ(vec.GetVector(), (std::vector<double>{0.5, -1e-3, 2}));
    write("Missing.vec_info", "[VecPar]\n\nLabel=\"x\"\n");
    EXPECT_EQ(vec.ImportVector(dir(), "Missing", ".vec", ".vec_info"), -5309);

    EXPECT_EQ(vec.LoadConfig(dir(), "nothing.ini"), -5301);
    EXPECT_NE(messages().find("Failed to open config file in load config function."), std::string::npos);
    write("Odd.ini", "[Var_S]\nHistName=\"Hist1D_S_Total\"\nIntervals=0,1,2\n");
    EXPECT_EQ(vec.LoadConfig(dir(), "Odd.ini"), -5302);
    write("NoHist.ini", "[Var_S]\nIntervals=0,1\n");
    EXPECT_EQ(vec.LoadConfig(dir(), "NoHist.ini"), -5302);
    EXPECT_FALSE(vec.IsInitialised());
    EXPECT_EQ(vec.Process(), -5303);
}

TEST_F(SigVecTest, MasksIntegrateATwoDimensionalHistogram) {
    Hist2D map("Hist2D_Map_Total", 2, 0, 2, 2, 0, 2);
    map.Fill(0.5, 0.5, 1);
    map.Fill(1.5, 0.5, 2);
    map.Fill(0.5, 1.5, 3);
    map.Fill(1.5, 1.5, 4);
    write("left.txt", "1 0\n1 0\n");
    write("top.txt", "0 0\n1 1\n");
    write("Map.ini", "[Var_Map]\nHistName=\"Hist2D_Map_Total\"\nMask_Left=\"" + file("left.txt") +
                         "\"\nMask_Top=\"" + file("top.txt") + "\"\n");
    SigVec vec(0, target());
    ASSERT_EQ(vec.LoadConfig(dir(), "Map.ini"), 0);
    ASSERT_EQ(vec.AddHist2D(&map), 0);
    ASSERT_EQ(vec.Process(), 0);
    // The left column holds 1 and 3 whichever way the rows run; the other mask takes one row.
    ASSERT_EQ(vec.GetVector().size(), 2u);
    EXPECT_EQ(vec.GetVector()[0], 4);
    EXPECT_TRUE(vec.GetVector()[1] == 3 || vec.GetVector()[1] == 7);
    EXPECT_EQ(vec.GetVarMean(), (std::vector<double>{-666}));
    EXPECT_EQ(vec.AddHist2D(nullptr), -106);
}

}  // namespace
