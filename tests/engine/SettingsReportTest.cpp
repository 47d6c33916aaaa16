#include "engine/SettingsReport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct SettingsReport : ::testing::Test {
    std::string logPath =
        (std::filesystem::temp_directory_path() / ("zel_report_" + std::to_string(::getpid()) + ".log")).string();
    std::ofstream log{logPath};
    zel::MessageTarget to{&log, false, true};
    zel::Settings settings;

    void TearDown() override { std::filesystem::remove(logPath); }
    std::string report() {
        std::ifstream in(logPath);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

const std::string kDashes(72, '-');
const std::string kEquals(72, '=');

TEST_F(SettingsReport, SectionsComeInOrderBetweenDashes) {
    settings.ParamFileName = "./params.txt";
    settings.DataOriginSwitch = 4;
    zel::printSettingsReport(settings, to);
    std::string text = report();
    size_t files = text.find(kDashes + "\nFILES AND PATHS\n" + kDashes + "\n");
    size_t detector = text.find(kDashes + "\nDETECTOR SETTINGS\n" + kDashes + "\n");
    size_t other = text.find(kDashes + "\nOTHER SETTINGS\n" + kDashes + "\n");
    ASSERT_EQ(files, 0u);
    ASSERT_NE(detector, std::string::npos);
    ASSERT_NE(other, std::string::npos);
    EXPECT_LT(files, detector);
    EXPECT_LT(detector, other);
    EXPECT_NE(text.find("\nParam file - path+name:\t\t./params.txt\n"), std::string::npos);
    EXPECT_NE(text.find("4 - Mixed-field space radiation (LEO, GTO, GEO)\n"), std::string::npos);
    EXPECT_NE(text.find("\nTimeCoinc [ns]\t\t\t100\n"), std::string::npos);
    EXPECT_NE(text.find("1 (LengthCorrStd, Length3DCorrStd)"), std::string::npos);
    EXPECT_EQ(text.find("DoMultiFile"), std::string::npos);
}

TEST_F(SettingsReport, MultiFileRunNamesItsInputs) {
    settings.DoMultiFile = true;
    settings.FileInName = "ignored.t3pa";
    const std::string found[] = {"a.t3pa", "b.t3pa"};
    zel::printSettingsReport(settings, to, {found, 2});
    std::string text = report();
    EXPECT_NE(text.find("\nDoMultiFile\t\t\tTrue\n"), std::string::npos);
    EXPECT_NE(text.find("\nFileInName\t\t\ta.t3pa\n\t\t\t\tb.t3pa\n"), std::string::npos);
    EXPECT_EQ(text.find("ignored.t3pa"), std::string::npos);
    EXPECT_NE(text.find("\nNumber of files\t\t\t2\n"), std::string::npos);
}

TEST_F(SettingsReport, HeadersAndModuleSectionsAreFramed) {
    zel::printPhaseHeader("INITILIZATION and SETTINGS", to);
    const std::string lines[] = {zel::reportLine("Algorithm", "101"), zel::reportLine(std::string(40, 'x'), "v")};
    zel::printReportSection("PARTICLE CLASSIFICATION", lines, to);
    EXPECT_EQ(report(), kEquals + "\nINITILIZATION and SETTINGS\n" + kEquals + "\n" + kDashes +
                            "\nPARTICLE CLASSIFICATION\n" + kDashes + "\nAlgorithm\t\t\t101\n" +
                            std::string(40, 'x') + "\tv\n");
}

TEST(DataOrigin, NamesTheFourFieldsOnly) {
    EXPECT_STREQ(zel::dataOriginText(1), "Environment, ground-level cosmic rays");
    EXPECT_STREQ(zel::dataOriginText(2), "Laboratory radionuclides");
    EXPECT_STREQ(zel::dataOriginText(3), "Accelerator charged particle beams, low-energy");
    EXPECT_STREQ(zel::dataOriginText(0), "Not specified");
    EXPECT_STREQ(zel::dataOriginText(5), "Not specified");
}

}  // namespace
