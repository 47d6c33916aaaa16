#pragma once
// Particle identification: gives every cluster of a batch the number of the first class of the chosen algorithm
// whose range conditions it meets, or -1 ("Others") when none does. The algorithm is chosen by number, by the
// decision-tree switch, or from the chip type; its classes come from the algorithm tables.
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "cluster/VariableNames.h"
#include "common/Messages.h"
#include "engine/Module.h"
#include "pid/PidAlgorithms.h"
#include "pid/network/NetworkClassifier.h"

namespace zel {

// One class of the chosen algorithm as the module holds it.
struct PidClass {
    // Column of the variable in the cluster rows; all bits set while the name list does not carry it.
    static constexpr uint32_t kNoColumn = UINT32_MAX;

    struct Condition {
        uint32_t column = kNoColumn;
        std::string variable;
        double lower = 0.0;
        double upper = 0.0;
    };

    std::string description;
    std::vector<ParticleSpec> particles;
    std::vector<Condition> conditions;
};

class PidModule : public Module {
public:
    struct Setup {
        std::string chipType, sensMat, modelPath;
        double sensThick = 0.0, sensBias = 0.0;
        int pidAlg = -1;    // -1: chosen from the chip type
        int dtSwitch = -1;  // 1, 2 or 3 select the decision trees 101, 102, 103 over any other choice
    };

    PidModule(const Setup& setup, const std::vector<std::string>& variableNames, const MessageTarget& messages,
              int codeBase);
    // A module of the engine, set up by init(context).
    PidModule();

    // Takes its setup from the settings, initialises, appends the "PIDClass" column and publishes the classes
    // and the algorithm in use to the run.
    int init(const ModuleContext& context) override;

    // Chooses and checks the algorithm, builds its classes, maps the variable names and checks that every
    // condition has a column. 0, or the code of the failed initialisation (base - 105).
    int init();

    int algorithm() const { return algorithm_; }
    bool isInitialised() const { return initialised_; }
    PidFamily family() const { return algorithm_ >= 200 ? PidFamily::NeuralNetwork : PidFamily::Heuristic; }
    const std::vector<PidClass>& classes() const { return classes_; }
    int classCount() const { return static_cast<int>(classes_.size()); }
    // The class descriptions in class order, without "Others".
    const std::vector<std::string>& classNames() const { return classNames_; }
    // The classifier of a network algorithm, null for the decision trees.
    const NetworkClassifier* network() const { return network_.get(); }

    // Column of the batch rows that receives the class of each row.
    void setClassColumn(int index) { classColumn_ = index; }
    int classColumn() const { return classColumn_; }

    // Appends one class number per row, in row order (emptying `out` first when asked). 0 or an error code.
    int classify(const ClusterBatch& batch, std::vector<int>& out, bool clearFirst);

    // Writes each row's class, as a double (-1 for none), into the class column. 0 or an error code.
    int processBatch(ClusterBatch& batch) override;

    // The "PARTICLE CLASSIFICATION" section of the settings report.
    void report(const MessageTarget& to) const override;
    std::vector<std::string> reportLines() const;

    std::string_view name() const override { return "PID"; }

    // The valid algorithm numbers joined with ", ".
    static std::string validNumbersText();

private:
    // A condition of the prepared class table, with the number of rows it turned away since the last reorder.
    struct RowCondition {
        size_t column;
        double lower;
        double upper;
        size_t rejected;
    };

    int chooseAutomatically();
    // Warns when the algorithm was made for another chip, sensor material or thickness than the settings give.
    void warnOfOtherDetector() const;
    void mapNames();
    int initAlgorithm();
    void buildClasses();
    int initNetwork();
    int checkConditionColumns() const;
    int refuseUninitialised() const;

    // Drops the conditions whose column lies beyond rows of `width` values (they pass) and flattens the rest.
    void prepare(size_t width);
    // Within each class, puts the conditions that turned most rows away first, so that rows leave sooner. All
    // conditions of a class must hold, so their order never changes a result.
    void reorderConditions();
    static constexpr size_t kCountedRowEvery = 8;  // the rows whose rejections are counted

    // The class of row r of a batch: one row in kCountedRowEvery goes through every class in turn and counts its
    // rejections; the others go through the classes that the key column leaves possible.
    int classifyRowAt(const double* row, size_t r) {
        if (r % kCountedRowEvery == 0) return classifyRow<true>(row);
        return keyMasks_.empty() ? classifyRow<false>(row) : classifyCandidates(row);
    }

    // With `count`, the condition that turns the row away counts it for the next reorder; a sample of the rows
    // tells the order as well as all of them, without a store per class and row.
    template <bool count>
    int classifyRow(const double* row) {
        size_t c = 0;
        for (size_t k = 0; k < classEnds_.size(); ++k) {
            const size_t end = classEnds_[k];
            while (c < end) {
                RowCondition& condition = rowConditions_[c];
                const double value = row[condition.column];
                if (!(value >= condition.lower && value <= condition.upper)) {  // a NaN never passes
                    if constexpr (count) ++condition.rejected;
                    break;
                }
                ++c;
            }
            if (c == end) return static_cast<int>(k);
            c = end;
        }
        return -1;
    }

    // The key column (the column that most classes test) splits the number line at the bounds of its conditions
    // into regions: the points themselves and the open stretches between them. Within a region every condition on
    // the key column holds or fails as a whole, so each region has the set of classes it leaves possible. A row
    // finds its region, and only those classes are tested, in order: the first whose conditions all hold wins,
    // as when all are tested.
    void buildKeyIndex();
    // The region of `value`: 2i for the stretch below bound i (i = the number of bounds for the one above all),
    // 2i + 1 for bound i itself, and the last region for a NaN.
    size_t keyRegion(double value) const {
        if (value != value) return keyMasks_.size() - 1;
        // The first bound at or above the value, found without branching on the comparisons.
        const double* first = keyBounds_.data();
        size_t length = keyBounds_.size();
        while (length > 0) {
            const size_t half = length / 2;
            const bool above = first[half] < value;
            first += above ? half + 1 : 0;
            length = above ? length - half - 1 : half;
        }
        const size_t i = static_cast<size_t>(first - keyBounds_.data());
        return 2 * i + (i < keyBounds_.size() && keyBounds_[i] == value ? 1 : 0);
    }
    int classifyCandidates(const double* row) const {
        uint64_t candidates = keyMasks_[keyRegion(row[keyColumn_])];
        while (candidates != 0) {
            const size_t k = static_cast<size_t>(std::countr_zero(candidates));
            size_t c = k == 0 ? 0 : classEnds_[k - 1];
            const size_t end = classEnds_[k];
            while (c < end) {
                const RowCondition& condition = rowConditions_[c];
                const double value = row[condition.column];
                if (!(value >= condition.lower && value <= condition.upper)) break;
                ++c;
            }
            if (c == end) return static_cast<int>(k);
            candidates &= candidates - 1;
        }
        return -1;
    }

    void error(std::string_view text) const;
    void errorCode(std::string_view text, int code) const;
    // A message that begins with its code, also written to the error stream.
    void errorLeadingCode(int code, std::string_view text) const;

    Setup setup_;
    std::vector<std::string> names_;
    MessageTarget to_;
    int codeBase_ = 0;

    int algorithm_ = -1;
    const AlgorithmSpec* spec_ = nullptr;
    bool initialised_ = false;
    std::array<int, kVarSlotCount> slots_{};
    std::vector<PidClass> classes_;
    std::vector<std::string> classNames_;
    std::unique_ptr<NetworkClassifier> network_;  // the network algorithms' classifier
    int classColumn_ = -1;

    std::vector<RowCondition> rowConditions_;
    std::vector<size_t> classEnds_;
    size_t preparedWidth_ = SIZE_MAX;
    // Of classifyCandidates: the key column, the bounds of its conditions in rising order without repeats, and per
    // region a bit for each class it leaves possible (the last region for a NaN). Empty when no column is tested
    // by two classes or there are more classes than bits.
    size_t keyColumn_ = 0;
    std::vector<double> keyBounds_;
    std::vector<uint64_t> keyMasks_;
};

}  // namespace zel
