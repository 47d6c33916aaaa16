// A filter file with two ranges for one variable and one for another, through a whole file run.
#include "EngineRunSupport.h"

namespace {

struct FilterRun : enginetest::EngineRun {
    void SetUp() override {
        EngineRun::SetUp();
        dir.write("run.elist",
                  "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n"
                  "1\t10\t10\t100\t1e8\t2\n"    // passes
                  "2\t20\t20\t200\t2e8\t3\n"    // energy between the two ranges
                  "3\t30\t30\t300\t3e8\t4\n"    // size outside its range
                  "4\t40\t40\t350\t4e8\t3\n");  // passes
        dir.write("filter.ini", "[E]\nlow = 10, 150\nhigh = 250, 400\n[Size]\nsmall = 2, 3\n");
    }

    void run(const std::string& extra) {
        process(params("run.elist", "DoPID = false\nFilterPath = \"" + dir.dir() + "\"\nFilterName = \"filter.ini\"\n" +
                                        extra));
    }
};

TEST_F(FilterRun, FailedClustersContributeToNoProductAndAreCounted) {
    run("");
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 2);
    EXPECT_DOUBLE_EQ(zel::getEnergyDep(), 450);
    auto json = results();
    EXPECT_EQ(json["CountParticle_Sum_Proc_cnt"], 4);
    EXPECT_EQ(json["CountParticle_Sum_FilterOmit_cnt"], 2);
    EXPECT_EQ(json["CountParticle_Sum_FilterOk_perc"], 50);
    EXPECT_EQ(json["CountParticle_Sum_All_cnt"], 4);
    // The extended event list carries every cluster with its verdict.
    const std::string ext = read("out/File/EventListExt.korelist");
    EXPECT_EQ(ext.substr(0, ext.find('\n')), "EventID\tX\tY\tE\tT\tSize\tFilterPass");
    EXPECT_NE(ext.find("2\t20\t20\t200\t200000000.000\t3\t0\n"), std::string::npos);
    EXPECT_NE(ext.find("4\t40\t40\t350\t400000000.000\t3\t1\n"), std::string::npos);
}

TEST_F(FilterRun, ExtendedListCanLeaveFailedClustersOut) {
    run("DoExportElistFilter = false\n");
    const std::string ext = read("out/File/EventListExt.korelist");
    EXPECT_EQ(ext.find("\t200\t"), std::string::npos);
    EXPECT_EQ(ext.find("\t300\t"), std::string::npos);
    EXPECT_NE(ext.find("\t350\t"), std::string::npos);
}

TEST_F(FilterRun, MissingFilterFileSwitchesTheFilterOff) {
    run("FilterName = \"absent.ini\"\n");
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 4);
    const std::string log = this->log();
    EXPECT_NE(log.find("-1022 : Can not open file with filter config: " + dir.dir() + "absent.ini"), std::string::npos);
    EXPECT_NE(log.find("-1035 : Error occurred during filter module initialization."), std::string::npos);
}

TEST_F(FilterRun, UnreadableFilterFileSwitchesTheFilterOffAndTheRunGoesOn) {
    // Files that the configuration reader refuses: each must leave the filter out, never stop the run.
    for (const char* content : {"[E]\nlow = 10, 150\nlow = 20, 30\n", "[E]\n= 10, 150\n", ""}) {
        SCOPED_TRACE(content);
        zel::destruct();
        ASSERT_EQ(zel::construct(), 0);
        dir.write("filter.ini", content);
        run("");
        EXPECT_DOUBLE_EQ(zel::getCountParticle(), 4);
        const std::string log = zeltest::TempDir::read(dir.file("out/LogFile.txt"));
        EXPECT_NE(log.find("-1035 : Error occurred during filter module initialization."), std::string::npos);
        EXPECT_EQ(log.find("-1036"), std::string::npos);
    }
}

TEST_F(FilterRun, FilterWithoutKnownVariablesIsSwitchedOffWithAWarning) {
    dir.write("filter.ini", "[Energy]\nr = 1, 2\n");
    run("");
    EXPECT_DOUBLE_EQ(zel::getCountParticle(), 4);
    EXPECT_NE(log().find("Filter is switched off."), std::string::npos);
}

}  // namespace
