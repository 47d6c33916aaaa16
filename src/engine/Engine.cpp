#include "engine/Engine.h"

#include <algorithm>

#include "analysis/ComptonCamera.h"
#include "cluster/SensorMaps.h"
#include "cluster/VariableNames.h"
#include "common/Paths.h"
#include "engine/ParamFile.h"
#include "engine/SettingsReport.h"
#include "hist/HistogramSets.h"
#include "rfr/FieldRecognition.h"
#include "rfr/SigVecModule.h"

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

std::vector<std::vector<double>> Engine::sensorMapIntegrated() const {
    const SensorMaps* maps = modules_.find<SensorMaps>();
    const Hist2D* map = maps != nullptr ? maps->integrated() : nullptr;
    if (map == nullptr) return {};
    return {map->GetLowEdgesX(), map->GetLowEdgesY(), plainCopy(map->GetContents())};
}

std::vector<std::vector<double>> Engine::sensorMapSample() const {
    const SensorMaps* maps = modules_.find<SensorMaps>();
    const Hist2D* map = maps != nullptr ? maps->partial() : nullptr;
    if (map == nullptr) return {};
    return {map->GetLowEdgesX(), map->GetLowEdgesY(), plainCopy(map->GetContents())};
}

int Engine::radFieldRecognition(std::string& name, double& score) {
    // Without a counted particle there is nothing to recognise, and without recognition in the run no field to
    // name: the answers stay as they were.
    if (!(products_.clustersProcessed() > 0)) return 0;
    if (modules_.find<FieldRecognition>() == nullptr) return 0;
    recogniseField(false);
    name = fieldName_;
    score = fieldProbability_ * 100.0;
    return 0;
}

int Engine::recogniseField(bool endOfFileRun) {
    const MessageTarget to = messages();
    SigVecModule* sigVec = modules_.find<SigVecModule>();
    if (sigVec == nullptr || !settings_.DoSigVec) return 0;
    const HistogramSets* sets = modules_.find<HistogramSets>();
    if (sigVec->create(sets != nullptr ? sets->allClusters() : nullptr) != 0) {
        printErrorCode(to, "Error occurred during significant vector creation", -3005);
        return -3005;
    }
    if (endOfFileRun && settings_.DoExportText) sigVec->exportVector();
    FieldRecognition* recognition = modules_.find<FieldRecognition>();
    if (recognition == nullptr || !settings_.DoRadFieldRecog) return 0;
    if (endOfFileRun && !settings_.DoRadFieldRecogAfterRun) return 0;
    if (recognition->process(sigVec->vector()) != 0) {
        printErrorCode(to, "Error occurred during radiation field recognition.", -3003);
        return -3003;
    }
    if (recognition->hasResult()) {
        fieldName_ = recognition->field();
        fieldProbability_ = recognition->probability();
    }
    return 0;
}

// The copies refuse (and leave the list empty) while the camera is not part of an initialised run or has no
// image; the maximum of the first image copied out is kept.
int Engine::comptonProjection(std::vector<double>& projection) {
    projection.clear();
    const ComptonCamera* camera = modules_.find<ComptonCamera>();
    if (!initialised_ || !settings_.DoCompton || camera == nullptr) return 0;
    if (camera->projection(projection) == 0 && comptonMax_ == -1.0 && !projection.empty())
        comptonMax_ = *std::max_element(projection.begin(), projection.end());
    return 0;
}

int Engine::comptonTestProjection(std::vector<double>& projection) {
    projection.clear();
    const ComptonCamera* camera = modules_.find<ComptonCamera>();
    if (!initialised_ || !settings_.DoCompton || camera == nullptr) return 0;
    if (camera->testProjection(projection) == 0 && comptonMax_ == -1.0 && !projection.empty())
        comptonMax_ = *std::max_element(projection.begin(), projection.end());
    return 0;
}

void Engine::comptonProjectionBins(int& nx, int& ny) {
    if (const ComptonCamera* camera = modules_.find<ComptonCamera>(); camera != nullptr && camera->projectionImage()) {
        comptonBinsX_ = camera->projectionBinsX();
        comptonBinsY_ = camera->projectionBinsY();
    }
    nx = comptonBinsX_;
    ny = comptonBinsY_;
}

JobTeam& Engine::jobs() {
    if (!jobs_) jobs_ = std::make_unique<JobTeam>(JobTeam::helperWanted());
    return *jobs_;
}

int Engine::reset() {
    modules_.clear();
    processingHeaderPrinted_ = false;
    return initialiseModules();
}

}  // namespace zel
