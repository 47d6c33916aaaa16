#include "hist/BuiltInHistograms.h"

#include <cmath>
#include <string>

#include "common/Paths.h"

namespace zel {

std::vector<double> geometricEdges(double base, double ratio, int lastPower, int decimals) {
    const double scale = std::pow(10.0, decimals);
    std::vector<double> edges;
    edges.reserve(static_cast<size_t>(lastPower) + 1);
    for (int k = 0; k <= lastPower; ++k) edges.push_back(std::round(base * std::pow(ratio, k) * scale) / scale);
    return edges;
}

namespace {

std::string suffixed(std::string_view section, std::string_view suffix) {
    std::string title(section);
    if (!suffix.empty()) title.append("_").append(suffix);
    return title;
}

void addCommonKeys(ConfigFile& config, const std::string& section, std::string_view suffix, std::string_view name) {
    config.addSection(section);
    config.addParameter(section, "Title", suffixed(section, suffix));
    config.addParameter(section, "Name", std::string(name));
}

void addHist1D(ConfigFile& config, const BuiltInHist1D& hist, std::string_view suffix) {
    const std::string section(hist.section);
    addCommonKeys(config, section, suffix, hist.name);
    config.addParameter(section, "VarName", std::vector<std::string>{std::string(hist.variable)});
    config.addParameter(section, "AxisTitle",
                        std::vector<std::string>{std::string(hist.axisTitle), std::string(kCountAxisTitle)});
    if (hist.detectorThickness) config.addParameter(section, "SensThick", -1.0);
    if (hist.nBin > 0) {
        config.addParameter(section, "NBin", static_cast<double>(hist.nBin));
        config.addParameter(section, "Xmin", hist.min);
        config.addParameter(section, "Xmax", hist.max);
    } else {
        config.addParameter(section, "BinLowEdge",
                            geometricEdges(hist.edgeBase, hist.edgeRatio, hist.lastPower, hist.decimals));
    }
    config.addParameter(section, "DoPlot", 1.0);
    if (hist.doLogX) config.addParameter(section, "DoLogX", 1.0);
    if (hist.doLogY) config.addParameter(section, "DoLogY", 1.0);
}

void addHist2D(ConfigFile& config, const BuiltInHist2D& hist, std::string_view suffix) {
    const std::string section(hist.section);
    addCommonKeys(config, section, suffix, hist.name);
    config.addParameter(section, "VarName",
                        std::vector<std::string>{std::string(hist.variableX), std::string(hist.variableY)});
    config.addParameter(section, "AxisTitle",
                        std::vector<std::string>{std::string(hist.axisTitleX), std::string(hist.axisTitleY),
                                                 std::string(kCountAxisTitle)});
    config.addParameter(section, "NBinX", static_cast<double>(hist.nBinX));
    config.addParameter(section, "Xmin", hist.xmin);
    config.addParameter(section, "Xmax", hist.xmax);
    config.addParameter(section, "NBinY", static_cast<double>(hist.nBinY));
    config.addParameter(section, "Ymin", hist.ymin);
    config.addParameter(section, "Ymax", hist.ymax);
    config.addParameter(section, "DoPlot", 1.0);
    config.addParameter(section, "DoLogZ", 1.0);
    config.addParameter(section, "DoPlotStat", 1.0);
}

}  // namespace

std::unique_ptr<ConfigFile> builtInHistConfig(std::string_view suffix) {
    auto config = std::make_unique<ConfigFile>();
    config->setSkipLoad(true);
    config->addSection("Input");
    config->addParameter("Input", "FileIn_Path", currentDirPrefix());
    config->addParameter("Input", "FileIn_Name", "Elist.txt");
    config->addSection("Output");
    config->addParameter("Output", "FileOut_Path", currentDirPrefix());
    config->addParameter("Output", "FileOut_EndData", ".hist");
    config->addParameter("Output", "FileOut_EndInfo", ".hist_info");
    for (const BuiltInHist1D& hist : kBuiltInHist1D) addHist1D(*config, hist, suffix);
    for (const BuiltInHist2D& hist : kBuiltInHist2D) addHist2D(*config, hist, suffix);
    return config;
}

}  // namespace zel
