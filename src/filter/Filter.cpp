#include "filter/Filter.h"

#include <cstdint>
#include <utility>

#include "cluster/ClusterVariables.h"
#include "common/Paths.h"
#include "common/NumberText.h"
#include "common/Text.h"
#include "engine/Settings.h"

namespace zel {

Filter::Filter(const std::string& directory, const std::string& fileName, const MessageTarget& to, int codeBase)
    : messages_(to), codeBase_(codeBase) {
    loadFile(directory, fileName);
}

Filter::Filter() = default;

void Filter::loadFile(const std::string& directory, const std::string& fileName) {
    config_ = ConfigFile(directory, fileName);
    config_.setMessageTarget(messages_);
    config_.setErrorCodeBase(codeBase_);
    if (load() == 0) return;
    loadResult_ = printModuleError(messages_, "Load of configuration failed in constructor with creation of config.",
                                   codeBase_, kLoadFailed, true);
}

int Filter::init(const ModuleContext& context) {
    const Settings& settings = context.settings;
    messages_ = context.messages;
    codeBase_ = context.codeBase;
    const std::string fileName = settings.FilterPath + settings.FilterName;
    if (settings.FilterName.empty() || !isRegularFile(fileName)) {
        printErrorCode(messages_, "Can not open file with filter config: " + fileName, -1022);
        return -1022;
    }
    loadFile(settings.FilterPath, settings.FilterName);
    if (const int code = init(context.variables.names()); code != 0) return code;
    if (entryCount() == 0) {
        printWarning(messages_, "Filter file holds no range of a known variable: " + fileName + ". Filter is switched off.");
        return kNotUsed;
    }
    setPassColumn(context.variables.addColumn("FilterPass", "-", Var::FilterPass, true));
    return 0;
}

Filter::Filter(const MessageTarget& to, int codeBase) : messages_(to), codeBase_(codeBase) {
    config_.setMessageTarget(to);
    config_.setErrorCodeBase(codeBase);
}

// Every key of a variable section holding at least two numbers adds one range, the first number being the lower
// bound; keys with one number or with texts add nothing, and neither does the section naming the output files.
int Filter::load() {
    if (config_.load() != 0)
        return printModuleError(messages_, "Read of config file during config load failed.", codeBase_, kReadFailed,
                                true);
    for (const auto& section : config_.sections()) {
        if (section->name == kOutputSection) continue;
        for (const ConfigParameter& parameter : section->parameters) {
            if (parameter.numbers.size() < 2) continue;
            addRange(parameter.numbers[0], parameter.numbers[1], section->name);
        }
    }
    return 0;
}

bool Filter::addRange(double lower, double upper, const std::string& name) {
    if (lower > upper || name.empty()) {
        printError(messages_, "Add filter failed.\n");
        return false;
    }
    for (Entry& entry : entries_) {
        if (entry.name == name) {
            entry.ranges.push_back({lower, upper});
            if (initialised_) compile();
            return true;
        }
    }
    entries_.push_back({-1, name, {{lower, upper}}});
    if (initialised_) {
        // A condition added after the mapping needs its column now; an unknown name leaves the filter unchanged.
        mapNames(variableNames_);
        compile();
    }
    return true;
}

void Filter::addEntry(Entry entry) {
    entries_.push_back(std::move(entry));
    if (initialised_) {
        mapNames(variableNames_);
        compile();
    }
}

int Filter::init(const std::vector<std::string>& variableNames) {
    if (loadResult_ != 0) return loadResult_;
    variableNames_ = variableNames;
    mapNames(variableNames_);
    compile();
    initialised_ = true;
    return 0;
}

void Filter::mapNames(const std::vector<std::string>& variableNames) {
    if (variableNames.empty()) {
        bool named = false;
        for (size_t i = 0; i < entries_.size(); ++i) {
            entries_[i].column = static_cast<int>(i);
            named = named || !entries_[i].name.empty();
        }
        if (named)
            printWarning(messages_,
                         "Filters have names but variable names was not given. Indexes of filters are based on their order.");
        return;
    }
    for (size_t i = 0; i < entries_.size();) {
        Entry& entry = entries_[i];
        if (entry.name.empty()) {
            if (entry.column == -1) entry.column = static_cast<int>(i);
            ++i;
            continue;
        }
        int found = -1;
        for (size_t c = 0; c < variableNames.size() && found < 0; ++c)
            if (variableNames[c] == entry.name) found = static_cast<int>(c);
        if (found >= 0) {
            entry.column = found;
            ++i;
        } else {
            printWarning(messages_, "Filter condition was not found in index mapping: " + entry.name + " .It is removed.");
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

// Lays the ranges of all entries out in one array so that the pass check walks contiguous memory. A negative
// column becomes a column beyond every row, which the check skips.
void Filter::compile() {
    conditions_.clear();
    ranges_.clear();
    for (const Entry& entry : entries_) {
        const auto first = static_cast<uint32_t>(ranges_.size());
        ranges_.insert(ranges_.end(), entry.ranges.begin(), entry.ranges.end());
        const size_t column = entry.column < 0 ? SIZE_MAX : static_cast<size_t>(entry.column);
        conditions_.push_back({column, first, static_cast<uint32_t>(ranges_.size())});
    }
}

bool Filter::holds(std::span<const double> row) const {
    const Range* ranges = ranges_.data();
    for (const Condition& condition : conditions_) {
        if (condition.column >= row.size()) continue;
        const double v = row[condition.column];
        bool inside = false;
        for (uint32_t r = condition.firstRange; r < condition.endRange && !inside; ++r)
            inside = ranges[r].lower <= v && v <= ranges[r].upper;  // false for a NaN
        if (!inside) return false;
    }
    return true;
}

int Filter::reportNotInitialised() const {
    return printModuleError(messages_,
                            "Init has not been done or fialed. Filter pass checking can not be done. (returns false)",
                            codeBase_, kNotInitialised);
}

bool Filter::passes(std::span<const double> row) const {
    if (!initialised_) {
        reportNotInitialised();
        return false;
    }
    return holds(row);
}

int Filter::processBatch(ClusterBatch& batch) {
    failedInLastBatch_ = 0.0;
    if (batch.empty() || passColumn_ < 0 || static_cast<size_t>(passColumn_) >= batch.width()) {
        printErrorCode(messages_, "Error occurred during filtering.", -3010);
        return -3010;
    }
    const auto column = static_cast<size_t>(passColumn_);
    if (!initialised_) {
        // Without the mapping no cluster can be judged: all fail, and the failure is told once for the batch.
        for (size_t r = 0; r < batch.size(); ++r) batch.at(r, column) = 0.0;
        failedInLastBatch_ = static_cast<double>(batch.size());
        return reportNotInitialised();
    }
    size_t failed = 0;
    for (size_t r = 0; r < batch.size(); ++r) {
        const bool pass = holds(batch.row(r));
        batch.at(r, column) = pass ? 1.0 : 0.0;
        failed += pass ? 0 : 1;
    }
    failedInLastBatch_ = static_cast<double>(failed);
    return 0;
}

std::string Filter::tableText() const {
    if (entries_.empty()) return "No filters";
    std::string text = "Conditions are logically connected as AND for different variables (within always as AND)\n";
    text += "\n";
    text += "    INDEX|NAME\t      CONDITIONS [min|max]\n\n";
    for (const Entry& entry : entries_) {
        if (entry.ranges.empty()) continue;
        text += "\t" + std::to_string(entry.column) + "|" + entry.name + "\n";
        for (size_t r = 0; r < entry.ranges.size(); ++r) {
            const char* marker = r + 1 == entry.ranges.size() ? "'" : "|";
            text += std::string("\t ") + marker + "-----------[" + formatG(entry.ranges[r].lower) + "|" +
                    formatG(entry.ranges[r].upper) + "]\n";
        }
    }
    return text;
}

void Filter::printTable(const MessageTarget& to) const { printMsg(to, tableText()); }

}  // namespace zel
