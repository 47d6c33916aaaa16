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
