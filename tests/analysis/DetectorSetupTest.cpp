#include "analysis/DetectorSetup.h"

#include <gtest/gtest.h>

#include <memory>

#include "AnalysisTestSupport.h"
#include "engine/Settings.h"

namespace {

using zel::DetectorSetup;

struct DetectorSetupTest : ::testing::Test, zeltest::LoggedDir {
    std::unique_ptr<DetectorSetup> setup = std::make_unique<DetectorSetup>();
    void renew() { setup = std::make_unique<DetectorSetup>(); }

    int load(const std::string& text, int base = 0) {
        tmp.write("geo.ini", text);
        setup->setMessageTarget(to);
        setup->setErrorCodeBase(base);
        ::testing::internal::CaptureStderr();
        const int result = setup->loadConfig(tmp.dir(), "geo.ini");
        ::testing::internal::GetCapturedStderr();
        return result;
    }
};

// Two detectors over three assemblies, section keys renamed, a detector naming an assembly defined after it.
const char* kTwoDetectors = R"([Settings]
AssemblyConfigKey = "Chip"
DetectorConfigKey = "Readout"

[ReadoutLeft]
Key = "L01"
Readout = "Tinybox"
Assemblies = 0 2

[ChipZero]
NumID = 0
Chip_Type = "TPX3"
Sensor_Material = "CdTe"
Sensor_Thickness = 1000
PositionA = 0 0 0
PositionB = 14.08 14.08 1
Vector = 2 0 0

[ReadoutRight]
Key = "R02"
Readout = "MiniPIX"
Assemblies = 1

[ChipOne]
NumID = 1
Sensor_Material = "Si"
Sensor_Density = 2.5
Sensor_Thickness = 500
PixelSize = 110
MatrixPixelWidth = 128
MatrixHeight = 64
PositionA = 0 0 10
PositionB = 14.08 7.04 10.5

[ChipTwo]
NumID = 2
Sensor_Material = "GaAs"
Sensor_Thickness = 300
PositionA = 0 0 -5
PositionB = 14.08 14.08 -4.7

[LogPrint]
DoPrintOut = 0
)";

TEST_F(DetectorSetupTest, BuiltInGeometryIsOneDetectorWithOneAssemblyFromTheSensorSettings) {
    zel::Settings settings;
    settings.SensThick = 500;
    settings.SensMat = "CdTe";
    settings.SensDens = 0;
    ASSERT_EQ(setup->init(settings, to, -5300), 0);
    ASSERT_EQ(setup->detectors().size(), 1u);
    EXPECT_EQ(setup->detectors()[0].key, "X00");
    EXPECT_EQ(setup->detectors()[0].readout, "Tinybox");
    ASSERT_EQ(setup->assemblyCount(), 1u);
    const zel::Assembly& a = *setup->assemblyAt(0);
    EXPECT_EQ(a.numId, 0);
    EXPECT_EQ(a.positionA(), (std::vector<double>{-7.0125, -7.0125, 0}));
    EXPECT_EQ(a.positionB(), (std::vector<double>{7.0675, 7.0675, 0.5}));
    EXPECT_EQ(a.vector(), (std::vector<double>{1, 0, 0}));
    EXPECT_EQ(a.chipType, "TPX");
    EXPECT_DOUBLE_EQ(a.sensorDensity, 5.85);  // 0 takes the density of the material
    EXPECT_DOUBLE_EQ(a.sensorThickness, 500);
    EXPECT_DOUBLE_EQ(a.sensorBias, 50);
    EXPECT_TRUE(a.isPlaced());
    EXPECT_EQ(logText(), "");  // the corners fit the sensor: no mismatch, no warning
}

TEST_F(DetectorSetupTest, FileWithSeveralDetectorsAndAssembliesKeepsEveryKeyAndDefault) {
    ASSERT_EQ(load(kTwoDetectors), 0) << logText();
    ASSERT_EQ(setup->detectors().size(), 2u);
    ASSERT_EQ(setup->assemblyCount(), 3u);
    const zel::Detector& left = *setup->detector("L01");
    ASSERT_EQ(left.assemblies().size(), 2u);
    EXPECT_EQ(left.assemblies()[1]->numId, 2);
    EXPECT_EQ(setup->detector("R02")->readout, "MiniPIX");
    EXPECT_EQ(setup->detector("X00"), nullptr);

    const zel::Assembly& zero = *setup->assemblyById(0);
    EXPECT_EQ(zero.chipType, "TPX3");
    EXPECT_DOUBLE_EQ(zero.sensorDensity, 5.85);
    EXPECT_EQ(zero.vector(), (std::vector<double>{1, 0, 0}));  // normalised
    EXPECT_DOUBLE_EQ(zero.sensorTemperature, 22.0);
    EXPECT_DOUBLE_EQ(zero.bumpBondThickness, 25.0);
    EXPECT_DOUBLE_EQ(zero.bumpBondHeight, 20.0);

    const zel::Assembly& one = *setup->assemblyById(1);
    EXPECT_DOUBLE_EQ(one.sensorDensity, 2.5);  // a given density wins over the material's
    EXPECT_TRUE(one.isPlaced());               // 128 x 110 um = 14.08 mm, 64 x 110 um = 7.04 mm
    EXPECT_EQ(one.vector(), (std::vector<double>{1, 0, 0}));
    EXPECT_DOUBLE_EQ(setup->assemblyById(2)->sensorDensity, 5.3176);
    EXPECT_FALSE(setup->doPrintOut());
    EXPECT_EQ(logText(), "");
}

TEST_F(DetectorSetupTest, BadGeometryFilesFailWithTheirMessages) {
    struct Case {
        const char* what;
        std::string text;
        int code;
        const char* message;
    };
    const std::string detector = "[DetectorA]\nKey = \"X00\"\nAssemblies = 0\n";
    const std::string head = "[AssemblyA]\nNumID = 0\nSensor_Thickness = 300\n";
    const std::string assembly0 = head + "PositionA = 0 0 0\nPositionB = 14.08 14.08 0.3\n";
    const Case cases[] = {
        {"NumID twice in the setup", assembly0 + "[AssemblyB]\nNumID = 0\nPositionA = 0 0 0\nPositionB = 1 1 1\n" + detector,
         -102, "[ERROR] -102 : DetectorSetup : Can not add assembly because assembly with the same NumID already "
               "exist in the setup: 0\n"},
        {"NumID twice in a detector", assembly0 + "[DetectorA]\nKey = \"X00\"\nAssemblies = 0 0\n", -107,
         "[ERROR] -107 : DetectorSetup : Can not add assembly because assembly with the same NumID already exist in "
         "the detector: 0\n"},
        {"key twice", assembly0 + detector + "[DetectorB]\nKey = \"X00\"\n", -106,
         "DetectorSetup : Detector can not be added because it has the same key as another detector: X00\n"},
        {"empty detector key", assembly0 + "[DetectorA]\nKey = \"\"\nAssemblies = 0\n", -103,
         "DetectorSetup : Detector was not initialized/set (empty key).\n"},
        {"no assembly section", "[DetectorA]\nKey = \"X00\"\n", -104, "No assembly was loaded from ini file."},
        {"no detector section", head + "PositionA = 0 0 0\nPositionB = 14.08 14.08 0.3\n", -105,
         "No detector was loaded from ini file."},
        {"empty key", head + "PositionA = 0 0 0\nPositionB = 14.08 14.08 0.3\n = 4\n" + detector, -113,
         "Failed to open config file in load config function."},
        {"short position", head + "PositionA = 0 0\nPositionB = 14.08 14.08 0.3\n" + detector, -108,
         "needs PositionA and PositionB of 3 coordinates each (mm), has 2 and 3."},
        {"zero vector", head + "PositionA = 0 0 0\nPositionB = 14.08 14.08 0.3\nVector = 0 0 0\n" + detector, -108,
         "Assembly of section AssemblyA: Vector has zero length."},
        {"vector of two", head + "PositionA = 0 0 0\nPositionB = 14.08 14.08 0.3\nVector = 1 0\n" + detector, -108,
         "Assembly of section AssemblyA: PositionA, PositionB and Vector differ in length."},
        {"no NumID", "[AssemblyA]\nPositionA = 0 0 0\nPositionB = 14.08 14.08 0.3\n" + detector, -110,
         "Assembly of section AssemblyA has no NumID."},
        {"unknown assembly", head + "PositionA = 0 0 0\nPositionB = 14.08 14.08 0.3\n" +
                                 "[DetectorA]\nKey = \"X00\"\nAssemblies = 3\n", -109,
         "Detector X00 names an assembly that is not in the setup: 3"},
    };
    for (const Case& c : cases) {
        renew();
        const size_t before = logText().size();
        EXPECT_EQ(load(c.text), c.code) << c.what;
        EXPECT_NE(logText().find(c.message, before), std::string::npos) << c.what << "\n" << logText().substr(before);
    }
    DetectorSetup missing;
    missing.setMessageTarget(to);
    EXPECT_EQ(missing.loadConfig(tmp.dir(), "absent.ini"), -101);
    EXPECT_TRUE(logHas("[ERROR] -101 : Can not open config file: " + tmp.file("absent.ini")));
}

TEST_F(DetectorSetupTest, PlacementsThatDoNotFitTheSensorAreWarnedAbout) {
    ASSERT_EQ(load("[AssemblyA]\nNumID = 0\nSensor_Thickness = 300\nPositionA = 0 0 0\nPositionB = 14 14.08 0.3\n"
                   "[DetectorA]\nKey = \"X00\"\nAssemblies = 0\n"),
              0);
    EXPECT_EQ(logText(),
              "[WARNING]  X distance of points A and B 14.0000 is not the same as matrix Width of sensor: 14.0800\n"
              "[WARNING]  There is possibility that a more complex rotation is needed, but this is not implemented.\n");
    EXPECT_FALSE(setup->assemblyAt(0)->isPlaced());
        renew();
    ASSERT_EQ(load("[AssemblyA]\nNumID = 0\nSensor_Thickness = 300\nPositionA = 0 0 0\n"
                   "PositionB = 14.08 14.08 0.3\nVector = 1 1 0\n[DetectorA]\nKey = \"X00\"\nAssemblies = 0\n"),
              0);
    EXPECT_TRUE(logHas("There is possibility that a more complex rotation is needed"));
    EXPECT_FALSE(setup->assemblyAt(0)->isPlaced());
}

TEST_F(DetectorSetupTest, AssembliesAreReachedByIndexWithinTheCount) {
    DetectorSetup none;
    none.setMessageTarget(to);
    int result = 0;
    EXPECT_EQ(none.assemblyAt(0, &result), nullptr);
    EXPECT_EQ(result, -111);
    EXPECT_TRUE(logHas(" : Can not find assembly at the given index: 0. There are no detectors in the setup.\n"));

    ASSERT_EQ(load(kTwoDetectors, -5300), 0);
    EXPECT_EQ(setup->assemblyAt(2)->numId, 2);
    EXPECT_EQ(setup->assemblyAt(-1, &result), nullptr);
    EXPECT_EQ(result, -5411);
    EXPECT_TRUE(logHas("index: -1. Index has negative value (should be from 0 to total count of assemblies-1).\n"));
    EXPECT_EQ(setup->assemblyAt(3, &result), nullptr);
    EXPECT_TRUE(logHas("index: 3. Index has higher value than count of all assemblies\n"));
}

TEST_F(DetectorSetupTest, ReportListsDetectorsAssembliesChipsAndSensors) {
    EXPECT_EQ(setup->reportText(),
              "---------------------------------------------------------\nDETECOTRS:\n\n (no detectors in setup)  \n"
              "---------------------------------------------------------\n");
    ASSERT_EQ(setup->init(zel::Settings{}, to, 0), 0);
    EXPECT_NE(setup->reportText().find("DETECTOR\n\nKey:\t\tX00\nReadout:\tTinybox\n\n\t---------------------------\n"
                                       "ASSEMBLY\n\nNumID:\t\t0\nBumpBondMat:\t\nPositionA\t[-7.0125, -7.0125, 0]\n"),
              std::string::npos);
}

}  // namespace
