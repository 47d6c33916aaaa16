#include "analysis/ComptonCamera.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "analysis/CoincidenceAnalysis.h"
#include "analysis/EventListMatching.h"
#include "cluster/ClusterVariables.h"
#include "common/NumberText.h"
#include "common/Paths.h"
#include "common/PendingFile.h"
#include "engine/Settings.h"
#include "export/ComptonList.h"
#include "export/Pictures.h"

namespace zel {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr int kHalfAngleBins = 180;
// The matching of event lists reports its codes below those of the camera.
constexpr int kMatchingCodeOffset = 200;
// The largest image the camera builds (bins per axis), far beyond any display.
constexpr double kMaxProjectionBins = 10000;
const std::string kHistEndData = ".hist";
const std::string kHistEndInfo = ".hist_info";

using Config = ComptonCamera::Config;

struct NumberKey {
    const char* section;
    const char* key;
    double Config::*value;
};
constexpr NumberKey kNumberKeys[] = {
    {"Settings", "EnergyComptonSource", &Config::energySource},
    {"Settings", "EnergyComptonSumMin", &Config::energySumMin},
    {"Settings", "EnergyComptonSumMax", &Config::energySumMax},
    {"Settings", "TimeChargeCollCdTe", &Config::timeChargeCollCdTe},
    {"Settings", "TimeChargeCollSi", &Config::timeChargeCollSi},
    {"Settings", "TimeCoincWindow", &Config::timeCoincWindow},
    {"Settings", "ScattererID", &Config::scattererId},
    {"Settings", "AbsorberID", &Config::absorberId},
    {"Settings", "ProjNBinX", &Config::projNBinX},
    {"Settings", "ProjNBinY", &Config::projNBinY},
    {"Settings", "ProjBinWidthX", &Config::projBinWidthX},
    {"Settings", "ProjBinWidthY", &Config::projBinWidthY},
    {"Settings", "ProjPosX", &Config::projPosX},
    {"Settings", "ProjPosY", &Config::projPosY},
    {"Settings", "ProjDistance", &Config::projDistance},
    {"Settings", "ProjFieldViewX", &Config::projFieldViewX},
    {"Settings", "ProjFieldViewY", &Config::projFieldViewY},
    {"Settings", "ProjBlur", &Config::projBlur},
    {"Settings", "ProjContrast", &Config::projContrast},
};

struct FlagKey {
    const char* section;
    const char* key;
    bool Config::*value;
};
constexpr FlagKey kFlagKeys[] = {
    {"Settings", "DoSkipSelfDetectorCoinc", &Config::skipSelfDetectorCoinc},
    {"Settings", "DoOnlyPairCoinc", &Config::onlyPairCoinc},
    {"Settings", "ForceForward", &Config::forceForward},
    {"Settings", "ForceBackward", &Config::forceBackward},
    {"Settings", "DoProjection", &Config::doProjection},
    {"Settings", "DoProjNorm", &Config::doProjNorm},
    {"Settings", "DoProjInitOnFieldOfView", &Config::doProjInitOnFieldOfView},
    {"Export", "DoExport", &Config::doExport},
    {"Export", "DoDirectExport", &Config::doDirectExport},
    {"Export", "DoExportCone", &Config::doExportCone},
    {"Export", "DoKeepComptonEvents", &Config::doKeepComptonEvents},
    {"Export", "DoExportText", &Config::doExportText},
    {"Export", "DoExportGraphics", &Config::doExportGraphics},
    {"Export", "DoExportGraphs", &Config::doExportGraphs},
    {"LogPrint", "DoPrintOut", &Config::doPrintOut},
    {"LogPrint", "DoLog", &Config::doLog},
};

struct TextKey {
    const char* section;
    const char* key;
    std::string Config::*value;
};
constexpr TextKey kTextKeys[] = {
    {"Settings", "FileDetGeo_Path", &Config::fileDetGeoPath},
    {"Settings", "FileDetGeo_Name", &Config::fileDetGeoName},
    {"Export", "FileOut_Path", &Config::fileOutPath},
    {"Export", "FileCone_Name", &Config::fileConeName},
    {"Export", "FileCone_Path", &Config::fileConePath},
    {"LogPrint", "FileLog_Name", &Config::fileLogName},
    {"LogPrint", "FileLog_Path", &Config::fileLogPath},
};

double valueAt(std::span<const double> row, int column) {
    return column >= 0 && static_cast<size_t>(column) < row.size() ? row[static_cast<size_t>(column)]
                                                                   : std::numeric_limits<double>::quiet_NaN();
}

// A whole number stored as a double, or `fallback` when it is none an int holds.
int wholeNumber(double value, int fallback) {
    if (!(value >= -2147483648.0 && value <= 2147483647.0) || value != std::trunc(value)) return fallback;
    return static_cast<int>(value);
}

const char* onOff(bool value) { return value ? "true" : "false"; }

std::string number(double value) {
    char buffer[kNumberChars];
    return std::string(buffer, writeGeneral6(buffer, value));
}

}  // namespace

void ComptonCamera::Config::read(const ConfigFile& file) {
    for (const NumberKey& k : kNumberKeys) {
        const ConfigParameter p = file.getParameter(k.key, k.section);
        if (!p.numbers.empty()) this->*k.value = p.numbers.front();
    }
    for (const FlagKey& k : kFlagKeys) {
        const ConfigParameter p = file.getParameter(k.key, k.section);
        if (!p.numbers.empty()) this->*k.value = p.numbers.front() != 0.0;
    }
    for (const TextKey& k : kTextKeys) {
        const ConfigParameter p = file.getParameter(k.key, k.section);
        if (!p.strings.empty()) this->*k.value = p.strings.front();
    }
}

ComptonCamera::Indexes ComptonCamera::Indexes::from(const ClusterVariables& v) {
    Indexes i;
    i.energy = v.index(Var::E);
    i.x = v.index(Var::X);
    i.y = v.index(Var::Y);
    i.time = v.index(Var::T);
    i.assembly = v.index(Var::DetectorID);
    i.eventId = v.index(Var::EventID);
    return i;
}

ComptonCamera::~ComptonCamera() {
    // The coincidence analysis must not call a camera that is gone.
    if (run_ != nullptr) run_->coincidenceGroupClosed = nullptr;
}

int ComptonCamera::fail(const std::string& text, int number) const {
    return printModuleError(messages_, std::string(kName) + text, codeBase_, number);
}

int ComptonCamera::init(const ModuleContext& context) {
    const Settings& s = context.settings;
    messages_ = context.messages;
    codeBase_ = context.codeBase;
    if (s.ComptonName.empty()) return kNotUsed;

    ConfigFile file(s.ComptonPath, s.ComptonName);
    file.setMessageTarget(context.messages);
    Config config;
    config.projDistance = s.ComCamProjectionDist;
    if (file.load() != 0) {
        fail(" : Failed to load config: " + s.ComptonPath + s.ComptonName, kCannotLoadConfig);
        return fail(" : Initialization failed.", kSetupFailed);
    }
    config.read(file);

    // Event lists of several readouts named by the configuration are matched into one list first.
    if (EventListMatching::namesLists(file)) {
        EventListMatching matching;
        if (matching.init(s.ComptonPath, s.ComptonName, context.messages, context.codeBase - kMatchingCodeOffset) != 0 ||
            matching.run() != 0) {
            fail(" : Can not initialized coincidence and matching (dedicated file config used).", kMatchingFailed);
            return fail(" : Initialization failed.", kSetupFailed);
        }
    }

    // The camera's own geometry file, or the engine's.
    auto geometry = std::make_unique<DetectorSetup>();
    const bool dedicated = !config.fileDetGeoName.empty();
    const int geometryResult = dedicated
                                   ? (geometry->setMessageTarget(context.messages),
                                      geometry->setErrorCodeBase(context.codeBase),
                                      geometry->loadConfig(config.fileDetGeoPath, config.fileDetGeoName))
                                   : geometry->init(s, context.messages, context.codeBase);
    if (geometryResult != 0) {
        fail(dedicated ? " : Can not initialized detector geometry (dedicated file config used)."
                       : " : Can not initialized detector geometry (general file config used).",
             kGeometryFailed);
        return fail(" : Initialization failed.", kSetupFailed);
    }

    Output output;
    output.directory = s.FileOutPath + s.ExportDirCompton;
    output.listName = s.ComptonListName;
    output.listJsonName = s.ComptonListJsonName;
    output.doExportText = s.DoExportText;
    output.doExportGraphics = s.DoExportGraphics;
    output.doWeb = s.DoWeb;

    ownGeometry_ = std::move(geometry);
    const int result =
        init(config, ownGeometry_.get(), Indexes::from(context.variables), output, context.messages, context.codeBase);
    if (result != 0) return result;

    // Groups come from the coincidence analysis when it runs, otherwise the camera groups the clusters itself.
    if (s.DoCoinc) {
        run_ = &context.run;
        run_->coincidenceGroupClosed = [this](const CoincidenceGroup& group) { processGroup(group); };
    } else {
        grouper_ = std::make_unique<CoincidenceAnalysis>();
        CoincidenceAnalysis::Options options;
        options.timeCoincWindow = config_.timeCoincWindow;
        options.doExportText = options.doExportGraphics = false;
        CoincidenceAnalysis::Columns columns;
        columns.eventId = indexes_.eventId;
        columns.time = indexes_.time;
        columns.energy = indexes_.energy;
        if (!grouper_->init(options, columns, messages_)) return fail(" : Initialization failed.", kSetupFailed);
        grouper_->setGroupReceiver([this](const CoincidenceGroup& group) { processGroup(group); });
    }
    return 0;
}

int ComptonCamera::init(const Config& config, const DetectorSetup* geometry, const Indexes& indexes,
                        const Output& output, const MessageTarget& to, int codeBase) {
    config_ = config;
    indexes_ = indexes;
    output_ = output;
    messages_ = to;
    codeBase_ = codeBase;
    initialised_ = false;
    geometry_ = geometry;
    const std::string failed = " : Initialization failed.";

    if (!indexes.complete()) {
        const Indexes& i = indexes;
        fail(" : Can not map all indexes, some are missing: i_E = " + std::to_string(i.energy) + ", i_X" +
                 std::to_string(i.x) + ", i_Y" + std::to_string(i.y) + ", i_T" + std::to_string(i.time) +
                 ", i_AssemID" + std::to_string(i.assembly) + ", i_EventID" + std::to_string(i.eventId),
             kIndexesMissing);
        return fail(failed, kSetupFailed);
    }
    if (geometry == nullptr || geometry->assemblyCount() == 0) {
        fail(" : Fail to deduce scatterer and absorber ID of assemblies.", kNoScatterer);
        return fail(failed, kSetupFailed);
    }
    if (geometry->assemblyCount() == 1 && geometry->assemblyAt(0)->sensorMaterial == "Si") {
        fail(" : Current version of Compton camera directional analysis is not adjusted for single Si detector.",
             kSingleSilicon);
        return fail(failed, kSetupFailed);
    }
    if (config.energySumMin == -1 || config.energySumMax == -1) {
        const int code = fail(" : Compton matching can not be initialized. Min or max energy for sum has not been "
                              "not given: min = " + number(config.energySumMin) + " max = " +
                                  number(config.energySumMax),
                              kNoEnergyWindow);
        fail(failed, kSetupFailed);
        return code;
    }
    const double e = config.energySumMax;
    energySplit_ = e / (e / (2.0 * kElectronRestEnergy) + 1.0);

    // The scatterer lies on top of the stack (largest z of corner A), the absorber at its bottom.
    scattererId_ = wholeNumber(config.scattererId, -1);
    absorberId_ = wholeNumber(config.absorberId, -1);
    if (scattererId_ == -1 && absorberId_ == -1) {
        const Assembly* top = nullptr;
        const Assembly* bottom = nullptr;
        for (size_t k = 0; k < geometry->assemblyCount(); ++k) {
            const Assembly* a = geometry->assemblyAt(static_cast<int>(k));
            if (a == nullptr || a->positionA().size() < 3) continue;
            if (top == nullptr || a->positionA()[2] > top->positionA()[2]) top = a;
            if (bottom == nullptr || a->positionA()[2] < bottom->positionA()[2]) bottom = a;
        }
        if (top == nullptr) {
            fail(" : Fail to deduce scatterer and absorber ID of assemblies.", kNoScatterer);
            return fail(failed, kSetupFailed);
        }
        scattererId_ = top->numId;
        absorberId_ = bottom->numId;
    }

    if (config.doProjection && setUpProjection() != 0) return fail(failed, kSetupFailed);
    try {
        halfAngles_ = std::make_unique<Hist1D>("Histogram with half angle of Compton cones", kHalfAngleBins, 0.0, kPi,
                                               codeBase, to);
    } catch (const std::runtime_error&) {
        return fail(failed, kSetupFailed);
    }
    halfAngles_->SetName(std::string(kHalfAngleName));
    halfAngles_->SetFileOutName(std::string(kHalfAngleName));
    halfAngles_->SetAxisTitles({"Cone half angle [rad]", "N [-]"});
    clearResults();
    initialised_ = true;
    return 0;
}

// The image plane: its binning from the configuration, or its size from the field of view seen at the projection
// distance.
int ComptonCamera::setUpProjection() {
    Config& c = config_;
    if (c.doProjInitOnFieldOfView && c.projFieldViewX > 0 && c.projFieldViewY > 0 && c.projNBinX > 0 &&
        c.projDistance > 0) {
        const double width = 2.0 * std::atan(c.projFieldViewX * kRadiansPerDegree / 2.0) * c.projDistance;
        const double height = 2.0 * std::atan(c.projFieldViewY * kRadiansPerDegree / 2.0) * c.projDistance;
        const double binWidth = std::trunc(width / c.projNBinX + 1.0);
        c.projBinWidthX = c.projBinWidthY = binWidth;
        c.projNBinY = std::trunc(height / binWidth + 1.0);
    }
    const bool usable = c.projNBinX >= 1 && c.projNBinX <= kMaxProjectionBins && c.projNBinY >= 1 &&
                        c.projNBinY <= kMaxProjectionBins && c.projBinWidthX > 0 && c.projBinWidthY > 0 &&
                        std::isfinite(c.projBinWidthX * c.projBinWidthY * c.projPosX * c.projPosY * c.projDistance);
    if (!usable) {
        return fail(" : The projection can not be built from its binning: " + number(c.projNBinX) + " x " +
                        number(c.projNBinY) + " bins of " + number(c.projBinWidthX) + " x " +
                        number(c.projBinWidthY) + " mm.",
                    kSetupFailed);
    }
    const int nx = static_cast<int>(c.projNBinX);
    const int ny = static_cast<int>(c.projNBinY);
    binWidthX_ = c.projBinWidthX;
    binWidthY_ = c.projBinWidthY;
    projector_ = std::make_unique<ConeProjector>(nx, ny, binWidthX_, binWidthY_, c.projPosX, c.projPosY,
                                                 c.projDistance);
    try {
        projection_ = std::make_unique<Hist2D>("Projection", nx, projector_->xMin(), projector_->xMin() + nx * binWidthX_,
                                               ny, projector_->yMin(), projector_->yMin() + ny * binWidthY_, codeBase_,
                                               messages_);
    } catch (const std::runtime_error&) {
        return -1;
    }
    projection_->SetName(std::string(kProjectionName));
    projection_->SetFileOutName(std::string(kProjectionName));
    projection_->SetAxisTitles({"X [mm]", "Y [mm]", "N [-]"});
    return 0;
}

void ComptonCamera::clearResults() {
    counters_ = Counters{};
    kept_.clear();
    cones_.clear();
    angleSum_ = angleSumSquares_ = coneCount_ = 0;
    angleMin_ = angleMax_ = 0;
    statistic_ = Statistic{};
    liveTimes_.clear();
    sampleAngleSums_.assign(1, 0.0);
    sampleCones_.assign(1, 0.0);
    finalClosed_ = false;
    if (halfAngles_) halfAngles_->ClearContents();
    if (projection_) projection_->ClearContents(true);
}

void ComptonCamera::processCluster(std::span<const double> row, uint32_t, int) {
    if (grouper_) grouper_->groupCluster(row);
}

const Detector* ComptonCamera::detectorOf(int assemblyId) const {
    for (const Detector& d : geometry_->detectors())
        for (const Assembly* a : d.assemblies())
            if (a->numId == assemblyId) return &d;
    return nullptr;
}

double ComptonCamera::heightOf(int assemblyId) const {
    const Assembly* a = geometry_->assemblyById(assemblyId);
    return a != nullptr && a->positionA().size() >= 3 ? a->positionA()[2] : 0.0;
}

const Assembly* ComptonCamera::place(std::span<const double> row, const CoincidenceGroup& group, Point3& point) const {
    const int id = wholeNumber(valueAt(row, indexes_.assembly), std::numeric_limits<int>::min());
    const Assembly* assembly = id == std::numeric_limits<int>::min() ? nullptr : geometry_->assemblyById(id);
    if (assembly == nullptr) return nullptr;
    const double x = valueAt(row, indexes_.x);
    const double y = valueAt(row, indexes_.y);
    if (!std::isfinite(x) || !std::isfinite(y)) return nullptr;
    // The depth in CdTe follows from the drift time behind the group's first cluster on the same assembly.
    double depthUm = 0.0;
    const int firstId = wholeNumber(valueAt(group.row(0), indexes_.assembly), std::numeric_limits<int>::min());
    if (assembly->sensorMaterial == "CdTe" && firstId == id && config_.timeChargeCollCdTe > 0) {
        const double drift = std::fabs(valueAt(row, indexes_.time) - group.firstTime);
        if (std::isfinite(drift)) {
            depthUm = std::min(drift * assembly->sensorThickness / config_.timeChargeCollCdTe,
                               assembly->sensorThickness);
        }
    }
    point = assembly->pixelToSpace(x, y, depthUm);
    return assembly;
}

void ComptonCamera::processGroup(const CoincidenceGroup& group) {
    if (!initialised_) return;
    const size_t size = group.size();
    if (size < 2) return;
    counters_.coincGroups += 1;
    double sum = 0.0;
    for (size_t i = 0; i < size; ++i) sum += valueAt(group.row(i), indexes_.energy);
    if (!(sum > config_.energySumMin && sum < config_.energySumMax)) return;
    counters_.possibleEvents += 1;
    if (config_.onlyPairCoinc && size != 2) return;

    // In larger groups every pair whose own deposits fill the window is a candidate: the other clusters are
    // then small enough to be noise beside the photon.
    int made = 0;
    for (size_t i = 0; i < size; ++i) {
        for (size_t j = i + 1; j < size; ++j) {
            if (size > 2) {
                const double pair = valueAt(group.row(i), indexes_.energy) + valueAt(group.row(j), indexes_.energy);
                if (!(pair > config_.energySumMin && pair < config_.energySumMax)) continue;
            }
            if (processPair(group.row(i), group.row(j), group)) ++made;
        }
    }
    if (made > 0) counters_.comptonGroups += 1;
    if (made == 1) counters_.uniqueGroups += 1;
    if (made > 1) counters_.ambiguousGroups += 1;
}

// Names the pair (a, b) so that the forward order is the usual one: b on the scatterer (higher up the stack), a on
// the absorber. Two clusters at one height keep their group order, the earlier being b.
bool ComptonCamera::processPair(std::span<const double> first, std::span<const double> second,
                                const CoincidenceGroup& group) {
    Point3 p1{}, p2{};
    const Assembly* a1 = place(first, group, p1);
    const Assembly* a2 = place(second, group, p2);
    const double e1 = valueAt(first, indexes_.energy);
    const double e2 = valueAt(second, indexes_.energy);
    if (a1 == nullptr || a2 == nullptr) {
        counters_.failed += 1;
        return false;
    }
    const Detector* d1 = detectorOf(a1->numId);
    const Detector* d2 = detectorOf(a2->numId);
    const bool sameDetector = a1 == a2 || (d1 != nullptr && d1 == d2);
    counters_.singleDetector += sameDetector ? 1 : 0;
    counters_.multiDetector += sameDetector ? 0 : 1;
    if (sameDetector && config_.skipSelfDetectorCoinc) return false;

    bool firstIsB = true;
    if (a1->numId == absorberId_ && a2->numId == scattererId_) firstIsB = false;
    else if (!(a1->numId == scattererId_ && a2->numId == absorberId_))
        firstIsB = heightOf(a1->numId) >= heightOf(a2->numId);
    const double ea = firstIsB ? e2 : e1;
    const double eb = firstIsB ? e1 : e2;
    const Point3& pa = firstIsB ? p2 : p1;
    const Point3& pb = firstIsB ? p1 : p2;

    const OrderChoice choice = chooseOrder(ea, eb, config_.forceForward, config_.forceBackward);
    if (choice.order == ComptonOrder::None) {
        counters_.failed += 1;
        return false;
    }
    counters_.orderAmbiguous += choice.ambiguous ? 1 : 0;
    counters_.orderUnique += choice.ambiguous ? 0 : 1;
    if (choice.order == ComptonOrder::Ambiguous) return false;

    ComptonCone cone;
    const bool forward = choice.order == ComptonOrder::Forward;
    const bool made = forward ? makeCone(eb, pb, ea, pa, choice.order, cone) : makeCone(ea, pa, eb, pb, choice.order, cone);
    if (!made) {
        counters_.failed += 1;
        return false;
    }
    counters_.forward += forward ? 1 : 0;
    counters_.backward += forward ? 0 : 1;
    addCone(cone);
    return true;
}

void ComptonCamera::addCone(const ComptonCone& cone) {
    counters_.passed += 1;
    const double angle = cone.halfAngle;
    angleMin_ = coneCount_ == 0 ? angle : std::min(angleMin_, angle);
    angleMax_ = coneCount_ == 0 ? angle : std::max(angleMax_, angle);
    coneCount_ += 1;
    angleSum_ += angle;
    angleSumSquares_ += angle * angle;
    sampleAngleSums_.back() += angle;
    sampleCones_.back() += 1;
    halfAngles_->Fill(angle);
    if (config_.doKeepComptonEvents) kept_.push_back(cone);
    if (config_.doExport && config_.doExportCone) {
        char* out = cones_.claim(7 * (kNumberChars + 1));
        const double values[7] = {cone.apex[0], cone.apex[1], cone.apex[2], cone.axis[0],
                                  cone.axis[1], cone.axis[2], cone.halfAngle};
        for (int k = 0; k < 7; ++k) {
            out = writeGeneral6(out, values[k]);
            *out++ = k < 6 ? '\t' : '\n';
        }
        cones_.commit(out);
    }
    if (projector_) {
        if (projector_->project(cone, *projection_) > 0) counters_.inProjection += 1;
        else counters_.outProjection += 1;
    }
}

void ComptonCamera::closeSample(double liveTime, bool final) {
    if (!initialised_ || finalClosed_) return;
    liveTimes_.push_back(liveTime);
    finalClosed_ = final;
    if (final) return;
    sampleAngleSums_.push_back(0.0);
    sampleCones_.push_back(0.0);
}

std::vector<double> ComptonCamera::sampleMeanHalfAngles() const {
    std::vector<double> means;
    for (size_t k = 0; k < liveTimes_.size() && k < sampleCones_.size(); ++k)
        means.push_back(sampleCones_[k] > 0 ? sampleAngleSums_[k] / sampleCones_[k] : 0.0);
    return means;
}

std::vector<double> ComptonCamera::sampleConeCounts() const {
    const size_t closed = std::min(liveTimes_.size(), sampleCones_.size());
    return {sampleCones_.begin(), sampleCones_.begin() + static_cast<std::ptrdiff_t>(closed)};
}

int ComptonCamera::finishInput() {
    if (!initialised_) return 0;
    if (grouper_) grouper_->finishInput();
    const double n = coneCount_;
    statistic_ = Statistic{};
    if (n > 0) {
        statistic_.mean = angleSum_ / n;
        statistic_.std = n < 2 ? 0.0 : std::sqrt(std::max(0.0, (angleSumSquares_ - n * statistic_.mean * statistic_.mean) / (n - 1)));
        statistic_.minimum = angleMin_;
        statistic_.maximum = angleMax_;
    }
    if (!std::isfinite(statistic_.std)) {
        return fail(" : Error occurred in evaluation of vector statistics.", kStatisticsFailed);
    }
    return 0;
}

void ComptonCamera::applyContrastAndBlur(std::vector<double>& bins, int nx, int ny, double contrast, int blur) {
    if (nx <= 0 || ny <= 0 || bins.size() != static_cast<size_t>(nx) * static_cast<size_t>(ny)) return;
    if (contrast >= 0) {
        const double largest = *std::max_element(bins.begin(), bins.end());
        const double threshold = (contrast <= 100 ? contrast / 100.0 : 1.0) * largest;
        for (double& b : bins)
            if (b < threshold) b = 0.0;
    }
    static constexpr double kWeights[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
    std::vector<double> blurred(bins.size());
    for (int pass = 0; pass < blur; ++pass) {
        for (int y = 0; y < ny; ++y) {
            for (int x = 0; x < nx; ++x) {
                double sum = 0.0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int xx = x + dx, yy = y + dy;
                        if (xx < 0 || yy < 0 || xx >= nx || yy >= ny) continue;
                        sum += kWeights[dy + 1][dx + 1] * bins[static_cast<size_t>(yy) * nx + xx];
                    }
                }
                blurred[static_cast<size_t>(y) * nx + x] = sum / 16.0;
            }
        }
        bins.swap(blurred);
    }
}

int ComptonCamera::projection(std::vector<double>& out, double contrast, double blur) const {
    out.clear();
    if (!initialised_) return kNotReady;
    if (!projection_) return kNoProjection;
    const int nx = projection_->GetNBinX();
    const int ny = projection_->GetNBinY();
    const ZeroedDoubles& contents = projection_->GetContents();
    out.reserve(static_cast<size_t>(nx) * ny);
    double total = 0.0;
    for (size_t k = 1; k <= static_cast<size_t>(nx) * ny; ++k) {
        out.push_back(contents[k]);
        total += contents[k];
    }
    // Normalised, the bins add up to 1: the image reads as the share of all cone crossings in each bin.
    if (config_.doProjNorm && total > 0)
        for (double& b : out) b /= total;
    const double useContrast = contrast == -1 ? config_.projContrast : contrast;
    const double useBlur = blur == -1 ? config_.projBlur : blur;
    const int passes = useBlur >= 1 && useBlur <= 1000 ? static_cast<int>(useBlur) : 0;
    applyContrastAndBlur(out, nx, ny, useContrast, passes);
    return 0;
}

int ComptonCamera::testProjection(std::vector<double>& out) const {
    out.clear();
    if (!initialised_) return kNotReady;
    if (!projection_) return kNoProjection;
    // A ring round the image centre whose radius is a quarter of the smaller side of the image.
    Hist2D ring("Projection", projection_->GetNBinX(), projection_->GetXmin(), projection_->GetXmax(),
                projection_->GetNBinY(), projection_->GetYmin(), projection_->GetYmax(), codeBase_, messages_);
    const double radius = 0.25 * std::min(projection_->GetXmax() - projection_->GetXmin(),
                                          projection_->GetYmax() - projection_->GetYmin());
    ComptonCone cone;
    cone.apex = {0.5 * (projection_->GetXmin() + projection_->GetXmax()),
                 0.5 * (projection_->GetYmin() + projection_->GetYmax()), 0.0};
    cone.axis = {0.0, 0.0, 1.0};
    cone.halfAngle = std::atan(radius / config_.projDistance);
    projector_->project(cone, ring);
    const int nx = ring.GetNBinX();
    const int ny = ring.GetNBinY();
    const ZeroedDoubles& contents = ring.GetContents();
    for (size_t k = 1; k <= static_cast<size_t>(nx) * ny; ++k) out.push_back(contents[k]);
    const int passes = config_.projBlur >= 1 && config_.projBlur <= 1000 ? static_cast<int>(config_.projBlur) : 0;
    applyContrastAndBlur(out, nx, ny, config_.projContrast, passes);
    return 0;
}

Pictures* ComptonCamera::picturesOfRun() const {
    return output_.doExportGraphics && run_ != nullptr ? run_->pictures : nullptr;
}

int ComptonCamera::exportResults(const MessageTarget& to) {
    if (!initialised_) return 0;
    int failed = 0;
    const bool any = output_.doExportText || output_.doExportGraphics;
    if (any && !makeDirectories(output_.directory)) failed = 1;
    if (failed == 0 && output_.doExportText && writeComptonList(*this, to) != 0) failed = 1;
    if (failed == 0 && config_.doExport && any) {
        if (config_.doExportCone && exportCones() != 0) failed = 1;
        if (exportHistogram() != 0) failed = 1;
        if (config_.doExportGraphs && exportGraphs() != 0) failed = 1;
        if (projection_ && exportProjection() != 0) failed = 1;
    }
    if (failed != 0) return fail(" : Error occurred during export.", kExportFailed);
    return 0;
}

int ComptonCamera::exportCones() {
    const std::string directory = config_.fileConePath.empty() ? output_.directory : config_.fileConePath;
    PendingFile file(directory + config_.fileConeName);
    std::string text = "ConeApexX\tConeApexY\tConeApexZ\tConeAxisX\tConeAxisY\tConeAxisZ\tApexHalfAngle\n"
                       "mm\tmm\tmm\tmm\tmm\tmm\trad\n";
    text += cones_.text();
    if (!file.write(text) || !file.commit()) {
        fail(" : Can not open files for cone export: " + directory + config_.fileConeName, kExportFailed);
        fail(" : Error occurred during export of all cones.", kExportFailed);
        return -1;
    }
    return 0;
}

int ComptonCamera::exportHistogram() {
    const std::string directory = output_.directory + "Hist" + kSeparator;
    if (!makeDirectories(directory)) return -1;
    halfAngles_->SetFileOutPath(directory);
    halfAngles_->SetFileOutEndData(kHistEndData);
    halfAngles_->SetFileOutEndInfo(kHistEndInfo);
    if (Pictures* pictures = picturesOfRun()) pictures->add(*halfAngles_, directory);
    return halfAngles_->Export();
}

// Each graph as two columns: the end of each time sample (summed live times) and the value in that sample.
int ComptonCamera::exportGraphs() const {
    const std::string directory = output_.directory + "Graph" + kSeparator;
    if (!makeDirectories(directory)) return -1;
    struct Graph {
        const char* title;
        const char* name;
        const char* yTitle;
        std::vector<double> y;
    };
    const Graph graphs[] = {
        {"Mean half angle of Compton cones over time samples", "ConeHalfAngle_TimeSample", "Cone half angle [rad]",
         sampleMeanHalfAngles()},
        {"Mean count of Compton events over time samples", "CountCompEvent_TimeSample", "Compton events count [-]",
         sampleConeCounts()},
    };
    OutputText text;
    for (const Graph& graph : graphs) {
        text.clear();
        text.write(std::string("# ") + graph.title + "\nT [s]\t" + graph.yTitle + "\n");
        double elapsed = 0.0;
        PlotGraph picture;
        picture.labels = {graph.title, "T [s]", graph.yTitle};
        picture.x.emplace_back();
        picture.y.emplace_back();
        for (size_t k = 0; k < graph.y.size() && k < liveTimes_.size(); ++k) {
            elapsed += std::max(0.0, liveTimes_[k]);
            picture.x.back().push_back(elapsed);
            picture.y.back().push_back(graph.y[k]);
            char* out = writeGeneral6(text.claim(2 * kNumberChars + 2), elapsed);
            *out++ = '\t';
            out = writeGeneral6(out, graph.y[k]);
            *out++ = '\n';
            text.commit(out);
        }
        PendingFile file(directory + graph.name + ".txt");
        if (!file.write(text.text()) || !file.commit()) return -1;
        if (Pictures* pictures = picturesOfRun()) pictures->add(picture, graph.name, directory);
    }
    return 0;
}

int ComptonCamera::exportProjection() {
    if (projection_->Integral() <= 0) {
        printWarning(messages_, std::string(kName) + " : Projection is empty. It wont be exported.");
        return 0;
    }
    const std::string directory = output_.directory + "Hist" + kSeparator;
    projection_->SetFileOutPath(directory);
    projection_->SetFileOutName(std::string(kProjectionName));
    projection_->SetFileOutEndData(kHistEndData);
    projection_->SetFileOutEndInfo(kHistEndInfo);
    projection_->ComputeStatistics();
    if (projection_->Export() != 0 || projection_->ExportMatrix(false) != 0) {
        fail(" : Error occurred during export of projection.", kExportFailed);
        return -1;
    }
    if (Pictures* pictures = picturesOfRun()) pictures->add(*projection_, directory);
    return 0;
}

std::string ComptonCamera::reportText() const {
    const std::string rule = "---------------------------------------------------------\n";
    const std::string title = "COMPTON CAMERA";
    const std::string header(72, '=');
    const size_t pad = (header.size() - title.size()) / 2;
    std::string text = header + "\n" + std::string(pad, ' ') + title + "\n" + header + "\n";
    text += rule + "MAIN SETTINGS\n\n";
    text += std::string("DoExport:\t\t") + onOff(config_.doExport) + "\n";
    text += "FileOut_Path:\t\t" + output_.directory + "\n";
    text += std::string("DoExportCone:\t\t") + onOff(config_.doExportCone) + "\n";
    text += "FileCone_Path:\t\t" + (config_.fileConePath.empty() ? output_.directory : config_.fileConePath) + "\n";
    text += "FileCone_Name:\t\t" + config_.fileConeName + "\n";
    text += std::string("DoPrintOut:\t\t") + onOff(messages_.print) + "\n";
    text += "FileLog_Name:\t\t" + config_.fileLogName + "\n";
    text += "FileLog_Path:\t\t" + config_.fileLogPath + "\n";
    text += "FileDetGeo_Name:\t" + config_.fileDetGeoName + "\n";
    text += "FileDetGeo_Path:\t" + config_.fileDetGeoPath + "\n";
    text += rule;
    text += "Minimum sum of E:\t\t" + number(config_.energySumMin) + " keV\n";
    text += "Maximum sum of E:\t\t" + number(config_.energySumMax) + " keV\n";
    text += "E of source:\t\t" + number(config_.energySource) + " keV\n";
    text += "Time interval for coinc:\t" + number(config_.timeCoincWindow) + " ns\n";
    text += "Charge collection time in CdTe:\t" + number(config_.timeChargeCollCdTe) + " ns\n";
    text += std::string("Skip self detector coinc:\t") + onOff(config_.skipSelfDetectorCoinc) + "\n";
    text += std::string("Use only pair coinc:\t\t") + onOff(config_.onlyPairCoinc) + "\n";
    text += "Scatterer, absorber:\t\t" + std::to_string(scattererId_) + ", " + std::to_string(absorberId_) + "\n";
    text += "Projection:\t\t\t" + std::to_string(projectionBinsX()) + " x " + std::to_string(projectionBinsY()) +
            " bins of " + number(binWidthX_) + " x " + number(binWidthY_) + " mm at " + number(config_.projDistance) +
            " mm";
    return text;
}

void ComptonCamera::report(const MessageTarget& to) const { printMsg(to, reportText()); }

}  // namespace zel
