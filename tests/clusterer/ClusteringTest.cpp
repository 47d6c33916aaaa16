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

class TimeClustering : public ::testing::Test {
protected:
    std::vector<Cluster> run(const std::vector<Pixel>& stream, size_t chunk = 1000, double margin = 2000) {
        std::vector<Cluster> found;
        TimeClusterer clusterer(256, 256, 200.0, margin,
                                [&found](std::span<const Pixel> c) { found.emplace_back(c.begin(), c.end()); });
        for (size_t i = 0; i < stream.size(); i += chunk) {
            size_t n = std::min(chunk, stream.size() - i);
            clusterer.addPixels(std::span<const Pixel>(stream.data() + i, n));
        }
        clusterer.finish();
        late_ = clusterer.latePixels();
        return found;
    }
    long long late_ = 0;
};

TEST_F(TimeClustering, WindowSeparatesHitsAtTheSamePlace) {
    std::vector<Pixel> stream{{10, 10, 1, 0}, {11, 10, 1, 150}, {12, 10, 1, 200},  // within 200 ns of the first
                              {13, 10, 1, 201},                                     // too late for that cluster
                              {10, 10, 1, 1000}};
    std::vector<Cluster> found = run(stream);
    EXPECT_EQ(sizesOf(found), (std::vector<size_t>{3, 1, 1}));
    EXPECT_EQ(found[1][0].x, 13);
}

TEST_F(TimeClustering, PutsARoughlyOrderedStreamRight) {
    // The pixels of a track arrive shuffled and interleaved with a far away dot; chunks of one pixel.
    std::vector<Pixel> stream{{52, 40, 1, 30}, {50, 40, 1, 0},   {200, 9, 1, 10},
                              {51, 40, 1, 20}, {53, 41, 1, 25},  {10, 10, 1, 5000}};
    std::vector<Cluster> found = run(stream, 1);
    ASSERT_EQ(sizesOf(found), (std::vector<size_t>{4, 1, 1}));
    // Clusters come in the order of their first pixel.
    EXPECT_EQ(found[1][0].x, 200);
    EXPECT_EQ(late_, 0);
}

TEST_F(TimeClustering, MergesClustersThatMeetAtALaterPixel) {
    // Two arms of a V start apart and are joined by the pixel at their tip.
    std::vector<Pixel> stream{{10, 10, 1, 0}, {14, 10, 1, 5}, {11, 11, 1, 10}, {13, 11, 1, 15}, {12, 12, 1, 20},
                              {100, 100, 1, 30}};
    std::vector<Cluster> found = run(stream);
    ASSERT_EQ(sizesOf(found), (std::vector<size_t>{5, 1}));
    // A later pixel next to any part of the merged cluster still joins it.
    stream.insert(stream.begin() + 5, Pixel{15, 9, 1, 25});
    EXPECT_EQ(sizesOf(run(stream)), (std::vector<size_t>{6, 1}));
}

TEST_F(TimeClustering, CountsPixelsBeyondTheSortMargin) {
    // With no margin a pixel that arrives after a later one is processed out of order.
    std::vector<Pixel> stream{{10, 10, 1, 0}, {50, 50, 1, 500}, {11, 10, 1, 100}};
    std::vector<Cluster> found = run(stream, 1, 0.0);
    EXPECT_EQ(late_, 1);
    EXPECT_EQ(found.size(), 3u);  // the first cluster was closed when the stream passed its window
    found = run(stream, 1, 1000.0);
    EXPECT_EQ(late_, 0);
    EXPECT_EQ(sizesOf(found), (std::vector<size_t>{2, 1}));
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
