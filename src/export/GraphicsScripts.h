#pragma once
// The plotting scripts: the text of each Python script that draws one picture with numpy and matplotlib, built from
// plain values (bin edges and contents, points of a graph), so that the same templates serve every module. Each
// script saves one PNG (dpi 200) at the image path it is given. Names, titles and paths may hold any characters:
// they are written as escaped Python literals, and a text that is no valid UTF-8 keeps its other characters.
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// Script name prefixes. Every plotting script's name holds "PlotPython"; the driver's does not.
inline constexpr std::string_view kHist1DScriptPrefix = "Hist1DPlotPython_";
inline constexpr std::string_view kHist1DMultiScriptPrefix = "Hist1DMultiPlotPython_";
inline constexpr std::string_view kGraphScriptPrefix = "GraphPlotPython_";
inline constexpr std::string_view kHist2DScriptPrefix = "Hist2DPlotPython_";
inline constexpr std::string_view kDriverScriptPrefix = "CreateGraphicsMultiProc_";
inline constexpr std::string_view kPlotScriptMark = "PlotPython";
inline constexpr std::string_view kMasterScriptName = "create_all_graphics.py";

// Curve colours, by curve number: several histograms in one plot, several graphs in one plot.
inline constexpr std::string_view kHistColours[] = {"dodgerblue", "violet", "orange", "cyan",   "red",    "green",
                                                    "black",      "lime",   "blue",   "salmon", "yellow", "brown",
                                                    "grey",       "blue",   "purple", "orange", "violet", "dodgerblue"};
inline constexpr std::string_view kGraphColours[] = {"dodgerblue", "violet", "orange", "cyan",   "lime",  "black",
                                                     "red",        "blue",   "salmon", "yellow", "green", "brown",
                                                     "grey",       "blue",   "purple", "orange", "violet"};

// What every picture shows around its data.
struct PlotLabels {
    std::string title;
    std::string xLabel;
    std::string yLabel;
};

// One binned curve: n + 1 ascending edges and n contents.
struct PlotBins {
    std::vector<double> edges;
    std::vector<double> contents;
};

// A 1D histogram as drawn: its bins (already cut to the range worth showing), axis scales and statistics of the
// whole histogram. With logX the two-panel form is drawn: linear counts above, symmetric-log counts below.
struct PlotHist1D {
    PlotLabels labels;
    PlotBins bins;
    bool logX = false;
    bool logY = false;
    bool statistics = true;
    double mean = 0;
    double std = 0;
    double sum = 0;
    double xAtMax = 0;
    // A Gaussian drawn over the bins when fitted.
    bool gaussian = false;
    double gaussMean = 0;
    double gaussStd = 0;
    double gaussConst = 0;
    double binWidth = 0;
};

// Several 1D histograms in one plot, each a labelled step curve.
struct PlotMultiHist1D {
    PlotLabels labels;
    std::vector<std::string> curveLabels;
    std::vector<PlotBins> curves;
    bool logX = false;
    bool logY = false;
};

// One or several graphs: points x, y per curve; one curve is drawn without a legend.
struct PlotGraph {
    PlotLabels labels;
    std::vector<std::string> curveLabels;
    std::vector<std::vector<double>> x;
    std::vector<std::vector<double>> y;
    bool statistics = true;  // mean, standard deviation, minimum and maximum of a single graph
};

// The azimuth x elevation histogram of directions (azimuth -90 ... 90, elevation 0 ... 90 degrees, edges in
// degrees), drawn on a hemisphere and seen from three sides.
struct PlotDirectionMap {
    std::vector<double> edgesX;
    std::vector<double> edgesY;
    std::vector<double> contents;  // rows of constant elevation one after another
    bool logZ = true;
};

// A 2D histogram: n + 1 and m + 1 edges and the n x m contents, rows of constant y one after another.
struct PlotHist2D {
    PlotLabels labels;
    std::string zLabel;
    std::vector<double> edgesX;
    std::vector<double> edgesY;
    std::vector<double> contents;
    bool logX = false;
    bool logY = false;
    bool logZ = false;
    bool statistics = true;
    bool square = false;  // equal scales on both axes (maps of the pixel matrix)
};

// `text` as the inside of a single- or double-quoted Python literal (file names, paths).
std::string pythonText(std::string_view text);
// The same for a text matplotlib shows (titles, axis and curve labels): '$' stays a dollar sign, no formula.
std::string pythonLabel(std::string_view text);
// A number as a Python literal: "%f" for bin contents, the shortest exact text for positions; not-a-number and
// infinities are written as 0, which no literal can hold.
std::string pythonFixed(double value);
std::string pythonNumber(double value);

std::string hist1DScript(const PlotHist1D& plot, const std::string& imagePath);
std::string multiHist1DScript(const PlotMultiHist1D& plot, const std::string& imagePath);
std::string graphScript(const PlotGraph& plot, const std::string& imagePath);
std::string hist2DScript(const PlotHist2D& plot, const std::string& imagePath);
// imagePaths: the views A, B and C.
std::string directionMapScript(const PlotDirectionMap& plot, const std::vector<std::string>& imagePaths);

// The multiprocessing driver for the given scripts: each becomes a function, run at most twice the processor
// count at a time, each round joined before the next.
std::string driverScript(const std::vector<std::string>& scripts);
// The master script that runs every listed script of ".temp" later, from the output directory.
std::string masterScript(const std::vector<std::string>& scriptNames);
// The interpreter check: imports the modules and creates `okFile`.
std::string checkScript(const std::vector<std::string>& modules, const std::string& okFile);

}  // namespace zel
