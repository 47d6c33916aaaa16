// A network algorithm through a whole run: model directory found below ModelPath, classes in the products, the
// results and the extended list; a damaged model switches classification off and the run goes on.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "pid/NetworkModelWriter.h"
#include "support/TempDir.h"
#include "zel/ZEL_API.h"

namespace {

// Logits E / 100, Size / 10, Height / 100, BorderPixCount, Roundness, Linearity; softmax over the six classes.
const char* kEventList =
    "EventID\tX\tY\tE\tT\tSize\tHeight\tBorderPixCount\tRoundness\tLinearity\tLengthProj\tWidthProj\n"
    "-\tpx\tpx\tkeV\tns\tpx\tkeV\tpx\t-\t-\tpx\tpx\n"
    "1\t10\t10\t500\t1e8\t1\t10\t0\t0\t0\t1\t1\n"      // logit 5 for class 0
    "2\t20\t20\t10\t2e8\t1\t500\t0\t0\t0\t1\t1\n"      // class 2
    "3\t30\t30\t10\t3e8\t1\t10\t0\t0\t5\t1\t1\n"       // class 5
    "4\t40\t40\t0\t4e8\t0\t0\t0\t0\t0\t1\t1\n";        // 1/6 each, below 1.1 / 6: Others

zeltest::TestModel sixClassModel() {
    zeltest::TestModel model;
    std::vector<float> kernel(8 * 6, 0.0f);
    for (size_t k = 0; k < 6; ++k) kernel[k * 6 + k] = 1.0f;
    model.layers = {{.name = "probabilities", .activation = "softmax", .units = 6, .kernel = kernel,
                     .bias = std::vector<float>(6, 0.0f)}};
    model.norms = "100 10 100 1 1 1 1 1\n";
    return model;
}

struct NetworkRun : ::testing::Test {
    zeltest::TempDir dir{"zel_nnrun"};
    void SetUp() override { ASSERT_EQ(zel::construct(), 0); }
    void TearDown() override { zel::destruct(); }

    int run() {
        dir.write("run.elist", kEventList);
        dir.write("run.param", "FileInPath = \"" + dir.dir() + "\"\nFileInName = \"run.elist\"\nFileOutPath = \"" +
                                   dir.dir() + "out/\"\nLogPath = \"" + dir.dir() + "out/\"\nPIDAlg = 252\n"
                                   "ModelPath = \"" + dir.dir() + "Models/\"\nDoFilter = false\nDoPrint = false\n"
                                   "DoExportGraphics = false\nDoCheckPrereq = false\n");
        EXPECT_EQ(zel::loadParamFile(dir.dir(), "run.param"), 0);
        return zel::processFile("", "", "");
    }
    std::string log() const { return zeltest::TempDir::read(dir.file("out/LogFile.txt")); }
};

TEST_F(NetworkRun, ClassesReachProductsResultsAndTheExtendedList) {
    zeltest::writeModelDirectory(dir.file("Models/TPX3_500um_Si_6classes_0.93_20240101"), sixClassModel());
    zeltest::writeModelDirectory(dir.file("Models/TPX3_500um_Si_6classes_0.95_20240601-093000"), sixClassModel());
    ASSERT_EQ(run(), 0);
    EXPECT_NE(log().find("PID : 2 model directories fit TPX3_500um_Si_6classes; the newest time stamp is used: "
                         "TPX3_500um_Si_6classes_0.95_20240601-093000"),
              std::string::npos);
    const auto names = zel::getPIDClassNames();
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names[0], "Protons LE (<30 MeV)");

    auto json = nlohmann::json::parse(zeltest::TempDir::read(dir.file("out/File/SamplingList.json")));
    EXPECT_EQ(json["AlgorithmSwitch_cnt"], 252);
    EXPECT_EQ(json["CountParticle_Sum_Class_cnt"], (std::vector<double>{1, 0, 1, 0, 0, 1, 1}));
    const std::string ext = zeltest::TempDir::read(dir.file("out/File/EventListExt.korelist"));
    EXPECT_EQ(ext.substr(ext.find("\n1\t")),
              "\n1\t10\t10\t500\t100000000.000\t1\t10\t0\t0\t0\t1\t1\t0\n"
              "2\t20\t20\t10\t200000000.000\t1\t500\t0\t0\t0\t1\t1\t2\n"
              "3\t30\t30\t10\t300000000.000\t1\t10\t0\t0\t5\t1\t1\t5\n"
              "4\t40\t40\t0\t400000000.000\t0\t0\t0\t0\t0\t1\t1\t-1\n");
}

TEST_F(NetworkRun, DamagedModelSwitchesClassificationOffAndTheRunGoesOn) {
    const std::string model = dir.file("Models/TPX3_500um_Si_6classes");
    zeltest::writeModelDirectory(model, sixClassModel());
    zeltest::truncateFile(model + "/variables/variables.index", 60);
    ASSERT_EQ(run(), 0);
    const std::string text = log();
    EXPECT_NE(text.find("PID : -5015 : Error occurred during DNN model load. TF code: 15. TF msg: Corrupt variables "
                        "index " + model + "/variables/variables.index"),
              std::string::npos) << text;
    EXPECT_NE(text.find("-1039 : Error occurred during PID module initialization. Module will not be used in processing."),
              std::string::npos);
    EXPECT_NE(text.find("-1008 : PID init has not been done therefore sens matrices for PID classes can not be initialized."),
              std::string::npos) << "the sensor maps make no class maps";
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 4);
}

}  // namespace
