#include "zel/ZEL_API.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <regex>

#include "support/LoggedDir.h"

namespace {

using Series = std::vector<double>;
using zel::Matrix;

// The engine is one global: every test starts and ends without one.
struct Api : ::testing::Test {
    zeltest::TempDir dir{"zel_api"};

    void SetUp() override { zel::destruct(); }
    void TearDown() override { zel::destruct(); }

    static void constructQuiet() {
        ASSERT_EQ(zel::construct(), 0);
        zel::setDoPrint(false);
        zel::setDoLog(false);
    }
};

constexpr std::array kTotals{zel::getCountParticle, zel::getCountRate, zel::getEnergyDep, zel::getDose,
                             zel::getDoseRate,      zel::getFluence,   zel::getFlux};
constexpr std::array kTimeSeries{zel::getCountParticleTime, zel::getCountRateTime, zel::getEnergyDepTime,
                                 zel::getDoseTime,          zel::getDoseRateTime,  zel::getFluenceTime,
                                 zel::getFluxTime,          zel::getElapsedTimes};
// In the same order as the first seven time series: each class getter holds the same quantity.
constexpr std::array kClassSeries{zel::getCountParticleTimeClass, zel::getCountRateTimeClass,
                                  zel::getEnergyDepTimeClass,     zel::getDoseTimeClass,
                                  zel::getDoseRateTimeClass,      zel::getFluenceTimeClass,
                                  zel::getFluxTimeClass};

// Calls `get` on a copy of `value` and tells whether it answered -1 and left the copy as it was.
bool refusedUntouched(auto get, auto value, auto... args) {
    const auto before = value;
    return get(value, args...) == -1 && value == before;
}

TEST_F(Api, WithoutEngineEveryFunctionAnswersAbsentAndLeavesOutputsAlone) {
    dir.write("params.txt", "TimeSampling = 2\n");
    // A missing parameter file is not even opened without an engine, so nothing is raised.
    const int results[] = {zel::destruct(), zel::loadParamFile(dir.dir(), "params.txt"),
                           zel::loadParamFile(dir.dir(), "missing.txt"), zel::init(), zel::processFile("a", "b", "c"),
                           zel::processClusters({{1.0, 2.0, 3.0}}), zel::reset(), zel::resetCurrDataStorage(),
                           zel::print(), zel::setFileInPath("in/"), zel::setFileOutPath("out/"),
                           zel::setModelPath("models/"), zel::setFileInNames({"a.t3pa"}),
                           zel::setClusterVarOrder({"X", "Y"}), zel::setTimeSampling(2.0),
                           zel::setTimeAcquisition(2.0), zel::setDoExportClist(true), zel::setDoExportGraphics(false),
                           zel::setDoLog(false), zel::setDoPrint(false), zel::setComCamProjectionDist(10.0)};
    for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], -1) << "call " << i;
    EXPECT_EQ(zel::version(), "");
    EXPECT_EQ(zel::getFileInPath(), "");
    EXPECT_EQ(zel::getFileOutPath(), "");
    EXPECT_FALSE(zel::getDoExportClist());
    EXPECT_EQ(zel::getSamplingTime(), -1.0);
    EXPECT_TRUE(zel::getPIDClassNames().empty());
    for (auto total : kTotals) EXPECT_EQ(total(), -1.0);
    for (auto series : kTimeSeries) EXPECT_TRUE(series().empty());
    for (auto series : kClassSeries) EXPECT_TRUE(series().empty());
    EXPECT_TRUE(zel::getHist1DAll("E").empty());
    EXPECT_TRUE(zel::getHist2DAll({"X", "Y"}).empty());
    EXPECT_TRUE(zel::sensMatrixInt().empty());
    EXPECT_TRUE(zel::sensMatrixSample().empty());

    for (auto get : {zel::getCurrentCountParticle, zel::getCurrentEnergyDep, zel::getCurrentDose,
                     zel::getCurrentFluence})
        EXPECT_TRUE(refusedUntouched(get, 123.0));
    for (auto get : {zel::getCurrentCountRate, zel::getCurrentDoseRate, zel::getCurrentFlux})
        EXPECT_TRUE(refusedUntouched(get, 123.0, 0.0));
    for (auto get : {zel::getCurrentCountParticleClass, zel::getCurrentEnergyDepClass, zel::getCurrentDoseClass,
                     zel::getCurrentFluenceClass})
        EXPECT_TRUE(refusedUntouched(get, Series{7.0}));
    for (auto get : {zel::getCurrentCountRateClass, zel::getCurrentDoseRateClass, zel::getCurrentFluxClass})
        EXPECT_TRUE(refusedUntouched(get, Series{7.0}, 1.0));
    EXPECT_TRUE(refusedUntouched(zel::getComCamProjection, Series{1.0, 2.0}));
    EXPECT_TRUE(refusedUntouched(zel::getComCamTestProjection, Series{1.0, 2.0}));
    EXPECT_TRUE(refusedUntouched(zel::getComCamProjectionMaxVal, 3.0));

    std::string name = "kept";
    double score = 5.5;
    int nx = 4, ny = 5;
    EXPECT_EQ(zel::radFieldRecognition(name, score), -1);
    EXPECT_EQ(zel::getComCamProjectionNBins(nx, ny), -1);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(score, 5.5);
    EXPECT_EQ(nx, 4);
    EXPECT_EQ(ny, 5);
    EXPECT_EQ(zel::destruct(), -1) << "none of the calls above left an engine behind";
}

TEST_F(Api, ConstructMakesTheOneEngineAndDestructEndsIt) {
    ASSERT_EQ(zel::construct(), 0);
    ASSERT_EQ(zel::setTimeSampling(7.0), 0);
    EXPECT_EQ(zel::construct(), -1);
    EXPECT_EQ(zel::getSamplingTime(), 7.0) << "a second construct must keep the existing engine";
    EXPECT_EQ(zel::destruct(), 0);
    EXPECT_EQ(zel::destruct(), -1);
    EXPECT_EQ(zel::getSamplingTime(), -1.0);
    ASSERT_EQ(zel::construct(), 0);
    EXPECT_EQ(zel::getSamplingTime(), 1.0) << "a new engine starts over with defaults";
    const std::string text = zel::version();
    EXPECT_TRUE(std::regex_match(text, std::regex("1\\.1\\.0_240828_[0-9A-Fa-f]{8}"))) << text;
}

TEST_F(Api, SettersChangeWhatTheGettersReadBack) {
    constructQuiet();
    EXPECT_EQ(zel::getFileInPath(), "");
    EXPECT_EQ(zel::getFileOutPath(), "./");
    EXPECT_FALSE(zel::getDoExportClist());
    EXPECT_EQ(zel::getSamplingTime(), 1.0);

    // Setters store as given: no separator is added or converted.
    const int results[] = {zel::setFileInPath("C:\\data\\in"), zel::setFileOutPath("results"),
                           zel::setDoExportClist(true), zel::setTimeSampling(0.25), zel::setModelPath("models/"),
                           zel::setFileInNames({"a.t3pa", "b.t3pa"}),
                           zel::setClusterVarOrder({"EventID", "X", "Y", "E", "T"}), zel::setTimeAcquisition(10.0),
                           zel::setDoExportGraphics(false), zel::setComCamProjectionDist(100.0)};
    for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], 0) << "call " << i;
    EXPECT_EQ(zel::getFileInPath(), "C:\\data\\in");
    EXPECT_EQ(zel::getFileOutPath(), "results");
    EXPECT_TRUE(zel::getDoExportClist());
    EXPECT_EQ(zel::getSamplingTime(), 0.25);
    EXPECT_EQ(zel::setDoExportClist(false), 0);
    EXPECT_FALSE(zel::getDoExportClist());
}

TEST_F(Api, LoadParamFileJoinsPathAndNameAndCountsUnknownKeys) {
    constructQuiet();
    dir.write("params.txt", "TimeSampling = 2.5\n");
    EXPECT_EQ(zel::loadParamFile(dir.dir(), "params.txt"), 0);
    EXPECT_EQ(zel::getSamplingTime(), 2.5);
    EXPECT_EQ(zel::loadParamFile("", dir.file("params.txt")), 0);

    std::string withoutSeparator = dir.dir();
    withoutSeparator.pop_back();
    EXPECT_EQ(zeltest::raisedCode([&] { zel::loadParamFile(withoutSeparator, "params.txt"); }), -1000)
        << "a path that runs into the name must not find the file";

    // The engine survives the raised error; known lines still apply beside unknown ones.
    dir.write("unknown.txt", "NoSuchSetting = 1\nTimeSampling = 3\n// a comment line\nAnotherUnknown \"x\"\n");
    EXPECT_EQ(zel::loadParamFile(dir.dir(), "unknown.txt"), -2062);
    EXPECT_EQ(zel::getSamplingTime(), 3.0);
}

TEST_F(Api, FreshEngineHasNoSamplesNoFieldRecognitionAndNoProjection) {
    constructQuiet();
    for (auto series : kClassSeries) EXPECT_TRUE(series().empty());
    for (auto series : kTimeSeries) EXPECT_TRUE(series().empty());

    std::string name = "kept";
    double score = 5.5;
    EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(score, 5.5);
    double current = 9.0;
    EXPECT_EQ(zel::getCurrentCountParticle(current), 0);
    EXPECT_EQ(current, 0.0);
    EXPECT_EQ(zel::resetCurrDataStorage(), 0);

    double maxValue = 3.0;
    int nx = 4, ny = 5;
    Series projection{1.0};
    EXPECT_EQ(zel::getComCamProjectionMaxVal(maxValue), 0);
    EXPECT_EQ(maxValue, -1.0);
    EXPECT_EQ(zel::getComCamProjectionNBins(nx, ny), 0);
    EXPECT_EQ(nx, -1);
    EXPECT_EQ(ny, -1);
    EXPECT_EQ(zel::getComCamProjection(projection), 0);
    EXPECT_EQ(zel::getComCamTestProjection(projection), 0);
    EXPECT_EQ(zel::getComCamProjectionMaxVal(maxValue), 0);
    EXPECT_EQ(maxValue, -1.0) << "no projection was computed, so no maximum was taken";
}

// What a file run leaves for the host to read.
struct RunOutcome {
    int result = 0;
    double count = 0;
    double energy = 0;
    std::vector<Series> series;
    std::vector<Matrix> classSeries;
};

// Three clusters, one in each of three one-second samples, read from an event list in a fresh engine.
RunOutcome runEventList(const zeltest::TempDir& dir, const std::string& a, const std::string& b, const std::string& c) {
    dir.write("run.elist",
              "EventID\tX\tY\tE\tT\n-\tpx\tpx\tkeV\tns\n"
              "1\t10\t20\t100\t500000000\n2\t30\t40\t200\t1500000000\n3\t50\t60\t300\t2500000000\n");
    dir.write("run.txt", "FileInPath = \"" + dir.dir() + "\"\nFileInName = \"run.elist\"\nFileOutPath = \"" +
                             dir.dir() + "out/\"\nDoLog = false\nDoPrint = false\nDoPID = false\n"
                             "DoCheckPrereq = false\nDoExportGraphics = false\n");
    RunOutcome outcome;
    EXPECT_EQ(zel::construct(), 0);
    EXPECT_EQ(zel::loadParamFile(dir.dir(), "run.txt"), 0);
    outcome.result = zel::processFile(a, b, c);
    outcome.count = zel::getCountParticle();
    outcome.energy = zel::getEnergyDep();
    for (auto series : kTimeSeries) outcome.series.push_back(series());
    for (auto series : kClassSeries) outcome.classSeries.push_back(series());
    EXPECT_EQ(zel::destruct(), 0);
    return outcome;
}

TEST_F(Api, ProcessFileIgnoresItsArgumentsAndClassSeriesHaveOneRowPerClass) {
    const RunOutcome named = runEventList(dir, "elsewhere/", "other.t3pa", "whatever");
    const RunOutcome run = runEventList(dir, "", "", "");
    ASSERT_EQ(named.result, 0);
    ASSERT_EQ(run.result, 0);
    EXPECT_EQ(named.count, 3.0);
    EXPECT_EQ(named.energy, 600.0);
    EXPECT_EQ(named.count, run.count);
    EXPECT_EQ(named.energy, run.energy);
    EXPECT_EQ(named.series, run.series);
    EXPECT_EQ(named.classSeries, run.classSeries);

    EXPECT_EQ(run.series[0], (Series{1.0, 1.0, 1.0}));
    EXPECT_EQ(run.series[2], (Series{100.0, 200.0, 300.0}));
    ASSERT_EQ(run.series[7].size(), 3u);
    // Without particle classes there is one class: its row is the quantity's own time series.
    for (size_t q = 0; q < std::size(kClassSeries); ++q) {
        SCOPED_TRACE(q);
        ASSERT_EQ(run.classSeries[q].size(), 1u);
        const Series& row = run.classSeries[q][0];
        ASSERT_EQ(row.size(), run.series[q].size());
        for (size_t s = 0; s < row.size(); ++s) EXPECT_NEAR(row[s], run.series[q][s], 1e-9 * std::abs(row[s]));
    }
}

}  // namespace

// A simulated Compton camera run: the host reads the normalised image, its bin counts and the maximum of the
// first image it copied out.
TEST_F(Api, ComptonProjectionAfterARun) {
    const std::string generator = std::string(ZEL_BIN_DIR) + "/zel_gen_compton";
    if (std::system(("test -x \"" + generator + "\"").c_str()) != 0) GTEST_SKIP() << "generator not built";
    ASSERT_EQ(std::system(("\"" + generator + "\" --out \"" + dir.dir() + "\" --events 300 >/dev/null").c_str()), 0);
    dir.write("quiet.txt", zeltest::TempDir::read(dir.file("param.txt")) +
                               "DoLog = false\nDoPrint = false\nDoCheckPrereq = false\nDoExportGraphics = false\n");
    ASSERT_EQ(zel::construct(), 0);
    ASSERT_EQ(zel::loadParamFile(dir.dir(), "quiet.txt"), 0);
    ASSERT_EQ(zel::processFile("", "", ""), 0);
    double maxValue = 0;
    EXPECT_EQ(zel::getComCamProjectionMaxVal(maxValue), 0);
    EXPECT_EQ(maxValue, -1.0);
    int nx = 0, ny = 0;
    EXPECT_EQ(zel::getComCamProjectionNBins(nx, ny), 0);
    EXPECT_EQ(nx, 100);
    EXPECT_EQ(ny, 100);
    Series image;
    EXPECT_EQ(zel::getComCamProjection(image), 0);
    ASSERT_EQ(image.size(), 10000u);
    double sum = 0, largest = 0;
    for (double b : image) {
        sum += b;
        largest = std::max(largest, b);
    }
    EXPECT_NEAR(sum, 1.0, 1e-9);
    EXPECT_EQ(zel::getComCamProjectionMaxVal(maxValue), 0);
    EXPECT_EQ(maxValue, largest);
    Series again;
    EXPECT_EQ(zel::getComCamProjection(again), 0);
    EXPECT_EQ(again, image) << "reading the image leaves it as it was";
    EXPECT_EQ(zel::getComCamTestProjection(again), 0);
    EXPECT_EQ(again.size(), 10000u);
    EXPECT_EQ(zel::destruct(), 0);
}
