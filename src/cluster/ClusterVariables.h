#pragma once
// The engine's cluster variable list: the ordered names and units that give the columns of every cluster row their
// meaning, and the column index of each known variable. Modules resolve the indexes they read once, at
// initialisation, and then look them up through `index`.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "cluster/VariableNames.h"
#include "common/Messages.h"

namespace zel {

class ClusterVariables {
public:
    // The 28 default variables with the corrected-length pair of LengthCorr 1, every slot -1.
    ClusterVariables();

    // Chooses the corrected-length pair (1, 2 or 3; any other value chooses 1) without touching the name list.
    void selectLengthCorr(int lengthCorr);
    // Rebuilds the name and unit lists as the default list with the chosen corrected-length pair.
    void setDefaultList();
    void setDefaultList(int lengthCorr);

    // Replaces the name list as given (the column order of host batches); the unit list stays as it is.
    void setOrder(std::vector<std::string> names);
    // Replaces both lists (the header of an event list).
    void setList(std::vector<std::string> names, std::vector<std::string> units);

    const std::vector<std::string>& names() const { return names_; }
    const std::vector<std::string>& units() const { return units_; }
    bool hasUnknownNames() const { return unknownNames_; }
    std::string_view lengthCorrName2D() const { return kLengthCorrNames[lengthCorrChoice_].name2D; }
    std::string_view lengthCorrName3D() const { return kLengthCorrNames[lengthCorrChoice_].name3D; }

    // Binds every entry of the name list to its slot; a later entry of the same slot wins. Names that are no
    // known variable are reported one warning each and flagged; the mapping still succeeds. Returns 0.
    int mapNames(const MessageTarget& to);

    // Column index of a known variable, -1 when the list does not carry it.
    int index(Var slot) const { return slots_[static_cast<size_t>(slot)]; }

    // Gives `slot` a column of its own. With `search` an existing column of that name is reused (the last one);
    // otherwise, or when there is none, the name and unit are appended. Returns the slot's column index.
    int addColumn(std::string_view name, std::string_view unit, Var slot, bool search);

    // Appends zero columns to every row so that each mapped slot has a value to read. -1 for a batch without
    // rows, else 0.
    int widen(ClusterBatch& batch, const MessageTarget& to) const;

private:
    std::vector<std::string> names_;
    std::vector<std::string> units_;
    std::array<int, kVarSlotCount> slots_{};
    bool unknownNames_ = false;
    size_t lengthCorrChoice_ = 0;
};

}  // namespace zel
