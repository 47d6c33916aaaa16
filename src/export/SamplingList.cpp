#include "export/SamplingList.h"

#include <string>
#include <vector>

#include "cluster/Products.h"
#include "engine/Settings.h"
#include "export/ResultsDocument.h"

namespace zel {
namespace {

// What the list is written from.
struct Run {
    const Settings& settings;
    const Products& products;
    const RunState& state;
};

std::vector<double> firstN(const std::vector<double>& values, size_t n) {
    return {values.begin(), values.begin() + static_cast<std::ptrdiff_t>(std::min(n, values.size()))};
}

double percentOf(double part, double whole) { return whole != 0 ? 100.0 * part / whole : 0.0; }

void writeGeneral(ResultsDocument& doc, const Run& run) {
    const Settings& s = run.settings;
    const Products& p = run.products;
    doc.section("General information");
    doc.addNumber("TimeLive_Sum", p.liveTime(), "s+1", 9);
    doc.addNumber("TimeSampling", s.TimeSampling, "s+1", 9);
    doc.addInteger("CountSample", p.sampleCount(), "-");
    doc.addNumber("TimeFirst", p.timeFirst(), "ns+1", 2);
    doc.addNumber("TimeLast", p.timeLast(), "ns+1", 2);
    doc.addNumber("TimeLast", p.timeLast() / 1e9, "s+1", 9);
    doc.blank();
    doc.addNumber("CountPixHit_Sum", p.pixelHits(), "-", 0);
    doc.addNumber("CountPixHit_Sum_Proc", p.pixelHitsProc(), "-", 0);
    doc.addNumber("CountParticle_Sum", p.clustersProcessed(), "-", 0);
    doc.addNumber("CountParticle_Sum_Proc", p.clustersSeen(), "-", 0);
    doc.addNumber("CountRate_Mean", p.countRate(), "s-1", 4);
    doc.addNumber("CountRatePixHit_Mean", p.pixelHitRate(), "s-1", 4);
    doc.addNumber("Fluence_Sum", p.fluence(), "cm-2", 4);
    doc.addNumber("Flux_Sum", p.flux(), "cm-2 s-1", 4);
    doc.addNumber("EnergyDep_Sum", p.energy(), "keV", 4);
    doc.addNumber("Dose_Sum", p.dose(), p.doseUnit(), 4);
    doc.addNumber("DoseRate_Mean", p.doseRate(), p.doseRateUnit(), 4);
    if (s.DoIgnoreClusterSensEdge) {
        doc.blank();
        doc.addInteger("CountParticle_Sum_SensEdge", p.edgeSkipped(), "-");
        doc.addNumber("CountParticle_Sum_SensEdge", percentOf(p.edgeSkipped(), p.clustersProcessed()), "%", 2);
        doc.addNumber("CountParticle_Sum_NotSensEdge", p.clustersProcessed() - p.edgeSkipped(), "-", 0);
    }
}

void writeClassification(ResultsDocument& doc, const Run& run) {
    const Products& p = run.products;
    doc.subsection("Particle classification");
    doc.addStringList("ClassNames", run.state.classNames);
    doc.addInteger("AlgorithmSwitch", run.settings.PIDAlg, "-");
    std::vector<double> percent;
    for (double count : p.countClass()) percent.push_back(percentOf(count, p.clustersProcessed()));
    doc.addNumberList("CountParticle_Sum_Class", p.countClass(), "-", 0);
    doc.addNumberList("CountParticle_Sum_Class", percent, "%", 2);
    doc.addNumberList("CountRate_Mean_Class", p.countRateClass(), "s-1", 4);
    doc.addNumberList("Fluence_Sum_Class", p.fluenceClass(), "cm-2", 4);
    doc.addNumberList("Flux_Sum_Class", p.fluxClass(), "cm-2 s-1", 4);
    doc.addNumberList("EnergyDep_Sum_Class", p.energyClass(), "keV+1", 4);
    doc.addNumberList("Dose_Sum_Class", p.doseClass(), p.doseUnit(), 4);
    doc.addNumberList("DoseRate_Mean_Class", p.doseRateClass(), p.doseRateUnit(), 4);
    doc.blank();
    const std::vector<std::string> columns{"ClassNum", "Count", "CountRate", "Fluence", "Flux", "Edep", "Dose", "DoseRate"};
    std::vector<std::string> labels;
    std::vector<std::vector<double>> rows;
    for (size_t c = 0; c < p.countClass().size(); ++c) {
        labels.push_back(c + 1 == p.countClass().size() ? std::string("Others") : std::to_string(c));
        rows.push_back({p.countClass()[c], p.countRateClass()[c], p.fluenceClass()[c], p.fluxClass()[c],
                        p.energyClass()[c], p.doseClass()[c], p.doseRateClass()[c]});
    }
    doc.addTable("TotalValues_Class", columns, labels, rows, "", 4);
}

void writeFilter(ResultsDocument& doc, const Run& run) {
    const Products& p = run.products;
    // Shares of all clusters handed to the engine, whether the filter let them through or not.
    const double processed = p.clustersSeen();
    const double omitted = p.filteredOut();
    doc.setLabelWidth(40);
    doc.subsection("Filter");
    doc.addNumber("CountParticle_Sum_FilterOk", processed - omitted, "-", 4);
    doc.addNumber("CountParticle_Sum_FilterOk", percentOf(processed - omitted, processed), "%", 2);
    doc.addInteger("CountParticle_Sum_FilterOmit", static_cast<long long>(omitted), "-", 4);
    doc.addNumber("CountParticle_Sum_FilterOmit", percentOf(omitted, processed), "%", 2);
    doc.addNumber("CountParticle_Sum_All", processed, "-", 4);
    doc.setLabelWidth(30);
}

void writeSamples(ResultsDocument& doc, const Run& run) {
    const Products& p = run.products;
    const size_t n = static_cast<size_t>(p.sampleCount());
    doc.section("Sampling information");
    const std::vector<std::string> columns{"SamplingNum", "Time_Sampling", "Time_Elaps", "PixCount", "Count", "CountRate",
                                           "Fluence", "Flux", "Edep", "Dose", "DoseRate"};
    const std::vector<double> pixels = firstN(p.pixelHitsPerSample(), n);
    std::vector<std::string> labels;
    std::vector<std::vector<double>> rows;
    auto at = [](const std::vector<double>& v, size_t i) { return i < v.size() ? v[i] : 0.0; };
    for (size_t i = 0; i < n; ++i) {
        labels.push_back(std::to_string(i + 1));
        rows.push_back({at(p.samplingTimes(), i), at(p.elapsedTimes(), i), at(pixels, i), at(p.countPerSample(), i),
                        at(p.countRatePerSample(), i), at(p.fluencePerSample(), i), at(p.fluxPerSample(), i),
                        at(p.energyPerSample(), i), at(p.dosePerSample(), i), at(p.doseRatePerSample(), i)});
    }
    doc.addTable("TotalValues_Sample", columns, labels, rows, "", 4);
    doc.addNumberList("TimeLive_Int_Sample", p.elapsedTimes(), "s+1", 4);
    doc.addNumberList("TimeSampling_Int_Sample", p.samplingTimes(), "s+1", 4);
    doc.addNumberList("CountPixHit_Sum_Sample", pixels, "-", 0);
    doc.addNumberList("CountParticle_Sum_Sample", p.countPerSample(), "-", 0);
    doc.addNumberList("CountRate_Mean_Sample", p.countRatePerSample(), "s-1", 0);
    doc.addNumberList("Fluence_Sum_Sample", p.fluencePerSample(), "cm-2", 4);
    doc.addNumberList("Flux_Sum_Sample", p.fluxPerSample(), "cm-2 s-1", 4);
    doc.addNumberList("EnergyDep_Sum_Sample", p.energyPerSample(), "keV+1", 4);
    doc.addNumberList("Dose_Sum_Sample", p.dosePerSample(), p.doseUnit(), 4);
    doc.addNumberList("DoseRate_Mean_Sample", p.doseRatePerSample(), p.doseRateUnit(), 4);
}

void writeClassSamples(ResultsDocument& doc, const Run& run) {
    const Products& p = run.products;
    std::vector<std::string> columns{"SamplingNum"};
    for (const auto& name : run.state.classNames) columns.push_back(name);
    std::vector<std::string> labels;
    for (int i = 0; i < p.sampleCount(); ++i) labels.push_back(std::to_string(i + 1));
    struct ClassTable {
        const char* name;
        const SampleTable& rows;
    };
    const ClassTable tables[] = {
        {"CountParticle_Sample_Class", p.countTable()}, {"CountRate_Sample_Class", p.countRateTable()},
        {"Fluence_Sample_Class", p.fluenceTable()},     {"Flux_Sample_Class", p.fluxTable()},
        {"EnergyDep_Sample_Class", p.energyTable()},    {"Dose_Sample_Class", p.doseTable()},
        {"DoseRate_Sample_Class", p.doseRateTable()},
    };
    doc.blank();
    for (const auto& table : tables) doc.addTable(table.name, columns, labels, table.rows, "", 4);
}

}  // namespace

int writeSamplingList(const Settings& settings, const Products& products, const RunState& state,
                      const MessageTarget& to) {
    const Run run{settings, products, state};
    const Settings& s = run.settings;
    ResultsDocument doc;
    doc.setImmediate(false);
    doc.setDirectory("");
    doc.setTextFileName(s.SamplingListPath + s.SamplingListName);
    doc.setJsonFileName(s.SamplingListJsonPath + s.SamplingListJsonName);
    doc.setValueListLimit(20);
    doc.setLabelWidth(30);
    doc.open();
    writeGeneral(doc, run);
    if (run.state.pidActive) writeClassification(doc, run);
    if (run.state.filterActive) writeFilter(doc, run);
    writeSamples(doc, run);
    if (run.state.pidActive) writeClassSamples(doc, run);
    doc.dropLastComma();
    doc.close();
    int result = doc.flush();
    if (result != 0) {
        printErrorCode(to, "Can not write results list: " + doc.textPath() + " and " + doc.jsonPath(), -4022);
        return result;
    }
    printMsg(to, "Results list:\t\t\t\t" + doc.textPath());
    return 0;
}

}  // namespace zel

namespace zel {

int SamplingList::init(const ModuleContext& context) {
    settings_ = &context.settings;
    products_ = &context.products;
    run_ = &context.run;
    return 0;
}

int SamplingList::exportResults(const MessageTarget& to) {
    if (!settings_->DoExportText) return 0;
    return writeSamplingList(*settings_, *products_, *run_, to);
}

}  // namespace zel
