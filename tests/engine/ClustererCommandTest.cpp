#include "engine/ClustererRun.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Paths.h"
#include "engine/Settings.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The command as the shell receives it: where a command that begins with a quoted program path needs one more pair
// of quotes around it, the engine adds them.
std::string asShellCommand(const std::string& command) {
#ifdef _WIN32
    return "\"" + command + "\"";
#else
    return command;
#endif
}

TEST(ClustererCommand, DefaultSettings) {
    const zel::Settings s;
    const std::string expected =
        "\"./clusterer\" "
        " --korelist \"././File/EventList\" "
        " --frame-start-num 0 "
        " -l \"././File/ClusterLog.clog\" "
        " --el-coinctoadiff 100.000000 "
        " --el-thickness 300.000000 "
        " --l2d-corr-formula 1 "
        " --log "
        "--stat-file \"./ClustererStatFile.txt\" "
        " \"in.t3pa\" ";
    EXPECT_EQ(zel::buildClustererCommand(s, "in.t3pa", zel::clusterLogName(s, "in.t3pa")), asShellCommand(expected));
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
    const std::string expected =
        "\"/opt/zel/clusterer\" "
        " --korelist \"/out/Events\" "
        " -c \"/cal/\" "
        " --clust-feat-list \"/out/Clusters\" "
        " --frame-occupancy-limit 0.250000 "
        " --frame-start-num 12 "
        " --pix-count-max 150 "
        " -l \"/out/Log.clog\" "
        " --corr-tpx-high-energy "
        " --measmode \"itot+count\" "
        " --el-coinctoadiff 50.500000 "
        " --el-thickness 500.000000 "
        " --l2d-corr-formula 2 "
        " --log "
        " --debug "
        "--stat-file \"/stat/Stat.txt\" "
        " \"/data/run.t3pa\" ";
    EXPECT_EQ(zel::buildClustererCommand(s, "run.t3pa", "Log.clog"), asShellCommand(expected));
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
    const std::string expected =
        "\"./clusterer\" "
        " --frame-start-num 0 "
        " --l2d-corr-formula 1 "
        " \"in.t3pa\" ";
    EXPECT_EQ(zel::buildClustererCommand(s, "in.t3pa", "ClusterLog.clog"), asShellCommand(expected));
}

TEST(ClustererCommand, CalibratedDataGetsNoCalibrationOption) {
    zel::Settings s;
    s.CalMat = "/cal/";
    s.IsEnergyCalibrated = true;
    EXPECT_EQ(zel::buildClustererCommand(s, "in.t3pa", "ClusterLog.clog").find(" -c "), std::string::npos);
    s.IsEnergyCalibrated = false;
    EXPECT_NE(zel::buildClustererCommand(s, "in.t3pa", "ClusterLog.clog").find(" -c \"/cal/\" "), std::string::npos);
}

TEST(ClustererCommand, EmptyInputNameHandsOverTheDirectory) {
    zel::Settings s;
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
    fs::path dir;
    std::ofstream log;
    zel::MessageTarget to;
    zel::Settings settings;
    zel::InputSet inputs;

    ClustererRun() {
        static std::atomic<int> counter{0};
        dir = fs::temp_directory_path() /
              ("zel_clusterer_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir);
        log.open(dir / "log.txt");
        to = zel::MessageTarget{&log, false, true};
        settings.FileOutPath = path();
        settings.DoCreateExportDir = false;
        settings.ClustererStatPath = path();
        settings.DoPrint = false;
    }
    ~ClustererRun() override {
        log.close();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    std::string path() const { return dir.string() + "/"; }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    bool exists(const std::string& name) const { return fs::exists(dir / name); }
    std::string messages() {
        log.flush();
        std::ifstream in(dir / "log.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(ClustererRun, StatisticsFileGivesTheNextFrameNumber) {
    write("ClustererStatFile.txt", "FrameNum 99 on the first line does not count\nFrames: 5\nFrameNum:\t42\n");
    EXPECT_EQ(zel::readClustererStat(settings, to), 0);
    EXPECT_EQ(settings.FrameStartNum, 42);

    write("ClustererStatFile.txt", "FrameNum 7\nno frame count here\n");
    settings.FrameStartNum = 3;
    EXPECT_EQ(zel::readClustererStat(settings, to), 0);
    EXPECT_EQ(settings.FrameStartNum, 3);

    write("ClustererStatFile.txt", "statistics\nFrameNum 10\nFrameNum 20\n");
    EXPECT_EQ(zel::readClustererStat(settings, to), 0);
    EXPECT_EQ(settings.FrameStartNum, 20);
}

TEST_F(ClustererRun, MissingStatisticsFileGivesMinusOne) {
    settings.FrameStartNum = 5;
    EXPECT_EQ(zel::readClustererStat(settings, to), -1);
    EXPECT_EQ(settings.FrameStartNum, 5);
    settings.DoClustererStatFile = false;
    EXPECT_EQ(zel::readClustererStat(settings, to), 0) << "without a statistics file nothing is read";
}

TEST_F(ClustererRun, ExpectedEventListIsPreferred) {
    write("aa_korelist.txt", "x");
    write("EventList.korelist", "x");
    ASSERT_EQ(zel::chooseElist(settings, inputs, to), 0);
    EXPECT_EQ(inputs.elistPath, path());
    EXPECT_EQ(inputs.elistName, "EventList.korelist");
}

TEST_F(ClustererRun, OtherwiseTheFirstKorelistIsTaken) {
    write("zz.korelist", "x");
    write("aa_korelist.dat", "x");
    write("other.elist", "x");
    ASSERT_EQ(zel::chooseElist(settings, inputs, to), 0);
    EXPECT_EQ(inputs.elistName, "aa_korelist.dat");
}

TEST_F(ClustererRun, NoEventListAfterClusteringGives3000) {
    write("other.elist", "x");
    EXPECT_EQ(zel::chooseElist(settings, inputs, to), -3000);
    EXPECT_NE(messages().find("Elist file can not be found."), std::string::npos);
}

TEST_F(ClustererRun, EventListIsLookedForInTheFileExportDirectory) {
    settings.DoCreateExportDir = true;
    settings.ExportDirFile = "File/";
    fs::create_directories(dir / "File");
    write("EventList.korelist", "x");  // beside, not in the export directory
    write("File/EventList.korelist", "x");
    ASSERT_EQ(zel::chooseElist(settings, inputs, to), 0);
    EXPECT_EQ(inputs.elistPath, path() + "File/");
    EXPECT_EQ(inputs.elistName, "EventList.korelist");
}

TEST_F(ClustererRun, CommandIsLoggedButNotRunWhenRunningIsOff) {
    settings.DoRunClustererCmd = false;
    settings.DoLogClustererCmd = true;
    settings.ClustererPath = path();
    settings.ClustererName = "missing-clusterer";
    write("EventList.korelist", "old");
    write("EventList.clist", "old");
    inputs.names = {"in.t3pa", "second.t3pa"};
    inputs.count = 2;
    ASSERT_EQ(zel::clusterInput(settings, inputs, 0, to), 0);
    const std::string command = zel::buildClustererCommand(settings, "in.t3pa", "ClusterLog.clog");
    EXPECT_NE(messages().find("Clustere command: |" + command + "|"), std::string::npos);
    EXPECT_EQ(inputs.producedClogs, Names{"ClusterLog.clog"});
    // The first input clears the outputs of an earlier run.
    EXPECT_FALSE(exists("EventList.korelist"));
    EXPECT_FALSE(exists("EventList.clist"));

    write("EventList.korelist", "appended to");
    ASSERT_EQ(zel::clusterInput(settings, inputs, 1, to), 0);
    EXPECT_TRUE(exists("EventList.korelist")) << "later inputs keep the outputs so that the clusterer appends";
}

TEST_F(ClustererRun, WithoutClustererOnlyTheLogNameIsNoted) {
    settings.DoRunClusterer = false;
    settings.DoLogClustererCmd = true;
    write("EventList.korelist", "old");
    write("ClustererStatFile.txt", "statistics\nFrameNum 17\n");
    inputs.kind = zel::InputKind::T3PA;
    inputs.names = {"in.t3pa"};
    inputs.count = 1;
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
    write("ClustererStatFile.txt", "Clusterer statistics\nFrameNum 17\n");
    write("EventList.korelist", "from an earlier run");
    inputs.kind = zel::InputKind::T3PA;
    inputs.names = {"a.t3pa", "b.t3pa"};
    inputs.count = 2;

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

TEST_F(ClustererRun, ClustererIsLookedForBesideTheLibrary) {
    settings.ClustererPath = path();
    settings.ClustererName = "zel-clusterer";
    write("zel-clusterer", "");
    EXPECT_EQ(zel::findClusterer(settings, to), 0);
    EXPECT_EQ(settings.ClustererPath, path());

    const std::string beside = zel::libraryDirectory();
    if (beside.empty() || access(beside.c_str(), W_OK) != 0) GTEST_SKIP() << "no writable directory beside the library";
    const std::string name = "zel_test_clusterer_" + std::to_string(::getpid());
    std::ofstream(beside + name) << "";
    settings.ClustererPath = path() + "wrong/";
    settings.ClustererName = name;
    EXPECT_EQ(zel::findClusterer(settings, to), 0);
    EXPECT_EQ(settings.ClustererPath, beside);
    fs::remove(beside + name);
    EXPECT_EQ(messages().find("alternative path"), std::string::npos) << "the warnings go to the console only";

    settings.ClustererPath = path() + "wrong/";
    EXPECT_EQ(zel::findClusterer(settings, to), -1009);
    EXPECT_NE(messages().find("Can not find clusterer binary: " + path() + "wrong/" + name +
                              " . Raw data processing can not be done."),
              std::string::npos);
}

}  // namespace
