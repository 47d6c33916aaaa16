// The saved-model readers: checksums, wire format, the variables table, the layer list, and the real model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>

#include "pid/network/Crc32c.h"
#include "pid/network/EigenBackend.h"
#include "pid/network/SavedModel.h"
#include "pid/network/SortedTable.h"
#include "pid/network/WireFormat.h"
#include "pid/NetworkModelWriter.h"
#include "support/TempDir.h"

namespace {

using zel::NetworkStatus;
using zeltest::TestLayer;
using zeltest::TestModel;

TEST(Crc32c, KnownValuesAnyChunkingAndMasking) {
    EXPECT_EQ(zel::crc32c("123456789"), 0xe3069283u);
    EXPECT_EQ(zel::crc32c(std::string(32, '\0')), 0x8a9136aau);
    EXPECT_EQ(zel::crc32c(std::string(32, '\xff')), 0x62a8ab43u);
    std::string rising(32, '\0');
    for (size_t i = 0; i < rising.size(); ++i) rising[i] = static_cast<char>(i);
    EXPECT_EQ(zel::crc32c(rising), 0x46dd794eu);
    EXPECT_EQ(zel::crc32c(rising.substr(13), zel::crc32c(rising.substr(0, 13))), 0x46dd794eu);
    EXPECT_EQ(zel::unmaskCrc(zel::maskCrc(0x46dd794eu)), 0x46dd794eu);
    EXPECT_NE(zel::maskCrc(0x46dd794eu), 0x46dd794eu);
}

TEST(WireFormat, ReadsEveryFieldTypeAndRefusesDamage) {
    const std::string message = zeltest::ProtoWriter().varint(1, 300).fixed32(6, 0xdeadbeef).bytes(3, "abc").str();
    EXPECT_EQ(message.substr(0, 3), "\x08\xac\x02");
    zel::WireReader reader(message);
    zel::WireField field;
    ASSERT_TRUE(reader.next(field));
    EXPECT_EQ(field.value, 300u);
    ASSERT_TRUE(reader.next(field));
    EXPECT_EQ(field.value, 0xdeadbeefu);
    ASSERT_TRUE(reader.next(field));
    EXPECT_EQ(field.bytes, "abc");
    EXPECT_FALSE(reader.next(field));
    EXPECT_FALSE(reader.failed());

    for (const std::string& damaged : {message.substr(0, message.size() - 1),  // length beyond the end
                                      std::string("\x08\xac"),                // varint cut short
                                      std::string("\x0b\x00", 2)}) {          // a group
        zel::WireReader broken(damaged);
        while (broken.next(field)) {
        }
        EXPECT_TRUE(broken.failed());
    }
}

class Table : public ::testing::Test {
protected:
    Table() {
        for (int i = 0; i < 40; ++i)
            entries["layer_with_weights-" + std::to_string(i % 7) + "/var" + std::to_string(i)] = std::string(i, 'v');
        entries[""] = "header";
    }
    NetworkStatus read(const std::string& file) { return zel::readSortedTable(file, "index", read_); }
    zeltest::Entries entries;
    zel::TableEntries read_;
};

TEST_F(Table, SharedPrefixesRestartsAndBlocksGiveBackEveryEntryInOrder) {
    ASSERT_TRUE(read(zeltest::tableFile(entries, 3, 2)).ok());
    EXPECT_EQ(zeltest::Entries(read_.begin(), read_.end()), entries);
    ASSERT_EQ(read_.size(), entries.size());
    EXPECT_TRUE(std::is_sorted(read_.begin(), read_.end()));
    ASSERT_TRUE(read(zeltest::tableFile(entries, 100, 16)).ok());  // one block
    EXPECT_EQ(read_.size(), entries.size());
}

TEST_F(Table, DamageCompressionAndTruncationAreRefusedWithTheirReason) {
    const std::string file = zeltest::tableFile(entries);
    std::string flipped = file;
    flipped[20] ^= 0x01;
    NetworkStatus status = read(flipped);
    EXPECT_EQ(status.code, NetworkStatus::DataLoss);
    EXPECT_EQ(status.message, "Corrupt variables index index: checksum mismatch of the block at offset 0");

    EXPECT_EQ(read(file.substr(0, file.size() - 1)).code, NetworkStatus::DataLoss);
    EXPECT_NE(read(file.substr(0, 30)).message.find("shorter than its footer"), std::string::npos);
    EXPECT_NE(read(file.substr(0, file.size() - 1) + "x").message.find("wrong magic number"), std::string::npos);

    // A block compressed with a known checksum: refused for its compression, not its checksum.
    std::string compressed;
    const std::string handle = zeltest::appendBlock(compressed, zeltest::tableBlock(entries.begin(), entries.end(), 4), 1);
    zeltest::Entries index{{"~", handle}};
    const std::string indexHandle = zeltest::appendBlock(compressed, zeltest::tableBlock(index.begin(), index.end(), 1));
    std::string footer = indexHandle + indexHandle;
    footer.resize(zel::savedmodel::table::kHandlesSize, '\0');
    zeltest::ProtoWriter::putFixed64(footer, zel::savedmodel::table::kMagic);
    status = read(compressed + footer);
    EXPECT_EQ(status.code, NetworkStatus::Unimplemented);
    EXPECT_NE(status.message.find("uses block compression 1"), std::string::npos);
}

// A network of every kind of layer, with numbers easy to follow by hand.
TestModel everyLayerModel() {
    TestModel model;
    model.inputs = 2;
    TestLayer dense{.name = "dense", .activation = "relu", .units = 2, .kernel = {1, -1, 2, 1}, .bias = {0.5f, -4}};
    TestLayer dropout{.className = "Dropout", .name = "dropout"};
    TestLayer norm{.className = "BatchNormalization", .name = "norm", .gamma = {2, 1}, .beta = {1, 0}, .mean = {1, 0},
                   .variance = {3.999f, 1}};
    norm.epsilon = 0.001;
    TestLayer tanh{.className = "Activation", .name = "act", .activation = "tanh"};
    TestLayer head{.name = "head", .activation = "sigmoid", .units = 1, .kernel = {1, 1}};
    model.layers = {dense, dropout, norm, tanh, head};
    return model;
}

TEST(SavedModel, EveryKnownLayerRunsAsComputedByHand) {
    zeltest::TempDir dir{"zel_nn"};
    zeltest::writeModelDirectory(dir.file("model"), everyLayerModel());
    zel::EigenBackend backend;
    const NetworkStatus status = backend.load(dir.file("model/"));
    ASSERT_TRUE(status.ok()) << status.message;
    EXPECT_EQ(backend.inputWidth(), 2u);
    EXPECT_EQ(backend.outputWidth(), 1u);
    EXPECT_TRUE(backend.hasOperation("serving_default_dense_input"));
    EXPECT_TRUE(backend.hasOperation("StatefulPartitionedCall"));
    EXPECT_FALSE(backend.hasOperation("StatefulPartitionedCall_1"));
    ASSERT_EQ(backend.network().layers.size(), 4u);  // the dropout does nothing at inference

    // x = (3, 1): dense (3 + 2 + 0.5, -3 + 1 - 4) = (5.5, -6) -> relu (5.5, 0); norm (2 * 4.5 / 2 + 1, 0) = (5.5, 0);
    // tanh, then sigmoid of the sum. x = (-1, 0): dense (-0.5, -3) -> (0, 0); norm (2 * -1 / 2 + 1, 0) = (0, 0).
    const float input[] = {3, 1, -1, 0};
    float output[2] = {};
    size_t rows = 0;
    ASSERT_TRUE(backend.run(input, 2, output, rows).ok());
    EXPECT_EQ(rows, 2u);
    EXPECT_NEAR(output[0], 1 / (1 + std::exp(-std::tanh(5.5))), 1e-6);
    EXPECT_NEAR(output[1], 0.5, 1e-6);

    const auto lines = zel::describeNetwork(backend.network());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "  dropout\tDropout\t[None, 2]\tidentity at inference"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "  head\tDense\t[None, 1]\tsigmoid"), lines.end());
}

TEST(SavedModel, SoftmaxRowsSumToOneAndNaNInputsGiveNaNOutputs) {
    zeltest::TempDir dir{"zel_nn"};
    TestModel model;
    model.inputs = 3;
    model.layers = {{.name = "relu", .activation = "relu", .units = 3, .kernel = {1, 0, 0, 0, 1, 0, 0, 0, 1}},
                    {.className = "Softmax", .name = "softmax"}};
    zeltest::writeModelDirectory(dir.file("model"), model);
    zel::EigenBackend backend;
    ASSERT_TRUE(backend.load(dir.file("model/")).ok());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float input[] = {1000, 1000, -5, 0, std::log(2.0f), -1, nan, 1, 1};
    float output[9] = {};
    size_t rows = 0;
    ASSERT_TRUE(backend.run(input, 3, output, rows).ok());
    EXPECT_NEAR(output[0], 0.5, 1e-6);  // no overflow for large logits
    EXPECT_NEAR(output[2], 0.0, 1e-6);
    EXPECT_NEAR(output[3], 1.0 / 4, 1e-6);  // relu(-1) = 0: (1, 2, 1) / 4
    EXPECT_NEAR(output[4], 2.0 / 4, 1e-6);
    EXPECT_TRUE(std::isnan(output[6]));  // relu keeps a NaN, softmax spreads it over the row
    EXPECT_TRUE(std::isnan(output[8]));
}

// Each fault, and the words of the message that names it.
TEST(SavedModel, ModelsThatCanNotBeRunAreRefusedWithTheReason) {
    zeltest::TempDir dir{"zel_nn"};
    const auto loadWith = [&](const std::function<void(TestModel&)>& change, const std::function<void()>& damage = {}) {
        std::filesystem::remove_all(dir.file("m"));
        TestModel model = everyLayerModel();
        change(model);
        zeltest::writeModelDirectory(dir.file("m"), model);
        if (damage) damage();
        zel::NetworkDefinition network;
        return zel::loadSavedModel(dir.file("m"), network);
    };
    const auto refused = [&](const NetworkStatus& status, int code, const std::string& words) {
        EXPECT_EQ(status.code, code) << status.message;
        EXPECT_NE(status.message.find(words), std::string::npos) << status.message;
    };
    refused(loadWith([](TestModel& m) { m.layers[1] = {.className = "Conv2D", .name = "conv"}; }),
            NetworkStatus::Unimplemented, "Layer conv of class Conv2D is not supported");
    refused(loadWith([](TestModel& m) { m.layers[0].activation = "gelu"; }), NetworkStatus::Unimplemented,
            "Layer dense (Dense) uses the activation gelu, which is not supported");
    refused(loadWith([](TestModel& m) { m.layers[3].extraConfig = {{"dtype", "float16"}}; }),
            NetworkStatus::Unimplemented, "computes in float16");
    // The layer list says 3 units, the stored kernel has 2 columns.
    refused(loadWith([](TestModel& m) { m.layers[0].extraConfig = {{"units", 3}}; }), NetworkStatus::InvalidArgument,
            "variable layer_with_weights-0/kernel/.ATTRIBUTES/VARIABLE_VALUE has shape [2, 2], the layer needs [2, 3]");
    refused(loadWith([](TestModel& m) { m.layers.pop_back(); m.layers.push_back({.className = "Dropout", .name = "d"}); },
                     [&] {  // weights of a third layer remain: written by a model of another layer list
                         TestModel full = everyLayerModel();
                         zeltest::writeModelDirectory(dir.file("full"), full);
                         std::filesystem::copy(dir.file("full/variables"), dir.file("m/variables"),
                                               std::filesystem::copy_options::overwrite_existing |
                                                   std::filesystem::copy_options::recursive);
                     }),
            NetworkStatus::InvalidArgument, "weights of more layers");

    const std::string data = dir.file("m/variables/variables.data-00000-of-00001");
    refused(loadWith([](TestModel&) {}, [&] { zeltest::changeByte(data, 5, '\x7f'); }), NetworkStatus::DataLoss,
            "Checksum mismatch of variable layer_with_weights-0/kernel");
    refused(loadWith([](TestModel&) {}, [&] { zeltest::truncateFile(data, 20); }), NetworkStatus::DataLoss,
            "lies beyond the end");
    const std::string index = dir.file("m/variables/variables.index");
    refused(loadWith([](TestModel&) {}, [&] { zeltest::changeByte(index, 3, 'Z'); }), NetworkStatus::DataLoss,
            "checksum mismatch of the block");
    refused(loadWith([](TestModel&) {}, [&] { zeltest::truncateFile(index, 100); }), NetworkStatus::DataLoss,
            "Corrupt variables index");
    refused(loadWith([](TestModel&) {}, [&] { std::filesystem::remove(dir.file("m/saved_model.pb")); }),
            NetworkStatus::NotFound, "SavedModel file does not exist");

    dir.write("file_model", "not a directory");
    zel::NetworkDefinition network;
    refused(zel::loadSavedModel(dir.file("file_model"), network), NetworkStatus::InvalidArgument,
            "is a file, not a directory");
}

// The real model written by the framework itself, with the reference outputs computed from its weights.
class RealModel : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(directory)) GTEST_SKIP() << "no reference model in " << directory;
    }
    const std::string directory = std::string(ZEL_SHARED_DATA_DIR) + "/keras-dense-savedmodel/saved_model/";
    static constexpr float kInputs[5][11] = {
        {0.989555f, -0.575041f, -1.542402f, -1.094166f, 0.306666f, 1.033803f, 1.329925f, 2.533738f, 0.644926f, -1.021992f, 0.236739f},
        {-1.010556f, -0.575041f, -0.030227f, -1.094166f, 0.401967f, 0.689331f, 0.069455f, -0.907672f, 0.644926f, 0.978481f, 0.767203f},
        {-1.010556f, 1.739007f, 1.088369f, -1.094166f, 2.022083f, -0.688556f, 0.627723f, -0.907672f, 0.644926f, -1.021992f, -0.117018f},
        {-1.010556f, -0.575041f, 1.606237f, 0.913938f, -1.980556f, -0.688556f, -1.233510f, 0.813033f, 0.644926f, 0.978481f, -0.230208f},
        {1, -1, 0.5f, -0.5f, 2, -2, 1.5f, -1.5f, 0.25f, -0.25f, 3}};
    static constexpr double kOutputs[5] = {0.6447750, 0.2424598, 0.9387681, 0.006772920, 0.6015780};
};

TEST_F(RealModel, ReproducesTheFiveReferenceOutputs) {
    zel::EigenBackend backend;
    const NetworkStatus status = backend.load(directory);
    ASSERT_TRUE(status.ok()) << status.message;
    ASSERT_EQ(backend.inputWidth(), 11u);
    ASSERT_EQ(backend.outputWidth(), 1u);
    float output[5] = {};
    size_t rows = 0;
    ASSERT_TRUE(backend.run(&kInputs[0][0], 5, output, rows).ok());
    for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(output[i] / kOutputs[i], 1.0, 1e-6) << i;
}

TEST_F(RealModel, ProgramShowsTheLayersAndRunsRowsOrFailsClearly) {
    const std::string program = std::string(ZEL_BIN_DIR) + "/zel_model";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "zel_model not built";
    zeltest::TempDir dir{"zel_nn"};
    std::string rows;
    for (const auto& input : kInputs) {
        for (size_t k = 0; k < 11; ++k) rows += std::to_string(input[k]) + (k == 10 ? "\n" : k % 2 ? "\t" : " ");
        rows += "\n";  // blank lines are skipped
    }
    dir.write("in.txt", rows);
    const auto runProgram = [&](const std::string& arguments) {
        return std::system((program + " " + arguments + " >" + dir.file("out.txt") + " 2>" + dir.file("err.txt")).c_str());
    };
    ASSERT_EQ(runProgram("run " + directory + " " + dir.file("in.txt")), 0);
    std::istringstream out(zeltest::TempDir::read(dir.file("out.txt")));
    for (double expected : kOutputs) {
        double value = 0;
        ASSERT_TRUE(out >> value);
        EXPECT_NEAR(value / expected, 1.0, 1e-6);
    }

    ASSERT_EQ(runProgram("info " + directory), 0);
    const std::string info = zeltest::TempDir::read(dir.file("out.txt"));
    EXPECT_NE(info.find("Input:        dense_input [None, 11] float32"), std::string::npos);
    EXPECT_NE(info.find("  dense_1\tDense\t[None, 6]\trelu\n  dropout_1\tDropout\t[None, 6]\tidentity at inference\n"
                        "  dense_2\tDense\t[None, 1]\tsigmoid\n"),
              std::string::npos);
    EXPECT_NE(info.find("Signature:    serving_default\n  input  dense_input -> serving_default_dense_input:0\n"
                        "  output dense_2 -> StatefulPartitionedCall:0\n"),
              std::string::npos);

    dir.write("short.txt", "1 2 3\n");
    EXPECT_NE(runProgram("run " + directory + " " + dir.file("short.txt")), 0);
    EXPECT_EQ(zeltest::TempDir::read(dir.file("err.txt")), "zel_model: line 1 has 3 numbers, the model takes 11 inputs\n");
    EXPECT_NE(runProgram("info " + dir.file("missing")), 0);
    EXPECT_NE(zeltest::TempDir::read(dir.file("err.txt")).find("Saved model directory not found"), std::string::npos);
}

}  // namespace
