#pragma once
// The cluster filter: range conditions on cluster variables, read from a filter file with one section per variable
// and one key per range. A cluster passes when every variable named by the filter lies inside at least one of its
// ranges (bounds inclusive; a NaN lies inside no range). The verdict goes into the FilterPass column of every row
// of a batch; the engine skips the rows that failed and counts them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "common/ConfigFile.h"
#include "common/Messages.h"
#include "engine/Module.h"

namespace zel {

class Filter : public Module {
public:
    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kLoadFailed = 102,
        kReadFailed = 104,
        kNotInitialised = 108,
    };

    // One accepted interval of a variable, both bounds inclusive.
    struct Range {
        double lower = 0.0;
        double upper = 0.0;
    };

    // The conditions on one variable: it satisfies the entry when it lies in at least one of the ranges.
    struct Entry {
        int column = -1;  // -1 until the name is mapped to the variable list
        std::string name;
        std::vector<Range> ranges;
    };

    // The section of the filter file that names output files rather than a variable.
    static constexpr std::string_view kOutputSection = "Output";

    // Reads the filter file directory + fileName and adds its ranges. When the file cannot be read the failure is
    // reported, and init returns the code base - 102.
    Filter(const std::string& directory, const std::string& fileName, const MessageTarget& to, int codeBase);
    // A filter without file, whose conditions are added in code.
    Filter(const MessageTarget& to, int codeBase);
    // A module of the engine, set up by init(context).
    Filter();

    // Reads the filter file the settings name, maps its variables and appends the "FilterPass" column. 0, the
    // code of the failure, or kNotUsed (with a warning) when no condition names a known variable.
    int init(const ModuleContext& context) override;

    // Maps the entry names to columns of `variableNames` (whole-string, case-sensitive); entries whose variable
    // is missing are removed with a warning. With an empty list every entry takes its position as its column.
    // Returns 0, or the code of a filter file that could not be loaded.
    int init(const std::vector<std::string>& variableNames);
    bool isInitialised() const { return initialised_; }

    // Adds the range [lower, upper] to the entry of `name`, creating the entry when it is new. A range with
    // lower above upper, or without name, is refused with a message and false.
    bool addRange(double lower, double upper, const std::string& name);
    // Appends an entry as given; an unnamed entry keeps its column, or takes its position when the column is -1.
    void addEntry(Entry entry);

    const std::vector<Entry>& entries() const { return entries_; }
    size_t entryCount() const { return entries_.size(); }
    const std::vector<std::string>& variableNames() const { return variableNames_; }

    // The verdict for one row. Entries whose column lies beyond the row are not checked; a filter without entries
    // passes everything. Before initialisation it reports the failure and returns false.
    bool passes(std::span<const double> row) const;

    // Column receiving the verdict (1.0 passes, 0.0 fails).
    void setPassColumn(int index) { passColumn_ = index; }
    int passColumn() const { return passColumn_; }

    // Writes the verdict of every row of the batch and counts the failures.
    int processBatch(ClusterBatch& batch) override;
    double failedInLastBatch() const { return failedInLastBatch_; }

    // The table of conditions as one plain message.
    std::string tableText() const;
    void printTable(const MessageTarget& to) const;

    void report(const MessageTarget& to) const override { printTable(to); }
    std::string_view name() const override { return "Filter"; }

    int codeBase() const { return codeBase_; }
    const ConfigFile& configFile() const { return config_; }

private:
    // An entry flattened for the pass check: the column and its slice of `ranges_`.
    struct Condition {
        size_t column;
        uint32_t firstRange;
        uint32_t endRange;
    };

    int load();
    // Reads the filter file; a failure is reported and kept for init.
    void loadFile(const std::string& directory, const std::string& fileName);
    void mapNames(const std::vector<std::string>& variableNames);
    void compile();
    bool holds(std::span<const double> row) const;
    int reportNotInitialised() const;

    ConfigFile config_;
    std::vector<Entry> entries_;
    std::vector<std::string> variableNames_;
    std::vector<Condition> conditions_;
    std::vector<Range> ranges_;
    MessageTarget messages_;
    int codeBase_ = 0;
    int passColumn_ = -1;
    int loadResult_ = 0;
    double failedInLastBatch_ = 0.0;
    bool initialised_ = false;
};

}  // namespace zel
