#include "hist/ClusterMaps.h"

#include <algorithm>

#include "common/Paths.h"

namespace zel {

ClusterMaps::ClusterMaps(std::string suffix, int /*sensWidth*/, int /*sensHeight*/, const ClusterVariables& variables,
                         const MessageTarget& messages, int codeBase)
    : suffix_(std::move(suffix)), messages_(messages), codeBase_(codeBase) {
    axis_.layoutEquidistant(kMapBins, 0.0, double{kMapBins});
    auto columnOf = [&](Var slot) {
        const int column = variables.index(slot);
        return column < 0 ? kNoColumn : static_cast<size_t>(column);
    };
    xColumn_ = columnOf(Var::X);
    yColumn_ = columnOf(Var::Y);
    // A map whose quantity the rows do not carry stays empty.
    for (size_t i = 0; i < kClusterMapSpecs.size(); ++i) {
        const ClusterMapSpec& spec = kClusterMapSpecs[i];
        const size_t column = spec.count ? kCountWeight : columnOf(spec.quantity);
        if (column != kNoColumn) fills_.push_back({i, column});
    }
}

void ClusterMaps::MakeMaps() const {
    if (!maps_.empty()) return;
    maps_.reserve(kClusterMapSpecs.size());
    for (const ClusterMapSpec& spec : kClusterMapSpecs) {
        Hist2D& map = maps_.emplace_back(std::string(spec.prefix) + suffix_, kMapBins, 0.0, double{kMapBins}, kMapBins,
                                         0.0, double{kMapBins}, codeBase_, messages_);
        map.SetBinFilling(Filling::Dense);  // clusters land all over the sensor
        map.SetName(std::string(spec.title));
        map.SetAxisTitles({"X [px]", "Y [px]", std::string(spec.zAxisTitle)});
    }
}

void ClusterMaps::Fill(std::span<const double> row) {
    if (xColumn_ >= row.size() || yColumn_ >= row.size()) return;
    MakeMaps();
    for (const MapFill& fill : fills_) maps_[fill.map].Fill(row[xColumn_], row[yColumn_], weight(fill, row));
}

bool ClusterMaps::CollectBinsAndWeights(const ClusterBatch& batch, std::span<const uint32_t> rows) {
    if (xColumn_ >= batch.width() || yColumn_ >= batch.width() || rows.empty()) return false;
    MakeMaps();
    const size_t count = rows.size();
    flatBins_.resize(count);
    weights_.resize(fills_.size() * count);
    for (size_t i = 0; i < count; ++i) {
        const auto row = batch.row(rows[i]);
        flatBins_[i] = flatBinOf(row[xColumn_], row[yColumn_]);
        for (size_t f = 0; f < fills_.size(); ++f) weights_[f * count + i] = weight(fills_[f], row);
    }
    return true;
}

bool ClusterMaps::PrepareRowsInSets(std::span<ClusterMaps* const> sets, const ClusterBatch& batch,
                                    std::span<const uint32_t> rows, const uint8_t* set) {
    if (sets.empty() || sets.size() > kMaxSets) return false;
    ClusterMaps& all = *sets[0];
    if (!all.CollectBinsAndWeights(batch, rows)) return false;
    for (ClusterMaps* maps : sets) maps->MakeMaps();
    // The rows ordered by set (a stable counting sort), so that the class maps take their rows set by set: a
    // set's map stays in the cache while its rows go in, and each bin still takes its rows in list order.
    std::vector<uint32_t>& starts = all.setStarts_;
    starts.assign(sets.size() + 1, 0);
    for (size_t i = 0; i < rows.size(); ++i) ++starts[set[i] + 1];
    for (size_t s = 0; s < sets.size(); ++s) starts[s + 1] += starts[s];
    // Each row goes to the next free place of its set, which moves each start to the next set's; one step back
    // restores them.
    all.rowsBySet_.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) all.rowsBySet_[starts[set[i]]++] = static_cast<uint32_t>(i);
    for (size_t s = sets.size(); s > 0; --s) starts[s] = starts[s - 1];
    starts[0] = 0;
    all.largestSet_ = 0;
    for (size_t s = 1; s < sets.size(); ++s) {
        if (starts[s + 1] - starts[s] > starts[all.largestSet_ + 1] - starts[all.largestSet_]) all.largestSet_ = s;
    }
    return true;
}

void ClusterMaps::FillMapInSets(std::span<ClusterMaps* const> sets, const ClusterBatch& batch,
                                std::span<const uint32_t> rows, const uint8_t* set, int which) {
    const ClusterMaps& all = *sets[0];
    const auto fill = std::find_if(all.fills_.begin(), all.fills_.end(),
                                   [&](const MapFill& f) { return f.map == static_cast<size_t>(which); });
    if (fill == all.fills_.end()) return;
    const size_t count = rows.size();
    const size_t* flatBins = all.flatBins_.data();
    const double* weights = all.weights_.data() + static_cast<size_t>(fill - all.fills_.begin()) * count;
    // First the all-clusters map together with the map of the set with most rows, which takes most rows at the
    // same bins, and then the maps of the other sets.
    double* const allBins = all.maps_[fill->map].FlatBins();
    const size_t largest = all.largestSet_;
    if (largest == 0) {
        for (size_t i = 0; i < count; ++i) {
            if (flatBins[i] != kOutside) allBins[flatBins[i]] += weights[i];
        }
    } else {
        double* const largestBins = sets[largest]->maps_[fill->map].FlatBins();
        for (size_t i = 0; i < count; ++i) {
            if (flatBins[i] == kOutside) continue;
            allBins[flatBins[i]] += weights[i];
            if (set[i] == largest) largestBins[flatBins[i]] += weights[i];
        }
    }
    // Set by set; the maps of the smaller classes are seldom in the cache: their bins are fetched some rows ahead.
    constexpr size_t kAhead = 16;
    const uint32_t* order = all.rowsBySet_.data();
    for (size_t s = 1; s < sets.size(); ++s) {
        if (s == largest) continue;
        double* const setBins = sets[s]->maps_[fill->map].FlatBins();
        const size_t end = all.setStarts_[s + 1];
        for (size_t k = all.setStarts_[s]; k < end; ++k) {
            if (k + kAhead < end) __builtin_prefetch(setBins + flatBins[order[k + kAhead]], 1);
            const size_t i = order[k];
            if (flatBins[i] != kOutside) setBins[flatBins[i]] += weights[i];
        }
    }
    // Under- and overflows, rare.
    for (size_t i = 0; i < count; ++i) {
        if (flatBins[i] != kOutside) continue;
        const auto row = batch.row(rows[i]);
        all.maps_[fill->map].Fill(row[all.xColumn_], row[all.yColumn_], weights[i]);
        if (set[i] != 0) sets[set[i]]->maps_[fill->map].Fill(row[all.xColumn_], row[all.yColumn_], weights[i]);
    }
}

void ClusterMaps::FillRowsInSets(std::span<ClusterMaps* const> sets, const ClusterBatch& batch,
                                 std::span<const uint32_t> rows, const uint8_t* set) {
    if (!PrepareRowsInSets(sets, batch, rows, set)) return;
    for (int which = 0; which < kMapCount; ++which) FillMapInSets(sets, batch, rows, set, which);
}

void ClusterMaps::FillRows(const ClusterBatch& batch, std::span<const uint32_t> rows) {
    // One pass over the rows collects each row's bin and weights; then each map takes its weights in turn.
    if (!CollectBinsAndWeights(batch, rows)) return;
    const size_t count = rows.size();
    for (size_t f = 0; f < fills_.size(); ++f) {
        Hist2D& map = maps_[fills_[f].map];
        const double* weights = weights_.data() + f * count;
        for (size_t i = 0; i < count; ++i) {
            if (flatBins_[i] != kOutside) {
                map.FillFlatBin(flatBins_[i], weights[i]);
            } else {
                const auto row = batch.row(rows[i]);
                map.Fill(row[xColumn_], row[yColumn_], weights[i]);  // under- and overflows
            }
        }
    }
}

const Hist2D& ClusterMaps::map(int which) const {
    MakeMaps();
    return maps_[static_cast<size_t>(which)];
}

int ClusterMaps::ExportAll(const std::string& directory) {
    MakeMaps();
    int result = 0;
    for (Hist2D& map : maps_) {
        printMsg(messages_, "Exporting histogram 2D: " + map.GetTitle());
        map.SetFileOutPath(directory);
        map.SetFileOutName(fileNameFromTitle(map.GetTitle()));
        result += map.Export();
    }
    if (result != 0) printError(messages_, "Error occurred during export.");
    return result;
}

}  // namespace zel
