#include "pid/PidModule.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>

namespace {

using zel::ClusterBatch;
using zel::PidModule;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::string> defaultNames() {
    std::vector<std::string> names;
    for (const auto& v : zel::kDefaultVariables) names.emplace_back(v.name);
    return names;
}

// A module with its own scratch directory (models path) and log, rows built by variable name.
class Pid : public ::testing::Test {
protected:
    Pid() {
        static std::atomic<int> counter{0};
        dir_ = std::filesystem::temp_directory_path() /
               ("zel_pid_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(dir_);
        log_.open(dir_ / "log.txt");
        setup.chipType = "TPX";
        setup.sensMat = "Si";
        setup.sensThick = 300;
        setup.sensBias = 50;
        setup.modelPath = dir_.string() + "/";
    }
    ~Pid() override {
        log_.close();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    PidModule& make(int pidAlg, std::vector<std::string> variableNames = defaultNames()) {
        setup.pidAlg = pidAlg;
        names = std::move(variableNames);
        module = std::make_unique<PidModule>(setup, names, zel::MessageTarget{&log_, false, true}, -4900);
        return *module;
    }

    std::vector<double> row(const std::map<std::string, double>& values) const {
        std::vector<double> out(names.size(), 0.0);
        for (const auto& [name, value] : values) {
            auto at = std::find(names.begin(), names.end(), name);
            if (at == names.end()) throw std::runtime_error("no column " + name);
            out[static_cast<size_t>(at - names.begin())] = value;
        }
        return out;
    }

    std::vector<int> classify(const std::vector<std::vector<double>>& rows) {
        std::vector<int> out;
        EXPECT_EQ(module->classify(ClusterBatch::fromRows(rows), out, true), 0);
        return out;
    }

    std::string messages() {
        log_.flush();
        std::ifstream in(dir_ / "log.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string modelDir(const std::string& name) {
        std::filesystem::create_directories(dir_ / name);
        return (dir_ / name).string() + "/";
    }

    PidModule::Setup setup;
    std::vector<std::string> names;
    std::unique_ptr<PidModule> module;
    std::filesystem::path dir_;
    std::ofstream log_;
};

TEST_F(Pid, SimplifiedTreeBoundsAreInclusiveAndTheFirstMatchWins) {
    ASSERT_EQ(make(101).init(), 0);
    EXPECT_EQ(module->classNames(), (std::vector<std::string>{"Low LET: electrons, X-rays, gamma", "Mid LET: protons",
                                                              "High LET: ions"}));
    EXPECT_EQ(classify({row({{"Height", 50}, {"EpixMean", 30}}),           // on both upper bounds of class 0
                        row({{"Height", 50.001}, {"EpixMean", 30.5}}),     // just above: class 1
                        row({{"Height", 1000}, {"EpixMean", 120}}),        // upper bounds of 1, lower of 2
                        row({{"Height", 1e7}, {"EpixMean", 4000}}),        // open upper end
                        row({{"Height", 20}, {"EpixMean", 200}}),          // bands disagree
                        row({{"Height", kNaN}, {"EpixMean", 10}}),         // NaN never satisfies a condition
                        row({{"Height", 10}, {"EpixMean", -0.5}})}),
              (std::vector<int>{0, 1, 1, 2, -1, -1, -1}));
}

TEST_F(Pid, FullTreeGivesTheEarlierOfTwoFittingClasses) {
    ASSERT_EQ(make(103).init(), 0);
    auto both = row({{"Size", 10}, {"E", 500}, {"Height", 150}, {"EpixMean", 70}, {"Linearity", 0.5}, {"LET", 2}});
    // EpixMean below class 1, inside class 2.
    auto onlySecond = row({{"Size", 10}, {"E", 500}, {"Height", 150}, {"EpixMean", 50}, {"Linearity", 0.5}, {"LET", 2}});
    auto neutron = row({{"Size", 50}, {"Height", 400}, {"EpixMean", 200}, {"LET", 0.6}});
    EXPECT_EQ(classify({both, onlySecond, neutron}), (std::vector<int>{1, 2, 13}));
    EXPECT_EQ(module->classCount(), 15);
}

// Against a plain reading of the tables, batch after batch, while the module reorders its conditions.
TEST_F(Pid, EveryTreeAgreesWithThePlainReadingOfItsTable) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int number : {101, 102, 103, 104, 171, 172, 173}) {
        ASSERT_EQ(make(number).init(), 0);
        const zel::AlgorithmSpec& spec = *zel::findPidAlgorithm(number);
        for (int pass = 0; pass < 3; ++pass) {
            std::vector<std::vector<double>> rows;
            std::vector<int> expected;
            for (int r = 0; r < 4000; ++r) {
                // Values spread over the ranges the trees look at, a few NaN.
                const double size = std::floor(unit(random) * 60), epix = unit(random) * 400;
                auto values = row({{"Size", size}, {"EpixMean", epix}, {"E", size * epix}, {"Height", epix * (1 + 4 * unit(random))},
                                   {"Roundness", unit(random) * 1.3}, {"Linearity", unit(random)}, {"Thin", unit(random)},
                                   {"LengthProj", unit(random) * 10}, {"LET", unit(random) * 12},
                                   {"BorderPixCount", std::floor(unit(random) * 20)}});
                if (r % 97 == 0) values[static_cast<size_t>(r) % values.size()] = kNaN;
                int cls = -1;
                for (size_t k = 0; k < spec.classes.size() && cls < 0; ++k) {
                    bool all = true;
                    for (size_t c = 0; c < spec.classes[k].conditionCount(); ++c) {
                        const auto& condition = spec.classes[k].conditions[c];
                        const double v = values[static_cast<size_t>(std::find(names.begin(), names.end(), condition.variable) - names.begin())];
                        all = all && v >= condition.lower && v <= condition.upper;
                    }
                    if (all) cls = static_cast<int>(k);
                }
                rows.push_back(values);
                expected.push_back(cls);
            }
            ASSERT_EQ(classify(rows), expected) << number << " pass " << pass;
        }
    }
}

TEST_F(Pid, AlgorithmHundredPutsEveryClusterUnderOthers) {
    ASSERT_EQ(make(100).init(), 0);
    EXPECT_EQ(module->classCount(), 0);
    EXPECT_TRUE(module->classNames().empty());
    EXPECT_EQ(classify({row({}), row({{"Height", 5000}, {"EpixMean", 500}})}), (std::vector<int>{-1, -1}));
}

TEST_F(Pid, ConditionsOnColumnsBeyondTheRowPass) {
    ASSERT_EQ(make(101, {"X", "Y", "Height", "EpixMean"}).init(), 0);
    ClusterBatch narrow = ClusterBatch::fromRows({{0, 0, 20}, {0, 0, 5000}, {0, 0, 500}});
    std::vector<int> out{7};
    ASSERT_EQ(module->classify(narrow, out, false), 0);  // appended after what was there
    EXPECT_EQ(out, (std::vector<int>{7, 0, 2, 1}));
    // The same module on full rows checks EpixMean again.
    EXPECT_EQ(classify({{0, 0, 20, 300}}), (std::vector<int>{-1}));
}

TEST_F(Pid, LastOccurrenceOfANameGivesTheColumnAndUnknownNamesWarn) {
    ASSERT_EQ(make(101, {"Height", "EpixMean", "Bogus", "Height"}).init(), 0);
    EXPECT_EQ(classify({{5000, 10, 0, 10}}), (std::vector<int>{0}));
    EXPECT_NE(messages().find("[WARNING]  PID : Unknown variable names found in elist: Bogus\n"), std::string::npos);
}

TEST_F(Pid, BatchStepWritesClassesIntoTheClassColumn) {
    ASSERT_EQ(make(101).init(), 0);
    names.push_back("PIDClass");
    ClusterBatch batch = ClusterBatch::fromRows({row({{"Height", 10}, {"EpixMean", 10}, {"PIDClass", 9}}),
                                                 row({{"Height", 10}, {"EpixMean", 100}, {"PIDClass", 9}}),
                                                 row({{"Height", 500}, {"EpixMean", 50}})});
    module->setClassColumn(28);
    ASSERT_EQ(module->processBatch(batch), 0);
    EXPECT_EQ(batch.at(0, 28), 0.0);
    EXPECT_EQ(batch.at(1, 28), -1.0);
    EXPECT_EQ(batch.at(2, 28), 1.0);

    module->setClassColumn(29);  // no such column in these rows
    EXPECT_EQ(module->processBatch(batch), -5013);
    EXPECT_NE(messages().find("PID : -5013 : Error occurred during multi cluster processing."), std::string::npos);
}

TEST_F(Pid, RefusesToClassifyBeforeInitialisation) {
    make(101);
    std::vector<int> out;
    ClusterBatch batch = ClusterBatch::fromRows({row({})});
    EXPECT_EQ(module->classify(batch, out, true), -5011);
    EXPECT_EQ(module->processBatch(batch), -5011);
    EXPECT_TRUE(out.empty());
    EXPECT_NE(messages().find("[ERROR]    PID : -5011 : Can not process cluster because the initialization was not done."),
              std::string::npos);
}

TEST_F(Pid, MissingVariableFailsTheIndexCheckWithItsName) {
    auto list = defaultNames();
    list.erase(std::find(list.begin(), list.end(), "LET"));
    EXPECT_EQ(make(102, list).init(), -5005);
    EXPECT_FALSE(module->isInitialised());
    const std::string log = messages();
    EXPECT_NE(log.find("[ERROR] -5023 : PID : Check failed with cluster var indexes uninitialization. Missing index for: LET\n"),
              std::string::npos);
    EXPECT_NE(log.find("[ERROR]    PID : -5005 : Error occurred during PID initialization.\n"), std::string::npos);
}

TEST_F(Pid, InvalidNumberFallsBackToTheChoiceByChipType) {
    setup.chipType = "TPX3";
    EXPECT_EQ(make(150).init(), -5005);  // the chosen network cannot run in this build
    EXPECT_EQ(module->algorithm(), 251);
    const std::string log = messages();
    const size_t wrong = log.find("[ERROR] -5004 : PID : Wrong settings in PID algorithms switch: 150 - has to be: 100, "
                                  "101, 102, 103, 104, 171, 172, 173, 201, 202, 251, 252.\n");
    const size_t chosen = log.find("PID : Algorithm is chosen based on used detectors settings.\n");
    ASSERT_NE(wrong, std::string::npos);
    ASSERT_NE(chosen, std::string::npos);
    EXPECT_LT(wrong, chosen);
    EXPECT_EQ(log.find("failed to pass check"), std::string::npos);
}

TEST_F(Pid, UnknownChipTypeChoosesTwoHundredOneWithAnError) {
    setup.chipType = "MPX";
    make(-1).init();
    EXPECT_EQ(module->algorithm(), 201);
    EXPECT_NE(messages().find("[ERROR] -5004 : PID : Algorithm can not be chosen based on the detector settings. "
                              "The alg. with number 201 is used.\n"),
              std::string::npos);
    EXPECT_EQ(messages().find("Algorithm is chosen based on"), std::string::npos);  // silent choice
    setup.chipType = "TPX";
    make(-1).init();
    EXPECT_EQ(module->algorithm(), 201);
}

TEST_F(Pid, DecisionTreeSwitchOverridesTheNumber) {
    setup.dtSwitch = 2;
    ASSERT_EQ(make(251).init(), 0);
    EXPECT_EQ(module->algorithm(), 102);
    EXPECT_EQ(module->classCount(), 8);
    setup.dtSwitch = 4;  // no tree of its own: the number stays
    ASSERT_EQ(make(171).init(), 0);
    EXPECT_EQ(module->algorithm(), 171);
}

TEST_F(Pid, NetworksFailWithoutModelAndNormFile) {
    EXPECT_EQ(make(201).init(), -5005);
    EXPECT_EQ(module->classNames(), (std::vector<std::string>{"Protons", "Photons && Electrons", "Ions"}));
    std::string log = messages();
    EXPECT_NE(log.find("[ERROR]    PID : Can not start TF session with model 201. TF error code: "), std::string::npos);
    EXPECT_NE(log.find("PID : -5007 : Can not open file with data norms: " + setup.modelPath +
                       "TPX_300um_Si_3classes/weights.txt\n"),
              std::string::npos);
    EXPECT_NE(log.find("-5005 : Error occurred during PID initialization."), std::string::npos);

    EXPECT_EQ(make(252).init(), -5005);
    log = messages();
    EXPECT_NE(log.find("[ERROR]    PID : -5015 : Error occurred during DNN model load. TF code: 5. TF msg: "),
              std::string::npos);
    EXPECT_NE(log.find("[ERROR]    PID : -5015 :Can not start TF session with model 252.\n"), std::string::npos);
    std::vector<int> out;
    EXPECT_EQ(module->classify(ClusterBatch::fromRows({row({})}), out, true), -5011);
}

TEST_F(Pid, NormFileIsCheckedEvenWhenPresent) {
    const std::string dir = modelDir("TPX3_500um_Si_3classes");
    std::ofstream(dir + "weights.txt") << "\n3000.5, 200, 5000; 12 1.5 1 40e0 20\n";
    EXPECT_EQ(make(251).init(), -5005);
    EXPECT_NE(messages().find("TF error code: No runtime"), std::string::npos);
    EXPECT_NE(messages().find("[ERROR] -5001 : PID : Error occurred during algorithm initialization."), std::string::npos);

    std::ofstream(dir + "weights.txt") << "1 2 3 0 5 6 7 8\n";
    make(251).init();
    EXPECT_NE(messages().find("[ERROR] -5022 : PID : Norm has invalid 0 value.\n"), std::string::npos);
    std::ofstream(dir + "weights.txt") << "1 2 3 4 5 6 7\n";
    make(251).init();
    EXPECT_NE(messages().find("PID : -5008 : Can not load data norms from file: " + dir + "weights.txt"),
              std::string::npos);
}

TEST_F(Pid, NetworksNeedAllEightFeatureColumns) {
    auto list = defaultNames();
    list.erase(std::find(list.begin(), list.end(), "WidthProj"));
    EXPECT_EQ(make(202, list).init(), -5005);
    EXPECT_NE(messages().find("Missing index for: WidthProj\n"), std::string::npos);
}

TEST_F(Pid, ReportListsDetectorAndClassesWithOthersLast) {
    ASSERT_EQ(make(101).init(), 0);
    const std::vector<std::string> lines = module->reportLines();
    const std::vector<std::string> expected{
        "Alg description:                Heuristic decision tree; simplified",
        "Alg switch:                     101",
        "Optimized for detector\n",
        "     Chip type:                 TPX",
        "     Sensor material:           Si",
        "     Sensor thickness:          300 um\n",
        "     Sensor bias:               30 V\n",
        "Classes:\n",
        "     1) Low LET: electrons, X-rays, gamma",
        "     2) Mid LET: protons",
        "     3) High LET: ions",
        "     4) Others\n"};
    EXPECT_EQ(lines, expected);
    module->report(zel::MessageTarget{&log_, false, true});
    const std::string log = messages();
    EXPECT_NE(log.find("PARTICLE CLASSIFICATION\n"), std::string::npos);
    EXPECT_LT(log.find("PARTICLE CLASSIFICATION\n"), log.find("     4) Others\n"));
}

}  // namespace
