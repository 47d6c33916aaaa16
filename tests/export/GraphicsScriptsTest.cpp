// The plotting scripts as whole texts, and the escaping of names and titles checked by the real interpreter.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "common/Subprocess.h"
#include "export/GraphicsScripts.h"
#include "support/TempDir.h"

namespace {

using namespace zel;

const std::string kHeader =
    "import matplotlib\n"
    "matplotlib.use('Agg')\n"
    "import matplotlib.pyplot as plt\n"
    "import numpy as np\n"
    "import math\n";

// The interpreter with numpy and matplotlib, or empty when this machine has none.
std::string plottingPython() {
    static const std::string python = [] {
        ProgramOptions quiet;
        quiet.stdoutFile = quiet.stderrFile = "/dev/null";
        const ProgramRun run = runProgram({"/usr/bin/python3", "-c", "import numpy, matplotlib"}, quiet);
        return run.succeeded() ? std::string("/usr/bin/python3") : std::string();
    }();
    return python;
}

TEST(PlotScripts, SingleHistogramIsTheWholeExpectedScript) {
    PlotHist1D plot;
    plot.labels = {"Energy", "E [keV]", "N [-]"};
    plot.bins = {{0, 1, 2}, {3, 1}};
    plot.mean = 0.75, plot.std = 0.433, plot.sum = 4, plot.xAtMax = 0.5;
    const std::string expected = kHeader + R"(v_BinCont = [3.000000, 1.000000, 0]
v_BinLowEdge = [0, 1, 2]
fig = plt.figure()
ax = fig.add_subplot()
plt.hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont)
plt.xlabel('E [keV]')
plt.ylabel('N [-]')
plt.title('Energy')
plt.grid(visible = True, color ='grey', linestyle ='-.', linewidth = 0.4, alpha = 0.5)
plt.xlim(xmin=0, xmax = 2)
plt.ylim(ymin=0, ymax = 3.9)
props = dict(boxstyle='round', facecolor='white', alpha=0.5)
ax.text(0.69, 0.72, '$\mu=0.75$' + '\n' + '$\sigma=0.433$' + '\n' + '$\sum=4$' '\n' + 'x$(y_{max})=0.5$', alpha=0.5, bbox=props, transform=ax.transAxes)
plt.savefig('/out/Hist1D_E.png', dpi=200)
plt.close() 
)";
    EXPECT_EQ(hist1DScript(plot, "/out/Hist1D_E.png"), expected);

    // A logarithmic count axis starts below the smallest count; without any count it falls back to linear.
    plot.logY = true;
    const std::string log = hist1DScript(plot, "/out/a.png");
    EXPECT_NE(log.find("plt.hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont, log=True)\n"), std::string::npos);
    EXPECT_NE(log.find("plt.ylim(ymin=0.5, ymax = 24)\n"), std::string::npos);
    plot.bins.contents = {0, 0};
    const std::string empty = hist1DScript(plot, "/out/a.png");
    EXPECT_EQ(empty.find("log=True"), std::string::npos);
    EXPECT_NE(empty.find("plt.ylim(ymin=0, ymax = 1)\n"), std::string::npos);
}

TEST(PlotScripts, LogarithmicBinsGiveTheTwoPanelFormWithGaussian) {
    PlotHist1D plot;
    plot.labels = {"E \"var\"", "E [keV]", "N [-]"};
    plot.bins = {{1, 10, 100}, {0, 5}};
    plot.logX = true;
    plot.statistics = false;
    plot.gaussian = true;
    plot.gaussMean = 20, plot.gaussStd = 5, plot.gaussConst = 5, plot.binWidth = 1;
    const std::string expected = kHeader + R"(v_BinCont = [0.000000, 5.000000, 0]
v_BinLowEdge = [1, 10, 100]
fig, axs = plt.subplots(2, 1, sharex=True)
fig.subplots_adjust(hspace=0)
fig.suptitle("E \"var\"")
fig.supxlabel("E [keV]")
fig.supylabel("N [-]")
axs[0].hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont)
axs[0].set_xscale('log')
axs[0].grid(visible = True, color ='grey', linestyle ='-.', linewidth = 0.4, alpha = 0.5)
axs[0].grid(visible = True, which='minor', color ='grey', linestyle ='-.', linewidth = 0.3, alpha = 0.4)
axs[0].set_ylim(ymin=0, ymax = 6.5)
axs[1].hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont, log=True)
axs[1].set_xscale('log')
axs[1].set_yscale("symlog")
axs[1].grid(visible = True, color ='grey', linestyle ='-.', linewidth = 0.4, alpha = 0.5)
axs[1].grid(visible = True, which='minor', color ='grey', linestyle ='-.', linewidth = 0.3, alpha = 0.4)
axs[1].set_ylim(ymin=0, ymax = 40)
axs[1].set_xlim(xmin=1, xmax = 100)
Mu=20
Std=5
Const=5
BinWidth=1
FitGaussY = []
for x in v_BinLowEdge:
	FitGaussY.append( BinWidth*Const*(1/(math.sqrt(2*math.pi*Std*Std)))*math.exp( -pow(x - Mu,2)/(2*Std*Std) ))
plt.plot(v_BinLowEdge,FitGaussY, 'r--')
plt.savefig('p.png', dpi=200)
plt.close() 
)";
    EXPECT_EQ(hist1DScript(plot, "p.png"), expected);
}

TEST(PlotScripts, GraphsSingleWithStatisticsAndSeveralWithLegend) {
    PlotGraph graph;
    graph.labels = {"Total graph of particles counts", "T sample [s+1]", "N [-]"};
    graph.x = {{1, 2, 3}};
    graph.y = {{4, 2, 0}};
    const std::string single = kHeader + R"(v_X = [1, 2, 3]
v_Y = [4, 2, 0]
fig = plt.figure()
ax = fig.add_subplot()
plt.plot(v_X, v_Y, marker='o', markersize=3, linewidth=1.2, color = "dodgerblue")
plt.gcf().autofmt_xdate()
plt.xlabel('T sample [s+1]')
plt.ylabel('N [-]')
plt.title('Total graph of particles counts')
plt.grid(visible = True, color ='grey', linestyle ='-.', linewidth = 0.4, alpha = 0.5)
props = dict(boxstyle='round', facecolor='white', alpha=0.5)
ax.text(0.69, 0.76, '$\mu=2$' + '\n' + '$\sigma=1.63299$' + '\n' + '$min=0$' '\n' + '$max=4$', alpha=0.5, bbox=props, transform=ax.transAxes)
plt.savefig('N_Total.png', dpi=200)
plt.close() 
)";
    EXPECT_EQ(graphScript(graph, "N_Total.png"), single);

    graph.curveLabels = {"Protons", "Others"};
    graph.x = {{1, 2}, {1, 2}};
    graph.y = {{5, 6}, {7, 8}};
    const std::string several = kHeader + R"(fig = plt.figure()
ax = fig.add_subplot()
v_X = [1, 2]
v_Y = [5, 6]
plt.plot(v_X, v_Y, marker='o', markersize=3, linewidth=1.2, label = "Protons", color = "dodgerblue")
v_X = [1, 2]
v_Y = [7, 8]
plt.plot(v_X, v_Y, marker='o', markersize=3, linewidth=1.2, label = "Others", color = "violet")
plt.gcf().autofmt_xdate()
plt.xlabel('T sample [s+1]')
plt.ylabel('N [-]')
plt.title('Total graph of particles counts')
plt.grid(visible = True, color ='grey', linestyle ='-.', linewidth = 0.4, alpha = 0.5)
plt.xlim(xmin=1, xmax = 2)
plt.legend(bbox_to_anchor=(1.04, 0.5), loc="center left", borderaxespad=0, frameon=False)
plt.subplots_adjust(right=0.65)
fig = plt.gcf()
fig.set_size_inches(14.5, 8.5)
plt.savefig('N_Class.png', dpi=200)
plt.close() 
)";
    EXPECT_EQ(graphScript(graph, "N_Class.png"), several);
}

TEST(PlotScripts, SeveralHistogramsAsStepCurvesInTheListedColours) {
    PlotMultiHist1D plot;
    plot.labels = {"S by class", "S [px]", "N [-]"};
    plot.curveLabels = {"a", "b"};
    plot.curves = {{{0, 1}, {2}}, {{0, 1}, {1}}};
    plot.logY = true;
    const std::string expected = kHeader + R"(fig = plt.figure()
ax = fig.add_subplot()
v_BinCont = [2.000000, 0]
v_BinLowEdge = [0, 1]
plt.hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont, label = "a", color =  "dodgerblue", histtype='step', linewidth=1.6, alpha = 0.8, log=True)
v_BinCont = [1.000000, 0]
v_BinLowEdge = [0, 1]
plt.hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont, label = "b", color =  "violet", histtype='step', linewidth=1.6, alpha = 0.8, log=True)
plt.legend()
plt.xlabel('S [px]')
plt.ylabel('N [-]')
plt.title('S by class')
plt.grid(visible = True, color ='grey', linestyle ='-.', linewidth = 0.4, alpha = 0.5)
plt.xlim(xmin=0, xmax = 1)
plt.ylim(ymin=0.5, ymax = 16)
plt.savefig('S.png', dpi=200)
plt.close() 
)";
    EXPECT_EQ(multiHist1DScript(plot, "S.png"), expected);
}

TEST(PlotScripts, TwoDimensionalHistogramListsOnlyFilledBins) {
    PlotHist2D plot;
    plot.labels = {"Map", "X [px]", "Y [px]"};
    plot.zLabel = "N [-]";
    plot.edgesX = {0, 1, 2};
    plot.edgesY = {0, 1, 2};
    plot.contents = {0, 4, 0, 0};  // bin x 1..2, y 0..1
    plot.logZ = true;
    plot.square = true;
    const std::string expected = kHeader + R"(import matplotlib.colors as mcolors
fig, ax = plt.subplots()
plt.axis('square')
v_BinCont = [4.000000,0.000000,]
v_BinLowEdgeX = [1, 0]
v_BinLowEdgeY = [0, 0]
NBinX = [0, 1, 2]
NBinY = [0, 1, 2]
plt.hist2d(v_BinLowEdgeX, v_BinLowEdgeY, bins=[NBinX, NBinY], weights=v_BinCont,cmin = 2 ,  norm=mcolors.LogNorm())
plt.xlim(xmin=0, xmax = 2)
plt.ylim(ymin=0, ymax = 2)
cbar = plt.colorbar(shrink=0.9)
plt.xlabel('X [px]')
plt.ylabel('Y [px]')
cbar.set_label('N [-]')
plt.title('Map', loc='left')
plt.text(1.4, 0.5, 'Mean X = 1.5\nStd X = 0\nMean Y = 0.5\nStd Y = 0\nMean value = 4\nStd value = 0\nMaximum value = 4\nMinimum value = 4', transform=ax.transAxes, verticalalignment='center')
plt.subplots_adjust(right=0.65)
fig = plt.gcf()
fig.set_size_inches(7.5, 4.4)
plt.savefig('m.png', dpi=200)
plt.close() 
)";
    EXPECT_EQ(hist2DScript(plot, "m.png"), expected);

    // An empty histogram has no colour minimum and no logarithmic colours.
    plot.contents = {0, 0, 0, 0};
    const std::string empty = hist2DScript(plot, "m.png");
    EXPECT_NE(empty.find("weights=v_BinCont)\n"), std::string::npos);
}

TEST(PlotScripts, DriverWrapsEachScriptAndRunsRoundsOfTwiceTheProcessors) {
    const std::string expected = R"(import multiprocessing
import gc
import matplotlib
matplotlib.use('Agg')
import matplotlib.pyplot as plt
import numpy as np
matplotlib.backend_bases.FigureCanvasBase.draw_idle = lambda self, *args, **kwargs: None
fig = plt.figure()
fig.text(0.5, 0.5, r'$\mu=1$')
fig.canvas.draw()
plt.close(fig)
gc.freeze()
def func_0():
	a = 1
	if a:
		a = 2
def func_1():
	pass
def main():

	ptr_func = [func_0,func_1]

	i = 0
	for j in range(0, int(2/(multiprocessing.cpu_count()*2))+1):
		processes = []
		if i == 2: break
		for n in range(0, multiprocessing.cpu_count()*2):
			process = multiprocessing.Process(target=ptr_func[i])
			processes.append(process)
			process.start()
			i += 1
			if i == 2: break
		for process in processes:
			process.join()

if __name__ == "__main__":
	main()
)";
    EXPECT_EQ(driverScript({"a = 1\nif a:\n\ta = 2\n", ""}), expected);
}

TEST(PlotScripts, MasterScriptRunsEveryScriptFromTheOutputDirectory) {
    const std::string expected = R"(import matplotlib.pyplot as plt
import numpy as np
import matplotlib.colors as mcolors
import math
import multiprocessing
import os
import subprocess
import sys
os.chdir(os.path.dirname(os.path.abspath(__file__)))
print("Creating graphics")
print("Processing file:", "./.temp/GraphPlotPython_7.py")
rc = subprocess.run([sys.executable, "./.temp/GraphPlotPython_7.py"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
)";
    EXPECT_EQ(masterScript({"GraphPlotPython_7.py"}), expected);
}

TEST(PlotScripts, NonFiniteNumbersBecomeZero) {
    EXPECT_EQ(pythonFixed(std::numeric_limits<double>::quiet_NaN()), "0.000000");
    EXPECT_EQ(pythonNumber(-std::numeric_limits<double>::infinity()), "0");
    EXPECT_EQ(pythonNumber(0.1), "0.1");
}

// Every awkward character survives as the same text in Python: the literal read back equals the bytes written,
// except that a byte that is no UTF-8 becomes the letter of its value.
TEST(PlotScripts, EscapedTextsReadBackUnchanged) {
    const std::string python = plottingPython();
    if (python.empty()) GTEST_SKIP() << "no interpreter with numpy and matplotlib";
    zeltest::TempDir dir("zel_gfx");
    const std::string text =
        "it's \"q\" back\\slash 100% \xc3\xbc"
        "n\xc3\xaf"
        "c\xc3\xb6"
        "d\xc3\xa9 tab\there\nline $5";
    dir.write("echo.py", "import sys\nsys.stdout.buffer.write('" + pythonText(text) + "'.encode('utf-8'))\n");
    ProgramOptions options;
    options.stdoutFile = dir.file("echo.txt");
    ASSERT_TRUE(runProgram({python, dir.file("echo.py")}, options).succeeded());
    EXPECT_EQ(zeltest::TempDir::read(dir.file("echo.txt")), text);

    EXPECT_EQ(pythonText("a\xff"), "a\\xff");
    EXPECT_EQ(pythonLabel("$5"), "\\\\$5");
}

// Titles and paths with quotes, backslashes, percent signs, dollars, non-ASCII letters, bytes that are no UTF-8
// and blanks, and histograms of one bin, all bins empty and contents that are no numbers: each script draws its
// picture.
TEST(PlotScripts, AwkwardTitlesAndContentsStillDrawPictures) {
    const std::string python = plottingPython();
    if (python.empty()) GTEST_SKIP() << "no interpreter with numpy and matplotlib";
    zeltest::TempDir dir("zel_gfx");
    std::filesystem::create_directories(dir.file("out 'q' %\xc3\xa9"));
    const std::string image = dir.file("out 'q' %\xc3\xa9/pic \"1\".png");
    const std::string title =
        "E's \"spectrum\" \\ 50% \xc3\xa9"
        "nergie \xfe $x";
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    PlotHist1D one;
    one.labels = {title, title, title};
    one.bins = {{0, 1}, {nan}};
    one.logY = true;
    PlotHist1D twoPanel = one;
    twoPanel.logX = true;
    twoPanel.bins = {{1, 2, 4}, {inf, 3}};
    PlotHist2D map;
    map.labels = {title, "x", "y"};
    map.edgesX = map.edgesY = {0, 1};
    map.contents = {nan};
    map.logZ = true;
    PlotGraph graph;
    graph.labels = {title, "t", "n"};
    graph.x = {{1}};
    graph.y = {{inf}};
    const std::string scripts[] = {hist1DScript(one, image), hist1DScript(twoPanel, image), hist2DScript(map, image),
                                   graphScript(graph, image)};
    for (const std::string& script : scripts) {
        std::filesystem::remove(image);
        dir.write("s.py", script);
        ProgramOptions quiet;
        quiet.stdoutFile = quiet.stderrFile = dir.file("python.txt");
        EXPECT_TRUE(runProgram({python, dir.file("s.py")}, quiet).succeeded())
            << script << zeltest::TempDir::read(dir.file("python.txt"));
        EXPECT_TRUE(std::filesystem::exists(image));
    }
}

// The hemisphere of directions: one face per bin of the coarse histogram, three views, also without any count.
TEST(PlotScripts, DirectionMapDrawsThreeViews) {
    const std::string python = plottingPython();
    if (python.empty()) GTEST_SKIP() << "no interpreter with numpy and matplotlib";
    zeltest::TempDir dir("zel_gfx");
    PlotDirectionMap map;
    for (int k = 0; k <= 90; ++k) map.edgesX.push_back(-90.0 + 2.0 * k);
    map.edgesY = {0, 18, 28, 35, 40, 45, 50, 55, 60, 65, 70, 75, 80, 85, 90};
    map.contents.assign(90 * 14, 0.0);
    const std::vector<std::string> images{dir.file("A.png"), dir.file("B.png"), dir.file("C.png")};
    for (const bool empty : {false, true}) {
        if (!empty)
            map.contents[5 * 90 + 10] = 40, map.contents[0] = 1;
        else
            map.contents.assign(90 * 14, 0.0);
        const std::string script = directionMapScript(map, images);
        EXPECT_EQ(script.find("LogNorm") == std::string::npos, empty);
        dir.write("map.py", script);
        ProgramOptions quiet;
        quiet.stdoutFile = quiet.stderrFile = dir.file("python.txt");
        EXPECT_TRUE(runProgram({python, dir.file("map.py")}, quiet).succeeded())
            << zeltest::TempDir::read(dir.file("python.txt"));
        for (const std::string& image : images) {
            EXPECT_TRUE(std::filesystem::exists(image)) << image;
            std::filesystem::remove(image);
        }
    }
}

}  // namespace
