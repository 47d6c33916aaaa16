#include "export/Pictures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "common/Paths.h"
#include "common/Subprocess.h"
#include "hist/Hist1D.h"
#include "hist/Hist2D.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kOutputLog = "python_output.txt";

std::string absolute(const std::string& path) {
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

std::string readText(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    ok = static_cast<bool>(in) || in.eof();
    return text.str();
}

// The statistics of the whole histogram from its bins: mean, standard deviation, sum and the position of the
// highest bin. Bins that are no numbers add nothing.
void statisticsOf(const Hist1D& hist, PlotHist1D& plot) {
    const HistAxis& axis = hist.GetAxis();
    const auto& contents = hist.GetContents();
    double sum = 0, sumX = 0, sumXX = 0, best = -INFINITY;
    for (int i = 1; i <= axis.nBin && static_cast<size_t>(i) < contents.size(); ++i) {
        const double v = contents[static_cast<size_t>(i)];
        if (!std::isfinite(v)) continue;
        const double x = axis.center(i);
        sum += v, sumX += v * x, sumXX += v * x * x;
        if (v > best) best = v, plot.xAtMax = x;
    }
    plot.sum = sum;
    plot.mean = sum != 0 ? sumX / sum : 0;
    plot.std = sum != 0 ? std::sqrt(std::max(0.0, sumXX / sum - plot.mean * plot.mean)) : 0;
}

// A histogram's picture is named as its files are, after its title when it has no file name.
std::string imageName(const Hist& hist) {
    return hist.GetFileOutName().empty() ? hist.GetTitle() : hist.GetFileOutName();
}

}  // namespace

Pictures::Pictures(PictureSettings settings) : settings_(std::move(settings)) {
    // Script numbers start at a value from the clock and step by 100, so that names of runs never collide.
    std::minstd_rand generator(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    firstNumber_ = generator() % 100;
}

std::string Pictures::scriptDirectory() const { return settings_.outputDirectory + ".temp" + kSeparator; }

std::string Pictures::imagePath(const std::string& directory, const std::string& name) const {
    std::string dir = directory;
    if (!dir.empty() && dir.back() != kSeparator) dir += kSeparator;
    return absolute(dir + fileNameFromTitle(name) + ".png");
}

PlotHist1D Pictures::plotOf(const Hist1D& hist, int maxBins) {
    PlotHist1D plot;
    const auto& titles = hist.GetAxisTitles();
    plot.labels = {hist.GetName().empty() ? hist.GetTitle() : hist.GetName(), titles.empty() ? "" : titles[0],
                   titles.size() > 1 ? titles[1] : "N [-]"};
    plot.logX = hist.GetDoLogX();
    plot.logY = hist.GetDoLogY();
    statisticsOf(hist, plot);

    const PlotCut cut = cutOf(hist, maxBins);
    plot.bins = binsOf(hist, cut);
    plot.binWidth = hist.GetAxis().width * cut.merge;
    return plot;
}

Pictures::PlotCut Pictures::cutOf(const Hist1D& hist, int maxBins) {
    const HistAxis& axis = hist.GetAxis();
    const auto& contents = hist.GetContents();
    const int n = std::min<int>(axis.nBin, static_cast<int>(contents.size()) - 1);
    if (n <= 0) return {1, 0, 1};
    auto value = [&](int i) {
        return std::isfinite(contents[static_cast<size_t>(i)]) ? contents[static_cast<size_t>(i)] : 0.0;
    };
    // The range worth showing: the filled bins (with a margin of a twentieth of their span), or every bin.
    int first = 1, last = n;
    if (hist.GetDoLogX())
        while (first < last && axis.edge(static_cast<size_t>(first)) <= 0) ++first;
    if (hist.GetDoAutoRange()) {
        int lo = first, hi = last;
        while (lo <= hi && value(lo) == 0) ++lo;
        while (hi >= lo && value(hi) == 0) --hi;
        if (lo <= hi) {
            const int margin = std::max(1, (hi - lo + 1) / 20);
            first = std::max(first, lo - margin);
            last = std::min(last, hi + margin);
        }
    }
    const int shown = last - first + 1;
    const int limit = maxBins > 0 ? maxBins : kDefaultMaxPlotBins;
    const int merge = std::max({1, hist.GetNumRebinPlot(), (shown + limit - 1) / limit});
    return {first, last, merge};
}

PlotBins Pictures::binsOf(const Hist1D& hist, const PlotCut& cut) {
    PlotBins bins;
    const HistAxis& axis = hist.GetAxis();
    const auto& contents = hist.GetContents();
    const int n = std::min<int>(axis.nBin, static_cast<int>(contents.size()) - 1);
    const int last = std::min(cut.last, n);
    if (cut.first < 1 || cut.first > last || cut.merge < 1) return bins;
    auto value = [&](int i) {
        return std::isfinite(contents[static_cast<size_t>(i)]) ? contents[static_cast<size_t>(i)] : 0.0;
    };
    int upper = cut.first;
    for (int i = cut.first; i <= last; i += cut.merge) {
        upper = std::min(last, i + cut.merge - 1);
        double sum = 0;
        for (int k = i; k <= upper; ++k) sum += value(k);
        bins.edges.push_back(axis.edge(static_cast<size_t>(i)));
        bins.contents.push_back(sum);
    }
    bins.edges.push_back(axis.edge(static_cast<size_t>(upper) + 1));
    return bins;
}

PlotHist2D Pictures::plotOf(const Hist2D& hist) {
    PlotHist2D plot;
    const auto& titles = hist.GetAxisTitles();
    plot.labels = {hist.GetName().empty() ? hist.GetTitle() : hist.GetName(), titles.empty() ? "" : titles[0],
                   titles.size() > 1 ? titles[1] : ""};
    plot.zLabel = titles.size() > 2 ? titles[2] : "N [-]";
    plot.logX = hist.GetDoLogX();
    plot.logY = hist.GetDoLogY();
    plot.logZ = hist.GetDoLogZ();
    plot.statistics = hist.GetDoPlotStat();
    const int nx = hist.GetNBinX(), ny = hist.GetNBinY();
    if (nx <= 0 || ny <= 0) return plot;
    plot.edgesX = hist.GetAxisX().binEdges();
    plot.edgesY = hist.GetAxisY().binEdges();
    // Maps of the pixel matrix keep equal scales on both axes.
    plot.square = nx == ny && hist.GetXmin() == hist.GetYmin() && hist.GetXmax() == hist.GetYmax();
    const auto& contents = hist.GetContents();
    plot.contents.assign(static_cast<size_t>(nx) * static_cast<size_t>(ny), 0.0);
    for (int iy = 1; iy <= ny; ++iy)
        for (int ix = 1; ix <= nx; ++ix) {
            const size_t flat = static_cast<size_t>(hist.GetFlatIndex(ix, iy));
            if (flat < contents.size())
                plot.contents[static_cast<size_t>(iy - 1) * static_cast<size_t>(nx) + static_cast<size_t>(ix - 1)] =
                    contents[flat];
        }
    return plot;
}

void Pictures::add(const Hist1D& hist, const std::string& directory, const std::string& caption) {
    PlotHist1D plot = plotOf(hist, settings_.maxPlotBins);
    if (!caption.empty()) plot.labels.title = caption;
    const std::string image = imagePath(directory, imageName(hist));
    addScript(kHist1DScriptPrefix, hist1DScript(plot, image), {{image, directory, plot.labels.title}});
}

void Pictures::add(const Hist2D& hist, const std::string& directory, const std::string& caption) {
    if (static_cast<uint64_t>(hist.GetNBin()) > kMaxPlotBins2D) {
        // Too large to be drawn: named among the pictures that were not drawn.
        std::lock_guard lock(mutex_);
        records_.push_back({imagePath(directory, imageName(hist)), directory, caption});
        return;
    }
    PlotHist2D plot = plotOf(hist);
    if (!caption.empty()) plot.labels.title = caption;
    const std::string image = imagePath(directory, imageName(hist));
    addScript(kHist2DScriptPrefix, hist2DScript(plot, image), {{image, directory, plot.labels.title}});
}

void Pictures::add(const PlotGraph& graph, const std::string& name, const std::string& directory) {
    const std::string image = imagePath(directory, name);
    addScript(kGraphScriptPrefix, graphScript(graph, image), {{image, directory, graph.labels.title}});
}

void Pictures::add(const PlotMultiHist1D& plot, const std::string& name, const std::string& directory) {
    const std::string image = imagePath(directory, name);
    addScript(kHist1DMultiScriptPrefix, multiHist1DScript(plot, image), {{image, directory, plot.labels.title}});
}

void Pictures::add(const PlotDirectionMap& map, const std::vector<std::string>& names, const std::string& directory) {
    std::vector<PictureRecord> records;
    std::vector<std::string> images;
    for (const std::string& name : names) {
        images.push_back(imagePath(directory, name));
        records.push_back({images.back(), directory, "Directions of the particles (" + name + ")"});
    }
    addScript(kHist2DScriptPrefix, directionMapScript(map, images), std::move(records));
}

void Pictures::addOverlay(const Hist1D& reference, const std::vector<const Hist1D*>& curves,
                          const std::vector<std::string>& labels, const std::string& name, const std::string& directory,
                          const std::string& caption) {
    const PlotCut cut = cutOf(reference, settings_.maxPlotBins);
    PlotMultiHist1D plot;
    const auto& titles = reference.GetAxisTitles();
    plot.labels = {caption, titles.empty() ? "" : titles[0], titles.size() > 1 ? titles[1] : "N [-]"};
    plot.logX = reference.GetDoLogX();
    plot.logY = reference.GetDoLogY();
    plot.curveLabels = labels;
    for (const Hist1D* curve : curves) plot.curves.push_back(binsOf(*curve, cut));
    add(plot, name, directory);
}

void Pictures::addScript(std::string_view prefix, const std::string& script, std::vector<PictureRecord> pictures) {
    std::string name;
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0) makeDirectories(scriptDirectory());
        name = std::string(prefix) + std::to_string(firstNumber_ + count_ * 100) + ".py";
        ++count_;
    }
    const bool written = writeText(scriptDirectory() + name, script);
    std::lock_guard lock(mutex_);
    if (written)
        scripts_.push_back(name);
    else
        scriptFailed_ = true;
    for (PictureRecord& record : pictures) records_.push_back(std::move(record));
}

std::vector<PictureRecord> Pictures::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

bool Pictures::runPython(const std::string& script) {
    ProgramOptions options;
    options.stdoutFile = scriptDirectory() + std::string(kOutputLog);
    options.stderrFile = options.stdoutFile;
    options.appendOutput = true;
    return runProgram({settings_.interpreter, script}, options).started;
}

int Pictures::runDrivers(const std::vector<std::string>& scripts, const MessageTarget& to) {
    const std::string dir = scriptDirectory();
    std::vector<std::string> batch;
    std::vector<std::string> bodies;
    double batchSize = 0;
    size_t done = 0;
    uint64_t driverCount = 0;
    auto runBatch = [&] {
        if (bodies.empty()) {
            printError(to,
                       "Exporting graphics was not successful in the multiprocessing part (no sub function for "
                       "processing).\n");
            return;
        }
        const std::string driver =
            dir + std::string(kDriverScriptPrefix) + std::to_string(firstNumber_ + driverCount++ * 100) + ".py";
        if (writeText(driver, driverScript(bodies))) runPython(driver);
        std::error_code ec;
        fs::remove(driver, ec);
        for (const std::string& name : batch) fs::remove(dir + name, ec);
        done += batch.size();
        if (to.print) printProgress(static_cast<double>(done) / static_cast<double>(scripts.size()));
        batch.clear(), bodies.clear(), batchSize = 0;
    };
    for (const std::string& name : scripts) {
        bool ok = false;
        std::string body = readText(dir + name, ok);
        if (!ok) {
            printError(to,
                       "Exporting graphics was not successful in the multiprocessing part (can not read sub "
                       "function file).\n");
            continue;
        }
        batchSize += static_cast<double>(body.size());
        batch.push_back(name);
        bodies.push_back(std::move(body));
        if (batchSize > settings_.batchSizeLimit) runBatch();
    }
    if (!batch.empty()) runBatch();
    return 0;
}

int Pictures::draw(const MessageTarget& to) {
    std::vector<std::string> scripts;
    {
        std::lock_guard lock(mutex_);
        scripts = scripts_;
    }
    if (scriptFailed_) printWarning(to, "Some plotting scripts could not be written into " + scriptDirectory());
    if (scripts.empty()) return 0;
    if (settings_.skipDrawing) {
        const std::string master = settings_.outputDirectory + std::string(kMasterScriptName);
        if (writeText(master, masterScript(scripts)))
            printMsg(to, "Plotting scripts written; run " + master + " to draw the pictures.");
        else
            printError(to, "Can not write " + master);
        return 0;
    }

    printMsg(to, "Progress of graphics export:");
    if (to.print) printProgress(0);
    const std::string dir = scriptDirectory();
    if (settings_.multiProcess) {
        // Every plotting script waiting in the script directory, in name order.
        std::vector<std::string> listed;
        std::error_code ec;
        fs::directory_iterator it(dir, ec);
        if (ec) {
            printError(to, "Exporting graphics was not successful in the multiprocessing part (open curr dir).\n");
            return static_cast<int>(scripts.size());
        }
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec) break;
            const std::string name = it->path().filename().string();
            if (name.find(kPlotScriptMark) != std::string::npos && name.size() > 3 &&
                name.compare(name.size() - 3, 3, ".py") == 0)
                listed.push_back(name);
        }
        std::sort(listed.begin(), listed.end());
        runDrivers(listed, to);
    } else {
        size_t done = 0;
        for (const std::string& name : scripts) {
            runPython(dir + name);
            std::error_code ec;
            fs::remove(dir + name, ec);
            if (to.print) printProgress(static_cast<double>(++done) / static_cast<double>(scripts.size()));
        }
    }
    if (to.print) printMsg(to, "");

    // Every picture is drawn or reported.
    std::vector<std::string> missing;
    for (const PictureRecord& record : records())
        if (!isRegularFile(record.image)) missing.push_back(record.image);
    std::error_code ec;
    if (missing.empty()) {
        fs::remove(dir + std::string(kOutputLog), ec);
        fs::remove(dir, ec);  // only when empty
        return 0;
    }
    std::string list;
    for (size_t i = 0; i < missing.size() && i < 5; ++i) list += "\n\t" + missing[i];
    if (missing.size() > 5) list += "\n\t...";
    printWarning(to, std::to_string(missing.size()) + " of " + std::to_string(records().size()) +
                         " pictures were not drawn (the interpreter's messages are in " + dir +
                         std::string(kOutputLog) + "):" + list);
    return static_cast<int>(missing.size());
}

}  // namespace zel
