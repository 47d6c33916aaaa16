#include "cluster/VariableNames.h"

#include <gtest/gtest.h>

#include <set>

TEST(VariableNames, EverySlotHasANameAndDefaultsAreKnown) {
    std::set<zel::Var> slots;
    for (const auto& known : zel::kKnownVariables) slots.insert(known.slot);
    EXPECT_EQ(static_cast<int>(slots.size()), zel::kVarSlotCount);
    for (const auto& variable : zel::kDefaultVariables) {
        zel::Var slot{};
        EXPECT_TRUE(zel::findVariable(variable.name, slot)) << variable.name;
    }
    zel::Var slot{};
    EXPECT_FALSE(zel::findVariable("x", slot));
    EXPECT_FALSE(zel::findVariable("Energy", slot));
}
