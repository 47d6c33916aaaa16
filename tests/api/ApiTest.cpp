#include "zel/ZEL_API.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;
using Series = std::vector<double>;
using zel::Matrix;

// A scratch directory removed with its contents at the end of the test.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() / ("zel_api_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path() const { return dir_.string() + "/"; }
    void write(const std::string& name, const std::string& text) const { std::ofstream(dir_ / name) << text; }

private:
    fs::path dir_;
};

// The engine is one global: every test starts and ends without one.
struct Api : ::testing::Test {
    TempDir dir;

    void SetUp() override { zel::destruct(); }
    void TearDown() override { zel::destruct(); }

    static void constructQuiet() {
        ASSERT_EQ(zel::construct(), 0);
        zel::setDoPrint(false);
        zel::setDoLog(false);
    }
};

using Total = double (*)();
using TimeSeries = Series (*)();
using ClassSeries = Matrix (*)();
using CurrentValue = int (*)(double&);
using CurrentRate = int (*)(double&, double);
using CurrentClass = int (*)(Series&);
using CurrentClassRate = int (*)(Series&, double);

constexpr Total kTotals[] = {zel::getCountParticle, zel::getCountRate, zel::getEnergyDep, zel::getDose,
                             zel::getDoseRate,      zel::getFluence,   zel::getFlux};
constexpr TimeSeries kTimeSeries[] = {zel::getCountParticleTime, zel::getCountRateTime, zel::getEnergyDepTime,
                                      zel::getDoseTime,          zel::getDoseRateTime,  zel::getFluenceTime,
                                      zel::getFluxTime,          zel::getElapsedTimes};
// In the same order as the first seven time series: each class getter holds the same quantity.
constexpr ClassSeries kClassSeries[] = {zel::getCountParticleTimeClass, zel::getCountRateTimeClass,
                                        zel::getEnergyDepTimeClass,     zel::getDoseTimeClass,
                                        zel::getDoseRateTimeClass,      zel::getFluenceTimeClass,
                                        zel::getFluxTimeClass};
constexpr CurrentValue kCurrentValues[] = {zel::getCurrentCountParticle, zel::getCurrentEnergyDep,
                                           zel::getCurrentDose, zel::getCurrentFluence};
constexpr CurrentRate kCurrentRates[] = {zel::getCurrentCountRate, zel::getCurrentDoseRate, zel::getCurrentFlux};
constexpr CurrentClass kCurrentClasses[] = {zel::getCurrentCountParticleClass, zel::getCurrentEnergyDepClass,
                                            zel::getCurrentDoseClass, zel::getCurrentFluenceClass};
constexpr CurrentClassRate kCurrentClassRates[] = {zel::getCurrentCountRateClass, zel::getCurrentDoseRateClass,
                                                   zel::getCurrentFluxClass};

TEST_F(Api, WithoutEngineEveryFunctionAnswersAbsentAndLeavesOutputsAlone) {
    dir.write("params.txt", "TimeSampling = 2\n");
    EXPECT_EQ(zel::destruct(), -1);
    EXPECT_EQ(zel::loadParamFile(dir.path(), "params.txt"), -1);
    EXPECT_EQ(zel::loadParamFile(dir.path(), "missing.txt"), -1);  // no engine: nothing is opened, nothing raised
    EXPECT_EQ(zel::init(), -1);
    EXPECT_EQ(zel::processFile("a", "b", "c"), -1);
    EXPECT_EQ(zel::processClusters({{1.0, 2.0, 3.0}}), -1);
    EXPECT_EQ(zel::reset(), -1);
    EXPECT_EQ(zel::resetCurrDataStorage(), -1);
    EXPECT_EQ(zel::print(), -1);
    EXPECT_EQ(zel::version(), "");

    EXPECT_EQ(zel::setFileInPath("in/"), -1);
    EXPECT_EQ(zel::setFileOutPath("out/"), -1);
    EXPECT_EQ(zel::setModelPath("models/"), -1);
    EXPECT_EQ(zel::setFileInNames({"a.t3pa"}), -1);
    EXPECT_EQ(zel::setClusterVarOrder({"X", "Y"}), -1);
    EXPECT_EQ(zel::setTimeSampling(2.0), -1);
    EXPECT_EQ(zel::setTimeAcquisition(2.0), -1);
    EXPECT_EQ(zel::setDoExportClist(true), -1);
    EXPECT_EQ(zel::setDoExportGraphics(false), -1);
    EXPECT_EQ(zel::setDoLog(false), -1);
    EXPECT_EQ(zel::setDoPrint(false), -1);
    EXPECT_EQ(zel::setComCamProjectionDist(10.0), -1);

    EXPECT_EQ(zel::getFileInPath(), "");
    EXPECT_EQ(zel::getFileOutPath(), "");
    EXPECT_FALSE(zel::getDoExportClist());
    EXPECT_EQ(zel::getSamplingTime(), -1.0);
    EXPECT_TRUE(zel::getPIDClassNames().empty());
    for (Total total : kTotals) EXPECT_EQ(total(), -1.0);
    for (TimeSeries series : kTimeSeries) EXPECT_TRUE(series().empty());
    for (ClassSeries series : kClassSeries) EXPECT_TRUE(series().empty());

    for (CurrentValue get : kCurrentValues) {
        double value = 123.0;
        EXPECT_EQ(get(value), -1);
        EXPECT_EQ(value, 123.0);
    }
    for (CurrentRate get : kCurrentRates) {
        double value = 123.0;
        EXPECT_EQ(get(value, 0.0), -1);
        EXPECT_EQ(value, 123.0);
    }
    for (CurrentClass get : kCurrentClasses) {
        Series values{7.0};
        EXPECT_EQ(get(values), -1);
        EXPECT_EQ(values, Series{7.0});
    }
    for (CurrentClassRate get : kCurrentClassRates) {
        Series values{7.0};
        EXPECT_EQ(get(values, 1.0), -1);
        EXPECT_EQ(values, Series{7.0});
    }

    EXPECT_TRUE(zel::getHist1DAll("E").empty());
    EXPECT_TRUE(zel::getHist2DAll({"X", "Y"}).empty());
    EXPECT_TRUE(zel::sensMatrixInt().empty());
    EXPECT_TRUE(zel::sensMatrixSample().empty());

    std::string name = "kept";
    double score = 5.5;
    EXPECT_EQ(zel::radFieldRecognition(name, score), -1);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(score, 5.5);
    Series projection{1.0, 2.0};
    EXPECT_EQ(zel::getComCamProjection(projection), -1);
    EXPECT_EQ(zel::getComCamTestProjection(projection), -1);
    EXPECT_EQ(projection, (Series{1.0, 2.0}));
    double maxValue = 3.0;
    EXPECT_EQ(zel::getComCamProjectionMaxVal(maxValue), -1);
    EXPECT_EQ(maxValue, 3.0);
    int nx = 4, ny = 5;
    EXPECT_EQ(zel::getComCamProjectionNBins(nx, ny), -1);
    EXPECT_EQ(nx, 4);
    EXPECT_EQ(ny, 5);

    // None of the calls above left an engine behind.
    EXPECT_EQ(zel::destruct(), -1);
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
}

TEST_F(Api, VersionJoinsNumberBuildDateAndEightHexDigits) {
    ASSERT_EQ(zel::construct(), 0);
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
    EXPECT_EQ(zel::setFileInPath("C:\\data\\in"), 0);
    EXPECT_EQ(zel::setFileOutPath("results"), 0);
    EXPECT_EQ(zel::setDoExportClist(true), 0);
    EXPECT_EQ(zel::setTimeSampling(0.25), 0);
    EXPECT_EQ(zel::getFileInPath(), "C:\\data\\in");
    EXPECT_EQ(zel::getFileOutPath(), "results");
    EXPECT_TRUE(zel::getDoExportClist());
    EXPECT_EQ(zel::getSamplingTime(), 0.25);
    EXPECT_EQ(zel::setDoExportClist(false), 0);
    EXPECT_FALSE(zel::getDoExportClist());

    EXPECT_EQ(zel::setModelPath("models/"), 0);
    EXPECT_EQ(zel::setFileInNames({"a.t3pa", "b.t3pa"}), 0);
    EXPECT_EQ(zel::setClusterVarOrder({"EventID", "X", "Y", "E", "T"}), 0);
    EXPECT_EQ(zel::setTimeAcquisition(10.0), 0);
    EXPECT_EQ(zel::setDoExportGraphics(false), 0);
    EXPECT_EQ(zel::setComCamProjectionDist(100.0), 0);
}

TEST_F(Api, LoadParamFileJoinsPathAndNameWithoutSeparator) {
    constructQuiet();
    dir.write("params.txt", "TimeSampling = 2.5\n");
    EXPECT_EQ(zel::loadParamFile(dir.path(), "params.txt"), 0);
    EXPECT_EQ(zel::getSamplingTime(), 2.5);
    EXPECT_EQ(zel::loadParamFile("", dir.path() + "params.txt"), 0);

    std::string withoutSeparator = dir.path();
    withoutSeparator.pop_back();
    try {
        zel::loadParamFile(withoutSeparator, "params.txt");
        ADD_FAILURE() << "a path that runs into the name must not find the file";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "-1000");
    }
    EXPECT_EQ(zel::destruct(), 0) << "the engine survives the raised error";
}

TEST_F(Api, LoadParamFileCountsEveryUnknownKey) {
    constructQuiet();
    dir.write("params.txt", "NoSuchSetting = 1\nTimeSampling = 3\n// a comment line\nAnotherUnknown \"x\"\n");
    EXPECT_EQ(zel::loadParamFile(dir.path(), "params.txt"), -2062);
    EXPECT_EQ(zel::getSamplingTime(), 3.0) << "known lines still apply";
}

TEST_F(Api, FreshEngineHasNoSamplesAndNoFieldRecognition) {
    constructQuiet();
    for (ClassSeries series : kClassSeries) EXPECT_TRUE(series().empty());
    for (TimeSeries series : kTimeSeries) EXPECT_TRUE(series().empty());

    std::string name = "kept";
    double score = 5.5;
    EXPECT_EQ(zel::radFieldRecognition(name, score), 0);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(score, 5.5);

    double current = 9.0;
    EXPECT_EQ(zel::getCurrentCountParticle(current), 0);
    EXPECT_EQ(current, 0.0);
    EXPECT_EQ(zel::resetCurrDataStorage(), 0);
}

TEST_F(Api, ComptonGettersAnswerZeroWithUnsetProjection) {
    constructQuiet();
    double maxValue = 3.0;
    EXPECT_EQ(zel::getComCamProjectionMaxVal(maxValue), 0);
    EXPECT_EQ(maxValue, -1.0);
    int nx = 4, ny = 5;
    EXPECT_EQ(zel::getComCamProjectionNBins(nx, ny), 0);
    EXPECT_EQ(nx, -1);
    EXPECT_EQ(ny, -1);
    Series projection{1.0};
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
RunOutcome runEventList(const TempDir& dir, const std::string& a, const std::string& b, const std::string& c) {
    dir.write("run.elist",
              "EventID\tX\tY\tE\tT\n-\tpx\tpx\tkeV\tns\n"
              "1\t10\t20\t100\t500000000\n2\t30\t40\t200\t1500000000\n3\t50\t60\t300\t2500000000\n");
    dir.write("run.txt", "FileInPath = \"" + dir.path() + "\"\nFileInName = \"run.elist\"\nFileOutPath = \"" +
                             dir.path() + "out/\"\nDoLog = false\nDoPrint = false\nDoPID = false\n"
                             "DoCheckPrereq = false\nDoExportGraphics = false\n");
    RunOutcome outcome;
    EXPECT_EQ(zel::construct(), 0);
    EXPECT_EQ(zel::loadParamFile(dir.path(), "run.txt"), 0);
    outcome.result = zel::processFile(a, b, c);
    outcome.count = zel::getCountParticle();
    outcome.energy = zel::getEnergyDep();
    for (TimeSeries series : kTimeSeries) outcome.series.push_back(series());
    for (ClassSeries series : kClassSeries) outcome.classSeries.push_back(series());
    EXPECT_EQ(zel::destruct(), 0);
    return outcome;
}

TEST_F(Api, ProcessFileIgnoresItsThreeArguments) {
    const RunOutcome named = runEventList(dir, "elsewhere/", "other.t3pa", "whatever");
    const RunOutcome empty = runEventList(dir, "", "", "");
    ASSERT_EQ(named.result, 0);
    ASSERT_EQ(empty.result, 0);
    EXPECT_EQ(named.count, 3.0);
    EXPECT_EQ(named.energy, 600.0);
    EXPECT_EQ(named.count, empty.count);
    EXPECT_EQ(named.energy, empty.energy);
    EXPECT_EQ(named.series, empty.series);
    EXPECT_EQ(named.classSeries, empty.classSeries);
}

TEST_F(Api, ClassSeriesAreTransposedOneRowPerClass) {
    const RunOutcome run = runEventList(dir, "", "", "");
    ASSERT_EQ(run.result, 0);
    EXPECT_EQ(run.series[0], (Series{1.0, 1.0, 1.0}));
    EXPECT_EQ(run.series[2], (Series{100.0, 200.0, 300.0}));
    ASSERT_EQ(run.series[7].size(), 3u);
    // Without particle classes there is one class: its row is the quantity's own time series.
    for (size_t q = 0; q < std::size(kClassSeries); ++q) {
        SCOPED_TRACE(q);
        ASSERT_EQ(run.classSeries[q].size(), 1u);
        const Series& row = run.classSeries[q][0];
        const Series& expected = run.series[q];
        ASSERT_EQ(row.size(), expected.size());
        for (size_t s = 0; s < row.size(); ++s) EXPECT_NEAR(row[s], expected[s], 1e-9 * std::abs(expected[s]));
    }
}

}  // namespace
