#pragma once
// Radiation field recognition as a module: chooses the reference database at initialisation (the user's
// directory, or the built-in fields for the one detector they were measured with), compares the run's
// significant vector with it when asked, and exports the "RadFieldRecogList".
#include <string>
#include <vector>

#include "engine/Module.h"
#include "rfr/ComparatorDB.h"

namespace zel {

class FieldRecognition : public Module {
public:
    // What the results list needs to know of the run.
    struct Options {
        std::string directory;
        std::string listName;
        std::string listJsonName;
        bool doWeb = false;
        bool doExportText = true;
    };

    std::string_view name() const override { return "RadFieldRecog"; }

    // kNotUsed, silently, for a detector the built-in database does not fit when no directory is named; else 0
    // or the comparator's code.
    int init(const ModuleContext& context) override;
    int exportResults(const MessageTarget& to) override;
    void report(const MessageTarget& to) const override;

    // Compares the vector with the database: 0 and the best field, or the comparator's code. An input equal to a
    // reference (distance exactly 0) names that reference with probability 1; with several, the later one.
    int process(const SigVec& vector);

    bool hasResult() const { return hasResult_; }
    const std::string& field() const { return field_; }
    double probability() const { return probability_; }
    const ComparatorDB& comparator() const { return comparator_; }
    // The intervals of the compared vector's variables.
    const std::vector<double>& intervals() const { return intervals_; }
    const Options& options() const { return options_; }

private:
    ComparatorDB comparator_;
    Options options_;
    bool builtIn_ = false;
    bool hasResult_ = false;
    std::string field_;
    double probability_ = -1;
    std::vector<double> intervals_;
};

}  // namespace zel
