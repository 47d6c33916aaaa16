#include "analysis/EventListMatching.h"

#include <gtest/gtest.h>

#include "AnalysisTestSupport.h"

namespace {

using zel::EventListMatching;

struct EventListMatchingTest : ::testing::Test, zeltest::LoggedDir {
    // The CdTe list first in the file, the Si list (the main one) second: without DetectorID columns the
    // detectors are numbered 0 (CdTe) and 1 (Si) by their place.
    void writeLists(const std::string& extra = "") {
        tmp.write("si.elist", "X\tY\tE\tT\npx\tpx\tkeV\tns\n10\t11\t20\t1000\n12\t13\t30\t5000\n14\t15\t40\t9000\n");
        tmp.write("cdte.elist", "X\tY\tE\tT\npx\tpx\tkeV\tns\n20\t21\t642\t1050\n22\t23\t632\t5300\n"
                                "24\t25\t622\t8900\n");
        tmp.write("match.ini", "[Settings]\nTimeCoincWindow = 200\n\n[Export]\nDoExportFileTimeDiff = 1\n"
                               "FileOut_Path = \"" + tmp.dir() + "\"\nFileOut_Name = \"matched.elist\"\n" + extra +
                               "\n[ElistCdTe]\nFileIn_Path = \"" + tmp.dir() + "\"\nFileIn_Name = \"cdte.elist\"\n"
                               "IsMain = 0\n\n[ElistSi]\nFileIn_Path = \"" + tmp.dir() +
                               "\"\nFileIn_Name = \"si.elist\"\nIsMain = 1\n");
    }
};

TEST_F(EventListMatchingTest, ClustersWithinTheWindowJoinTheMainClustersEvent) {
    writeLists();
    EventListMatching matching;
    ASSERT_EQ(matching.init(tmp.dir(), "match.ini", to, -5900), 0) << logText();
    ASSERT_EQ(matching.run(), 0) << logText();
    EXPECT_EQ(matching.countEvents(), 3);
    EXPECT_EQ(matching.countMatched(), 2);
    EXPECT_EQ(matching.countUnmatched(), 1);  // 300 ns after the second Si cluster
    EXPECT_EQ(zeltest::TempDir::read(tmp.file("matched.elist")),
              "DetectorID\tEventID\tX\tY\tE\tT\n-\t-\tpx\tpx\tkeV\tns\n"
              "1\t0\t10\t11\t20\t1000.000\n0\t0\t20\t21\t642\t1050.000\n"
              "1\t1\t12\t13\t30\t5000.000\n"
              "1\t2\t14\t15\t40\t9000.000\n0\t2\t24\t25\t622\t8900.000\n");
    EXPECT_EQ(zeltest::TempDir::read(tmp.file("FileTimeDiff.txt")), "50\n-100\n");
    EXPECT_EQ(matching.timeDifferences()->GetName(), "Hist1D_TimeDiff");

    // Kept unmatched clusters become events of their own after the main list's.
    writeLists("DoClusterExport = 1\n");
    EventListMatching all;
    ASSERT_EQ(all.init(tmp.dir(), "match.ini", to, -5900), 0);
    ASSERT_EQ(all.run(), 0);
    EXPECT_NE(all.outputText().find("0\t3\t22\t23\t632\t5300.000\n"), std::string::npos) << all.outputText();
}

TEST_F(EventListMatchingTest, BadConfigurations) {
    EventListMatching matching;
    EXPECT_NE(matching.init(tmp.dir(), "missing.ini", to, -5900), 0);
    EXPECT_TRUE(logHas("Can not open config file: " + tmp.dir() + "missing.ini"));
    EXPECT_TRUE(logHas("Can not initialize elists because config file is not opened."));

    tmp.write("one.ini", "[ElistA]\nFileIn_Path = \"" + tmp.dir() + "\"\nFileIn_Name = \"a.elist\"\nIsMain = 1\n");
    EXPECT_NE(matching.init(tmp.dir(), "one.ini", to, -5900), 0);
    EXPECT_TRUE(logHas("lists: 1, main lists: 1"));

    writeLists();
    tmp.write("cdte.elist", "X\tY\tE\tT\npx\tpx\tkeV\tns\n");
    ASSERT_EQ(matching.init(tmp.dir(), "match.ini", to, -5900), 0);
    EXPECT_EQ(matching.run(), -5900 - EventListMatching::kEmptyList);
    EXPECT_TRUE(logHas("Empty elist: " + tmp.dir() + "cdte.elist"));
}

}  // namespace
