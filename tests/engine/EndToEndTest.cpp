// One small run whose products are computed by hand, through a file run and through pushed batches.
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "EngineRunSupport.h"

namespace {

constexpr double kDoseFactor = 1.0 / (2.329 * 300 * 1237.3618279678);  // µGy per keV, 300 µm Si
constexpr double kArea = 1.982464;                                      // cm², 256 × 256 pixels of 55 µm

// Three clusters at 0.2 s, 0.7 s and 3.4 s with 100, 200 and 300 keV and 2, 3 and 4 pixels.
const char* kEventList =
    "EventID\tX\tY\tE\tT\tSize\n"
    "-\tpx\tpx\tkeV\tns\tpx\n"
    "1\t10\t10\t100\t200000000\t2\n"
    "2\t20\t20\t200\t700000000\t3\n"
    "3\t30\t30\t300\t3400000000\t4\n";

struct EndToEnd : enginetest::EngineRun {
    // Reads run.elist with neither identification nor filter, sampled by one second.
    std::string paramFile(const std::string& extra = "") const {
        return params("run.elist", "DoPID = false\nDoFilter = false\nTimeSampling = 1\n" + extra);
    }
    // Pushed batches: no parameter file, no log, results into the scratch directory.
    static void quietPushes(const zeltest::TempDir& into) {
        zel::setDoLog(false);
        zel::setDoPrint(false);
        zel::setFileOutPath(into.dir());
    }
};

TEST_F(EndToEnd, FileRunGivesHandComputedProducts) {
    dir.write("run.elist", kEventList);
    process(paramFile());

    // The 3.4 s cluster closes three samples; the end of the input closes a final one of 0.4 s.
    const double live = 3.4;
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 3);
    EXPECT_DOUBLE_EQ(zel::getEnergyDep(), 600);
    EXPECT_NEAR(zel::getCountRate(), 3 / live, 1e-12);
    EXPECT_NEAR(zel::getDose(), 600 * kDoseFactor, 1e-15);
    EXPECT_NEAR(zel::getDoseRate(), 600 * kDoseFactor * 3600 / live, 1e-12);
    EXPECT_NEAR(zel::getFluence(), 3 / kArea, 1e-12);
    EXPECT_NEAR(zel::getFlux(), 3 / kArea / live, 1e-12);

    const auto elapsed = zel::getElapsedTimes();
    ASSERT_EQ(elapsed.size(), 4u);
    EXPECT_DOUBLE_EQ(elapsed[0], 1);
    EXPECT_DOUBLE_EQ(elapsed[2], 3);
    EXPECT_NEAR(elapsed[3], 3.4, 1e-9);
    EXPECT_EQ(zel::getCountParticleTime(), (std::vector<double>{2, 0, 0, 1}));
    const auto doseRates = zel::getDoseRateTime();
    ASSERT_EQ(doseRates.size(), 4u);
    EXPECT_NEAR(doseRates[0], 300 * kDoseFactor * 3600, 1e-12);  // each sample counts one sampling time
    EXPECT_NEAR(doseRates[3], 300 * kDoseFactor * 3600, 1e-12);
    const auto byClass = zel::getCountParticleTimeClass();
    ASSERT_EQ(byClass.size(), 1u);  // one class without particle identification
    EXPECT_EQ(byClass[0], (std::vector<double>{2, 0, 0, 1}));

    // The results files carry the same numbers.
    auto json = results();
    EXPECT_EQ(json["CountParticle_Sum_cnt"], 3);
    EXPECT_EQ(json["CountSample_cnt"], 4);
    EXPECT_EQ(json["CountParticle_Sum_Sample_cnt"], (std::vector<double>{2, 0, 0, 1}));
    EXPECT_NEAR(json["TimeLive_Sum_s+1"].get<double>(), 3.4, 1e-9);
    EXPECT_NE(read("out/File/SamplingList.txt").find("CountParticle_Sum [-]:"), std::string::npos);
    EXPECT_EQ(read("out/File/EventListExt.korelist"),
              "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n"
              "1\t10\t10\t100\t200000000.000\t2\n2\t20\t20\t200\t700000000.000\t3\n3\t30\t30\t300\t3400000000.000\t4\n");
}

TEST_F(EndToEnd, PushedBatchesGiveTheSameProductsWithoutTheFinalSample) {
    quietPushes(dir);
    zel::setClusterVarOrder({"EventID", "X", "Y", "E", "T", "Size"});
    ASSERT_EQ(zel::init(), 0);
    ASSERT_EQ(zel::processClusters({{1, 10, 10, 100, 2e8, 2}, {2, 20, 20, 200, 7e8, 3}}), 0);
    double current = 0;
    zel::getCurrentCountParticle(current);
    EXPECT_DOUBLE_EQ(current, 2);
    ASSERT_EQ(zel::processClusters({{3, 30, 30, 300, 3.4e9, 4}}), 0);

    // Pushed batches never end the input: three samples are closed and the 3.4 s cluster stays in the open one.
    EXPECT_EQ(zel::getElapsedTimes(), (std::vector<double>{1, 2, 3}));
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 3);
    EXPECT_NEAR(zel::getCountRate(), 1.0, 1e-12);
    EXPECT_NEAR(zel::getDoseRate(), 600 * kDoseFactor * 3600 / 3, 1e-12);
    EXPECT_NEAR(zel::getFlux(), 3 / kArea / 3, 1e-12);
    EXPECT_EQ(zel::getCountParticleTime(), (std::vector<double>{2, 0, 0}));
    zel::getCurrentCountParticle(current);
    EXPECT_DOUBLE_EQ(current, 1);
    zel::getCurrentDose(current);
    EXPECT_NEAR(current, 300 * kDoseFactor, 1e-15);
    double rate = 0;
    zel::getCurrentCountRate(rate, 2.0);
    EXPECT_DOUBLE_EQ(rate, 0.5);
    EXPECT_EQ(zel::resetCurrDataStorage(), 0);
    zel::getCurrentCountParticle(current);
    EXPECT_DOUBLE_EQ(current, 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 3);  // the run totals stay
}

TEST_F(EndToEnd, EmptyBatchIsReportedButAccepted) {
    quietPushes(dir);
    ASSERT_EQ(zel::init(), 0);
    EXPECT_EQ(zel::processClusters({}), 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 0);
}

TEST_F(EndToEnd, WithoutExportDirectoriesResultsGoIntoTheOutputDirectory) {
    dir.write("run.elist", kEventList);
    process(paramFile("DoCreateExportDir = false\n"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/SamplingList.json")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/EventListExt.korelist")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/File")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/Hist")));
}

TEST_F(EndToEnd, NothingProcessedStopsTheExportAndWritesNothing) {
    // Every cluster touches the sensor edge and edge clusters are ignored.
    dir.write("run.elist",
              "EventID\tX\tY\tE\tT\tIsSensEdge\n-\tpx\tpx\tkeV\tns\t-\n1\t0\t0\t10\t100\t1\n2\t0\t5\t10\t200\t1\n");
    load(paramFile("DoIgnoreClusterSensEdge = true\n"));
    EXPECT_EQ(zeltest::raisedCode([] { zel::processFile("", "", ""); }), -4000) << "the export stops the run";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.file("out")))
        EXPECT_FALSE(entry.is_regular_file() && entry.path().filename() != "LogFile.txt") << entry.path();
}

TEST_F(EndToEnd, ConcatenatedEventListsContinueIdsAndTimes) {
    dir.write("a.elist", kEventList);
    dir.write("b.elist", kEventList);
    process(paramFile("FileInName = \"a.elist\" \"b.elist\"\nTimeSampling = 10\n"));
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 6);
    EXPECT_DOUBLE_EQ(zel::getEnergyDep(), 1200);
    // The second list's times come after the first's: 6.8 s of data in one 10 s sample closed at the end.
    const auto elapsed = zel::getElapsedTimes();
    ASSERT_EQ(elapsed.size(), 1u);
    EXPECT_NEAR(elapsed[0], 6.8, 1e-9);
}

// A list longer than the reader's slices: every row counts once, also when ClusterCount ends the run inside a slice.
TEST_F(EndToEnd, LongListsLoseAndRepeatNoRow) {
    std::string list = "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n";
    constexpr int kRows = 10000;
    constexpr int kCounted = 9000;
    double energy = 0;
    for (int i = 0; i < kRows; ++i) {
        const int e = 1 + i % 97;
        if (i < kCounted) energy += e;
        list += std::to_string(i) + "\t" + std::to_string(i % 256) + "\t5\t" + std::to_string(e) + "\t" +
                std::to_string(i * 1000) + "\t1\n";
    }
    dir.write("run.elist", list);
    process(paramFile("ClusterCount = " + std::to_string(kCounted) + "\n"));
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), kCounted);
    EXPECT_DOUBLE_EQ(zel::getEnergyDep(), energy);

    const auto histogram = zel::getHist1DAll("E");
    ASSERT_FALSE(histogram.empty());
    double filled = 0;
    for (double content : histogram.back()) filled += content;
    EXPECT_DOUBLE_EQ(filled, kCounted);

    const std::string ext = read("out/File/EventListExt.korelist");
    EXPECT_EQ(std::count(ext.begin(), ext.end(), '\n'), kCounted + 2);
    EXPECT_NE(ext.find("\n8999\t"), std::string::npos);
    EXPECT_EQ(ext.find("\n9000\t"), std::string::npos);
}

// Numbers of the extended event list read as formatting their values writes them: trailing zeros, leading zeros,
// exponents, and a time converted from seconds.
TEST_F(EndToEnd, ExtendedListWritesEachNumberAsItsValueFormats) {
    dir.write("run.elist",
              "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\ts\tpx\n"
              "1\t007\t10.50\t1234567\t0.200\t2\n"
              "2\t20.000\t0.00001\t-0.000\t0.700\t3\n");
    process(paramFile());
    EXPECT_EQ(read("out/File/EventListExt.korelist"),
              "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n"
              "1\t7\t10.5\t1.23457e+06\t200000000.000\t2\n"
              "2\t20\t1e-05\t-0\t700000000.000\t3\n");
}

}  // namespace

TEST_F(EndToEnd, ClustersWithoutFiniteEnergyOrSizeAreLeftOutAndCounted) {
    // The three clusters of the hand-computed run, then three whose energy or size is no number, and one negative.
    dir.write("run.elist", std::string(kEventList) +
                               "4\t40\t40\tnan\t3500000000\t2\n"
                               "5\t50\t50\tinf\t3500000001\t2\n"
                               "6\t60\t60\t10\t3500000002\t-inf\n"
                               "7\t70\t70\t-5\t3500000003\t1\n");
    process(paramFile());
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 4);
    EXPECT_DOUBLE_EQ(zel::getEnergyDep(), 595);
    EXPECT_TRUE(std::isfinite(zel::getDose()));
    const nlohmann::json json = results();  // parses: no bare nan or inf
    EXPECT_EQ(json["CountParticle_Sum_NonFinite_cnt"], 3);
    EXPECT_EQ(json["CountParticle_Sum_Negative_cnt"], 1);
    EXPECT_NE(log().find("Cluster 4 has an energy or size that is not a finite number"), std::string::npos) << log();
    EXPECT_NE(log().find("Cluster 7 has a negative energy or size"), std::string::npos);
}

TEST_F(EndToEnd, AHistogramTooBigToMakeIsDroppedAndTheOthersAreKept) {
    dir.write("run.elist", kEventList);
    dir.write("Hist.ini",
              "[Hist1D_Good]\nVarName = \"E\"\nNBin = 10\nXmin = 0\nXmax = 1000\n"
              "[Hist2D_Huge]\nVarName = \"X\" \"Y\"\nNBinX = 100000\nNBinY = 100000\nXmin = 0\nXmax = 256\nYmin = 0\n"
              "Ymax = 256\n");
    process(paramFile("HistPath = \"" + dir.dir() + "\"\nHistName = \"Hist.ini\"\n"));
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 3);
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/Hist/Hist1D_Good_Total.hist")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/Hist/Hist2D_Huge_Total.hist")));
    EXPECT_NE(log().find("Histogram Hist2D_Huge_Total would have 10000000000 bins"), std::string::npos) << log();
    EXPECT_NE(log().find("Section: Hist2D_Huge"), std::string::npos);
}
