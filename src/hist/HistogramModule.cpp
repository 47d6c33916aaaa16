#include "hist/HistogramModule.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "common/Paths.h"
#include "common/Text.h"
#include "hist/BuiltInHistograms.h"

namespace zel {

namespace {

// The keys of one column combination in a histogram section and its description in the list.
struct OperationKeys {
    std::string_view columnsKey;
    std::string_view namesKey;
    std::string_view description;
};
constexpr std::array<OperationKeys, HistogramModule::kOperationCount> kOperationKeys{{
    {"ColIndex_Div", "VarName_Div", "column-division: "},
    {"ColIndex_Mult", "VarName_Mult", "column-multiplication: "},
    {"ColIndex_Add", "VarName_Add", "column-addition: "},
    {"ColIndex_Subtr", "VarName_Subtr", "column-subtraction: "},
}};

// A key of a histogram section handed on to the histogram's own configuration, possibly under another spelling.
struct ForwardedKey {
    std::string_view key;
    std::string_view histKey;
};

constexpr ForwardedKey kForwarded1D[] = {
    {"Name", "Name"}, {"AxisTitle", "AxisTitle"}, {"NBin", "NBin"}, {"Nbins", "Nbins"}, {"Xmax", "Xmax"},
    {"xmax", "xmax"}, {"Xmin", "Xmin"}, {"xmin", "xmin"}, {"BinLowEdge", "BinLowEdge"},
    {"BinEquiDist", "BinEquidist"}, {"DoPlot", "DoPlot"}, {"NumRebinPlot", "NumRebinPlot"}, {"DoLogX", "DoLogX"},
    {"DoLogY", "DoLogY"}, {"DoAutoRange", "DoAutoRange"}, {"DoSparseExport", "DoSparseExport"},
};

constexpr ForwardedKey kForwarded2D[] = {
    {"Name", "Name"}, {"AxisTitle", "AxisTitle"}, {"NBinX", "NBinX"}, {"NbinsX", "NbinsX"}, {"NBinY", "NBinY"},
    {"NbinsY", "NbinsY"}, {"Xmax", "Xmax"}, {"xmax", "xmax"}, {"Xmin", "Xmin"}, {"xmin", "xmin"},
    {"Ymax", "Ymax"}, {"ymax", "ymax"}, {"Ymin", "Ymin"}, {"ymin", "ymin"}, {"BinLowEdgeX", "BinLowEdgeX"},
    {"BinEquiDistX", "BinEquidistX"}, {"BinLowEdgeY", "BinLowEdgeY"}, {"BinEquiDistY", "BinEquidistY"},
    {"DoPlot", "DoPlot"}, {"DoLogX", "DoLogX"}, {"DoLogY", "DoLogY"}, {"DoLogZ", "DoLogZ"}, {"Cmin", "Cmin"},
    {"RangeExtension", "RangeExtension"}, {"DoAutoRange", "DoAutoRange"}, {"DoPlotStat", "DoPlotStat"},
    {"DoSparseExport", "DoSparseExport"},
};

bool hasAny(const ConfigSection& section, std::initializer_list<std::string_view> keys) {
    for (std::string_view key : keys)
        if (section.contains(key)) return true;
    return false;
}

// Column indexes of a key: whole non-negative numbers only; false for any other value.
bool readColumns(const ConfigSection& section, std::string_view key, std::vector<int>& columns) {
    columns.clear();
    const ConfigParameter* parameter = section.find(key);
    if (parameter == nullptr) return true;
    for (double number : parameter->numbers) {
        if (!(number >= 0) || number != std::floor(number) || number > 1e9) return false;
        columns.push_back(static_cast<int>(number));
    }
    return parameter->strings.empty();
}

void readNames(const ConfigSection& section, std::string_view key, std::vector<std::string>& names) {
    const ConfigParameter* parameter = section.find(key);
    names = parameter != nullptr ? parameter->strings : std::vector<std::string>{};
}

// The configuration of one histogram: section [HistPar] with the forwarded keys and the title.
template <size_t N>
std::shared_ptr<ConfigFile> histogramConfig(const ConfigSection& section, const ForwardedKey (&keys)[N],
                                            const std::string& title, const MessageTarget& messages) {
    auto config = std::make_shared<ConfigFile>();
    config->setSkipLoad(true);
    config->setMessageTarget(messages);
    config->addSection("HistPar");
    config->addParameter("HistPar", "Title", title);
    for (const ForwardedKey& forwarded : keys) {
        const ConfigParameter* parameter = section.find(forwarded.key);
        if (parameter == nullptr) continue;
        ConfigParameter copy = *parameter;
        copy.key = std::string(forwarded.histKey);
        config->addParameter("HistPar", std::move(copy));
    }
    return config;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += separator;
        text += parts[i];
    }
    return text;
}

}  // namespace

HistogramModule::HistogramModule(std::string suffix, const MessageTarget& messages, int codeBase)
    : suffix_(std::move(suffix)), messages_(messages), codeBase_(codeBase) {}


// ---------------------------------------------------------------------------------------------------------------
// Configuration

int HistogramModule::LoadModuleConfig(const std::string& directory, const std::string& fileName) {
    if (fileName.empty()) return LoadDefault();
    config_ = std::make_unique<ConfigFile>(directory, fileName);
    config_->setMessageTarget(messages_);
    config_->setErrorCodeBase(codeBase_);
    userFile_ = true;
    if (config_->load() != 0)
        return printModuleError(messages_, "Reading of config file in loading failed", codeBase_, kConfigRead);
    return loadSections();
}

int HistogramModule::LoadDefault() {
    config_ = builtInHistConfig(suffix_);
    config_->setMessageTarget(messages_);
    config_->setErrorCodeBase(codeBase_);
    userFile_ = false;
    const int result = loadSections();
    if (result != 0)
        return result + printModuleError(messages_, "Error occurred during load file config in loading of default hist",
                                         codeBase_, kDefaultLoad);
    return 0;
}

void HistogramModule::readLocations() {
    const ConfigSection* input = config_->getSection("Input");
    const ConfigSection* output = config_->getSection("Output");
    auto firstString = [](const ConfigSection* section, std::string_view key, std::string& value) {
        const ConfigParameter* parameter = section != nullptr ? section->find(key) : nullptr;
        if (parameter != nullptr && !parameter->strings.empty()) value = parameter->strings.front();
    };
    firstString(input, "FileIn_Path", fileInPath_);
    firstString(input, "FileIn_Name", fileInName_);
    firstString(output, "FileOut_EndData", fileOutEndData_);
    firstString(output, "FileOut_EndInfo", fileOutEndInfo_);
    const ConfigParameter* paths = output != nullptr ? output->find("FileOut_Path") : nullptr;
    if (paths != nullptr) fileOutPaths_ = paths->strings;
}

// A section describes a histogram when its name holds "Hist". Its dimension follows from the binning keys: a Z
// axis makes it 3D (not supported), a Y axis 2D, bins of a single axis 1D; a section with no binning at all cannot
// become a histogram and is skipped with a message rather than failing.
int HistogramModule::loadSections() {
    entries1D_.clear();
    entries2D_.clear();
    fills1D_.clear();
    fills2D_.clear();
    initialised_ = false;
    readLocations();

    int result = 0;
    for (const auto& section : config_->sections()) {
        if (!contains(section->name, "Hist")) continue;
        if (hasAny(*section, {"NBinZ", "NbinsZ", "BinLowEdgeZ"})) {
            printMsg(messages_, "Hist3D has not been implemented yet. Histogram is skipped.");
        } else if (hasAny(*section, {"NBinY", "NbinsY", "BinLowEdgeY"})) {
            if (!addHist2D(*section))
                result += printModuleError(
                    messages_,
                    "Initialization of 2D histogram failed in loading of configuration. Section: " + section->name,
                    codeBase_, kHist2DSection);
        } else if (hasAny(*section, {"NBin", "Nbins", "BinLowEdge"})) {
            if (!addHist1D(*section))
                result += printModuleError(
                    messages_,
                    "Initialization of 1D histogram failed in loading of configuration. Section: " + section->name,
                    codeBase_, kHist1DSection);
        } else {
            printError(messages_, "Check of histogram dimension was unsuccessful. Skipping histogram in " + section->name);
        }
    }
    if (result != 0)
        result +=
            printModuleError(messages_, "Error occurred during reading of configuration.", codeBase_, kConfigSections);
    return result;
}

namespace {

// Reads the value sources of a histogram section, and the sensor thickness it names; false when a list is
// malformed: a negative or fractional column, or a combination list that is not whole pairs, at most `maxPairs`.
bool readSources(const ConfigSection& section, HistogramModule::Sources& entry, size_t maxPairs, double& sensThick) {
    if (!readColumns(section, "ColIndex", entry.columns)) return false;
    readNames(section, "VarName", entry.names);
    for (size_t op = 0; op < HistogramModule::kOperationCount; ++op) {
        if (!readColumns(section, kOperationKeys[op].columnsKey, entry.operationColumns[op])) return false;
        readNames(section, kOperationKeys[op].namesKey, entry.operationNames[op]);
        for (size_t size : {entry.operationColumns[op].size(), entry.operationNames[op].size()})
            if (size % 2 != 0 || size > 2 * maxPairs) return false;
    }
    if (const ConfigParameter* thick = section.find("SensThick"); thick != nullptr && !thick->numbers.empty())
        sensThick = thick->numbers.front();
    return true;
}

std::string sectionTitle(const ConfigSection& section, bool userFile, const std::string& suffix) {
    std::string title = section.name;
    if (const ConfigParameter* parameter = section.find("Title"); parameter != nullptr && !parameter->strings.empty())
        title = parameter->strings.front();
    // Titles of the built-in set carry the suffix already.
    if (userFile && !suffix.empty()) title += "_" + suffix;
    return title;
}

}  // namespace

bool HistogramModule::addHist1D(const ConfigSection& section) {
    Sources sources;
    if (readSources(section, sources, 1, sensThick_)) {
        try {
            const std::string title = sectionTitle(section, userFile_, suffix_);
            entries1D_.push_back({std::move(sources), Hist1D(histogramConfig(section, kForwarded1D, title, messages_), 0, messages_)});
            return true;
        } catch (const std::runtime_error&) {
        }
    }
    printModuleError(messages_, "Error occurred during mapping of initialization of 1D histogram in InitHist1D.",
                     codeBase_, kHist1DInit);
    return false;
}

bool HistogramModule::addHist2D(const ConfigSection& section) {
    Sources sources;
    if (readSources(section, sources, 2, sensThick_)) {
        try {
            const std::string title = sectionTitle(section, userFile_, suffix_);
            entries2D_.push_back({std::move(sources), Hist2D(histogramConfig(section, kForwarded2D, title, messages_), 0, messages_)});
            return true;
        } catch (const std::runtime_error&) {
        }
    }
    printModuleError(messages_, "Error occurred during mapping of initialization of 2D histogram in InitHist2D.",
                     codeBase_, kHist2DInit);
    return false;
}

// ---------------------------------------------------------------------------------------------------------------
// Mapping of names to columns

namespace {

// Looks every name up in the variable list; false when one is missing.
bool lookUp(const std::vector<std::string>& names, const std::vector<std::string>& variableNames, std::vector<int>& columns) {
    columns.clear();
    for (const std::string& name : names) {
        int found = -1;
        for (size_t c = 0; c < variableNames.size() && found < 0; ++c)
            if (variableNames[c] == name) found = static_cast<int>(c);
        if (found < 0) return false;
        columns.push_back(found);
    }
    return true;
}

std::vector<std::string> allNames(const HistogramModule::Sources& entry) {
    std::vector<std::string> names = entry.names;
    for (const auto& operationNames : entry.operationNames)
        names.insert(names.end(), operationNames.begin(), operationNames.end());
    return names;
}

}  // namespace

bool HistogramModule::mapEntry(Sources& entry, const std::vector<std::string>& variableNames, bool twoDimensional) {
    bool found = true;
    if (entry.columns.empty() && !entry.names.empty()) found = lookUp(entry.names, variableNames, entry.columns);
    for (size_t op = 0; op < kOperationCount && found; ++op) {
        if (entry.operationColumns[op].empty() && !entry.operationNames[op].empty())
            found = lookUp(entry.operationNames[op], variableNames, entry.operationColumns[op]);
    }
    const bool anyColumn = !entry.columns.empty() ||
                           std::any_of(entry.operationColumns.begin(), entry.operationColumns.end(),
                                       [](const std::vector<int>& columns) { return !columns.empty(); });
    if (!found || (variableNames.empty() && anyColumn)) {
        const std::string names = joined(allNames(entry), ", ");
        if (twoDimensional)
            printWarning(messages_, "Histogram 2D with variables " + names + " can not be extracted from given data.");
        else
            printWarning(messages_, "Histogram 1D with variable " + names + " can not be extracted from given data.");
        return false;
    }
    return true;
}

int HistogramModule::MapNames(const std::vector<std::string>& variableNames) {
    variableNames_ = variableNames;
    const int count = static_cast<int>(variableNames.size());
    int result = 0;
    // Indexes beyond the variable list point at its last column; each such finding is reported.
    auto checkIndexes = [&](auto& entry, bool twoDimensional) {
        bool corrected = false;
        auto check = [&](std::vector<int>& columns) {
            for (int& column : columns) {
                if (column < count) continue;
                result += printModuleError(
                    messages_,
                    "Index column " + std::to_string(column) +
                        " is higher than number of variables in data: " + std::to_string(column) +
                        " >= " + std::to_string(count) + " (index set to last one " + std::to_string(count - 1) + ")",
                    codeBase_, kIndexBeyondData);
                column = count - 1;
                corrected = true;
            }
        };
        check(entry.columns);
        for (auto& columns : entry.operationColumns) check(columns);
        if (corrected)
            printError(messages_, std::string("Error occurred during checking of all indexes against data. ") +
                                      (twoDimensional ? "Hist2D " : "Hist1D ") + entry.hist.GetTitle());
    };
    auto mapList = [&](auto& entries, bool twoDimensional) {
        for (size_t i = 0; i < entries.size();) {
            if (mapEntry(entries[i], variableNames, twoDimensional)) {
                checkIndexes(entries[i], twoDimensional);
                ++i;
            } else {
                entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    };
    mapList(entries2D_, true);
    mapList(entries1D_, false);
    if (histogramCount() == 0)
        result += printModuleError(messages_, "No Hist2D or Hist1D were given for processing (vec).", codeBase_,
                                   kNoHistograms);
    compile();
    initialised_ = histogramCount() > 0;
    return result;
}

int HistogramModule::InitModule(const std::vector<std::string>& variableNames) {
    if (MapNames(variableNames) == 0) return 0;
    printModuleError(messages_, "Error occurred during mapping of names to var indexes in initialization.", codeBase_,
                     kMappingFailed);
    return printModuleError(messages_, "Initialization failed.", codeBase_, kInitFailed);
}

// ---------------------------------------------------------------------------------------------------------------
// Filling

namespace {

// The sources of an entry in the order in which values are gathered: the plain columns, then one source per pair
// of each combination. A 1D histogram uses the first, a 2D histogram the first two.
template <class Source>
void gatherSources(const HistogramModule::Sources& entry, std::vector<Source>& sources) {
    for (int column : entry.columns) sources.push_back({Source::Column, static_cast<uint32_t>(column), 0});
    for (size_t op = 0; op < HistogramModule::kOperationCount; ++op) {
        const std::vector<int>& columns = entry.operationColumns[op];
        const auto kind = static_cast<typename Source::Kind>(Source::Division + op);
        for (size_t k = 0; k + 1 < columns.size(); k += 2)
            sources.push_back({kind, static_cast<uint32_t>(columns[k]), static_cast<uint32_t>(columns[k + 1])});
    }
}

}  // namespace

void HistogramModule::compile() {
    fills1D_.clear();
    fills2D_.clear();
    std::vector<Source> sources;
    for (Entry1D& entry : entries1D_) {
        sources.clear();
        gatherSources(entry, sources);
        fills1D_.push_back({&entry.hist, sources.empty() ? Source{} : sources[0]});
    }
    for (Entry2D& entry : entries2D_) {
        sources.clear();
        gatherSources(entry, sources);
        fills2D_.push_back({&entry.hist, sources.size() > 0 ? sources[0] : Source{},
                            sources.size() > 1 ? sources[1] : Source{}});
    }
}

double HistogramModule::valueOf(const Source& source, std::span<const double> row) {
    const size_t size = row.size();
    const double a = source.a < size ? row[source.a] : kNoValue;
    const double b = source.b < size ? row[source.b] : kNoValue;
    switch (source.kind) {
        case Source::Column:
            return a;
        case Source::Division:
            return b == 0 ? kNoValue : a / b;
        case Source::Multiplication:
            return a * b;
        case Source::Addition:
            return a + b;
        case Source::Subtraction:
            return a - b;
        case Source::None:
            break;
    }
    return kNoValue;
}

void HistogramModule::FillCluster(std::span<const double> row) {
    for (const Fill1D& fill : fills1D_) fill.hist->Fill(valueOf(fill.source, row));
    for (const Fill2D& fill : fills2D_) fill.hist->Fill(valueOf(fill.x, row), valueOf(fill.y, row));
}

void HistogramModule::FillRows(const ClusterBatch& batch, std::span<const uint32_t> rows, size_t part,
                               size_t parts) {
    FillRows1D(batch, rows, part, parts);
    FillRows2D(batch, rows, part, parts);
}

void HistogramModule::FillRows1D(const ClusterBatch& batch, std::span<const uint32_t> rows, size_t part,
                                 size_t parts) {
    for (size_t h = part; h < fills1D_.size(); h += parts) {
        const Fill1D& fill = fills1D_[h];
        if (fill.source.kind == Source::Column && fill.source.a < batch.width()) {
            const size_t column = fill.source.a;
            fill.hist->FillCounts(rows.size(), [&](size_t i) { return batch.at(rows[i], column); });
        } else {
            fill.hist->FillCounts(rows.size(), [&](size_t i) { return valueOf(fill.source, batch.row(rows[i])); });
        }
    }
}

void HistogramModule::FillRows2D(const ClusterBatch& batch, std::span<const uint32_t> rows, size_t part,
                                 size_t parts) {
    for (size_t h = part; h < fills2D_.size(); h += parts) {
        const Fill2D& fill = fills2D_[h];
        Hist2D& hist = *fill.hist;
        for (const uint32_t r : rows) {
            const auto row = batch.row(r);
            hist.Fill(valueOf(fill.x, row), valueOf(fill.y, row));
        }
    }
}

namespace {
bool sameSource(const auto& a, const auto& b) { return a.kind == b.kind && a.a == b.a && a.b == b.b; }
}  // namespace

bool HistogramModule::SameFills(const HistogramModule& other) const {
    if (fills1D_.size() != other.fills1D_.size() || fills2D_.size() != other.fills2D_.size()) return false;
    for (size_t h = 0; h < fills1D_.size(); ++h) {
        const Fill1D& a = fills1D_[h];
        const Fill1D& b = other.fills1D_[h];
        if (!sameSource(a.source, b.source) || !a.hist->SameBinning(*b.hist)) return false;
    }
    for (size_t h = 0; h < fills2D_.size(); ++h) {
        const Fill2D& a = fills2D_[h];
        const Fill2D& b = other.fills2D_[h];
        if (!sameSource(a.x, b.x) || !sameSource(a.y, b.y) || !a.hist->SameBinning(*b.hist)) return false;
    }
    return true;
}

void HistogramModule::FillRows2DInSets(std::span<HistogramModule* const> sets, const ClusterBatch& batch,
                                       std::span<const uint32_t> rows, const uint8_t* set, size_t part,
                                       size_t parts) {
    if (sets.empty()) return;
    const std::vector<Fill2D>& fills = sets[0]->fills2D_;
    for (size_t h = part; h < fills.size(); h += parts) {
        const Fill2D& fill = fills[h];
        for (size_t i = 0; i < rows.size(); ++i) {
            const auto row = batch.row(rows[i]);
            sets[set[i]]->fills2D_[h].hist->Fill(valueOf(fill.x, row), valueOf(fill.y, row));
        }
    }
}

void HistogramModule::FillRows1DInSets(std::span<HistogramModule* const> sets, const ClusterBatch& batch,
                                       std::span<const uint32_t> rows, const uint8_t* set, size_t part,
                                       size_t parts) {
    if (sets.empty() || sets.size() > Hist1D::kMaxSets) return;
    std::array<Hist1D*, Hist1D::kMaxSets> hists{};
    const std::vector<Fill1D>& fills = sets[0]->fills1D_;
    for (size_t h = part; h < fills.size(); h += parts) {
        for (size_t s = 0; s < sets.size(); ++s) hists[s] = sets[s]->fills1D_[h].hist;
        const std::span<Hist1D* const> group(hists.data(), sets.size());
        const Source source = fills[h].source;
        if (source.kind == Source::Column && source.a < batch.width()) {
            const size_t column = source.a;
            Hist1D::FillCountsInSets(group, set, rows.size(), [&](size_t i) { return batch.at(rows[i], column); });
        } else {
            Hist1D::FillCountsInSets(group, set, rows.size(),
                                     [&](size_t i) { return valueOf(source, batch.row(rows[i])); });
        }
    }
}

void HistogramModule::CompleteSet(std::span<HistogramModule* const> sets, size_t which) {
    if (which == 0 || which >= sets.size()) return;
    const std::span<HistogramModule* const> classes = sets.subspan(1);
    std::vector<const Hist1D*> parts1D(classes.size());
    for (size_t h = 0; h < sets[0]->fills1D_.size(); ++h) {
        for (size_t s = 0; s < classes.size(); ++s) parts1D[s] = classes[s]->fills1D_[h].hist;
        sets[which]->fills1D_[h].hist->AddRemainder(*sets[0]->fills1D_[h].hist, parts1D);
    }
    std::vector<const Hist2D*> parts2D(classes.size());
    for (size_t h = 0; h < sets[0]->fills2D_.size(); ++h) {
        for (size_t s = 0; s < classes.size(); ++s) parts2D[s] = classes[s]->fills2D_[h].hist;
        sets[which]->fills2D_[h].hist->AddRemainder(*sets[0]->fills2D_[h].hist, parts2D);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Export, list and lookups

int HistogramModule::ExportAll(const std::string& directory, const std::string& nameSuffix) {
    if (!doExport_) return 0;
    if (histogramCount() == 0)
        return printModuleError(messages_, "There are no histograms for export", codeBase_, kNothingToExport);
    printMsg(messages_, "Exporting histograms to: " + directory + "\n");
    int result = 0;
    auto exportOne = [&](Hist& hist) {
        hist.SetFileOutPath(directory);
        hist.SetFileOutName(fileNameFromTitle(hist.GetTitle() + nameSuffix));
        hist.SetFileOutEndData(fileOutEndData_);
        hist.SetFileOutEndInfo(fileOutEndInfo_);
        result += hist.Export();
    };
    for (Entry1D& entry : entries1D_) {
        printMsg(messages_, "Exporting histogram 1D: " + entry.hist.GetTitle());
        exportOne(entry.hist);
    }
    for (Entry2D& entry : entries2D_) {
        printMsg(messages_, "Exporting histogram 2D: " + entry.hist.GetTitle());
        exportOne(entry.hist);
    }
    if (result != 0) printError(messages_, "Error occurred during export.");
    return result;
}

namespace {

// "column 4 from E" for a plain column, "column-division: 4 and 7" for a combination; `names` is the variable
// list the columns refer to.
std::string describeSources(const HistogramModule::Sources& entry, const std::vector<std::string>& names) {
    std::vector<std::string> parts;
    for (size_t i = 0; i < entry.columns.size(); ++i) {
        const int column = entry.columns[i];
        std::string from = i < entry.names.size() ? entry.names[i] : "data";
        if (column >= 0 && static_cast<size_t>(column) < names.size()) from = names[static_cast<size_t>(column)];
        parts.push_back("column " + std::to_string(column) + " from " + from);
    }
    for (size_t op = 0; op < HistogramModule::kOperationCount; ++op) {
        const std::vector<int>& columns = entry.operationColumns[op];
        const std::vector<std::string>& opNames = entry.operationNames[op];
        const size_t pairs = std::max(columns.size(), opNames.size()) / 2;
        for (size_t k = 0; k < pairs; ++k) {
            auto operand = [&](size_t i) {
                return i < columns.size() ? std::to_string(columns[i]) : opNames[i];
            };
            parts.push_back(std::string(kOperationKeys[op].description) + operand(2 * k) + " and " + operand(2 * k + 1));
        }
    }
    if (parts.empty()) parts.emplace_back("no source");
    return joined(parts, ", ");
}

}  // namespace

std::string HistogramModule::ListText() const {
    std::string text = "HISTOGRAMS\n\n1D:\n";
    for (const Entry1D& entry : entries1D_) text += "\t" + entry.hist.GetTitle() + "\t" + describeSources(entry, variableNames_) + "\n";
    text += "2D:\n";
    for (const Entry2D& entry : entries2D_) text += "\t" + entry.hist.GetTitle() + "\t" + describeSources(entry, variableNames_) + "\n";
    return text;
}

void HistogramModule::PrintList(const MessageTarget& to) const { printMsg(to, ListText()); }

const Hist1D* HistogramModule::findHist1D(std::string_view variable) const {
    for (const Entry1D& entry : entries1D_)
        for (const std::string& name : entry.names)
            if (name == variable) return &entry.hist;
    return nullptr;
}

const Hist2D* HistogramModule::findHist2D(std::string_view variableX, std::string_view variableY) const {
    for (const Entry2D& entry : entries2D_)
        if (entry.names.size() == 2 && entry.names[0] == variableX && entry.names[1] == variableY) return &entry.hist;
    return nullptr;
}

const Hist1D* HistogramModule::findHist1DByTitle(std::string_view title) const {
    for (const Entry1D& entry : entries1D_)
        if (entry.hist.GetTitle() == title) return &entry.hist;
    return nullptr;
}

const Hist2D* HistogramModule::findHist2DByTitle(std::string_view title) const {
    for (const Entry2D& entry : entries2D_)
        if (entry.hist.GetTitle() == title) return &entry.hist;
    return nullptr;
}

}  // namespace zel
