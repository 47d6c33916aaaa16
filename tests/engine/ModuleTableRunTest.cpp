// Modules of the table through whole file runs: each is created when its setting is on, reports under its own
// section, exports its results, and a module that cannot start is left out while the run goes on.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/TempDir.h"
#include "zel/ZEL_API.h"

namespace {

const char* kTrackList =
    "DetectorID\tEventID\tX\tY\tE\tT\tSize\tRoundness\tAngleAzim\tLengthProj\tLengthCorrStd\tLength3DCorrStd\t"
    "AngleElev\n-\t-\tpx\tpx\tkeV\tns\tpx\t-\tdeg\tpx\tpx\tum\tdeg\n"
    "0\t0\t10\t10\t20\t100000000\t1\t1\t0\t1\t0\t300\t90\n"
    "0\t1\t50\t50\t300\t200000000\t12\t0.1\t30\t11\t10\t604.4\t29.5\n"
    "0\t2\t90\t90\t900\t1500000000\t9\t1\t0\t3\t2\t331.3\t69.8\n";

struct ModuleTableRun : ::testing::Test {
    zeltest::TempDir dir{"zel_modules"};
    void SetUp() override { ASSERT_EQ(zel::construct(), 0); }
    void TearDown() override { zel::destruct(); }

    int run(const std::string& list, const std::string& extra) {
        dir.write("run.elist", list);
        dir.write("run.param", "FileInPath = \"" + dir.dir() + "\"\nFileInName = \"run.elist\"\nFileOutPath = \"" +
                                   dir.dir() + "out/\"\nLogPath = \"" + dir.dir() + "out/\"\nDoPID = false\n"
                                   "DoPrint = false\nDoExportGraphics = false\nDoFilter = false\n" + extra);
        if (zel::loadParamFile(dir.dir(), "run.param") != 0) return -100;
        return zel::processFile("", "", "");
    }
    std::string log() { return zeltest::TempDir::read(dir.file("out/LogFile.txt")); }
};

TEST_F(ModuleTableRun, DirectionalAnalysisReportsAndExportsItsList) {
    ASSERT_EQ(run(kTrackList, "DoDirection = true\n"), 0);
    auto json = nlohmann::json::parse(zeltest::TempDir::read(dir.file("out/Direction/DirectionList.json")));
    EXPECT_EQ(json["CountParticle_Sum_cnt"], 3);
    EXPECT_NE(log().find("DIRECTONAL ANALYSIS"), std::string::npos);
    // The sampling list still comes first among the results lists.
    EXPECT_LT(log().find("Results list:\t\t\t\t" + dir.dir() + "out/./File/SamplingList.txt"),
              log().find("Direction/DirectionList.txt", log().find("EXPORTING")));
}

TEST_F(ModuleTableRun, ModulesThatCannotStartAreLeftOutAndTheRunGoesOn) {
    // Without angle columns the directional analysis cannot start; a geometry file that is missing drops the
    // geometry. Neither stops the run.
    const std::string plain = "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n0\t10\t10\t20\t100000000\t1\n";
    ASSERT_EQ(run(plain, "DoDirection = true\nDetGeoName = \"absent.ini\"\n"), 0) << log();
    EXPECT_NE(log().find("-1033 : Error occurred during direction analysis module initialization. Module will not be "
                         "used in processing."),
              std::string::npos);
    EXPECT_NE(log().find("-1044 : Error occurred during detector geometry initialization."), std::string::npos);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/Direction/DirectionList.json")));
}

TEST_F(ModuleTableRun, ASwitchedOffModuleIsNeitherMadeNorReported) {
    ASSERT_EQ(run(kTrackList, "DoDirection = false\n"), 0);
    EXPECT_EQ(log().find("DIRECTONAL ANALYSIS"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/Direction/DirectionList.json")));
}

}  // namespace

namespace {

TEST_F(ModuleTableRun, ARunThatWouldCloseTooManySamplesStopsWithItsCode) {
    // One cluster 1e18 ns after the first: a billion one-second samples would follow.
    const std::string jump = "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n0\t1\t1\t5\t0\t1\n1\t2\t2\t5\t1e18\t1\n";
    EXPECT_EQ(run(jump, "DoDirection = false\n"), -3006);
    EXPECT_NE(log().find("-3018 : The run stops in run.elist"), std::string::npos) << log();
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/File/SamplingList.json")));
}

TEST_F(ModuleTableRun, ASamplingTimeThatCanNotCutTimeStopsInitialisation) {
    dir.write("run.elist", kTrackList);
    dir.write("run.param", "FileInPath = \"" + dir.dir() + "\"\nFileInName = \"run.elist\"\nFileOutPath = \"" +
                               dir.dir() + "out/\"\nLogPath = \"" + dir.dir() + "out/\"\nDoPrint = false\n"
                               "TimeSampling = 0\n");
    ASSERT_EQ(zel::loadParamFile(dir.dir(), "run.param"), 0);
    EXPECT_EQ(zel::init(), -1036);
    EXPECT_NE(log().find("-1048 : "), std::string::npos);
    EXPECT_EQ(zel::setTimeSampling(1e-300), -1048);
    EXPECT_EQ(zel::setTimeSampling(0.5), 0);
}

}  // namespace
