#include "engine/InputDiscovery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "cluster/ClusterVariables.h"
#include "engine/Settings.h"

namespace {

namespace fs = std::filesystem;
using zel::InputKind;

// An input directory with a log file to read the messages back from.
struct Discovery : ::testing::Test {
    fs::path dir;
    std::ofstream log;
    zel::MessageTarget to;
    zel::Settings settings;
    zel::InputSet inputs;
    zel::ClusterVariables variables;

    Discovery() {
        static std::atomic<int> counter{0};
        dir = fs::temp_directory_path() /
              ("zel_discovery_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir / "in");
        log.open(dir / "log.txt");
        to = zel::MessageTarget{&log, false, true};
        settings.FileInPath = (dir / "in").string() + "/";
    }
    ~Discovery() override {
        log.close();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    void write(const std::string& name, const std::string& text) { std::ofstream(dir / "in" / name) << text; }
    void touch(std::initializer_list<const char*> names) {
        for (const char* name : names) write(name, "1\n");
    }
    std::string messages() {
        log.flush();
        std::ifstream in(dir / "log.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    int discover() { return zel::discoverInputs(settings, inputs, to); }
    // The code raised by `work`, or 0 when it returned.
    template <typename Work>
    int raised(Work work) {
        try {
            work();
        } catch (const std::runtime_error& error) {
            return std::stoi(error.what());
        }
        return 0;
    }
    int recognise(const std::string& name) {
        inputs.names = {name};
        return raised([&] { zel::recogniseInputs(settings, inputs, variables, to); });
    }
    void searchFor(const std::string& part, const std::string& ending) {
        settings.DoMultiFile = true;
        settings.FileInName = part;
        settings.FileInNameEnd = ending;
    }
};

using Names = std::vector<std::string>;

TEST(InputExtension, IsTheTextFromTheLastDot) {
    EXPECT_EQ(zel::extensionOf("run.part.t3pa"), ".t3pa");
    EXPECT_EQ(zel::extensionOf("EventList.elist2"), ".elist2");
    EXPECT_EQ(zel::extensionOf("noextension"), "");
    EXPECT_EQ(zel::extensionOf("trailing."), ".");
}

TEST_F(Discovery, MultiFileSearchFindsMatchingRegularFilesInSortedOrder) {
    touch({"run_c.t3pa", "run_a.t3pa", "run_b.t3pa", "run_a.clog", "other.t3pa", "run_a.t3pa.bak"});
    fs::create_directories(dir / "in" / "run_d.t3pa");
    searchFor("run", ".t3pa");
    ASSERT_EQ(discover(), 0);
    EXPECT_EQ(inputs.names, (Names{"run_a.t3pa", "run_b.t3pa", "run_c.t3pa"}));
    EXPECT_EQ(inputs.count, 3);
    EXPECT_EQ(settings.FileInName, "run_a.t3pa");
    EXPECT_TRUE(settings.DoMultiFile);
}

TEST_F(Discovery, SearchFindingOneFileEndsTheMultiFileRun) {
    touch({"run_a.t3pa", "run_a.clog"});
    searchFor("run", ".t3pa");
    ASSERT_EQ(discover(), 0);
    EXPECT_EQ(inputs.names, Names{"run_a.t3pa"});
    EXPECT_FALSE(settings.DoMultiFile);
}

TEST_F(Discovery, SearchWithoutEndingKeepsOnlySupportedExtensions) {
    touch({"data.bin", "data.t3pa", "data.elist", "data.dat"});
    searchFor("data", "");
    ASSERT_EQ(discover(), 0);
    EXPECT_EQ(inputs.names, (Names{"data.elist", "data.t3pa"}));
    EXPECT_TRUE(settings.DoMultiFile);
}

TEST_F(Discovery, SearchFindingNothingRaises1004WithTheUsedSettings) {
    touch({"other.t3pa"});
    searchFor("run", ".t3pa");
    EXPECT_EQ(raised([&] { discover(); }), -1004);
    const std::string text = messages();
    EXPECT_NE(text.find("Can not find any files for processing. Process terminated."), std::string::npos);
    EXPECT_NE(text.find("Used FileInPath:\t" + settings.FileInPath), std::string::npos);
    EXPECT_NE(text.find("Used FileInName:\trun"), std::string::npos);
    EXPECT_NE(text.find("Used FileInNameEnd:\t.t3pa"), std::string::npos);
}

TEST_F(Discovery, UnsupportedExtensionsOnlyReturn1005) {
    touch({"data.bin", "data.dat"});
    searchFor("data", "");
    EXPECT_EQ(discover(), -1005);
    EXPECT_NE(messages().find("No files have passed the selection and ignore criteria. Process terminated."),
              std::string::npos);
}

TEST_F(Discovery, FileInCountLimitsTheInputsProcessed) {
    touch({"run_a.t3pa", "run_b.t3pa", "run_c.t3pa"});
    searchFor("run", ".t3pa");
    settings.FileInCount = 2;
    ASSERT_EQ(discover(), 0);
    EXPECT_EQ(inputs.names.size(), 3u);
    EXPECT_EQ(inputs.count, 2);

    // Discovery makes the first found name the current one: search for the part again each time.
    searchFor("run", ".t3pa");
    settings.FileInCount = 0;
    ASSERT_EQ(discover(), 0);
    EXPECT_EQ(inputs.count, 0);
    searchFor("run", ".t3pa");
    settings.FileInCount = 10;
    ASSERT_EQ(discover(), 0);
    EXPECT_EQ(inputs.count, 3);
}

TEST_F(Discovery, ExplicitListIsUsedUnchanged) {
    touch({"run_a.t3pa"});
    searchFor("run", ".t3pa");
    settings.FileInNames = {"z.elist", "a.t3pa", "notes.xyz"};
    ASSERT_EQ(discover(), 0);
    EXPECT_EQ(inputs.names, settings.FileInNames);
    EXPECT_EQ(settings.FileInName, "z.elist");
    EXPECT_EQ(inputs.count, 3);
}

TEST_F(Discovery, SingleNameWithoutMultiFileIsTheOnlyInput) {
    settings.FileInName = "missing.t3pa";  // existence is recognition's concern
    ASSERT_EQ(discover(), 0);
    EXPECT_EQ(inputs.names, Names{"missing.t3pa"});
    EXPECT_EQ(inputs.count, 1);
}

TEST_F(Discovery, RawPixelDataIsClusteredWithoutFrameAnalysis) {
    write("run.t3pa", "Index\tMatrix Index\tToA\tToT\tFToA\tOverflow\n0\t100\t5\t20\t3\t0\n");
    ASSERT_EQ(recognise("run.t3pa"), 0);
    EXPECT_EQ(inputs.kind, InputKind::T3PA);
    EXPECT_TRUE(inputs.rawToCluster);
    EXPECT_FALSE(inputs.frameBased);
    EXPECT_FALSE(settings.DoFrame);
}

// A text frame of `height` lines of `width` numbers, named after its mode.
std::string frameText(int width, int height) {
    std::string line;
    for (int x = 0; x < width; ++x) line += (x ? " " : "") + std::to_string(x % 3);
    std::string text;
    for (int y = 0; y < height; ++y) text += line + "\n";
    return text;
}

TEST_F(Discovery, SensorSizedTextMatrixIsFrameBased) {
    write("frame_ToT.txt", frameText(256, 256));
    settings.DoMultiFile = true;
    ASSERT_EQ(recognise("frame_ToT.txt"), 0);
    EXPECT_EQ(inputs.kind, InputKind::TextFrames);
    EXPECT_TRUE(inputs.rawToCluster);
    EXPECT_TRUE(inputs.frameBased);
    EXPECT_FALSE(inputs.timeInNs);
    EXPECT_EQ(inputs.frameMode, 'E');
    EXPECT_FALSE(settings.DoMultiFile) << "text frames go to the clusterer as one set";

    write("frame_Event.txt", frameText(256, 256));
    ASSERT_EQ(recognise("frame_Event.txt"), 0);
    EXPECT_EQ(inputs.frameMode, 'C');
    // One line short of the sensor is no frame, and nothing else either.
    write("short.txt", frameText(256, 255));
    EXPECT_EQ(recognise("short.txt"), -1017);
}

TEST_F(Discovery, TextFrameTestCountsLinesAndNumbers) {
    const std::string path = (dir / "in" / "m.txt").string();
    auto frame = [&](const std::string& text) {
        write("m.txt", text);
        return zel::isTextFrameFile(path, 3, 2);
    };
    EXPECT_TRUE(frame("1 2 3\n4 5 6\n"));
    EXPECT_TRUE(frame("1\t2\t3\r\n4\t5\t6"));
    EXPECT_FALSE(frame("1 2 3\n4 5\n"));
    EXPECT_FALSE(frame("1 2 3\n4 5 6 7\n"));
    EXPECT_FALSE(frame("1 2 3\n4 5 6\n7 8 9\n"));
    EXPECT_FALSE(frame("1 2 3\n"));
    EXPECT_FALSE(zel::isTextFrameFile((dir / "in" / "absent.txt").string(), 3, 2));
}

TEST_F(Discovery, EventListHeaderBecomesTheVariableList) {
    write("run.elist", "EventID\tX\tY\tE\tT\tMyExtra\n-\tpx\tpx\tkeV\tns\t-\n1\t2\t3\t4\t5\t6\n");
    ASSERT_EQ(recognise("run.elist"), 0);
    EXPECT_EQ(inputs.kind, InputKind::Elist);
    EXPECT_FALSE(inputs.rawToCluster);
    EXPECT_EQ(variables.names(), (Names{"EventID", "X", "Y", "E", "T", "MyExtra"}));
    EXPECT_EQ(variables.units(), (Names{"-", "px", "px", "keV", "ns", "-"}));
    EXPECT_FALSE(settings.DoFrame);
    EXPECT_FALSE(settings.DoCreateClog);
}

TEST_F(Discovery, CountingClusterLogIsFrameBasedWithoutCoincidences) {
    write("data.clog", "Frame 1 (0.000000, 0.000000 s)\n[10, 20, 1] [11, 20, 1]\n[40, 50, 1]\n");
    ASSERT_EQ(recognise("data.clog"), 0);
    EXPECT_EQ(inputs.kind, InputKind::ClusterLog);
    EXPECT_TRUE(inputs.rawToCluster);
    EXPECT_TRUE(inputs.frameBased);
    EXPECT_TRUE(inputs.clog.counting);
    EXPECT_FALSE(settings.DoCoinc);
}

TEST_F(Discovery, TimeOfArrivalClusterLogKeepsCoincidences) {
    write("data.clog", "Frame 1 (0.000000, 0.000000 ns)\n[10, 20, 15.5, 1000.25] [11, 20, 7.5, 1001.5]\n");
    ASSERT_EQ(recognise("data.clog"), 0);
    EXPECT_EQ(inputs.kind, InputKind::ClusterLog);
    EXPECT_FALSE(inputs.frameBased);
    EXPECT_TRUE(inputs.timeInNs);
    EXPECT_TRUE(settings.DoCoinc);
}

TEST_F(Discovery, UnreadableEmptyAndUnknownInputsRaise) {
    write("empty.t3pa", "");
    EXPECT_EQ(recognise("empty.t3pa"), -1020);
    EXPECT_NE(messages().find("Empty in file format: empty.t3pa"), std::string::npos);

    fs::create_directories(dir / "in" / "folder.elist");
    EXPECT_EQ(recognise("folder.elist"), -1015);
    EXPECT_EQ(recognise("absent.t3pa"), -1015);
    EXPECT_NE(messages().find("Can not open input file: absent.t3pa"), std::string::npos);

    write("notes.dat", "hello world\n");
    EXPECT_EQ(recognise("notes.dat"), -1017);
    EXPECT_NE(messages().find("Unknown in file format: notes.dat"), std::string::npos);
}

}  // namespace
