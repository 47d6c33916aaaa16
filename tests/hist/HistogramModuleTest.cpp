#include "hist/HistogramModule.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <tuple>

#include "cluster/VariableNames.h"
#include "common/Text.h"
#include "hist/BuiltInHistograms.h"
#include "hist/HistTestSupport.h"

namespace {

using histtest::HistFilesTest;
using histtest::kSilent;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using zel::Hist1D;
using zel::Hist2D;
using zel::HistogramModule;

constexpr int kBase = -5100;

// The default cluster variables plus the class column, as the engine's list reads with classification on.
std::vector<std::string> engineNames() {
    std::vector<std::string> names;
    for (const auto& variable : zel::kDefaultVariables) names.emplace_back(variable.name);
    names.emplace_back("PIDClass");
    return names;
}

// A row of the engine's list with the given values by name, zero elsewhere.
std::vector<double> rowWith(std::initializer_list<std::pair<const char*, double>> values) {
    const std::vector<std::string> names = engineNames();
    std::vector<double> row(names.size(), 0.0);
    for (const auto& [name, value] : values)
        row[static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin())] = value;
    return row;
}

const Hist1D& hist1D(const HistogramModule& module, const std::string& title) {
    for (const auto& entry : module.entries1D())
        if (entry.hist.GetTitle() == title) return entry.hist;
    throw std::runtime_error("no histogram " + title);
}

TEST(BuiltInHistograms, HoldsTheTabledSetWithSuffixedTitles) {
    HistogramModule module("Total", kSilent, kBase);
    ASSERT_EQ(module.LoadModuleConfig("", ""), 0);
    ASSERT_EQ(module.entries1D().size(), 24u);
    ASSERT_EQ(module.entries2D().size(), 2u);
    EXPECT_EQ(module.entries1D().front().hist.GetTitle(), "Hist1D_E_Total");
    EXPECT_EQ(module.entries1D().back().hist.GetTitle(), "Hist1D_Diameter_Total");
    EXPECT_EQ(module.entries2D()[1].hist.GetTitle(), "Hist2D_E_S_LowE_Total");
    EXPECT_EQ(module.sensThick(), -1);  // set by the LET sections

    const Hist1D& e = hist1D(module, "Hist1D_E_Total");
    EXPECT_EQ(e.GetName(), "Histogram with deposited energy (variable width of bins)");
    EXPECT_THAT(e.GetAxisTitles(), ElementsAre("E [keV]", "N [-]"));
    EXPECT_EQ(e.GetNBin(), 251);
    EXPECT_EQ(e.GetXmin(), 2.0);
    EXPECT_EQ(e.GetXmax(), 416431.97);
    EXPECT_EQ(e.GetBinLowEdge(2), 2.1);
    EXPECT_TRUE(e.GetDoLogX());
    EXPECT_TRUE(e.GetDoLogY());

    const Hist1D& let = hist1D(module, "Hist1D_LET_Total");
    EXPECT_EQ(let.GetNBin(), 235);
    EXPECT_EQ(let.GetXmax(), 9538.61415);
    EXPECT_EQ(hist1D(module, "Hist1D_E_EqBin_Total").GetNBin(), 200000);
    EXPECT_EQ(hist1D(module, "Hist1D_Round_Total").GetXmin(), -0.1);
    EXPECT_FALSE(hist1D(module, "Hist1D_Thin_Total").GetDoLogY());
    EXPECT_EQ(hist1D(module, "Hist1D_Thin_Total").GetName(), "Histogram with cluster thiness");

    const Hist2D& high = module.entries2D()[0].hist;
    EXPECT_EQ(high.GetNBinX(), 500);
    EXPECT_EQ(high.GetYmax(), 1000);
    EXPECT_THAT(high.GetAxisTitles(), ElementsAre("E [keV]", "S [px]", "N [-]"));
    EXPECT_TRUE(high.GetDoLogZ());
    EXPECT_TRUE(high.GetDoPlotStat());
    EXPECT_FALSE(high.GetDoLogY());
}

TEST(BuiltInHistograms, EveryModuleCarriesItsOwnSuffix) {
    for (const char* suffix : {"Total", "Others", "alpha", "proton"}) {
        HistogramModule module(suffix, kSilent, kBase);
        ASSERT_EQ(module.LoadDefault(), 0);
        for (const auto& entry : module.entries1D())
            EXPECT_TRUE(zel::endsWith(entry.hist.GetTitle(), std::string("_") + suffix)) << entry.hist.GetTitle();
        EXPECT_EQ(module.entries2D()[0].hist.GetTitle(), std::string("Hist2D_E_S_HighE_") + suffix);
    }
}

// Rows of every kind: inside, on edges, below, above, NaN.
zel::ClusterBatch rowsOfEveryKind(size_t width) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double specials[] = {0.0, 2.0, 1e9, -5.0, nan, 0.1, 1000.0};
    zel::ClusterBatch batch(width);
    for (int i = 0; i < 600; ++i) {
        std::span<double> row = batch.appendRow();
        for (size_t c = 0; c < row.size(); ++c) {
            const int pick = (i * 7 + static_cast<int>(c) * 13) % 10;
            row[c] = pick < 7 ? specials[pick] : (i % 53) * 1.7 + static_cast<double>(c);
        }
    }
    return batch;
}

// Histogram by histogram, flows included.
void expectSameSums(const HistogramModule& a, const HistogramModule& b) {
    for (size_t i = 0; i < a.entries1D().size(); ++i) {
        const Hist1D& x = a.entries1D()[i].hist;
        const Hist1D& y = b.entries1D()[i].hist;
        EXPECT_EQ(x.GetContents(), y.GetContents()) << x.GetTitle();
        EXPECT_EQ(x.GetUnderflow(), y.GetUnderflow()) << x.GetTitle();
        EXPECT_EQ(x.GetOverflow(), y.GetOverflow()) << x.GetTitle();
    }
    for (size_t i = 0; i < a.entries2D().size(); ++i) {
        const Hist2D& x = a.entries2D()[i].hist;
        const Hist2D& y = b.entries2D()[i].hist;
        EXPECT_EQ(x.GetContents(), y.GetContents()) << x.GetTitle();
        EXPECT_EQ(x.GetOverflowX(), y.GetOverflowX()) << x.GetTitle();
        EXPECT_EQ(x.GetOverflowY(), y.GetOverflowY()) << x.GetTitle();
        EXPECT_EQ(x.GetUnderflowX(), y.GetUnderflowX()) << x.GetTitle();
        EXPECT_EQ(x.GetUnderflowY(), y.GetUnderflowY()) << x.GetTitle();
    }
}

TEST(HistogramModuleFill, BatchFillGivesTheSumsOfRowByRowFills) {
    // A batch fill of every other row must equal the row-by-row fill of the same rows.
    const std::vector<std::string> names = engineNames();
    const zel::ClusterBatch batch = rowsOfEveryKind(names.size());
    HistogramModule byRow("Total", kSilent, kBase), byBatch("Total", kSilent, kBase);
    std::vector<uint32_t> rows;
    for (HistogramModule* module : {&byRow, &byBatch}) {
        ASSERT_EQ(module->LoadDefault(), 0);
        ASSERT_EQ(module->MapNames(names), 0);
    }
    for (uint32_t r = 0; r < batch.size(); r += 2) {
        rows.push_back(r);
        byRow.FillCluster(batch.row(r));
    }
    byBatch.FillRows(batch, rows);
    expectSameSums(byRow, byBatch);
}

TEST(HistogramModuleFill, SetLeftOutOfTheFillsIsCompletedFromTheAllClustersSet) {
    // Rows go in turn to class sets 1, 2 and 3, and all into the all-clusters set. The first half leaves set 3 out
    // of the fills, the second half set 1; each is completed when it is no longer left out, set 1 twice. Every set
    // must equal one filled with its own rows.
    const std::vector<std::string> names = engineNames();
    const zel::ClusterBatch batch = rowsOfEveryKind(names.size());
    const char* suffixes[] = {"Total", "alpha", "beta", "Others"};
    std::vector<std::unique_ptr<HistogramModule>> apart, together;
    for (const char* suffix : suffixes) {
        for (auto* list : {&apart, &together}) {
            list->push_back(std::make_unique<HistogramModule>(suffix, kSilent, kBase));
            ASSERT_EQ(list->back()->LoadDefault(), 0);
            ASSERT_EQ(list->back()->MapNames(names), 0);
        }
    }
    EXPECT_TRUE(together[0]->SameFills(*together[3]));
    EXPECT_FALSE(together[0]->SameFills(HistogramModule("empty", kSilent, kBase)));

    std::vector<uint32_t> all;
    std::vector<std::vector<uint32_t>> perSet(4);
    for (uint32_t r = 0; r < batch.size(); ++r) {
        all.push_back(r);
        perSet[r % 3 + 1].push_back(r);
    }
    apart[0]->FillRows(batch, all);
    for (size_t s = 1; s < 4; ++s) apart[s]->FillRows(batch, perSet[s]);

    std::vector<HistogramModule*> sets;
    for (const auto& module : together) sets.push_back(module.get());
    const size_t half = all.size() / 2;
    for (const auto& [from, to, leftOut] : {std::tuple{size_t{0}, half, size_t{3}}, std::tuple{half, all.size(), size_t{1}}}) {
        const std::span<const uint32_t> rows(all.data() + from, to - from);
        together[0]->FillRows(batch, rows);
        std::vector<uint32_t> classRows;
        std::vector<uint8_t> set;
        for (const uint32_t r : rows) {
            if (r % 3 + 1 == leftOut) continue;
            classRows.push_back(r);
            set.push_back(static_cast<uint8_t>(r % 3 + 1));
        }
        for (size_t part = 0; part < 4; ++part)
            HistogramModule::FillRows1DInSets(sets, batch, classRows, set.data(), part, 4);
        HistogramModule::FillRows2DInSets(sets, batch, classRows, set.data());
        HistogramModule::CompleteSet(sets, leftOut);
    }
    HistogramModule::CompleteSet(sets, 1);
    for (size_t s = 0; s < 4; ++s) expectSameSums(*apart[s], *together[s]);
}

TEST(HistogramModuleFill, ClusterGoesIntoEveryHistogramOfItsVariables) {
    HistogramModule module("Total", kSilent, kBase);
    ASSERT_EQ(module.LoadDefault(), 0);
    ASSERT_EQ(module.MapNames(engineNames()), 0);
    module.FillCluster(rowWith({{"E", 10.0}, {"Size", 3.0}, {"LET", 0.05}, {"PIDClass", 2.0}}));
    module.FillCluster(rowWith({{"E", 500000.0}, {"Size", 3.0}, {"PIDClass", 2.0}}));

    const Hist1D& e = hist1D(module, "Hist1D_E_Total");
    EXPECT_EQ(e.GetBinContent(e.FindBin(10.0)), 1);
    EXPECT_EQ(e.GetOverflow(), 1);
    const Hist1D& eq = hist1D(module, "Hist1D_E_EqBin_Total");
    EXPECT_EQ(eq.GetBinContent(5), 1);  // (8, 10]
    EXPECT_EQ(eq.GetOverflow(), 1);
    EXPECT_EQ(hist1D(module, "Hist1D_S_Total").GetBinContent(3), 2);
    EXPECT_EQ(hist1D(module, "Hist1D_LET_Total").GetUnderflow(), 2);  // below 0.1
    EXPECT_EQ(hist1D(module, "Hist1D_PIDClass_Total").GetBinContent(12), 2);  // (1, 2]
    // Both clusters land in the low-energy-size map's (10, 3) bin or its overflow.
    const Hist2D& low = module.entries2D()[1].hist;
    EXPECT_EQ(low.GetBinContent(10.0, 3.0), 1);
    EXPECT_EQ(low.GetOverflowX()[2], 1);
}

// Module messages go to the scratch directory's log.
struct HistModuleTest : HistFilesTest {
    HistogramModule userModule(const std::string& text, const char* suffix = "Total") {
        writeFile("Hist.ini", text);
        return HistogramModule(suffix, quiet, kBase);
    }
};

TEST_F(HistModuleTest, UnknownVariablesRemoveOnlyTheirHistogramsAndLookupsFollowNames) {
    HistogramModule module("Total", quiet, kBase);
    ASSERT_EQ(module.LoadDefault(), 0);
    std::vector<std::string> names = engineNames();
    names.pop_back();  // no class column: classification off
    EXPECT_EQ(module.MapNames(names), 0);
    EXPECT_EQ(module.entries1D().size(), 23u);
    EXPECT_EQ(module.entries2D().size(), 2u);
    EXPECT_EQ(module.findHist1D("PIDClass"), nullptr);
    EXPECT_EQ(logText(), "[WARNING]  Histogram 1D with variable PIDClass can not be extracted from given data.\n");

    ASSERT_NE(module.findHist1D("E"), nullptr);
    EXPECT_EQ(module.findHist1D("E")->GetTitle(), "Hist1D_E_Total");  // the variable bins, not the equal ones
    EXPECT_EQ(module.findHist1D("Nope"), nullptr);
    ASSERT_NE(module.findHist2D("E", "Size"), nullptr);
    EXPECT_EQ(module.findHist2D("E", "Size")->GetTitle(), "Hist2D_E_S_HighE_Total");
    EXPECT_EQ(module.findHist2D("Size", "E"), nullptr);
}

// Sections of every kind: ignored, plain, combined, with an unknown variable, 2D, 3D and without bins.
constexpr const char* kUserFile = R"([Input]
FileIn_Path = "in/"
[Output]
FileOut_Path = "a/", "b/"
FileOut_EndData = ".dat"
[Detector]
NBin = 3
[MyHist]
VarName = "E"
Title = "Energy"
NBin = 10
Xmin = 0
Xmax = 100
[Hist_Ratio]
VarName_Div = "E", "Size"
NBin = 10
Xmin = 0
Xmax = 10
[Hist_Both]
ColIndex = 7
ColIndex_Div = 4, 7
Nbins = 10
xmin = 0
xmax = 10
[Hist_Sum]
VarName_Add = "X", "Y"
VarName_Subtr = "X", "Y"
NBin = 10
Xmin = 0
Xmax = 20
[Hist_Diff]
ColIndex_Subtr = 2, 3
ColIndex_Mult = 2, 3
BinLowEdge = -10, 0, 5, 100
[Hist_Unknown]
VarName = "Nope"
NBin = 5
Xmin = 0
Xmax = 5
[Hist2D_Mixed]
ColIndex = 2
VarName_Mult = "E", "Size"
NBinX = 4
Xmin = 0
Xmax = 4
NBinY = 10
Ymin = 0
Ymax = 100
[Hist3D_Cube]
NBinZ = 2
[HistNoBins]
VarName = "E"
)";

TEST_F(HistModuleTest, UserFileWithArithmeticKeys) {
    HistogramModule module = userModule(kUserFile);
    ASSERT_EQ(module.LoadModuleConfig(directory(), "Hist.ini"), 0);
    EXPECT_EQ(module.fileInPath(), "in/");
    EXPECT_THAT(module.fileOutPaths(), ElementsAre("a/", "b/"));
    EXPECT_EQ(module.fileOutEndData(), ".dat");
    EXPECT_EQ(module.fileOutEndInfo(), ".hist_info");
    ASSERT_EQ(module.entries1D().size(), 6u);
    EXPECT_EQ(module.entries1D()[0].hist.GetTitle(), "Energy_Total");
    EXPECT_EQ(module.entries1D()[1].hist.GetTitle(), "Hist_Ratio_Total");  // the section name without a Title
    EXPECT_EQ(module.entries1D()[4].hist.GetNBin(), 3);

    const std::vector<std::string> names = engineNames();  // X 2, Y 3, E 4, Size 7
    ASSERT_EQ(module.MapNames(names), 0);
    ASSERT_EQ(module.entries1D().size(), 5u);  // Hist_Unknown removed
    const std::string text = module.ListText();
    EXPECT_TRUE(zel::startsWith(text, "HISTOGRAMS\n\n1D:\n\tEnergy_Total\tcolumn 4 from E\n")) << text;
    EXPECT_THAT(text, HasSubstr("\tHist_Ratio_Total\tcolumn-division: 4 and 7\n"));
    EXPECT_THAT(text, HasSubstr("\tHist_Sum_Total\tcolumn-addition: 2 and 3, column-subtraction: 2 and 3\n"));
    EXPECT_THAT(text, HasSubstr("2D:\n\tHist2D_Mixed_Total\tcolumn 2 from X, column-multiplication: 4 and 7\n"));
    module.FillCluster(rowWith({{"X", 7.5}, {"Y", 2.5}, {"E", 50.0}, {"Size", 10.0}}));
    module.FillCluster(rowWith({{"X", 1.0}, {"Y", 2.0}, {"E", 30.0}, {"Size", 0.0}}));

    const Hist1D& energy = hist1D(module, "Energy_Total");
    EXPECT_EQ(energy.GetBinContent(5), 1);  // 50 in (40, 50]
    EXPECT_EQ(energy.GetBinContent(3), 1);
    const Hist1D& ratio = hist1D(module, "Hist_Ratio_Total");
    EXPECT_EQ(ratio.GetBinContent(5), 1);  // 50 / 10
    EXPECT_EQ(ratio.GetUnderflow(), 1);    // a zero divisor gives -6666
    const Hist1D& both = hist1D(module, "Hist_Both_Total");  // the plain column wins over the division
    EXPECT_EQ(both.GetBinContent(10), 1);
    EXPECT_EQ(both.GetBinContent(1), 1);  // size 0 on xmin
    const Hist1D& sum = hist1D(module, "Hist_Sum_Total");  // addition comes before subtraction
    EXPECT_EQ(sum.GetBinContent(5), 1);                      // 10 in (8, 10]
    EXPECT_EQ(sum.GetBinContent(2), 1);                      // 3 in (2, 4]
    const Hist1D& diff = hist1D(module, "Hist_Diff_Total");  // multiplication comes before subtraction
    EXPECT_EQ(diff.GetBinContent(3), 1);                     // 7.5 * 2.5 in (5, 100]
    EXPECT_EQ(diff.GetBinContent(2), 1);                     // 1 * 2 in (0, 5]
    const Hist2D& mixed = module.entries2D()[0].hist;
    EXPECT_EQ(mixed.GetTitle(), "Hist2D_Mixed_Total");
    EXPECT_EQ(mixed.GetOverUnderFlowXY()[Hist2D::kOverOver], 1);  // (X 7.5, E * Size 500)
    EXPECT_EQ(mixed.GetBinContent(1.0, 0.0), 1);  // (X 1, E * Size 0)

    EXPECT_THAT(logText(), HasSubstr("Hist3D has not been implemented yet. Histogram is skipped.\n"));
    EXPECT_THAT(logText(), HasSubstr("Check of histogram dimension was unsuccessful. Skipping histogram in HistNoBins"));
    EXPECT_THAT(logText(), Not(HasSubstr("Detector")));
    EXPECT_THAT(logText(), HasSubstr("[WARNING]  Histogram 1D with variable Nope can not be extracted from given data."));
}

TEST_F(HistModuleTest, BrokenSectionsFailAloneAndTheirCodesAddUp) {
    HistogramModule module = userModule(
        "[Hist_Good]\nColIndex = 1\nNBin = 2\nXmin = 0\nXmax = 1\n"
        "[Hist_NoBins]\nColIndex = 1\nNBin = 0\nXmin = 0\nXmax = 1\n"
        "[Hist_OddPair]\nColIndex_Div = 1, 2, 3\nNBin = 2\nXmin = 0\nXmax = 1\n"
        "[Hist2D_Backwards]\nColIndex = 1, 2\nNBinX = 2\nXmin = 1\nXmax = 0\nNBinY = 2\nYmin = 0\nYmax = 1\n");
    const int code = zeltest::quietly([&] { return module.LoadModuleConfig(directory(), "Hist.ini"); });
    EXPECT_EQ(code, 2 * (kBase - 105) + (kBase - 106) + (kBase - 107));
    ASSERT_EQ(module.histogramCount(), 1u);
    EXPECT_EQ(module.entries1D()[0].hist.GetTitle(), "Hist_Good_Total");
    const std::string text = logText();
    EXPECT_THAT(text, HasSubstr("-5219 : Error occurred during mapping of initialization of 1D histogram in InitHist1D."));
    EXPECT_THAT(text, HasSubstr("-5205 : Initialization of 1D histogram failed in loading of configuration. Section: Hist_OddPair"));
    EXPECT_THAT(text, HasSubstr("-5220 : Error occurred during mapping of initialization of 2D histogram in InitHist2D."));
    EXPECT_THAT(text, HasSubstr("-5206 : Initialization of 2D histogram failed in loading of configuration. Section: Hist2D_Backwards"));
    EXPECT_THAT(text, HasSubstr("-5207 : Error occurred during reading of configuration."));
}

TEST_F(HistModuleTest, MissingFileAndEmptyModuleReportTheirCodes) {
    HistogramModule module("Total", quiet, kBase);
    EXPECT_EQ(zeltest::quietly([&] { return module.LoadModuleConfig(directory(), "Missing.ini"); }), kBase - 104);
    EXPECT_THAT(logText(), HasSubstr("Reading of config file in loading failed"));

    HistogramModule unknown = userModule(
        "[Hist_A]\nVarName = \"Nope\"\nNBin = 2\nXmin = 0\nXmax = 1\n"
        "[Hist2D_B]\nVarName = \"E\", \"Nope\"\nNBinX = 2\nXmin = 0\nXmax = 1\nNBinY = 2\nYmin = 0\nYmax = 1\n");
    ASSERT_EQ(unknown.LoadModuleConfig(directory(), "Hist.ini"), 0);
    EXPECT_EQ(unknown.MapNames(engineNames()), kBase - 109);
    EXPECT_FALSE(unknown.isInitialised());
    EXPECT_EQ(unknown.InitModule(engineNames()), kBase - 117);
    EXPECT_THAT(logText(), HasSubstr("[WARNING]  Histogram 2D with variables E, Nope can not be extracted from given data."));
    EXPECT_THAT(logText(), HasSubstr("-5209 : No Hist2D or Hist1D were given for processing (vec)."));
    EXPECT_THAT(logText(), HasSubstr("-5218 : Error occurred during mapping of names to var indexes in initialization."));
    EXPECT_EQ(unknown.ExportAll(directory()), kBase - 115);
    EXPECT_THAT(logText(), HasSubstr("-5215 : There are no histograms for export"));
}

TEST_F(HistModuleTest, IndexesBeyondTheDataPointAtTheLastColumn) {
    HistogramModule module = userModule("[Hist_Far]\nColIndex = 9\nNBin = 10\nXmin = 0\nXmax = 10\n"
                                        "[Hist_Near]\nColIndex_Add = 0, 1\nNBin = 10\nXmin = 0\nXmax = 10\n");
    ASSERT_EQ(module.LoadModuleConfig(directory(), "Hist.ini"), 0);
    EXPECT_EQ(module.MapNames({"E", "Size", "X"}), kBase - 113);
    EXPECT_THAT(module.entries1D()[0].columns, ElementsAre(2));
    EXPECT_THAT(logText(), HasSubstr("-5213 : Index column 9 is higher than number of variables in data: 9 >= 3 "
                                     "(index set to last one 2)"));
    EXPECT_THAT(logText(), HasSubstr("Error occurred during checking of all indexes against data. Hist1D Hist_Far_Total"));
    module.FillCluster(std::vector<double>{1.0, 2.0, 7.0});
    EXPECT_EQ(module.entries1D()[0].hist.GetBinContent(7), 1);
    EXPECT_EQ(module.entries1D()[1].hist.GetBinContent(3), 1);
}

TEST_F(HistModuleTest, ExportedHistogramsLoadBack) {
    HistogramModule module = userModule(kUserFile, "alpha");
    ASSERT_EQ(module.LoadModuleConfig(directory(), "Hist.ini"), 0);
    ASSERT_EQ(module.MapNames(engineNames()), 0);
    module.FillCluster(rowWith({{"X", 7.5}, {"Y", 2.5}, {"E", 50.0}, {"Size", 10.0}}));
    module.FillCluster(rowWith({{"X", 1.0}, {"Y", 2.0}, {"E", 3000.0}, {"Size", 0.0}}));
    ASSERT_EQ(module.ExportAll(directory(), "_run"), 0);
    EXPECT_THAT(files(), testing::Contains("Energy_alpha_run.dat"));
    EXPECT_THAT(files(), testing::Contains("Hist2D_Mixed_alpha_run.hist_info"));
    EXPECT_THAT(logText(), HasSubstr("Exporting histograms to: " + directory() + "\n"));
    EXPECT_THAT(logText(), HasSubstr("Exporting histogram 2D: Hist2D_Mixed_alpha"));

    const Hist1D& energy = hist1D(module, "Energy_alpha");
    Hist1D loaded(directory(), "Energy_alpha_run", ".dat", ".hist_info", 0, kSilent);
    EXPECT_EQ(loaded.GetLowEdges(), energy.GetLowEdges());
    EXPECT_EQ(loaded.GetContents(), energy.GetContents());
    EXPECT_EQ(loaded.GetOverflow(), 1);
    const Hist1D& diff = hist1D(module, "Hist_Diff_alpha");
    Hist1D variable(directory(), "Hist_Diff_alpha_run", ".dat", ".hist_info", 0, kSilent);
    EXPECT_EQ(variable.GetLowEdges(), diff.GetLowEdges());
    EXPECT_EQ(variable.GetContents(), diff.GetContents());
}

}  // namespace
