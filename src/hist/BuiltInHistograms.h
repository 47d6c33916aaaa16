#pragma once
// The built-in histogram set of the histogram module: 24 one-dimensional and 2 two-dimensional histograms of the
// cluster variables, used whenever no histogram file is named. The set is a data table; `builtInHistConfig`
// turns it into the in-memory configuration that the module loads like a user file.
#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "common/ConfigFile.h"

namespace zel {

// One 1D histogram of the set. Equal bins when nBin > 0; otherwise geometric bins with the edges
// edgeBase * edgeRatio^k, k = 0 ... lastPower, rounded to `decimals` decimals.
struct BuiltInHist1D {
    std::string_view section;
    std::string_view variable;
    int nBin;
    double min;
    double max;
    double edgeBase;
    double edgeRatio;
    int lastPower;
    int decimals;
    std::string_view name;
    std::string_view axisTitle;
    bool doLogX;
    bool doLogY;
    // LET histograms take the sensor thickness from the detector (SensThick -1).
    bool detectorThickness;
};

// One 2D histogram of the set: equal bins on both axes, logarithmic colour scale and statistics in the plot.
struct BuiltInHist2D {
    std::string_view section;
    std::string_view variableX;
    std::string_view variableY;
    int nBinX;
    double xmin;
    double xmax;
    int nBinY;
    double ymin;
    double ymax;
    std::string_view name;
    std::string_view axisTitleX;
    std::string_view axisTitleY;
};

inline constexpr std::string_view kCountAxisTitle = "N [-]";

// clang-format off
inline constexpr std::array<BuiltInHist1D, 24> kBuiltInHist1D{{
    {"Hist1D_E", "E", 0, 0, 0, 2.0, 1.05, 251, 2,
     "Histogram with deposited energy (variable width of bins)", "E [keV]", true, true, false},
    {"Hist1D_E_EqBin", "E", 200000, 0, 400000, 0, 0, 0, 0,
     "Histogram with deposited energy (equal width of bins)", "E [keV]", false, true, false},
    {"Hist1D_S", "Size", 5000, 0, 5000, 0, 0, 0, 0, "Histogram with size of cluster", "S [px]", false, true, false},
    {"Hist1D_H", "Height", 10000, 0, 10000, 0, 0, 0, 0,
     "Histogram with cluster height (maximal pixel value of cluster)", "H [keV]", false, true, false},
    {"Hist1D_Round", "Roundness", 400, -0.1, 2.1, 0, 0, 0, 0,
     "Histogram with cluster roundness", "Roundness [-]", false, true, false},
    {"Hist1D_Linear", "Linearity", 200, -0.1, 1.1, 0, 0, 0, 0,
     "Histogram with cluster linearity", "Linearity [-]", false, true, false},
    {"Hist1D_AzimuthAngle", "AngleAzim", 360, -90, 90, 0, 0, 0, 0,
     "Histogram with cluster azimuth angle (old polar angle)", "Azimuth angle [deg]", false, true, false},
    {"Hist1D_ElevAngle", "AngleElev", 180, 0, 90, 0, 0, 0, 0,
     "Histogram with cluster elevation angle", "Elevation angle [deg]", false, true, false},
    {"Hist1D_W2D", "WidthProj", 10000, 0, 500, 0, 0, 0, 0, "Histogram with cluster W2D", "W2D [px]", false, true, false},
    {"Hist1D_L2D", "LengthProj", 5000, 0, 1000, 0, 0, 0, 0, "Histogram with cluster L2D", "L2D [px]", false, true, false},
    {"Hist1D_L2DCorr", "LengthCorrStd", 5000, 0, 1000, 0, 0, 0, 0,
     "Histogram with cluster L2D corrected (in sensor plane)", "L2D corrected [px]", false, true, false},
    {"Hist1D_L3D", "Length3DCorrStd", 10000, 0, 50000, 0, 0, 0, 0,
     "Histogram with cluster L3D (in sensor volume)", "L3D [um]", false, true, false},
    {"Hist1D_BorderPixN", "BorderPixCount", 3000, 0, 3000, 0, 0, 0, 0,
     "Histogram with cluster border pixel count", "BorderPixN [px]", false, true, false},
    {"Hist1D_LET", "LET", 0, 0, 0, 0.1, 1.05, 235, 5,
     "Histogram with cluster LET (variable width of bins)", "LET [keV/um]", true, true, true},
    {"Hist1D_LET_EqBin", "LET", 80000, 0, 2000, 0, 0, 0, 0,
     "Histogram with cluster LET (equal width of bins)", "LET [keV/um]", false, true, true},
    {"Hist1D_EpixMean", "EpixMean", 2000, 0, 1000, 0, 0, 0, 0,
     "Histogram with cluster E/S = Epix Mean", "Epix Mean [keV]", false, true, false},
    {"Hist1D_EpixStd", "EpixStd", 2000, 0, 1000, 0, 0, 0, 0,
     "Histogram with cluster E/S = Epix Std", "Epix Std [keV]", false, true, false},
    {"Hist1D_PIDClass", "PIDClass", 100, -10, 90, 0, 0, 0, 0,
     "Histogram with cluster PID class", "PID class [-]", false, true, false},
    {"Hist1D_X", "X", 2000, 0, 256, 0, 0, 0, 0, "Histogram with cluster X coord.", "X [px]", false, true, false},
    {"Hist1D_Y", "Y", 2000, 0, 256, 0, 0, 0, 0, "Histogram with cluster Y coord.", "Y [px]", false, true, false},
    {"Hist1D_Thin", "Thin", 200, -0.1, 1.1, 0, 0, 0, 0, "Histogram with cluster thiness", "Thin [-]", false, false, false},
    {"Hist1D_Thick", "Thick", 200, -0.1, 1.1, 0, 0, 0, 0,
     "Histogram with cluster thickness", "Thick [-]", false, false, false},
    {"Hist1D_CurlyThin", "CurlyThin", 200, -0.1, 1.1, 0, 0, 0, 0,
     "Histogram with cluster CurlyThin", "CurlyThin [-]", false, false, false},
    {"Hist1D_Diameter", "Diameter", 1000, 0, 500, 0, 0, 0, 0,
     "Histogram with cluster diameter", "Diameter [px]", false, false, false},
}};

inline constexpr std::array<BuiltInHist2D, 2> kBuiltInHist2D{{
    {"Hist2D_E_S_HighE", "E", "Size", 500, 0, 100000, 500, 0, 1000,
     "Histogram with cluster energy and size for high E clusters", "E [keV]", "S [px]"},
    {"Hist2D_E_S_LowE", "E", "Size", 100, 0, 1000, 100, 0, 100,
     "Histogram with cluster energy and size for low E clusters", "E [keV]", "S [px]"},
}};
// clang-format on

// The edges base * ratio^k for k = 0 ... lastPower, each rounded to `decimals` decimals.
std::vector<double> geometricEdges(double base, double ratio, int lastPower, int decimals);

// The built-in set as a configuration held in memory (its skip-load flag set): [Input] and [Output] first, then one
// section per histogram whose Title is the section name followed by "_" and `suffix`.
std::unique_ptr<ConfigFile> builtInHistConfig(std::string_view suffix);

}  // namespace zel
