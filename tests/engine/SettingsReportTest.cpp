#include "engine/SettingsReport.h"

#include <gtest/gtest.h>

#include "support/LoggedDir.h"

namespace {

struct SettingsReport : ::testing::Test {
    zeltest::LoggedDir dir{"zel_report"};
    zel::MessageTarget to = dir.target();
    zel::Settings settings;

    std::string report() { return dir.messages(); }
};

const std::string kDashes(72, '-');
const std::string kEquals(72, '=');

TEST_F(SettingsReport, SectionsComeInOrderBetweenDashes) {
    settings.ParamFileName = "./params.txt";
    settings.DataOriginSwitch = 4;
    zel::printSettingsReport(settings, to);
    const std::string text = report();
    size_t at = 0;
    for (const char* section : {"FILES AND PATHS", "DETECTOR SETTINGS", "OTHER SETTINGS"}) {
        const size_t found = text.find(kDashes + "\n" + section + "\n" + kDashes + "\n", at);
        ASSERT_NE(found, std::string::npos) << section << " missing or out of order";
        EXPECT_TRUE(at > 0 || found == 0) << "the report opens with the first section";
        at = found + 1;
    }
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
    const std::string text = report();
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
    const char* const texts[] = {"Not specified", "Environment, ground-level cosmic rays", "Laboratory radionuclides",
                                 "Accelerator charged particle beams, low-energy"};
    for (int origin = 0; origin < 4; ++origin) EXPECT_STREQ(zel::dataOriginText(origin), texts[origin]) << origin;
    EXPECT_STREQ(zel::dataOriginText(5), "Not specified");
}

}  // namespace
