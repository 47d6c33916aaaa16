// Classification by a network: the decoding of probabilities, runs of rows, failures of runs, the model
// directory, the norm file, and hand-computed classes through the PID module.
#include "pid/network/NetworkClassifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "cluster/VariableNames.h"
#include "common/BoundedLine.h"
#include "pid/PidModule.h"
#include "pid/network/ModelDirectory.h"
#include "pid/NetworkModelWriter.h"
#include "support/TempDir.h"

namespace {

using zel::NetworkClassifier;
using zel::NetworkStatus;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

int decode(std::vector<float> probabilities, size_t& nans) {
    return NetworkClassifier::decodeClass(probabilities.data(), probabilities.size(), nans);
}

TEST(NetworkDecoding, BestClassAboveTheThresholdTiesToTheEarlierNaNSkippedAndCounted) {
    size_t nans = 0;
    EXPECT_EQ(decode({0.30f, 0.35f, 0.35f}, nans), -1);  // below 1.1 / 3
    EXPECT_EQ(decode({0.2f, 0.7f, 0.1f}, nans), 1);
    EXPECT_EQ(decode({0.1f, 0.45f, 0.45f}, nans), 1);
    EXPECT_EQ(decode({0.18f, 0.18f, 0.18f, 0.18f, 0.1f, 0.18f}, nans), -1);  // below 1.1 / 6
    EXPECT_EQ(decode({0.1f, 0.1f, 0.1f, 0.1f, 0.19f, 0.41f}, nans), 5);
    EXPECT_EQ(nans, 0u);
    EXPECT_EQ(decode({kNaN, 0.3f, 0.7f}, nans), 2);
    EXPECT_EQ(decode({kNaN, kNaN, kNaN}, nans), -1);
    EXPECT_EQ(nans, 4u);
}

// A backend that records its runs and gives back chosen probabilities.
class FakeBackend : public zel::NetworkBackend {
public:
    std::string_view name() const override { return "fake"; }
    NetworkStatus load(const std::string&) override { return loadStatus; }
    size_t inputWidth() const override { return 8; }
    size_t outputWidth() const override { return 3; }
    bool hasOperation(std::string_view) const override { return true; }
    NetworkStatus run(const float* input, size_t rows, float* output, size_t& outputRows) override {
        runRows.push_back(rows);
        firstInputs.assign(input, input + 8);
        for (size_t r = 0; r < rows; ++r) std::copy(probabilities, probabilities + 3, output + 3 * r);
        outputRows = rows - missingRows;
        return runStatus;
    }
    std::vector<std::string> describe() const override { return {}; }

    NetworkStatus loadStatus, runStatus;
    float probabilities[3] = {0.1f, 0.2f, 0.7f};
    size_t missingRows = 0;
    std::vector<size_t> runRows;
    std::vector<float> firstInputs;
};

class Network : public ::testing::Test {
protected:
    Network() : log(scratch.file("log.txt")) {}

    NetworkClassifier& make(std::unique_ptr<zel::NetworkBackend> backend, int algorithm = 251) {
        classifier = std::make_unique<NetworkClassifier>(zel::MessageTarget{&log, false, true}, -4900, std::move(backend));
        setup.algorithm = algorithm;
        return *classifier;
    }
    FakeBackend& makeFake() {
        auto backend = std::make_unique<FakeBackend>();
        FakeBackend& fake = *backend;
        make(std::move(backend));
        return fake;
    }
    void writeNorms(const std::string& directoryName, const std::string& text) {
        std::filesystem::create_directories(scratch.file(directoryName));
        scratch.write(directoryName + "/weights.txt", text);
    }
    bool logged(const std::string& text) {
        log.flush();
        return zeltest::TempDir::read(scratch.file("log.txt")).find(text) != std::string::npos;
    }
    // Rows of 10 columns; features in columns 9, 8, ..., 2, so that the order of the columns counts.
    static zel::ClusterBatch batchOf(size_t rows) {
        zel::ClusterBatch batch(10);
        for (size_t r = 0; r < rows; ++r) {
            auto row = batch.appendRow();
            for (size_t c = 0; c < 10; ++c) row[c] = static_cast<double>(10 * c + r % 7);
        }
        return batch;
    }

    zeltest::TempDir scratch{"zel_nn"};
    std::ofstream log;
    NetworkClassifier::Setup setup{251, scratch.dir(), "TPX3_500um_Si_3classes", 3, {9, 8, 7, 6, 5, 4, 3, 2}};
    std::unique_ptr<NetworkClassifier> classifier;
};

TEST_F(Network, BatchesRunInRunsOfTenThousandWithNormedFeaturesInOrder) {
    FakeBackend& fake = makeFake();
    writeNorms("TPX3_500um_Si_3classes", "2 4 5 10 0.5 1e1 -1 8\n");
    ASSERT_EQ(classifier->init(setup), 0);
    zel::ClusterBatch batch = batchOf(25000);
    ASSERT_EQ(classifier->classify(batch, 1), 0);
    EXPECT_EQ(fake.runRows, (std::vector<size_t>{10000, 10000, 5000}));
    EXPECT_EQ(classifier->runCount(), 3u);
    for (size_t r : {0u, 9999u, 10000u, 24999u}) EXPECT_EQ(batch.at(r, 1), 2.0) << r;
    // The last run starts at row 20000 (20000 % 7 = 1): column 9 is 91, divided by 2, ... column 2 is 21 over 8.
    EXPECT_EQ(fake.firstInputs, (std::vector<float>{45.5f, 81 / 4.0f, 71 / 5.0f, 6.1f, 102, 4.1f, -31, 21 / 8.0f}));

    std::vector<int> classes{7};
    fake.probabilities[2] = kNaN;  // 0.2 is below the threshold
    ASSERT_EQ(classifier->classify(batchOf(4), classes), 0);
    EXPECT_EQ(classes, (std::vector<int>{7, -1, -1, -1, -1}));
    EXPECT_EQ(classifier->nanCount(), 4u);
    EXPECT_TRUE(logged("[WARNING]  PID : NaN probabilities in the network output: 4 in this batch, 4 in all;"));
    ASSERT_EQ(classifier->classify(batchOf(0), classes), 0);
}

TEST_F(Network, FailedRunsAndMissingOutputsGiveTheirCodes) {
    FakeBackend& fake = makeFake();
    writeNorms("TPX3_500um_Si_3classes", "1 1 1 1 1 1 1 1");
    ASSERT_EQ(classifier->init(setup), 0);
    zel::ClusterBatch batch = batchOf(3);
    fake.runStatus = {NetworkStatus::Internal, "out of memory"};
    EXPECT_EQ(classifier->classify(batch, 0), -5016);
    EXPECT_TRUE(logged("[ERROR]    PID : -5016 : Error occurred during DNN processing after session run. TF code: 13. "
                       "TF msg: out of memory\n"));
    fake.runStatus = {};
    fake.missingRows = 1;
    EXPECT_EQ(classifier->classify(batch, 0), -5017);
    EXPECT_TRUE(logged("PID : -5017 : DNN processing failed. Output class count (2) is different than input count of "
                       "clusters (3).\n"));
    fake.missingRows = 3;
    EXPECT_EQ(classifier->classify(batch, 0), -5018);
    EXPECT_TRUE(logged("PID : -5018 : DNN processing failed. Output class vector is empty.\n"));
    EXPECT_EQ(classifier->classify(batch, 10), -5013);  // no such column
}

TEST_F(Network, ModelAndNormFailuresGiveTheMessagesOfEachAlgorithm) {
    // (Norm files that are missing, too short or hold a 0 are covered by the PID module's tests.)
    FakeBackend& fake = makeFake();
    writeNorms("TPX3_500um_Si_3classes", "1 2 3 4 5 6 7 8 9\n");  // one more than the features
    EXPECT_EQ(classifier->init(setup), -5008);
    EXPECT_TRUE(logged("PID : -5008 : Can not load data norms from file: " +
                       scratch.file("TPX3_500um_Si_3classes/weights.txt") + "\n"));
    writeNorms("TPX3_500um_Si_3classes", "\n" + std::string(zel::kMaxSettingsLineLength + 1, '1') + "\n");
    EXPECT_EQ(classifier->init(setup), -5008);
    EXPECT_TRUE(logged("PID : -5008 : Can not load data norms from file: " +
                       scratch.file("TPX3_500um_Si_3classes/weights.txt") + ". Line 2 is longer than " +
                       std::to_string(zel::kMaxSettingsLineLength) + " characters.\n"));
    writeNorms("TPX3_500um_Si_3classes", "3000.5, 200, 5000; 12 1.5 1 40e0 20\n");
    ASSERT_EQ(classifier->init(setup), 0);
    EXPECT_EQ(classifier->norms(), (std::vector<double>{3000.5, 200, 5000, 12, 1.5, 1, 40, 20}));

    fake.loadStatus = {NetworkStatus::DataLoss, "Checksum mismatch"};
    EXPECT_EQ(classifier->init(setup), -5001);  // reported, norms read, then failed
    EXPECT_TRUE(logged("[ERROR]    PID : Can not start TF session with model 251. TF error code: Checksum mismatch\n"));
    EXPECT_TRUE(logged("[ERROR] -5001 : PID : Error occurred during algorithm initialization.\n"));
    EXPECT_FALSE(classifier->isInitialised());
    setup.algorithm = 252;
    EXPECT_EQ(classifier->init(setup), -5015);
    EXPECT_TRUE(logged("[ERROR]    PID : -5015 : Error occurred during DNN model load. TF code: 15. TF msg: Checksum "
                       "mismatch\n[ERROR]    PID : -5015 :Can not start TF session with model 252.\n"));
}

TEST(ModelDirectory, NamedForDetectorAndClassesNewestTimeStampFirst) {
    for (int number : {201, 202, 251, 252}) {
        const zel::AlgorithmSpec* spec = zel::findPidAlgorithm(number);
        EXPECT_EQ(zel::modelDirectoryPrefix(spec->detector, spec->classes.size()), spec->modelDirectory);
    }
    const std::string prefix = "TPX3_500um_Si_6classes";
    EXPECT_EQ(zel::modelTimeStamp(prefix + "_0.9712_20240315-142530", prefix), "20240315142530");
    EXPECT_EQ(zel::modelTimeStamp(prefix + "_20240315", prefix), "20240315000000");
    EXPECT_EQ(zel::modelTimeStamp(prefix + "_0.97", prefix), "");
    EXPECT_EQ(zel::modelTimeStamp(prefix + "_2024-03-15", prefix), "");
    EXPECT_EQ(zel::modelTimeStamp(prefix, prefix), "");

    zeltest::TempDir models{"zel_nn"};
    for (const char* name : {"TPX3_500um_Si_6classes_0.95_20231201-080000", "TPX3_500um_Si_6classes_0.91_20240102",
                             "TPX3_500um_Si_6classes", "TPX3_500um_Si_60classes_0.99_20250101", "TPX3_500um_Si_3classes"})
        std::filesystem::create_directories(models.file(name));
    models.write("TPX3_500um_Si_6classes_0.99_20991231", "a file is no model");
    zel::ModelDirectoryChoice choice = zel::findModelDirectory(models.dir(), prefix);
    EXPECT_EQ(choice.name, "TPX3_500um_Si_6classes_0.91_20240102");
    EXPECT_EQ(choice.candidates, 4u);
    choice = zel::findModelDirectory(models.dir(), "TPX_300um_Si_3classes");
    EXPECT_EQ(choice.name, "TPX_300um_Si_3classes");
    EXPECT_EQ(choice.candidates, 0u);
}

// Through the PID module, on a model directory written here: eight features in, softmax over three classes.
// Logits: E / 100, Size / 10, Height / 50 (norms 100, 10, 50, the others 1 and unused).
class NetworkPid : public ::testing::Test {
protected:
    NetworkPid() : log(models.file("log.txt")) {
        for (const auto& v : zel::kDefaultVariables) names.emplace_back(v.name);
    }
    zel::PidModule& make(int algorithm) {
        const zel::PidModule::Setup setup{"TPX3", "Si", models.dir(), 500, 80, algorithm, -1};
        module = std::make_unique<zel::PidModule>(setup, names, zel::MessageTarget{&log, false, true}, -4900);
        return *module;
    }
    std::vector<double> row(double e, double size, double height) const {
        std::vector<double> values(names.size(), 1.0);
        values[column("E")] = e;
        values[column("Size")] = size;
        values[column("Height")] = height;
        return values;
    }
    size_t column(std::string_view name) const {
        return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    }
    bool logged(const std::string& text) {
        log.flush();
        return zeltest::TempDir::read(models.file("log.txt")).find(text) != std::string::npos;
    }
    static zeltest::TestModel threeClassModel() {
        zeltest::TestModel model;
        std::vector<float> kernel(8 * 3, 0.0f);
        kernel[0 * 3 + 0] = kernel[1 * 3 + 1] = kernel[2 * 3 + 2] = 1.0f;
        model.layers = {{.name = "logits", .units = 3, .kernel = kernel, .bias = {0, 0, 0}},
                        {.className = "Dropout", .name = "dropout"},
                        {.className = "Softmax", .name = "probabilities"}};
        model.norms = "100 10 50 1 1 1 1 1\n";
        return model;
    }

    zeltest::TempDir models{"zel_nn"};
    std::ofstream log;
    std::vector<std::string> names;
    std::unique_ptr<zel::PidModule> module;
};

TEST_F(NetworkPid, ClassesAsComputedByHand) {
    zeltest::writeModelDirectory(models.file("TPX3_500um_Si_3classes_0.9_20240101"), threeClassModel());
    ASSERT_EQ(make(251).init(), 0);
    ASSERT_NE(module->network(), nullptr);
    std::vector<int> classes;
    // (3, 1, 1): e^3 / (e^3 + 2e) = 0.787 -> 0; (1, 1, 1): 1/3 each, below 0.3667 -> -1; (0, 0, 2) -> 2;
    // (0, 1, 1): e / (1 + 2e) = 0.422 for both 1 and 2 -> 1, the earlier.
    ASSERT_EQ(module->classify(zel::ClusterBatch::fromRows({row(300, 10, 50), row(100, 10, 50), row(0, 0, 100),
                                                            row(0, 10, 50)}),
                               classes, true),
              0);
    EXPECT_EQ(classes, (std::vector<int>{0, -1, 2, 1}));

    const auto lines = module->reportLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Model directory:                " + models.dir() + "TPX3_500um_Si_3classes_0.9_20240101/"),
              lines.end());
}

TEST_F(NetworkPid, DamagedOrMisfittingModelsFailTheInitialisation) {
    const std::string directory = models.file("TPX3_500um_Si_6classes");
    zeltest::writeModelDirectory(directory, threeClassModel());  // three outputs where 252 has six classes
    EXPECT_EQ(make(252).init(), -5005);
    EXPECT_TRUE(logged("TF code: 3. TF msg: The model gives 3 outputs, the algorithm has 6 classes\n"));

    zeltest::TestModel wide = threeClassModel();
    wide.inputs = 11;
    wide.layers[0].kernel.resize(11 * 3, 0.0f);
    zeltest::writeModelDirectory(directory, wide);
    EXPECT_EQ(make(252).init(), -5005);
    EXPECT_TRUE(logged("TF msg: The model takes 11 inputs, the algorithm gives 8\n"));

    zeltest::TestModel renamed = threeClassModel();
    renamed.outputOperation = "StatefulPartitionedCall_1";
    zeltest::writeModelDirectory(models.file("TPX3_500um_Si_3classes"), renamed);
    EXPECT_EQ(make(251).init(), -5005);
    EXPECT_TRUE(logged("TF error code: The model has no serving output StatefulPartitionedCall\n"));

    zeltest::writeModelDirectory(models.file("TPX3_500um_Si_3classes"), threeClassModel());
    zeltest::changeByte(models.file("TPX3_500um_Si_3classes/variables/variables.data-00000-of-00001"), 0, '\x01');
    EXPECT_EQ(make(251).init(), -5005);
    EXPECT_TRUE(logged("TF error code: Layer logits: Checksum mismatch of variable layer_with_weights-0/kernel/"));
    EXPECT_TRUE(logged("[ERROR] -5001 : PID : Error occurred during algorithm initialization.\n"));
}

}  // namespace
