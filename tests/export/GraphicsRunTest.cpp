// Whole runs of the bundled event list with graphics: every expected picture is a valid PNG, the overview page
// shows only pictures that exist, and with the drawing left to the user the master script makes the same pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "common/Subprocess.h"
#include "support/TempDir.h"
#include "zel/ZEL_API.h"

namespace {

namespace fs = std::filesystem;

bool realPythonPlots() {
    zel::ProgramOptions quiet;
    quiet.stdoutFile = quiet.stderrFile = "/dev/null";
    return zel::runProgram({"/usr/bin/python3", "-c", "import numpy, matplotlib"}, quiet).succeeded();
}

// Width and height from the header of a PNG file, or {0, 0} when the file is no PNG.
std::pair<uint32_t, uint32_t> pngSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[24] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (!in || !std::equal(kSignature, kSignature + 8, head) || std::string(head + 12, head + 16) != "IHDR")
        return {0, 0};
    auto be = [&](int at) {
        return uint32_t{head[at]} << 24 | uint32_t{head[at + 1]} << 16 | uint32_t{head[at + 2]} << 8 | head[at + 3];
    };
    return {be(16), be(20)};
}

// A relative URL of the overview page back to the path it names.
std::string decoded(const std::string& url) {
    std::string path;
    for (size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size()) {
            path += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += url[i];
        }
    }
    return path;
}

// The PNG files below `dir`, as paths relative to it.
std::set<std::string> picturesBelow(const std::string& dir) {
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.path().extension() == ".png") found.insert(fs::relative(entry.path(), dir).generic_string());
    return found;
}

struct GraphicsRun : ::testing::Test {
    zeltest::TempDir dir{"zel_graphics"};
    // An output directory whose name needs quoting everywhere.
    std::string out = dir.dir() + "out 'q' 1%/";

    void SetUp() override {
        if (!realPythonPlots()) GTEST_SKIP() << "no interpreter with numpy and matplotlib";
        ASSERT_EQ(zel::construct(), 0);
        ::setenv("ZEL_PYTHON", "/usr/bin/python3", 1);
    }
    void TearDown() override {
        ::unsetenv("ZEL_PYTHON");
        zel::destruct();
    }
    void run(const std::string& extra) {
        dir.write("run.param", "FileInPath = \"" ZEL_SOURCE_DIR
                               "/examples/elist/\"\nFileInName = \"example.elist\"\n"
                               "FileOutPath = \"" +
                                   out + "\"\nLogPath = \"" + out +
                                   "\"\nDoPrint = false\n"
                                   "TimeSampling = 1.0\nDoPID = false\nDoFilter = false\n" +
                                   extra);
        ASSERT_EQ(zel::loadParamFile(dir.dir(), "run.param"), 0);
        ASSERT_EQ(zel::processFile("", "", ""), 0);
    }
};

TEST_F(GraphicsRun, EveryPictureIsAValidPngAndOnTheOverviewPage) {
    run("");
    const std::set<std::string> pictures = picturesBelow(out);
    // The product graphs of the run, and for each histogram and map of the all-clusters set its picture.
    for (const char* graph : {"NPix_Total", "N_Total", "CountRate_Total", "Flux_Total", "Fluence_Total", "Edep_Total",
                              "Dose_Total", "DoseRate_Total"})
        EXPECT_TRUE(pictures.count(std::string("Graph/") + graph + ".png")) << graph;
    for (const char* hist : {"Hist1D_E_Total", "Hist1D_E_EqBin_Total", "Hist1D_S_Total", "Hist1D_LET_Total",
                             "Hist2D_E_S_LowE_Total", "Hist2D_EMap_Total", "Hist2D_CountMap_Total"})
        EXPECT_TRUE(pictures.count(std::string("Hist/") + hist + ".png")) << hist;
    // One picture per histogram file and per graph data file of every analysis.
    size_t data = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out))
        data += entry.path().extension() == ".hist" ||
                (entry.path().extension() == ".txt" && entry.path().parent_path().filename() == "Graph");
    EXPECT_EQ(pictures.size(), 8 + data + 3);  // and the three views of the directions

    for (const std::string& picture : pictures) {
        const auto [width, height] = pngSize(out + picture);
        EXPECT_GE(width, 800u) << picture;
        EXPECT_GE(height, 600u) << picture;
        EXPECT_GT(fs::file_size(out + picture), 10000u) << picture;
    }
    // The scripts and the drivers are gone, and so is their directory.
    EXPECT_FALSE(fs::exists(out + ".temp"));

    // The page shows every picture, each of which exists.
    const std::string page = zeltest::TempDir::read(out + "index.html");
    EXPECT_NE(page.find("<th>Dose rate</th>"), std::string::npos);
    std::set<std::string> shown;
    const std::regex source("<img src=\"([^\"]+)\"");
    for (std::sregex_iterator it(page.begin(), page.end(), source), end; it != end; ++it)
        shown.insert(decoded((*it)[1]));
    EXPECT_EQ(shown.size(), pictures.size());
    for (const std::string& picture : shown) EXPECT_TRUE(fs::exists(out + picture)) << picture;
}

TEST_F(GraphicsRun, SkippedDrawingLeavesScriptsThatTheMasterScriptDrawsLater) {
    // Two histograms and no analyses besides: few scripts, each run by an interpreter of its own.
    dir.write("hists.ini", "[Hist_E]\nTitle = Energy\nVarName = E\nNBin = 100\nXmin = 0\nXmax = 1000\n"
                           "[Hist_S]\nTitle = Size\nVarName = Size\nNBin = 50\nXmin = 0\nXmax = 50\n");
    run("DoSkipCreateGraphics = true\nDoExportText = false\nDoDirection = false\nDoCoinc = false\nHistPath = \"" +
        dir.dir() + "\"\nHistName = \"hists.ini\"\n");
    EXPECT_TRUE(picturesBelow(out).empty());
    const std::string master = zeltest::TempDir::read(out + "create_all_graphics.py");
    size_t listed = 0;
    for (const auto& entry : fs::directory_iterator(out + ".temp")) {
        const std::string name = entry.path().filename().string();
        EXPECT_NE(name.find("PlotPython_"), std::string::npos) << name;
        EXPECT_NE(master.find("\"./.temp/" + name + "\""), std::string::npos) << name;
        ++listed;
    }
    EXPECT_EQ(listed, 8u + 2u + 6u);  // the product graphs, the histograms and the cluster-position maps

    // Run from elsewhere, the master script draws the pictures into the output directory.
    ASSERT_TRUE(
        zel::runProgram({"/usr/bin/python3", out + "create_all_graphics.py"}, {dir.file("m.txt"), dir.file("m.txt")})
            .succeeded());
    const std::set<std::string> pictures = picturesBelow(out);
    EXPECT_EQ(pictures.size(), listed);
    EXPECT_TRUE(pictures.count("Graph/DoseRate_Total.png"));
    EXPECT_TRUE(pictures.count("Hist/Hist_E_Total.png"));  // named as its histogram files
}

}  // namespace

// Whole runs of the zel program where no interpreter can draw: every candidate fails, or the only working one
// lacks numpy and matplotlib. The last candidate, /usr/bin/python3, is replaced inside a mount namespace of the
// run's own (root and unshare needed; skipped otherwise), so nothing outside the test sees the change.
struct GraphicsWithoutInterpreter : ::testing::Test {
    zeltest::TempDir dir{"zel_no_python"};

    void SetUp() override {
        zel::ProgramOptions quiet;
        quiet.stdoutFile = quiet.stderrFile = "/dev/null";
        if (!zel::runProgram({"unshare", "-m", "true"}, quiet).succeeded())
            GTEST_SKIP() << "no private mount namespaces here";
        // Interpreters on PATH and in ZEL_PYTHON that fail at once.
        fs::create_directories(dir.dir() + "fakes");
        for (const char* name : {"fakes/python", "fakes/python3", "failing"}) {
            dir.write(name, "#!/bin/sh\nexit 1\n");
            fs::permissions(dir.file(name), fs::perms::owner_all);
        }
        fs::create_directories(dir.dir() + "empty");
        dir.write("run.param", "FileInPath = \"" ZEL_SOURCE_DIR "/examples/elist/\"\nFileInName = \"example.elist\"\n"
                               "FileOutPath = \"" + dir.dir() + "out/\"\nLogPath = \"" + dir.dir() +
                                   "out/\"\nTimeSampling = 1.0\nDoPID = false\nDoFilter = false\n");
    }

    // Runs zel after `mount` inside the namespace; its standard output and error.
    std::string runZel(const std::string& mount) {
        const std::string script = mount + " && exec env PATH=\"" + dir.dir() + "fakes:$PATH\" ZEL_PYTHON=\"" +
                                   dir.file("failing") + "\" \"" ZEL_BIN_DIR "/zel\" \"" + dir.file("run.param") +
                                   "\"";
        zel::ProgramOptions options;
        options.stdoutFile = options.stderrFile = dir.file("output.txt");
        const zel::ProgramRun run = zel::runProgram({"unshare", "-m", "sh", "-c", script}, options);
        EXPECT_TRUE(run.succeeded()) << run.describe() << zeltest::TempDir::read(dir.file("output.txt"));
        return zeltest::TempDir::read(dir.file("output.txt"));
    }

    // The numbers are all there and nothing was drawn.
    void expectResultsWithoutPictures() {
        const std::string out = dir.dir() + "out/";
        EXPECT_TRUE(fs::exists(out + "File/SamplingList.json"));
        EXPECT_TRUE(fs::exists(out + "Hist/Hist1D_E_Total.hist"));
        EXPECT_TRUE(picturesBelow(out).empty());
        EXPECT_FALSE(fs::exists(out + ".temp"));
        EXPECT_FALSE(fs::exists(out + "create_all_graphics.py"));
    }
};

TEST_F(GraphicsWithoutInterpreter, NoWorkingInterpreterSwitchesGraphicsOffAndTheRunSucceeds) {
    const std::string output = runZel("mount --bind \"" + dir.file("failing") + "\" /usr/bin/python3");
    const std::string off = " : Missing python for graphics creation. Creating of graphics disabled.";
    ASSERT_NE(output.find(off), std::string::npos) << output;
    EXPECT_EQ(output.find(off, output.find(off) + 1), std::string::npos) << output;
    expectResultsWithoutPictures();
}

TEST_F(GraphicsWithoutInterpreter, InterpreterWithoutThePlottingModulesNamesThemAndTheRunSucceeds) {
    const std::string output = runZel("mount --bind \"" + dir.dir() + "empty\" /usr/lib/python3/dist-packages");
    // numpy may live elsewhere; matplotlib lives there on Debian.
    const size_t named = output.find(" : Missing python module(s) ");
    ASSERT_NE(named, std::string::npos) << output;
    EXPECT_NE(output.find("matplotlib for graphics.", named), std::string::npos) << output;
    const std::string off = "Creating of graphics disabled, some/all python modules are missing.";
    ASSERT_NE(output.find(off), std::string::npos) << output;
    // Checked once, at the check of prerequisites, and said once.
    EXPECT_EQ(output.find(off, output.find(off) + 1), std::string::npos) << output;
    expectResultsWithoutPictures();
}
