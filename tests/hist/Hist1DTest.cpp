#include "hist/Hist1D.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "hist/HistTestSupport.h"

namespace {

using histtest::HistFilesTest;
using histtest::kSilent;
using histtest::raisedCode;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using zel::ConfigFile;
using zel::Hist1D;

Hist1D tenBins() { return Hist1D("h", 10, 0.0, 10.0, 0, kSilent); }
// Ten unit bins holding 1 .. 10.
Hist1D ramp() {
    Hist1D h = tenBins();
    for (int i = 0; i < 10; ++i) h.Fill(i + 0.5, i + 1);
    return h;
}

TEST(Hist1DConstruction, RaisesTheCodeOfEachRejectedArgument) {
    EXPECT_EQ(raisedCode([] { Hist1D("h", 10, 5.0, 5.0, 0, kSilent); }), -102);
    EXPECT_EQ(raisedCode([] { Hist1D("h", 0, 0.0, 1.0, 0, kSilent); }), -103);
    EXPECT_EQ(raisedCode([] { Hist1D("h", std::vector<double>{1.0}, 0, kSilent); }), -107);
    // Edges that do not rise cannot be searched: the check fails and the constructor raises its own code.
    EXPECT_EQ(raisedCode([] { Hist1D("h", std::vector<double>{0, 2, 1}, 0, kSilent); }), -108);
    // Equal bins narrower than the spacing of doubles at their limits: the computed edges do not rise either.
    EXPECT_NE(raisedCode([] { Hist1D("h", 64, 1e17, 1e17 + 512, 0, kSilent); }), 0);
    EXPECT_EQ(raisedCode([] { Hist1D("h", 16, 1e17, 1e17 + 512, 0, kSilent); }), 0);
    // Codes move with the error-code base.
    EXPECT_EQ(raisedCode([] { Hist1D("h", 10, 1.0, 0.0, -5100, kSilent); }), -5202);
    EXPECT_EQ(raisedCode([] { Hist1D(std::shared_ptr<ConfigFile>{}, 0, kSilent); }), -109);
}

TEST(Hist1DConstruction, EdgesOfEqualAndVariableBins) {
    Hist1D v("v", std::vector<double>{0, 1, 3}, 0, kSilent);
    EXPECT_EQ(v.GetBinEquidist(), 0);
    EXPECT_THAT(v.GetLowEdges(), ElementsAre(0, 0, 1, 3));
    EXPECT_EQ(v.GetContents().size(), 4u);
    EXPECT_DOUBLE_EQ(v.GetBinCenter(2), 2.0);
    // Equal bins end exactly on xmax.
    Hist1D e("e", 200, -0.1, 1.1, 0, kSilent);
    ASSERT_EQ(e.GetLowEdges().size(), 202u);
    EXPECT_EQ(e.GetLowEdges()[0], -0.1);
    EXPECT_EQ(e.GetLowEdges()[1], -0.1);
    EXPECT_EQ(e.GetLowEdges().back(), 1.1);
    EXPECT_DOUBLE_EQ(e.GetBinWidth(), 0.006);
    // Edges in between are Xmin plus whole widths, whether listed or computed.
    EXPECT_EQ(e.GetLowEdges()[2], -0.1 + e.GetBinWidth());
    EXPECT_EQ(e.GetLowEdges()[200], -0.1 + 199 * e.GetBinWidth());
    EXPECT_EQ(e.GetBinLowEdge(101), -0.1 + 100 * e.GetBinWidth());
    EXPECT_EQ(e.GetBinLowEdge(202), 0);  // outside the list
}

TEST(Hist1DConstruction, FromConfigurationInMemory) {
    auto config = std::make_shared<ConfigFile>();
    config->addSection("HistPar");
    config->addParameter("HistPar", "Title", "Hist1D_S_Total");
    config->addParameter("HistPar", "Nbins", 4.0);
    config->addParameter("HistPar", "xmin", 0.0);
    config->addParameter("HistPar", "Xmax", 8.0);
    config->addParameter("HistPar", "DoLogY", 1.0);
    Hist1D h(config, 0, kSilent);
    EXPECT_EQ(h.GetTitle(), "Hist1D_S_Total");
    EXPECT_EQ(h.GetBinEquidist(), 1);
    EXPECT_TRUE(h.GetDoLogY());
    EXPECT_EQ(h.FindBin(3.0), 2);

    auto variable = std::make_shared<ConfigFile>();
    variable->addSection("HistPar");
    variable->addParameter("HistPar", "BinLowEdge", {2.0, 2.1, 2.21, 2.32});
    Hist1D v(variable, 0, kSilent);
    EXPECT_EQ(v.GetNBin(), 3);
    EXPECT_EQ(v.GetBinEquidist(), 0);
    EXPECT_EQ(v.GetXmax(), 2.32);
}

TEST(Hist1DFindBin, BinsAreOpenBelowAndClosedAbove) {
    const Hist1D equal = tenBins(), fine("f", 10, 0.0, 1.0, 0, kSilent);
    const Hist1D variable("v", std::vector<double>{0, 1, 3, 7}, 0, kSilent);
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const struct {
        const Hist1D& h;
        double x;
        int bin;
    } cases[] = {{equal, 0, 1},    {equal, 1, 1},      {equal, 1.0000001, 2}, {equal, 10, 10},   {equal, 10.5, 11},
                 {equal, -0.1, 0}, {equal, -6666, 0},  {equal, nan, 0},       {equal, inf, 11},  {variable, 0, 1},
                 {variable, 1, 1}, {variable, 1.5, 2}, {variable, 3, 2},      {variable, 7, 3},  {variable, 7.01, 4},
                 {variable, -1, 0},
                 // 0.3 / 0.1 is not exactly 3 in binary; the value still sits on the upper edge of bin 3.
                 {fine, 0.3, 3},   {fine, 0.30000001, 4}};
    for (const auto& c : cases) EXPECT_EQ(c.h.FindBin(c.x), c.bin) << c.h.GetTitle() << " at " << c.x;

    const Hist1D e("e", 200, -0.1, 1.1, 0, kSilent);
    const auto& edges = e.GetLowEdges();
    for (int step = 1; step <= 12000; ++step) {
        const double x = -0.1 + step * 1e-4;
        const int bin = e.FindBin(x);
        ASSERT_TRUE(bin >= 1 && bin <= 200) << x;
        // Within rounding of the edge itself.
        EXPECT_TRUE(x > edges[bin] - 1e-12 && x <= edges[bin + 1] + 1e-12) << x;
    }
}

TEST(Hist1DFindBin, VariableBinsAgreeWithASearchOfTheEdges) {
    // Bin counts of every parity, on each edge, just above it and between edges: the bin whose upper edge is the
    // first at or above the value.
    for (int bins : {1, 2, 3, 4, 7, 250}) {
        std::vector<double> edges;
        for (int k = 0; k <= bins; ++k) edges.push_back(2.0 * std::pow(1.05, k));
        const Hist1D h("v", edges, 0, kSilent);
        std::vector<double> values;
        for (size_t k = 0; k < edges.size(); ++k) {
            values.push_back(edges[k]);
            values.push_back(std::nextafter(edges[k], 1e9));
            if (k + 1 < edges.size()) values.push_back(0.5 * (edges[k] + edges[k + 1]));
        }
        for (double x : values) {
            const int expected = x > edges.back() ? bins + 1
                                 : x == edges.front()
                                     ? 1
                                     : static_cast<int>(std::lower_bound(edges.begin() + 1, edges.end(), x) - edges.begin());
            EXPECT_EQ(h.FindBin(x), expected) << bins << " bins at " << x;
        }
    }
}

TEST(Hist1DFill, RoutesUnderAndOverflowIntoCopiesOfTheirOwn) {
    Hist1D h = tenBins();
    h.Fill(-1);
    h.Fill(11, 2.5);
    h.Fill(3.5);
    h.Fill(3.7, 0.5);
    EXPECT_THAT(h.GetContents(), ElementsAre(1, 0, 0, 0, 1.5, 0, 0, 0, 0, 0, 0, 2.5));
    EXPECT_EQ(h.GetUnderflow(), 1);
    EXPECT_EQ(h.GetOverflow(), 2.5);
    EXPECT_EQ(h.GetBinContent(11), 2.5);
    EXPECT_EQ(h.GetBinContent(12), -1);
    h.SetBinContent(0, 7);
    EXPECT_EQ(h.GetUnderflow(), 7);
    Hist1D copy = h;
    copy.Fill(3.5);
    EXPECT_EQ(h.GetBinContent(4), 1.5);
}

TEST(Hist1DStatistics, ComputedByHand) {
    Hist1D single = tenBins();
    single.Fill(4.2);
    single.ComputeStatistics();
    EXPECT_DOUBLE_EQ(single.GetMean(), 4.5);
    EXPECT_EQ(single.GetStd() + single.GetMeanErr() + single.GetStdErr(), 0);  // one bin has no spread

    Hist1D h("s", 4, 0.0, 4.0, 0, kSilent);
    for (double x : {0.5, 1.5, 1.5, 2.5, -3.0}) h.Fill(x);  // underflow does not count
    h.ComputeStatistics();
    // N = 4, mean 1.5, m2 = m4 = (1 + 0 + 1) / 3.
    const double std = std::sqrt(2.0 / 3.0);
    EXPECT_DOUBLE_EQ(h.GetMean(), 1.5);
    EXPECT_DOUBLE_EQ(h.GetStd(), std);
    EXPECT_DOUBLE_EQ(h.GetMeanErr(), std / 2);
    EXPECT_DOUBLE_EQ(h.GetStdErr(), std::sqrt((2.0 / 3 - 1.0 / 3 * 4.0 / 9) / 4) / (2 * std));
    // Fills after a computation are part of the next one.
    h.Fill(3.5, 4);
    h.ComputeStatistics();
    EXPECT_DOUBLE_EQ(h.GetMean(), (0.5 + 3 + 2.5 + 14) / 8);
}

TEST(Hist1DStatistics, IntegralExtremesAndRange) {
    Hist1D h = tenBins();
    for (auto [x, w] : {std::pair{2.5, 3.0}, {4.5, 5.0}, {6.5, 5.0}, {7.5, 1.0}}) h.Fill(x, w);
    EXPECT_EQ(h.Integral(), 14);
    EXPECT_EQ(h.Integral(4, 7), 10);  // centres 4.5, 5.5, 6.5
    EXPECT_EQ(h.GetIntegral(), 10);
    EXPECT_EQ(h.GetMaximumBin(), 7);  // tie of 5 goes to the last bin
    EXPECT_EQ(h.GetMaximumBin(0, 5), 5);
    EXPECT_EQ(h.GetMinimumBin(), 8);  // empty bins do not count
    EXPECT_EQ(h.GetMaximumBin(5, 1), 0);
    EXPECT_THAT(h.XRange(), ElementsAre(2, 8));
    EXPECT_THAT(h.GetAutoRange(), ElementsAre(2, 8));
    EXPECT_THAT(tenBins().XRange(), ElementsAre(0, 10));
}

TEST(Hist1DNormalize, DividesByTheNearestWholeNumberOfEntries) {
    Hist1D h = tenBins();
    for (double x : {1.5, 2.5, 2.5, 9.5}) h.Fill(x);
    h.Fill(-1, 2);
    ASSERT_EQ(h.Normalize(1), 0);
    EXPECT_EQ(h.GetBinContent(3), 0.5);
    EXPECT_EQ(h.GetBinContent(0), 0.5);  // the underflow entry is scaled too
    EXPECT_EQ(h.GetUnderflow(), 0);
    EXPECT_EQ(h.Normalize(0.5), -2);
    EXPECT_EQ(tenBins().Normalize(1), -1);
    // Weights 1.2 + 1.2 count as two entries, a lone 0.3 as one.
    for (auto [weight, fills, expected] : {std::tuple{1.2, 2, 0.6}, {0.3, 1, 0.3}}) {
        Hist1D partial = tenBins();
        for (int i = 0; i < fills; ++i) partial.Fill(1.5 + i, weight);
        ASSERT_EQ(partial.Normalize(1), 0);
        EXPECT_DOUBLE_EQ(partial.GetBinContent(2), expected);
    }
}

TEST(Hist1DRebin, WholeRunsKeepEqualBins) {
    Hist1D h = ramp();
    h.Fill(-1, 4);
    h.Fill(20, 6);
    ASSERT_EQ(h.Rebin(2), 0);
    EXPECT_EQ(h.GetBinEquidist(), 1);
    EXPECT_EQ(h.GetBinWidth(), 2);
    EXPECT_THAT(h.GetContents(), ElementsAre(4, 3, 7, 11, 15, 19, 6));
    EXPECT_THAT(h.GetLowEdges(), ElementsAre(0, 0, 2, 4, 6, 8, 10));
    EXPECT_EQ(h.FindBin(2), 1);
    EXPECT_EQ(h.FindBin(2.1), 2);
    EXPECT_EQ(h.Rebin(1), -1);
}

TEST(Hist1DRebin, RemainderFormsANarrowerCountedLastBin) {
    Hist1D h = ramp();
    ASSERT_EQ(h.Rebin(3), 0);
    EXPECT_EQ(h.GetBinEquidist(), 0);
    EXPECT_EQ(h.GetXmax(), 10);
    EXPECT_THAT(h.GetContents(), ElementsAre(0, 6, 15, 24, 10, 0));
    EXPECT_THAT(h.GetLowEdges(), ElementsAre(0, 0, 3, 6, 9, 10));
    EXPECT_EQ(h.FindBin(10), 4);
    EXPECT_EQ(h.FindBin(10.1), 5);
    EXPECT_EQ(h.Integral(), 55);
}

TEST(Hist1DRebin, ToEdgesCollectsByBinCentre) {
    Hist1D h = ramp();
    h.Fill(-1, 100);
    ASSERT_EQ(h.RebinToEdges({2, 5, 9}), 0);
    EXPECT_EQ(h.GetXmin(), 2);
    EXPECT_THAT(h.GetContents(), ElementsAre(103, 12, 30, 10));
    EXPECT_EQ(h.GetUnderflow(), 103);
    EXPECT_EQ(h.GetOverflow(), 10);
    EXPECT_EQ(h.FindBin(5), 1);
    EXPECT_EQ(h.FindBin(5.5), 2);
}

TEST(Hist1DRebin, ToEdgesRefusesBadEdgesAndKeepsTheHistogram) {
    Hist1D h = ramp();
    const auto before = h.GetContents();
    EXPECT_EQ(h.RebinToEdges({5}), -2);
    EXPECT_EQ(h.RebinToEdges({-1, 5}), -3);
    EXPECT_EQ(h.RebinToEdges({0, 11}), -4);
    ::testing::internal::CaptureStdout();
    h.SetMessageTarget({nullptr, true, false});
    EXPECT_EQ(h.RebinToEdges({0, 0.2, 10}), -5);
    EXPECT_THAT(::testing::internal::GetCapturedStdout(),
                HasSubstr("[ERROR] one rebin bin is finer than original binning!\n"));
    EXPECT_EQ(h.GetContents(), before);
    EXPECT_EQ(h.GetNBin(), 10);
}

TEST_F(HistFilesTest, EqualBinsRoundTripThroughFullFiles) {
    Hist1D h("Hist1D_E_EqBin_Total", 8, -0.1, 1.1, 0, quiet);
    h.SetAxisTitles({"E [keV]", "N [-]"});
    for (auto [x, w] : {std::pair{0.05, 1234567.25}, {0.6, 3.0}, {-5.0, 2.0}, {5.0, 7.0}}) h.Fill(x, w);
    h.SetDoSparseExport(false);
    ASSERT_EQ(exportAs(h, "eq"), 0);
    EXPECT_EQ(lines("eq.hist").size(), 9u);
    EXPECT_THAT(files(), ElementsAre("eq.hist", "eq.hist_info"));

    Hist1D back(directory(), "eq", ".hist", ".hist_info", 0, quiet);
    EXPECT_EQ(back.GetTitle(), "Hist1D_E_EqBin_Total");
    EXPECT_THAT(back.GetAxisTitles(), ElementsAre("E [keV]", "N [-]"));
    EXPECT_EQ(back.GetBinEquidist(), 1);
    EXPECT_EQ(back.GetLowEdges(), h.GetLowEdges());
    EXPECT_EQ(back.GetContents(), h.GetContents());
    EXPECT_EQ(back.GetUnderflow(), 2);
    EXPECT_EQ(back.GetOverflow(), 7);
    EXPECT_EQ(back.FindBin(0.05), 1);
    back.ComputeStatistics();
    EXPECT_DOUBLE_EQ(back.GetMean(), h.GetMean());
}

TEST_F(HistFilesTest, VariableBinsRoundTripWithTheirEdges) {
    Hist1D h("var", std::vector<double>{2, 2.1, 2.21, 2.32, 416431.97}, 0, quiet);
    for (auto [x, w] : {std::pair{2.05, 2.0}, {300000.0, 5.0}, {1.0, 3.0}, {1e6, 4.0}}) h.Fill(x, w);
    ASSERT_EQ(exportAs(h, "var"), 0);  // sparse export is off for variable bins
    EXPECT_EQ(lines("var.hist").size(), 5u);
    EXPECT_THAT(readFile("var.hist_info"), HasSubstr("BinLowEdge="));

    Hist1D back(directory(), "var", ".hist", ".hist_info", 0, quiet);
    EXPECT_EQ(back.GetBinEquidist(), 0);
    EXPECT_EQ(back.GetLowEdges(), h.GetLowEdges());
    EXPECT_EQ(back.GetContents(), h.GetContents());
    EXPECT_EQ(back.FindBin(416431.97), 4);
}

TEST_F(HistFilesTest, SparseFileKeepsFirstBinsNonEmptyBinsAndOverflow) {
    // In 200 000 bins filled at three places the pages between were never written and are passed over; every filled
    // bin must still be counted and written.
    const struct {
        int bins;
        double xmax;
        std::vector<std::pair<double, double>> fills;
        double integral, mean;
        std::vector<std::string> lines;
    } cases[] = {
        {10, 10.0, {{6.5, 4}, {12, 1}}, 4, 6.5, {"0\t0", "1\t0", "6\t4", "10\t1"}},
        {200000, 400000.0, {{3, 1}, {3, 1}, {250001, 1}, {399999, 1}}, 4, (2 * 3.0 + 250001.0 + 399999.0) / 4,
         {"0\t0", "2\t2", "250000\t1", "399998\t1", "400000\t0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bins);
        Hist1D h("sp", c.bins, 0.0, c.xmax, 0, quiet);
        for (auto [x, w] : c.fills) h.Fill(x, w);
        EXPECT_EQ(h.Integral(), c.integral);
        h.ComputeStatistics();
        EXPECT_DOUBLE_EQ(h.GetMean(), c.mean);
        ASSERT_EQ(exportAs(h, "sp"), 0);
        EXPECT_THAT(lines("sp.hist"), ElementsAreArray(c.lines));
        Hist1D back(directory(), "sp", ".hist", ".hist_info", 0, quiet);
        EXPECT_EQ(back.GetContents(), h.GetContents());
        EXPECT_EQ(back.GetLowEdges(), h.GetLowEdges());
        EXPECT_EQ(back.GetOverflow(), h.GetOverflow());
    }
}

TEST_F(HistFilesTest, InformationFileWritesTheExactNumbersOfTheDataFile) {
    // Limits and statistics that six significant digits would round.
    Hist1D h("far", 10, 1234567.5, 1234577.5, 0, quiet);
    h.Fill(1234570.2, 2);
    h.Fill(1234571.3, 1);
    h.ComputeStatistics();
    ASSERT_EQ(exportAs(h, "far"), 0);
    const std::string info = readFile("far.hist_info");
    EXPECT_THAT(info, HasSubstr("Xmin=1234567.5\n"));
    EXPECT_THAT(info, HasSubstr("Xmax=1234577.5\n"));
    EXPECT_THAT(lines("far.hist").back(), "1234577.5\t0");
    Hist1D back(directory(), "far", ".hist", ".hist_info", 0, quiet);
    EXPECT_EQ(back.GetXmin(), 1234567.5);
    EXPECT_EQ(back.GetXmax(), 1234577.5);
    EXPECT_EQ(back.GetContents(), h.GetContents());
    // The statistics read from the information file are those written, to the last bit.
    ConfigFile config(directory(), "far.hist_info");
    config.setMessageTarget(quiet);
    ASSERT_EQ(config.load(), 0);
    EXPECT_EQ(config.getParameter("Mean", "Statistics").numbers.at(0), h.GetMean());
    EXPECT_EQ(config.getParameter("Std", "Statistics").numbers.at(0), h.GetStd());
}

TEST_F(HistFilesTest, SparseFileOfExactlyNBinLinesIsReadBackByPosition) {
    // Ten bins all filled but bin 3: bins 1 and 2, seven filled bins and the overflow slot make ten lines, as many
    // as bins. And every bin filled: the sparse file is the full one.
    for (const int empty : {3, 0}) {
        SCOPED_TRACE(empty);
        Hist1D h("sp", 10, 0.0, 10.0, 0, quiet);
        for (int bin = 1; bin <= 10; ++bin)
            if (bin != empty) h.Fill(bin - 0.5, bin * 1.5);
        ASSERT_EQ(exportAs(h, "sp"), 0);
        EXPECT_EQ(lines("sp.hist").size(), empty == 0 ? 11u : 10u);
        Hist1D back(directory(), "sp", ".hist", ".hist_info", 0, quiet);
        EXPECT_EQ(back.GetContents(), h.GetContents());
        EXPECT_EQ(back.GetLowEdges(), h.GetLowEdges());
        EXPECT_EQ(back.GetXmax(), 10.0);
    }
}

TEST_F(HistFilesTest, FailuresToOpenFiles) {
    Hist1D h = tenBins();
    h.SetMessageTarget(quiet);
    h.SetOwnLog(true, directory() + "missing/", "hist.log");
    EXPECT_EQ(h.Init(), -100);
    h.SetFileOutPath(directory() + "missing/");
    EXPECT_EQ(h.Export(), -120);
    EXPECT_THAT(logText(), HasSubstr("Can not open data file for export data: "));
    EXPECT_TRUE(files().empty());

    h.SetOwnLog(true, directory(), "hist.log");
    ASSERT_EQ(h.Init(), 0);
    EXPECT_EQ(h.Normalize(1), -1);
    EXPECT_THAT(readFile("hist.log"), HasSubstr("Normalization can not be done. No bin content."));

    EXPECT_EQ(raisedCode([&] { Hist1D(directory(), "none", ".hist", ".hist_info", 0, quiet); }), -115);
    writeFile("info.hist_info", "[HistPar]\nNBin=4\nXmin=0\nXmax=4\nBinEquidist=1\n");
    EXPECT_EQ(raisedCode([&] { Hist1D(directory(), "info", ".hist", ".hist_info", 0, quiet); }), -116);
    EXPECT_THAT(logText(), HasSubstr("Can not open input data file " + directory() + "info.hist"));
}

TEST(Hist1DPrint, WritesParametersContentsAndStatistics) {
    Hist1D h("p", 2, 0.0, 2.0, 0, kSilent);
    h.Fill(0.5, 3);
    ::testing::internal::CaptureStdout();
    h.Print();
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_THAT(text, testing::StartsWith(std::string(55, '-') + "\n[HistPar]\n\nTitle\t\tp\n"));
    EXPECT_THAT(text, HasSubstr("Axis titles\t|X|N|\nNBin\t\t2\n"));
    EXPECT_THAT(text, HasSubstr("1\t0.000000\t3.000000\n2\t1.000000\t0.000000\n\nUnderflow"));
    EXPECT_THAT(text, HasSubstr("Mean\t\t0.500000\n"));
    EXPECT_THAT(text, HasSubstr("[JUST APPROXIMATE!]\n"));
}

}  // namespace
