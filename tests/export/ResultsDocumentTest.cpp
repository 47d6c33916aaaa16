#include "export/ResultsDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>

#include "support/TempDir.h"

namespace {

using zel::formatResultNumber;
using zel::jsonKey;
using zel::ResultsDocument;

using zeltest::TempDir;

TEST(ResultNumberFormat, PrecisionFollowsMagnitude) {
    // Whole values beyond 32 bits keep their decimals; values below 1e-40 count no leading zeros.
    const struct {
        double value;
        int precision;
        const char* text;
    } cases[] = {{12.0, 4, "12"},  {0.00123, 2, "0.00123"}, {0.0, 4, "0"},   {-0.0, 4, "-0"}, {1.5, 2, "1.50"},
                 {-0.5, 1, "-0.50"}, {-3.0, 2, "-3.00"},    {3.14159, -3, "3"}, {3e9, 1, "3000000000.0"},
                 {1e-50, 2, "0.00"}, {1e250, 2, "1.00e+250"}, {std::numeric_limits<double>::quiet_NaN(), 1, "nan"}};
    for (const auto& c : cases) EXPECT_EQ(formatResultNumber(c.value, c.precision), c.text) << c.value;
}

TEST(ResultJsonKey, UnitRules) {
    EXPECT_EQ(jsonKey("TimeLive_Sum", "s+1"), "TimeLive_Sum_s+1");
    EXPECT_EQ(jsonKey("CountSample", "-"), "CountSample_cnt");
    EXPECT_EQ(jsonKey("ProbResult", "%"), "ProbResult_perc");
    EXPECT_EQ(jsonKey("Flux_Sum", "cm-2 s-1"), "Flux_Sum_cm-2s-1");
    EXPECT_EQ(jsonKey("SectionName", ""), "SectionName");
}

struct ResultsDocumentTest : ::testing::Test {
    TempDir tmp{"zel_doc"};
    std::string directory() const { return tmp.dir(); }
    std::string read(const std::string& name) const { return TempDir::read(tmp.file(name)); }

    ResultsDocument document(bool arrayMode) {
        ResultsDocument doc;
        doc.setImmediate(false);
        doc.setDirectory(directory());
        doc.setBaseName("List");
        doc.setArrayMode(arrayMode);
        doc.setLabelWidth(20);
        doc.setValueListLimit(3);
        return doc;
    }

    // One list with every kind of value, in plain or web layout.
    void writeSample(ResultsDocument& doc) {
        const std::vector<std::string> classes{"Proton", "Electron \"e\""};
        const std::vector<double> series{1, 2.5, 0.004, 7};
        const std::vector<std::string> columns{"ClassNum", "Count", "Dose"};
        const std::vector<std::string> labels{"0", "Others"};
        const std::vector<std::vector<double>> rows{{10, 0.5}, {3, 0.25}};
        doc.open();
        doc.section("General information");
        doc.beginWebTable(zel::web::kScalarTable, "General information");
        doc.addNumber("TimeLive_Sum", 12.0, "s+1", 9);
        doc.addInteger("CountSample", 4, "-");
        doc.addString("Method", "Distance comparator");
        doc.addStringList("ClassNames", classes);
        doc.endWebTable(false);
        doc.addWebFeature(zel::web::kHistogram1D, "Histogram of time difference", "TimeDiff_Coinc", false);
        doc.subsection("Sampling");
        doc.beginWebTable(zel::web::kTable, "Sampling information");
        doc.addNumberList("Flux_Sum_Sample", series, "cm-2 s-1", 4);
        doc.addTable("TotalValues_Class", columns, labels, rows, "", 4);
        doc.endWebTable(true);
        doc.dropLastComma();
        doc.close();
    }
};

TEST_F(ResultsDocumentTest, PlainLayoutIsOneJsonObject) {
    ResultsDocument doc = document(false);
    writeSample(doc);
    ASSERT_EQ(doc.flush(), 0);

    nlohmann::json json = nlohmann::json::parse(read("List.json"));
    ASSERT_TRUE(json.is_object());
    EXPECT_EQ(json["TimeLive_Sum_s+1"], 12);
    EXPECT_EQ(json["CountSample_cnt"], 4);
    EXPECT_EQ(json["Method"], "Distance comparator");
    EXPECT_EQ(json["ClassNames"], (std::vector<std::string>{"Proton", "Electron \"e\""}));
    EXPECT_EQ(json["Flux_Sum_Sample_cm-2s-1"], (std::vector<double>{1, 2.5, 0.004, 7}));
    EXPECT_EQ(json["TotalValues_ClassCount"], (std::vector<double>{10, 3}));
    EXPECT_EQ(json["TotalValues_ClassDose"], (std::vector<double>{0.5, 0.25}));
    EXPECT_FALSE(json.contains("TotalValues_ClassClassNum"));
    EXPECT_FALSE(json.contains("SectionType"));
    EXPECT_EQ(json.size(), 7u);
}

TEST_F(ResultsDocumentTest, WebLayoutIsAnArrayOfTablesWithTheSameText) {
    ResultsDocument plain = document(false);
    writeSample(plain);
    ASSERT_EQ(plain.flush(), 0);
    const std::string plainText = read("List.txt");

    ResultsDocument web = document(true);
    writeSample(web);
    ASSERT_EQ(web.flush(), 0);
    EXPECT_EQ(read("List.txt"), plainText);

    nlohmann::json json = nlohmann::json::parse(read("List.json"));
    ASSERT_TRUE(json.is_array());
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0]["SectionType"], (std::vector<std::string>{"1DTable"}));
    EXPECT_EQ(json[0]["SectionName"], "General information");
    EXPECT_EQ(json[0]["Data"]["CountSample_cnt"], 4);
    EXPECT_EQ(json[0]["Data"].size(), 4u);
    EXPECT_EQ(json[1], (nlohmann::json{{"SectionType", {"1DHistogram"}},
                                       {"SectionName", "Histogram of time difference"},
                                       {"Feature", "TimeDiff_Coinc"}}));
    EXPECT_EQ(json[2]["SectionType"], (std::vector<std::string>{"2DTable"}));
    EXPECT_EQ(json[2]["Data"]["TotalValues_ClassDose"], (std::vector<double>{0.5, 0.25}));

    const std::string text = read("List.json");
    EXPECT_EQ(text.substr(0, text.find("\t\"SectionName")), "[\n\n{\n\t\"SectionType\":[ \"1DTable\"],\n");
    EXPECT_NE(text.find("\n\t\"Data\":{\n\t\t\"TimeLive_Sum_s+1\":12,\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "]\n");
}

TEST_F(ResultsDocumentTest, JsonLineForms) {
    ResultsDocument doc = document(false);
    doc.open();
    const std::vector<double> one{5};
    const std::vector<std::string> names{"a", "b"};
    doc.addNumberList("Key", one, "unit", 0);
    doc.addStringList("Names", names);
    doc.addString("ProbResult", "97.50", "%");
    doc.setJsonIndent("\t");
    doc.addNumber("Last", 0.00123, "-", 2);
    doc.blank();
    doc.dropLastComma();
    doc.close();
    ASSERT_EQ(doc.flush(), 0);
    EXPECT_EQ(read("List.json"),
              "{\n\"Key_unit\":[ 5 ],\n\"Names\":[ \"a\", \"b\"],\n\"ProbResult_perc\":\"97.50\",\n"
              "\t\"Last_cnt\":0.00123 \n\n}\n");
}

TEST_F(ResultsDocumentTest, TextLayout) {
    ResultsDocument doc = document(false);
    doc.setJsonEnabled(false);
    doc.open();
    doc.section("General information");
    doc.subsection("Mask");
    const std::vector<double> values{1, 2, 3, 4};
    const std::vector<double> three{1, 2, 3};
    doc.addNumberList("Values", values, "s-1", 0);
    doc.addNumberList("Three", three, "", 0);
    doc.addNumber("AVeryLongNameBeyondWidth", 2, "-", 0);
    const std::vector<std::string> columns{"SamplingNum", "Count"};
    const std::vector<std::string> labels{"0", "1"};
    const std::vector<std::vector<double>> rows{{12, 1.5}, {7, 100}};
    doc.addTable("Table", columns, labels, rows, "-", 1);
    doc.close();
    ASSERT_EQ(doc.flush(), 0);
    EXPECT_FALSE(std::filesystem::exists(directory() + "List.json"));

    const std::string rule(72, '=');
    const std::string dashes(50, '-');
    EXPECT_EQ(read("List.txt"),
              "\n" + rule + "\n" + std::string(26, ' ') + "GENERAL INFORMATION\n" + rule + "\n" +
                  "\n" + dashes + "\nMASK\n" + dashes + "\n" +
                  "Values [s-1]:       1, 2, 3, ...\n"
                  "Three :             1, 2, 3\n"
                  "AVeryLongNameBeyondWidth [-]:2\n"
                  "Table [-]:\n"
                  "     SamplingNum    Count  NO_NAME\n"
                  "     0                 12      1.5\n"
                  "     1                  7      100\n"
                  "\n");
}

TEST_F(ResultsDocumentTest, FlushResultCodes) {
    ResultsDocument never = document(false);
    EXPECT_EQ(never.flush(), ResultsDocument::kNeverOpened);

    ResultsDocument immediate;
    immediate.setDirectory(directory());
    immediate.setBaseName("Now");
    immediate.open();
    immediate.addInteger("A", 1, "");
    EXPECT_EQ(immediate.flush(), ResultsDocument::kImmediate);
    EXPECT_EQ(read("Now.json"), "{\"A\":1,");
}

TEST_F(ResultsDocumentTest, FailedFlushLeavesNoFileBehind) {
    ResultsDocument missing = document(false);
    missing.setDirectory(directory() + "missing/");
    writeSample(missing);
    EXPECT_EQ(missing.flush(), ResultsDocument::kCannotOpen);
    EXPECT_FALSE(std::filesystem::exists(directory() + "missing"));

    // The final name is taken by a directory: the written temporary file must not stay.
    std::filesystem::create_directory(tmp.file("List.json"));
    ResultsDocument blocked = document(false);
    writeSample(blocked);
    EXPECT_EQ(blocked.flush(), ResultsDocument::kCannotOpen);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(tmp.dir())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"List.json", "List.txt"}));
}

}  // namespace
