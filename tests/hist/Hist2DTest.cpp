#include "hist/Hist2D.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

#include "hist/HistTestSupport.h"

namespace {

using histtest::HistFilesTest;
using histtest::kSilent;
using histtest::raisedCode;
using testing::ElementsAre;
using testing::HasSubstr;
using zel::Hist2D;

// 4 x 3 unit bins over 0..4 and 0..3.
Hist2D smallHist() { return Hist2D("s", 4, 0.0, 4.0, 3, 0.0, 3.0, 0, kSilent); }

double regularSum(const Hist2D& h) {
    const auto& c = h.GetContents();
    return std::accumulate(c.begin() + 1, c.end() - 1, 0.0);
}

TEST(Hist2DConstruction, RaisesTheCodesInOrder) {
    EXPECT_EQ(raisedCode([] { Hist2D("h", 0, 1.0, 1.0, 0, 1.0, 1.0, 0, kSilent); }), -102);
    EXPECT_EQ(raisedCode([] { Hist2D("h", 0, 0.0, 1.0, 0, 1.0, 1.0, 0, kSilent); }), -103);
    EXPECT_EQ(raisedCode([] { Hist2D("h", 2, 0.0, 1.0, 0, 1.0, 1.0, 0, kSilent); }), -104);
    EXPECT_EQ(raisedCode([] { Hist2D("h", 2, 0.0, 1.0, 0, 0.0, 1.0, 0, kSilent); }), -105);
    EXPECT_EQ(raisedCode([] { Hist2D("h", {0.0}, {0.0, 1.0}, 0, kSilent); }), -112);
    EXPECT_EQ(raisedCode([] { Hist2D("h", {0.0, 1.0}, {}, -5300, kSilent); }), -5412);
    EXPECT_EQ(raisedCode([] { Hist2D("h", {0.0, 1.0}, {0.0, 2.0, 1.0}, 0, kSilent); }), -113);
}

TEST(Hist2DConstruction, LaysOutMixedAxes) {
    auto config = std::make_shared<zel::ConfigFile>();
    config->addSection("HistPar");
    config->addParameter("HistPar", "NbinsX", 4.0);
    config->addParameter("HistPar", "Xmin", 0.0);
    config->addParameter("HistPar", "Xmax", 8.0);
    config->addParameter("HistPar", "BinLowEdgeY", {0.0, 1.0, 10.0});
    Hist2D h(config, 0, kSilent);
    EXPECT_EQ(h.GetNBin(), 8u);
    EXPECT_THAT((std::vector{h.GetBinEquidistX(), h.GetBinEquidistY(), h.GetBinEquidist()}), ElementsAre(1, 0, 0));
    EXPECT_EQ(h.GetContents().size(), 10u);
    EXPECT_EQ(h.GetOverflowX().size(), 2u);
    EXPECT_EQ(h.GetUnderflowY().size(), 4u);
    EXPECT_EQ(h.FindBin(2.0, 5.0), std::make_pair(1, 2));
}

TEST(Hist2DFill, FlatIndexRunsAlongRowsOfConstantY) {
    Hist2D map("map", 256, 0.0, 256.0, 256, 0.0, 256.0, 0, kSilent);
    for (auto [x, y, w] : {std::tuple{0.5, 0.5, 1.0}, {255.5, 0.5, 2.0}, {0.5, 1.5, 3.0}}) map.Fill(x, y, w);
    EXPECT_THAT((std::vector{map.GetBinContent(1), map.GetBinContent(256), map.GetBinContent(257)}),
                ElementsAre(1, 2, 3));
    EXPECT_EQ(map.GetBinContent(0.5, 1.5), 3);
    // A pixel coordinate x + 1 on the upper edge lands in the bin spanning x .. x + 1.
    map.Fill(1, 1, 10);
    EXPECT_EQ(map.GetBinContent(1), 11);
}

TEST(Hist2DFill, OutsidePointsGoToTheirRowColumnOrCorner) {
    Hist2D h = smallHist();
    h.Fill(-1, 1.5);
    EXPECT_EQ(h.GetContents().front(), 0);
    // Corners: under-under, over-under, under-over, over-over; the first and last also sit at the ends of the list.
    for (auto [x, y, w] : {std::tuple{-1.0, -1.0, 2.0}, {5.0, -1.0, 1.0}, {-1.0, 5.0, 3.0}, {5.0, 5.0, 4.0}})
        h.Fill(x, y, w);
    EXPECT_THAT(h.GetOverUnderFlowXY(), ElementsAre(2, 1, 3, 4));
    EXPECT_EQ(h.GetContents().front(), 2);
    EXPECT_EQ(h.GetContents().back(), 4);
    for (auto [x, y, w] : {std::tuple{2.5, 5.0, 1.0}, {2.5, -1.0, 2.0}, {5.0, 0.5, 1.0}}) h.Fill(x, y, w);
    EXPECT_THAT(h.GetUnderflowX(), ElementsAre(0, 1, 0));
    EXPECT_THAT(h.GetOverflowY(), ElementsAre(0, 0, 1, 0));
    EXPECT_THAT(h.GetUnderflowY(), ElementsAre(0, 0, 2, 0));
    EXPECT_THAT(h.GetOverflowX(), ElementsAre(1, 0, 0));
    EXPECT_EQ(regularSum(h), 0);
    EXPECT_EQ(h.GetBinContent(-1.0, -1.0), -1);  // flat index below the list
}

TEST(Hist2DAccess, BinGeometryOfFlatIndexes) {
    Hist2D h = smallHist();
    EXPECT_EQ(h.GetBinCenter(5), std::make_pair(0.5, 1.5));
    EXPECT_EQ(h.GetBinCenter(4), std::make_pair(3.5, 0.5));
    EXPECT_EQ(h.GetBinLowEdges(6), std::make_pair(1.0, 1.0));
    EXPECT_EQ(h.GetBinHighEdges(12), std::make_pair(4.0, 3.0));
    ::testing::internal::CaptureStdout();
    h.SetMessageTarget({nullptr, true, false});
    EXPECT_EQ(h.GetBinCenter(0), std::make_pair(0.0, 0.0));
    EXPECT_EQ(h.GetBinCenter(13), std::make_pair(0.0, 0.0));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Problem with GetBinCenter - i_Bin 0 is incorrect.\nProblem with GetBinCenter - i_Bin 13 is incorrect.\n");
}

TEST(Hist2DArithmetic, MultiplyNeedsEqualSizes) {
    Hist2D h = smallHist();
    h.Fill(0.5, 0.5, 3);
    h.Fill(1.5, 0.5, 2);
    Hist2D other = smallHist(), bigger("b", 5, 0.0, 5.0, 3, 0.0, 3.0, 0, kSilent);
    other.Fill(0.5, 0.5, 4);
    bigger.Fill(0.5, 0.5, 7);
    ASSERT_EQ(h.Multiply(other), 0);
    EXPECT_EQ(h.Multiply(bigger), -1);  // and leaves the contents alone
    EXPECT_EQ(h.GetBinContent(1), 12);
    EXPECT_EQ(h.GetBinContent(2), 0);
}

TEST(Hist2DArithmetic, NormalizeAndClear) {
    Hist2D h = smallHist();
    for (auto [x, y, w] : {std::tuple{0.5, 0.5, 3.0}, {3.5, 2.5, 1.0}, {-1.0, -1.0, 2.0}, {-1.0, 0.5, 5.0}})
        h.Fill(x, y, w);
    ASSERT_EQ(h.Normalize(1), 0);
    EXPECT_EQ(h.GetBinContent(1), 0.75);
    EXPECT_EQ(h.GetBinContent(12), 0.25);
    EXPECT_EQ(h.GetContents().front(), 0.5);  // corner entry scaled with the rest
    EXPECT_THAT(h.GetUnderflowX(), ElementsAre(0, 0, 0));
    EXPECT_EQ(h.GetOverUnderFlowXY()[0], 0);
    EXPECT_EQ(smallHist().Normalize(1), -1);

    h.Fill(-1, 1.5);
    h.ClearContents(false);
    EXPECT_EQ(regularSum(h), 0);
    EXPECT_THAT(h.GetUnderflowX(), ElementsAre(0, 1, 0));
    h.ClearContents(true);
    EXPECT_THAT(h.GetUnderflowX(), ElementsAre(0, 0, 0));
}

TEST(Hist2DStatistics, ProfilesCarryTheAxisStatistics) {
    Hist2D h = smallHist();
    for (auto [x, y, w] : {std::tuple{0.5, 0.5, 1.0}, {2.5, 0.5, 2.0}, {2.5, 2.5, 1.0}}) h.Fill(x, y, w);
    ASSERT_EQ(h.ProfileX(), 0);
    ASSERT_EQ(h.ProfileY(), 0);
    ASSERT_NE(h.GetProfileX(), nullptr);
    EXPECT_EQ(h.GetProfileX()->GetTitle(), "ProfileX");
    EXPECT_THAT(h.GetProfileX()->GetContents(), ElementsAre(0, 1, 0, 3, 0, 0));
    EXPECT_THAT(h.GetProfileY()->GetContents(), ElementsAre(0, 3, 0, 1, 0));
    EXPECT_DOUBLE_EQ(h.GetMeanX(), 2.0);
    EXPECT_DOUBLE_EQ(h.GetStdX(), 1.0);
    EXPECT_DOUBLE_EQ(h.GetMeanY(), 1.0);
    EXPECT_DOUBLE_EQ(h.GetMeanXErr(), 0.5);
    // A refill follows new contents.
    h.Fill(3.5, 0.5, 4);
    ASSERT_EQ(h.ProfileX(), 0);
    EXPECT_DOUBLE_EQ(h.GetMeanX(), (0.5 + 7.5 + 14) / 8);
}

TEST_F(HistFilesTest, MatrixFileFillsTheContentsRowByRow) {
    Hist2D h = smallHist();
    h.SetMessageTarget(quiet);
    writeFile("m.txt", "1 2 3 4\n5\t6\t7\t8\n9 10 11 12\n");
    ASSERT_TRUE(h.LoadHist_OnlyCont_FromMatrix(directory() + "m.txt"));
    EXPECT_THAT(h.GetContents(), ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0));
    EXPECT_EQ(h.GetBinContent(3.5, 1.5), 8);

    writeFile("bad.txt", "1 2 3 4\n5 6 7\n9 10 11 12\n");
    EXPECT_FALSE(h.LoadHist_OnlyCont_FromMatrix(directory() + "bad.txt"));
    EXPECT_THAT(logText(), HasSubstr("different number of bin contents in lines: 4 and 3"));
    writeFile("shape.txt", "1 2 3\n4 5 6\n7 8 9\n");
    EXPECT_FALSE(h.LoadHist_OnlyCont_FromMatrix(directory() + "shape.txt"));
    EXPECT_FALSE(h.LoadHist_OnlyCont_FromMatrix(directory() + "none.txt"));
    EXPECT_EQ(h.GetBinContent(12), 12);
}

TEST_F(HistFilesTest, MatrixExportWritesRowsAndTheNonEmptyRange) {
    Hist2D h = smallHist();
    h.Fill(1.5, 0.5, 1.5);
    h.Fill(2.5, 1.5, 2);
    h.SetFileOutPath(directory());
    h.SetFileOutName("mat");
    ASSERT_EQ(h.ExportMatrix(false), 0);
    EXPECT_EQ(readFile("mat.txt"), "0\t1.500\t0\t0\t\n0\t0\t2.000\t0\t\n0\t0\t0\t0\t\n");
    ASSERT_EQ(h.ExportMatrix(true), 0);
    EXPECT_EQ(readFile("mat.txt"), "1.500\t0\t\n0\t2.000\t\n");
    // A content in the last column and row widens the range to the matrix edge.
    h.Fill(3.5, 2.5, 3);
    ASSERT_EQ(h.ExportMatrix(true), 0);
    EXPECT_EQ(readFile("mat.txt"), "1.500\t0\t0\t\n0\t2.000\t0\t\n0\t0\t3.000\t\n");
}

TEST_F(HistFilesTest, SparseFilesWithLimitsThatGiveNoWidthLoadNoBinOutsideTheMatrix) {
    // Equal, reversed and unreadable Y limits of an information file, and positions that are no numbers or lie
    // far outside: none may reach a bin before or after the matrix.
    const std::string data = "0 0 5\n1 0 6\n0 1 7\nnan nan 8\n-1e300 5 9\n4 3 0\n";
    for (const char* limits : {"Ymin=0\nYmax=0\n", "Ymin=3\nYmax=0\n", "Ymin=0\nYmaf=3\n", "Ymin=0\nYmax=3\n"}) {
        SCOPED_TRACE(limits);
        writeFile("h.hist_info", std::string("[HistPar]\nTitle=\"s\"\nNBin=12\nBinEquidist=1\nNBinX=4\nXmin=0\nXmax=4\n"
                                             "BinEquidistX=1\nNBinY=3\n") + limits + "BinEquidistY=1\n");
        writeFile("h.hist", data);
        const int code = zeltest::codeOf([&] {
            Hist2D h(directory(), "h", ".hist", ".hist_info", 0, kSilent);
            // Only the usable limits take the three bins that lie inside.
            EXPECT_EQ(h.GetBinContent(0.5, 0.5), 5);
            EXPECT_EQ(h.GetBinContent(1.5, 0.5), 6);
            EXPECT_EQ(h.GetBinContent(0.5, 1.5), 7);
            return 0;
        });
        if (std::string(limits) != "Ymin=0\nYmax=3\n") {
            EXPECT_NE(code, 0);
        }
    }
}

TEST_F(HistFilesTest, HistogramsWithMoreBinsThanAllowedAreRefusedNotAllocated) {
    // 10^10 bins (beyond 32 bits), and bin counts no int holds in an information file.
    EXPECT_NE(raisedCode([] { Hist2D h("big", 100000, 0.0, 1.0, 100000, 0.0, 1.0, 0, kSilent); }), 0);
    for (const char* counts : {"NBinX=4\nNBinY=305000000000000002\n", "NBinX=100000\nNBinY=100000\n"}) {
        SCOPED_TRACE(counts);
        writeFile("h.hist_info", std::string("[HistPar]\nTitle=\"s\"\nBinEquidist=1\n") + counts +
                                     "Xmin=0\nXmax=4\nBinEquidistX=1\nYmin=0\nYmax=3\nBinEquidistY=1\n");
        writeFile("h.hist", "0 0 5\n");
        EXPECT_NE(zeltest::codeOf([&] {
                      Hist2D h(directory(), "h", ".hist", ".hist_info", 0, kSilent);
                      return 0;
                  }),
                  0);
    }
}

TEST_F(HistFilesTest, SparseMapRoundTripsWithFlows) {
    Hist2D h("Hist2D_EMap_Total", 256, 0.0, 256.0, 256, 0.0, 256.0, 0, quiet);
    h.SetAxisTitles({"X [px]", "Y [px]", "E [keV]"});
    for (auto [x, y, w] : {std::tuple{10.5, 20.5, 1234.5678}, {200.5, 100.5, 3.0}, {-1.0, 5.5, 2.0}, {300.0, 300.0, 6.0},
                           {7.5, 999.0, 1.0}, {1.5, 0.5, 4.25}})
        h.Fill(x, y, w);
    ASSERT_EQ(exportAs(h, "map"), 0);
    EXPECT_EQ(lines("map.hist").size(), 6u);  // three anchor bins (one filled), two filled bins, the last line
    EXPECT_THAT(files(), ElementsAre("map.hist", "map.hist_info"));

    Hist2D back(directory(), "map", ".hist", ".hist_info", 0, quiet);
    EXPECT_EQ(back.GetTitle(), "Hist2D_EMap_Total");
    EXPECT_EQ(back.GetNBinX(), 256);
    EXPECT_EQ(back.GetContents(), h.GetContents());
    EXPECT_EQ(back.GetLowEdgesX(), h.GetLowEdgesX());
    EXPECT_EQ(back.GetUnderflowX(), h.GetUnderflowX());
    EXPECT_EQ(back.GetOverflowY(), h.GetOverflowY());
    EXPECT_EQ(back.GetOverUnderFlowXY(), h.GetOverUnderFlowXY());
    EXPECT_EQ(back.GetBinContent(10.5, 20.5), 1234.5678);
    EXPECT_EQ(back.GetBinContent(1.5, 0.5), 4.25);
}

TEST_F(HistFilesTest, SparseMapWithOneEmptyBinRoundTrips) {
    // A 256 x 256 map with every bin filled but one: its sparse file has as many lines as bins. The empty bin is
    // tried after the anchors and as the very last bin; with none empty the sparse file is the full one.
    for (const auto& [emptyX, emptyY] : {std::pair{3, 1}, {100, 200}, {256, 256}, {0, 0}}) {
        SCOPED_TRACE(std::to_string(emptyX) + "," + std::to_string(emptyY));
        Hist2D h("map", 256, 0.0, 256.0, 256, 0.0, 256.0, 0, quiet);
        for (int y = 1; y <= 256; ++y)
            for (int x = 1; x <= 256; ++x)
                if (x != emptyX || y != emptyY) h.Fill(x - 0.5, y - 0.5, x + 1000.0 * y);
        ASSERT_EQ(exportAs(h, "map"), 0);
        EXPECT_EQ(lines("map.hist").size(), emptyX == 0 ? 65537u : 65536u);
        Hist2D back(directory(), "map", ".hist", ".hist_info", 0, quiet);
        EXPECT_EQ(back.GetContents(), h.GetContents());
        EXPECT_EQ(back.GetLowEdgesX(), h.GetLowEdgesX());
        EXPECT_EQ(back.GetLowEdgesY(), h.GetLowEdgesY());
    }
}

TEST_F(HistFilesTest, InformationFileLimitsAgreeWithTheDataFile) {
    Hist2D h("far", 4, 416431.97, 416435.97, 2, -0.1, 0.1, 0, quiet);
    h.Fill(416432.5, 0.05, 1.5);
    ASSERT_EQ(exportAs(h, "far"), 0);
    const std::string info = readFile("far.hist_info");
    EXPECT_THAT(info, HasSubstr("Xmin=416431.97\n"));
    EXPECT_THAT(info, HasSubstr("Xmax=416435.97\n"));
    EXPECT_THAT(info, HasSubstr("Ymin=-0.1\n"));
    EXPECT_EQ(lines("far.hist").back(), "416435.97\t0.1\t0");
    Hist2D back(directory(), "far", ".hist", ".hist_info", 0, quiet);
    EXPECT_EQ(back.GetContents(), h.GetContents());
    EXPECT_EQ(back.GetLowEdgesX(), h.GetLowEdgesX());
}

TEST_F(HistFilesTest, LargeSparseMatrixFindsBinsFarApartPassingOverUnwrittenPages) {
    // 500 x 500 bins filled at three places away from the anchors, as sparse or as dense (huge-page) contents.
    for (const zel::Filling filling : {zel::Filling::Sparse, zel::Filling::Dense}) {
        Hist2D h("big", 500, 0.0, 100000.0, 500, 0.0, 1000.0, 0, quiet);
        h.SetBinFilling(filling);
        for (auto [x, y] : {std::pair{1150.0, 11.0}, {50000.5, 500.5}, {99999.0, 999.0}}) h.Fill(x, y);
        h.ComputeStatistics();
        EXPECT_DOUBLE_EQ(h.GetMeanX(), (1100.0 + 50100.0 + 99900.0) / 3);
        EXPECT_DOUBLE_EQ(h.GetMeanY(), (11.0 + 501.0 + 999.0) / 3);
        ASSERT_EQ(exportAs(h, "big"), 0);
        EXPECT_THAT(lines("big.hist"), ElementsAre("0\t0\t0", "200\t0\t0", "0\t2\t0", "1000\t10\t1",
                                                   "50000\t500\t1", "99800\t998\t1", "100000\t1000\t0"));
        Hist2D back(directory(), "big", ".hist", ".hist_info", 0, quiet);
        EXPECT_EQ(back.GetContents(), h.GetContents());
    }
}

TEST_F(HistFilesTest, VariableAxesRoundTripThroughFullFiles) {
    Hist2D h("var", {0.1, 0.105, 0.11025, 1234.56789}, {-1, 0, 2.5}, 0, quiet);
    for (auto [x, y, w] : {std::tuple{0.102, -0.5, 2.0}, {1000.0, 1.0, 5.0}, {0.01, 0.01, 1.0}, {5000.0, 9.0, 3.0}})
        h.Fill(x, y, w);
    ASSERT_EQ(exportAs(h, "var"), 0);
    EXPECT_EQ(lines("var.hist").size(), 7u);
    const std::string info = readFile("var.hist_info");
    EXPECT_THAT(info, HasSubstr("BinLowEdgeX="));
    EXPECT_THAT(info, HasSubstr("[HistCont]\n\nOverUnderFlowXY=0,0,0,3\nOverflowX=0,0\nUnderflowX=0,1\n"));

    Hist2D back(directory(), "var", ".hist", ".hist_info", 0, quiet);
    EXPECT_EQ(back.GetBinEquidist(), 0);
    EXPECT_EQ(back.GetLowEdgesX(), h.GetLowEdgesX());
    EXPECT_EQ(back.GetLowEdgesY(), h.GetLowEdgesY());
    EXPECT_EQ(back.GetContents(), h.GetContents());
    EXPECT_EQ(back.GetUnderflowX(), h.GetUnderflowX());
    EXPECT_EQ(back.FindBin(1234.56789, 2.5), std::make_pair(3, 2));
}

TEST(Hist2DPrint, WritesParametersFlowsAndStatistics) {
    Hist2D h("p", 2, 0.0, 2.0, 1, 0.0, 1.0, 0, kSilent);
    h.Fill(1.5, 0.5, 2);
    ::testing::internal::CaptureStdout();
    h.Print();
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_THAT(text, HasSubstr("[HistPar]\n\nTitle\tp\nName\tHistogram2D\nNBin\t2\nBinEquidist\t1\nNBinX\t2\n"));
    EXPECT_THAT(text, HasSubstr("AxisTitle:\t|X|Y|N|\n"));
    EXPECT_THAT(text, HasSubstr("Index\tLowEdgeX\tLowEdgeY\tCont\n1\t0.000000\t0.000000\t0.000000\n"
                                "2\t1.000000\t0.000000\t2.000000\n"));
    EXPECT_THAT(text, HasSubstr("[UndeOverFlow]\n\nv_OverflowX\t\t0.000000\t\n"));
    EXPECT_THAT(text, HasSubstr("MeanX\t\t1.500000\n"));
}

}  // namespace
