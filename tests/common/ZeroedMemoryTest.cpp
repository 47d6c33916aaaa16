#include "common/ZeroedMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool allZero(const zel::ZeroedDoubles& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return v == 0.0; });
}

// Virtual memory of this process in KiB, or -1 where the system does not tell.
long virtualKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7));
    return -1;
}

}  // namespace

TEST(ZeroedMemory, NewVectorsOfAnySizeHoldZerosAndDoNotOverlap) {
    // Small blocks (calloc), blocks carved from a shared mapping and blocks with a mapping of their own.
    const std::vector<size_t> sizes = {1, 100, 8191, 8192, 100000, 200001, 3000000, 9000000};
    std::vector<zel::ZeroedDoubles> vectors;
    for (size_t size : sizes) {
        vectors.emplace_back(size);
        EXPECT_TRUE(allZero(vectors.back())) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(vectors.back().data()) % alignof(double), 0u);
    }
    for (size_t i = 0; i < vectors.size(); ++i) std::fill(vectors[i].begin(), vectors[i].end(), double(i + 1));
    for (size_t i = 0; i < vectors.size(); ++i) {
        EXPECT_TRUE(std::all_of(vectors[i].begin(), vectors[i].end(), [&](double v) { return v == double(i + 1); }))
            << "block of " << sizes[i] << " was overwritten";
    }
    // Blocks given back in between leave the others alone, and new blocks are zeros again.
    vectors[1] = {};
    vectors[5] = {};
    zel::ZeroedDoubles fresh(200001);
    EXPECT_TRUE(allZero(fresh));
    EXPECT_EQ(vectors[4].front(), 5.0);
    EXPECT_EQ(vectors[6].back(), 7.0);
}

TEST(ZeroedMemory, GrowingBackIntoUsedCapacityGivesZeros) {
    zel::ZeroedDoubles values(100000, 3.5);
    values.resize(10);
    values.resize(100000);
    EXPECT_EQ(values[9], 3.5);
    EXPECT_TRUE(std::all_of(values.begin() + 10, values.end(), [](double v) { return v == 0.0; }));
    values.clear();
    values.resize(50);
    EXPECT_TRUE(allZero(values));
    // A negative zero left behind is made a plain zero too.
    values.assign(64, -0.0);
    values.clear();
    values.resize(64);
    EXPECT_FALSE(std::signbit(values[7]));
}

TEST(ZeroedMemory, MappingsGoBackToTheSystem) {
    const long before = virtualKiB();
    if (before < 0) GTEST_SKIP() << "no /proc/self/status here";
    // 12 rounds of 120 MB: without giving mappings back the process would grow by 1.4 GB.
    for (int round = 0; round < 12; ++round) {
        std::vector<zel::ZeroedDoubles> blocks;
        for (int i = 0; i < 10; ++i) blocks.emplace_back(1000000 + 12345 * i);
        blocks.emplace_back(5000000);
        blocks[static_cast<size_t>(round % 10)][777] = 1;
    }
    EXPECT_LT(virtualKiB() - before, 300 * 1024);
}
