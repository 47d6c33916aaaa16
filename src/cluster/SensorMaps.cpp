#include "cluster/SensorMaps.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <set>

#include "cluster/ClusterVariables.h"
#include "cluster/Products.h"
#include "common/BoundedLine.h"
#include "common/NumberText.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "engine/ExternalClusterer.h"
#include "engine/InputDiscovery.h"
#include "engine/Settings.h"
#include "export/Pictures.h"

namespace zel {
namespace {

constexpr int kMaxMismatchMessages = 10;

double valueAt(std::span<const double> row, int column, double fallback) {
    return column >= 0 && static_cast<size_t>(column) < row.size() ? row[static_cast<size_t>(column)] : fallback;
}

bool isNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'; }

// The frame number of a frame line ("Frame 12 (...)"), or -1.
int frameNumberOf(const std::string& line) {
    size_t at = line.find_first_of("0123456789");
    if (at == std::string::npos) return -1;
    int frame = -1;
    const auto [end, ec] = std::from_chars(line.data() + at, line.data() + line.size(), frame);
    return ec == std::errc() ? frame : -1;
}

}  // namespace

int SensorMaps::init(const ModuleContext& context) {
    const Settings& s = context.settings;
    settings_ = &s;
    run_ = &context.run;
    inputs_ = &context.inputs;
    products_ = &context.products;
    messages_ = context.messages;
    edgeColumn_ = context.variables.index(Var::IsSensEdge);
    filterColumn_ = context.variables.index(Var::FilterPass);
    classColumn_ = context.variables.index(Var::PIDClass);
    sizeColumn_ = context.variables.index(Var::Size);

    if (s.SensWidth < 1 || s.SensHeight < 1 || uint64_t(s.SensWidth) * uint64_t(s.SensHeight) > Hist::kMaxBins) {
        printError(messages_, "Sensor maps can not be made for a matrix of " + std::to_string(s.SensWidth) + " x " +
                                  std::to_string(s.SensHeight) + " pixels.");
        return kNotUsed;
    }
    width_ = s.SensWidth;
    height_ = s.SensHeight;
    valueIndex_ = s.SensMatrixVarIndex;
    if (valueIndex_ < 0) {
        printWarning(messages_, "SensMatrixVarIndex below 0: the pixel value (index 2) is taken.");
        valueIndex_ = 2;
    }
    countOnly_ = s.DoSensMatrixCount;
    mapClusterLimit_ = s.ClusterCountInSensImage;
    imageCount_ = s.ClusterImageCount;
    if (countOnly_) {
        quantity_ = "Count";
        unit_ = "[-]";
    } else if (!s.IsEnergyCalibrated && s.CalMat.empty()) {
        quantity_ = "ToT";
        unit_ = "[-]";
    } else {
        quantity_ = s.SensMatrixVarName;
        unit_ = s.SensMatrixVarUnitName;
    }
    createMaps();
    return 0;
}

Hist2D SensorMaps::makeMap(const std::string& name, const std::string& title) const {
    Hist2D map(title, width_, 0.0, double(width_), height_, 0.0, double(height_), 0, messages_);
    map.SetName(name);
    map.SetAxisTitles({"X [px]", "Y [px]", quantity_ + " " + unit_});
    map.SetBinFilling(Filling::Dense);
    return map;
}

void SensorMaps::createMaps() {
    const std::string base = "SensMatrix";
    integrated_ = std::make_unique<Hist2D>(makeMap(base + "Integrated", "Integrated " + quantity_ + " plot of sensor"));
    partial_ = std::make_unique<Hist2D>(makeMap(base + "Partial", quantity_ + " plot of sensor"));
    classMaps_.clear();
    const auto& failed = run_->failedModules;
    if (std::find(failed.begin(), failed.end(), "PID") != failed.end())
        printErrorCode(messages_, "PID init has not been done therefore sens matrices for PID classes can not be initialized.",
                       kNoPidInit);
    if (run_->pidActive) {
        const int classes = run_->classCount();
        for (int c = 0; c <= classes; ++c) {
            const std::string suffix = c == classes ? std::string("Others") : std::to_string(c);
            classMaps_.push_back(makeMap(base + "_Class" + suffix, quantity_ + " plot of sensor"));
        }
    }
    classMapCounts_.assign(classMaps_.size(), 0);
}

bool SensorMaps::pairsWithLog() const {
    // Only a file run whose inputs went through the clusterer has a cluster log to pair its clusters with.
    return run_->fileRun && inputs_->rawToCluster && settings_->DoCreateClog;
}

void SensorMaps::noteCluster(uint8_t tag, uint32_t size) {
    tags_.push_back(tag);
    sizes_.push_back(size);
}

int SensorMaps::processBatch(ClusterBatch& batch) {
    if (!pairsWithLog()) return 0;
    const bool ignoreEdge = settings_->DoIgnoreClusterSensEdge;
    const bool filterOn = run_->filterActive && settings_->DoFilter;
    for (size_t r = 0; r < batch.size(); ++r) {
        std::span<const double> row = batch.row(r);
        const bool onEdge = !(valueAt(row, edgeColumn_, 0.0) == 0.0);
        const bool filteredOut = filterOn && valueAt(row, filterColumn_, 1.0) == 0.0;
        uint8_t tag = 0;
        if ((ignoreEdge && onEdge) || filteredOut) {
            tag = kSkipped;
        } else if (run_->pidActive) {
            const int c = products_->classOf(valueAt(row, classColumn_, -1.0));
            tag = static_cast<uint8_t>(std::clamp(c, 0, 253) + 1);
        }
        const double size = valueAt(row, sizeColumn_, 0.0);
        noteCluster(tag, size >= 0 && size < 4e9 ? static_cast<uint32_t>(size) : UINT32_MAX);
    }
    return 0;
}

void SensorMaps::chooseImages() {
    size_t kept = 0;
    uint32_t largest = 0;
    for (size_t i = 0; i < tags_.size(); ++i) {
        if (tags_[i] == kSkipped) continue;
        ++kept;
        if (largestIndex_ == SIZE_MAX || sizes_[i] > largest) {
            largest = sizes_[i];
            largestIndex_ = i;
        }
    }
    imageStep_ = imageCount_ > 0 ? kept / static_cast<size_t>(imageCount_) + 1 : 0;
    maxOccupancyFrame_ = run_->maxOccupancyFrame;
    spreadFrames_.clear();
    const int step = run_->frameCount / kSpreadFrameImages + 1;
    for (int i = 0; i < kSpreadFrameImages; ++i) spreadFrames_.push_back(i * step);

    groupImages_.clear();
    groupMembers_.clear();
    nextMember_ = 0;
    for (const RunState::GroupPicture& picture : run_->groupPictures) {
        const auto image = static_cast<uint32_t>(groupImages_.size());
        groupImages_.push_back(makeMap(picture.name, picture.title));
        for (uint32_t cluster : picture.clusters) groupMembers_.emplace_back(cluster, image);
    }
    std::sort(groupMembers_.begin(), groupMembers_.end());
}

void SensorMaps::addToGroupImages(const std::vector<Pixel>& pixels, size_t index) {
    while (nextMember_ < groupMembers_.size() && groupMembers_[nextMember_].first < index) ++nextMember_;
    for (size_t m = nextMember_; m < groupMembers_.size() && groupMembers_[m].first == index; ++m)
        for (const Pixel& p : pixels)
            groupImages_[groupMembers_[m].second].Fill(p.x + 1, p.y + 1, countOnly_ ? 1.0 : p.value);
}

int SensorMaps::finishInput() {
    if (filled_ || !pairsWithLog()) return 0;
    filled_ = true;
    if (tags_.empty()) printWarning(messages_, "Cluster list is empty for clusters and sensor plots.");
    const std::string directory = clustererOutputDir(*settings_);
    std::set<std::string> done;
    size_t lines = 0;
    for (const std::string& name : inputs_->producedClogs) {
        if (!done.insert(name).second) continue;
        std::ifstream log(directory + name, std::ios::binary);
        if (!log.is_open()) {
            printError(messages_, "Can not open file with clog for clusters and sensor plots: " + directory + name);
            continue;
        }
        lines += fillFromLog(log, lines);
    }
    if (lines != tags_.size() && !done.empty())
        printErrorCode(messages_,
                       "The cluster log holds " + std::to_string(lines) + " clusters, the run processed " +
                           std::to_string(tags_.size()) + ": the sensor maps pair them in order as far as both go.",
                       kLogMismatch);
    return 0;
}

bool SensorMaps::parseClusterLine(const std::string& line, std::vector<Pixel>& pixels) const {
    pixels.clear();
    size_t at = 0;
    while ((at = line.find('[', at)) != std::string::npos) {
        size_t close = line.find(']', at + 1);
        if (close == std::string::npos) close = line.size();
        double tuple[8];
        size_t count = 0;
        size_t i = at + 1;
        while (i < close && count < 8) {
            while (i < close && !isNumberChar(line[i])) ++i;
            const size_t start = i;
            while (i < close && isNumberChar(line[i])) ++i;
            double value = 0;
            if (i > start && parseLeadingDouble(std::string_view(line).substr(start, i - start), value))
                tuple[count++] = value;
        }
        at = close;
        if (count < 3 || !std::isfinite(tuple[0]) || !std::isfinite(tuple[1])) continue;
        const double value = static_cast<size_t>(valueIndex_) < count ? tuple[valueIndex_] : 0.0;
        pixels.push_back({tuple[0], tuple[1], value});
    }
    return !pixels.empty();
}

size_t SensorMaps::fillFromLog(std::istream& log, size_t first) {
    if (!imagesChosen_) chooseImages();
    imagesChosen_ = true;
    std::string line;
    std::vector<Pixel> pixels;
    int frame = -1;
    size_t index = first;
    while (readBoundedLine(log, line, kMaxInputLineLength) == LineRead::Line) {
        if (!line.empty() && line.front() == 'F') {
            frame = frameNumberOf(line);
            continue;
        }
        if (!parseClusterLine(line, pixels)) continue;
        if (index < tags_.size()) fillCluster(pixels, index, tags_[index], frame);
        ++index;
    }
    // Titles that say how many clusters went into the partial and class maps.
    partial_->SetTitle(quantity_ + " plot of sensor with " + std::to_string(partialCount_) + " clusters");
    for (size_t c = 0; c < classMaps_.size(); ++c)
        classMaps_[c].SetTitle(quantity_ + " plot of sensor with " + std::to_string(classMapCounts_[c]) + " clusters");
    for (FrameImage& image : frameImages_) image.analyse();
    return index - first;
}

void SensorMaps::fillCluster(const std::vector<Pixel>& pixels, size_t index, uint8_t tag, int frame) {
    addToGroupImages(pixels, index);
    if (tag == kSkipped) return;
    if (sizes_[index] != pixels.size() && ++mismatches_ <= kMaxMismatchMessages)
        printWarning(messages_, "Incorrect number of pixel data in line with cluster: " + std::to_string(index) +
                                    " with respect to estimated size:" + std::to_string(sizes_[index]));
    const bool intoPartial = partialCount_ < mapClusterLimit_;
    const size_t c = tag == 0 ? SIZE_MAX : size_t{tag} - 1;
    const bool intoClass = c < classMaps_.size() && classMapCounts_[c] < mapClusterLimit_;
    for (const Pixel& p : pixels) {
        const double weight = countOnly_ ? 1.0 : p.value;
        integrated_->Fill(p.x + 1, p.y + 1, weight);
        if (intoPartial) partial_->Fill(p.x + 1, p.y + 1, weight);
        if (intoClass) classMaps_[c].Fill(p.x + 1, p.y + 1, weight);
    }
    if (intoPartial) ++partialCount_;
    if (intoClass) ++classMapCounts_[c];
    if (imageStep_ > 0 && keptSeen_ % imageStep_ == 0 && regularImages_ < imageCount_) {
        addClusterImage(pixels, "ClusterPlot_" + std::to_string(index));
        ++regularImages_;
    }
    if (index == largestIndex_) {
        printMsg(messages_, "Cluster with biggest size: " + std::to_string(pixels.size()));
        addClusterImage(pixels, "ClusterPlot_MaxSize");
    }
    addToFrameImage(pixels, frame);
    ++keptSeen_;
}

void SensorMaps::addClusterImage(const std::vector<Pixel>& pixels, const std::string& name) {
    // The image spans the cluster's pixels inside the sensor, one bin per pixel.
    double x0 = width_, x1 = -1, y0 = height_, y1 = -1;
    for (const Pixel& p : pixels) {
        if (!(p.x >= 0 && p.x < width_ && p.y >= 0 && p.y < height_)) continue;
        x0 = std::min(x0, std::floor(p.x));
        x1 = std::max(x1, std::floor(p.x));
        y0 = std::min(y0, std::floor(p.y));
        y1 = std::max(y1, std::floor(p.y));
    }
    if (x1 < x0 || y1 < y0) return;
    Hist2D& image = clusterImages_.emplace_back(name, static_cast<int>(x1 - x0) + 1, x0, x1 + 1,
                                                static_cast<int>(y1 - y0) + 1, y0, y1 + 1, 0, messages_);
    image.SetName(name);
    image.SetAxisTitles({"X [px]", "Y [px]", "E [keV] or ToT [-]"});
    for (const Pixel& p : pixels) image.Fill(p.x + 0.5, p.y + 0.5, countOnly_ ? 1.0 : p.value);
}

void SensorMaps::addToFrameImage(const std::vector<Pixel>& pixels, int frame) {
    const bool maximal = frame == maxOccupancyFrame_ && frame > 0;
    const bool spread = std::find(spreadFrames_.begin(), spreadFrames_.end(), frame) != spreadFrames_.end();
    if (!maximal && !spread) return;
    std::vector<double> tuples;
    tuples.reserve(pixels.size() * 3);
    for (const Pixel& p : pixels) tuples.insert(tuples.end(), {p.x, p.y, countOnly_ ? 1.0 : p.value});
    auto imageNamed = [&](const std::string& name, const std::string& title) -> FrameImage& {
        for (FrameImage& image : frameImages_)
            if (image.name() == name) return image;
        FrameImage& image = frameImages_.emplace_back(width_, height_, 2, true, messages_);
        image.setName(name);
        image.setTitle(title);
        image.setFrameNumber(frame);
        image.setTimeAcq(run_->frameTimeAcq, run_->frameTimeUnit);
        image.setVariable(quantity_, unit_);
        return image;
    };
    if (maximal) imageNamed("Frame_MaxOccupancy", "Frame with maximal occupancy").addCluster(tuples, 3);
    if (spread) {
        const std::string name = "Frame_" + std::to_string(frame);
        imageNamed(name, name).addCluster(tuples, 3);
    }
}

int SensorMaps::exportResults(const MessageTarget& to) {
    if (!settings_->DoExportText && !settings_->DoExportGraphics) return 0;
    if (!filled_ || tags_.empty()) return 0;
    int failures = 0;
    Pictures* pictures = settings_->DoExportGraphics ? run_->pictures : nullptr;
    auto exportInto = [&](Hist2D& hist, const std::string& directory) {
        hist.SetFileOutPath(directory);
        hist.SetFileOutName(hist.GetName());
        if (hist.Export() != 0) ++failures;
        if (pictures != nullptr) pictures->add(hist, directory);
    };
    const std::string out = settings_->FileOutPath;
    const std::string maps = out + settings_->ExportDirSpatialMap;
    makeDirectories(maps);
    exportInto(*integrated_, maps);
    exportInto(*partial_, maps);
    for (Hist2D& map : classMaps_) exportInto(map, maps);
    if (!clusterImages_.empty() || !groupImages_.empty()) {
        const std::string images = out + settings_->ExportDirEventVisual;
        makeDirectories(images);
        for (Hist2D& image : clusterImages_) exportInto(image, images);
        for (Hist2D& image : groupImages_) exportInto(image, images);
    }
    if (!frameImages_.empty()) {
        const std::string frames = out + settings_->ExportDirFrame;
        makeDirectories(frames);
        for (FrameImage& image : frameImages_) {
            Hist2D* matrix = image.matrix();
            if (matrix == nullptr) continue;
            matrix->SetTitle(image.title());
            matrix->SetName(image.name());
            matrix->SetAxisTitles({"X [-]", "Y [-]", quantity_ + " " + unit_});
            exportInto(*matrix, frames);
            std::vector<std::string> names;
            std::vector<double> values;
            image.results(names, values);
            std::ofstream list(frames + image.name() + ".txt", std::ios::trunc);
            for (size_t i = 0; i < names.size(); ++i) list << names[i] << "\t" << formatG(values[i]) << "\n";
            if (!list) ++failures;
        }
    }
    if (failures != 0) printError(to, "Sensor maps: " + std::to_string(failures) + " files could not be written.");
    return failures;
}

}  // namespace zel
