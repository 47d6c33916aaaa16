#include "pid/PidAlgorithms.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cluster/VariableNames.h"

namespace {

const zel::ClassSpec& classOf(int number, size_t k) { return zel::findPidAlgorithm(number)->classes[k]; }

TEST(PidAlgorithms, TwelveNumbersInOrderWithTheirClassCounts) {
    const std::pair<int, size_t> expected[] = {{100, 0}, {101, 3}, {102, 8}, {103, 15}, {104, 10}, {171, 1},
                                               {172, 1}, {173, 1}, {201, 3}, {202, 6},  {251, 3},  {252, 6}};
    ASSERT_EQ(zel::pidAlgorithms().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(zel::pidAlgorithms()[i].number, expected[i].first);
        EXPECT_EQ(zel::pidAlgorithms()[i].classes.size(), expected[i].second) << expected[i].first;
    }
    EXPECT_EQ(zel::findPidAlgorithm(150), nullptr);
    EXPECT_EQ(zel::findPidAlgorithm(173)->detector.sensBias, 200);
    EXPECT_EQ(zel::findPidAlgorithm(171)->detector.sensThick, 100);
    EXPECT_EQ(zel::findPidAlgorithm(201)->family(), zel::PidFamily::NeuralNetwork);
}

TEST(PidAlgorithms, SpotChecksOfDescriptionsParticlesAndBounds) {
    EXPECT_EQ(zel::findPidAlgorithm(101)->description, "Heuristic decision tree; simplified");
    EXPECT_EQ(classOf(103, 13).description, "LE, thermal && slow neutrons ( < 0.5 eV) ");
    EXPECT_EQ(classOf(103, 14).description, "HE fast neutrons ( > 1 MeV) ");
    EXPECT_EQ(classOf(202, 1).description, "Protons ME (>30 & <100 MeV)");
    int trailingBlanks = 0;
    for (const auto& spec : zel::pidAlgorithms())
        for (const auto& c : spec.classes) trailingBlanks += c.description.ends_with(' ');
    EXPECT_EQ(trailingBlanks, 2);

    EXPECT_EQ(classOf(101, 2).conditions[0].variable, "Height");
    EXPECT_EQ(classOf(101, 2).conditions[0].upper, 1e50);  // open upper end
    EXPECT_EQ(classOf(102, 0).particleCount(), 4u);
    EXPECT_EQ(classOf(102, 0).particles[3].name, "Moun");
    EXPECT_EQ(classOf(102, 0).particles[3].energyHigh, 2e150);
    EXPECT_EQ(classOf(104, 2).conditionCount(), 8u);
    EXPECT_EQ(classOf(104, 2).conditions[7].upper, 500);
    EXPECT_EQ(classOf(104, 2).particles[0].angleHigh, -1.0);
    EXPECT_EQ(classOf(172, 0).conditions[3].lower, 179);
    EXPECT_EQ(classOf(173, 0).conditions[6].variable, "BorderPixCount");
    EXPECT_EQ(classOf(202, 2).particles[0].energyHigh, 1e300);
}

TEST(PidAlgorithms, EveryBoundOfTheDecisionTreesMatchesTheKeptCopy) {
    std::ifstream in(ZEL_SOURCE_DIR "/tests/pid/DecisionTreeBounds.txt");
    ASSERT_TRUE(in) << "missing copy of the bounds";
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int algorithm = 0, k = 0;
        std::string variable;
        double lower = 0, upper = 0;
        fields >> algorithm >> k >> variable >> lower >> upper;
        std::ostringstream text;
        text.precision(17);
        text << algorithm << " " << k << " " << variable << " " << lower << " " << upper;
        expected.push_back(text.str());
    }
    std::vector<std::string> actual;
    for (const auto& spec : zel::pidAlgorithms()) {
        if (spec.family() != zel::PidFamily::Heuristic) continue;
        for (size_t k = 0; k < spec.classes.size(); ++k) {
            const zel::ClassSpec& c = spec.classes[k];
            for (size_t i = 0; i < c.conditionCount(); ++i) {
                std::ostringstream text;
                text.precision(17);
                text << spec.number << " " << k << " " << c.conditions[i].variable << " " << c.conditions[i].lower << " "
                     << c.conditions[i].upper;
                actual.push_back(text.str());
            }
        }
    }
    EXPECT_EQ(actual, expected);
}

TEST(PidAlgorithms, EveryConditionNamesAKnownVariableWithOrderedBounds) {
    for (const auto& spec : zel::pidAlgorithms()) {
        for (const auto& c : spec.classes) {
            EXPECT_GE(c.particleCount(), 1u) << spec.number << " " << c.description;
            EXPECT_EQ(c.conditionCount() == 0, spec.family() == zel::PidFamily::NeuralNetwork) << spec.number;
            for (size_t i = 0; i < c.conditionCount(); ++i) {
                zel::Var slot{};
                EXPECT_TRUE(zel::findVariable(c.conditions[i].variable, slot)) << c.conditions[i].variable;
                EXPECT_LE(c.conditions[i].lower, c.conditions[i].upper) << spec.number << " " << c.description;
            }
        }
    }
    ASSERT_EQ(zel::networkFeatures().size(), 8u);
    EXPECT_EQ(zel::networkFeatures()[7].variable, "WidthProj");
}

}  // namespace
