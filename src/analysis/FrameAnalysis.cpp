#include "analysis/FrameAnalysis.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

#include "cluster/ClusterVariables.h"
#include "cluster/Products.h"
#include "common/NumberText.h"
#include "common/Paths.h"
#include "engine/InputDiscovery.h"
#include "engine/Settings.h"
#include "export/FrameList.h"
#include "export/Pictures.h"

namespace zel {
namespace {

double valueAt(std::span<const double> row, int column, double fallback) {
    return column >= 0 && static_cast<size_t>(column) < row.size() ? row[static_cast<size_t>(column)] : fallback;
}

// A Flags value names a frame only when it is a whole number that fits an int.
bool frameNumberOf(double value, int& frame) {
    if (!std::isfinite(value) || value != std::trunc(value) || std::fabs(value) > std::numeric_limits<int>::max())
        return false;
    frame = static_cast<int>(value);
    return true;
}

// The numbers of a text: runs of digits and ".-+eE" that read as a number whole (the "e" of "Frame" does not).
std::vector<double> numbersOf(const std::string& text) {
    std::vector<double> numbers;
    auto isNumberChar = [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    };
    size_t i = 0;
    while (i < text.size()) {
        if (!isNumberChar(text[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && isNumberChar(text[end])) ++end;
        const std::string run = text.substr(i, end - i);
        char* stop = nullptr;
        const double value = std::strtod(run.c_str(), &stop);
        if (stop == run.c_str() + run.size() && std::any_of(run.begin(), run.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
            }))
            numbers.push_back(value);
        i = end;
    }
    return numbers;
}

FrameAnalysis::Statistic statisticOf(const std::vector<double>& values) {
    FrameAnalysis::Statistic s;
    if (values.empty()) return s;
    double sum = 0.0;
    double sumSquares = 0.0;
    s.minimum = s.maximum = values.front();
    for (double v : values) {
        sum += v;
        sumSquares += v * v;
        s.minimum = std::min(s.minimum, v);
        s.maximum = std::max(s.maximum, v);
    }
    const double n = static_cast<double>(values.size());
    s.mean = sum / n;
    s.std = n < 2 ? 0.0 : std::sqrt(std::max(0.0, (sumSquares - s.mean * s.mean * n) / (n - 1)));
    return s;
}

}  // namespace

int FrameAnalysis::init(const ModuleContext& context) {
    const Settings& s = context.settings;
    Options options;
    options.ignoreSensEdge = s.DoIgnoreClusterSensEdge;
    options.timeFrameAcq = s.TimeFrameAcq;
    options.matrixPixels = static_cast<double>(s.SensWidth) * s.SensHeight;
    options.doExportText = s.DoExportText;
    options.doExportGraphics = s.DoExportGraphics;
    options.doWeb = s.DoWeb;
    options.directory = s.FileOutPath + s.ExportDirFrame;
    options.listName = s.FrameListName;
    options.listJsonName = s.FrameListJsonName;

    const ClusterVariables& v = context.variables;
    Columns columns;
    columns.flags = v.index(Var::Flags);
    columns.size = v.index(Var::Size);
    columns.energy = v.index(Var::E);
    columns.sensEdge = v.index(Var::IsSensEdge);
    columns.filterPass = v.index(Var::FilterPass);
    init(options, columns, context.messages);
    products_ = &context.products;
    run_ = &context.run;

    if (columns.flags < 0) {
        printWarning(context.messages, std::string(kName) +
                                           " : The cluster list has no Flags column, so the frames of the clusters "
                                           "are unknown. Frame analysis will not be used in processing.");
        return kNotUsed;
    }

    // The frame lines of input cluster logs give the frame timing.
    const InputSet& in = context.inputs;
    if (in.kind == InputKind::ClusterLog) {
        for (int i = 0; i < in.count && static_cast<size_t>(i) < in.names.size(); ++i)
            timingLogs_.push_back(s.FileInPath + in.names[static_cast<size_t>(i)]);
    }
    timingLoaded_ = timingLogs_.empty();
    return 0;
}

void FrameAnalysis::init(const Options& options, const Columns& columns, const MessageTarget& to) {
    options_ = options;
    columns_ = columns;
    messages_ = to;
    resetFrames();
}

void FrameAnalysis::resetFrames() {
    currentFrame_ = 1;
    frameCount_ = 1;
    nonEmptyFrames_ = 1;
    emptyFrames_ = 0;
    for (auto& values : lists_) values.assign(1, 0.0);
    startTimes_.assign(1, 0.0);
    statistics_.fill(Statistic{});
    timeAcq_ = options_.timeFrameAcq;
    deadTimeMean_ = deadTimeStd_ = 0.0;
    acquisitionTimeSum_ = 0.0;
    framesWithTiming_ = 0;
    framesPerSecond_ = 0.0;
    timeUnit_ = "s+1";
    warnedBackwards_ = false;
}

int FrameAnalysis::processBatch(ClusterBatch& batch) {
    loadTimingOnce();
    if (run_ != nullptr) filterActive_ = run_->filterActive;
    if (batch.empty()) return kBatchFailed;
    size_t notFrames = 0;
    double firstNotFrame = 0.0;
    for (size_t r = 0; r < batch.size(); ++r) {
        const std::span<const double> row = batch.row(r);
        if (options_.ignoreSensEdge && valueAt(row, columns_.sensEdge, 0.0) != 0.0) continue;
        if (filterActive_ && valueAt(row, columns_.filterPass, 1.0) == 0.0) continue;
        int frame = 0;
        const double flags = valueAt(row, columns_.flags, std::nan(""));
        if (!frameNumberOf(flags, frame)) {
            if (notFrames++ == 0) firstNotFrame = flags;
            continue;
        }
        countCluster(frame, valueAt(row, columns_.size, 0.0), valueAt(row, columns_.energy, 0.0));
    }
    if (notFrames > 0) {
        printWarning(messages_, std::string(kName) + " : " + std::to_string(notFrames) +
                                    " clusters of the batch carry a Flags value that is no frame number (the first: " +
                                    formatG(firstNotFrame) + "); they are left out of the frames.");
    }
    return 0;
}

void FrameAnalysis::countCluster(int frame, double size, double energy) {
    auto& particles = lists_[kCountParticle];
    auto& hits = lists_[kCountPixHit];
    auto& energies = lists_[kEnergy];
    if (frame == currentFrame_) {
        particles.back() += 1.0;
        hits.back() += size;
        energies.back() += energy;
        return;
    }
    // A new frame: the one that ends may hold the highest occupancy (the earliest of equal frames wins).
    if (hits.back() > maxOccupancyHits_) {
        maxOccupancyFrame_ = currentFrame_;
        maxOccupancyHits_ = static_cast<int>(hits.back());
    }
    if (frame < currentFrame_ && !warnedBackwards_) {
        printWarning(messages_, std::string(kName) + " : Frame numbers go backwards (frame " + std::to_string(frame) +
                                    " after frame " + std::to_string(currentFrame_) +
                                    "); each such frame is counted as a new frame after the others.");
        warnedBackwards_ = true;
    }
    ++frameCount_;
    ++nonEmptyFrames_;
    while (frame > frameCount_) {
        for (size_t k = kCountParticle; k <= kEnergy; ++k) lists_[k].push_back(0.0);
        ++frameCount_;
        ++emptyFrames_;
    }
    particles.push_back(1.0);
    hits.push_back(size);
    energies.push_back(energy);
    currentFrame_ = frame;
}

// Pushed batches are evaluated at once, so that a host reads current frame products; a file run evaluates once
// its input has ended.
void FrameAnalysis::endBatch() {
    if (run_ != nullptr && !run_->fileRun) evaluate(factorsFromProducts());
}

int FrameAnalysis::finishInput() {
    evaluate(factorsFromProducts());
    if (run_ != nullptr) {
        run_->frameCount = frameCount_;
        run_->maxOccupancyFrame = maxOccupancyFrame_;
        run_->frameTimeAcq = timeAcq_;
        run_->frameTimeUnit = timeUnit_;
    }
    return 0;
}

FrameAnalysis::Factors FrameAnalysis::factorsFromProducts() const {
    Factors f = factors_;
    if (products_ == nullptr) return f;
    f.dose = products_->doseFactor();
    f.doseRate = products_->doseRateFactor();
    f.flux = products_->fluxFactor();
    f.sensorArea = products_->sensorArea();
    f.doseUnit = products_->doseUnit();
    f.doseRateUnit = products_->doseRateUnit();
    return f;
}

void FrameAnalysis::evaluate(const Factors& factors) {
    factors_ = factors;
    const size_t frames = lists_[kCountParticle].size();
    const double acq = timeAcq_;
    const double first = acq > 0 ? acq : 1.0;
    const double step = acq > 0 ? acq + deadTimeMean_ : 1.0;
    const double period = acq + deadTimeMean_;
    framesPerSecond_ = period > 0 ? 1.0 / period : -1.0;

    startTimes_.resize(frames);
    for (size_t k = kOccupancy; k < kListCount; ++k) lists_[k].resize(frames);
    for (size_t k = 0; k < frames; ++k) {
        const double count = lists_[kCountParticle][k];
        const double hits = lists_[kCountPixHit][k];
        const double energy = lists_[kEnergy][k];
        const double countRate = acq > 0 ? count / acq : 0.0;
        startTimes_[k] = first + static_cast<double>(k) * step;
        lists_[kOccupancy][k] = options_.matrixPixels > 0 ? hits * 100.0 / options_.matrixPixels : 0.0;
        lists_[kEnergyPerPixel][k] = hits > 0 ? energy / hits : 0.0;
        lists_[kDose][k] = factors.dose > 0 ? factors.dose * energy : 0.0;
        lists_[kDoseRate][k] = factors.doseRate > 0 && acq != 0 ? factors.doseRate * energy / acq : 0.0;
        lists_[kCountRate][k] = countRate;
        lists_[kFluence][k] = factors.sensorArea > 0 ? count / factors.sensorArea : 0.0;
        lists_[kFlux][k] = factors.flux > 0 ? factors.flux * countRate : 0.0;
    }
    for (size_t k = 0; k < kListCount; ++k) statistics_[k] = statisticOf(lists_[k]);
}

void FrameAnalysis::loadTimingOnce() {
    if (timingLoaded_) return;
    timingLoaded_ = true;
    for (const std::string& log : timingLogs_) readFrameTiming(log);
}

int FrameAnalysis::readFrameTiming(const std::string& fileName) {
    std::ifstream in(fileName);
    if (!in) {
        printErrorCode(messages_, "Can not load acq time of frames from input clog.", kTimingUnusable);
        return 1;
    }
    return readFrameTiming(in);
}

bool FrameAnalysis::parseFrameLine(const std::string& line, double& start, double& acq, std::string& unit) const {
    const std::vector<double> numbers = numbersOf(line);
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;) words.push_back(word);
    if (numbers.size() < 3 || words.size() < 5) return false;
    start = numbers[1];
    acq = numbers[2];
    // The unit field closes the bracket of the frame line: "s)" is the unit "s".
    unit.clear();
    for (char c : words[4])
        if (std::isalpha(static_cast<unsigned char>(c))) unit += c;
    return true;
}

int FrameAnalysis::readFrameTiming(std::istream& log) {
    int unusable = 0;
    double count = 0.0;
    double sum = 0.0;
    double sumSquares = 0.0;
    bool havePrevious = false;
    double previousStart = 0.0;
    for (std::string line; std::getline(log, line);) {
        if (line.empty() || line.front() != 'F') continue;
        double start = 0.0;
        double acq = 0.0;
        std::string unit;
        if (!parseFrameLine(line, start, acq, unit)) {
            printErrorCode(messages_, "Can not load acq time of frames from input clog.", kTimingUnusable);
            ++unusable;
            continue;
        }
        if (havePrevious) {
            const double dead = start - previousStart - acq;
            count += 1.0;
            sum += dead;
            sumSquares += dead * dead;
        }
        havePrevious = true;
        previousStart = start;
        timeAcq_ = acq;
        acquisitionTimeSum_ += acq;
        ++framesWithTiming_;
        if (!unit.empty()) timeUnit_ = unit + "+1";
    }
    if (count > 0) {
        deadTimeMean_ = sum / count;
        deadTimeStd_ = count < 2 ? 0.0
                                 : std::sqrt(std::max(0.0, (sumSquares - deadTimeMean_ * deadTimeMean_ * count) /
                                                                   (count - 1)));
    }
    return unusable;
}

int FrameAnalysis::exportResults(const MessageTarget& to) {
    if (!options_.doExportText && !options_.doExportGraphics) return 0;
    evaluate(factorsFromProducts());
    if (!makeDirectories(options_.directory)) return kExportFailed;
    int failed = 0;
    if (options_.doExportText && writeFrameList(*this, to) != 0) failed = kExportFailed;
    if (writeFrameGraphs(*this) != 0) failed = kExportFailed;
    if (options_.doExportGraphics && run_ != nullptr && run_->pictures != nullptr)
        addFramePictures(*this, *run_->pictures);
    return failed;
}

}  // namespace zel
