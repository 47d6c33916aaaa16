#include "engine/ParamFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "common/BoundedLine.h"
#include "engine/SettingsTable.h"
#include "support/LoggedDir.h"

namespace {

using zel::SettingKey;
using zel::SettingKind;
using zel::Settings;
using Names = std::vector<std::string>;

std::string missingValue(const std::string& key) {
    return "[ERROR] -1030 : Parameter " + key + " is missing value in correct format. Check e.g. quotations.\n";
}

// A log file to read the messages back from, and a parameter file to write lines into.
struct ParamFile : ::testing::Test {
    zeltest::LoggedDir dir{"zel_param"};
    std::string paramPath = dir.file("params.txt");
    zel::MessageTarget to = dir.target();
    Settings settings;
    const Settings defaults;

    int line(std::string_view text) { return zel::readParamLine(text, settings, to); }
    // Reads one line and expects it to set `member` to `value`.
    template <typename T>
    void expectSets(std::string_view text, T Settings::*member, const std::type_identity_t<T>& value) {
        EXPECT_EQ(line(text), 0) << text;
        EXPECT_EQ(settings.*member, value) << text;
    }
    std::string messages() { return dir.messages(); }
};

// A value the row does not hold by default, written as its kind expects; a restricted text row gets its one value.
std::string nonDefaultValue(const SettingKey& row, const Settings& defaults) {
    switch (row.kind) {
        case SettingKind::Text:
            return row.onlyValue.empty() ? "\"zel-value\\x\"" : "\"" + std::string(row.onlyValue) + "\"";
        case SettingKind::TextOrList: return "\"zel-input.t3pa\"";
        case SettingKind::Int: return "3";
        case SettingKind::Double: return "3.5";
        case SettingKind::Switch: return defaults.*row.flag ? "False" : "True";
    }
    return {};
}

bool differs(const SettingKey& row, const Settings& a, const Settings& b) {
    switch (row.kind) {
        case SettingKind::Text:
        case SettingKind::TextOrList: return a.*row.text != b.*row.text;
        case SettingKind::Int: return a.*row.integer != b.*row.integer;
        case SettingKind::Double: return a.*row.real != b.*row.real;
        case SettingKind::Switch: return a.*row.flag != b.*row.flag;
    }
    return false;
}

bool abortsAfterReading(const SettingKey& row) { return row.flag == &Settings::DoAbortAfterParamRead; }

TEST(SettingsTable, SpellingsAreUniqueAndRowsPointAtTheirKindsMember) {
    std::set<std::string_view> spellings;
    size_t rows = 0;
    for (const SettingKey& row : zel::settingKeys()) {
        ++rows;
        ASSERT_FALSE(row.names[0].empty());
        for (std::string_view name : row.names) EXPECT_TRUE(name.empty() || spellings.insert(name).second) << name;
        EXPECT_EQ(row.text != nullptr, row.kind == SettingKind::Text || row.kind == SettingKind::TextOrList);
        EXPECT_EQ(row.integer != nullptr, row.kind == SettingKind::Int) << row.names[0];
        EXPECT_EQ(row.real != nullptr, row.kind == SettingKind::Double) << row.names[0];
        EXPECT_EQ(row.flag != nullptr, row.kind == SettingKind::Switch) << row.names[0];
    }
    EXPECT_EQ(rows, 134u);
    EXPECT_EQ(spellings.size(), 346u);
    for (std::string_view oddSpelling : {"cluster_counc_in_sens_image", "do_ptx_high_energy_corr",
                                         "RadFiledRecogSigVecBaseName", "clusterer", "IsClusterTimeIn_ns"})
        EXPECT_TRUE(spellings.count(oddSpelling)) << oddSpelling;
}

TEST_F(ParamFile, EverySpellingAloneAndAllInOneFileChangeTheirSettings) {
    // In the file switch lines go last: some text keys switch a setting on as a side effect (ClogOutName, MaskName).
    std::string values = "// generated\n", switches;
    for (const SettingKey& row : zel::settingKeys()) {
        for (std::string_view name : row.names) {
            if (name.empty()) continue;
            settings = Settings{};
            const std::string value = nonDefaultValue(row, defaults), text = std::string(name) + " = " + value;
            EXPECT_EQ(line(text), 0) << text;
            EXPECT_TRUE(differs(row, settings, defaults)) << text;
            if (!abortsAfterReading(row))
                (row.kind == SettingKind::Switch ? switches : values) += std::string(name) + "\t" + value + "\n";
        }
    }
    std::ofstream(paramPath) << values + switches;
    settings = Settings{};
    EXPECT_EQ(zel::readParamFile(paramPath, settings, to), 0);
    for (const SettingKey& row : zel::settingKeys())
        EXPECT_TRUE(abortsAfterReading(row) || differs(row, settings, defaults)) << row.names[0];
    EXPECT_EQ(settings.SamplingListName, "zel-value/x");
    EXPECT_EQ(settings.ParamFileName, paramPath);
    EXPECT_EQ(messages(), "");
}

TEST_F(ParamFile, NumbersComeAfterTheKeyAndBeforeTheComment) {
    expectSets("TimeSampling = 10 // seconds, not 60", &Settings::TimeSampling, 10.0);
    expectSets("TimeCoinc:2.5e2;", &Settings::TimeCoinc, 250.0);
    expectSets("Hist1DGraphicsRebin = 4", &Settings::Hist1DGraphicsRebin, 4);
    expectSets("NumRebinPlot_Hist1D 6", &Settings::Hist1DGraphicsRebin, 6);
    expectSets("DataOriginSwitch = 3.9", &Settings::DataOriginSwitch, 3);
    expectSets("ClusterCount -2.7", &Settings::ClusterCount, -2);
    expectSets("SensWidth 1e12", &Settings::SensWidth, 2147483647);
    EXPECT_EQ(messages(), "");
    expectSets("TimeFirst = // 5", &Settings::TimeFirst, -1.0);
    expectSets("Hist1DGraphicsRebin =", &Settings::Hist1DGraphicsRebin, 6);
    EXPECT_EQ(messages(), missingValue("TimeFirst") + missingValue("Hist1DGraphicsRebin"));
}

TEST_F(ParamFile, TextIsTakenOnlyFromQuotes) {
    expectSets("FileInPath = \"data\\run 1\\\"", &Settings::FileInPath, "data/run 1/");
    expectSets("FileOutPath = ./out/", &Settings::FileOutPath, defaults.FileOutPath);
    expectSets("FileInNameEnd = \"\"", &Settings::FileInNameEnd, "");
    // The comment cut does not respect quotes; the unclosed quote then runs to the end of the line.
    expectSets("FilterPath = \"http://host/\"", &Settings::FilterPath, "http:");
    expectSets("SensMat = \"CdTe\r", &Settings::SensMat, "CdTe");
    // Several values fill the input list, and only the first one gets the platform's separators.
    expectSets("FileInName \"a\\1.t3pa\" \"b\\2.t3pa\"", &Settings::FileInNames, Names{"a/1.t3pa", "b\\2.t3pa"});
    EXPECT_EQ(settings.FileInName, "");
    settings.FileInNames.clear();
    expectSets("FileInName = \"one.t3pa\"", &Settings::FileInName, "one.t3pa");
    EXPECT_TRUE(settings.FileInNames.empty());
    settings.FileInNames = {"stale"};
    expectSets("file_in_name \"a.clog\" \"b.clog\" \"c.clog\"", &Settings::FileInNames,
               Names{"a.clog", "b.clog", "c.clog"});
    EXPECT_EQ(settings.FileInName, "one.t3pa");
    EXPECT_EQ(messages(), missingValue("FileOutPath"));
}

TEST_F(ParamFile, SwitchesReadTheSecondWordAndBlankLinesAreSkipped) {
    settings.DoLog = false;
    for (auto [text, value] : std::initializer_list<std::pair<std::string_view, bool>>{
             {"DoLog = True", true}, {"DoLog = 1", false}, {"DoLog:TRUE", true}, {"DoLog false", false},
             {"DoLog", false}})
        expectSets(text, &Settings::DoLog, value);
    EXPECT_EQ(messages(), missingValue("DoLog"));
    EXPECT_TRUE(zel::parseBool("isTrue!"));
    EXPECT_FALSE(zel::parseBool("tRUE"));
    EXPECT_FALSE(zel::parseBool("yes"));

    settings = Settings{};
    for (std::string_view text : {"", "\r", "\n", "// TimeSampling 5", "  ; = \t", "//", " // DoLog False"})
        EXPECT_EQ(line(text), 0) << text;
    EXPECT_EQ(settings.TimeSampling, 1.0);
    EXPECT_TRUE(settings.DoLog);
    EXPECT_EQ(messages(), missingValue("DoLog")) << "empty and comment lines are skipped silently";
}

TEST_F(ParamFile, KeysSwitchRelatedSettings) {
    EXPECT_EQ(line("FileInNameEnd = \".t3pa\""), 0);
    EXPECT_TRUE(settings.DoMultiFile);
    EXPECT_FALSE(settings.DoRemoveOldElist);
    expectSets("FileInNameEnd = \"\"", &Settings::DoMultiFile, false);

    settings.DoRemoveOldElist = true;
    expectSets("DoMultiFile = False", &Settings::DoRemoveOldElist, true);
    expectSets("DoMultiFile = True", &Settings::DoRemoveOldElist, false);

    settings.DoCreateClog = false;
    settings.DoMask = false;
    expectSets("ClogOutName \"Run.clog\"", &Settings::DoCreateClog, true);
    expectSets("mask_name \"mask.txt\"", &Settings::DoMask, true);

    EXPECT_EQ(line("DoCreateExportDir False"), 0);
    for (const std::string* exportDir : {&settings.ExportDirFile, &settings.ExportDirHist, &settings.ExportDirGraph,
                                   &settings.ExportDirEventVisual, &settings.ExportDirSpatialMap,
                                   &settings.ExportDirSigVec})
        EXPECT_EQ(*exportDir, "");
    EXPECT_EQ(settings.ExportDirCoincEvent, "./CoincEvent/");

    expectSets("MeasMode \"tot\"", &Settings::MeasMode, "");  // only itot+count is taken
    EXPECT_FALSE(settings.MeasModeItotCount);
    expectSets("meas_mode \"itot+count\"", &Settings::MeasMode, "itot+count");
    EXPECT_TRUE(settings.MeasModeItotCount);
    EXPECT_EQ(messages(), "");
}

TEST_F(ParamFile, LengthCorrSelectsTheVariablePairAndFallsBackToOne) {
    expectSets("LengthCorr = 3", &Settings::LengthCorrName2D, "LengthCorrNabha");
    EXPECT_EQ(settings.LengthCorrName3D, "Length3DCorrNabha");
    expectSets("length_corr = 2", &Settings::LengthCorr, 2);
    EXPECT_EQ(settings.LengthCorrName2D, "LengthCorrWidth");
    EXPECT_EQ(messages(), "");
    expectSets("LengthCorrSwitch = 4", &Settings::LengthCorr, 1);
    EXPECT_EQ(settings.LengthCorrName2D, "LengthCorrStd");
    EXPECT_EQ(settings.LengthCorrName3D, "Length3DCorrStd");
    EXPECT_EQ(messages(), "[WARNING]  Length switch has invalid value. It should be: 1,2,3. Set to 1.\n");
}

TEST_F(ParamFile, FileCountsUnknownKeysAppliesTheRestAndRaisesWhenMissing) {
    std::ofstream(paramPath) << "TimeSampling 5\nTimeSamplin 6\r\nSensMat = \"GaAs\"\ndo_log_time False\nDoLog False\n";
    EXPECT_EQ(zel::readParamFile(paramPath, settings, to), -2062);
    EXPECT_EQ(settings.TimeSampling, 5.0);
    EXPECT_EQ(settings.SensMat, "GaAs");
    EXPECT_FALSE(settings.DoLog);
    std::string expected = "[ERROR] -1031 : Non existing parameter name: \"TimeSamplin\"\n"
                           "[ERROR] -1031 : Non existing parameter name: \"do_log_time\"\n";
    EXPECT_EQ(messages(), expected);

    const std::string missing = dir.file("missing.txt");
    EXPECT_EQ(zeltest::raisedCode([&] { zel::readParamFile(missing, settings, to); }), -1000);
    EXPECT_EQ(settings.ParamFileName, missing);
    EXPECT_EQ(messages(), expected + "[ERROR] -1000 : Can not open parameters file in path " + missing + ".\n");
}

TEST_F(ParamFile, OverlongLineRaisesWithItsNumberAndKeepsTheLinesBefore) {
    std::ofstream(paramPath) << "TimeSampling 5\nSensMat = \"" << std::string(zel::kMaxSettingsLineLength, 'a')
                             << "\"\nTimeAcq 7\n";
    EXPECT_EQ(zeltest::raisedCode([&] { zel::readParamFile(paramPath, settings, to); }), -1000);
    EXPECT_EQ(settings.TimeSampling, 5.0);
    EXPECT_EQ(settings.SensMat, defaults.SensMat);
    EXPECT_EQ(settings.TimeAcq, defaults.TimeAcq);
    EXPECT_EQ(messages(), "[ERROR] -1000 : Line 2 of " + paramPath + " is longer than " +
                              std::to_string(zel::kMaxSettingsLineLength) +
                              " characters. The parameters file is read no further.\n");
}

TEST_F(ParamFile, AbortAfterReadingEndsTheProcess) {
    std::ofstream(paramPath) << "TimeSampling 5\nDoAbortAfterParamRead = True\n";
    EXPECT_EXIT(zel::readParamFile(paramPath, settings, to), ::testing::ExitedWithCode(0), "");
}

}  // namespace
