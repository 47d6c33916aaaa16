#include "cluster/Products.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

#include "support/LoggedDir.h"

namespace {

using zel::Products;
using zel::ProductSetup;
using Values = std::vector<double>;

constexpr double kArea = 1.982464;
const double kSiDose = 1.0 / (2.329 * 300 * 1237.3618279678);

struct ProductsRun : ::testing::Test {
    zeltest::LoggedDir tmp{"zel_products"};
    zel::MessageTarget to = tmp.target();
    Products products;

    // Sets the products up and starts the clock with a first batch at time 0.
    void start(const ProductSetup& setup = {}) {
        products.setup(setup, to);
        zel::ClusterBatch batch(1);
        batch.appendRow();
        products.beginBatch(batch, 0, false);
    }
    std::string logText() { return tmp.messages(); }
};

TEST_F(ProductsRun, LateClusterClosesTheSamplesItPassedBeforeItCounts) {
    start();
    for (auto [t, e, size] : {std::tuple{0.2e9, 10, 3}, {0.7e9, 20, 4}, {3.4e9, 30, 5}})
        products.addCluster(0, t, e, size);
    EXPECT_EQ(products.sampleCount(), 3);
    EXPECT_DOUBLE_EQ(products.currentCount(), 1.0);

    // The final sample is 0.4 s long, yet its sampling time stays one second.
    products.finishInput(3.4e9);
    EXPECT_EQ(logText(), "1\t\t1.00\t\t\t2\n2\t\t2.00\t\t\t2\n3\t\t3.00\t\t\t2\n4\t\t3.40\t\t\t3\n");
    products.computeTotals();
    products.computeTotals();  // recomputed, not appended
    EXPECT_EQ(products.countPerSample(), (Values{2, 0, 0, 1}));
    EXPECT_EQ(products.countRatePerSample(), (Values{2, 0, 0, 1}));
    EXPECT_EQ(products.pixelHitsPerSample(), (Values{7, 0, 0, 5}));
    EXPECT_EQ(products.nominalEnds(), (Values{1, 2, 3, 4}));
    EXPECT_NEAR(products.elapsedTimes()[3], 3.4, 1e-12);
    EXPECT_DOUBLE_EQ(products.fluxPerSample()[3], 1 / kArea);
    EXPECT_DOUBLE_EQ(products.doseRatePerSample()[0], 30 * kSiDose * 3600);

    const double live = products.liveTime();
    EXPECT_NEAR(live, 3.4, 1e-12);
    EXPECT_DOUBLE_EQ(products.countRate(), 3 / live);
    EXPECT_DOUBLE_EQ(products.fluence(), 3 / kArea);
    EXPECT_DOUBLE_EQ(products.flux(), 3 / kArea / live);
    EXPECT_DOUBLE_EQ(products.doseRate(), 60 * kSiDose * 3600 / live);
}

TEST_F(ProductsRun, SampleEdgesAndTheFinalSample) {
    // A cluster exactly at the end of the open sample still belongs to it.
    start();
    products.addCluster(0, 1e9, 1, 1);
    EXPECT_EQ(products.sampleCount(), 0);
    products.addCluster(0, 1e9 + 1, 1, 1);
    EXPECT_EQ(products.sampleCount(), 1);
    // The last cluster exactly at the end closes that sample in full, then a final one of length 0.
    products.finishInput(2e9);
    EXPECT_EQ(products.elapsedTimes(), (Values{1, 2, 2}));

    // A lone cluster at the sample start: the final sample has length 0 and the live time one sampling time.
    Products single;
    single.setup({.timeSampling = 0.5}, to);
    single.setTimeFirst(4e9);
    zel::ClusterBatch batch(1);
    batch.appendRow()[0] = 4e9;
    single.beginBatch(batch, 0, false);
    single.addCluster(0, 4e9, 5, 2);
    single.finishInput(4e9);
    EXPECT_EQ(single.elapsedTimes(), (Values{0.5}));
}

TEST_F(ProductsRun, AcquisitionTimeReplacesTheLiveTime) {
    start();
    products.addCluster(0, 0.1e9, 4, 1);
    products.computeTotals();  // nothing closed: no live time to divide by
    EXPECT_EQ(products.countRate(), -1.0);
    EXPECT_EQ(products.doseRate(), -1.0);

    start({.timeAcq = 10});
    for (double t : {0.1e9, 0.2e9, 0.3e9}) products.addCluster(0, t, 4, 1);
    products.finishInput(0.3e9);
    products.computeTotals();
    EXPECT_EQ(products.liveTime(), 10.0);
    EXPECT_DOUBLE_EQ(products.countRate(), 0.3);
    EXPECT_DOUBLE_EQ(products.doseRate(), 12 * kSiDose * 3600 / 10);
    EXPECT_DOUBLE_EQ(products.countRateClass()[0], 0.3);
}

TEST_F(ProductsRun, ConversionFactorsFollowSensorAndUnits) {
    start();
    EXPECT_DOUBLE_EQ(products.doseFactor(), kSiDose);
    EXPECT_DOUBLE_EQ(products.doseRateFactor(), kSiDose * 3600);
    EXPECT_EQ(products.doseRateUnit(), "uGy+1 h-1");

    start({.sensorMaterial = "CdTe", .sensorThicknessUm = 1000});
    EXPECT_DOUBLE_EQ(products.doseFactor(), 1 / (5.85 * 1000 * 1237.3618279678));

    start({.radiologyUnits = true});
    EXPECT_DOUBLE_EQ(products.doseFactor(), 1 / (2.329 * 300 * 1237361827.9678));
    EXPECT_DOUBLE_EQ(products.doseRateFactor(), products.doseFactor());
    EXPECT_EQ(products.doseUnit(), "Gy+1");
    EXPECT_EQ(products.doseRateUnit(), "Gy+1 s-1");

    // A quarter of the pixels masked: the rest see everything on three quarters of the area.
    start({.maskFactor = 4.0 / 3.0, .maskOn = true});
    EXPECT_DOUBLE_EQ(products.doseRateFactor(), kSiDose * 3600 * 4 / 3);
    EXPECT_DOUBLE_EQ(products.sensorArea(), kArea * 3 / 4);
    EXPECT_DOUBLE_EQ(products.fluxFactor(), 4 / (3 * kArea));
    products.addCluster(0, 0.1e9, 1, 6);
    EXPECT_EQ(products.pixelHitsProc(), 0);  // the mask keeps that sum while it is on
}

TEST_F(ProductsRun, CurrentValuesRescaleToTheGivenInterval) {
    ProductSetup setup{.classCount = 2, .timeSampling = 2.0};
    start(setup);
    for (auto [c, t, e] : {std::tuple{0, 0.1e9, 10}, {0, 0.2e9, 20}, {1, 0.3e9, 5}}) products.addCluster(c, t, e, 1);

    EXPECT_DOUBLE_EQ(products.currentCount(), 3);
    EXPECT_DOUBLE_EQ(products.currentCountRate(0), 1.5);
    EXPECT_DOUBLE_EQ(products.currentCountRate(4), 0.75);
    EXPECT_DOUBLE_EQ(products.currentDoseRate(4), 35 * kSiDose * 3600 / 4);
    EXPECT_DOUBLE_EQ(products.currentFlux(0), 1.5 / kArea);
    EXPECT_EQ(products.currentCountRateClass(4), (Values{0.5, 0.25, 0}));

    products.resetCurrent();
    EXPECT_EQ(products.currentCountClass(), (Values{0, 0, 0}));
    EXPECT_DOUBLE_EQ(products.sampleEnd(), 2.0);

    setup.sensorThicknessUm = -300;  // no positive factor, no dose
    start(setup);
    products.addCluster(0, 0.1e9, 10, 1);
    EXPECT_EQ(products.currentDose(), 0.0);
}

TEST_F(ProductsRun, ClassesBookPerSampleAndTurnToClassRows) {
    start({.classCount = 3});
    EXPECT_TRUE(products.countByClass().empty());
    EXPECT_EQ(products.classOf(2.0), 2);
    for (double unknown : {-1.0, 7.0, std::nan("")}) EXPECT_EQ(products.classOf(unknown), 3);

    // Class -1 has none: counted in the run only.
    for (auto [c, t, e] : {std::tuple{0, 0.1e9, 1}, {products.classOf(-1.0), 0.2e9, 2}, {-1, 0.3e9, 64}, {1, 1.5e9, 4},
                           {2, 2.1e9, 8}, {2, 2.2e9, 16}})
        products.addCluster(c, t, e, 1);
    products.finishInput(2.5e9);
    products.computeTotals();
    EXPECT_EQ(products.clustersProcessed(), 6);

    const auto counts = products.countByClass();
    ASSERT_EQ(counts.size(), 4u);
    EXPECT_EQ(counts, (std::vector<Values>{{1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {1, 0, 0}}));
    EXPECT_EQ(products.energyByClass()[2], (Values{0, 0, 24}));
    EXPECT_DOUBLE_EQ(products.doseRateByClass()[1][1], 4 * kSiDose * 3600);

    EXPECT_EQ(products.countClass(), (Values{1, 1, 2, 1}));
    EXPECT_EQ(products.energyClass(), (Values{1, 4, 24, 2}));
    EXPECT_DOUBLE_EQ(products.countRateClass()[2], 2 / 2.5);
    EXPECT_DOUBLE_EQ(products.doseRateClass()[2], 24 * kSiDose * 3600 / 2.5);
}

TEST_F(ProductsRun, RatesOfASampleDivideBySamplingTimesOtherThanOneSecond) {
    // Every other test samples by one second, where a rate times the sampling time equals the rate divided by it.
    for (const double sampling : {0.5, 4.0}) {
        SCOPED_TRACE(sampling);
        products = Products();
        start({.classCount = 1, .timeSampling = sampling});
        products.addCluster(0, 0.1 * sampling * 1e9, 40, 2);
        products.addCluster(products.classOf(-1.0), 0.2 * sampling * 1e9, 10, 1);  // "Others"
        products.finishInput(0.9 * sampling * 1e9);
        products.computeTotals();
        ASSERT_EQ(products.sampleCount(), 1);
        EXPECT_DOUBLE_EQ(products.countRatePerSample()[0], 2 / sampling);
        EXPECT_DOUBLE_EQ(products.fluxPerSample()[0], 2 / sampling / kArea);
        EXPECT_DOUBLE_EQ(products.doseRatePerSample()[0], 50 * kSiDose * 3600 / sampling);
        EXPECT_DOUBLE_EQ(products.doseRateByClass()[0][0], 40 * kSiDose * 3600 / sampling);
        EXPECT_DOUBLE_EQ(products.fluxByClass()[1][0], 1 / sampling / kArea);
        EXPECT_DOUBLE_EQ(products.countRateClass()[0], 1 / products.liveTime());
    }
}

TEST_F(ProductsRun, FirstBatchSetsTheTimeReference) {
    // Frame-counted inputs count from their first cluster, batch after batch.
    products.setup({}, to);
    zel::ClusterBatch batch(2);
    batch.appendRow()[1] = 500;
    batch.appendRow()[1] = 700;
    products.beginBatch(batch, 1, true);
    EXPECT_TRUE(products.started());
    EXPECT_EQ(products.timeFirst(), 500);
    EXPECT_DOUBLE_EQ(products.sampleEnd(), 1.0);
    EXPECT_EQ(batch.at(1, 1), 200);
    zel::ClusterBatch next(2);
    next.appendRow()[1] = 900;
    products.beginBatch(next, 1, true);
    EXPECT_EQ(next.at(0, 1), 400);

    // Time-stamped inputs keep their times; a set first time moves the first sample.
    Products stamped;
    stamped.setup({}, to);
    stamped.setTimeFirst(2e9);
    zel::ClusterBatch timed(1);
    timed.appendRow()[0] = 2.5e9;
    stamped.beginBatch(timed, 0, false);
    EXPECT_DOUBLE_EQ(stamped.sampleEnd(), 3.0);
    EXPECT_EQ(timed.at(0, 0), 2.5e9);
}

TEST_F(ProductsRun, SetupClearsTheRunButKeepsTheClock) {
    std::vector<std::pair<double, bool>> closed;
    products.onSampleClosed([&](double liveTime, bool final) { closed.emplace_back(liveTime, final); });
    start();
    products.countSeen();
    products.countEdgeSkipped();
    products.countSampleEvent();
    products.addCluster(0, 0.5e9, 7, 3);
    products.addCluster(0, 1.5e9, 7, 3);
    products.finishInput(1.5e9);
    EXPECT_EQ(closed, (std::vector<std::pair<double, bool>>{{1.0, false}, {0.5, true}}));
    EXPECT_EQ(products.eventsPerSample(), (Values{1, 0}));

    products.setup({}, to);
    EXPECT_EQ(products.clustersSeen(), 0);
    EXPECT_EQ(products.sampleCount(), 0);
    EXPECT_TRUE(products.elapsedTimes().empty());
    EXPECT_EQ(products.pixelHitsPerSample(), (Values{0}));
    EXPECT_EQ(products.edgeSkipped(), 1);
    EXPECT_DOUBLE_EQ(products.sampleEnd(), 3.0);
}

}  // namespace

namespace {

TEST_F(ProductsRun, SamplingTimesThatCanNotCutTimeAreRefused) {
    start();
    ProductSetup setup;
    for (double bad : {0.0, -1.0, 1e-300, 0.999e-9, std::nan(""), HUGE_VAL}) {
        setup.timeSampling = bad;
        EXPECT_EQ(products.setup(setup, to), Products::kCodeBadTimeSampling) << bad;
        EXPECT_EQ(products.setTimeSampling(bad), Products::kCodeBadTimeSampling) << bad;
        EXPECT_EQ(products.timeSampling(), 1.0) << bad;  // the last accepted one stays
    }
    EXPECT_NE(logText().find("TimeSampling must be a finite number of seconds of at least 1e-09"), std::string::npos);
    // With the refused value the clock still cuts whole seconds: a cluster at 5.5 s closes five samples.
    EXPECT_EQ(products.addCluster(0, 5.5e9, 1, 1), 0);
    EXPECT_EQ(products.sampleCount(), 5);

    setup.timeSampling = 1e-9;
    EXPECT_EQ(products.setup(setup, to), 0);
    EXPECT_EQ(products.setTimeSampling(2.0), 0);
    EXPECT_EQ(products.timeSampling(), 2.0);
}

TEST_F(ProductsRun, AJumpPastTheSampleLimitStopsTheClockWithItsCode) {
    constexpr int kLimit = Products::kMaxSamples;
    products.setup({}, zel::MessageTarget{nullptr, false, false});
    zel::ClusterBatch batch(1);
    batch.appendRow();
    products.beginBatch(batch, 0, false);
    // Up to the limit itself: kLimit - 1 samples closed by the cluster, the final one by the end of the input.
    EXPECT_EQ(products.addCluster(0, (kLimit - 0.5) * 1e9, 1, 1), 0);
    EXPECT_EQ(products.sampleCount(), kLimit - 1);
    EXPECT_EQ(products.finishInput((kLimit - 0.5) * 1e9), 0);
    EXPECT_EQ(products.sampleCount(), kLimit);

    // One sample more is refused, reported with the cluster, its jump and the remedy, and sticks.
    start();
    EXPECT_EQ(products.addCluster(0, 0.5e9, 1, 1), 0);
    EXPECT_EQ(products.addCluster(0, 1e18, 1, 1), Products::kCodeTooManySamples);
    EXPECT_EQ(products.sampleCount(), 0);
    EXPECT_EQ(products.clustersProcessed(), 1.0);
    const std::string text = logText();
    EXPECT_NE(text.find("Cluster 2 of the run, at T = 1e+09 s, lies 9.99e+08 s after the end of the open time sample: it would close 9.99e+08 more samples"), std::string::npos) << text;
    EXPECT_NE(text.find("Use a larger TimeSampling."), std::string::npos);
    EXPECT_EQ(products.addCluster(0, 0.6e9, 1, 1), Products::kCodeTooManySamples);
    EXPECT_EQ(products.finishInput(1e18), Products::kCodeTooManySamples);
    EXPECT_EQ(products.failure(), Products::kCodeTooManySamples);
    EXPECT_EQ(products.sampleCount(), 0);

    // The end of the input is held to the same limit, and a new setup starts the clock again.
    start();
    EXPECT_EQ(products.failure(), 0);
    EXPECT_EQ(products.finishInput(HUGE_VAL), Products::kCodeTooManySamples);
}

}  // namespace
