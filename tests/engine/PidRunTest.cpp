// Particle classes through a whole run: per-class products, the class getters and the per-class results.
#include <filesystem>
#include <map>
#include <numeric>
#include <sstream>

#include "EngineRunSupport.h"
#include "common/Paths.h"

namespace {

constexpr double kDoseFactor = 1.0 / (2.329 * 300 * 1237.3618279678);

// Algorithm 101 sorts by Height and EpixMean: low, mid and high LET, and a cluster no class takes ("Others").
const char* kEventList =
    "EventID\tX\tY\tE\tT\tSize\tHeight\tEpixMean\n-\tpx\tpx\tkeV\tns\tpx\tkeV\tkeV\n"
    "1\t10\t10\t10\t1e8\t1\t20\t10\n"
    "2\t20\t20\t200\t2e8\t4\t100\t50\n"
    "3\t30\t30\t3000\t3e8\t15\t2000\t200\n"
    "4\t40\t40\t50\t1.4e9\t1\t20\t200\n";

// Classification by algorithm 101, no filter.
struct PidEngine : enginetest::EngineRun {
    std::string pidParams(const std::string& extra = "") const {
        return params("run.elist", "PIDAlg = 101\nDoFilter = false\nDoCheckPrereq = false\n" + extra);
    }
};

// The four clusters above, processed.
struct PidRun : PidEngine {
    void SetUp() override {
        PidEngine::SetUp();
        dir.write("run.elist", kEventList);
        process(pidParams());
    }
};

TEST_F(PidRun, ProductsAreBookedPerClassWithOthersLast) {
    const auto names = zel::getPIDClassNames();
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names.back(), "Others");
    // Two samples: the first holds the three classified clusters, the last the one no class took.
    const auto counts = zel::getCountParticleTimeClass();
    ASSERT_EQ(counts.size(), 4u);
    EXPECT_EQ(counts[0], (std::vector<double>{1, 0}));
    EXPECT_EQ(counts[2], (std::vector<double>{1, 0}));
    EXPECT_EQ(counts[3], (std::vector<double>{0, 1}));
    const auto doses = zel::getDoseTimeClass();
    EXPECT_NEAR(doses[2][0], 3000 * kDoseFactor, 1e-15);
    EXPECT_NEAR(doses[3][1], 50 * kDoseFactor, 1e-15);
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 4);
}

TEST_F(PidRun, ResultsCarryTheClassesAndTheExtendedListTheirNumbers) {
    auto json = results();
    EXPECT_EQ(json["ClassNames"].size(), 4u);
    EXPECT_EQ(json["ClassNames"][3], "Others");
    EXPECT_EQ(json["AlgorithmSwitch_cnt"], 101);
    EXPECT_EQ(json["CountParticle_Sum_Class_cnt"], (std::vector<double>{1, 1, 1, 1}));
    EXPECT_EQ(json["CountParticle_Sum_Class_perc"], (std::vector<double>{25, 25, 25, 25}));
    EXPECT_EQ(json["TotalValues_ClassCount"], (std::vector<double>{1, 1, 1, 1}));
    EXPECT_EQ(json["CountParticle_Sample_ClassOthers"], (std::vector<double>{0, 1}));
    const std::string ext = read("out/File/EventListExt.korelist");
    EXPECT_EQ(ext.substr(0, ext.find('\n')), "EventID\tX\tY\tE\tT\tSize\tHeight\tEpixMean\tPIDClass");
    EXPECT_NE(ext.find("\t2000\t200\t2\n"), std::string::npos);
    EXPECT_NE(ext.find("\t20\t200\t-1\n"), std::string::npos);
}

TEST_F(PidEngine, ResultsNameTheAlgorithmInUseWhateverChoseIt) {
    // The decision-tree switch chooses its tree over PIDAlg, whether PIDAlg is -1 or names another algorithm.
    dir.write("run.elist", kEventList);
    const std::pair<const char*, int> choices[] = {{"PIDAlg = -1\nDTSwitch = 1\n", 101},
                                                   {"PIDAlg = 102\nDTSwitch = 1\n", 101}};
    for (const auto& [settings, algorithm] : choices) {
        SCOPED_TRACE(settings);
        restart();
        process(params("run.elist", std::string("DoFilter = false\nDoCheckPrereq = false\n") + settings));
        EXPECT_EQ(results()["AlgorithmSwitch_cnt"], algorithm);
    }
}

TEST_F(PidEngine, AnAlgorithmMadeForAnotherDetectorIsNamedWithAWarning) {
    // Algorithm 101 was made for a Timepix with 300 um silicon.
    dir.write("run.elist", kEventList);
    process(pidParams());
    EXPECT_EQ(log().find("was made for"), std::string::npos);
    restart();
    process(pidParams("ChipType = \"TPX3\"\nSensThick = 500\n"));
    EXPECT_NE(log().find("[WARNING]  PID : Algorithm 101 was made for TPX with 300 um Si, but the settings describe TPX3 "
                         "with 500 um Si. Its classes may not fit."),
              std::string::npos)
        << log();
}

TEST_F(PidRun, HistogramsAreFilledForAllClustersAndPerClass) {
    // The energy histogram of all clusters is the one with variable bins, not the equal-bin one.
    const auto energy = zel::getHist1DAll("E");
    ASSERT_EQ(energy.size(), 2u);
    ASSERT_EQ(energy[0].size(), energy[1].size());
    const auto& edges = energy[0];
    EXPECT_NE(edges[2] - edges[1], edges[edges.size() - 1] - edges[edges.size() - 2]);
    double total = 0;
    for (double c : energy[1]) total += c;
    EXPECT_DOUBLE_EQ(total, 4);
    EXPECT_TRUE(zel::getHist1DAll("NoSuchVariable").empty());
    EXPECT_EQ(zel::getHist2DAll({"E", "Size"}).size(), 3u);
    EXPECT_TRUE(zel::getHist2DAll({"E", "Nope"}).empty());
    for (const char* file : {"Hist1D_S_Total.hist", "Hist1D_S_Others.hist", "Hist2D_CountMap_Total.hist"})
        EXPECT_TRUE(std::filesystem::exists(dir.file(std::string("out/Hist/") + file))) << file;
}

// With classes the all-clusters histograms are sums of the class sets; read between pushed batches, they must hold
// every cluster pushed so far, once.
TEST_F(PidEngine, AllClusterHistogramsHoldEveryPushedCluster) {
    load("FileOutPath = \"" + dir.dir() + "\"\nPIDAlg = 101\nDoFilter = false\nDoLog = false\n"
         "DoPrint = false\nDoExportGraphics = false\nDoCheckPrereq = false\n");
    zel::setClusterVarOrder({"EventID", "X", "Y", "E", "T", "Size", "Height", "EpixMean"});
    ASSERT_EQ(zel::init(), 0);
    auto sum = [](const std::vector<double>& values) { return std::accumulate(values.begin(), values.end(), 0.0); };
    ASSERT_EQ(zel::processClusters({{1, 10, 10, 10, 1e8, 1, 20, 10}, {2, 20, 20, 200, 2e8, 4, 100, 50}}), 0);
    EXPECT_EQ(sum(zel::getHist1DAll("E").at(1)), 2);
    ASSERT_EQ(zel::processClusters({{3, 30, 30, 3000, 3e8, 15, 2000, 200}}), 0);
    EXPECT_EQ(sum(zel::getHist1DAll("E").at(1)), 3);
    EXPECT_EQ(sum(zel::getHist2DAll({"E", "Size"}).at(2)), 3);
}

// With classes, the histograms of the class that has most rows are completed from the all-clusters set. When the
// largest class changes during a run, the set left out before must still end with every row of its class.
TEST_F(PidEngine, WhenTheLargestClassChangesEveryClassSetHoldsItsRows) {
    // 90 000 rows of mostly class 0 ("Low LET", size 1), then 90 000 of mostly class 2 ("High LET", size 15);
    // one row in ten of class 1 (size 4) and of "Others" (size 2).
    std::string list = "EventID\tX\tY\tE\tT\tSize\tHeight\tEpixMean\n-\tpx\tpx\tkeV\tns\tpx\tkeV\tkeV\n";
    const char* kinds[] = {"\t1\t20\t10\n", "\t4\t100\t50\n", "\t15\t2000\t200\n", "\t2\t20\t200\n"};  // Size, Height, EpixMean
    constexpr int kRows = 180000;
    for (int i = 0; i < kRows; ++i) {
        const int kind = i < kRows / 2 ? (i % 10 == 0 ? 1 : 0) : (i % 10 == 0 ? 3 : 2);
        list += std::to_string(i) + "\t10\t10\t100\t" + std::to_string(1000 * i) + kinds[kind];
    }
    dir.write("run.elist", list);
    process(pidParams("DoCreateElistExt = false\n"));
    const std::vector<std::string> names = zel::getPIDClassNames();
    zel::destruct();
    ASSERT_EQ(names.size(), 4u);

    // Counts of the size histogram of a set: the second column summed, and the count of size s.
    auto sizes = [&](const std::string& suffix) {
        std::map<double, double> counts;
        std::istringstream text(read("out/Hist/" + zel::fileNameFromTitle("Hist1D_S_" + suffix) + ".hist"));
        double edge = 0, count = 0;
        while (text >> edge >> count) counts[edge] += count;
        return counts;
    };
    auto total = [](const std::map<double, double>& counts) {
        double sum = 0;
        for (const auto& [edge, count] : counts) sum += count;
        return sum;
    };
    EXPECT_EQ(total(sizes("Total")), kRows);
    const double perClass[] = {81000, 9000, 81000, 9000};
    for (size_t k = 0; k < names.size(); ++k) EXPECT_EQ(total(sizes(names[k])), perClass[k]) << names[k];
    EXPECT_EQ(sizes(names[0])[0], 81000);  // size 1 lies in the bin (0, 1]
}

// The histogram sets of the classes are made side by side; the messages of each must still reach the log, once.
TEST_F(PidEngine, EveryHistogramSetReportsItsOwnWarningOnce) {
    dir.write("run.elist", kEventList);
    dir.write("hist.ini", "[Hist1D_A]\nTitle = \"Hist1D_A\"\nVarName = \"Nope\"\nNBin = 10\nXmin = 0\nXmax = 10\n"
                          "[Hist1D_B]\nTitle = \"Hist1D_B\"\nVarName = \"E\"\nNBin = 10\nXmin = 0\nXmax = 10000\n");
    process(pidParams("HistPath = \"" + dir.dir() + "\"\nHistName = \"hist.ini\"\n"));
    zel::destruct();  // the log is complete only when the engine ends
    const std::string log = this->log();
    const std::string warning = "Histogram 1D with variable Nope can not be extracted from given data.";
    size_t warnings = 0;
    for (size_t at = log.find(warning); at != std::string::npos; at = log.find(warning, at + 1)) ++warnings;
    EXPECT_EQ(warnings, 5u);  // all clusters, three classes and "Others"
    // The set of each class still holds its cluster.
    const std::string ions = zel::fileNameFromTitle("Hist1D_B_High LET: ions");
    const std::string energy = read("out/Hist/" + ions + ".hist");
    EXPECT_NE(energy.find("\n2000\t1\n"), std::string::npos) << energy;  // 3000 keV, in the bin from 2000
}

}  // namespace
