#include "export/GraphicsModule.h"

#include <algorithm>

#include "cluster/Products.h"
#include "engine/Settings.h"
#include "engine/SettingsReport.h"
#include "export/OverviewPage.h"
#include "export/PythonInterpreter.h"

namespace zel {
namespace {

// A product per sample and class, drawn as one graph per class in one picture.
struct ClassGraph {
    std::string_view name;
    std::string_view title;
    std::string_view yLabel;  // the unit of the dose rate is appended when the label ends in "["
    SampleTable (Products::*byClass)() const;
};
constexpr ClassGraph kClassGraphs[] = {
    {"N_Class", "Graph of particles counts for each class", "N [-]", &Products::countByClass},
    {"Flux_Class", "Graph of particles flux for each class", "Flux [s-1 cm-2]", &Products::fluxByClass},
    {"Edep_Class", "Graph of particles deposited energy for each class", "Edep [keV]", &Products::energyByClass},
    {"DoseRate_Class", "Graph of particles dose rate for each class", "Dose rate [", &Products::doseRateByClass},
};

// A product of the whole run per sample.
enum class Unit { None, Dose, DoseRate };
struct TotalGraph {
    std::string_view name;
    std::string_view title;
    std::string_view yLabel;
    const std::vector<double>& (Products::*perSample)() const;
    Unit unit;
};
constexpr TotalGraph kTotalGraphs[] = {
    {"NPix_Total", "Total graph of pixel counts", "NPix [-]", &Products::pixelHitsPerSample, Unit::None},
    {"N_Total", "Total graph of particles counts", "N [-]", &Products::countPerSample, Unit::None},
    {"CountRate_Total", "Total graph of particle count rate", "Count rate [s-1]", &Products::countRatePerSample,
     Unit::None},
    {"Flux_Total", "Total graph of particles flux", "Flux [s-1 cm-2]", &Products::fluxPerSample, Unit::None},
    {"Fluence_Total", "Total graph of particles fluence", "Fleunce [cm-2]", &Products::fluencePerSample, Unit::None},
    {"Edep_Total", "Total graph of particles deposited energy", "Edep [keV]", &Products::energyPerSample, Unit::None},
    {"Dose_Total", "Total graph of particles dose", "Dose [", &Products::dosePerSample, Unit::Dose},
    {"DoseRate_Total", "Total graph of particles dose rate", "Dose rate [", &Products::doseRatePerSample,
     Unit::DoseRate},
};

constexpr std::string_view kSampleAxis = "T sample [s+1]";

}  // namespace

int GraphicsModule::init(const ModuleContext& context) {
    settings_ = &context.settings;
    products_ = &context.products;
    run_ = &context.run;
    if (!settings_->DoExportGraphics) return 0;
    // The check of prerequisites has looked for the interpreter already; without that check, it is done here.
    const InterpreterChoice choice =
        run_->interpreterChecked
            ? InterpreterChoice{run_->interpreter, run_->interpreterMultiProcess}
            : checkInterpreter(interpreterCandidates(), settings_->FileOutPath, context.messages);
    if (choice.command.empty()) return 0;
    PictureSettings pictureSettings;
    pictureSettings.outputDirectory = settings_->FileOutPath;
    pictureSettings.interpreter = choice.command;
    pictureSettings.skipDrawing = settings_->DoSkipCreateGraphics;
    pictureSettings.multiProcess = settings_->DoGraphicsMultiThread && choice.multiProcess;
    pictureSettings.batchSizeLimit = settings_->GraphicsMultiThreadFileSize;
    pictureSettings.maxPlotBins = settings_->Hist1DGraphicsRebin;
    pictures_ = std::make_unique<Pictures>(std::move(pictureSettings));
    run_->pictures = pictures_.get();
    return 0;
}

void GraphicsModule::addProductGraphs() {
    const Products& p = *products_;
    const std::string directory = settings_->FileOutPath + settings_->ExportDirGraph;
    const std::vector<double>& times = p.elapsedTimes();
    auto label = [&](std::string_view text, Unit unit) {
        std::string out(text);
        if (unit == Unit::Dose) out += p.doseUnit() + "]";
        if (unit == Unit::DoseRate) out += p.doseRateUnit() + "]";
        return out;
    };
    for (const TotalGraph& total : kTotalGraphs) {
        const std::vector<double>& values = (p.*total.perSample)();
        const size_t n = std::min(times.size(), values.size());
        PlotGraph graph;
        graph.labels = {std::string(total.title), std::string(kSampleAxis), label(total.yLabel, total.unit)};
        graph.x.emplace_back(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(n));
        graph.y.emplace_back(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n));
        pictures_->add(graph, std::string(total.name), directory);
    }
    const std::vector<std::string>& classes = run_->classNames;
    if (classes.empty()) return;
    for (const ClassGraph& perClass : kClassGraphs) {
        const SampleTable table = (p.*perClass.byClass)();
        PlotGraph graph;
        const Unit unit = perClass.name == "DoseRate_Class" ? Unit::DoseRate : Unit::None;
        graph.labels = {std::string(perClass.title), std::string(kSampleAxis), label(perClass.yLabel, unit)};
        for (size_t c = 0; c < table.size() && c < classes.size(); ++c) {
            const size_t n = std::min(times.size(), table[c].size());
            graph.curveLabels.push_back(classes[c]);
            graph.x.emplace_back(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(n));
            graph.y.emplace_back(table[c].begin(), table[c].begin() + static_cast<std::ptrdiff_t>(n));
        }
        pictures_->add(graph, std::string(perClass.name), directory);
    }
}

int GraphicsModule::exportResults(const MessageTarget& to) {
    if (!settings_->DoExportGraphics) return 0;
    OverviewFacts facts{settings_->FileOutPath, run_->classNames, ""};
    std::vector<PictureRecord> records;
    if (pictures_) {
        printPhaseHeader("EXPORTING GRAPHICS", to);
        addProductGraphs();
        pictures_->draw(to);
        records = pictures_->records();
        if (pictures_->settings().skipDrawing) facts.masterScript = std::string(kMasterScriptName);
    }
    // The overview page is a convenience: a failure to write it is reported and changes no result.
    if (!writeOverviewPage(facts, *products_, records))
        printWarning(to, "Can not write the overview page " + settings_->FileOutPath + "index.html");
    return 0;
}

}  // namespace zel
