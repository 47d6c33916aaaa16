// The synthetic event-list generator read back through the event-list reader: the layout is the engine's default
// and the values keep the relations that the physics modules rely on.
#include "input/Elist.h"

#include "InputTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using zel::Var;

struct GeneratedList : ::testing::Test {
    zel::test::Scratch scratch;

    bool generate(const std::string& name, const std::string& options) {
        std::string program = std::string(ZEL_BIN_DIR) + "/zel_gen_elist";
        if (!std::filesystem::exists(program)) return false;
        std::string command = "\"" + program + "\" " + options + " --out \"" + scratch.path() + name + "\"";
        return std::system(command.c_str()) == 0;
    }
};

TEST_F(GeneratedList, HasTheDefaultVariablesAndConsistentValues) {
    if (!generate("gen.elist", "--clusters 3000 --seed 7 --rate 5000")) GTEST_SKIP() << "zel_gen_elist not built";
    zel::Elist list(scratch.path(), "gen.elist", 'r', scratch.target(), -5600);
    ASSERT_EQ(list.init(), 0);
    ASSERT_EQ(list.checkVariables(), 0);
    ASSERT_EQ(list.names().size(), zel::kDefaultVariables.size());
    for (size_t i = 0; i < list.names().size(); ++i) {
        EXPECT_EQ(list.names()[i], zel::kDefaultVariables[i].name);
        EXPECT_EQ(list.units()[i], zel::kDefaultVariables[i].unit);
    }
    EXPECT_FALSE(list.hasUnknownNames());

    zel::ClusterBatch batch;
    list.setBatchSize(1000);
    size_t rows = 0, shared = 0, edge = 0;
    double lastTime = -1, lastEvent = -1;
    auto value = [&](size_t r, Var v) { return batch.at(r, static_cast<size_t>(list.column(v))); };
    while (list.hasMoreData()) {
        ASSERT_EQ(list.readBatch(batch), 0);
        for (size_t r = 0; r < batch.size(); ++r, ++rows) {
            const double e = value(r, Var::E), size = value(r, Var::Size);
            EXPECT_GE(value(r, Var::T), lastTime);
            EXPECT_GE(value(r, Var::EventID), lastEvent);
            if (value(r, Var::EventID) == lastEvent) {
                ++shared;
                EXPECT_LE(value(r, Var::T) - lastTime, 100.0);
            }
            lastTime = value(r, Var::T);
            lastEvent = value(r, Var::EventID);
            EXPECT_TRUE(size >= 1 && size <= 300 && size == std::floor(size));
            EXPECT_TRUE(e >= 5 && e <= 50000) << e;
            EXPECT_LE(value(r, Var::Height), e + 1e-3);
            EXPECT_NEAR(value(r, Var::EpixMean) * size, e, 2e-3 * size);
            EXPECT_NEAR(value(r, Var::LET) * value(r, Var::Length3DCorr), e, 1e-3 * e + 0.1);
            for (Var v : {Var::Roundness, Var::Linearity}) EXPECT_TRUE(value(r, v) >= 0 && value(r, v) <= 1);
            for (Var v : {Var::X, Var::Y}) EXPECT_TRUE(value(r, v) >= 0 && value(r, v) <= 255);
            EXPECT_TRUE(value(r, Var::AngleAzim) > -90 && value(r, Var::AngleAzim) <= 90);
            EXPECT_TRUE(value(r, Var::AngleElev) >= 0 && value(r, Var::AngleElev) <= 90);
            EXPECT_LE(value(r, Var::WidthProj), value(r, Var::LengthProj) + 1e-3);
            edge += value(r, Var::IsSensEdge) != 0 ? 1 : 0;
            EXPECT_EQ(value(r, Var::Flags), 0.0);
        }
    }
    EXPECT_EQ(rows, 3000u);
    EXPECT_GT(shared, 0u);
    EXPECT_LT(edge, rows / 5);
    // Mean gap of Poisson arrivals at 5 kHz is 200 us.
    EXPECT_NEAR(lastTime / 3000.0, 2e5, 2e4);
}

TEST_F(GeneratedList, SameSeedSameFileOtherSeedOtherFile) {
    if (!generate("a.elist", "--clusters 50 --seed 3") || !generate("b.elist", "--clusters 50 --seed 3") ||
        !generate("c.elist", "--clusters 50 --seed 4")) {
        GTEST_SKIP() << "zel_gen_elist not built";
    }
    auto text = [&](const std::string& name) { return scratch.read(scratch.file(name)); };
    EXPECT_EQ(text("a.elist"), text("b.elist"));
    EXPECT_NE(text("a.elist"), text("c.elist"));
    for (const char* bad : {"--clusters", "--clusters 5 --rate 0"}) {
        EXPECT_NE(std::system((std::string(ZEL_BIN_DIR) + "/zel_gen_elist " + bad + " 2>/dev/null").c_str()), 0);
    }
}

}  // namespace
