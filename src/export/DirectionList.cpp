#include "export/DirectionList.h"

#include <string>
#include <vector>

#include "analysis/DirectionalAnalysis.h"
#include "export/ResultsDocument.h"

namespace zel {
namespace {

using Q = DirectionalAnalysis::Quantity;

// The five quantities as the list names them: statistics key, table column, per-sample key, unit.
struct QuantityKeys {
    Q quantity;
    const char* statistics;
    const char* column;
    const char* perSample;
    bool angle;
    const char* unit;
};
constexpr QuantityKeys kQuantities[] = {
    {Q::kLength2D, "Length2DGeoProj_MeanStdMinMax", "L2DGeoProj", "Length2DGeoProj_Mean_Sample", false, "px+1"},
    {Q::kLength2DCorr, "Length2DCorrected_MeanStdMinMax", "L2DCorrected", "Length2DCorrected_Mean_Sample", false,
     "px+1"},
    {Q::kLength3D, "Length3D_MeanStdMinMax", "L3D", "Length3D_Mean_Sample", false, "um+1"},
    {Q::kAzimuth, "AzimuthAngle_MeanStdMinMax", "AzimAngle", "AzimuthAngle_Mean_Sample", true, ""},
    {Q::kElevation, "ElevationAngle_MeanStdMinMax", "ElevAngle", "ElevationAngle_Mean_Sample", true, ""},
};

struct HistogramFeature {
    std::string_view kind;
    const char* title;
    const char* feature;
};
constexpr HistogramFeature kHistograms[] = {
    {web::kHistogram1D, "Histogram with azimuth angle", "AzimAngle"},
    {web::kHistogram1D, "Histogram with azimuth angle (fine binning)", "AzimAngle_FineBin"},
    {web::kHistogram1D, "Histogram with elevation angle", "ElevAngle"},
    {web::kHistogram1D, "Histogram with elevation angle (fine binning)", "ElevAngle_FineBin"},
    {web::kHistogram2D, "Histogram with azimuth and elevation angle", "AzimElevAngle"},
    {web::kHistogram2D, "Histogram with azimuth and elevation angle (fine binning)", "AzimElevAngle_FineBin"},
};

std::string unitOf(const QuantityKeys& q, const DirectionalAnalysis& analysis) {
    return q.angle ? std::string(analysis.angleUnit()) + "+1" : std::string(q.unit);
}

void writeStatistics(ResultsDocument& doc, const DirectionalAnalysis& analysis) {
    doc.beginWebTable(web::kStatistics, "Statistical information for physical products");
    const std::vector<std::string> stat{"Mean", "Std", "Min", "Max"};
    doc.addStringList("Stat", stat);
    std::vector<std::string> columns{"Stat"};
    std::vector<std::vector<double>> rows(4);
    for (const QuantityKeys& q : kQuantities) {
        const DirectionalAnalysis::Statistic& s = analysis.statistic(q.quantity);
        const std::vector<double> values{s.mean, s.std, s.minimum, s.maximum};
        doc.addNumberList(q.statistics, values, unitOf(q, analysis), 4);
        columns.push_back(q.column);
        for (size_t r = 0; r < 4; ++r) rows[r].push_back(values[r]);
    }
    doc.addTable("PhysicalProducts_MeStMiMa", columns, stat, rows, "", 4);
    doc.endWebTable(false);
}

void writeTimeSamples(ResultsDocument& doc, const DirectionalAnalysis& analysis) {
    doc.beginWebTable(web::kTimePlot, "Time evolution of physical products");
    const size_t closed = analysis.sampleLiveTimes().size();
    doc.addNumberList("TimeLive_Int_Sample", analysis.sampleLiveTimes(), "s+1", 4);
    for (const QuantityKeys& q : kQuantities) {
        const std::vector<double>& means = analysis.sampleMeans(q.quantity);
        const std::vector<double> shown(means.begin(),
                                        means.begin() + static_cast<std::ptrdiff_t>(std::min(closed, means.size())));
        doc.addNumberList(q.perSample, shown, unitOf(q, analysis), 4);
    }
    doc.endWebTable(true);
}

}  // namespace

int writeDirectionList(const DirectionalAnalysis& analysis, const MessageTarget& to) {
    const DirectionalAnalysis::Options& options = analysis.options();
    ResultsDocument doc;
    openAnalysisList(doc, options.doWeb, options.directory, options.listName, options.listJsonName);
    doc.section("Directional analysis");

    doc.beginWebTable(web::kScalarTable, "General information");
    doc.addInteger("CountParticle_Sum", static_cast<long long>(analysis.countAccepted()), "-");
    doc.addInteger("CountParticle_Sum_FailTrackCond", static_cast<long long>(analysis.countFailedTrackCond()), "-");
    doc.endWebTable(false);

    writeStatistics(doc, analysis);
    for (const HistogramFeature& h : kHistograms) doc.addWebFeature(h.kind, h.title, h.feature, false);
    writeTimeSamples(doc, analysis);

    return finishAnalysisList(doc, to);
}

}  // namespace zel
