#include "engine/Engine.h"

#include <algorithm>

#include "cluster/VariableNames.h"
#include "common/Paths.h"
#include "engine/ParamFile.h"
#include "engine/SettingsReport.h"
#include "hist/HistogramSets.h"

#ifndef ZEL_BUILD_ID
#define ZEL_BUILD_ID "00000000"
#endif

namespace zel {
namespace {

// True while the variable list is still the built-in one (whatever corrected-length pair it names).
bool isDefaultList(const std::vector<std::string>& names) {
    if (names.size() != kDefaultVariables.size()) return false;
    for (size_t i = 0; i < names.size(); ++i) {
        if (static_cast<int>(i) == kDefaultLengthCorrIndex2D || static_cast<int>(i) == kDefaultLengthCorrIndex3D) continue;
        if (names[i] != kDefaultVariables[i].name) return false;
    }
    return true;
}

}  // namespace

Engine::Engine() { variables_.setDefaultList(settings_.LengthCorr); }

Engine::~Engine() = default;

std::string Engine::buildId() { return ZEL_BUILD_ID; }

std::string Engine::version() const {
    return std::string(kVersionNumber) + "_" + kBuildDate + "_" + buildId();
}

int Engine::loadParamFile(const std::string& fullName) {
    const int lengthCorrBefore = settings_.LengthCorr;
    int result = readParamFile(fullName, settings_, messages());
    // The default variable list names the corrected-length pair that LengthCorr selects.
    if (settings_.LengthCorr != lengthCorrBefore && isDefaultList(variables_.names()))
        variables_.setDefaultList(settings_.LengthCorr);
    return result;
}

int Engine::openLog() {
    if (!settings_.DoLog) return 0;
    if (log_ && log_->is_open()) return 0;
    auto tryOpen = [this]() {
        log_ = std::make_unique<std::ofstream>(settings_.LogPath + settings_.LogName, std::ios::out | std::ios::trunc);
        return log_->is_open();
    };
    if (!tryOpen()) {
        printErrorCode(messages(), "Can not open log file: " + settings_.LogPath + settings_.LogName + ".", -1003, true);
        settings_.LogName = "LogFile.txt";
        settings_.LogPath = currentDirPrefix();
        if (!tryOpen()) {
            printErrorCode(messages(), "Can not open log file: " + settings_.LogPath + settings_.LogName + ".", -1003,
                           true);
            settings_.DoLog = false;
            log_.reset();
            return -1;
        }
    }
    if (settings_.DoLogDateTime) {
        (*log_) << dateTimeText() << "\n";
        log_->flush();
    }
    return 0;
}

void Engine::printBanner() {
    const MessageTarget to = messages();
    printMsg(to, "");
    printMsg(to, "ZEL - processing of Timepix detector data");
    if (settings_.DoLogVersion)
        printMsg(to, std::string("ZEL version: ") + kVersionNumber + " " + kBuildDate + " " + buildId());
    printPhaseHeader("INITILIZATION and SETTINGS", to);
}

void Engine::printReport() {
    const MessageTarget to = messages();
    printSettingsReport(settings_, to, ReportInputs{inputs_.names, inputs_.count});
    modules_.report(to);
}

namespace {
std::vector<double> plainCopy(const ZeroedDoubles& values) { return {values.begin(), values.end()}; }
}  // namespace

std::vector<std::vector<double>> Engine::hist1DAll(const std::string& variable) const {
    const auto& names = variables_.names();
    const HistogramSets* sets = modules_.find<HistogramSets>();
    if (sets == nullptr || sets->allClusters() == nullptr) return {};
    if (std::find(names.begin(), names.end(), variable) == names.end()) return {};
    const Hist1D* hist = sets->allClusters()->findHist1D(variable);
    if (hist == nullptr) return {};
    return {hist->GetLowEdges(), plainCopy(hist->GetContents())};
}

std::vector<std::vector<double>> Engine::hist2DAll(const std::vector<std::string>& variables) const {
    const auto& names = variables_.names();
    const HistogramSets* sets = modules_.find<HistogramSets>();
    if (sets == nullptr || sets->allClusters() == nullptr || variables.size() < 2) return {};
    for (const auto& v : variables)
        if (std::find(names.begin(), names.end(), v) == names.end()) return {};
    const Hist2D* hist = sets->allClusters()->findHist2D(variables[0], variables[1]);
    if (hist == nullptr) return {};
    return {hist->GetLowEdgesX(), hist->GetLowEdgesY(), plainCopy(hist->GetContents())};
}

int Engine::radFieldRecognition(std::string& name, double& score) {
    // Without field recognition in the run: no field, and a score below every probability.
    if (!(products_.clustersProcessed() > 0)) return 0;
    name.clear();
    score = -100.0;
    return 0;
}

int Engine::comptonProjection(std::vector<double>& projection) {
    projection.clear();
    return 0;
}

int Engine::comptonTestProjection(std::vector<double>& projection) {
    projection.clear();
    return 0;
}

JobTeam& Engine::jobs() {
    if (!jobs_) jobs_ = std::make_unique<JobTeam>(std::thread::hardware_concurrency() > 1);
    return *jobs_;
}

int Engine::reset() {
    modules_.clear();
    processingHeaderPrinted_ = false;
    return initialiseModules();
}

}  // namespace zel
