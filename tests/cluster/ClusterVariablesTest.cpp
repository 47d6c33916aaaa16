#include "cluster/ClusterVariables.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempDir.h"

namespace {

using zel::ClusterVariables;
using zel::Var;

struct VariablesWithLog : ::testing::Test {
    zeltest::TempDir tmp{"zel_vars"};
    std::ofstream log{tmp.file("log.txt")};
    zel::MessageTarget to{&log, false, true};
    ClusterVariables vars;

    std::string logText() {
        log.flush();
        return zeltest::TempDir::read(tmp.file("log.txt"));
    }
};

TEST(ClusterVariablesDefaults, DefaultListCarriesTheChosenCorrectedLengthPair) {
    ClusterVariables vars;
    ASSERT_EQ(vars.names().size(), 28u);
    EXPECT_EQ(vars.names()[23], "LengthCorrStd");
    EXPECT_EQ(vars.names()[24], "Length3DCorrStd");
    EXPECT_EQ(vars.index(Var::E), -1);

    vars.setDefaultList(3);
    EXPECT_EQ(vars.names()[24], "Length3DCorrNabha");
    vars.setDefaultList(7);  // an invalid choice falls back to the first pair
    EXPECT_EQ(vars.names()[23], "LengthCorrStd");

    // Choosing the pair alone leaves a host's order alone; the next rebuild uses it.
    vars.setOrder({"E", "T"});
    vars.selectLengthCorr(2);
    EXPECT_EQ(vars.names().size(), 2u);
    EXPECT_EQ(vars.units().size(), 28u);
    vars.setDefaultList();
    EXPECT_EQ(vars.names()[23], "LengthCorrWidth");
}

TEST_F(VariablesWithLog, LaterEntriesWinAndUnknownNamesOnlyWarn) {
    vars.setOrder({"X", "LengthCorrStd", "E", "Enrgy", "LengthCorrNabha", "E", "T"});
    EXPECT_EQ(vars.mapNames(to), 0);
    EXPECT_EQ(vars.index(Var::X), 0);
    EXPECT_EQ(vars.index(Var::LengthCorr), 4);
    EXPECT_EQ(vars.index(Var::E), 5);
    EXPECT_EQ(vars.index(Var::T), 6);
    EXPECT_EQ(vars.index(Var::Y), -1);
    EXPECT_TRUE(vars.hasUnknownNames());
    EXPECT_EQ(logText(), "[WARNING]  Unknown variable names found in elist: Enrgy\n");

    // A list mapped again describes only itself.
    vars.setOrder({"T", "X"});
    vars.mapNames(to);
    EXPECT_FALSE(vars.hasUnknownNames());
    EXPECT_EQ(vars.index(Var::T), 0);
    EXPECT_EQ(vars.index(Var::E), -1);
    EXPECT_EQ(vars.index(Var::LengthCorr), -1);
}

TEST_F(VariablesWithLog, AddedColumnsReuseOrAppend) {
    vars.setList({"X", "PIDClass", "Z", "E"}, {"px", "-", "mm", "keV"});
    vars.mapNames(to);

    EXPECT_EQ(vars.addColumn("PIDClass", "-", Var::PIDClass, true), 1);
    EXPECT_EQ(vars.names().size(), 4u);

    EXPECT_EQ(vars.addColumn("FilterPass", "-", Var::FilterPass, true), 4);
    EXPECT_EQ(vars.names().back(), "FilterPass");
    EXPECT_EQ(vars.units().back(), "-");

    // The coincidence column is always a fresh one.
    EXPECT_EQ(vars.addColumn("Z", "mm", Var::Z, false), 5);
    EXPECT_EQ(vars.index(Var::Z), 5);
    EXPECT_EQ(vars.units()[5], "mm");

    // A host order longer than the unit list still gets the new unit at the new column.
    vars.setList({"X", "Y", "E"}, {"px"});
    EXPECT_EQ(vars.addColumn("PIDClass", "-", Var::PIDClass, true), 3);
    EXPECT_EQ(vars.units(), (std::vector<std::string>{"px", "-", "-", "-"}));
}

TEST_F(VariablesWithLog, WideningAppendsZerosUpToTheFarthestSlot) {
    std::vector<std::string> names(31);
    for (size_t i = 0; i < names.size(); ++i) names[i] = "Col" + std::to_string(i);
    names[5] = "T";
    names[30] = "PIDClass";
    vars.setOrder(names);
    vars.mapNames(to);
    std::string mappingWarnings = logText();

    zel::ClusterBatch batch(10);
    for (int r = 0; r < 2; ++r) {
        auto row = batch.appendRow();
        for (size_t c = 0; c < row.size(); ++c) row[c] = 100.0 * r + static_cast<double>(c);
    }
    EXPECT_EQ(vars.widen(batch, to), 0);
    ASSERT_EQ(batch.width(), 31u);
    EXPECT_EQ(batch.at(1, 9), 109.0);
    EXPECT_EQ(batch.at(1, 30), 0.0);
    EXPECT_EQ(logText().substr(mappingWarnings.size()),
              "[WARNING]  Cluster var vec extension should be done more than 1/2 of orig size.\n");

    // An extension of exactly half the width is silent; a wide enough batch and an empty one are left alone.
    vars.setOrder({"X", "Y", "E", "T", "Size", "Height"});
    vars.mapNames(to);
    std::string before = logText();
    zel::ClusterBatch narrow(4);
    narrow.appendRow();
    EXPECT_EQ(vars.widen(narrow, to), 0);
    EXPECT_EQ(narrow.width(), 6u);
    EXPECT_EQ(vars.widen(narrow, to), 0);
    EXPECT_EQ(narrow.width(), 6u);
    zel::ClusterBatch empty(2);
    EXPECT_EQ(vars.widen(empty, to), -1);
    EXPECT_EQ(empty.width(), 2u);
    EXPECT_EQ(logText(), before);
}

}  // namespace
