// The pixel mask and the sensor maps in whole runs: masked copies of cluster logs and pixel lists clustered in place
// of their inputs, the products scaled by N / (N - M), the "Mask" results, mask files that cannot be used, a cluster
// log that does not pair with the run, and the real cosmic measurement with its hottest pixels masked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "EngineRunSupport.h"
#include "hist/Hist2D.h"

namespace {

const std::string kCosmic = std::string(ZEL_SHARED_DATA_DIR) + "/cosmic-tpx-si300/";
const std::string kBin = std::string(ZEL_BIN_DIR) + "/";

// Pixel (50, 50) is a whole cluster of its own; (2, 1) is one pixel of a two-pixel cluster.
const char* kClog = "Frame 1 (0.000000, 1.000000 s)\n"
                    "[1, 1, 10] [2, 1, 12] \n"
                    "[50, 50, 30] \n"
                    "[9, 9, 20] \n"
                    "Frame 2 (1.100000, 1.000000 s)\n"
                    "[100, 100, 40] [101, 100, 5] \n";
// (50, 50), (2, 1) and a block of 10 x 100 pixels that saw nothing.
const char* kMask = "50 50 2 1\n(200-209, 0-99)\n";
constexpr double kMasked = 2 + 1000;

struct MaskRun : enginetest::EngineRun {
    std::filesystem::path before = std::filesystem::current_path();
    void SetUp() override {
        if (!std::filesystem::exists(kBin + "clusterer")) GTEST_SKIP() << "clusterer not built";
        EngineRun::SetUp();
        std::filesystem::current_path(dir.dir());  // the clusterer's statistics file
    }
    void TearDown() override {
        EngineRun::TearDown();
        std::filesystem::current_path(before);
    }
    std::string withClusterer(const std::string& extra = "") const {
        return "ClustererPath = \"" + kBin + "\"\nDoPID = false\nDoFilter = false\nIsEnergyCalibrated = true\n" + extra;
    }
    double value(const nlohmann::json& json, const char* key) const { return json.at(key).get<double>(); }
};

TEST_F(MaskRun, MaskedCopyIsClusteredAndTheProductsGrowByTheMaskedFraction) {
    dir.write("run.clog", kClog);
    dir.write("mask.txt", kMask);
    process(params("run.clog", withClusterer("MaskPath = \"" + dir.dir() + "\"\nMaskName = \"mask.txt\"\n")));
    const nlohmann::json masked = results();

    // The copy lies beside the output, the input is untouched.
    EXPECT_EQ(read("run.clog"), kClog);
    const std::string copy = read("out/File/MASK_run.clog");
    EXPECT_EQ(copy, "Frame 1 (0.000000, 1.000000 s)\n[1, 1, 10] \n\n[9, 9, 20] \n"
                    "Frame 2 (1.100000, 1.000000 s)\n[100, 100, 40] [101, 100, 5] \n");
    const std::string text = log();
    const size_t said = text.find("Creating masked raw file:\t" + dir.dir() + "out/");
    ASSERT_NE(said, std::string::npos);
    EXPECT_NE(text.substr(said, text.find('\n', said) - said).find("/File/MASK_run.clog"), std::string::npos);
    EXPECT_EQ(value(masked, "CountPixHit_Sum_MaskOk_cnt"), 4);
    EXPECT_EQ(value(masked, "CountPixHit_Sum_MaskOmit_cnt"), 2);
    EXPECT_NEAR(value(masked, "CountPixHit_Sum_MaskOmit_perc"), 100.0 * 2 / 6, 0.005);
    EXPECT_EQ(value(masked, "CountPixHit_Sum_All_cnt"), 6);
    EXPECT_EQ(value(masked, "CountPixHit_Sum_Proc_cnt"), 4) << "one per cluster line read";
    EXPECT_EQ(value(masked, "CountParticle_Sum_cnt"), 3);

    // The masked copy read back without a mask gives the same clusters; the masked run's products are those
    // times N / (N - M), while counts and energy stay.
    restart();
    std::filesystem::copy_file(dir.file("out/File/MASK_run.clog"), dir.file("copy.clog"));
    std::filesystem::remove_all(dir.file("out"));
    process(params("copy.clog", withClusterer()));
    const nlohmann::json plain = results();
    const double k = 65536.0 / (65536.0 - kMasked);
    EXPECT_EQ(value(plain, "CountParticle_Sum_cnt"), 3);
    EXPECT_EQ(value(plain, "EnergyDep_Sum_keV"), value(masked, "EnergyDep_Sum_keV"));
    EXPECT_EQ(value(plain, "EnergyDep_Sum_keV"), 10 + 20 + 45);
    for (const char* key : {"Dose_Sum_uGy+1", "DoseRate_Mean_uGy+1h-1", "Fluence_Sum_cm-2", "Flux_Sum_cm-2s-1"})
        EXPECT_NEAR(value(masked, key), value(plain, key) * k, 1e-4 * std::abs(value(plain, key))) << key;
    EXPECT_FALSE(plain.contains("CountPixHit_Sum_MaskOk_cnt")) << "no mask, no Mask section";
}

TEST_F(MaskRun, PixelListCopyLeavesOutTheMaskedHalfOfTheSensor) {
    if (!std::filesystem::exists(kBin + "zel_gen_raw")) GTEST_SKIP() << "generator not built";
    const std::string generate = kBin + "zel_gen_raw --format t3pa --clusters 300 --rate 1000 --separate --seed 3 --out " +
                                 dir.file("gen.t3pa") + " > /dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    const std::string input = read("gen.t3pa");
    dir.write("half.txt", "(0-127, 0-255)\n");
    process(params("gen.t3pa", withClusterer("MaskPath = \"" + dir.dir() + "\"\nMaskName = \"half.txt\"\n")));
    EXPECT_EQ(read("gen.t3pa"), input);
    // Every pixel line of the copy lies on the right half: matrix index modulo 256 at least 128.
    std::istringstream copy(read("out/File/MASK_gen.t3pa"));
    std::string line;
    std::getline(copy, line);  // the header
    double kept = 0;
    while (std::getline(copy, line)) {
        std::istringstream fields(line);
        long long index = 0, matrixIndex = 0;
        fields >> index >> matrixIndex;
        EXPECT_GE(matrixIndex % 256, 128) << line;
        ++kept;
    }
    const nlohmann::json json = results();
    const double lines = static_cast<double>(std::count(input.begin(), input.end(), '\n')) - 1;
    EXPECT_EQ(value(json, "CountPixHit_Sum_MaskOk_cnt"), kept);
    EXPECT_EQ(value(json, "CountPixHit_Sum_All_cnt"), lines);
    EXPECT_EQ(value(json, "CountPixHit_Sum_Proc_cnt"), lines);
    EXPECT_GT(value(json, "CountPixHit_Sum_MaskOmit_cnt"), 0);
    EXPECT_LT(zel::getCountParticle(), 300);
    EXPECT_GT(zel::getCountParticle(), 0);
    const std::vector<std::vector<double>> map = zel::sensMatrixInt();
    ASSERT_EQ(map.size(), 3u);
    double left = 0, right = 0;
    for (size_t i = 0; i < 65536; ++i) (i % 256 < 128 ? left : right) += map[2][i + 1];
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 0);
}

TEST_F(MaskRun, ClusterLogOfAnEarlierRunIsNeverReplacedByTheMaskedRun) {
    // Reprocessing the run's own File/ClusterLog.clog: the clusterer would write its log over it.
    std::filesystem::create_directories(dir.file("out/File"));
    dir.write("out/File/ClusterLog.clog", kClog);
    dir.write("mask.txt", kMask);
    load("FileInPath = \"" + dir.dir() + "out/File/\"\nFileInName = \"ClusterLog.clog\"\nFileOutPath = \"" + dir.dir() +
         "out/\"\nLogPath = \"" + dir.dir() + "\"\nDoPrint = false\nDoExportGraphics = false\nMaskPath = \"" + dir.dir() +
         "\"\nMaskName = \"mask.txt\"\n" + withClusterer());
    // The run's check of outputs against inputs stops it before anything is written.
    EXPECT_EQ(zeltest::raisedCode([] { zel::processFile("", "", ""); }), -1001);
    EXPECT_EQ(read("out/File/ClusterLog.clog"), kClog);
    EXPECT_NE(read("LogFile.txt").find("Nothing is written over an input"), std::string::npos) << read("LogFile.txt");
}

TEST_F(MaskRun, UnusableMaskFilesSwitchTheMaskOffAndTheRunGoesOn) {
    dir.write("run.clog", kClog);
    dir.write("empty.txt", "");
    dir.write("garbage.txt", "\x01\x02 not a mask\n");
    dir.write("small.txt", "1 1 1\n1 0 1\n1 1 1\n");
    const struct {
        const char* name;
        const char* message;
        int code;
    } cases[] = {
        {"absent.txt", "Can not open file with mask config: ", -1028},
        {"empty.txt", "Mask file is empty", -1029},
        {"garbage.txt", "Mask file line 1 holds no pixel pair and no rectangle.", -1029},
        {"small.txt", "Mask file holds a matrix of 3 x 3 pixels", -1029},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        std::filesystem::remove_all(dir.file("out"));
        process(params("run.clog", withClusterer("MaskPath = \"" + dir.dir() + "\"\nMaskName = \"" + c.name + "\"\n")));
        const std::string text = log();
        EXPECT_NE(text.find(c.message), std::string::npos);
        EXPECT_NE(text.find(std::to_string(c.code)), std::string::npos);
        EXPECT_EQ(value(results(), "CountParticle_Sum_cnt"), 4) << "unmasked";
        EXPECT_FALSE(results().contains("CountPixHit_Sum_MaskOk_cnt"));
        EXPECT_FALSE(std::filesystem::exists(dir.file("out/File/MASK_run.clog")));
        EXPECT_EQ(read("run.clog"), kClog);
    }
}

TEST_F(MaskRun, ClusterLogLongerThanTheRunIsReportedAndPairedAsFarAsItGoes) {
    // The run takes the first two of the four clusters; the sensor maps take the first two lines of the log.
    dir.write("run.clog", kClog);
    process(params("run.clog", withClusterer("ClusterCount = 2\n")));
    EXPECT_NE(log().find("-4030 : The cluster log holds 4 clusters, the run processed 2"), std::string::npos);
    const std::vector<std::vector<double>> map = zel::sensMatrixInt();
    ASSERT_EQ(map.size(), 3u);
    auto at = [&](size_t x, size_t y) { return map[2][y * 256 + x + 1]; };
    EXPECT_EQ(at(1, 1), 10);
    EXPECT_EQ(at(50, 50), 30);
    EXPECT_EQ(at(9, 9), 0);
    EXPECT_EQ(at(100, 100), 0);
}

TEST_F(MaskRun, CosmicMeasurementWithItsHottestPixelsMasked) {
    if (!std::filesystem::exists(kCosmic + "cosmic.clog")) GTEST_SKIP() << "cosmic measurement not at hand";
    // The five pixels that fire alone most often.
    std::map<std::pair<int, int>, int> hits;
    std::ifstream in(kCosmic + "cosmic.clog");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == 'F') continue;
        if (std::count(line.begin(), line.end(), '[') != 1) continue;
        std::istringstream pixel(line);
        char bracket = 0, comma = 0;
        int x = 0, y = 0;
        if (pixel >> bracket >> x >> comma >> y) ++hits[{x, y}];
    }
    std::vector<std::pair<int, std::pair<int, int>>> ranked;
    for (const auto& [pixel, count] : hits) ranked.push_back({count, pixel});
    std::sort(ranked.rbegin(), ranked.rend());
    ASSERT_GE(ranked.size(), 5u);
    std::string mask;
    for (size_t i = 0; i < 5; ++i) mask += std::to_string(ranked[i].second.first) + " " + std::to_string(ranked[i].second.second) + "\n";
    dir.write("hot.txt", mask);

    const std::string common = "FileInPath = \"" + kCosmic + "\"\nFileInName = \"cosmic.clog\"\nFileOutPath = \"" +
                               dir.dir() + "out/\"\nLogPath = \"" + dir.dir() + "out/\"\nDoPrint = false\n"
                               "DoExportGraphics = false\nCalMat = \"" + kCosmic + "\"\nTimeSampling = 1000\n"
                               "ClustererPath = \"" + kBin + "\"\nDoPID = false\nDoFilter = false\n";
    process(common);
    const nlohmann::json plain = results();
    const double plainFactor = zel::getDose() / zel::getEnergyDep();
    restart();
    std::filesystem::remove_all(dir.file("out"));
    process(common + "MaskPath = \"" + dir.dir() + "\"\nMaskName = \"hot.txt\"\n");
    const nlohmann::json masked = results();
    const double k = 65536.0 / 65531.0;
    const double maskedFactor = zel::getDose() / zel::getEnergyDep();
    std::printf("cosmic masked: %d hottest pixels hit %d to %d times; clusters %.0f -> %.0f, dose factor x %.7f\n", 5,
                ranked[4].first, ranked[0].first, value(plain, "CountParticle_Sum_cnt"),
                value(masked, "CountParticle_Sum_cnt"), maskedFactor / plainFactor);
    EXPECT_LT(value(masked, "CountParticle_Sum_cnt"), value(plain, "CountParticle_Sum_cnt"));
    EXPECT_NEAR(maskedFactor / plainFactor, k, 1e-12);
    EXPECT_GT(value(masked, "CountPixHit_Sum_MaskOmit_cnt"), 0);

    // The integrated sensor map holds the energy of every cluster, nothing at the masked pixels, and its file
    // loads back to the same bins; the partial map holds the first clusters.
    const std::vector<std::vector<double>> map = zel::sensMatrixInt();
    ASSERT_EQ(map.size(), 3u);
    ASSERT_EQ(map[2].size(), 65536u + 2);
    double sum = 0;
    for (size_t i = 1; i <= 65536; ++i) sum += map[2][i];
    EXPECT_NEAR(sum, value(masked, "EnergyDep_Sum_keV"), 1e-4 * sum);
    for (size_t i = 0; i < 5; ++i) {
        const auto [x, y] = ranked[i].second;
        EXPECT_EQ(map[2][static_cast<size_t>(y) * 256 + static_cast<size_t>(x) + 1], 0) << x << "," << y;
    }
    zel::Hist2D back(dir.file("out/SpatialMap/"), "SensMatrixIntegrated", ".hist", ".hist_info");
    EXPECT_EQ(std::vector<double>(back.GetContents().begin(), back.GetContents().end()), map[2]);
    const std::vector<std::vector<double>> partial = zel::sensMatrixSample();
    ASSERT_EQ(partial.size(), 3u);
    double partialSum = 0;
    for (double v : partial[2]) partialSum += v;
    EXPECT_GT(partialSum, 0);
    EXPECT_LT(partialSum, sum);
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/EventVisual/ClusterPlot_MaxSize.hist")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/Frame/Frame_MaxOccupancy.hist")));
    EXPECT_EQ(log().find("Incorrect number of pixel data"), std::string::npos) << "every log line pairs with its cluster";
}

}  // namespace
