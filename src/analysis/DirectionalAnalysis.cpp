#include "analysis/DirectionalAnalysis.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>

#include "cluster/ClusterVariables.h"
#include "common/ConfigFile.h"
#include "common/Paths.h"
#include "common/NumberText.h"
#include "common/OutputText.h"
#include "common/PendingFile.h"
#include "common/Text.h"
#include "engine/Settings.h"
#include "export/DirectionList.h"
#include "export/Pictures.h"

namespace zel {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kCoarseAzimuthStepRadians = 0.03490658503988659;  // 2 degrees
// Coarse elevation bins, in degrees from the sensor plane up to the normal: wide near the plane, where few
// tracks lie, 5 degrees from 40 up.
constexpr double kCoarseElevationWidths[] = {18, 10, 7, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
constexpr int kFineBins = 360;
const std::string kHistEndData = ".hist";
const std::string kHistEndInfo = ".hist_info";

struct HistNames {
    const char* title;
    const char* name;
};
constexpr HistNames kAzimuthCoarseNames{"Histogram with azimuth angle of clusters (in sensor plane)",
                                        "Hist1D_AzimAngle_Total"};
constexpr HistNames kAzimuthFineNames{"Histogram with azimuth angle of clusters (in sensor plane)",
                                      "Hist1D_AzimAngle_FineBin_Total"};
constexpr HistNames kElevationCoarseNames{"Histogram with elevation angle of clusters (in sensor volume)",
                                          "Hist1D_ElevAngle_Total"};
constexpr HistNames kElevationFineNames{"Histogram with elevation angle of clusters (in sensor volume)",
                                        "Hist1D_ElevAngle_FineBin_Total"};
constexpr HistNames kDirectionCoarseNames{"Histogram with azimuth and elevation angle of clusters",
                                          "Hist2D_AzimElevAngle_Total"};
constexpr HistNames kDirectionFineNames{"Histogram with azimuth and elevation angle of clusters",
                                        "Hist2D_AzimElevAngle_FineBin_Total"};

// The time-sample graphs: quantity, title, name, y axis title (an empty unit takes the angle unit).
struct GraphRow {
    DirectionalAnalysis::Quantity quantity;
    const char* title;
    const char* name;
    const char* yTitle;
    bool angle;
};
constexpr GraphRow kGraphs[] = {
    {DirectionalAnalysis::kAzimuth, "Mean azimuth angle over time samples", "AzimuthAngle_TimeSample",
     "Azimuth angle [", true},
    {DirectionalAnalysis::kElevation, "Mean elevation angle over time samples", "ElevationAngle_TimeSample",
     "Elevation angle [", true},
    {DirectionalAnalysis::kLength3D, "Mean L3D (lentght in sensor volume) over time samples", "L3D_TimeSample",
     "L3D [um]", false},
    {DirectionalAnalysis::kLength2DCorr, "Mean L2D corrected (in sensor plane) over time samples",
     "L2DCorr_TimeSample", "L2D corrected [px]", false},
    {DirectionalAnalysis::kLength2D, "Mean L2D as geometrical projection in sensor plane over time samples",
     "L2D_TimeSample", "L2D [px]", false},
};

template <class H>
void nameHist(H& hist, const HistNames& names, std::vector<std::string> axes) {
    hist.SetName(names.name);
    hist.SetFileOutName(names.name);
    hist.SetAxisTitles(std::move(axes));
}

bool readFlag(const ConfigFile& config, std::string_view section, std::string_view key, bool& value) {
    const ConfigParameter parameter = config.getParameter(key, section);
    if (parameter.numbers.empty()) return false;
    value = parameter.numbers.front() != 0.0;
    return true;
}

const char* onOff(bool value) { return value ? "true" : "false"; }

}  // namespace

DirectionalAnalysis::Indexes DirectionalAnalysis::Indexes::from(const ClusterVariables& v) {
    Indexes i;
    i.azimuth = v.index(Var::AngleAzim);
    i.elevation = v.index(Var::AngleElev);
    i.length2D = v.index(Var::LengthProj);
    i.length2DCorr = v.index(Var::LengthCorr);
    i.length3D = v.index(Var::Length3DCorr);
    i.roundness = v.index(Var::Roundness);
    i.size = v.index(Var::Size);
    return i;
}

bool DirectionalAnalysis::Options::from(const Settings& s, Options& o, MessageTarget& to) {
    o.doTrackingCond = s.DoDirectionTrackCond;
    o.doExportText = s.DoExportText;
    o.doExportGraphics = s.DoExportGraphics;
    o.doWeb = s.DoWeb;
    o.directory = s.FileOutPath + s.ExportDirDirection;
    o.listName = s.DirectionListName;
    o.listJsonName = s.DirectionListJsonName;
    o.logName = s.LogName;
    o.logPath = s.LogPath;
    if (s.DirectionName.empty()) return true;
    ConfigFile config(s.DirectionPath, s.DirectionName);
    config.setMessageTarget(to);
    if (config.load() != 0) return false;
    readFlag(config, "Settings", "DoRadians", o.doRadians);
    readFlag(config, "Export", "DoExport", o.doExport);
    readFlag(config, "LogPrint", "DoPrintOut", to.print);
    readFlag(config, "LogPrint", "DoLog", to.doLog);
    return true;
}

int DirectionalAnalysis::fail(const std::string& text, int number) const {
    return printModuleError(messages_, std::string(kName) + " : " + text, codeBase_, number);
}

int DirectionalAnalysis::init(const ModuleContext& context) {
    run_ = &context.run;
    return init(context.settings, context.variables, context.messages, context.codeBase);
}

int DirectionalAnalysis::init(const Settings& settings, const ClusterVariables& variables, const MessageTarget& to,
                              int codeBase) {
    messages_ = to;
    codeBase_ = codeBase;
    initialised_ = false;
    Options options;
    MessageTarget own = to;
    if (!Options::from(settings, options, own)) return fail("Initialization failed.", kSetupFailed);
    return init(options, Indexes::from(variables), own, codeBase);
}

int DirectionalAnalysis::init(const Options& options, const Indexes& indexes, const MessageTarget& to, int codeBase) {
    options_ = options;
    indexes_ = indexes;
    messages_ = to;
    codeBase_ = codeBase;
    initialised_ = false;
    const Indexes& i = indexes;
    if (i.size < 0 || i.roundness < 0 || i.azimuth < 0 || i.elevation < 0 || i.length2D < 0 || i.length2DCorr < 0 ||
        i.length3D < 0) {
        return fail("Initialization failed. Not all indexes were specified.\ni_AzimAng:\t" +
                          std::to_string(i.azimuth) + "\ni_ElevAng:\t" + std::to_string(i.elevation) +
                          "\ni_L2D:\t\t" + std::to_string(i.length2D) + "\ni_L2D_Corr:\t" +
                          std::to_string(i.length2DCorr) + "\ni_L3D:\t\t" + std::to_string(i.length3D),
                      kIndexesMissing);
    }
    resetStatistics();
    if (!buildHistograms()) return fail("Initialization failed.", kSetupFailed);
    initialised_ = true;
    return 0;
}

void DirectionalAnalysis::resetStatistics() {
    accepted_ = failedTrackCond_ = 0.0;
    for (Statistic& s : statistics_) {
        s = Statistic{};
        s.minimum = std::numeric_limits<double>::max();
        s.maximum = std::numeric_limits<double>::lowest();
    }
    liveTimes_.clear();
    for (auto& means : sampleMeans_) means.assign(1, 0.0);
    sampleIndex_ = 0;
    sampleCount_ = 0.0;
    finalClosed_ = false;
}

bool DirectionalAnalysis::buildHistograms() {
    const double unit = options_.doRadians ? kRadiansPerDegree : 1.0;
    std::vector<double> azimuthEdges;
    for (int k = 0; k <= 90; ++k) {
        azimuthEdges.push_back(options_.doRadians ? -kPi / 2 + k * kCoarseAzimuthStepRadians : -90.0 + 2.0 * k);
    }
    std::vector<double> elevationEdges{0.0};
    for (double width : kCoarseElevationWidths) elevationEdges.push_back(elevationEdges.back() + width * unit);

    const std::string u(angleUnit());
    const std::string azimuthAxis = "Azimuth angle [" + u + "]";
    const std::string elevationAxis = "Elevation angle [" + u + "]";
    try {
        azimuthCoarse_ = std::make_unique<Hist1D>(kAzimuthCoarseNames.title, azimuthEdges, codeBase_, messages_);
        azimuthFine_ = std::make_unique<Hist1D>(kAzimuthFineNames.title, kFineBins, -90 * unit, 90 * unit, codeBase_,
                                                messages_);
        elevationCoarse_ =
            std::make_unique<Hist1D>(kElevationCoarseNames.title, elevationEdges, codeBase_, messages_);
        elevationFine_ =
            std::make_unique<Hist1D>(kElevationFineNames.title, kFineBins, 0.0, 90 * unit, codeBase_, messages_);
        directionCoarse_ = std::make_unique<Hist2D>(kDirectionCoarseNames.title, azimuthEdges, elevationEdges,
                                                    codeBase_, messages_);
        directionFine_ = std::make_unique<Hist2D>(kDirectionFineNames.title, kFineBins, -90 * unit, 90 * unit,
                                                  kFineBins, 0.0, 90 * unit, codeBase_, messages_);
    } catch (const std::runtime_error&) {
        return false;
    }
    nameHist(*azimuthCoarse_, kAzimuthCoarseNames, {azimuthAxis, "N [-]"});
    nameHist(*azimuthFine_, kAzimuthFineNames, {azimuthAxis, "N [-]"});
    nameHist(*elevationCoarse_, kElevationCoarseNames, {elevationAxis, "N [-]"});
    nameHist(*elevationFine_, kElevationFineNames, {elevationAxis, "N [-]"});
    nameHist(*directionCoarse_, kDirectionCoarseNames, {azimuthAxis, elevationAxis, "N [-]"});
    nameHist(*directionFine_, kDirectionFineNames, {azimuthAxis, elevationAxis, "N [-]"});
    return true;
}

void DirectionalAnalysis::processCluster(std::span<const double> row, int /*classIndex*/) {
    if (!initialised_) return;
    const Indexes& i = indexes_;
    const int widest = std::max({i.azimuth, i.elevation, i.length2D, i.length2DCorr, i.length3D, i.roundness, i.size});
    if (row.size() <= static_cast<size_t>(widest)) {
        fail("No cluster for processing.", kNoCluster);
        return;
    }
    auto at = [&row](int column) { return row[static_cast<size_t>(column)]; };
    if (options_.doTrackingCond && !(at(i.roundness) <= kMaxRoundness && at(i.size) >= kMinSize)) {
        failedTrackCond_ += 1.0;
        return;
    }
    accepted_ += 1.0;
    sampleCount_ += 1.0;
    const double unit = options_.doRadians ? kRadiansPerDegree : 1.0;
    const std::array<double, kQuantityCount> values{at(i.length2D), at(i.length2DCorr), at(i.length3D),
                                                    at(i.azimuth) * unit, at(i.elevation) * unit};
    for (size_t q = 0; q < kQuantityCount; ++q) {
        Statistic& s = statistics_[q];
        s.sum += values[q];
        s.sumSquares += values[q] * values[q];
        s.minimum = std::min(s.minimum, values[q]);
        s.maximum = std::max(s.maximum, values[q]);
        sampleMeans_[q].back() += values[q];
    }
    const double azimuth = values[kAzimuth];
    const double elevation = values[kElevation];
    azimuthCoarse_->Fill(azimuth);
    elevationCoarse_->Fill(elevation);
    directionCoarse_->Fill(azimuth, elevation);
    azimuthFine_->Fill(azimuth);
    elevationFine_->Fill(elevation);
    directionFine_->Fill(azimuth, elevation);
}

void DirectionalAnalysis::closeSample(double liveTime, bool final) {
    if (!initialised_ || finalClosed_) return;
    liveTimes_.push_back(liveTime == 0.0 ? -1.0 : liveTime);
    for (auto& means : sampleMeans_) {
        means.back() = sampleCount_ > 0 ? means.back() / sampleCount_ : 0.0;
        if (!final) means.push_back(0.0);
    }
    ++sampleIndex_;
    sampleCount_ = 0.0;
    finalClosed_ = final;
}

int DirectionalAnalysis::finishInput() {
    if (!initialised_) return fail("Error occurred in evaluation of vector statistics.", kStatisticsFailed);
    const double n = accepted_;
    for (Statistic& s : statistics_) {
        s.mean = s.sum != 0.0 ? s.sum / n : 0.0;
        s.std = n < 2 ? 0.0 : std::sqrt(std::max(0.0, (s.sumSquares - s.mean * s.mean * n) / (n - 1)));
        if (n == 0) s.minimum = s.maximum = 0.0;
    }
    return 0;
}

int DirectionalAnalysis::exportResults(const MessageTarget& to) {
    int failed = initialised_ ? 0 : 1;
    if (initialised_ && (options_.doExportText || options_.doExportGraphics) && !makeDirectories(options_.directory)) {
        failed = 1;
    }
    if (failed == 0 && options_.doExportText && writeDirectionList(*this, to) != 0) failed = 1;
    if (failed == 0 && options_.doExport && (options_.doExportText || options_.doExportGraphics)) {
        if (exportHistograms() != 0) failed = 1;
        if (options_.doExportGraphics && exportGraphs() != 0) failed = 1;
    }
    if (failed != 0) return fail("Error occurred during export.", kExportFailed);
    return 0;
}

int DirectionalAnalysis::exportHistograms() {
    const std::string directory = options_.directory + "Hist" + kSeparator;
    if (!makeDirectories(directory)) return -1;
    int result = 0;
    Hist* const all[] = {azimuthCoarse_.get(),   azimuthFine_.get(),     elevationCoarse_.get(),
                         elevationFine_.get(),   directionCoarse_.get(), directionFine_.get()};
    for (Hist* hist : all) {
        hist->SetFileOutPath(directory);
        hist->SetFileOutEndData(kHistEndData);
        hist->SetFileOutEndInfo(kHistEndInfo);
        result += hist->Export();
    }
    if (Pictures* pictures = run_ != nullptr && options_.doExportGraphics ? run_->pictures : nullptr) {
        for (const Hist1D* hist :
             {azimuthCoarse_.get(), azimuthFine_.get(), elevationCoarse_.get(), elevationFine_.get()})
            pictures->add(*hist, directory);
        for (const Hist2D* hist : {directionCoarse_.get(), directionFine_.get()}) pictures->add(*hist, directory);
        // The coarse directions on a hemisphere, edges in degrees whatever unit the analysis uses.
        const double toDegrees = options_.doRadians ? 1.0 / kRadiansPerDegree : 1.0;
        PlotDirectionMap map;
        for (double edge : directionCoarse_->GetAxisX().binEdges()) map.edgesX.push_back(edge * toDegrees);
        for (double edge : directionCoarse_->GetAxisY().binEdges()) map.edgesY.push_back(edge * toDegrees);
        map.contents = Pictures::plotOf(*directionCoarse_).contents;
        const std::string graphs = options_.directory + "Graph" + kSeparator;
        if (makeDirectories(graphs))
            pictures->add(map, {"Directional3DMap_A_Total", "Directional3DMap_B_Total", "Directional3DMap_C_Total"},
                          graphs);
    }
    return result;
}

std::vector<DirectionalAnalysis::Graph> DirectionalAnalysis::timeSampleGraphs() const {
    std::vector<Graph> graphs;
    const size_t closed = liveTimes_.size();
    for (const GraphRow& row : kGraphs) {
        const std::vector<double>& means = sampleMeans_[row.quantity];
        std::string yTitle = row.yTitle;
        if (row.angle) yTitle += std::string(angleUnit()) + "]";
        graphs.push_back({row.title, row.name, yTitle,
                          std::vector<double>(means.begin(), means.begin() + static_cast<std::ptrdiff_t>(
                                                                                 std::min(closed, means.size())))});
    }
    return graphs;
}

// Each graph as a text file of two columns: the end of each time sample (the summed live times, a sample of no
// live time adding nothing) and the mean of the quantity in that sample.
int DirectionalAnalysis::exportGraphs() const {
    const std::string directory = options_.directory + "Graph" + kSeparator;
    if (!makeDirectories(directory)) return -1;
    std::vector<double> times;
    double elapsed = 0.0;
    for (double live : liveTimes_) times.push_back(elapsed += std::max(0.0, live));
    OutputText text;
    for (const Graph& graph : timeSampleGraphs()) {
        text.clear();
        text.write("# " + graph.title + "\nT [s]\t" + graph.yTitle + "\n");
        for (size_t k = 0; k < graph.y.size(); ++k) {
            char* out = writeGeneral6(text.claim(2 * kNumberChars + 2), times[k]);
            *out++ = '\t';
            out = writeGeneral6(out, graph.y[k]);
            *out++ = '\n';
            text.commit(out);
        }
        PendingFile file(directory + graph.name + ".txt");
        if (!file.write(text.text()) || !file.commit()) return -1;
        if (run_ != nullptr && run_->pictures != nullptr) {
            PlotGraph picture;
            picture.labels = {graph.title, "T sample [s+1]", graph.yTitle};
            picture.x.emplace_back(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(graph.y.size()));
            picture.y.push_back(graph.y);
            run_->pictures->add(picture, graph.name, directory);
        }
    }
    return 0;
}

std::string DirectionalAnalysis::reportText() const {
    const std::string rule = "---------------------------------------------------------\n";
    const std::string title = "DIRECTIONAL ANALYSIS";
    const std::string header(72, '=');
    const size_t pad = (header.size() - title.size()) / 2;
    std::string text = header + "\n" + std::string(pad, ' ') + title + "\n" + header + "\n";
    text += rule + "MAIN SETTINGS\n\n";
    text += std::string("DoExport:\t\t") + onOff(options_.doExport) + "\n";
    text += "FileOut_Path:\t\t" + options_.directory + "\n";
    text += "FileOut_Name:\t\t" + options_.listName + "\n";
    text += "FileOut_EndData:\t\t" + kHistEndData + "\n";
    text += "FileOut_EndInfo:\t\t" + kHistEndInfo + "\n";
    text += std::string("DoPrintOut:\t\t") + onOff(messages_.print) + "\n";
    text += "FileLog_Name:\t\t" + options_.logName + "\n";
    text += "FileLog_Path:\t\t" + options_.logPath + "\n";
    text += std::string("DoRadians:\t\t") + onOff(options_.doRadians) + "\n";
    text += rule;
    text += std::string("Do tracking condition:\t") + onOff(options_.doTrackingCond);
    return text;
}

void DirectionalAnalysis::report(const MessageTarget& to) const { printMsg(to, reportText()); }

}  // namespace zel
