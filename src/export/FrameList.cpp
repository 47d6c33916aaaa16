#include "export/FrameList.h"

#include <fstream>
#include <string>
#include <vector>

#include "analysis/FrameAnalysis.h"
#include "common/NumberText.h"
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
