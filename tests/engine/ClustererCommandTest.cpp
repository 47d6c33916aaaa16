#include "engine/ExternalClusterer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/BoundedLine.h"
#include "common/Paths.h"
#include "engine/Settings.h"
#include "support/LoggedDir.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(ClustererCommand, DefaultSettings) {
    const zel::Settings s;
    EXPECT_EQ(zel::buildClustererCommand(s, "in.t3pa", zel::clusterLogName(s, "in.t3pa")),
              "\"./clusterer\"  --korelist \"././File/EventList\"  --frame-start-num 0 "
              " -l \"././File/ClusterLog.clog\"  --el-coinctoadiff 100.000000  --el-thickness 300.000000 "
              " --l2d-corr-formula 1  --log "
              "--stat-file \"././File/ClustererStatFile.txt\"  \"in.t3pa\" ");
}

TEST(ClustererCommand, EveryOptionOnInItsFixedOrder) {
    zel::Settings s;
    s.ClustererPath = "/opt/zel/";
    s.FileOutPath = "/out/";
    s.DoCreateExportDir = false;
    s.ElistOutName = "Events";
    s.CalMat = "/cal/";
    s.IsEnergyCalibrated = false;
    s.DoExportCList = true;
    s.CListName = "Clusters";
    s.MaxFrameOccupancy = 0.25;
    s.FrameStartNum = 12;
    s.MaxPixelCountProc = 150.9;
    s.DoTpxHighEnergyCorr = true;
    s.MeasMode = "itot+count";
    s.TimeCoinc = 50.5;
    s.SensThick = 500.0;
    s.LengthCorr = 2;
    s.DoClustererDebug = true;
    s.ClustererStatPath = "/stat/";
    s.ClustererStatName = "Stat.txt";
    s.FileInPath = "/data/";
    EXPECT_EQ(zel::buildClustererCommand(s, "run.t3pa", "Log.clog"),
              "\"/opt/zel/clusterer\"  --korelist \"/out/Events\"  -c \"/cal/\"  --clust-feat-list \"/out/Clusters\" "
              " --frame-occupancy-limit 0.250000  --frame-start-num 12  --pix-count-max 150  -l \"/out/Log.clog\" "
              " --corr-tpx-high-energy  --measmode \"itot+count\"  --el-coinctoadiff 50.500000 "
              " --el-thickness 500.000000  --l2d-corr-formula 2  --log  --debug --stat-file \"/stat/Stat.txt\" "
              " \"/data/run.t3pa\" ");

    // The program gets the same options as separate arguments, paths without their quotes.
    const Names arguments{"/opt/zel/clusterer", "--korelist", "/out/Events", "-c", "/cal/", "--clust-feat-list",
                          "/out/Clusters", "--frame-occupancy-limit", "0.250000", "--frame-start-num", "12",
                          "--pix-count-max", "150", "-l", "/out/Log.clog", "--corr-tpx-high-energy", "--measmode",
                          "itot+count", "--el-coinctoadiff", "50.500000", "--el-thickness", "500.000000",
                          "--l2d-corr-formula", "2", "--log", "--debug", "--stat-file", "/stat/Stat.txt",
                          "/data/run.t3pa"};
    EXPECT_EQ(zel::makeClustererCommand(s, "run.t3pa", "Log.clog").arguments, arguments);

    s.IsEnergyCalibrated = true;  // calibrated data gets no calibration option
    EXPECT_EQ(zel::buildClustererCommand(s, "run.t3pa", "Log.clog").find(" -c "), std::string::npos);
}

TEST(ClustererCommand, OptionalPartsLeftOutWhenOff) {
    zel::Settings s;
    s.DoReprocElist = false;
    s.DoCreateClog = false;
    s.TimeCoinc = -1;
    s.SensThick = -1;
    s.DoClustererLog = false;
    s.DoClustererStatFile = false;
    s.DoExportCList = true;
    s.CListName.clear();        // a cluster list needs a name
    s.MaxPixelCountProc = 0.0;  // limits count only above 0
    s.MaxFrameOccupancy = 0.0;
    EXPECT_EQ(zel::buildClustererCommand(s, "in.t3pa", "ClusterLog.clog"),
              "\"./clusterer\"  --frame-start-num 0  --l2d-corr-formula 1  \"in.t3pa\" ");

    // An empty input name hands over the input directory, without its closing separator.
    s.FileInPath = "/data/frames/";
    const std::string command = zel::buildClustererCommand(s, "", "ClusterLog.clog");
    EXPECT_NE(command.find(" \"/data/frames\" "), std::string::npos) << command;
    EXPECT_EQ(command.find("/data/frames/"), std::string::npos) << command;
}

TEST(ClusterLogName, TakesInputNameOnlyInMultiFileRunsWithClogs) {
    zel::Settings s;
    s.ClogOutName = "Clusters.out.clog";
    EXPECT_EQ(zel::clusterLogName(s, "run_01.part.t3pa"), "Clusters.clog");
    s.DoMultiFile = true;
    EXPECT_EQ(zel::clusterLogName(s, "run_01.part.t3pa"), "Clusters_run_01.clog");
    s.DoCreateClog = false;
    EXPECT_EQ(zel::clusterLogName(s, "run_01.part.t3pa"), "Clusters.clog");
    s.ClogOutName.clear();
    EXPECT_EQ(zel::clusterLogName(s, "run_01.t3pa"), "ClusterLog.clog");
}

// A scratch directory used as output, statistics and clusterer directory, with a log to read messages back.
struct ClustererRun : ::testing::Test {
    zeltest::LoggedDir dir{"zel_clusterer"};
    zel::MessageTarget to = dir.target();
    zel::Settings settings;
    zel::InputSet inputs;

    ClustererRun() {
        settings.FileOutPath = settings.ClustererStatPath = dir.dir();
        settings.DoCreateExportDir = false;
        settings.DoPrint = false;
    }
    bool exists(const std::string& name) const { return fs::exists(dir.file(name)); }
    std::string messages() { return dir.messages(); }
    void rawInputs(const Names& names) {
        inputs.kind = zel::InputKind::T3PA;
        inputs.names = names;
        inputs.count = static_cast<int>(names.size());
    }
};

TEST_F(ClustererRun, StatisticsFileGivesTheNextFrameNumber) {
    const struct {
        const char* text;  // nullptr: no statistics file
        int code;
        int before;
        int after;
    } cases[] = {
        {"FrameNum 99 on the first line does not count\nFrames: 5\nFrameNum:\t42\n", 0, 0, 42},
        {"FrameNum 7\nno frame count here\n", 0, 3, 3},
        {"statistics\nFrameNum 10\nFrameNum 20\n", 0, 0, 20},
        {nullptr, -1, 5, 5},
        {nullptr, -1, 6, 6},  // a line no statistics file holds: the file is not read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "missing");
        fs::remove(dir.file("ClustererStatFile.txt"));
        if (c.text) dir.write("ClustererStatFile.txt", c.text);
        if (c.before == 6) dir.write("ClustererStatFile.txt", "stat\nFrameNum 9 " + std::string(zel::kMaxSettingsLineLength, '1'));
        settings.FrameStartNum = c.before;
        EXPECT_EQ(zel::readClustererStat(settings, to), c.code);
        EXPECT_EQ(settings.FrameStartNum, c.after);
    }
    settings.DoClustererStatFile = false;
    EXPECT_EQ(zel::readClustererStat(settings, to), 0) << "without a statistics file nothing is read";
}

TEST_F(ClustererRun, EventListIsTheExpectedOneElseTheFirstKorelist) {
    const struct {
        Names files;
        bool exportDir;  // look in the file export directory "File/"
        int code;
        const char* path;
        const char* name;
    } cases[] = {
        {{"aa_korelist.txt", "EventList.korelist"}, false, 0, "", "EventList.korelist"},
        {{"zz.korelist", "aa_korelist.dat", "other.elist"}, false, 0, "", "aa_korelist.dat"},
        {{"EventList.korelist", "File/EventList.korelist"}, true, 0, "File/", "EventList.korelist"},
        {{"other.elist"}, false, -3000, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files.back());
        zeltest::TempDir out{"zel_elist"};
        fs::create_directories(out.file("File"));
        for (const std::string& name : c.files) out.write(name, "x");
        settings.FileOutPath = out.dir();
        settings.DoCreateExportDir = c.exportDir;
        settings.ExportDirFile = "File/";
        inputs = {};
        ASSERT_EQ(zel::chooseElist(settings, inputs, to), c.code);
        if (c.code != 0) continue;
        EXPECT_EQ(inputs.elistPath, out.dir() + c.path);
        EXPECT_EQ(inputs.elistName, c.name);
    }
    EXPECT_NE(messages().find("Elist file can not be found."), std::string::npos);
}

TEST_F(ClustererRun, CommandIsLoggedButNotRunWhenRunningIsOff) {
    settings.DoRunClustererCmd = false;
    settings.DoLogClustererCmd = true;
    settings.ClustererPath = dir.dir();
    settings.ClustererName = "missing-clusterer";
    dir.write("EventList.korelist", "old");
    dir.write("EventList.clist", "old");
    inputs.names = {"in.t3pa", "second.t3pa"};
    inputs.count = 2;
    ASSERT_EQ(zel::clusterInput(settings, inputs, 0, to), 0);
    const std::string command = zel::buildClustererCommand(settings, "in.t3pa", "ClusterLog.clog");
    EXPECT_NE(messages().find("Clustere command: |" + command + "|"), std::string::npos);
    EXPECT_EQ(inputs.producedClogs, Names{"ClusterLog.clog"});
    // The first input clears the outputs of an earlier run.
    EXPECT_FALSE(exists("EventList.korelist"));
    EXPECT_FALSE(exists("EventList.clist"));

    dir.write("EventList.korelist", "appended to");
    ASSERT_EQ(zel::clusterInput(settings, inputs, 1, to), 0);
    EXPECT_TRUE(exists("EventList.korelist")) << "later inputs keep the outputs so that the clusterer appends";
}

TEST_F(ClustererRun, WithoutClustererOnlyTheLogNameIsNoted) {
    settings.DoRunClusterer = false;
    settings.DoLogClustererCmd = true;
    dir.write("EventList.korelist", "old");
    dir.write("ClustererStatFile.txt", "statistics\nFrameNum 17\n");
    rawInputs({"in.t3pa"});
    ASSERT_EQ(zel::runRawData(settings, inputs, to), 0);
    EXPECT_EQ(inputs.producedClogs, Names{"ClusterLog.clog"});
    const std::string text = messages();
    EXPECT_EQ(text.find("Clustere command"), std::string::npos);
    EXPECT_NE(text.find("Processing with clusterer is skipped with DoRunClusterer option."), std::string::npos);
    EXPECT_EQ(settings.FrameStartNum, 0) << "no clusterer ran, so no statistics were read";
    EXPECT_TRUE(exists("EventList.korelist"));
    EXPECT_EQ(inputs.elistName, "EventList.korelist");
}

TEST_F(ClustererRun, SecondRawInputContinuesTheFrameNumbering) {
    settings.DoRunClustererCmd = false;
    settings.DoLogClustererCmd = true;
    settings.DoMultiFile = true;
    settings.DoRemoveOldElist = false;
    dir.write("ClustererStatFile.txt", "Clusterer statistics\nFrameNum 17\n");
    dir.write("EventList.korelist", "from an earlier run");
    rawInputs({"a.t3pa", "b.t3pa"});

    ASSERT_EQ(zel::runRawData(settings, inputs, to), 0);
    const std::string text = messages();
    EXPECT_NE(text.find("Processing RawData T3PA:\ta.t3pa"), std::string::npos);
    const size_t first = text.find("Clustere command: |");
    const size_t second = text.find("Clustere command: |", first + 1);
    ASSERT_NE(second, std::string::npos);
    const std::string firstCommand = text.substr(first, second - first);
    const std::string secondCommand = text.substr(second);
    EXPECT_NE(firstCommand.find(" --frame-start-num 0 "), std::string::npos) << firstCommand;
    EXPECT_NE(firstCommand.find("\"a.t3pa\""), std::string::npos);
    EXPECT_NE(secondCommand.find(" --frame-start-num 17 "), std::string::npos) << secondCommand;
    EXPECT_NE(secondCommand.find("\"b.t3pa\""), std::string::npos);
    EXPECT_EQ(inputs.producedClogs, (Names{"ClusterLog_a.clog", "ClusterLog_b.clog"}));
    EXPECT_EQ(inputs.processed, (Names{"a.t3pa", "b.t3pa"}));
    EXPECT_EQ(inputs.elistName, "EventList.korelist") << "the event list of an earlier run is used";
}

TEST_F(ClustererRun, FailedRunIsAnErrorAndOnlyListsOfThisRunAreTaken) {
    if (!fs::exists("/bin/true") || !fs::exists("/bin/false")) GTEST_SKIP() << "no /bin/true and /bin/false";
    settings.ClustererPath = "/bin/";
    settings.DoMultiFile = true;
    dir.write("EventListExt.korelist", "extended list of an earlier run");

    // A clusterer that ends well but writes nothing leaves no list to read: the earlier one is not taken.
    settings.ClustererName = "true";
    rawInputs({"in.t3pa"});
    EXPECT_EQ(zel::runRawData(settings, inputs, to), -3000);
    EXPECT_TRUE(inputs.failed.empty());

    // One that fails, or cannot be started, fails its input; the run goes on with the others.
    const struct {
        const char* name;
        const char* why;
    } failing[] = {{"false", "exit status 1"}, {"no-such-clusterer", "No such file"}};
    for (const auto& f : failing) {
        SCOPED_TRACE(f.name);
        settings.ClustererName = f.name;
        inputs = {};
        rawInputs({"a.t3pa", "b.t3pa"});
        EXPECT_EQ(zel::runRawData(settings, inputs, to), zel::kCodeClustererFailed);
        EXPECT_EQ(inputs.failed, (Names{"a.t3pa", "b.t3pa"}));
        EXPECT_TRUE(inputs.processed.empty());
        EXPECT_NE(messages().find("Clusterer failed on b.t3pa: "), std::string::npos);
        EXPECT_NE(messages().find(f.why), std::string::npos);
    }

    // A list the clusterer wrote in this run is taken, also when one of the same name was there before.
    dir.write("EventList.korelist", "earlier");
    dir.write("fake-clusterer", "#!/bin/sh\necho 'written by this run' > " + dir.file("EventList.korelist") + "\n");
    fs::permissions(dir.file("fake-clusterer"), fs::perms::owner_all);
    settings.ClustererPath = dir.dir();
    settings.ClustererName = "fake-clusterer";
    settings.DoRemoveOldElist = false;
    inputs = {};
    rawInputs({"in.t3pa"});
    EXPECT_EQ(zel::runRawData(settings, inputs, to), 0);
    EXPECT_EQ(inputs.elistName, "EventList.korelist");
}

TEST_F(ClustererRun, ClustererIsLookedForBesideTheLibrary) {
    settings.ClustererPath = dir.dir();
    settings.ClustererName = "zel-clusterer";
    dir.write("zel-clusterer", "");
    EXPECT_EQ(zel::findClusterer(settings, to), 0);
    EXPECT_EQ(settings.ClustererPath, dir.dir());

    const std::string beside = zel::libraryDirectory();
    if (beside.empty() || access(beside.c_str(), W_OK) != 0) GTEST_SKIP() << "no writable directory beside the library";
    const std::string name = "zel_test_clusterer_" + std::to_string(::getpid());
    std::ofstream(beside + name) << "";
    settings.ClustererPath = dir.file("wrong/");
    settings.ClustererName = name;
    EXPECT_EQ(zel::findClusterer(settings, to), 0);
    EXPECT_EQ(settings.ClustererPath, beside);
    fs::remove(beside + name);
    EXPECT_EQ(messages().find("alternative path"), std::string::npos) << "the warnings go to the console only";

    settings.ClustererPath = dir.file("wrong/");
    EXPECT_EQ(zel::findClusterer(settings, to), -1009);
    EXPECT_NE(messages().find("Can not find clusterer binary: " + dir.file("wrong/") + name +
                              " . Raw data processing can not be done."),
              std::string::npos);
}

}  // namespace
