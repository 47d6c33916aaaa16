#include "pid/PidModule.h"

#include <algorithm>
#include <iostream>
#include <limits>

#include "common/NumberText.h"
#include "common/Text.h"
#include "cluster/ClusterVariables.h"
#include "engine/Settings.h"
#include "engine/SettingsReport.h"
#include "pid/network/ModelDirectory.h"
#include "pid/PidErrors.h"

namespace zel {
namespace {

using namespace pid_error;

constexpr std::string_view kPrefix = "PID : ";

}  // namespace

PidModule::PidModule(const Setup& setup, const std::vector<std::string>& variableNames,
                     const MessageTarget& messages, int codeBase)
    : setup_(setup), names_(variableNames), to_(messages), codeBase_(codeBase) {
    slots_.fill(-1);
}

PidModule::PidModule() { slots_.fill(-1); }

int PidModule::init(const ModuleContext& context) {
    const Settings& settings = context.settings;
    setup_.chipType = settings.ChipType;
    setup_.sensMat = settings.SensMat;
    setup_.modelPath = settings.ModelPath;
    setup_.sensThick = settings.SensThick;
    setup_.sensBias = settings.SensBias;
    setup_.pidAlg = settings.PIDAlg;
    setup_.dtSwitch = settings.DTSwitch;
    names_ = context.variables.names();
    to_ = context.messages;
    codeBase_ = context.codeBase;
    const int code = init();
    if (code != 0) return code;
    warnOfOtherDetector();
    setClassColumn(context.variables.addColumn("PIDClass", "-", Var::PIDClass, true));
    context.run.classNames = classNames_;
    context.run.classNames.push_back("Others");
    context.run.pidAlgorithm = algorithm_;
    return 0;
}

void PidModule::warnOfOtherDetector() const {
    // The classes' bounds hold for the detector the algorithm was made for; elsewhere they classify without a word
    // of doubt unless the user is told.
    if (spec_ == nullptr || spec_->detector.chipType.empty()) return;
    const DetectorSpec& made = spec_->detector;
    if (made.chipType == setup_.chipType && made.sensMat == setup_.sensMat && made.sensThick == setup_.sensThick) return;
    printWarning(to_, std::string(kPrefix) + "Algorithm " + std::to_string(algorithm_) + " was made for " +
                          std::string(made.chipType) + " with " + formatG(made.sensThick) + " um " +
                          std::string(made.sensMat) + ", but the settings describe " + setup_.chipType + " with " +
                          formatG(setup_.sensThick) + " um " + setup_.sensMat + ". Its classes may not fit.");
}

std::string PidModule::validNumbersText() {
    std::string text;
    for (const AlgorithmSpec& algorithm : pidAlgorithms()) {
        if (!text.empty()) text += ", ";
        text += std::to_string(algorithm.number);
    }
    return text;
}

int PidModule::init() {
    initialised_ = false;
    network_.reset();
    algorithm_ = setup_.pidAlg == -1 ? chooseAutomatically() : setup_.pidAlg;
    static constexpr int kTreeOfSwitch[] = {101, 102, 103};
    if (setup_.dtSwitch >= 1 && setup_.dtSwitch <= 3) algorithm_ = kTreeOfSwitch[setup_.dtSwitch - 1];

    mapNames();
    const int algorithmResult = initAlgorithm();
    const int checkResult = checkConditionColumns();
    if (algorithmResult != 0 || checkResult != 0) {
        const int code = codeBase_ - kInitFailed;
        errorLeadingCode(code, " : Error occurred during PID initialization.");
        return code;
    }
    preparedWidth_ = SIZE_MAX;
    initialised_ = true;
    return 0;
}

int PidModule::chooseAutomatically() {
    if (setup_.chipType == "TPX3") return 251;
    if (setup_.chipType == "TPX") return 201;
    errorCode("Algorithm can not be chosen based on the detector settings. The alg. with number 201 is used.",
              codeBase_ - kNoChoice);
    return 201;
}

// The module keeps its own column table, bound by the same rules as the engine's: the last entry of a name wins.
void PidModule::mapNames() {
    slots_.fill(-1);
    for (size_t i = 0; i < names_.size(); ++i) {
        Var slot{};
        if (findVariable(names_[i], slot)) {
            slots_[static_cast<size_t>(slot)] = static_cast<int>(i);
        } else {
            printWarning(to_, std::string(kPrefix) + "Unknown variable names found in elist: " + names_[i]);
        }
    }
}

int PidModule::initAlgorithm() {
    classes_.clear();
    classNames_.clear();
    spec_ = findPidAlgorithm(algorithm_);
    if (spec_ == nullptr) {
        errorCode("Wrong settings in PID algorithms switch: " + std::to_string(algorithm_) +
                      " - has to be: " + validNumbersText() + ".",
                  codeBase_ - kNoChoice);
        printMsg(to_, std::string(kPrefix) + "Algorithm is chosen based on used detectors settings.");
        algorithm_ = chooseAutomatically();
        spec_ = findPidAlgorithm(algorithm_);
    }
    if (spec_ == nullptr) {
        errorCode("Algorithm switch failed to pass check for valid values.", codeBase_ - kInvalidNumber);
        return codeBase_ - kInvalidNumber;
    }
    buildClasses();
    if (classes_.size() != spec_->classes.size()) {
        errorCode("Error occurred during algorithm initialization.", codeBase_ - kBuildFailed);
        return codeBase_ - kBuildFailed;
    }
    return spec_->family() == PidFamily::NeuralNetwork ? initNetwork() : 0;
}

void PidModule::buildClasses() {
    const bool network = spec_->family() == PidFamily::NeuralNetwork;
    for (const ClassSpec& spec : spec_->classes) {
        PidClass& built = classes_.emplace_back();
        built.description = spec.description;
        built.particles.assign(spec.particles, spec.particles + spec.particleCount());
        const std::span<const ConditionSpec> conditions =
            network ? networkFeatures() : std::span<const ConditionSpec>(spec.conditions, spec.conditionCount());
        for (const ConditionSpec& condition : conditions) {
            PidClass::Condition& added = built.conditions.emplace_back();
            added.variable = condition.variable;
            added.lower = condition.lower;
            added.upper = condition.upper;
            Var slot{};
            if (findVariable(condition.variable, slot) && slots_[static_cast<size_t>(slot)] >= 0)
                added.column = static_cast<uint32_t>(slots_[static_cast<size_t>(slot)]);
        }
        classNames_.push_back(built.description);
    }
}

int PidModule::initNetwork() {
    NetworkClassifier::Setup network;
    network.algorithm = algorithm_;
    network.modelPath = setup_.modelPath;
    network.directoryPrefix = modelDirectoryPrefix(spec_->detector, classes_.size());
    network.classCount = classes_.size();
    for (const PidClass::Condition& feature : classes_.front().conditions) network.featureColumns.push_back(feature.column);
    network_ = std::make_unique<NetworkClassifier>(to_, codeBase_);
    return network_->init(network);
}

int PidModule::checkConditionColumns() const {
    for (const PidClass& pidClass : classes_) {
        for (const PidClass::Condition& condition : pidClass.conditions) {
            if (condition.column == PidClass::kNoColumn) {
                errorCode("Check failed with cluster var indexes uninitialization. Missing index for: " +
                              condition.variable,
                          codeBase_ - kMissingColumn);
                return codeBase_ - kMissingColumn;
            }
        }
    }
    return 0;
}

int PidModule::refuseUninitialised() const {
    const int code = codeBase_ - kNotInitialised;
    errorLeadingCode(code, " : Can not process cluster because the initialization was not done.");
    return code;
}

void PidModule::prepare(size_t width) {
    if (width == preparedWidth_) return;
    rowConditions_.clear();
    classEnds_.clear();
    for (const PidClass& pidClass : classes_) {
        for (const PidClass::Condition& condition : pidClass.conditions) {
            if (condition.column < width)
                rowConditions_.push_back({condition.column, condition.lower, condition.upper, 0});
        }
        classEnds_.push_back(rowConditions_.size());
    }
    preparedWidth_ = width;
    buildKeyIndex();
}

void PidModule::buildKeyIndex() {
    keyBounds_.clear();
    keyMasks_.clear();
    const size_t classes = classEnds_.size();
    if (classes > 64) return;
    // The column tested by most classes.
    std::vector<size_t> classesTesting;
    size_t begin = 0;
    for (const size_t end : classEnds_) {
        std::vector<size_t> seen;
        for (size_t c = begin; c < end; ++c) {
            const size_t column = rowConditions_[c].column;
            if (std::find(seen.begin(), seen.end(), column) != seen.end()) continue;
            seen.push_back(column);
            if (column >= classesTesting.size()) classesTesting.resize(column + 1, 0);
            ++classesTesting[column];
        }
        begin = end;
    }
    const auto most = std::max_element(classesTesting.begin(), classesTesting.end());
    if (most == classesTesting.end() || *most < 2) return;
    keyColumn_ = static_cast<size_t>(most - classesTesting.begin());
    for (const RowCondition& condition : rowConditions_) {
        if (condition.column != keyColumn_) continue;
        keyBounds_.push_back(condition.lower);
        keyBounds_.push_back(condition.upper);
    }
    std::sort(keyBounds_.begin(), keyBounds_.end());
    keyBounds_.erase(std::unique(keyBounds_.begin(), keyBounds_.end()), keyBounds_.end());
    // Each region's classes, from a value inside it: a bound, or a value between two bounds, or beyond them all;
    // the NaN region keeps the classes that do not test the key column.
    const size_t bounds = keyBounds_.size();
    auto valueIn = [&](size_t region) {
        const size_t i = region / 2;
        if (region % 2 == 1) return keyBounds_[i];
        if (i == 0) return -std::numeric_limits<double>::infinity();
        if (i == bounds) return std::numeric_limits<double>::infinity();
        return keyBounds_[i - 1] + (keyBounds_[i] - keyBounds_[i - 1]) / 2;
    };
    keyMasks_.assign(2 * bounds + 2, 0);
    for (size_t region = 0; region < keyMasks_.size(); ++region) {
        const bool nan = region == keyMasks_.size() - 1;
        const double value = nan ? std::numeric_limits<double>::quiet_NaN() : valueIn(region);
        begin = 0;
        for (size_t k = 0; k < classes; ++k) {
            bool possible = true;
            for (size_t c = begin; c < classEnds_[k]; ++c) {
                const RowCondition& condition = rowConditions_[c];
                if (condition.column == keyColumn_ && !(value >= condition.lower && value <= condition.upper))
                    possible = false;
            }
            if (possible) keyMasks_[region] |= uint64_t{1} << k;
            begin = classEnds_[k];
        }
    }
}

void PidModule::reorderConditions() {
    size_t begin = 0;
    for (const size_t end : classEnds_) {
        const auto first = rowConditions_.begin() + static_cast<std::ptrdiff_t>(begin);
        const auto last = rowConditions_.begin() + static_cast<std::ptrdiff_t>(end);
        std::stable_sort(first, last, [](const RowCondition& a, const RowCondition& b) { return a.rejected > b.rejected; });
        // Halving keeps the order following the data as it changes.
        for (auto c = first; c != last; ++c) c->rejected /= 2;
        begin = end;
    }
}

int PidModule::classify(const ClusterBatch& batch, std::vector<int>& out, bool clearFirst) {
    if (!initialised_) return refuseUninitialised();
    if (clearFirst) out.clear();
    if (network_) return network_->classify(batch, out);
    prepare(batch.width());
    out.reserve(out.size() + batch.size());
    for (size_t r = 0; r < batch.size(); ++r) {
        const double* row = batch.row(r).data();
        out.push_back(classifyRowAt(row, r));
    }
    reorderConditions();
    return 0;
}

int PidModule::processBatch(ClusterBatch& batch) {
    if (!initialised_) return refuseUninitialised();
    const size_t width = batch.width();
    if (classColumn_ < 0 || static_cast<size_t>(classColumn_) >= width) {
        errorLeadingCode(codeBase_ - kBatchFailed, " : Error occurred during multi cluster processing.");
        return codeBase_ - kBatchFailed;
    }
    const size_t column = static_cast<size_t>(classColumn_);
    if (network_) return network_->classify(batch, column);
    prepare(width);
    for (size_t r = 0; r < batch.size(); ++r) {
        double* row = batch.row(r).data();
        row[column] = static_cast<double>(classifyRowAt(row, r));
    }
    reorderConditions();
    return 0;
}

std::vector<std::string> PidModule::reportLines() const {
    const DetectorSpec detector = spec_ != nullptr ? spec_->detector : DetectorSpec{};
    std::vector<std::string> lines;
    lines.push_back("Alg description:                " + std::string(spec_ != nullptr ? spec_->description : ""));
    lines.push_back("Alg switch:                     " + std::to_string(algorithm_));
    lines.push_back("Optimized for detector\n");
    lines.push_back("     Chip type:                 " + std::string(detector.chipType));
    lines.push_back("     Sensor material:           " + std::string(detector.sensMat));
    lines.push_back("     Sensor thickness:          " + formatG(detector.sensThick) + " um\n");
    lines.push_back("     Sensor bias:               " + formatG(detector.sensBias) + " V\n");
    lines.push_back("Classes:\n");
    for (size_t k = 0; k < classes_.size(); ++k)
        lines.push_back("     " + std::to_string(k + 1) + ") " + classes_[k].description);
    lines.push_back("     " + std::to_string(classes_.size() + 1) + ") Others\n");
    if (network_) {
        const std::vector<std::string> networkLines = network_->reportLines();
        lines.insert(lines.end(), networkLines.begin(), networkLines.end());
    }
    return lines;
}

void PidModule::report(const MessageTarget& to) const {
    const std::vector<std::string> lines = reportLines();
    printReportSection("PARTICLE CLASSIFICATION", lines, to);
}

void PidModule::error(std::string_view text) const { printError(to_, std::string(kPrefix) + std::string(text)); }

void PidModule::errorCode(std::string_view text, int code) const {
    printErrorCode(to_, std::string(kPrefix) + std::string(text), code);
}

void PidModule::errorLeadingCode(int code, std::string_view text) const {
    error(std::to_string(code) + std::string(text));
    std::cerr << code << ';';
    std::cerr.flush();
}

}  // namespace zel
