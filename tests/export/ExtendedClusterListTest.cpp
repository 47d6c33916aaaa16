#include "export/ExtendedClusterList.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/LoggedDir.h"

namespace {

using zel::ClusterBatch;
using zel::ExtendedClusterList;
using zeltest::TempDir;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kClist = "DetectorID\tEventID\tX\r\n-\t-\tpx\r\n0\t1\t10.5\r\n# note\r\n0\t2\t20.5\r\n\r\n0\t3\t30.5\r\n0\t4\t40.5\r\n";
const std::string kHeader = "DetectorID\tEventID\tX\tPIDClass\tFilterPass\n-\t-\tpx\t-\t-\n";

// Engine rows hold X, EventID, PIDClass, FilterPass, IsSensEdge.
class ExtClist : public ::testing::Test {
protected:
    ExtClist() { setup = {dir.file("CList.clist"), dir.file("CListExt.clist"), true, 2, 3, 4, false, false}; }
    void writeClist(const std::string& text) { std::ofstream(setup.clusterListName, std::ios::binary) << text; }
    std::string messages() { return dir.messages(); }
    zel::MessageTarget to() { return dir.target(); }

    zeltest::LoggedDir dir{"zel_extclist"};
    zel::ExtendedClusterListSetup setup;
};

TEST_F(ExtClist, LinesGainClassAndFilterValuesInOrderAcrossBatches) {
    writeClist(kClist);
    ExtendedClusterList list(setup);
    ASSERT_EQ(list.append(ClusterBatch::fromRows({{10.5, 1, 0, 1, 0}, {20.5, 2, -1, 0, 0}}), to()), 0);
    ASSERT_EQ(list.append(ClusterBatch::fromRows({{30.5, 3, 2, 1, 1}, {40.5, 4, 1, 1, 0}}), to()), 0);
    ASSERT_EQ(list.write(to()), 0);
    EXPECT_EQ(TempDir::read(setup.fullName),
              kHeader + "0\t1\t10.5\t0\t1\n# note\n0\t2\t20.5\t-1\t0\n0\t3\t30.5\t2\t1\n0\t4\t40.5\t1\t1\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 3);  // no scratch file left
}

TEST_F(ExtClist, FilterAndEdgeRulesLeaveClustersOut) {
    writeClist(kClist);
    setup.dropFiltered = setup.dropEdge = true;
    ExtendedClusterList list(setup);
    list.append(ClusterBatch::fromRows({{0, 0, 0, 1, 0}, {0, 0, 1, 0, 0}, {0, 0, 2, 1, kNaN}, {0, 0, 1, 1, 0}}), to());
    ASSERT_EQ(list.write(to()), 0);
    EXPECT_EQ(TempDir::read(setup.fullName), kHeader + "0\t1\t10.5\t0\t1\n# note\n0\t4\t40.5\t1\t1\n");
}

TEST_F(ExtClist, WithoutFilterOnlyTheClassIsAddedAndUnreachedLinesAreLeftOut) {
    writeClist(kClist);
    setup.filterColumn = -1;
    setup.dropFiltered = true;  // nothing fails a filter that is not there
    ExtendedClusterList list(setup);
    list.append(ClusterBatch::fromRows({{0, 0, 1, 0, 0}, {0, 0, 0, 0, 0}}), to());
    ASSERT_EQ(list.write(to()), 0);
    EXPECT_EQ(TempDir::read(setup.fullName), "DetectorID\tEventID\tX\tPIDClass\n-\t-\tpx\t-\n0\t1\t10.5\t1\n# note\n0\t2\t20.5\t0\n");
}

TEST_F(ExtClist, MarksSpanSeveralChunks) {
    constexpr int kRows = 70001;
    std::string text = "X\tY\npx\tpx\n";
    std::vector<std::vector<double>> rows;
    for (int i = 0; i < kRows; ++i) {
        text += std::to_string(i) + "\t0\n";
        rows.push_back({double(i), 0, double(i % 7), 1, 0});
    }
    writeClist(text);
    ExtendedClusterList list(setup);
    ASSERT_EQ(list.append(ClusterBatch::fromRows(rows), to()), 0);
    ASSERT_EQ(list.write(to()), 0);
    std::string expected = "X\tY\tPIDClass\tFilterPass\npx\tpx\t-\t-\n";
    for (int i = 0; i < kRows; ++i) expected += std::to_string(i) + "\t0\t" + std::to_string(i % 7) + "\t1\n";
    EXPECT_TRUE(TempDir::read(setup.fullName) == expected);
}

TEST_F(ExtClist, WarnsWithoutExportedClusterListAndReportsUnreadableLists) {
    writeClist(kClist);
    setup.clusterListExported = false;
    EXPECT_EQ(ExtendedClusterList(setup).write(to()), 0);
    EXPECT_FALSE(std::filesystem::exists(setup.fullName));
    EXPECT_EQ(messages(), "[WARNING]  CList is not exported, therefore extended Clist can not be created.\n");
    setup.clusterListExported = true;

    for (const std::string& header : {std::string(), std::string("X\tY\n")}) {
        writeClist(header);
        EXPECT_EQ(ExtendedClusterList(setup).write(to()), -3017);
    }
    EXPECT_NE(messages().find("[ERROR] -3017 : Can not read header from clist: " + setup.clusterListName + "\n"), std::string::npos);
    std::filesystem::remove(setup.clusterListName);
    EXPECT_EQ(ExtendedClusterList(setup).write(to()), -3016);
    EXPECT_NE(messages().find("[ERROR] -3016 : Clist can not be opened: " + setup.clusterListName + "\n"), std::string::npos);

    writeClist(kClist);
    setup.fullName = dir.file("missing/CListExt.clist");
    ExtendedClusterList list(setup);
    EXPECT_EQ(list.append(ClusterBatch::fromRows({{0, 0, 0, 1, 0}}), to()), -3016);
    EXPECT_EQ(list.write(to()), -3016);
    EXPECT_NE(messages().find("[ERROR] -3016 : ExtClist can not be opened: " + setup.fullName + "\n"), std::string::npos);
}

TEST_F(ExtClist, OverlongLineIsRefusedByItsNumberAndLeavesNoList) {
    const std::string overlong(zel::kMaxInputLineLength + 1, '7');
    const struct {
        std::string text;
        const char* line;
    } cases[] = {
        {overlong + "\n-\n", "Line 1 of "},
        {"DetectorID\tEventID\tX\n-\t-\tpx\n0\t1\t10.5\n" + overlong + "\n0\t3\t30.5\n", "Line 4 of "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        writeClist(c.text);
        ExtendedClusterList list(setup);
        list.append(ClusterBatch::fromRows({{0, 0, 0, 1, 0}, {0, 0, 1, 1, 0}, {0, 0, 2, 1, 0}}), to());
        EXPECT_EQ(list.write(to()), -3017);
        EXPECT_FALSE(std::filesystem::exists(setup.fullName));
        EXPECT_NE(messages().find(c.line + setup.clusterListName + " is longer than " +
                                  std::to_string(zel::kMaxInputLineLength) + " characters."),
                  std::string::npos);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 2);  // no scratch file left
}

}  // namespace
