#include "hist/ClusterMaps.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "hist/HistTestSupport.h"

namespace {

using histtest::HistFilesTest;
using histtest::kSilent;
using testing::ElementsAre;
using zel::ClusterMaps;
using zel::ClusterVariables;
using zel::Hist2D;

enum Map { kE, kS, kLET, kEpix, kH, kCount };

// Variables in the given column order, mapped.
ClusterVariables variablesOf(std::vector<std::string> names) {
    ClusterVariables variables;
    variables.setOrder(std::move(names));
    variables.mapNames(kSilent);
    return variables;
}

TEST(ClusterMaps, SixSensorMapsNamedWithTheSuffix) {
    const ClusterMaps maps("proton", 512, 128, variablesOf({"X", "Y"}), kSilent);
    std::vector<std::string> titles;
    for (int i = 0; i < ClusterMaps::kMapCount; ++i) titles.push_back(maps.map(i).GetTitle());
    EXPECT_THAT(titles, ElementsAre("Hist2D_EMap_proton", "Hist2D_SMap_proton", "Hist2D_LETMap_proton",
                                    "Hist2D_EpixMap_proton", "Hist2D_HMap_proton", "Hist2D_CountMap_proton"));
    // 256 x 256 pixels over 0..256 whatever the sensor.
    const Hist2D& energy = maps.map(kE);
    EXPECT_EQ(energy.GetNBinX(), 256);
    EXPECT_EQ(energy.GetNBinY(), 256);
    EXPECT_EQ(energy.GetXmax(), 256);
    EXPECT_EQ(energy.GetName(), "Sensor map of cluster sum of deposited energy");
    EXPECT_THAT(energy.GetAxisTitles(), ElementsAre("X [px]", "Y [px]", "E [keV]"));
    EXPECT_THAT(maps.map(kCount).GetAxisTitles(), ElementsAre("X [px]", "Y [px]", "N [-]"));
}

TEST(ClusterMaps, EachMapAddsItsQuantityAtThePosition) {
    // Column order of a host batch: the quantities away from their default places, no LET column.
    ClusterMaps maps("Total", 256, 256, variablesOf({"Height", "E", "Y", "EpixMean", "X", "Size"}), kSilent);
    maps.Fill(std::vector<double>{30.0, 120.0, 20.5, 40.0, 10.5, 3.0});
    maps.Fill(std::vector<double>{5.0, 80.0, 20.9, 16.0, 10.1, 5.0});
    maps.Fill(std::vector<double>{1.0, 1.0, 300.0, 1.0, 10.5, 1.0});  // above the map

    const std::array<double, 6> expected{200.0, 8.0, 0.0, 56.0, 35.0, 2.0};
    for (int i = 0; i < ClusterMaps::kMapCount; ++i) {
        EXPECT_EQ(maps.map(i).GetBinContent(10.5, 20.5), expected[static_cast<size_t>(i)]) << maps.map(i).GetTitle();
        EXPECT_EQ(maps.map(i).GetBinContent(11.5, 20.5), 0.0);
    }
    EXPECT_EQ(maps.map(kCount).GetOverflowY()[10], 1.0);  // x 10.5 lies in column 11
    EXPECT_EQ(maps.map(kLET).GetOverflowY()[10], 0.0);     // no LET column: the map is left out
    EXPECT_EQ(maps.map(kH).GetOverflowY()[10], 1.0);

    // Clusters after a read add to what the maps hold.
    maps.Fill(std::vector<double>{30.0, 120.0, 20.5, 40.0, 10.5, 3.0});
    EXPECT_EQ(maps.map(kE).GetBinContent(10.5, 20.5), 320.0);
    EXPECT_EQ(maps.map(kCount).GetBinContent(10.5, 20.5), 3.0);
    EXPECT_EQ(maps.map(kCount).GetBinContent(0.5, 0.5), 0.0);
}

TEST(ClusterMaps, BatchFillGivesTheSumsOfRowByRowFills) {
    const ClusterVariables variables = variablesOf({"X", "Y", "E", "Size", "LET", "EpixMean", "Height"});
    ClusterMaps byRow("Total", 256, 256, variables, kSilent), byBatch("Total", 256, 256, variables, kSilent);
    zel::ClusterBatch batch(7);
    std::vector<uint32_t> rows;
    for (uint32_t i = 0; i < 3000; ++i) {
        std::span<double> row = batch.appendRow();
        // Positions all over the matrix and some beyond it; repeated pixels.
        row[0] = (i * 37 % 300) - 10.5;
        row[1] = (i * 11 % 270) + 0.25;
        // Weights whose sums round, so that only the same order of additions gives the same bins.
        for (size_t c = 2; c < 7; ++c) row[c] = 0.1 * static_cast<double>(i % 17 + c) + 1e-3 * i;
        if (i % 3 != 0) {
            rows.push_back(i);
            byRow.Fill(batch.row(i));
        }
    }
    byBatch.FillRows(batch, rows);
    for (int i = 0; i < ClusterMaps::kMapCount; ++i) {
        EXPECT_EQ(byRow.map(i).GetContents(), byBatch.map(i).GetContents()) << byRow.map(i).GetTitle();
        EXPECT_EQ(byRow.map(i).GetOverflowX(), byBatch.map(i).GetOverflowX()) << byRow.map(i).GetTitle();
    }
}

TEST(ClusterMaps, SetsFilledTogetherGetTheSumsOfSetBySetFills) {
    // Every row goes to the all-clusters maps; of every five rows three go to class set 2 (the set with most
    // rows, filled in the pass of the all-clusters maps), one to class set 1 and one to none.
    const ClusterVariables variables = variablesOf({"X", "Y", "E", "Size", "LET", "EpixMean", "Height"});
    std::vector<std::unique_ptr<ClusterMaps>> apart, together;
    for (const char* suffix : {"Total", "alpha", "Others"}) {
        apart.push_back(std::make_unique<ClusterMaps>(suffix, 256, 256, variables, kSilent));
        together.push_back(std::make_unique<ClusterMaps>(suffix, 256, 256, variables, kSilent));
    }
    zel::ClusterBatch batch(7);
    std::vector<uint32_t> all;
    std::vector<uint8_t> set;
    std::vector<std::vector<uint32_t>> perSet(3);
    for (uint32_t i = 0; i < 3000; ++i) {
        std::span<double> row = batch.appendRow();
        // A corner of the matrix, so that bins take several rows, and some rows beyond it on each side.
        row[0] = (i * 37 % 40) - 2.5 + (i % 50 == 0 ? 300 : 0);
        row[1] = (i * 11 % 30) + 0.25 + (i % 70 == 0 ? 300 : 0);
        // Weights whose sums round, so that only the same order of additions gives the same bins.
        for (size_t c = 2; c < 7; ++c) row[c] = 0.1 * static_cast<double>(i % 17 + c) + 1e-3 * i;
        all.push_back(i);
        const uint8_t inSet = i % 5 < 3 ? 2 : i % 5 == 3 ? 1 : 0;
        set.push_back(inSet);
        perSet[inSet].push_back(i);
    }
    apart[0]->FillRows(batch, all);
    for (size_t s = 1; s < 3; ++s) apart[s]->FillRows(batch, perSet[s]);
    std::vector<ClusterMaps*> sets;
    for (const auto& maps : together) sets.push_back(maps.get());
    ClusterMaps::FillRowsInSets(sets, batch, all, set.data());
    for (size_t s = 0; s < 3; ++s) {
        for (int i = 0; i < ClusterMaps::kMapCount; ++i) {
            const Hist2D& a = apart[s]->map(i);
            const Hist2D& b = together[s]->map(i);
            EXPECT_EQ(a.GetContents(), b.GetContents()) << a.GetTitle();
            EXPECT_EQ(a.GetOverflowX(), b.GetOverflowX()) << a.GetTitle();
            EXPECT_EQ(a.GetUnderflowX(), b.GetUnderflowX()) << a.GetTitle();
        }
    }
}

TEST(ClusterMaps, ClustersInTheEdgeColumnsAndRowsReachTheirBinsByEveryFill) {
    // The first and last pixel column and row of the matrix, in each of the three ways maps are filled.
    const ClusterVariables variables = variablesOf({"X", "Y", "E"});
    const std::array<std::pair<double, double>, 5> corners{{{0.0, 0.0}, {255.5, 0.5}, {0.5, 255.5}, {255.99, 255.99},
                                                            {255.0, 128.0}}};
    zel::ClusterBatch batch(3);
    std::vector<uint32_t> rows;
    std::vector<uint8_t> set;
    for (const auto& [x, y] : corners) {
        std::span<double> row = batch.appendRow();
        row[0] = x;
        row[1] = y;
        row[2] = 7.0;
        rows.push_back(static_cast<uint32_t>(rows.size()));
        set.push_back(1);
    }
    ClusterMaps rowByRow("Total", 256, 256, variables, kSilent), byBatch("Total", 256, 256, variables, kSilent);
    for (uint32_t r : rows) rowByRow.Fill(batch.row(r));
    byBatch.FillRows(batch, rows);
    ClusterMaps all("Total", 256, 256, variables, kSilent), inClass("alpha", 256, 256, variables, kSilent);
    std::vector<ClusterMaps*> sets{&all, &inClass};
    ClusterMaps::FillRowsInSets(sets, batch, rows, set.data());
    for (const ClusterMaps* maps : {&rowByRow, &byBatch, &all, &inClass}) {
        for (const auto& [x, y] : corners) {
            EXPECT_EQ(maps->map(kE).GetBinContent(x, y), 7.0) << maps->suffix() << " " << x << " " << y;
            EXPECT_EQ(maps->map(kCount).GetBinContent(x, y), 1.0) << maps->suffix() << " " << x << " " << y;
        }
        const auto& overflow = maps->map(kCount).GetOverflowX();
        EXPECT_EQ(std::accumulate(overflow.begin(), overflow.end(), 0.0), 0.0) << maps->suffix();
    }
}

TEST(ClusterMaps, RowsWithoutPositionAddNothing) {
    ClusterMaps maps("Total", 256, 256, variablesOf({"E", "Size"}), kSilent);
    maps.Fill(std::vector<double>{100.0, 2.0});
    for (int i = 0; i < ClusterMaps::kMapCount; ++i) EXPECT_EQ(maps.map(i).GetContents().front(), 0.0);
    EXPECT_EQ(maps.map(kCount).GetBinContent(0.5, 0.5), 0.0);
}

TEST_F(HistFilesTest, ClusterMapsExportAndLoadBack) {
    ClusterMaps maps("Others", 256, 256, variablesOf({"X", "Y", "E", "Size", "LET", "EpixMean", "Height"}), quiet);
    maps.Fill(std::vector<double>{3.2, 250.7, 42.0, 2.0, 1.5, 21.0, 30.0});
    // The corners of the matrix: the first and last column and row must survive the file.
    for (const auto& [x, y] : {std::pair{0.5, 0.5}, {255.5, 0.5}, {0.5, 255.5}, {255.5, 255.5}})
        maps.Fill(std::vector<double>{x, y, 1.0, 1.0, 2.5, 1.0, 1.0});
    ASSERT_EQ(maps.ExportAll(directory()), 0);
    EXPECT_EQ(files().size(), 12u);
    Hist2D loaded(directory(), "Hist2D_LETMap_Others", ".hist", ".hist_info", 0, kSilent);
    EXPECT_EQ(loaded.GetContents(), maps.map(kLET).GetContents());
    EXPECT_EQ(loaded.GetBinContent(3.5, 250.5), 1.5);
    for (const auto& [x, y] : {std::pair{0.5, 0.5}, {255.5, 0.5}, {0.5, 255.5}, {255.5, 255.5}})
        EXPECT_EQ(loaded.GetBinContent(x, y), 2.5) << x << " " << y;
    EXPECT_EQ(loaded.GetName(), "Sensor map of cluster LET");
}

}  // namespace
