#include "ClustererRun.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "ClogReader.h"
#include "FrameFileReader.h"
#include "HeldClusters.h"
#include "T3paReader.h"
#include "TimeClusterer.h"
#include "common/NumberText.h"
#include "common/Text.h"

namespace zel::clusterer {
namespace {

constexpr size_t kPixelsPerRead = 1 << 14;

std::string fileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Frame files tell their mode by name; only energy (ToT) frames are calibrated.
bool framesHoldToT(const std::string& path) {
    std::string name = fileNameOf(path);
    return contains(name, "ToT") || (!contains(name, "ToA") && !contains(name, "Event"));
}

}  // namespace

ClustererRun::ClustererRun(const ClustererOptions& options, Reporter& reporter)
    : options_(options), reporter_(reporter), frameClusterer_(options.width, options.height) {}

bool ClustererRun::prepare() {
    if (!options_.calibrationDir.empty()) {
        std::string error;
        if (!calibration_.load(options_.calibrationDir, options_.width, options_.height, error)) {
            reporter_.error(error);
            return false;
        }
        calibrate_ = true;
    }
    output_ = std::make_unique<ClusterOutput>(options_, statistics_);
    std::string error;
    if (!output_->open(error)) {
        reporter_.error(error);
        return false;
    }
    if (options_.elistBase.empty() && options_.clusterListBase.empty() && options_.clogPath.empty()) {
        reporter_.warning("No output requested (--korelist, --clust-feat-list, -l): clusters are only counted.");
    }
    return true;
}

int ClustererRun::run() {
    auto started = std::chrono::steady_clock::now();
    frameNumber_ = options_.frameStartNum;
    reporter_.debug("Matrix " + std::to_string(options_.width) + " x " + std::to_string(options_.height) +
                    ", time window " + formatG(options_.toaWindow) + " ns, sort margin " +
                    formatG(options_.toaSortMargin) + " ns, coincidence time " + formatG(options_.coincToaDiff) +
                    " ns, thickness " + formatG(options_.thickness) + " um, length formula " +
                    std::to_string(options_.lengthCorrFormula) + ", frames from " +
                    std::to_string(options_.frameStartNum + 1) +
                    (options_.calibrationDir.empty() ? ", no calibration" : ", calibration " + options_.calibrationDir));
    bool ok = prepare();
    for (size_t i = 0; ok && i < options_.inputs.size(); ++i) {
        RunStatistics before = statistics_;
        ok = processInput(options_.inputs[i]);
        reporter_.debug(options_.inputs[i] + ": " + std::to_string(statistics_.pixelsRead - before.pixelsRead) +
                        " pixels, " + std::to_string(statistics_.framesRead - before.framesRead) + " frames, " +
                        std::to_string(statistics_.clustersWritten - before.clustersWritten) + " clusters written");
    }
    if (output_) {
        std::string error;
        if (!output_->close(error)) {
            reporter_.error(error);
            ok = false;
        }
    }
    statistics_.nextFrameNumber = frameNumber_;
    statistics_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!options_.statFile.empty() && !writeStatFile(options_.statFile, statistics_)) {
        reporter_.error("Can not write the statistics file: " + options_.statFile);
        ok = false;
    }
    if (statistics_.clustersOutOfOrder > 0) {
        reporter_.warning(std::to_string(statistics_.clustersOutOfOrder) +
                          " clusters were written with a time before that of an earlier cluster.");
    }
    if (statistics_.pixelsNonRealRoot > 0) {
        reporter_.warning(std::to_string(statistics_.pixelsNonRealRoot) +
                          " pixels had no real calibration root and were given 0 keV.");
    }
    return ok ? 0 : 1;
}

bool ClustererRun::processInput(const std::string& path) {
    InputKind kind = detectInputKind(path);
    reporter_.debug("Input " + path + ": " + inputKindName(kind));
    ++statistics_.inputs;
    if (output_) output_->beginInput();
    switch (kind) {
        case InputKind::T3pa: return processT3pa(path);
        case InputKind::Clog: return processClog(path);
        case InputKind::FrameMatrix: return processFrameFile(path);
        case InputKind::FrameDirectory: return processFrameDirectory(path);
        case InputKind::Missing: reporter_.error("Input file not found: " + path); return false;
        case InputKind::Unreadable: reporter_.error("Can not open input file: " + path); return false;
        case InputKind::Empty: reporter_.error("Input file is empty: " + path); return false;
        case InputKind::LineTooLong:
            reporter_.error("Input refused: line 1 of " + path + " is longer than " +
                            std::to_string(LineSource::kMaxLineLength) + " characters.");
            return false;
        case InputKind::Unsupported:
            reporter_.error("Raw data of the kind " + std::filesystem::path(path).extension().string() +
                            " is not supported by this clusterer: " + path);
            return false;
        case InputKind::Unknown: break;
    }
    reporter_.error("Input of an unknown format: " + path);
    return false;
}

FrameContext ClustererRun::nextFrame(const FrameInfo& read, bool pixelTimes, bool writeFourth) {
    FrameContext frame;
    frame.info = read;
    frame.info.number = ++frameNumber_;
    // Frames without a start time of their own are placed one acquisition time (or one second) apart.
    if (!read.hasStartTime) {
        double step = read.acqSeconds > 0.0 ? read.acqSeconds : 1.0;
        frame.info.startSeconds = static_cast<double>(frame.info.number - 1) * step;
        frame.info.hasStartTime = true;
    }
    frame.startNs = frame.info.startSeconds * 1e9;
    frame.pixelTimes = pixelTimes;
    frame.writeFourth = writeFourth;
    ++statistics_.framesRead;
    return frame;
}

void ClustererRun::warnMeasModeUnused(const std::string& path) {
    if (!options_.measMode.empty()) {
        reporter_.warning("--measmode \"" + options_.measMode + "\" applies to cluster logs only; not applied to " + path);
    }
}

void ClustererRun::noteEventsWithoutTimes() {
    if (eventsNoteGiven_) return;
    eventsNoteGiven_ = true;
    reporter_.note("Frame data without times of arrival: --el-coinctoadiff can not group clusters; each cluster is "
                   "an event of its own.");
}

bool ClustererRun::frameOverOccupancy(size_t pixelCount) const {
    if (options_.frameOccupancyLimit <= 0.0) return false;
    double cells = static_cast<double>(options_.width) * static_cast<double>(options_.height);
    return static_cast<double>(pixelCount) * 100.0 / cells > options_.frameOccupancyLimit;
}

void ClustererRun::calibrate(std::span<Pixel> pixels) {
    if (!calibrate_) return;
    for (Pixel& p : pixels) {
        bool nonReal = false;
        p.value = calibration_.energy(p.x, p.y, p.value, nonReal);
        statistics_.pixelsNonRealRoot += nonReal ? 1 : 0;
    }
}

void ClustererRun::calibrateCounted(std::span<Pixel> pixels) {
    if (!calibrate_) return;
    for (Pixel& p : pixels) {
        bool nonReal = false;
        double hits = p.time > 1.0 ? p.time : 1.0;
        p.value = hits * calibration_.energy(p.x, p.y, p.value / hits, nonReal);
        statistics_.pixelsNonRealRoot += nonReal ? 1 : 0;
    }
}

bool ClustererRun::processT3pa(const std::string& path) {
    T3paReader reader(options_.width, options_.height);
    std::string error;
    if (!reader.open(path, error)) {
        reporter_.error(error);
        return false;
    }
    if (options_.frameOccupancyLimit > 0.0) {
        reporter_.warning("--frame-occupancy-limit applies to frame data only; not applied to " + path);
    }
    warnMeasModeUnused(path);
    FrameContext frame = nextFrame(FrameInfo{0, 0.0, 0.0, true}, true, true);
    output_->beginFrame(frame);
    TimeClusterer clusterer(options_.width, options_.height, options_.toaWindow, options_.toaSortMargin,
                            [this, &frame](std::span<const Pixel> cluster) { output_->write(cluster, frame); });
    std::vector<Pixel>& intake = clusterer.intake();
    for (size_t before = intake.size(); reader.readPixels(intake, kPixelsPerRead); before = intake.size()) {
        std::span<Pixel> fresh(intake.data() + before, intake.size() - before);
        statistics_.pixelsRead += static_cast<long long>(fresh.size());
        calibrate(fresh);
        clusterer.acceptIntake(before);
    }
    clusterer.finish();
    if (std::string failure = reader.failure(); !failure.empty()) {
        reporter_.error(failure);
        return false;
    }
    statistics_.pixelsOutOfOrder += clusterer.latePixels();
    statistics_.peakHeldPixels = std::max(statistics_.peakHeldPixels, static_cast<long long>(clusterer.peakHeldPixels()));
    statistics_.pixelsSkippedInput += reader.badLines();
    if (reader.badLines() > 0) {
        reporter_.warning(std::to_string(reader.badLines()) + " lines of " + path +
                          " are no valid pixels and were skipped (first at line " +
                          std::to_string(reader.firstBadLine()) + ").");
    }
    if (clusterer.latePixels() > 0) {
        reporter_.warning(std::to_string(clusterer.latePixels()) + " pixels of " + path +
                          " arrived later than the sort margin (--toa-sort-margin) allows.");
    }
    return true;
}

bool ClustererRun::processClog(const std::string& path) {
    ClogReader reader(options_.width, options_.height);
    std::string error;
    if (!reader.open(path, error)) {
        reporter_.error(error);
        return false;
    }
    FourthValue fourth = ClogReader::inspectFourthValue(path);
    bool counted = options_.measMode == "itot+count" && fourth != FourthValue::Absent;
    if (options_.measMode == "itot+count" && fourth == FourthValue::Absent) {
        reporter_.warning("--measmode \"itot+count\" not applied: the pixels of " + path + " hold three values.");
    }
    if (options_.measMode.empty() && fourth == FourthValue::Integer) {
        counted = true;
        reporter_.note("The fourth pixel values of " + path +
                       " are whole numbers: taken as hit counts (iToT and count), not as times.");
    }
    const bool pixelTimes = fourth == FourthValue::TimeOfArrival && !counted;
    const bool writeFourth = fourth != FourthValue::Absent;
    if (!pixelTimes) noteEventsWithoutTimes();

    // A frame's clusters are held until the frame ends: for the occupancy check, or, with times of arrival, to write
    // them in time order. Logs with times of arrival are data-driven (a whole Timepix3 run may be one frame): no
    // occupancy applies, and beyond one matrix of pixels the earlier half of what is held goes out.
    if (pixelTimes && options_.frameOccupancyLimit > 0.0) {
        reporter_.warning("--frame-occupancy-limit applies to frame data only; not applied to " + path);
    }
    const size_t holdLimit = static_cast<size_t>(options_.width) * static_cast<size_t>(options_.height);
    HeldClusters held;
    FrameContext frame;
    bool inFrame = false;
    auto write = [this, &frame](std::span<const Pixel> cluster) { output_->write(cluster, frame); };
    auto flushFrame = [&]() {
        if (!inFrame) return;
        if (!pixelTimes && frameOverOccupancy(held.pixelCount())) {
            ++statistics_.framesSkippedOccupancy;
            held.clear();
            return;
        }
        held.releaseAll(pixelTimes, write);
    };

    FrameInfo read;
    while (true) {
        ClogItem item = reader.next(read, pixels_);
        if (item == ClogItem::End) break;
        if (item == ClogItem::Frame || !inFrame) {
            flushFrame();
            // Clusters before the first frame line form a frame of their own.
            frame = nextFrame(item == ClogItem::Frame ? read : FrameInfo{}, pixelTimes, writeFourth);
            output_->beginFrame(frame);
            inFrame = true;
            if (item == ClogItem::Frame) continue;
        }
        statistics_.pixelsRead += static_cast<long long>(pixels_.size());
        if (counted) calibrateCounted(pixels_);
        else calibrate(pixels_);
        double earliest = pixels_.front().time;
        for (Pixel& p : pixels_) {
            earliest = std::min(earliest, p.time);
            if (!pixelTimes && !counted) p.time = 0.0;
        }
        held.add(pixels_, pixelTimes ? earliest : 0.0);
        if (pixelTimes && held.pixelCount() > holdLimit) held.releaseEarlierHalf(write);
    }
    flushFrame();
    if (std::string failure = reader.failure(); !failure.empty()) {
        reporter_.error(failure);
        return false;
    }
    statistics_.pixelsSkippedInput += reader.badPixels();
    if (reader.badPixels() > 0) {
        reporter_.warning(std::to_string(reader.badPixels()) + " pixel groups of " + path +
                          " are malformed or outside the matrix and were skipped (first at line " +
                          std::to_string(reader.firstBadLine()) + ").");
    }
    if (reader.maxValuesPerPixel() > 4) {
        reporter_.warning("Pixel groups of " + path + " hold more than four values; the values after the fourth "
                          "are not used.");
    }
    return true;
}

void ClustererRun::finishFrame(const FrameContext& frame, std::vector<Pixel>& pixels) {
    output_->beginFrame(frame);
    statistics_.pixelsRead += static_cast<long long>(pixels.size());
    if (frameOverOccupancy(pixels.size())) {
        ++statistics_.framesSkippedOccupancy;
        return;
    }
    calibrate(pixels);
    frameClusterer_.cluster(pixels);
    for (size_t k = 0; k < frameClusterer_.clusterCount(); ++k) output_->write(frameClusterer_.clusterPixels(k), frame);
}

bool ClustererRun::processFrameFile(const std::string& path) {
    FrameFileReader reader(options_.width, options_.height);
    std::string error;
    if (!reader.open(path, error)) {
        reporter_.error(error);
        return false;
    }
    warnMeasModeUnused(path);
    noteEventsWithoutTimes();
    bool wasCalibrating = calibrate_;
    if (calibrate_ && !framesHoldToT(path)) {
        reporter_.warning("Calibration not applied to " + path + ": its name marks ToA or counting frames.");
        calibrate_ = false;
    }
    FrameInfo read;
    FrameFileReader::Result result;
    while ((result = reader.next(pixels_, read, error)) == FrameFileReader::Result::Frame) {
        FrameContext frame = nextFrame(read, false, false);
        finishFrame(frame, pixels_);
    }
    calibrate_ = wasCalibrating;
    if (result == FrameFileReader::Result::Error) {
        reporter_.error(error);
        return false;
    }
    return true;
}

bool ClustererRun::processFrameDirectory(const std::string& path) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code code;
    for (const auto& entry : fs::directory_iterator(path, code)) {
        if (!entry.is_regular_file(code)) continue;
        std::string extension = entry.path().extension().string();
        if (extension == ".txt" || extension == ".pmf") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        reporter_.error("No frame files (.txt, .pmf) in the input directory: " + path);
        return false;
    }
    for (const std::string& file : files) {
        if (detectInputKind(file) != InputKind::FrameMatrix) {
            reporter_.warning("Not a frame file, skipped: " + file);
            continue;
        }
        if (!processFrameFile(file)) return false;
    }
    return true;
}

}  // namespace zel::clusterer
