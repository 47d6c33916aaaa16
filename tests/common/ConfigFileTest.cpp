#include "common/ConfigFile.h"

#include <gtest/gtest.h>

#include "common/BoundedLine.h"
#include "support/LoggedDir.h"

namespace {

using zel::ConfigFile;
using zel::ConfigParameter;

// A scratch directory with a log that receives the file's messages (nothing goes to the console).
struct ConfigFileTest : ::testing::Test {
    zeltest::LoggedDir tmp{"zel_ini"};

    std::string directory() const { return tmp.dir(); }
    std::string logText() { return tmp.messages(); }
    ConfigFile quietFile(const std::string& directory, const std::string& name, int base = 0) {
        ConfigFile file(directory, name);
        file.setMessageTarget(tmp.target());
        file.setErrorCodeBase(base);
        return file;
    }
    ConfigFile fileWith(const std::string& content, int base = 0) {
        tmp.write("test.ini", content);
        return quietFile(directory(), "test.ini", base);
    }
    // Loads while catching the codes written to the error stream.
    int load(ConfigFile& file, std::string* errorStream = nullptr) {
        ::testing::internal::CaptureStderr();
        int result = file.load();
        std::string codes = ::testing::internal::GetCapturedStderr();
        if (errorStream != nullptr) *errorStream = codes;
        return result;
    }
    std::vector<double> numbers(const std::string& valueText) {
        ConfigFile file = fileWith("[S]\nKey = " + valueText + "\n");
        EXPECT_EQ(load(file), 0);
        return file.getParameter("Key", "S").numbers;
    }
};

TEST_F(ConfigFileTest, EmptyFileReportsNoSectionThenNothingLoaded) {
    ConfigFile file = fileWith("", -5100);
    std::string codes;
    EXPECT_EQ(load(file, &codes), (-5100 - 105) + (-5100 - 104));
    EXPECT_EQ(codes, "-5205;-5204;");
    EXPECT_EQ(logText(),
              "[ERROR] -5205 : No section loaded.\n"
              "[ERROR] -5204 : Error occurred during file read. No sections were loaded.\n");
    EXPECT_FALSE(file.isLoaded());
    EXPECT_FALSE(file.isPartlyLoaded());
}

TEST_F(ConfigFileTest, MissingFileReportsItsPathUnlessLoadingIsSkipped) {
    ConfigFile file = quietFile(directory(), "absent.ini");
    EXPECT_EQ(load(file), -101);
    EXPECT_EQ(logText(), "[ERROR] -101 : Can not open input file: " + directory() + "absent.ini\n");
    ConfigFile skipped(directory(), "absent.ini");
    skipped.setSkipLoad(true);
    EXPECT_EQ(skipped.load(), 0);
    EXPECT_TRUE(skipped.sections().empty());
}

TEST_F(ConfigFileTest, NumberTokensAndListEnds) {
    const std::pair<const char*, std::vector<double>> cases[] = {
        {"1 2.5e3 -4", {1, 2500, -4}}, {"1,2;3", {1, 2}}, {"1 ;x 3", {1, 3}},  {"1E5", {1, 5}},
        {"7#8", {7}},                  {"+5 .5 1-2 - 1e999", {5, 0.5, 1}},    {"none", {}}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(numbers(text), expected) << text;
}

TEST_F(ConfigFileTest, QuotedValuesAreStringsOnly) {
    ConfigFile file = fileWith("[S]\nNames = \"a b\" , \"c\"\nMixed = 12 \"x\" 3\nOpen = \"tail end\n");
    ASSERT_EQ(load(file), 0);
    EXPECT_EQ(file.getStrings("Names", "S"), (std::vector<std::string>{"a b", "c"}));
    EXPECT_EQ(file.getStrings("Mixed", "S"), (std::vector<std::string>{"x"}));
    EXPECT_TRUE(file.getParameter("Names", "S").numbers.empty() && file.getParameter("Mixed", "S").numbers.empty());
    EXPECT_EQ(file.getStrings("Open", "S"), (std::vector<std::string>{"tail end"}));
}

TEST_F(ConfigFileTest, KeyTextRules) {
    ConfigFile file = fileWith("[S]\nmy key = 3\n\tkey   = 4\n= 5\n");
    std::string codes;
    EXPECT_EQ(load(file, &codes), (-111 - 110) + (-108 - 110));
    EXPECT_EQ(codes, "-111;-110;-108;-110;");
    EXPECT_EQ(logText(),
              "[ERROR] -111 : Incorrect parameter name: my key \n"
              "[ERROR] -110 : Fail to load parameter at line 2.\n"
              "[ERROR] -108 : Parameters name could not be loaded.\n"
              "[ERROR] -110 : Fail to load parameter at line 4.\n"
              "[WARNING]  Error occurred during file read, but some parts of file were loaded.\n");
    EXPECT_EQ(file.getParameter("key", "S").numbers, (std::vector<double>{4}));
    EXPECT_FALSE(file.hasParameter("my", "S"));
    EXPECT_TRUE(file.isLoaded());
    EXPECT_TRUE(file.isPartlyLoaded());
}

TEST_F(ConfigFileTest, IgnoredLinesAndComments) {
    ConfigFile file = fileWith("Early = 1\n; note = 2\n# note = 3\n[S]\nno equals here\n\nA = 4\r\n ;x = 5\n");
    EXPECT_EQ(load(file), -111 - 110);
    const zel::ConfigSection* section = file.getSection("S");
    ASSERT_NE(section, nullptr);
    ASSERT_EQ(section->parameters.size(), 1u);
    EXPECT_EQ(section->parameters[0].key, "A");
    EXPECT_FALSE(file.hasParameter("Early", "S"));
}

TEST_F(ConfigFileTest, DuplicatesKeepTheFirst) {
    ConfigFile file = fileWith("[S]\nA = 1\nA = 2\n[T]\nB = 1\n[S]\nC = 3\n[]\nD = 4\n[U] trailing\nE = 5\n");
    std::string codes;
    EXPECT_EQ(load(file, &codes), -107 - 103 - 106);
    EXPECT_EQ(codes, "-107;-103;-106;");
    for (const char* message : {"Parameters with the given key A is already in the section S. Line 3.\n",
                                "Section with key S already exists in the file. Line 6.\n",
                                "Failed to load section name at line 8.\n"})
        EXPECT_NE(logText().find(message), std::string::npos) << message;
    ASSERT_EQ(file.sections().size(), 3u);
    EXPECT_EQ(file.getParameter("A", "S").numbers, (std::vector<double>{1}));
    EXPECT_FALSE(file.hasParameter("C", "S"));
    EXPECT_EQ(file.getParameter("D").key, "ParNotFound");
    EXPECT_EQ(file.getParameter("E", "U").numbers, (std::vector<double>{5}));
}

TEST_F(ConfigFileTest, LookupsAndMisses) {
    ConfigFile file = fileWith("[S]\nA = 1\n[T]\nA = 2\nParNotFound = 9\nEmpty =\n");
    ASSERT_EQ(load(file), 0);
    EXPECT_EQ(file.getParameter("A").numbers, (std::vector<double>{1}));
    EXPECT_EQ(file.getParameter("A", "T").numbers, (std::vector<double>{2}));
    EXPECT_EQ(file.getParameter("A", *file.getSection("T")).numbers, (std::vector<double>{2}));
    ConfigParameter miss = file.getParameter("a", "S");
    EXPECT_EQ(miss.key, "ParNotFound");
    EXPECT_TRUE(miss.numbers.empty() && miss.strings.empty());
    EXPECT_FALSE(file.hasParameter("ParNotFound", "T"));
    EXPECT_FALSE(file.hasParameter("A", "Missing"));
    EXPECT_TRUE(file.hasParameter("Empty", *file.getSection("T")));
    EXPECT_TRUE(file.getStrings("A", "Missing").empty());
}

TEST_F(ConfigFileTest, BuildingInMemory) {
    ConfigFile file;
    file.setMessageTarget(tmp.target());
    file.addSection("S");
    file.addSection("S");
    EXPECT_EQ(logText(), "Section already exist.\n");
    file.addParameter("S", "Text", "abc");
    file.addParameter("S", "Value", 2.5);
    file.addParameter("S", "Value", 7.0);
    file.addParameter("S", "List", {1, 2});
    file.addParameter("S", "Names", {"x", "y"});
    file.addParameter("Missing", "Lost", 1.0);
    file.addParameter("New", ConfigParameter{"P", {}, {3}});
    file.addParameter("New", ConfigParameter{"P", {}, {4}});

    EXPECT_EQ(file.getParameter("Value", "S").numbers, (std::vector<double>{2.5}));
    EXPECT_EQ(file.getParameter("List", "S").numbers, (std::vector<double>{1, 2}));
    EXPECT_EQ(file.getStrings("Names", "S"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(file.getStrings("Text", "S"), (std::vector<std::string>{"abc"}));
    EXPECT_EQ(file.getSection("Missing"), nullptr);
    EXPECT_EQ(file.getParameter("P", "New").numbers, (std::vector<double>{3}));
    EXPECT_EQ(file.describeParameter(ConfigParameter{"K", {"a", "b"}, {0.5, 1e-7}}, false), "\"K\"=|a|b|0.5|1e-07|");
    EXPECT_EQ(file.outputDirectory() + file.outputFileName(), "./File.ini");
}

TEST_F(ConfigFileTest, SaveReadsBackTheSameContent) {
    ConfigFile written = quietFile(directory(), "round.ini");
    written.addSection("Hist");
    written.addParameter("Hist", "Bins", std::vector<double>{0, 0.25, 1e-5, -3, 123456});
    written.addParameter("Hist", "Names", std::vector<std::string>{"E", "Size with blank", ""});
    written.addParameter("Hist", "Nothing", std::vector<double>{});
    written.addSection("Other");
    written.addParameter("Other", "Flag", 1.0);
    ASSERT_EQ(written.save(), 0);
    EXPECT_EQ(zeltest::TempDir::read(tmp.file("round.ini")),
              "[Hist]\n\nBins=0,0.25,1e-05,-3,123456\nNames=\"E\",\"Size with blank\",\"\"\nNothing=\n\n"
              "[Other]\n\nFlag=1\n\n");

    ConfigFile read(directory(), "round.ini");
    ASSERT_EQ(load(read), 0);
    ASSERT_EQ(read.sections().size(), written.sections().size());
    for (size_t s = 0; s < read.sections().size(); ++s) {
        const auto& a = *written.sections()[s];
        const auto& b = *read.sections()[s];
        EXPECT_EQ(a.name, b.name);
        ASSERT_EQ(a.parameters.size(), b.parameters.size());
        for (size_t p = 0; p < a.parameters.size(); ++p) {
            const ConfigParameter &x = a.parameters[p], &y = b.parameters[p];
            EXPECT_TRUE(x.key == y.key && x.strings == y.strings && x.numbers == y.numbers) << x.key;
        }
    }
}

TEST_F(ConfigFileTest, SaveToMissingDirectoryFails) {
    ConfigFile file = quietFile(directory() + "missing/", "x.ini", -5000);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(file.save(), -5112);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "-5112;");
}

TEST_F(ConfigFileTest, OverlongLineEndsTheReadingWithItsNumber) {
    const std::string overlong(zel::kMaxSettingsLineLength + 1, 'x');
    ConfigFile file = fileWith("[First]\nKey = 1\nOther = " + overlong + "\n[Second]\nKey = 2\n", -5100);
    EXPECT_EQ(load(file), -5100 - 113);
    EXPECT_NE(logText().find("[ERROR] -5213 : Line 3 of " + directory() + "test.ini is longer than " +
                             std::to_string(zel::kMaxSettingsLineLength) + " characters."),
              std::string::npos);
    EXPECT_TRUE(file.isPartlyLoaded());
    EXPECT_EQ(file.getParameter("Key", "First").numbers, std::vector<double>{1});
    EXPECT_EQ(file.getSection("Second"), nullptr) << "nothing after the line is read";
}

}  // namespace
