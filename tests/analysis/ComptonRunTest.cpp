// The Compton camera on simulated measurements: point sources seen by a Si scatterer over a CdTe absorber
// (zel_gen_compton), read back like the engine reads an event list, and once through the zel program itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "AnalysisTestSupport.h"
#include "analysis/CoincidenceAnalysis.h"
#include "analysis/ComptonCamera.h"
#include "cluster/ClusterVariables.h"
#include "input/Elist.h"

namespace {

using zel::ComptonCamera;

struct ComptonRunTest : ::testing::Test, zeltest::LoggedDir {
    const std::string bin = ZEL_BIN_DIR;
    std::vector<std::unique_ptr<zel::DetectorSetup>> geometries;  // one per run, as long as its camera
    std::map<std::string, long long> truth;  // events of each kind

    bool generate(const std::string& options) {
        const std::string command = "\"" + bin + "/zel_gen_compton\" --out \"" + tmp.dir() + "gen\" " + options +
                                    " >\"" + tmp.file("gen.txt") + "\" 2>&1";
        std::filesystem::create_directories(tmp.dir() + "gen");
        const int status = std::system(command.c_str());
        if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0)) return false;
        std::istringstream lines(zeltest::TempDir::read(tmp.dir() + "gen/truth.txt"));
        std::string line;
        while (std::getline(lines, line) && line.rfind("# ", 0) == 0) {
            std::istringstream words(line.substr(2));
            std::string kind;
            long long count = 0;
            if (words >> kind >> count) truth[kind] = count;
        }
        return true;
    }

    // Reads the generated list cluster by cluster into coincidence groups and the camera.
    void run(ComptonCamera& camera, ComptonCamera::Config config = {}) {
        zel::DetectorSetup& geometry = *geometries.emplace_back(std::make_unique<zel::DetectorSetup>());
        geometry.setMessageTarget(to);
        ASSERT_EQ(geometry.loadConfig(tmp.dir() + "gen/", "geometry.ini"), 0) << logText();
        zel::ConfigFile file(tmp.dir() + "gen/", "compton.ini");
        ASSERT_EQ(file.load(), 0);
        config.read(file);
        zel::Elist list(tmp.dir() + "gen/", "compton.elist", 'r', to, -5600);
        ASSERT_EQ(list.init(), 0);
        zel::ClusterVariables variables;
        variables.setList(list.names(), list.units());
        variables.mapNames({nullptr, false, false});
        ComptonCamera::Output output;
        output.directory = tmp.dir() + "Compton/";
        ASSERT_EQ(camera.init(config, &geometry, ComptonCamera::Indexes::from(variables), output, to, -5700), 0)
            << logText();
        zel::CoincidenceAnalysis grouper;
        zel::CoincidenceAnalysis::Columns columns{variables.index(zel::Var::EventID), variables.index(zel::Var::T),
                                                   variables.index(zel::Var::E), -1};
        ASSERT_TRUE(grouper.init({}, columns, to));
        grouper.setGroupReceiver([&](const zel::CoincidenceGroup& g) { camera.processGroup(g); });
        zel::ClusterBatch batch;
        while (list.hasMoreData()) {
            ASSERT_EQ(list.readBatch(batch), 0);
            for (size_t r = 0; r < batch.size(); ++r) grouper.groupCluster(batch.row(r));
        }
        grouper.finishInput();
        camera.closeSample(1.0, true);
        ASSERT_EQ(camera.finishInput(), 0);
    }

    // Centre (mm) of the fullest bin of the image within the x range [xFrom, xTo).
    static std::pair<double, double> peak(const ComptonCamera& camera, const std::vector<double>& image,
                                          double xFrom = -1e9, double xTo = 1e9) {
        const zel::Hist2D& h = *camera.projectionImage();
        double best = -1;
        std::pair<double, double> at{0, 0};
        for (int i = 1; i <= static_cast<int>(image.size()); ++i) {
            const auto centre = h.GetBinCenter(i);
            if (centre.first < xFrom || centre.first >= xTo || image[i - 1] <= best) continue;
            best = image[i - 1];
            at = centre;
        }
        return at;
    }
};

// 3000 photons of 662 keV from (600, -400, 5000) mm; the image has 50 mm bins.
TEST_F(ComptonRunTest, PointSourceMaximumLiesAtTheSource) {
    if (!std::filesystem::exists(bin + "/zel_gen_compton")) GTEST_SKIP() << "generator not built";
    ASSERT_TRUE(generate("--events 3000 --seed 5 --source 600,-400"));
    ComptonCamera camera;
    run(camera);
    const ComptonCamera::Counters& c = camera.counters();
    EXPECT_EQ(c.coincGroups, 3000);
    EXPECT_EQ(c.failed, 0);
    EXPECT_EQ(c.backward, 0);
    EXPECT_GT(c.inProjection, 1500);
    std::vector<double> image;
    ASSERT_EQ(camera.projection(image), 0);
    const auto [x, y] = peak(camera, image);
    std::printf("point source at (600, -400): maximum at (%.0f, %.0f), %.0f cones, %.0f in the image\n", x, y,
                c.passed, c.inProjection);
    EXPECT_NEAR(x, 600, 2 * 50);
    EXPECT_NEAR(y, -400, 2 * 50);
}

TEST_F(ComptonRunTest, TwoSourcesGiveTwoSeparatedMaxima) {
    if (!std::filesystem::exists(bin + "/zel_gen_compton")) GTEST_SKIP() << "generator not built";
    ASSERT_TRUE(generate("--events 4000 --seed 9 --source -1000,500 --source 1000,-500"));
    ComptonCamera camera;
    run(camera);
    std::vector<double> image;
    ASSERT_EQ(camera.projection(image), 0);
    const auto left = peak(camera, image, -1e9, 0);
    const auto right = peak(camera, image, 0, 1e9);
    std::printf("sources at (-1000, 500) and (1000, -500): maxima at (%.0f, %.0f) and (%.0f, %.0f)\n", left.first,
                left.second, right.first, right.second);
    EXPECT_NEAR(left.first, -1000, 100);
    EXPECT_NEAR(left.second, 500, 100);
    EXPECT_NEAR(right.first, 1000, 100);
    EXPECT_NEAR(right.second, -500, 100);
    // Between the two, the image is clearly lower than at either maximum.
    const zel::Hist2D& h = *camera.projectionImage();
    const double middle = image[h.GetFlatIndex(51, 51) - 1];
    EXPECT_LT(middle, 0.5 * image[h.GetFlatIndex(31, 61) - 1]);
}

// The order counters against the ground truth. At 662 keV a Si deposit from 184.3 keV up
// (511 / (2 + 511 / 662)) could also be a scattered photon's, so such forward scatters fit both orders, and so does
// every backward scatter; only forward scatters with less in the Si are unique.
TEST_F(ComptonRunTest, CountersAgreeWithTheGroundTruth) {
    if (!std::filesystem::exists(bin + "/zel_gen_compton")) GTEST_SKIP() << "generator not built";
    ASSERT_TRUE(generate("--events 2000 --seed 3 --backward 0.2 --escape 0.1 --single 0.1 --cdte-sigma 0 "
                         "--si-sigma 0"));
    const long long events = 2000;
    ASSERT_EQ(truth["forward"] + truth["backward"] + truth["escape"] + truth["single"], events);
    long long uniqueForward = 0;
    std::istringstream lines(zeltest::TempDir::read(tmp.dir() + "gen/truth.txt"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string id, kind;
        double sx, sy, theta, siEnergy;
        if (words >> id >> kind >> sx >> sy >> theta >> siEnergy && kind == "forward")
            uniqueForward += siEnergy < 511 / (2 + 511 / 662.0) ? 1 : 0;
    }
    ComptonCamera camera;
    run(camera);
    const ComptonCamera::Counters& c = camera.counters();
    EXPECT_EQ(c.coincGroups, events - truth["single"]);
    EXPECT_EQ(c.possibleEvents, truth["forward"] + truth["backward"]);  // escapes fall below the window
    EXPECT_EQ(c.orderUnique, uniqueForward);
    EXPECT_EQ(c.orderAmbiguous, truth["forward"] - uniqueForward + truth["backward"]);
    EXPECT_EQ(c.forward, uniqueForward);
    EXPECT_EQ(c.backward, 0);
    EXPECT_EQ(c.passed, uniqueForward);
    EXPECT_EQ(c.multiDetector, c.possibleEvents);
    EXPECT_EQ(c.failed, 0);
    EXPECT_EQ(c.inProjection + c.outProjection, c.passed);

    ComptonCamera::Config config;
    config.forceBackward = true;
    ComptonCamera backward;
    run(backward, config);
    EXPECT_EQ(backward.counters().forward, uniqueForward);
    EXPECT_EQ(backward.counters().backward, c.orderAmbiguous);
}

// Double scatters put two clusters into the CdTe: pairs on one detector, gone with pairs only or when skipped.
TEST_F(ComptonRunTest, DoubleScattersAndRandomCoincidences) {
    if (!std::filesystem::exists(bin + "/zel_gen_compton")) GTEST_SKIP() << "generator not built";
    ASSERT_TRUE(generate("--events 2000 --seed 4 --double 0.3 --random 0.2"));
    ComptonCamera::Config config;
    ComptonCamera all;
    run(all, config);
    EXPECT_EQ(all.counters().coincGroups, 2000);
    EXPECT_GT(all.counters().singleDetector, 0);
    EXPECT_GE(all.counters().possibleEvents, truth["forward"] + truth["double"] - 20);  // smeared sums at the edges
    config.onlyPairCoinc = true;
    ComptonCamera pairs;
    run(pairs, config);
    EXPECT_EQ(pairs.counters().singleDetector, 0);
    EXPECT_EQ(pairs.counters().possibleEvents, all.counters().possibleEvents);
    EXPECT_LE(pairs.counters().passed, all.counters().passed);
    config.onlyPairCoinc = false;
    config.skipSelfDetectorCoinc = true;
    ComptonCamera skipping;
    run(skipping, config);
    EXPECT_EQ(skipping.counters().singleDetector, all.counters().singleDetector);
    EXPECT_LE(skipping.counters().passed, all.counters().passed);
}

TEST_F(ComptonRunTest, ZelRunWritesTheComptonListAndImage) {
    if (!std::filesystem::exists(bin + "/zel_gen_compton") || !std::filesystem::exists(bin + "/zel"))
        GTEST_SKIP() << "generator or zel not built";
    ASSERT_TRUE(generate("--events 500 --seed 2 --source 0,0"));
    const std::string command = "cd \"" + tmp.dir() + "\" && \"" + bin + "/zel\" \"" + tmp.dir() +
                                "gen/param.txt\" >\"" + tmp.file("zel.txt") + "\" 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << zeltest::TempDir::read(tmp.file("zel.txt"));
    const auto json = nlohmann::json::parse(zeltest::TempDir::read(tmp.dir() + "gen/out/Compton/ComptonList.json"));
    EXPECT_EQ(json["CountCoincGroups_cnt"], 500);
    EXPECT_GT(json["CountInProjCompGroup_cnt"].get<int>(), 250);
    EXPECT_TRUE(std::filesystem::exists(tmp.dir() + "gen/out/Compton/ConeParams.txt"));
    EXPECT_TRUE(std::filesystem::exists(tmp.dir() + "gen/out/Compton/Hist/ComCamProjection.hist"));
}

}  // namespace

// A configuration without the energy window leaves the camera out; the rest of the run goes on.
TEST_F(ComptonRunTest, ZelRunWithoutTheEnergyWindowGoesOnWithoutTheCamera) {
    if (!std::filesystem::exists(bin + "/zel_gen_compton") || !std::filesystem::exists(bin + "/zel"))
        GTEST_SKIP() << "generator or zel not built";
    ASSERT_TRUE(generate("--events 50 --seed 2"));
    tmp.write("gen/compton.ini", "[Settings]\nEnergyComptonSumMax = 700\nFileDetGeo_Path = \"" + tmp.dir() +
                                     "gen/\"\nFileDetGeo_Name = \"geometry.ini\"\n");
    const std::string command = "cd \"" + tmp.dir() + "\" && \"" + bin + "/zel\" \"" + tmp.dir() +
                                "gen/param.txt\" >\"" + tmp.file("zel.txt") + "\" 2>&1";
    const int status = std::system(command.c_str());
    const std::string output = zeltest::TempDir::read(tmp.file("zel.txt"));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_NE(output.find("-5806 : ComptonCamera : Compton matching can not be initialized. Min or max energy for sum "
                          "has not been not given: min = -1 max = 700"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("-1032 : Error occurred during Compton camera module initialization."), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(tmp.dir() + "gen/out/CoincEvent/CoincEventList.json"));
    EXPECT_FALSE(std::filesystem::exists(tmp.dir() + "gen/out/Compton/ComptonList.json"));
}
