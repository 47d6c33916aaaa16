#include "input/ElistRecognition.h"

#include "input/Elist.h"

#include "InputTestSupport.h"

#include <gtest/gtest.h>

namespace {

using zel::ElistKind;

const std::vector<std::string> kEngineNames = {"DetectorID", "EventID", "X", "Y", "E", "T", "MyExtra"};

struct ElistName : ::testing::Test {
    zel::test::Scratch scratch;
    ElistKind kind;

    int recognise(const std::string& name, const std::string& text) {
        scratch.write(name, text);
        return zel::recogniseElist(scratch.path(), name, kEngineNames, kind, scratch.target());
    }
    int raised(const std::string& name, const std::string& text) {
        return zeltest::raisedCode([&] { recognise(name, text); });
    }
};

const std::string kValid = "EventID\tX\tY\tT\n-\tpx\tpx\tns\n0\t1\t2\t3\n";

TEST_F(ElistName, NameMarkersThenKnownNamesDecide) {
    const struct {
        const char* name;
        std::string text;
        bool isElist;
    } cases[] = {
        // Name markers decide before the content.
        {"run.elist", kValid, true},
        {"EventList.korelist", kValid, true},
        {"elist_ClusterLog.txt", kValid, false},
        {"clusters.txt", kValid, false},
        // Engine names, known names and older names count.
        {"a.elist", "MyExtra Other\n- -\n1 2\n", true},
        {"b.elist", "LET Other\n- -\n1 2\n", true},
        {"c.elist", "x y t\n- - -\n1 2 3\n", true},
        {"d.elist", "Foo Bar\n- -\n1 2\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(recognise(c.name, c.text), 0);
        EXPECT_EQ(kind.isElist, c.isElist);
    }
}

TEST_F(ElistName, HeaderlessRowsOfElevenNumbersAreElistSimple) {
    EXPECT_EQ(raised("a.elist", "1 2 3 4 5 6 7 8 9 10 11\n1 2 3 4 5 6 7 8 9 10 11\n"), -1014);
    EXPECT_NE(scratch.messages().find("-1014 : Input data recognized as ElistSimple. It can not be processed because "
                                      "the names of variables are missing."),
              std::string::npos);
    // Ten numbers are not enough to call it ElistSimple; without known names it is no event list either.
    EXPECT_EQ(raised("b.elist", "1 2 3 4 5 6 7 8 9 10\n"), 0);
    EXPECT_FALSE(kind.isElist);
}

TEST_F(ElistName, ShortFilesMustAgreeInNamesUnitsAndFirstRow) {
    EXPECT_EQ(raised("a.elist", "EventID X Y T\n- px px\n0 1 2 3\n"), -1016);
    EXPECT_EQ(raised("b.elist", "EventID X Y T\n- px px ns\n0 1 2\n"), -1016);
    EXPECT_EQ(raised("c.elist", "EventID X Y T\n- px px ns\n"), -1016);
    EXPECT_NE(scratch.messages().find("-1016 : Corrupted elist file."), std::string::npos);
    // From five lines on the header is not compared with the rows.
    EXPECT_EQ(raised("d.elist", "EventID X Y T\n- px px\n0 1 2 3\n0 1 2 3\n0 1 2 3\n"), 0);
    EXPECT_TRUE(kind.isElist);
}

TEST_F(ElistName, AHeaderLineBeyondTheLimitIsACorruptedList) {
    const std::string huge(zel::Elist::kMaxHeaderLineLength + 1, 'X');
    EXPECT_EQ(raised("run.elist", "EventID X Y T\n" + huge + "\n0 1 2 3\n"), -1016);
    EXPECT_NE(scratch.messages().find("Corrupted elist file. Line 2 of run.elist is longer than 2097151 characters."),
              std::string::npos);
    EXPECT_EQ(raised("ok.elist", "EventID X Y T\n" + huge.substr(1) + "\n0 1 2 3\n0 1 2 3\n0 1 2 3\n"), 0);
}

TEST_F(ElistName, KindsComeFromUnitsAndClassColumnsAndUnreadableFilesAreReported) {
    ASSERT_EQ(recognise("a.elist", kValid), 0);
    EXPECT_FALSE(kind.unitsSeconds || kind.hasPIDClass || kind.hasFilterPass);
    ASSERT_EQ(recognise("b.elist", "EventID X Y T PIDClass FilterPass\n- px px s - -\n0 1 2 3 1 1\n"), 0);
    EXPECT_TRUE(kind.isElist && kind.unitsSeconds && kind.hasPIDClass && kind.hasFilterPass);
    EXPECT_EQ(zel::recogniseElist(scratch.path(), "none.elist", kEngineNames, kind, scratch.target()), -1015);
    EXPECT_NE(scratch.messages().find("-1015 : Can not open input file: none.elist"), std::string::npos);
}

}  // namespace
