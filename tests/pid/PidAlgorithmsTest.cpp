#include "pid/PidAlgorithms.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "cluster/VariableNames.h"

namespace {

const zel::AlgorithmSpec& algorithm(int number) {
    const zel::AlgorithmSpec* found = zel::findPidAlgorithm(number);
    if (found == nullptr) throw std::runtime_error("no algorithm " + std::to_string(number));
    return *found;
}

TEST(PidAlgorithms, TwelveNumbersInOrderWithTheirClassCounts) {
    const std::map<int, size_t> expected{{100, 0}, {101, 3},  {102, 8}, {103, 15}, {104, 10}, {171, 1},
                                         {172, 1}, {173, 1}, {201, 3}, {202, 6},  {251, 3},  {252, 6}};
    auto next = expected.begin();
    ASSERT_EQ(zel::pidAlgorithms().size(), expected.size());
    for (const zel::AlgorithmSpec& spec : zel::pidAlgorithms()) {
        EXPECT_EQ(spec.number, next->first);
        EXPECT_EQ(spec.classes.size(), next->second) << spec.number;
        EXPECT_EQ(spec.family() == zel::PidFamily::NeuralNetwork, spec.number >= 200);
        ++next;
    }
    EXPECT_EQ(zel::findPidAlgorithm(150), nullptr);
    EXPECT_EQ(zel::findPidAlgorithm(-1), nullptr);
}

TEST(PidAlgorithms, DescriptionsKeepTheirExactTextAndTrailingBlanks) {
    EXPECT_EQ(algorithm(101).description, "Heuristic decision tree; simplified");
    EXPECT_EQ(algorithm(171).description, "Heuristic decision tree for thermal neutron recognition");
    EXPECT_EQ(algorithm(252).description, "Dense neural network");
    EXPECT_EQ(algorithm(103).classes[13].description, "LE, thermal && slow neutrons ( < 0.5 eV) ");
    EXPECT_EQ(algorithm(103).classes[14].description, "HE fast neutrons ( > 1 MeV) ");
    EXPECT_EQ(algorithm(103).classes[6].description, "LE protons (< 3MeV)");
    EXPECT_EQ(algorithm(102).classes[7].description, "He ions nPP");
    EXPECT_EQ(algorithm(104).classes[9].description, "HE electrons, gamma rays");
    EXPECT_EQ(algorithm(202).classes[1].description, "Protons ME (>30 & <100 MeV)");
    EXPECT_EQ(algorithm(251).classes[1].description, "Photons && Electrons");
    // Only the two neutron classes end with a blank.
    int trailing = 0;
    for (const auto& spec : zel::pidAlgorithms())
        for (const auto& c : spec.classes) trailing += !c.description.empty() && c.description.back() == ' ';
    EXPECT_EQ(trailing, 2);
}

TEST(PidAlgorithms, ConditionsAndOpenUpperEndsAsListed) {
    const auto& ions = algorithm(101).classes[2];
    ASSERT_EQ(ions.conditionCount(), 2u);
    EXPECT_EQ(ions.conditions[0].variable, "Height");
    EXPECT_EQ(ions.conditions[0].lower, 1000);
    EXPECT_EQ(ions.conditions[0].upper, 1e50);
    const auto& muons = algorithm(102).classes[0];
    ASSERT_EQ(muons.particleCount(), 4u);
    EXPECT_EQ(muons.particles[3].name, "Moun");
    EXPECT_EQ(muons.particles[3].energyHigh, 2e150);
    EXPECT_EQ(muons.particles[3].angleHigh, 20);
    const auto& heProtons = algorithm(104).classes[2];
    ASSERT_EQ(heProtons.conditionCount(), 8u);
    EXPECT_EQ(heProtons.conditions[7].variable, "LengthProj");
    EXPECT_EQ(heProtons.conditions[7].upper, 500);
    EXPECT_EQ(heProtons.particles[0].energyLow, -1.0);
    EXPECT_EQ(heProtons.particles[0].angleHigh, -1.0);
    EXPECT_EQ(algorithm(103).classes[12].conditionCount(), 2u);
    EXPECT_EQ(algorithm(202).classes[2].particles[0].energyHigh, 1e300);
    EXPECT_EQ(algorithm(202).classes[0].particles[0].energyHigh, 30);
}

TEST(PidAlgorithms, NeutronTreesShareVariablesWithTheirOwnBoundsAndDetectors) {
    const char* order[] = {"Size", "Linearity", "LengthProj", "Height", "E", "Roundness", "BorderPixCount"};
    for (int number : {171, 172, 173}) {
        const auto& c = algorithm(number).classes[0];
        EXPECT_EQ(c.description, "Neutrons from LiF converter");
        ASSERT_EQ(c.conditionCount(), 7u);
        for (size_t i = 0; i < 7; ++i) EXPECT_EQ(c.conditions[i].variable, order[i]);
    }
    EXPECT_EQ(algorithm(171).classes[0].conditions[2].upper, 3.61);
    EXPECT_EQ(algorithm(172).classes[0].conditions[3].lower, 179);
    EXPECT_EQ(algorithm(173).classes[0].conditions[6].lower, 7);
    EXPECT_EQ(algorithm(171).detector.sensThick, 100);
    EXPECT_EQ(algorithm(173).detector.sensBias, 200);
    EXPECT_EQ(algorithm(101).detector.chipType, "TPX");
    EXPECT_EQ(algorithm(201).detector.sensBias, 50);
    EXPECT_EQ(algorithm(104).detector.chipType, "TPX3");
}

TEST(PidAlgorithms, EveryConditionNamesAKnownVariableWithOrderedBounds) {
    for (const auto& spec : zel::pidAlgorithms()) {
        for (const auto& c : spec.classes) {
            EXPECT_GE(c.particleCount(), 1u) << spec.number << " " << c.description;
            if (spec.family() == zel::PidFamily::NeuralNetwork) {
                EXPECT_EQ(c.conditionCount(), 0u);
            }
            for (size_t i = 0; i < c.conditionCount(); ++i) {
                zel::Var slot{};
                EXPECT_TRUE(zel::findVariable(c.conditions[i].variable, slot)) << c.conditions[i].variable;
                EXPECT_LE(c.conditions[i].lower, c.conditions[i].upper) << spec.number << " " << c.description;
            }
        }
    }
    const char* features[] = {"E", "Size", "Height", "BorderPixCount", "Roundness", "Linearity", "LengthProj", "WidthProj"};
    ASSERT_EQ(zel::networkFeatures().size(), 8u);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(zel::networkFeatures()[i].variable, features[i]);
}

}  // namespace
