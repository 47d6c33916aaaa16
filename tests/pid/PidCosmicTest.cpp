// The simplified tree on a real measurement: ground-level background in 300 um silicon, clustered by the clusterer
// program and read back as the engine reads it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "input/Elist.h"
#include "pid/PidModule.h"
#include "support/TempDir.h"

namespace {

TEST(PidCosmic, DotsAndHeavyBlobsOfARealMeasurementLandInTheirBands) {
    const std::string data = std::string(ZEL_SHARED_DATA_DIR) + "/cosmic-tpx-si300/";
    const std::string clusterer = std::string(ZEL_BIN_DIR) + "/clusterer";
    if (!std::filesystem::exists(data + "cosmic.clog")) GTEST_SKIP() << "measurement not present: " << data;
    if (!std::filesystem::exists(clusterer)) GTEST_SKIP() << "clusterer not built: " << clusterer;

    zeltest::TempDir dir("zel_pid_cosmic");
    const std::string command = "\"" + clusterer + "\" --korelist \"" + dir.file("EventList") + "\" -c \"" + data +
                                "\" --el-thickness 300 \"" + data + "cosmic.clog\" >\"" + dir.file("out.txt") + "\" 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;

    const zel::MessageTarget quiet{nullptr, false, false};
    zel::Elist list(dir.dir(), "EventList.korelist", 'r', quiet, -5600);
    ASSERT_EQ(list.init(), 0);
    zel::PidModule::Setup setup{"TPX", "Si", "./", 300.0, 50.0, 101, -1};
    zel::PidModule pid(setup, list.names(), quiet, -4900);
    ASSERT_EQ(pid.init(), 0);
    const size_t size = static_cast<size_t>(list.column(zel::Var::Size));
    const size_t energy = static_cast<size_t>(list.column(zel::Var::E));
    const size_t height = static_cast<size_t>(list.column(zel::Var::Height));

    int dots = 0;
    zel::ClusterBatch batch;
    std::vector<int> classes;
    while (list.hasMoreData()) {
        ASSERT_EQ(list.readBatch(batch), 0);
        ASSERT_EQ(pid.classify(batch, classes, true), 0);
        for (size_t r = 0; r < batch.size(); ++r) {
            // A single pixel of at most 30 keV is below both limits of the low-LET band.
            if (batch.at(r, size) == 1 && batch.at(r, energy) <= 30) {
                ++dots;
                EXPECT_EQ(classes[r], 0) << "dot of " << batch.at(r, energy) << " keV";
            }
            // Above 1000 keV in one pixel a cluster is past the low and mid bands; with more than 120 keV per
            // pixel it is in the high band.
            if (batch.at(r, height) > 1000) {
                EXPECT_TRUE(classes[r] == 2 || classes[r] == -1) << "height " << batch.at(r, height);
                if (batch.at(r, energy) / batch.at(r, size) >= 120) {
                    EXPECT_EQ(classes[r], 2);
                }
            }
        }
    }
    EXPECT_GT(dots, 100);
}

}  // namespace
