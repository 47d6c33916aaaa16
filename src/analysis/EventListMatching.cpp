#include "analysis/EventListMatching.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "cluster/ClusterBatch.h"
#include "common/NumberText.h"
#include "common/OutputText.h"
#include "common/PendingFile.h"
#include "input/Elist.h"

namespace zel {
namespace {

constexpr int kTimeDiffBins = 200;

bool readFlag(const ConfigFile& file, std::string_view section, std::string_view key, bool& value) {
    const ConfigParameter p = file.getParameter(key, section);
    if (p.numbers.empty()) return false;
    value = p.numbers.front() != 0.0;
    return true;
}

void readNumber(const ConfigFile& file, std::string_view section, std::string_view key, double& value) {
    const ConfigParameter p = file.getParameter(key, section);
    if (!p.numbers.empty()) value = p.numbers.front();
}

void readText(const ConfigFile& file, std::string_view section, std::string_view key, std::string& value) {
    const ConfigParameter p = file.getParameter(key, section);
    if (!p.strings.empty()) value = p.strings.front();
}

bool isListSection(const ConfigSection& section) { return section.name.find("Elist") != std::string::npos; }

}  // namespace

bool EventListMatching::namesLists(const ConfigFile& file) {
    for (const auto& section : file.sections())
        if (isListSection(*section)) return true;
    return false;
}

int EventListMatching::fail(const std::string& text, int number) const {
    return printModuleError(messages_, std::string(kName) + text, codeBase_, number);
}

int EventListMatching::init(const std::string& directory, const std::string& fileName, const MessageTarget& to,
                            int codeBase) {
    messages_ = to;
    codeBase_ = codeBase;
    initialised_ = false;
    if (!std::filesystem::is_regular_file(directory + fileName)) {
        fail(" : Can not open config file: " + directory + fileName, kCannotOpenConfig);
        fail(" : Can not initialize elists because config file is not opened.", kCannotOpenConfig);
        return fail(" : Initialization failed.", kSetupFailed);
    }
    ConfigFile file(directory, fileName);
    file.setMessageTarget(to);
    if (file.load() != 0) {
        fail(" : Failed to open config file in load config function.", kCannotReadConfig);
        return fail(" : Initialization failed.", kSetupFailed);
    }
    Config c;
    readFlag(file, "Settings", "UseDetGeo", c.useDetGeo);
    readText(file, "Settings", "FileDetGeo_Path", c.fileDetGeoPath);
    readText(file, "Settings", "FileDetGeo_Name", c.fileDetGeoName);
    readFlag(file, "Settings", "DoStatEval", c.doStatEval);
    readText(file, "Settings", "Hist1D_TimeDiff_Name", c.histName);
    readNumber(file, "Settings", "TimeCoincWindow", c.timeCoincWindow);
    readFlag(file, "Settings", "DoSkipAnomalyLines", c.doSkipAnomalyLines);
    readNumber(file, "Settings", "BatchSize", c.batchSize);
    readFlag(file, "Export", "DoExport", c.doExport);
    readFlag(file, "Export", "DoClusterExport", c.doClusterExport);
    readFlag(file, "Export", "DoExportFileTimeDiff", c.doExportFileTimeDiff);
    readText(file, "Export", "FileOut_Path", c.fileOutPath);
    readText(file, "Export", "FileOut_Name", c.fileOutName);
    readFlag(file, "LogPrint", "DoPrintOut", c.doPrintOut);
    readFlag(file, "LogPrint", "DoLog", c.doLog);
    readText(file, "LogPrint", "FileLog_Name", c.fileLogName);
    readText(file, "LogPrint", "FileLog_Path", c.fileLogPath);
    for (const auto& section : file.sections()) {
        if (!isListSection(*section)) continue;
        Input input;
        readText(file, section->name, "FileIn_Path", input.path);
        readText(file, section->name, "FileIn_Name", input.name);
        readFlag(file, section->name, "IsMain", input.isMain);
        c.inputs.push_back(input);
    }
    return init(c, to, codeBase);
}

int EventListMatching::init(const Config& config, const MessageTarget& to, int codeBase) {
    config_ = config;
    messages_ = to;
    codeBase_ = codeBase;
    initialised_ = false;
    const std::string failed = " : Initialization failed.";
    const long long mains = std::count_if(config.inputs.begin(), config.inputs.end(),
                                          [](const Input& in) { return in.isMain; });
    if (config.inputs.size() < 2 || mains != 1) {
        fail(" : Matching needs two or more event lists, exactly one of them the main list (IsMain); lists: " +
                 std::to_string(config.inputs.size()) + ", main lists: " + std::to_string(mains),
             kNoInputs);
        return fail(failed, kSetupFailed);
    }
    if (!(config.timeCoincWindow > 0 && std::isfinite(config.timeCoincWindow))) {
        fail(" : The coincidence window must be a positive time (ns).", kSetupFailed);
        return fail(failed, kSetupFailed);
    }
    if (config.useDetGeo) {
        geometry_ = std::make_unique<DetectorSetup>();
        geometry_->setMessageTarget(to);
        geometry_->setErrorCodeBase(codeBase);
        if (geometry_->loadConfig(config.fileDetGeoPath, config.fileDetGeoName) != 0) {
            fail(" : Can not initialized detector geometry (dedicated file config used).", kGeometryFailed);
            return fail(failed, kSetupFailed);
        }
    }
    try {
        timeDiffs_ = std::make_unique<Hist1D>("Time difference of matched clusters", kTimeDiffBins,
                                              -config.timeCoincWindow, config.timeCoincWindow, codeBase, to);
    } catch (const std::runtime_error&) {
        return fail(failed, kSetupFailed);
    }
    timeDiffs_->SetName(config.histName);
    timeDiffs_->SetFileOutName(config.histName);
    timeDiffs_->SetAxisTitles({"T diff [ns]", "N [-]"});
    initialised_ = true;
    return 0;
}

// The clusters of one list with the columns matching needs; a list without a DetectorID column takes its place
// among the lists as the detector number.
int EventListMatching::readList(size_t index, std::vector<Cluster>& clusters) {
    const Input& input = config_.inputs[index];
    Elist list(input.path, input.name, 'r', messages_, codeBase_);
    if (list.init() != 0) return fail(" : Empty elist: " + input.path + input.name, kEmptyList);
    const int cx = list.column(Var::X), cy = list.column(Var::Y), ce = list.column(Var::E), ct = list.column(Var::T);
    const int cd = list.column(Var::DetectorID);
    if (cx < 0 || cy < 0 || ce < 0 || ct < 0) {
        return fail(" : The event list needs the columns X, Y, E and T: " + input.path + input.name, kBadList);
    }
    const bool positive = config_.batchSize >= 1 && config_.batchSize <= 1e8;
    list.setBatchSize(positive ? static_cast<size_t>(config_.batchSize) : Elist::kDefaultBatchSize);
    ClusterBatch batch;
    while (list.hasMoreData()) {
        const int result = list.readBatch(batch);
        if (result != 0) {
            if (config_.doSkipAnomalyLines) break;
            return fail(" : Empty elist: " + input.path + input.name, kEmptyList);
        }
        for (size_t r = 0; r < batch.size(); ++r) {
            const double detector = cd >= 0 ? batch.at(r, cd) : static_cast<double>(index);
            clusters.push_back({detector, batch.at(r, cx), batch.at(r, cy), batch.at(r, ce), batch.at(r, ct), -1});
        }
    }
    if (clusters.empty()) return fail(" : Empty elist: " + input.path + input.name, kEmptyList);
    return 0;
}

int EventListMatching::run() {
    if (!initialised_) return fail(" : Initialization failed.", kSetupFailed);
    // The main list first, then the others in file order.
    std::vector<size_t> order;
    for (size_t k = 0; k < config_.inputs.size(); ++k)
        if (config_.inputs[k].isMain) order.insert(order.begin(), k);
        else order.push_back(k);
    std::vector<Cluster> main;
    if (int result = readList(order[0], main); result != 0) return result;
    auto byTime = [](const Cluster& a, const Cluster& b) { return a.time < b.time; };
    std::stable_sort(main.begin(), main.end(), byTime);
    for (size_t k = 0; k < main.size(); ++k) main[k].event = static_cast<long long>(k);
    events_ = static_cast<double>(main.size());
    matched_ = unmatched_ = 0;

    std::vector<Cluster> others;
    std::vector<double> differences;
    for (size_t k = 1; k < order.size(); ++k) {
        std::vector<Cluster> list;
        if (int result = readList(order[k], list); result != 0) return result;
        for (Cluster& c : list) {
            // The main cluster nearest in time.
            auto at = std::lower_bound(main.begin(), main.end(), c, byTime);
            const Cluster* nearest = nullptr;
            if (at != main.end()) nearest = &*at;
            if (at != main.begin() && (nearest == nullptr || c.time - (at - 1)->time < nearest->time - c.time))
                nearest = &*(at - 1);
            const double diff = nearest != nullptr ? c.time - nearest->time : INFINITY;
            if (std::fabs(diff) <= config_.timeCoincWindow) {
                c.event = nearest->event;
                matched_ += 1;
                differences.push_back(diff);
                timeDiffs_->Fill(diff);
            } else {
                unmatched_ += 1;
                if (!config_.doClusterExport) continue;
            }
            others.push_back(c);
        }
    }
    // Unmatched clusters that are kept become events after those of the main list.
    long long next = static_cast<long long>(main.size());
    std::stable_sort(others.begin(), others.end(), byTime);
    for (Cluster& c : others)
        if (c.event < 0) c.event = next++;
    std::vector<Cluster> all(main);
    all.insert(all.end(), others.begin(), others.end());
    std::stable_sort(all.begin(), all.end(), [](const Cluster& a, const Cluster& b) { return a.event < b.event; });

    OutputText text;
    text.write("DetectorID\tEventID\tX\tY\tE\tT\n-\t-\tpx\tpx\tkeV\tns\n");
    for (const Cluster& c : all) {
        char* out = text.claim(5 * (kNumberChars + 1) + kFixedChars + 1);
        const double values[6] = {c.detector, static_cast<double>(c.event), c.x, c.y, c.energy, c.time};
        for (int v = 0; v < 6; ++v) {
            out = v == 5 ? writeFixed(out, values[v], 3) : writeGeneral6(out, values[v]);
            *out++ = v < 5 ? '\t' : '\n';
        }
        text.commit(out);
    }
    output_ = std::string(text.text());
    if (!config_.doExport) return 0;
    PendingFile file(config_.fileOutPath + config_.fileOutName);
    if (!file.write(output_) || !file.commit())
        return fail(" : Can not open out file: " + config_.fileOutPath + config_.fileOutName, kCannotOpenOut);
    if (config_.doExportFileTimeDiff) {
        OutputText diffs;
        for (double d : differences) {
            char* out = writeGeneral6(diffs.claim(kNumberChars + 1), d);
            *out++ = '\n';
            diffs.commit(out);
        }
        PendingFile timeFile(config_.fileOutPath + std::string(kTimeDiffFileName));
        if (!timeFile.write(diffs.text()) || !timeFile.commit())
            return fail(" : Can not open out file: " + config_.fileOutPath + std::string(kTimeDiffFileName),
                        kCannotOpenOut);
    }
    return 0;
}

}  // namespace zel
