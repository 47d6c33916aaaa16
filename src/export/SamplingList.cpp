#include "export/SamplingList.h"

#include <span>
#include <string>
#include <string_view>
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

// One value of the general section: its key, how it is taken from the run, its unit (the products' dose or dose-
// rate unit where a unit function is given) and its decimals; a row without key is a blank line.
struct GeneralValue {
    std::string_view key;
    double (*value)(const Run&);
    std::string_view unit;
    const std::string& (Products::*unitOf)() const;
    int precision;
    bool integer;
};

constexpr GeneralValue kGeneralValues[] = {
    {"TimeLive_Sum", [](const Run& r) { return r.products.liveTime(); }, "s+1", nullptr, 9, false},
    {"TimeSampling", [](const Run& r) { return r.settings.TimeSampling; }, "s+1", nullptr, 9, false},
    {"CountSample", [](const Run& r) { return double(r.products.sampleCount()); }, "-", nullptr, 0, true},
    {"TimeFirst", [](const Run& r) { return r.products.timeFirst(); }, "ns+1", nullptr, 2, false},
    {"TimeLast", [](const Run& r) { return r.products.timeLast(); }, "ns+1", nullptr, 2, false},
    {"TimeLast", [](const Run& r) { return r.products.timeLast() / 1e9; }, "s+1", nullptr, 9, false},
    {"", nullptr, "", nullptr, 0, false},
    {"CountPixHit_Sum", [](const Run& r) { return r.products.pixelHits(); }, "-", nullptr, 0, false},
    {"CountPixHit_Sum_Proc", [](const Run& r) { return r.products.pixelHitsProc(); }, "-", nullptr, 0, false},
    {"CountParticle_Sum", [](const Run& r) { return r.products.clustersProcessed(); }, "-", nullptr, 0, false},
    {"CountParticle_Sum_Proc", [](const Run& r) { return r.products.clustersSeen(); }, "-", nullptr, 0, false},
    {"CountRate_Mean", [](const Run& r) { return r.products.countRate(); }, "s-1", nullptr, 4, false},
    {"CountRatePixHit_Mean", [](const Run& r) { return r.products.pixelHitRate(); }, "s-1", nullptr, 4, false},
    {"Fluence_Sum", [](const Run& r) { return r.products.fluence(); }, "cm-2", nullptr, 4, false},
    {"Flux_Sum", [](const Run& r) { return r.products.flux(); }, "cm-2 s-1", nullptr, 4, false},
    {"EnergyDep_Sum", [](const Run& r) { return r.products.energy(); }, "keV", nullptr, 4, false},
    {"Dose_Sum", [](const Run& r) { return r.products.dose(); }, "", &Products::doseUnit, 4, false},
    {"DoseRate_Mean", [](const Run& r) { return r.products.doseRate(); }, "", &Products::doseRateUnit, 4, false},
};

// With edge clusters left out of the products.
constexpr GeneralValue kEdgeValues[] = {
    {"", nullptr, "", nullptr, 0, false},
    {"CountParticle_Sum_SensEdge", [](const Run& r) { return double(r.products.edgeSkipped()); }, "-", nullptr, 0,
     true},
    {"CountParticle_Sum_SensEdge",
     [](const Run& r) { return percentOf(r.products.edgeSkipped(), r.products.clustersProcessed()); }, "%", nullptr,
     2, false},
    {"CountParticle_Sum_NotSensEdge",
     [](const Run& r) { return r.products.clustersProcessed() - r.products.edgeSkipped(); }, "-", nullptr, 0, false},
};

// Written only when the input held such clusters.
constexpr GeneralValue kDoubtfulValues[] = {
    {"", nullptr, "", nullptr, 0, false},
    {"CountParticle_Sum_NonFinite", [](const Run& r) { return double(r.products.nonFiniteSkipped()); }, "-", nullptr, 0,
     true},
    {"CountParticle_Sum_Negative", [](const Run& r) { return double(r.products.negativeKept()); }, "-", nullptr, 0,
     true},
};

void writeValues(ResultsDocument& doc, const Run& run, std::span<const GeneralValue> values) {
    for (const GeneralValue& v : values) {
        if (v.key.empty()) {
            doc.blank();
        } else if (v.integer) {
            doc.addInteger(v.key, static_cast<long long>(v.value(run)), v.unit);
        } else {
            doc.addNumber(v.key, v.value(run), v.unitOf != nullptr ? (run.products.*v.unitOf)() : v.unit, v.precision);
        }
    }
}

void writeGeneral(ResultsDocument& doc, const Run& run) {
    doc.section("General information");
    writeValues(doc, run, kGeneralValues);
    if (run.settings.DoIgnoreClusterSensEdge) writeValues(doc, run, kEdgeValues);
    if (run.products.nonFiniteSkipped() > 0 || run.products.negativeKept() > 0) writeValues(doc, run, kDoubtfulValues);
}

void writeClassification(ResultsDocument& doc, const Run& run) {
    const Products& p = run.products;
    doc.subsection("Particle classification");
    doc.addStringList("ClassNames", run.state.classNames);
    doc.addInteger("AlgorithmSwitch", run.state.pidAlgorithm, "-");
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

// Pixel hits that the masked copies of the inputs kept and left out.
void writeMask(ResultsDocument& doc, const Run& run) {
    const double kept = run.state.maskPixelsKept;
    const double omitted = run.state.maskPixelsMasked;
    doc.subsection("Mask");
    doc.addNumber("CountPixHit_Sum_MaskOk", kept, "-", 4);
    doc.addNumber("CountPixHit_Sum_MaskOk", percentOf(kept, kept + omitted), "%", 2);
    doc.addInteger("CountPixHit_Sum_MaskOmit", static_cast<long long>(omitted), "-", 4);
    doc.addNumber("CountPixHit_Sum_MaskOmit", percentOf(omitted, omitted + kept), "%", 2);
    doc.addNumber("CountPixHit_Sum_All", kept + omitted, "-", 4);
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
    if (!run.state.inputsFailed.empty()) {
        // The totals above leave these inputs out.
        doc.blank();
        doc.addStringList("FileIn_Failed", run.state.inputsFailed);
    }
    if (run.state.pidActive) writeClassification(doc, run);
    if (run.state.maskOn) writeMask(doc, run);
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
