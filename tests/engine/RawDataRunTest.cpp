// Raw data through the clusterer program and back into the engine: generated Timepix3 pixels, and the real
// ground-level cosmic measurement (cluster log in ToT with its calibration matrices) when it is at hand.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "support/TempDir.h"
#include "zel/ZEL_API.h"

namespace {

const std::string kBin = ZEL_BIN_DIR "/";
const std::string kCosmic = ZEL_SHARED_DATA_DIR "/cosmic-tpx-si300/";

struct RawDataRun : ::testing::Test {
    zeltest::TempDir dir{"zel_raw"};
    std::filesystem::path before = std::filesystem::current_path();
    void SetUp() override {
        if (!std::filesystem::exists(kBin + "clusterer")) GTEST_SKIP() << "clusterer not built";
        std::filesystem::current_path(dir.dir());  // the clusterer's statistics file is written here
        ASSERT_EQ(zel::construct(), 0);
    }
    void TearDown() override {
        zel::destruct();
        std::filesystem::current_path(before);
    }
    void load(const std::string& inputPath, const std::string& inputName, const std::string& extra) {
        dir.write("run.param", "FileInPath = \"" + inputPath + "\"\nFileInName = \"" + inputName +
                                   "\"\nFileOutPath = \"" + dir.dir() + "out/\"\nLogPath = \"" + dir.dir() +
                                   "out/\"\nClustererPath = \"" + kBin + "\"\nDoPID = false\nDoFilter = false\n"
                                   "DoPrint = false\nDoExportGraphics = false\nDoLogClustererCmd = true\n" + extra);
        ASSERT_EQ(zel::loadParamFile(dir.dir(), "run.param"), 0);
    }
    std::string log() const { return zeltest::TempDir::read(dir.file("out/LogFile.txt")); }
};

TEST_F(RawDataRun, GeneratedTimepix3PixelsAreClusteredAndProcessed) {
    const std::string generate = kBin + "zel_gen_raw --format t3pa --clusters 300 --rate 1000 --separate --seed 3 --out " +
                                 dir.file("gen.t3pa") + " --truth " + dir.file("truth.txt") + " > /dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    load(dir.dir(), "gen.t3pa", "IsEnergyCalibrated = true\n");
    ASSERT_EQ(zel::processFile("", "", ""), 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 300);  // separate clusters come back one for one
    EXPECT_NE(log().find("Clustere command: |\"" + kBin + "clusterer\""), std::string::npos);
    // Intermediate event lists are removed at the end; the results stay.
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/File/EventList.korelist")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/File/SamplingList.json")));
}

TEST_F(RawDataRun, EventListOfAnEarlierRunIsUsedWhenTheCommandIsNotRun) {
    const std::string generate =
        kBin + "zel_gen_raw --format t3pa --clusters 50 --separate --seed 4 --out " + dir.file("gen.t3pa") + " > /dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    load(dir.dir(), "gen.t3pa", "IsEnergyCalibrated = true\nDoRemoveElist = false\n");
    ASSERT_EQ(zel::processFile("", "", ""), 0);
    zel::destruct();
    zel::construct();
    load(dir.dir(), "gen.t3pa", "IsEnergyCalibrated = true\nDoRunClustererCmd = false\nDoRemoveOldElist = false\n");
    ASSERT_EQ(zel::processFile("", "", ""), 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 50);
    EXPECT_NE(log().find("Clustere command:"), std::string::npos);
}

TEST_F(RawDataRun, FileNamesAreNeverReadAsCommands) {
    // The working directory is the scratch directory, where a shell would create X.
    const std::string name = "run$(touch X).t3pa";
    const std::string generate = kBin + "zel_gen_raw --format t3pa --clusters 20 --separate --seed 5 --out '" +
                                 dir.file(name) + "' > /dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    ASSERT_FALSE(std::filesystem::exists(dir.file("X")));
    load(dir.dir(), name, "IsEnergyCalibrated = true\n");
    ASSERT_EQ(zel::processFile("", "", ""), 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 20);
    EXPECT_FALSE(std::filesystem::exists(dir.file("X")));
    EXPECT_NE(log().find(" \"" + dir.file(name) + "\" |"), std::string::npos) << "the command is logged as it was";
}

TEST_F(RawDataRun, CosmicBackgroundGivesAFractionOfAMicrograyPerHour) {
    if (!std::filesystem::exists(kCosmic + "cosmic.clog")) GTEST_SKIP() << "cosmic measurement not at hand";
    load(kCosmic, "cosmic.clog", "CalMat = \"" + kCosmic + "\"\nTimeSampling = 1000\n");
    ASSERT_EQ(zel::processFile("", "", ""), 0);
    const double count = zel::getCountParticle();
    const double doseRate = zel::getDoseRate();
    std::printf("cosmic: %.0f clusters, %.4g uGy/h over %.0f s\n", count, doseRate, zel::getElapsedTimes().back());
    EXPECT_GT(count, 500);
    EXPECT_GT(doseRate, 0.01);
    EXPECT_LT(doseRate, 1.0);
    // 1000 frames of 5 s with about 0.2 s between them: the run spans about 5200 s.
    EXPECT_NEAR(zel::getElapsedTimes().back(), 5200, 100);
    EXPECT_NE(log().find(" -c \"" + kCosmic + "\""), std::string::npos);
}

}  // namespace

namespace {

TEST_F(RawDataRun, SeveralTimepix3FilesAreClusteredIntoOneRun) {
    for (int i = 0; i < 2; ++i) {
        const std::string generate = kBin + "zel_gen_raw --format t3pa --clusters 40 --separate --seed " +
                                     std::to_string(10 + i) + " --out " + dir.file("part" + std::to_string(i) + ".t3pa") +
                                     " > /dev/null";
        ASSERT_EQ(std::system(generate.c_str()), 0);
    }
    dir.write("part.clog", "Frame 1 (0.0, 1.0 s)\n[1, 1, 10]\n");  // same name part, other kind: not taken
    load(dir.dir(), "part", "IsEnergyCalibrated = true\nDoMultiFile = true\nFileInNameEnd = \".t3pa\"\n");
    ASSERT_EQ(zel::processFile("", "", ""), 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 80);
    // The second input continues the frame numbering the clusterer reported for the first.
    const std::string text = log();
    const size_t first = text.find("--frame-start-num 0 ");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.find("--frame-start-num 1 ", first), std::string::npos);
    EXPECT_NE(log().find("part1.t3pa"), std::string::npos);
    EXPECT_EQ(log().find("part.clog\" |"), std::string::npos);
}

TEST_F(RawDataRun, InputTheClustererFailsOnIsNamedAndTheProgramFails) {
    if (!std::filesystem::exists(kBin + "zel")) GTEST_SKIP() << "zel program not built";
    for (int i : {0, 2}) {
        const std::string generate = kBin + "zel_gen_raw --format t3pa --clusters 40 --separate --seed " +
                                     std::to_string(20 + i) + " --out " + dir.file("part" + std::to_string(i) + ".t3pa") +
                                     " > /dev/null";
        ASSERT_EQ(std::system(generate.c_str()), 0);
    }
    dir.write("part1.t3pa", "");
    load(dir.dir(), "part", "IsEnergyCalibrated = true\nDoMultiFile = true\nFileInNameEnd = \".t3pa\"\n");
    const std::string command = kBin + "zel " + dir.file("run.param") + " > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    // The other two inputs are in the results, which name the one left out.
    const auto results = nlohmann::json::parse(zeltest::TempDir::read(dir.file("out/File/SamplingList.json")));
    EXPECT_EQ(results["CountParticle_Sum_cnt"], 80);
    EXPECT_EQ(results["FileIn_Failed"], nlohmann::json::array({"part1.t3pa"}));
    EXPECT_NE(log().find("Clusterer failed on " + dir.file("part1.t3pa")), std::string::npos);
    EXPECT_NE(log().find("Not processed: part1.t3pa."), std::string::npos);
}

TEST_F(RawDataRun, MissingClustererTakesNoListOfAnEarlierRun) {
    const std::string generate =
        kBin + "zel_gen_raw --format t3pa --clusters 30 --separate --seed 6 --out " + dir.file("gen.t3pa") + " > /dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    load(dir.dir(), "gen.t3pa", "IsEnergyCalibrated = true\nDoRemoveElist = false\n");
    ASSERT_EQ(zel::processFile("", "", ""), 0);
    ASSERT_TRUE(std::filesystem::exists(dir.file("out/File/EventListExt.korelist")));
    zel::destruct();
    zel::construct();
    load(dir.dir(), "gen.t3pa", "IsEnergyCalibrated = true\nClustererName = \"no-such-clusterer\"\n");
    EXPECT_NE(zel::processFile("", "", ""), 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 0);
    EXPECT_NE(log().find("Clusterer failed on " + dir.file("gen.t3pa")), std::string::npos);
}

TEST_F(RawDataRun, TextFrameIsClusteredAsFrameData) {
    std::string frame;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const bool hit = (x == 100 && y == 100) || (x == 101 && y == 100) || (x == 30 && y == 200);
            frame += hit ? "20" : "0";
            frame += x + 1 < 256 ? " " : "\n";
        }
    }
    dir.write("frame.txt", frame);
    load(dir.dir(), "frame.txt", "IsEnergyCalibrated = true\n");
    ASSERT_EQ(zel::processFile("", "", ""), 0);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 2);  // a two-pixel cluster and a single pixel
    EXPECT_DOUBLE_EQ(zel::getEnergyDep(), 60);
}

}  // namespace

TEST_F(RawDataRun, CoincidenceGroupsAreDrawnFromTheClusterLog) {
    // A window of 1 ms at 2000 clusters per second: hundreds of groups.
    const std::string generate = kBin + "zel_gen_raw --format t3pa --clusters 600 --rate 2000 --seed 5 --out " +
                                 dir.file("gen.t3pa") + " > /dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    load(dir.dir(), "gen.t3pa", "IsEnergyCalibrated = true\nTimeCoinc = 1000000\n");
    ASSERT_EQ(zel::processFile("", "", ""), 0);

    // The group table: energy sums by group number, and the largest group's.
    std::ifstream table(dir.file("out/CoincEvent/CoincGroups.txt"));
    std::string line;
    std::getline(table, line);
    std::map<std::string, double> energyOf;
    double largestEnergy = 0;
    int largestSize = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, skip;
        int size = 0;
        double energy = 0;
        fields >> id >> size >> skip >> skip >> skip >> skip >> energy;
        energyOf[id] = energy;
        if (size > largestSize) largestSize = size, largestEnergy = energy;
    }
    ASSERT_GT(energyOf.size(), 40u);

    // Each group image holds exactly its group's pixels: the image's sum is the group's deposited energy.
    auto imageSum = [&](const std::string& name) {
        std::ifstream data(dir.file("out/EventVisual/" + name + ".hist"));
        double sum = 0, x = 0, y = 0, value = 0;
        while (data >> x >> y >> value) sum += value;
        return sum;
    };
    EXPECT_NEAR(imageSum("ClustersMaxCoincGroup"), largestEnergy, 1e-6 * largestEnergy);
    int spread = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("out/EventVisual"))) {
        const std::string name = entry.path().stem().string();
        if (entry.path().extension() != ".hist" || name.rfind("ClustersCoincGroup_", 0) != 0) continue;
        ++spread;
        const std::string id = name.substr(std::string("ClustersCoincGroup_").size());
        ASSERT_TRUE(energyOf.count(id)) << name;
        EXPECT_NEAR(imageSum(name), energyOf[id], 1e-6 * energyOf[id]) << name;
    }
    EXPECT_EQ(spread, 20);
}
