#include "common/ZeroedMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEL_TEST_CALLOC_ONLY 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZEL_TEST_CALLOC_ONLY 1
#endif

namespace {

bool allZero(const zel::ZeroedDoubles& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return v == 0.0; });
}

// Resident memory of this process in KiB, or -1 where the system does not tell.
[[maybe_unused]] long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    if (!(statm >> pages >> resident)) return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
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

TEST(ZeroedMemory, NewArraysLeaveTheirMemoryUntouched) {
#if ZEL_TEST_CALLOC_ONLY
    GTEST_SKIP() << "blocks come from calloc under AddressSanitizer";
#else
    const long before = residentKiB();
    if (before < 0) GTEST_SKIP() << "no /proc/self/statm here";
    // Some systems back even a read of an untouched page, so neither writing nor checking zeros is allowed.
    std::vector<zel::ZeroedDoubles> arrays;
    for (int i = 0; i < 8; ++i) arrays.emplace_back(2000000 + 1000 * i);
    arrays.emplace_back(20000000);
    EXPECT_LT(residentKiB() - before, 8 * 1024) << "290 MB of new arrays were touched";
    arrays.back()[12345678] = 1;
    EXPECT_EQ(arrays.back()[12345678], 1.0);
#endif
}

TEST(ZeroedMemory, CopiesAndAssignmentsKeepTheValues) {
    zel::ZeroedDoubles values{1.5, -0.0, 3};
    const zel::ZeroedDoubles copy = values;
    values[0] = 7;
    EXPECT_EQ(copy, (zel::ZeroedDoubles{1.5, 0, 3}));
    const std::vector<double> plain{4, 5};
    values.assign(plain.begin(), plain.end());
    EXPECT_EQ(values, (zel::ZeroedDoubles{4, 5}));
    zel::ZeroedDoubles moved = std::move(values);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(moved.size(), 2u);
    moved.clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(moved.data(), nullptr);
}

TEST(ZeroedMemory, WrittenPagesCoverEveryWrittenElement) {
    // Sparse and dense arrays, written at a few places: every written element lies in a run and on a page that
    // holds it, and with the system's page record (Linux) the untouched middle of a sparse array lies in none.
    for (const zel::Filling filling : {zel::Filling::Sparse, zel::Filling::Dense}) {
        zel::ZeroedDoubles values(3000000, filling);
        const std::vector<size_t> written = {0, 1, 5000, 1500000, 2999999};
        for (size_t i : written) values[i] = 1;
        std::vector<std::pair<size_t, size_t>> runs;
        const zel::WrittenPages pages(values.data(), values.size() * sizeof(double));
        pages.forEachRun(1, values.size(), sizeof(double), [&](size_t a, size_t b) { runs.emplace_back(a, b); });
        ASSERT_FALSE(runs.empty());
        EXPECT_EQ(runs.front().first, 1u);
        for (size_t r = 1; r < runs.size(); ++r) EXPECT_GT(runs[r].first, runs[r - 1].second);
        for (size_t i : written) {
            const bool covered =
                std::any_of(runs.begin(), runs.end(), [&](auto run) { return i >= run.first && i < run.second; });
            EXPECT_EQ(covered, i >= 1) << i;
            EXPECT_TRUE(pages.holds(i, sizeof(double))) << i;
        }
        EXPECT_LE(runs.back().second, values.size());
        const bool told = !(runs.size() == 1 && runs.front().second == values.size());
        if (told) {
            EXPECT_FALSE(std::any_of(runs.begin(), runs.end(),
                                     [](auto run) { return run.first <= 800000 && run.second > 800000; }));
            EXPECT_FALSE(pages.holds(800000, sizeof(double)));
        }
    }
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
