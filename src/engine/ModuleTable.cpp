#include "engine/ModuleTable.h"

#include "analysis/CoincidenceAnalysis.h"
#include "analysis/ComptonCamera.h"
#include "analysis/DetectorSetup.h"
#include "analysis/DirectionalAnalysis.h"
#include "analysis/FrameAnalysis.h"
#include "cluster/MaskModule.h"
#include "cluster/SensorMaps.h"
#include "export/ExtendedLists.h"
#include "export/GraphicsModule.h"
#include "export/SamplingList.h"
#include "filter/Filter.h"
#include "hist/HistogramSets.h"
#include "pid/PidModule.h"
#include "rfr/FieldRecognition.h"
#include "rfr/SigVecModule.h"

namespace zel {
namespace {

template <class M>
ModulePtr makeModule() {
    return std::make_unique<M>();
}

// Error-code bases handed to the modules; each module derives its own codes from its base.
constexpr int kCodeBasePID = -4900;
constexpr int kCodeBaseFilter = -5000;
constexpr int kCodeBaseHistograms = -5100;
constexpr int kCodeBaseSigVec = -5200;
constexpr int kCodeBaseComparator = -5300;
constexpr int kCodeBaseGeometry = -5400;
constexpr int kCodeBaseDirection = -5500;
constexpr int kCodeBaseCompton = -5700;

constexpr EngineMessage kNone{};
constexpr EngineMessage kModulesFailed{"Error occurred during modules initialization.", -1023};

constexpr ModuleEntry kModules[] = {
    {"Geometry", nullptr, &makeModule<DetectorSetup>, kCodeBaseGeometry,
     {"Error occurred during detector geometry initialization. Module will not be used in processing.", -1044}, true,
     nullptr, kNone, kNone, "", 0, 0},
    {"PID", &Settings::DoPID, &makeModule<PidModule>, kCodeBasePID,
     {"Error occurred during PID module initialization. Module will not be used in processing.", -1039}, true,
     &RunState::pidActive, {"Error occurred during PID processing.", -3009}, kNone, "PARTICLE CLASSIFICATION", 10,
     0},
    {"Filter", &Settings::DoFilter, &makeModule<Filter>, kCodeBaseFilter,
     {"Error occurred during filter module initialization. Module will not be used in processing.", -1035}, true,
     &RunState::filterActive, {"Error occurred during filtering.", -3010}, kNone, "FILTER", 30, 0},
    {"Frame", &Settings::DoFrame, &makeModule<FrameAnalysis>, 0, kNone, true, nullptr,
     {"Error occurred during frame analysis.", FrameAnalysis::kBatchFailed},
     {"Error occurred during frame analysis export.", FrameAnalysis::kExportFailed}, "", 0, 60},
    // Before the sensor maps: their pass over the cluster log, when the input has ended, draws the groups it chose.
    {"Coinc", &Settings::DoCoinc, &makeModule<CoincidenceAnalysis>, 0, kNone, true, nullptr, kNone,
     {"Error occurred during coinc event analysis export.", CoincidenceAnalysis::kExportFailed}, "", 0, 70},
    {"SensMatrix", nullptr, &makeModule<SensorMaps>, 0, kNone, true, nullptr, kNone, kNone, "", 0, 25},
    {"ExtendedLists", nullptr, &makeModule<ExtendedLists>, 0, kNone, false, nullptr, kNone, kNone, "", 0, 10},
    {"Hist", nullptr, &makeModule<HistogramSets>, kCodeBaseHistograms, kModulesFailed, false, nullptr, kNone, kNone,
     "", 0, 20},
    {"SigVec", &Settings::DoSigVec, &makeModule<SigVecModule>, kCodeBaseSigVec,
     {"Error occurred during significant vector module initialization. Module will not be used in processing.", -1041},
     true, nullptr, kNone, kNone, "SIGNIFICANT VECTOR", 40, 0},
    {"RadFieldRecog", &Settings::DoRadFieldRecog, &makeModule<FieldRecognition>, kCodeBaseComparator,
     {"Error occurred during comparator module initialization. Module will not be used in processing.", -1027}, true,
     nullptr, kNone, kNone, "RADIATION FIELD RECOGNITION", 70, 100},
    {"Mask", &Settings::DoMask, &makeModule<MaskModule>, 0,
     {"Error occurred during mask initialization. Module will not be used in processing.", -1029}, true, nullptr,
     kNone, kNone, "MASK", 45, 0},
    {"SamplingList", nullptr, &makeModule<SamplingList>, 0, kNone, false, nullptr, kNone, kNone, "", 0, 30},
    {"Direction", &Settings::DoDirection, &makeModule<DirectionalAnalysis>, kCodeBaseDirection,
     {"Error occurred during direction analysis module initialization. Module will not be used in processing.", -1033},
     true, nullptr, kNone, {"Error occurred during directional analysis export.", -4027}, "DIRECTONAL ANALYSIS", 50, 90},
    // After the coincidence analysis, which hands it the closed groups (it groups for itself without one).
    {"Compton", &Settings::DoCompton, &makeModule<ComptonCamera>, kCodeBaseCompton,
     {"Error occurred during Compton camera module initialization. Module will not be used in processing.", -1032},
     true, nullptr, kNone, {"Error occurred during Compton analysis export.", -4028}, "COMPTON CAMERA", 45, 80},
    // Exports last: the pictures are drawn once every results file is written.
    {"Graphics", nullptr, &makeModule<GraphicsModule>, 0, kNone, false, nullptr, kNone, kNone, "", 0, 1000},
};

}  // namespace

std::span<const ModuleEntry> moduleTable() { return kModules; }

}  // namespace zel
