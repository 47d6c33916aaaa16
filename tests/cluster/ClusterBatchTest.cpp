#include "cluster/ClusterBatch.h"

#include <gtest/gtest.h>

TEST(ClusterBatch, WidenKeepsValuesAndAppendsZeros) {
    auto batch = zel::ClusterBatch::fromRows({{1, 2}, {3}, {4, 5}});
    ASSERT_EQ(batch.width(), 2u);
    EXPECT_EQ(batch.at(1, 1), 0.0);
    batch.widen(4);
    ASSERT_EQ(batch.width(), 4u);
    EXPECT_EQ(batch.at(0, 0), 1.0);
    EXPECT_EQ(batch.at(0, 1), 2.0);
    EXPECT_EQ(batch.at(2, 0), 4.0);
    EXPECT_EQ(batch.at(2, 1), 5.0);
    EXPECT_EQ(batch.at(2, 3), 0.0);
    EXPECT_EQ(batch.at(1, 2), 0.0);
}

TEST(ClusterBatch, ResetKeepsStorageButDropsRows) {
    zel::ClusterBatch batch(3);
    batch.appendRow()[0] = 7;
    batch.reset(3);
    EXPECT_TRUE(batch.empty());
    auto row = batch.appendRow();
    EXPECT_EQ(row[0], 0.0);
}
