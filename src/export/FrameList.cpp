#include "export/FrameList.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/FrameAnalysis.h"
#include "common/NumberText.h"
#include "export/Pictures.h"
#include "export/ResultsDocument.h"

namespace zel {
namespace {

using L = FrameAnalysis::List;

// Units that follow the run: the dose units of the products and the time unit of the frame lines.
enum class UnitOf { Fixed, Dose, DoseRate, Time };

struct ListKeys {
    L list;
    const char* name;
    UnitOf unitOf;
    const char* unit;
};

// The statistics of the per-frame lists, in the order of the list.
constexpr ListKeys kStatistics[] = {
    {L::kEnergy, "EnergyDep_MeanStdMinMax", UnitOf::Fixed, "keV+1"},
    {L::kDose, "Dose_MeanStdMinMax", UnitOf::Dose, ""},
    {L::kDoseRate, "DoseRate_MeanStdMinMax", UnitOf::DoseRate, ""},
    {L::kEnergyPerPixel, "Pix_MeanStdMinMax", UnitOf::Fixed, "keV+1"},
    {L::kCountParticle, "CountParticles_MeanStdMinMax", UnitOf::Fixed, "-"},
    {L::kCountRate, "CountRate_MeanStdMinMax", UnitOf::Fixed, "s-1"},
    {L::kFluence, "Fluence_MeanStdMinMax", UnitOf::Fixed, "cm-2"},
    {L::kFlux, "Flux_MeanStdMinMax", UnitOf::Fixed, "cm-2 s-1"},
    {L::kCountPixHit, "CountPixHit_MeanStdMinMax", UnitOf::Fixed, "-"},
    {L::kOccupancy, "OccupancyPix_MeanStdMinMax", UnitOf::Fixed, "%"},
};

// The columns of the statistics table.
struct Column {
    L list;
    const char* name;
};
constexpr Column kTableColumns[] = {
    {L::kEnergyPerPixel, "Pix"}, {L::kCountParticle, "CountParticle"}, {L::kCountRate, "CountRate"},
    {L::kFluence, "Fluence"},    {L::kFlux, "Flux"},                   {L::kCountPixHit, "CountPixHit"},
    {L::kOccupancy, "OccupancyPix"}, {L::kDose, "Dose"},               {L::kDoseRate, "DoseRate"},
};

// The products of every frame, after the frame start times.
constexpr ListKeys kPerFrame[] = {
    {L::kCountPixHit, "CountHitPix_Frame", UnitOf::Fixed, "-"},
    {L::kCountParticle, "CountParticle_Frame", UnitOf::Fixed, "-"},
    {L::kCountRate, "CountRate_Frame", UnitOf::Fixed, "s-1"},
    {L::kFluence, "Fluence_Frame", UnitOf::Fixed, "cm-2"},
    {L::kFlux, "Flux_Frame", UnitOf::Fixed, "cm-2 s-1"},
    {L::kOccupancy, "OccupancyPix_Frame", UnitOf::Fixed, "%"},
    {L::kEnergy, "EnergyDep_Frame", UnitOf::Fixed, "keV+1"},
    {L::kEnergyPerPixel, "EnergyDepPix_Frame", UnitOf::Fixed, "keV+1"},
    {L::kDose, "Dose_Frame", UnitOf::Dose, ""},
    {L::kDoseRate, "DoseRate_Frame", UnitOf::DoseRate, ""},
};

std::string unitFor(const ListKeys& keys, const FrameAnalysis& analysis) {
    switch (keys.unitOf) {
        case UnitOf::Dose: return analysis.factors().doseUnit;
        case UnitOf::DoseRate: return analysis.factors().doseRateUnit;
        case UnitOf::Time: return analysis.timeUnit();
        case UnitOf::Fixed: break;
    }
    return keys.unit;
}

std::vector<double> quadruple(const FrameAnalysis::Statistic& s) { return {s.mean, s.std, s.minimum, s.maximum}; }

void writeGeneral(ResultsDocument& doc, const FrameAnalysis& analysis) {
    doc.beginWebTable(web::kScalarTable, "General information");
    doc.addInteger("CountFrame", analysis.frameCount(), "-");
    doc.addInteger("CountFrame_NonEmpty", analysis.nonEmptyFrames(), "-");
    doc.addInteger("CountFrame_Empty", analysis.emptyFrames(), "-");
    doc.addNumber("TimeAcq", analysis.timeAcq(), analysis.timeUnit(), 9);
    doc.addNumber("TimeDead_Mean", analysis.deadTimeMean(), analysis.timeUnit(), 9);
    doc.addNumber("TimeDead_Std", analysis.deadTimeStd(), analysis.timeUnit(), 9);
    doc.addNumber("FramesPerSecond_Mean", analysis.framesPerSecond(), "s-1", 3);
    doc.endWebTable(false);
}

void writeStatistics(ResultsDocument& doc, const FrameAnalysis& analysis) {
    doc.beginWebTable(web::kStatistics, "Statistical information for physical products");
    const std::vector<std::string> stat{"Mean", "Std", "Min", "Max"};
    doc.addStringList("Stat", stat);
    for (const ListKeys& keys : kStatistics)
        doc.addNumberList(keys.name, quadruple(analysis.statistic(keys.list)), unitFor(keys, analysis), 4);
    std::vector<std::string> columns{"Stat"};
    std::vector<std::vector<double>> rows(4);
    for (const Column& column : kTableColumns) {
        columns.push_back(column.name);
        const std::vector<double> values = quadruple(analysis.statistic(column.list));
        for (size_t r = 0; r < 4; ++r) rows[r].push_back(values[r]);
    }
    doc.addTable("Frame_MeStMiMa", columns, stat, rows, "", 4);
    doc.endWebTable(false);
}

void writePerFrame(ResultsDocument& doc, const FrameAnalysis& analysis) {
    doc.beginWebTable(web::kTimePlot, "Physical products for individual frames");
    doc.addNumberList("Time_Frame", analysis.frameStartTimes(), analysis.timeUnit(), 4);
    for (const ListKeys& keys : kPerFrame)
        doc.addNumberList(keys.name, analysis.list(keys.list), unitFor(keys, analysis), 4);
    doc.endWebTable(true);
}

}  // namespace

int writeFrameList(const FrameAnalysis& analysis, const MessageTarget& to) {
    const FrameAnalysis::Options& options = analysis.options();
    ResultsDocument doc;
    openAnalysisList(doc, options.doWeb, options.directory, options.listName, options.listJsonName);
    doc.section("Frame analysis");
    writeGeneral(doc, analysis);
    writeStatistics(doc, analysis);
    writePerFrame(doc, analysis);
    return finishAnalysisList(doc, to);
}

// The pictures of the frame products against the start of the frame.
struct FramePicture {
    L list;
    const char* name;
    const char* title;
    const char* yLabel;  // "[" + unit + "]" follows when it ends in "["
    UnitOf unitOf;
};
constexpr FramePicture kFramePictures[] = {
    {L::kOccupancy, "Occupancy", "Graph of frame occupancy", "Occupancy [%]", UnitOf::Fixed},
    {L::kCountParticle, "NPar", "Graph of particles count in frame", "N [-]", UnitOf::Fixed},
    {L::kCountRate, "CountRate", "Graph of particles count rate in frame", "Count rate [s-1]", UnitOf::Fixed},
    {L::kFluence, "Fluence", "Graph of particles fluence in frame", "Fluence [cm-2]", UnitOf::Fixed},
    {L::kFlux, "Flux", "Graph of particles flux in frame", "Flux [s-1 cm-2]", UnitOf::Fixed},
    {L::kCountPixHit, "NPix", "Graph of pixel count in frame", "NPix [-]", UnitOf::Fixed},
    {L::kEnergy, "Edep", "Graph of particles deposited energy in frame", "Edep [keV]", UnitOf::Fixed},
    {L::kDose, "Dose", "Graph of particles dose in frame", "Dose [", UnitOf::Dose},
    {L::kDoseRate, "DoseRate", "Graph of particles dose rate in frame", "Dose rate [", UnitOf::DoseRate},
    {L::kEnergyPerPixel, "Epix", "Graph of pixel mean deposited energy in frame", "Epix [keV]", UnitOf::Fixed},
};

void addFramePictures(const FrameAnalysis& analysis, Pictures& pictures) {
    const std::vector<double>& times = analysis.frameStartTimes();
    for (const FramePicture& picture : kFramePictures) {
        std::string yLabel = picture.yLabel;
        if (picture.unitOf == UnitOf::Dose) yLabel += analysis.factors().doseUnit + "]";
        if (picture.unitOf == UnitOf::DoseRate) yLabel += analysis.factors().doseRateUnit + "]";
        const std::vector<double>& values = analysis.list(picture.list);
        const size_t n = std::min(times.size(), values.size());
        PlotGraph graph;
        graph.labels = {picture.title, "T start of frame [" + analysis.timeUnit() + "]", yLabel};
        graph.x.emplace_back(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(n));
        graph.y.emplace_back(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n));
        pictures.add(graph, picture.name, analysis.options().directory);
    }
}

int writeFrameGraphs(const FrameAnalysis& analysis) {
    if (!analysis.options().doExportGraphics) return 0;
    std::ofstream out(analysis.options().directory + "FrameProducts.txt");
    out << "Time_Frame [" << analysis.timeUnit() << "]";
    for (const ListKeys& keys : kPerFrame) out << '\t' << keys.name << " [" << unitFor(keys, analysis) << "]";
    out << '\n';
    const std::vector<double>& times = analysis.frameStartTimes();
    for (size_t k = 0; k < times.size(); ++k) {
        out << formatG(times[k]);
        for (const ListKeys& keys : kPerFrame) {
            const std::vector<double>& values = analysis.list(keys.list);
            out << '\t' << formatG(k < values.size() ? values[k] : 0.0);
        }
        out << '\n';
    }
    return out.flush() ? 0 : -1;
}

}  // namespace zel
