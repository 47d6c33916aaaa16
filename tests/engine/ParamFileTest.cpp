#include "engine/ParamFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "engine/SettingsTable.h"

namespace {

using zel::Settings;
using zel::SettingKey;
using zel::SettingKind;

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A log file to read the messages back from, and a parameter file to write lines into.
struct ParamFile : ::testing::Test {
    std::string stem = (std::filesystem::temp_directory_path() / ("zel_param_" + std::to_string(::getpid()))).string();
    std::string logPath = stem + ".log";
    std::string paramPath = stem + ".txt";
    std::ofstream log{logPath};
    zel::MessageTarget to{&log, false, true};
    Settings settings;
    const Settings defaults;

    void TearDown() override {
        std::filesystem::remove(logPath);
        std::filesystem::remove(paramPath);
    }
    int line(std::string_view text) { return zel::readParamLine(text, settings, to); }
    void writeParam(const std::string& text) { std::ofstream(paramPath) << text; }
    std::string messages() { return readAll(logPath); }
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
        for (std::string_view name : row.names) {
            if (!name.empty()) {
                EXPECT_TRUE(spellings.insert(name).second) << name;
            }
        }
        EXPECT_EQ(row.text != nullptr, row.kind == SettingKind::Text || row.kind == SettingKind::TextOrList);
        EXPECT_EQ(row.integer != nullptr, row.kind == SettingKind::Int) << row.names[0];
        EXPECT_EQ(row.real != nullptr, row.kind == SettingKind::Double) << row.names[0];
        EXPECT_EQ(row.flag != nullptr, row.kind == SettingKind::Switch) << row.names[0];
    }
    EXPECT_EQ(rows, 134u);
    EXPECT_EQ(spellings.size(), 346u);
    for (std::string_view oddSpelling : {"cluster_counc_in_sens_image", "do_ptx_high_energy_corr",
                                         "RadFiledRecogSigVecBaseName", "clusterer", "IsClusterTimeIn_ns"}) {
        EXPECT_TRUE(spellings.count(oddSpelling)) << oddSpelling;
    }
}

TEST_F(ParamFile, EverySpellingChangesItsSettingAwayFromTheDefault) {
    for (const SettingKey& row : zel::settingKeys()) {
        for (std::string_view name : row.names) {
            if (name.empty()) continue;
            settings = Settings{};
            std::string text = std::string(name) + " = " + nonDefaultValue(row, defaults);
            EXPECT_EQ(line(text), 0) << text;
            EXPECT_TRUE(differs(row, settings, defaults)) << text;
        }
    }
    EXPECT_EQ(messages(), "");
}

TEST_F(ParamFile, GeneratedFileWithEveryKeySetsEverySetting) {
    // Switch lines go last: some text keys switch a setting on as a side effect (ClogOutName, MaskName).
    std::string values;
    std::string switches;
    for (const SettingKey& row : zel::settingKeys()) {
        if (abortsAfterReading(row)) continue;
        for (std::string_view name : row.names) {
            if (name.empty()) continue;
            std::string text = std::string(name) + "\t" + nonDefaultValue(row, defaults) + "\n";
            (row.kind == SettingKind::Switch ? switches : values) += text;
        }
    }
    writeParam("// generated\n" + values + switches);
    EXPECT_EQ(zel::readParamFile(paramPath, settings, to), 0);
    for (const SettingKey& row : zel::settingKeys()) {
        if (!abortsAfterReading(row)) {
            EXPECT_TRUE(differs(row, settings, defaults)) << row.names[0];
        }
    }
    EXPECT_EQ(settings.SamplingListName, "zel-value/x");
    EXPECT_EQ(settings.ParamFileName, paramPath);
    EXPECT_EQ(messages(), "");
}

TEST_F(ParamFile, NumbersComeAfterTheKeyAndBeforeTheComment) {
    EXPECT_EQ(line("TimeSampling = 10 // seconds, not 60"), 0);
    EXPECT_EQ(settings.TimeSampling, 10.0);
    EXPECT_EQ(line("TimeCoinc:2.5e2;"), 0);
    EXPECT_EQ(settings.TimeCoinc, 250.0);
    EXPECT_EQ(line("Hist1DGraphicsRebin = 4"), 0);
    EXPECT_EQ(settings.Hist1DGraphicsRebin, 4);
    EXPECT_EQ(line("NumRebinPlot_Hist1D 6"), 0);
    EXPECT_EQ(settings.Hist1DGraphicsRebin, 6);
    EXPECT_EQ(line("DataOriginSwitch = 3.9"), 0);
    EXPECT_EQ(settings.DataOriginSwitch, 3);
    EXPECT_EQ(line("ClusterCount -2.7"), 0);
    EXPECT_EQ(settings.ClusterCount, -2);
    EXPECT_EQ(line("SensWidth 1e12"), 0);
    EXPECT_EQ(settings.SensWidth, 2147483647);
    EXPECT_EQ(messages(), "");

    EXPECT_EQ(line("TimeFirst = // 5"), 0);
    EXPECT_EQ(line("Hist1DGraphicsRebin ="), 0);
    EXPECT_EQ(settings.TimeFirst, -1.0);
    EXPECT_EQ(settings.Hist1DGraphicsRebin, 6);
    EXPECT_EQ(messages(),
              "[ERROR] -1030 : Parameter TimeFirst is missing value in correct format. Check e.g. quotations.\n"
              "[ERROR] -1030 : Parameter Hist1DGraphicsRebin is missing value in correct format. Check e.g. "
              "quotations.\n");
}

TEST_F(ParamFile, TextIsTakenOnlyFromQuotes) {
    EXPECT_EQ(line("FileInPath = \"data\\run 1\\\""), 0);
    EXPECT_EQ(settings.FileInPath, "data/run 1/");
    EXPECT_EQ(line("FileOutPath = ./out/"), 0);
    EXPECT_EQ(settings.FileOutPath, defaults.FileOutPath);
    EXPECT_EQ(line("FileInNameEnd = \"\""), 0);
    EXPECT_EQ(settings.FileInNameEnd, "");
    // The comment cut does not respect quotes; the unclosed quote then runs to the end of the line.
    EXPECT_EQ(line("FilterPath = \"http://host/\""), 0);
    EXPECT_EQ(settings.FilterPath, "http:");
    EXPECT_EQ(line("SensMat = \"CdTe\r"), 0);
    EXPECT_EQ(settings.SensMat, "CdTe");
    // Only the first quoted value gets the platform's separators.
    EXPECT_EQ(line("FileInName \"a\\1.t3pa\" \"b\\2.t3pa\""), 0);
    EXPECT_EQ(settings.FileInNames, (std::vector<std::string>{"a/1.t3pa", "b\\2.t3pa"}));
    EXPECT_EQ(settings.FileInName, "");
    EXPECT_EQ(messages(),
              "[ERROR] -1030 : Parameter FileOutPath is missing value in correct format. Check e.g. quotations.\n");
}

TEST_F(ParamFile, SwitchesReadTheSecondWord) {
    settings.DoLog = false;
    EXPECT_EQ(line("DoLog = True"), 0);
    EXPECT_TRUE(settings.DoLog);
    EXPECT_EQ(line("DoLog = 1"), 0);
    EXPECT_FALSE(settings.DoLog);
    EXPECT_EQ(line("DoLog:TRUE"), 0);
    EXPECT_TRUE(settings.DoLog);
    EXPECT_EQ(line("DoLog false"), 0);
    EXPECT_FALSE(settings.DoLog);
    EXPECT_EQ(line("DoLog"), 0);
    EXPECT_FALSE(settings.DoLog);
    EXPECT_EQ(messages(),
              "[ERROR] -1030 : Parameter DoLog is missing value in correct format. Check e.g. quotations.\n");
    EXPECT_TRUE(zel::parseBool("isTrue!"));
    EXPECT_FALSE(zel::parseBool("tRUE"));
    EXPECT_FALSE(zel::parseBool("yes"));
}

TEST_F(ParamFile, EmptyAndCommentLinesAreSkippedSilently) {
    for (std::string_view text : {"", "\r", "\n", "// TimeSampling 5", "  ; = \t", "//", " // DoLog False"}) {
        EXPECT_EQ(line(text), 0) << text;
    }
    EXPECT_EQ(settings.TimeSampling, 1.0);
    EXPECT_TRUE(settings.DoLog);
    EXPECT_EQ(messages(), "");
}

TEST_F(ParamFile, InputNamesFillTheListOrTheSingleName) {
    EXPECT_EQ(line("FileInName = \"one.t3pa\""), 0);
    EXPECT_EQ(settings.FileInName, "one.t3pa");
    EXPECT_TRUE(settings.FileInNames.empty());
    settings.FileInNames = {"stale"};
    EXPECT_EQ(line("file_in_name \"a.clog\" \"b.clog\" \"c.clog\""), 0);
    EXPECT_EQ(settings.FileInNames, (std::vector<std::string>{"a.clog", "b.clog", "c.clog"}));
    EXPECT_EQ(settings.FileInName, "one.t3pa");
}

TEST_F(ParamFile, KeysSwitchRelatedSettings) {
    EXPECT_EQ(line("FileInNameEnd = \".t3pa\""), 0);
    EXPECT_TRUE(settings.DoMultiFile);
    EXPECT_FALSE(settings.DoRemoveOldElist);
    EXPECT_EQ(line("FileInNameEnd = \"\""), 0);
    EXPECT_FALSE(settings.DoMultiFile);

    settings.DoRemoveOldElist = true;
    EXPECT_EQ(line("DoMultiFile = False"), 0);
    EXPECT_TRUE(settings.DoRemoveOldElist);
    EXPECT_EQ(line("DoMultiFile = True"), 0);
    EXPECT_FALSE(settings.DoRemoveOldElist);

    settings.DoCreateClog = false;
    settings.DoMask = false;
    EXPECT_EQ(line("ClogOutName \"Run.clog\""), 0);
    EXPECT_EQ(line("mask_name \"mask.txt\""), 0);
    EXPECT_TRUE(settings.DoCreateClog);
    EXPECT_TRUE(settings.DoMask);

    EXPECT_EQ(line("DoCreateExportDir False"), 0);
    for (const std::string* dir : {&settings.ExportDirFile, &settings.ExportDirHist, &settings.ExportDirGraph,
                                   &settings.ExportDirEventVisual, &settings.ExportDirSpatialMap,
                                   &settings.ExportDirSigVec}) {
        EXPECT_EQ(*dir, "");
    }
    EXPECT_EQ(settings.ExportDirCoincEvent, "./CoincEvent/");
    EXPECT_EQ(messages(), "");
}

TEST_F(ParamFile, LengthCorrSelectsTheVariablePairAndFallsBackToOne) {
    EXPECT_EQ(line("LengthCorr = 3"), 0);
    EXPECT_EQ(settings.LengthCorrName2D, "LengthCorrNabha");
    EXPECT_EQ(settings.LengthCorrName3D, "Length3DCorrNabha");
    EXPECT_EQ(line("length_corr = 2"), 0);
    EXPECT_EQ(settings.LengthCorr, 2);
    EXPECT_EQ(settings.LengthCorrName2D, "LengthCorrWidth");
    EXPECT_EQ(messages(), "");
    EXPECT_EQ(line("LengthCorrSwitch = 4"), 0);
    EXPECT_EQ(settings.LengthCorr, 1);
    EXPECT_EQ(settings.LengthCorrName2D, "LengthCorrStd");
    EXPECT_EQ(settings.LengthCorrName3D, "Length3DCorrStd");
    EXPECT_EQ(messages(), "[WARNING]  Length switch has invalid value. It should be: 1,2,3. Set to 1.\n");
}

TEST_F(ParamFile, MeasModeTakesOnlyItotCount) {
    EXPECT_EQ(line("MeasMode \"tot\""), 0);
    EXPECT_EQ(settings.MeasMode, "");
    EXPECT_FALSE(settings.MeasModeItotCount);
    EXPECT_EQ(line("meas_mode \"itot+count\""), 0);
    EXPECT_EQ(settings.MeasMode, "itot+count");
    EXPECT_TRUE(settings.MeasModeItotCount);
    EXPECT_EQ(messages(), "");
}

TEST_F(ParamFile, UnknownKeysAreCountedAndTheRestIsApplied) {
    writeParam("TimeSampling 5\nTimeSamplin 6\r\nSensMat = \"GaAs\"\ndo_log_time False\nDoLog False\n");
    EXPECT_EQ(zel::readParamFile(paramPath, settings, to), -2062);
    EXPECT_EQ(settings.TimeSampling, 5.0);
    EXPECT_EQ(settings.SensMat, "GaAs");
    EXPECT_FALSE(settings.DoLog);
    EXPECT_EQ(messages(),
              "[ERROR] -1031 : Non existing parameter name: \"TimeSamplin\"\n"
              "[ERROR] -1031 : Non existing parameter name: \"do_log_time\"\n");
}

TEST_F(ParamFile, MissingFileIsRaised) {
    std::string missing = stem + "_missing.txt";
    try {
        zel::readParamFile(missing, settings, to);
        FAIL() << "no error raised";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "-1000");
    }
    EXPECT_EQ(settings.ParamFileName, missing);
    EXPECT_EQ(messages(), "[ERROR] -1000 : Can not open parameters file in path " + missing + ".\n");
}

TEST_F(ParamFile, AbortAfterReadingEndsTheProcess) {
    writeParam("TimeSampling 5\nDoAbortAfterParamRead = True\n");
    EXPECT_EXIT(zel::readParamFile(paramPath, settings, to), ::testing::ExitedWithCode(0), "");
}

}  // namespace
