#include "filter/Filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "support/LoggedDir.h"

namespace {

using zel::ClusterBatch;
using zel::Filter;
using Row = std::vector<double>;

const std::vector<std::string> kNames = {"EventID", "E", "Size", "Height", "FilterPass"};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kNotInit = "Init has not been done or fialed. Filter pass checking can not be done. (returns false)";

// Two energy windows and one size window, among keys that must add nothing.
constexpr const char* kTwoVariables =
    "[Output]\nFileOut_Name = \"Filtered\"\n"
    "[E]\nLow = 10, 500\nHigh = 800 1200 7\nSingle = 3\nText = \"1 2\"\n"
    "[Size]\nAny = 2, 4\n";

// A scratch directory whose log receives the filter's messages (nothing goes to the console).
struct FilterTest : ::testing::Test {
    zeltest::LoggedDir tmp{"zel_filter"};

    zel::MessageTarget to() { return tmp.target(); }
    std::string logText() { return tmp.messages(); }

    Filter fromFile(const std::string& content, const std::vector<std::string>* names = &kNames) {
        tmp.write("Filter.ini", content);
        Filter filter(tmp.dir(), "Filter.ini", to(), -5000);
        if (names != nullptr) filter.init(*names);
        return filter;
    }
    static Row row(double e, double size, double height = 0) { return {1, e, size, height, 0}; }
};

TEST_F(FilterTest, EveryVariableMustLieInOneOfItsRangesBoundsIncluded) {
    Filter filter = fromFile(kTwoVariables);
    ASSERT_EQ(filter.entryCount(), 2u);
    EXPECT_EQ(filter.entries()[0].ranges.size(), 2u);
    EXPECT_EQ(filter.entries()[0].column, 1);
    EXPECT_EQ(filter.entries()[1].column, 2);
    for (const Row& pass : {row(100, 3), row(1000, 3), row(10, 2), row(500, 4), row(1200, 4)})
        EXPECT_TRUE(filter.passes(pass)) << pass[1] << " " << pass[2];
    for (const Row& fail : {row(600, 3), row(100, 5), row(std::nextafter(10.0, 0.0), 3), row(1200.001, 3),
                            row(kNaN, 3), row(100, kNaN)})
        EXPECT_FALSE(filter.passes(fail)) << fail[1] << " " << fail[2];
    // A row too short for the Size column is judged on the energy alone.
    EXPECT_TRUE(filter.passes(Row{1, 100}));
    EXPECT_FALSE(filter.passes(Row{1, 600}));
    EXPECT_EQ(logText(), "");
}

TEST_F(FilterTest, BadRangesAndKeysWithoutTwoNumbersAddNothing) {
    Filter filter = fromFile("[E]\nBackwards = 500, 10\nOne = 5\n[Size]\nNone =\n");
    EXPECT_FALSE(filter.addRange(0, 1, ""));
    EXPECT_EQ(filter.entryCount(), 0u);
    EXPECT_EQ(logText(), "[ERROR]    Add filter failed.\n\n[ERROR]    Add filter failed.\n\n");
    EXPECT_TRUE(filter.passes(row(kNaN, kNaN)));
    EXPECT_EQ(filter.tableText(), "No filters");
}

TEST_F(FilterTest, MissingFileIsReportedAndRefusedAtInit) {
    ::testing::internal::CaptureStderr();
    Filter filter(tmp.dir(), "Filter.ini", to(), -5000);
    EXPECT_EQ(filter.init(kNames), -5102);
    EXPECT_FALSE(filter.isInitialised());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "-5101;-5104;-5102;");
    EXPECT_EQ(logText(), "[ERROR] -5101 : Can not open input file: " + tmp.file("Filter.ini") + "\n"
                         "[ERROR] -5104 : Read of config file during config load failed.\n"
                         "[ERROR] -5102 : Load of configuration failed in constructor with creation of config.\n");
}

TEST_F(FilterTest, UnknownVariablesAreRemovedAndTheRestStillWork) {
    // Two unknown sections in a row: the second moves into the first one's place and must be examined too.
    Filter filter = fromFile("[Energy]\nA = 0, 1\n[e]\nA = 0, 1\n[Height]\nA = 5, 6\n[E]\nA = 10, 20\n");
    ASSERT_EQ(filter.entryCount(), 2u);
    EXPECT_EQ(filter.entries()[0].column, 3);
    EXPECT_EQ(logText(), "[WARNING]  Filter condition was not found in index mapping: Energy .It is removed.\n"
                         "[WARNING]  Filter condition was not found in index mapping: e .It is removed.\n");
    EXPECT_TRUE(filter.passes(row(15, 100, 5.5)));
    EXPECT_FALSE(filter.passes(row(15, 100, 7)));
    EXPECT_FALSE(filter.passes(row(25, 100, 5.5)));

    // Without a variable list the entries take their positions as columns.
    filter.init({});
    EXPECT_EQ(filter.entries()[1].column, 1);
    EXPECT_TRUE(filter.passes(Row{5.5, 15}));
    EXPECT_TRUE(logText().ends_with("[WARNING]  Filters have names but variable names was not given. "
                                    "Indexes of filters are based on their order.\n"));
}

TEST_F(FilterTest, BatchStepWritesVerdictsAndCountsFailures) {
    Filter filter = fromFile(kTwoVariables);
    ClusterBatch empty(5);
    EXPECT_EQ(filter.processBatch(empty), -3010);  // no column yet
    filter.setPassColumn(4);
    ClusterBatch batch = ClusterBatch::fromRows({row(100, 3), row(600, 3), row(1000, 2), row(kNaN, 3), row(20, 9)});
    ASSERT_EQ(filter.processBatch(batch), 0);
    const double expected[] = {1, 0, 1, 0, 0};
    for (size_t r = 0; r < batch.size(); ++r) EXPECT_EQ(batch.at(r, 4), expected[r]) << "row " << r;
    EXPECT_EQ(filter.failedInLastBatch(), 3);
    EXPECT_EQ(filter.processBatch(empty), -3010);
    EXPECT_EQ(logText(), "[ERROR] -3010 : Error occurred during filtering.\n"
                         "[ERROR] -3010 : Error occurred during filtering.\n");
}

TEST_F(FilterTest, CheckBeforeInitFailsOnceWithoutCodeOnErrorStream) {
    Filter filter = fromFile(kTwoVariables, nullptr);
    filter.setPassColumn(4);
    ClusterBatch batch = ClusterBatch::fromRows({row(100, 3, 0), row(100, 3, 0)});
    batch.at(0, 4) = 1.0;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(filter.passes(row(100, 3)));
    EXPECT_EQ(filter.processBatch(batch), -5108);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(batch.at(0, 4), 0.0);
    EXPECT_EQ(filter.failedInLastBatch(), 2);
    EXPECT_EQ(logText(), std::string("[ERROR] -5108 : ") + kNotInit + "\n[ERROR] -5108 : " + kNotInit + "\n");
}

TEST_F(FilterTest, TableListsEveryRangeWithTheLastMarked) {
    Filter filter = fromFile("[E]\nA = 10, 500\nB = 800, 1200.5\n[Size]\nA = 1, 2e6\n");
    filter.printTable(to());
    EXPECT_EQ(logText(), "Conditions are logically connected as AND for different variables (within always as AND)\n\n"
                         "    INDEX|NAME\t      CONDITIONS [min|max]\n\n"
                         "\t1|E\n\t |-----------[10|500]\n\t '-----------[800|1200.5]\n"
                         "\t2|Size\n\t '-----------[1|2e+06]\n\n");
}

}  // namespace
