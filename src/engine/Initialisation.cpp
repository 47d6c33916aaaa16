// Initialisation: output directory, log, inputs, prerequisites, variable roles, then the modules of the table and
// the product storage sized for their classes.
#include <algorithm>
#include <cstdlib>

#include "common/Paths.h"
#include "common/PendingFile.h"
#include "engine/Engine.h"
#include "engine/ExternalClusterer.h"
#include "engine/OutputSafety.h"
#include "engine/SettingsReport.h"
#include "export/PythonInterpreter.h"

namespace zel {

int Engine::initialise() {
    bool failed = false;
    const MessageTarget quiet{nullptr, settings_.DoPrint, false};

    // Result lists left without a directory go into the output directory's "File" subdirectory.
    const std::string fileDir = settings_.FileOutPath + settings_.ExportDirFile;
    if (settings_.SamplingListPath.empty()) settings_.SamplingListPath = fileDir;
    if (settings_.SamplingListJsonPath.empty()) settings_.SamplingListJsonPath = fileDir;

    if (!makeDirectories(settings_.FileOutPath.empty() ? currentDirPrefix() : settings_.FileOutPath))
        failWith(quiet, "Output directory does not exits: " + settings_.FileOutPath, -1037);

    // The log is the first file a run writes: it must not open over an input.
    refuseOutputsOverInputs(plannedLog(settings_), inputFilesToDiscover(settings_, inputs_), quiet);
    if (openLog() != 0) failed = true;
    printBanner();
    const MessageTarget to = messages();
    removeStalePartialFiles();

    if (discoverInputs(settings_, inputs_, to) != 0) failed = true;
    else if (!inputs_.names.empty()) recogniseInputs(settings_, inputs_, variables_, to);

    refuseOutputsOverInputs(plannedOutputs(settings_, inputs_), inputFullNames(), to);

    if (settings_.DoAbortAfterFileRec) {
        printMsg(to, "Abort after recognition of input files.");
        std::exit(0);
    }

    if (settings_.DoCheckPrereq) {
        bool ok = true;
        if (inputs_.rawToCluster && settings_.DoRunClusterer && findClusterer(settings_, to) != 0) ok = false;
        if (settings_.DoPID && findModels(settings_, to) != 0) ok = false;
        if (settings_.DoExportGraphics) {
            const InterpreterChoice choice = checkInterpreter(interpreterCandidates(), settings_.FileOutPath, to);
            run_.interpreterChecked = true;
            run_.interpreter = choice.command;
            run_.interpreterMultiProcess = choice.multiProcess;
            if (choice.command.empty()) ok = false;
        }
        if (!ok) printErrorCode(to, "Error occurred during checking of prerequisites.", -1047);
    }

    variables_.mapNames(to);
    if (initialiseModules() != 0) failed = true;

    if (failed) {
        printErrorCode(to, "Error occurred during initialization.", -1036);
        raiseCode(-1036);
    }
    printReport();
    initialised_ = true;
    return 0;
}

void Engine::removeStalePartialFiles() {
    // What a killed run of this output directory left half written; the files of running processes stay.
    const Settings& s = settings_;
    std::vector<std::string> directories{s.FileOutPath, clustererOutputDir(s)};
    for (const std::string* sub : {&s.ExportDirFile, &s.ExportDirSpatialMap, &s.ExportDirHist, &s.ExportDirGraph,
                                   &s.ExportDirEventVisual, &s.ExportDirSigVec, &s.ExportDirCoincEvent,
                                   &s.ExportDirFrame, &s.ExportDirRadFieldRecog, &s.ExportDirDirection,
                                   &s.ExportDirCompton})
        directories.push_back(s.FileOutPath + *sub);
    std::sort(directories.begin(), directories.end());
    directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
    for (const std::string& directory : directories)
        for (const std::string& removed : removeStaleScratchFiles(directory.empty() ? currentDirPrefix() : directory))
            printMsg(messages(), "Removed partial file of an interrupted run:\t" + removed);
}

std::vector<std::string> Engine::inputFullNames() const {
    std::vector<std::string> names;
    for (const std::string& name : inputs_.names) names.push_back(settings_.FileInPath + name);
    return names;
}

int Engine::initialiseModules() {
    const MessageTarget to = messages();

    // Detector and dose constants.
    if (settings_.SensThick <= 0 || settings_.SensWidth <= 0 || settings_.SensHeight <= 0) {
        modules_.clear();
        printErrorCode(to, "Error occurred during modules initialization.", -1023);
        return -1023;
    }

    // The modules start from fresh run facts, except those found before them: the kind of run and the plotting
    // interpreter of the check of prerequisites (checked once, reported once).
    RunState fresh;
    fresh.fileRun = run_.fileRun;
    fresh.interpreterChecked = run_.interpreterChecked;
    fresh.interpreter = std::move(run_.interpreter);
    fresh.interpreterMultiProcess = run_.interpreterMultiProcess;
    run_ = std::move(fresh);
    const ModuleContext context{settings_, variables_, inputs_, products_, run_, jobs(), to, 0};
    int result = modules_.create(settings_, context);

    // Cleared product storage, sized for the classes.
    ProductSetup setup;
    setup.sensorAreaCm2 = settings_.SensWidth * 55.0 * settings_.SensHeight * 55.0 / 1e8;
    setup.sensorMaterial = settings_.SensMat;
    setup.sensorDensity = settings_.SensDens;
    setup.sensorThicknessUm = settings_.SensThick;
    setup.radiologyUnits = settings_.DoDoseUnitRadiology;
    setup.classCount = run_.classCount();
    setup.timeSampling = settings_.TimeSampling;
    setup.timeAcq = settings_.TimeAcq;
    setup.maskOn = run_.maskOn;
    setup.maskFactor = run_.maskFactor;
    if (products_.setup(setup, to) != 0 && result == 0) {
        printErrorCode(to, "Error occurred during modules initialization.", -1023);
        result = -1023;
    }
    if (!products_.started()) products_.setTimeFirst(settings_.TimeFirst);
    products_.onSampleClosed([this](double liveTime, bool final) { modules_.closeSample(liveTime, final); });
    return result;
}

}  // namespace zel
