#include "engine/InputDiscovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cluster/ClusterVariables.h"
#include "engine/Settings.h"
#include "support/LoggedDir.h"

namespace {

namespace fs = std::filesystem;
using zel::InputKind;
using Names = std::vector<std::string>;

// An input directory "in/" with a log file beside it to read the messages back from.
struct Discovery : ::testing::Test {
    zeltest::LoggedDir dir{"zel_discovery"};
    zel::MessageTarget to = dir.target();
    zel::Settings settings;
    zel::InputSet inputs;
    zel::ClusterVariables variables;

    Discovery() { useInputDirectory("in/"); }
    void useInputDirectory(const std::string& name) {
        fs::create_directories(dir.file(name));
        settings.FileInPath = dir.file(name);
    }
    // Writes a file into the input directory; a name ending in '/' makes a directory.
    void write(const std::string& name, const std::string& text = "1\n") {
        if (name.back() == '/')
            fs::create_directories(settings.FileInPath + name);
        else
            std::ofstream(settings.FileInPath + name) << text;
    }
    std::string messages() { return dir.messages(); }
    int discover() { return zeltest::codeOf([&] { return zel::discoverInputs(settings, inputs, to); }); }
    int recognise(const std::string& name) {
        inputs.names = {name};
        return zeltest::codeOf([&] { return zel::recogniseInputs(settings, inputs, variables, to); });
    }
};

TEST(InputExtension, IsTheTextFromTheLastDot) {
    EXPECT_EQ(zel::extensionOf("run.part.t3pa"), ".t3pa");
    EXPECT_EQ(zel::extensionOf("EventList.elist2"), ".elist2");
    EXPECT_EQ(zel::extensionOf("noextension"), "");
    EXPECT_EQ(zel::extensionOf("trailing."), ".");
}

TEST_F(Discovery, InputListComesFromTheListTheNameOrASortedSearch) {
    const Names abc{"run_a.t3pa", "run_b.t3pa", "run_c.t3pa"};
    const struct {
        Names files;
        bool multiFile;  // search for FileInName ... FileInNameEnd
        const char* ending;
        Names list;  // FileInNames
        int limit;   // FileInCount
        int code;
        Names names;
        int count;
        bool multiFileAfter;
    } cases[] = {
        // Only regular files with the part and the ending, in sorted order.
        {{"run_c.t3pa", "run_a.t3pa", "run_b.t3pa", "run_a.clog", "other.t3pa", "run_a.t3pa.bak", "run_d.t3pa/"},
         true, ".t3pa", {}, -1, 0, abc, 3, true},
        {{"run_a.t3pa", "run_a.clog"}, true, ".t3pa", {}, -1, 0, {"run_a.t3pa"}, 1, false},  // one file: no multi run
        // Without an ending only supported extensions are kept; none left returns -1005.
        {{"run.bin", "run.t3pa", "run.elist", "run.dat"}, true, "", {}, -1, 0, {"run.elist", "run.t3pa"}, 2, true},
        {{"run.bin", "run.dat"}, true, "", {}, -1, -1005, {}, 0, true},
        // FileInCount limits the inputs processed, not the names found.
        {abc, true, ".t3pa", {}, 2, 0, abc, 2, true},
        {abc, true, ".t3pa", {}, 0, 0, abc, 0, true},
        {abc, true, ".t3pa", {}, 10, 0, abc, 3, true},
        // An explicit list is used unchanged; a single name is not checked for existence here.
        {{"run_a.t3pa"}, true, ".t3pa", {"z.elist", "a.t3pa", "notes.xyz"}, -1, 0, {"z.elist", "a.t3pa", "notes.xyz"},
         3, true},
        {{}, false, "", {}, -1, 0, {"run_missing.t3pa"}, 1, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(i);
        useInputDirectory("case" + std::to_string(i) + "/");
        for (const std::string& name : c.files) write(name);
        settings.DoMultiFile = c.multiFile;
        settings.FileInName = c.multiFile ? "run" : "run_missing.t3pa";
        settings.FileInNameEnd = c.ending;
        settings.FileInNames = c.list;
        settings.FileInCount = c.limit;
        ASSERT_EQ(discover(), c.code);
        EXPECT_EQ(settings.DoMultiFile, c.multiFileAfter);
        if (c.code != 0) continue;
        EXPECT_EQ(inputs.names, c.names);
        EXPECT_EQ(inputs.count, c.count);
        EXPECT_EQ(settings.FileInName, c.names[0]) << "the first input becomes the current one";
    }
    EXPECT_NE(messages().find("No files have passed the selection and ignore criteria. Process terminated."),
              std::string::npos);
}

TEST_F(Discovery, SearchFindingNothingRaises1004WithTheUsedSettings) {
    write("other.t3pa");
    settings.DoMultiFile = true;
    settings.FileInName = "run";
    settings.FileInNameEnd = ".t3pa";
    EXPECT_EQ(discover(), -1004);
    const std::string text = messages();
    EXPECT_NE(text.find("Can not find any files for processing. Process terminated."), std::string::npos);
    EXPECT_NE(text.find("Used FileInPath:\t" + settings.FileInPath), std::string::npos);
    EXPECT_NE(text.find("Used FileInName:\trun"), std::string::npos);
    EXPECT_NE(text.find("Used FileInNameEnd:\t.t3pa"), std::string::npos);
}

TEST_F(Discovery, KindIsTakenFromExtensionAndContent) {
    const struct {
        const char* name;
        const char* text;
        InputKind kind;
        bool rawToCluster, frameBased, timeInNs, counting;
        bool doFrame, doCreateClog, doCoinc;  // the settings afterwards
    } cases[] = {
        {"run.t3pa", "Index\tMatrix Index\tToA\tToT\tFToA\tOverflow\n0\t100\t5\t20\t3\t0\n", InputKind::T3PA,
         true, false, true, false, false, true, true},
        {"run.elist", "EventID\tX\tY\tE\tT\tMyExtra\n-\tpx\tpx\tkeV\tns\t-\n1\t2\t3\t4\t5\t6\n", InputKind::Elist,
         false, false, true, false, false, false, true},
        // Counting cluster logs are frame based and have no coincidences.
        {"count.clog", "Frame 1 (0.000000, 0.000000 s)\n[10, 20, 1] [11, 20, 1]\n[40, 50, 1]\n",
         InputKind::ClusterLog, true, true, false, true, true, true, false},
        {"toa.clog", "Frame 1 (0.000000, 0.000000 ns)\n[10, 20, 15.5, 1000.25] [11, 20, 7.5, 1001.5]\n",
         InputKind::ClusterLog, true, false, true, false, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings = zel::Settings{};
        settings.FileInPath = dir.file("in/");
        inputs = {};
        variables = {};
        write(c.name, c.text);
        ASSERT_EQ(recognise(c.name), 0);
        EXPECT_EQ(inputs.kind, c.kind);
        EXPECT_EQ(inputs.rawToCluster, c.rawToCluster);
        EXPECT_EQ(inputs.frameBased, c.frameBased);
        EXPECT_EQ(inputs.timeInNs, c.timeInNs);
        EXPECT_EQ(inputs.clog.counting, c.counting);
        EXPECT_EQ(settings.DoFrame, c.doFrame);
        EXPECT_EQ(settings.DoCreateClog, c.doCreateClog);
        EXPECT_EQ(settings.DoCoinc, c.doCoinc);
    }
    ASSERT_EQ(recognise("run.elist"), 0);
    EXPECT_EQ(variables.names(), (Names{"EventID", "X", "Y", "E", "T", "MyExtra"})) << "from the event list header";
    EXPECT_EQ(variables.units(), (Names{"-", "px", "px", "keV", "ns", "-"}));
}

// A text frame of `height` lines of `width` numbers.
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

    // The frame test counts lines and numbers per line.
    const std::string path = settings.FileInPath + "m.txt";
    for (const auto& [text, frame] : std::initializer_list<std::pair<const char*, bool>>{
             {"1 2 3\n4 5 6\n", true}, {"1\t2\t3\r\n4\t5\t6", true}, {"1 2 3\n4 5\n", false},
             {"1 2 3\n4 5 6 7\n", false}, {"1 2 3\n4 5 6\n7 8 9\n", false}, {"1 2 3\n", false}}) {
        write("m.txt", text);
        EXPECT_EQ(zel::isTextFrameFile(path, 3, 2), frame) << text;
    }
    EXPECT_FALSE(zel::isTextFrameFile(settings.FileInPath + "absent.txt", 3, 2));
}

TEST_F(Discovery, UnreadableEmptyAndUnknownInputsRaise) {
    write("empty.t3pa", "");
    EXPECT_EQ(recognise("empty.t3pa"), -1020);
    EXPECT_NE(messages().find("Empty in file format: empty.t3pa"), std::string::npos);

    write("folder.elist/");
    EXPECT_EQ(recognise("folder.elist"), -1015);
    EXPECT_EQ(recognise("absent.t3pa"), -1015);
    EXPECT_NE(messages().find("Can not open input file: absent.t3pa"), std::string::npos);

    write("notes.dat", "hello world\n");
    EXPECT_EQ(recognise("notes.dat"), -1017);
    EXPECT_NE(messages().find("Unknown in file format: notes.dat"), std::string::npos);
}

}  // namespace
