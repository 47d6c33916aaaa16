#include "pid/PidModule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>

#include "support/LoggedDir.h"

namespace {

using zel::ClusterBatch;
using zel::PidModule;
using Rows = std::vector<std::vector<double>>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::string> defaultNames() {
    std::vector<std::string> names;
    for (const auto& v : zel::kDefaultVariables) names.emplace_back(v.name);
    return names;
}

// A module with a scratch directory for models and log; rows are built by variable name.
class Pid : public ::testing::Test {
protected:
    Pid() { setup = {"TPX", "Si", scratch.dir(), 300, 50, -1, -1}; }
    PidModule& make(int pidAlg, std::vector<std::string> variableNames = defaultNames()) {
        setup.pidAlg = pidAlg;
        names = std::move(variableNames);
        module = std::make_unique<PidModule>(setup, names, scratch.target(), -4900);
        return *module;
    }
    std::vector<double> row(const std::map<std::string, double>& values) const {
        std::vector<double> out(names.size(), 0.0);
        for (const auto& [name, value] : values) out[column(name)] = value;
        return out;
    }
    size_t column(std::string_view name) const {
        return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    }
    std::vector<int> classify(const Rows& rows) {
        std::vector<int> out;
        EXPECT_EQ(module->classify(ClusterBatch::fromRows(rows), out, true), 0);
        return out;
    }
    bool logged(const std::string& text) { return scratch.messages().find(text) != std::string::npos; }

    zeltest::LoggedDir scratch{"zel_pid"};
    PidModule::Setup setup;
    std::vector<std::string> names;
    std::unique_ptr<PidModule> module;
};

TEST_F(Pid, BoundsAreInclusiveNaNNeverPassesAndTheFirstMatchWins) {
    ASSERT_EQ(make(101).init(), 0);
    EXPECT_EQ(classify({row({{"Height", 50}, {"EpixMean", 30}}),        // upper bounds of class 0, lower of 1
                        row({{"Height", 1000}, {"EpixMean", 120}}),     // upper bounds of 1, lower of 2
                        row({{"Height", 1e7}, {"EpixMean", 4000}}),     // open upper end
                        row({{"Height", 20}, {"EpixMean", 200}}),       // the bands disagree
                        row({{"Height", kNaN}, {"EpixMean", 10}})}),
              (std::vector<int>{0, 1, 2, -1, -1}));
    ASSERT_EQ(make(103).init(), 0);  // fits classes 1 and 2; with less energy per pixel only 2
    EXPECT_EQ(classify({row({{"Size", 10}, {"E", 500}, {"Height", 150}, {"EpixMean", 70}, {"Linearity", 0.5}, {"LET", 2}}),
                        row({{"Size", 10}, {"E", 500}, {"Height", 150}, {"EpixMean", 50}, {"Linearity", 0.5}, {"LET", 2}})}),
              (std::vector<int>{1, 2}));
    ASSERT_EQ(make(100).init(), 0);
    EXPECT_TRUE(module->classNames().empty());
    EXPECT_EQ(classify({row({}), row({{"Height", 5000}})}), (std::vector<int>{-1, -1}));
}

// Against a plain reading of the tables, batch after batch, while the module reorders its conditions; one value
// in four lies exactly on a bound of the table, where conditions are decided by equality.
TEST_F(Pid, EveryTreeAgreesWithThePlainReadingOfItsTable) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int number : {101, 102, 103, 104, 171, 172, 173}) {
        ASSERT_EQ(make(number).init(), 0);
        const auto& classes = zel::findPidAlgorithm(number)->classes;
        std::map<size_t, std::vector<double>> bounds;  // per column
        for (const auto& pidClass : classes) {
            for (size_t c = 0; c < pidClass.conditionCount(); ++c) {
                const auto& condition = pidClass.conditions[c];
                bounds[column(condition.variable)].push_back(condition.lower);
                bounds[column(condition.variable)].push_back(condition.upper);
            }
        }
        for (int pass = 0; pass < 3; ++pass) {
            Rows rows;
            std::vector<int> expected;
            for (int r = 0; r < 4000; ++r) {
                const double size = std::floor(unit(random) * 60), epix = unit(random) * 400;
                auto values = row({{"Size", size}, {"EpixMean", epix}, {"E", size * epix}, {"Height", epix * (1 + 4 * unit(random))},
                                   {"Roundness", unit(random) * 1.3}, {"Linearity", unit(random)}, {"Thin", unit(random)},
                                   {"LengthProj", unit(random) * 10}, {"LET", unit(random) * 12},
                                   {"BorderPixCount", std::floor(unit(random) * 20)}});
                for (const auto& [at, onColumn] : bounds)
                    if (unit(random) < 0.25) values[at] = onColumn[static_cast<size_t>(unit(random) * onColumn.size())];
                if (r % 97 == 0) values[static_cast<size_t>(r) % values.size()] = kNaN;
                int found = -1;
                for (size_t k = 0; k < classes.size() && found < 0; ++k) {
                    bool all = true;
                    for (size_t c = 0; c < classes[k].conditionCount(); ++c) {
                        const auto& condition = classes[k].conditions[c];
                        const double v = values[column(condition.variable)];
                        all = all && v >= condition.lower && v <= condition.upper;
                    }
                    if (all) found = static_cast<int>(k);
                }
                rows.push_back(values);
                expected.push_back(found);
            }
            ASSERT_EQ(classify(rows), expected) << number << " pass " << pass;
        }
    }
}

TEST_F(Pid, ColumnsComeFromTheLastNameAndConditionsBeyondTheRowPass) {
    ASSERT_EQ(make(101, {"X", "Height", "Bogus", "EpixMean", "Height"}).init(), 0);
    EXPECT_TRUE(logged("[WARNING]  PID : Unknown variable names found in elist: Bogus\n"));
    EXPECT_EQ(classify({{0, 5000, 0, 10, 10}}), (std::vector<int>{0}));
    std::vector<int> out{7};
    ASSERT_EQ(module->classify(ClusterBatch::fromRows({{0, 0, 0, 100}}), out, false), 0);  // appends; Height unseen
    EXPECT_EQ(out, (std::vector<int>{7, 1}));
}

TEST_F(Pid, BatchStepWritesClassesAsDoublesIntoTheClassColumn) {
    ASSERT_EQ(make(101).init(), 0);
    names.push_back("PIDClass");
    ClusterBatch batch = ClusterBatch::fromRows({row({{"EpixMean", 10}, {"PIDClass", 9}}), row({{"EpixMean", 100}})});
    module->setClassColumn(28);
    ASSERT_EQ(module->processBatch(batch), 0);
    EXPECT_EQ(batch.at(0, 28), 0.0);
    EXPECT_EQ(batch.at(1, 28), -1.0);
    module->setClassColumn(29);
    EXPECT_EQ(module->processBatch(batch), -5013);
    EXPECT_TRUE(logged("[ERROR]    PID : -5013 : Error occurred during multi cluster processing.\n"));

    make(101);  // not initialised
    std::vector<int> out;
    EXPECT_EQ(module->classify(batch, out, true), -5011);
    EXPECT_TRUE(logged("[ERROR]    PID : -5011 : Can not process cluster because the initialization was not done.\n"));
}

TEST_F(Pid, MissingVariableFailsTheIndexCheckWithItsName) {
    auto list = defaultNames();
    list.erase(std::find(list.begin(), list.end(), "LET"));
    EXPECT_EQ(make(102, list).init(), -5005);
    EXPECT_FALSE(module->isInitialised());
    EXPECT_TRUE(logged("[ERROR] -5023 : PID : Check failed with cluster var indexes uninitialization. Missing index for: LET\n"));
    EXPECT_TRUE(logged("[ERROR]    PID : -5005 : Error occurred during PID initialization.\n"));
}

TEST_F(Pid, ChoiceByNumberSwitchAndChipType) {
    setup.dtSwitch = 2;
    ASSERT_EQ(make(251).init(), 0);
    EXPECT_EQ(module->algorithm(), 102);
    setup.dtSwitch = -1;

    setup.chipType = "MPX";
    make(-1).init();
    EXPECT_EQ(module->algorithm(), 201);
    EXPECT_TRUE(logged("[ERROR] -5004 : PID : Algorithm can not be chosen based on the detector settings. "
                       "The alg. with number 201 is used.\n"));
    EXPECT_FALSE(logged("Algorithm is chosen based on used detectors settings."));  // the unset number is silent

    setup.chipType = "TPX3";
    EXPECT_EQ(make(150).init(), -5005);  // the chosen network cannot run in this build
    EXPECT_EQ(module->algorithm(), 251);
    EXPECT_TRUE(logged("[ERROR] -5004 : PID : Wrong settings in PID algorithms switch: 150 - has to be: 100, 101, 102, "
                       "103, 104, 171, 172, 173, 201, 202, 251, 252.\nPID : Algorithm is chosen based on used detectors settings.\n"));
}

TEST_F(Pid, NetworksFailWithTheMessagesOfAMissingModelAndNormFile) {
    EXPECT_EQ(make(201).init(), -5005);
    EXPECT_EQ(module->classNames(), (std::vector<std::string>{"Protons", "Photons && Electrons", "Ions"}));
    EXPECT_TRUE(logged("[ERROR]    PID : Can not start TF session with model 201. TF error code: "));
    EXPECT_TRUE(logged("PID : -5007 : Can not open file with data norms: " + setup.modelPath + "TPX_300um_Si_3classes/weights.txt\n"));
    EXPECT_EQ(make(252).init(), -5005);
    EXPECT_TRUE(logged("[ERROR]    PID : -5015 : Error occurred during DNN model load. TF code: 5. TF msg: "));
    EXPECT_TRUE(logged("[ERROR]    PID : -5015 :Can not start TF session with model 252.\n"));

    const std::string norms = setup.modelPath + "TPX3_500um_Si_3classes/weights.txt";
    std::filesystem::create_directories(scratch.file("TPX3_500um_Si_3classes"));
    std::ofstream(norms) << "1 2 3 0 5 6 7 8\n";
    make(251).init();
    EXPECT_TRUE(logged("[ERROR] -5022 : PID : Norm has invalid 0 value.\n"));
    std::ofstream(norms) << "1 2 3 4 5 6 7\n";
    make(251).init();
    EXPECT_TRUE(logged("PID : -5008 : Can not load data norms from file: " + norms));
    std::ofstream(norms) << "\n3000.5, 200, 5000; 12 1.5 1 40e0 20\n";  // good norms, still no session
    EXPECT_EQ(make(251).init(), -5005);
    EXPECT_TRUE(logged("[ERROR] -5001 : PID : Error occurred during algorithm initialization.\n"));

    auto list = defaultNames();
    list.erase(std::find(list.begin(), list.end(), "WidthProj"));
    EXPECT_EQ(make(202, list).init(), -5005);
    EXPECT_TRUE(logged("Missing index for: WidthProj\n"));
}

TEST_F(Pid, ReportListsDetectorAndClassesWithOthersLast) {
    ASSERT_EQ(make(101).init(), 0);
    EXPECT_EQ(module->reportLines(),
              (std::vector<std::string>{"Alg description:                Heuristic decision tree; simplified",
                                        "Alg switch:                     101", "Optimized for detector\n",
                                        "     Chip type:                 TPX", "     Sensor material:           Si",
                                        "     Sensor thickness:          300 um\n", "     Sensor bias:               30 V\n",
                                        "Classes:\n", "     1) Low LET: electrons, X-rays, gamma", "     2) Mid LET: protons",
                                        "     3) High LET: ions", "     4) Others\n"}));
    module->report(scratch.target());
    EXPECT_TRUE(logged("PARTICLE CLASSIFICATION\n"));
}

}  // namespace
