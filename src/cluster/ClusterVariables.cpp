#include "cluster/ClusterVariables.h"

#include <algorithm>
#include <utility>

namespace zel {

ClusterVariables::ClusterVariables() {
    slots_.fill(-1);
    setDefaultList(1);
}

void ClusterVariables::selectLengthCorr(int lengthCorr) {
    lengthCorrChoice_ = lengthCorr >= 1 && lengthCorr <= 3 ? static_cast<size_t>(lengthCorr - 1) : 0;
}

void ClusterVariables::setDefaultList() {
    names_.clear();
    units_.clear();
    names_.reserve(kDefaultVariables.size());
    units_.reserve(kDefaultVariables.size());
    for (const auto& variable : kDefaultVariables) {
        names_.emplace_back(variable.name);
        units_.emplace_back(variable.unit);
    }
    names_[kDefaultLengthCorrIndex2D] = std::string(lengthCorrName2D());
    names_[kDefaultLengthCorrIndex3D] = std::string(lengthCorrName3D());
}

void ClusterVariables::setDefaultList(int lengthCorr) {
    selectLengthCorr(lengthCorr);
    setDefaultList();
}

void ClusterVariables::setOrder(std::vector<std::string> names) { names_ = std::move(names); }

void ClusterVariables::setList(std::vector<std::string> names, std::vector<std::string> units) {
    names_ = std::move(names);
    units_ = std::move(units);
}

int ClusterVariables::mapNames(const MessageTarget& to) {
    // The slots always describe the current list, so a list replaced since the last mapping leaves nothing stale.
    slots_.fill(-1);
    unknownNames_ = false;
    for (size_t i = 0; i < names_.size(); ++i) {
        Var slot{};
        if (findVariable(names_[i], slot)) {
            slots_[static_cast<size_t>(slot)] = static_cast<int>(i);
        } else {
            printWarning(to, "Unknown variable names found in elist: " + names_[i]);
            unknownNames_ = true;
        }
    }
    return 0;
}

int ClusterVariables::addColumn(std::string_view name, std::string_view unit, Var slot, bool search) {
    int& column = slots_[static_cast<size_t>(slot)];
    if (search) {
        auto found = std::find(names_.rbegin(), names_.rend(), name);
        if (found != names_.rend()) {
            column = static_cast<int>(std::distance(found, names_.rend()) - 1);
            return column;
        }
    }
    // A host order may have left the unit list shorter or longer than the names; square it first so the new
    // column's unit sits at the column's own index.
    units_.resize(names_.size(), "-");
    names_.emplace_back(name);
    units_.emplace_back(unit);
    column = static_cast<int>(names_.size()) - 1;
    return column;
}

int ClusterVariables::widen(ClusterBatch& batch, const MessageTarget& to) const {
    if (batch.empty()) return -1;
    const long width = static_cast<long>(batch.width());
    long extra = 0;
    for (int column : slots_) {
        if (column >= width) extra = std::max(extra, column - width + 1);
    }
    if (extra == 0) return 0;
    if (2 * extra > width) printWarning(to, "Cluster var vec extension should be done more than 1/2 of orig size.");
    batch.widen(static_cast<size_t>(width + extra));
    return 0;
}

}  // namespace zel
