#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "FrameClusterer.h"
#include "HeldClusters.h"
#include "TimeClusterer.h"

namespace zel::clusterer {
namespace {

using Cluster = std::vector<Pixel>;

std::vector<size_t> sizesOf(const std::vector<Cluster>& clusters) {
    std::vector<size_t> sizes;
    for (const auto& c : clusters) sizes.push_back(c.size());
    return sizes;
}

TEST(FrameClusterer, JoinsEightNeighboursAndSplitsAtGaps) {
    // Two pixels touching at a corner are one cluster; one empty column between pixels separates them.
    std::vector<Pixel> frame{{0, 0, 1, 0}, {1, 1, 1, 0}, {3, 1, 1, 0}, {3, 2, 1, 0}, {255, 255, 1, 0}, {2, 3, 1, 0}};
    FrameClusterer clusterer(256, 256);
    clusterer.cluster(frame);
    ASSERT_EQ(clusterer.clusterCount(), 3u);
    // (0,0)-(1,1) touch at a corner; (3,1)-(3,2)-(2,3) likewise; (1,1) and (3,1) are a column apart.
    EXPECT_EQ(clusterer.clusterPixels(0).size(), 2u);
    EXPECT_EQ(clusterer.clusterPixels(1).size(), 3u);
    EXPECT_EQ(clusterer.clusterPixels(2).size(), 1u);
    EXPECT_EQ(clusterer.clusterPixels(2)[0].x, 255);
    // The matrix is left clean: the same frame again gives the same result.
    clusterer.cluster(frame);
    EXPECT_EQ(clusterer.clusterCount(), 3u);
    clusterer.cluster({});
    EXPECT_EQ(clusterer.clusterCount(), 0u);
}

// Streams pixels through a time clusterer in chunks; returns the clusters found and the count of late pixels.
struct TimeRun {
    std::vector<Cluster> found;
    long long late = 0;
};

TimeRun runTime(const std::vector<Pixel>& stream, size_t chunk, double margin) {
    TimeRun out;
    TimeClusterer clusterer(256, 256, 200.0, margin,
                            [&out](std::span<const Pixel> c) { out.found.emplace_back(c.begin(), c.end()); });
    for (size_t i = 0; i < stream.size(); i += chunk) {
        clusterer.addPixels(std::span<const Pixel>(stream.data() + i, std::min(chunk, stream.size() - i)));
    }
    clusterer.finish();
    out.late = clusterer.latePixels();
    return out;
}

TEST(TimeClusterer, WindowOrderMergesAndSortMargin) {
    const struct {
        const char* what;
        std::vector<Pixel> stream;
        size_t chunk;
        double margin;
        std::vector<size_t> sizes;
        long long late;
        int secondX;  // x of the first pixel of the second cluster, -1 to skip
    } cases[] = {
        // Within 200 ns of the first hit at the same place joins it; 201 ns is too late.
        {"window", {{10, 10, 1, 0}, {11, 10, 1, 150}, {12, 10, 1, 200}, {13, 10, 1, 201}, {10, 10, 1, 1000}},
         1000, 2000, {3, 1, 1}, 0, 13},
        // A track arrives shuffled and interleaved with a far dot; clusters come in the order of their first pixel.
        {"shuffled", {{52, 40, 1, 30}, {50, 40, 1, 0}, {200, 9, 1, 10}, {51, 40, 1, 20}, {53, 41, 1, 25},
                      {10, 10, 1, 5000}},
         1, 2000, {4, 1, 1}, 0, 200},
        // Two arms of a V are joined by the pixel at their tip; a later pixel next to either arm still joins.
        {"V", {{10, 10, 1, 0}, {14, 10, 1, 5}, {11, 11, 1, 10}, {13, 11, 1, 15}, {12, 12, 1, 20}, {100, 100, 1, 30}},
         1000, 2000, {5, 1}, 0, -1},
        {"V and later", {{10, 10, 1, 0}, {14, 10, 1, 5}, {11, 11, 1, 10}, {13, 11, 1, 15}, {12, 12, 1, 20},
                         {15, 9, 1, 25}, {100, 100, 1, 30}},
         1000, 2000, {6, 1}, 0, -1},
        // Without margin a pixel arriving after a later one is late: its cluster was closed already.
        {"no margin", {{10, 10, 1, 0}, {50, 50, 1, 500}, {11, 10, 1, 100}}, 1, 0.0, {1, 1, 1}, 1, -1},
        {"margin", {{10, 10, 1, 0}, {50, 50, 1, 500}, {11, 10, 1, 100}}, 1, 1000.0, {2, 1}, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TimeRun run = runTime(c.stream, c.chunk, c.margin);
        ASSERT_EQ(sizesOf(run.found), c.sizes);
        EXPECT_EQ(run.late, c.late);
        if (c.secondX >= 0) {
            EXPECT_EQ(run.found[1][0].x, c.secondX);
        }
    }
}

TEST(HeldClusters, ReleasesInTimeOrderAndTheEarlierHalfWhenFull) {
    HeldClusters held;
    std::vector<double> order;
    auto emit = [&order](std::span<const Pixel> c) { order.push_back(c.front().time); };
    for (double t : {40.0, 10.0, 30.0, 20.0}) {
        Pixel p{0, 0, 1, t};
        held.add(std::span<const Pixel>(&p, 1), t);
    }
    held.releaseEarlierHalf(emit);
    EXPECT_EQ(order, (std::vector<double>{10, 20}));
    EXPECT_EQ(held.pixelCount(), 2u);
    Pixel late{0, 0, 1, 25};
    held.add(std::span<const Pixel>(&late, 1), 25);
    held.releaseAll(true, emit);
    EXPECT_EQ(order, (std::vector<double>{10, 20, 25, 30, 40}));
    EXPECT_TRUE(held.empty());
}

}  // namespace
}  // namespace zel::clusterer
