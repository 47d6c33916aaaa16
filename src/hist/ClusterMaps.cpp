#include "hist/ClusterMaps.h"

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

void ClusterMaps::FillRowsInSets(std::span<ClusterMaps* const> sets, const ClusterBatch& batch,
                                 std::span<const uint32_t> rows, const uint8_t* set) {
    if (sets.empty()) return;
    ClusterMaps& all = *sets[0];
    if (!all.CollectBinsAndWeights(batch, rows)) return;
    for (ClusterMaps* maps : sets) maps->MakeMaps();
    const size_t count = rows.size();
    std::vector<double*>& bins = all.setBins_;
    bins.resize(sets.size());
    for (size_t f = 0; f < all.fills_.size(); ++f) {
        const size_t which = all.fills_[f].map;
        const double* weights = all.weights_.data() + f * count;
        // Map by map, first the all-clusters map and then those of the classes, each set's bins at hand: a pass
        // keeps fewer maps in the cache.
        for (size_t s = 0; s < sets.size(); ++s) bins[s] = sets[s]->maps_[which].FlatBins();
        double* const allBins = bins[0];
        for (size_t i = 0; i < count; ++i) {
            if (all.flatBins_[i] != kOutside) allBins[all.flatBins_[i]] += weights[i];
        }
        // The maps of the smaller classes are seldom in the cache: their bins are fetched some rows ahead.
        constexpr size_t kAhead = 16;
        for (size_t i = 0; i < count; ++i) {
            if (i + kAhead < count) __builtin_prefetch(bins[set[i + kAhead]] + all.flatBins_[i + kAhead], 1);
            if (all.flatBins_[i] != kOutside && set[i] != 0) bins[set[i]][all.flatBins_[i]] += weights[i];
        }
        // Under- and overflows, rare.
        for (size_t i = 0; i < count; ++i) {
            if (all.flatBins_[i] != kOutside) continue;
            const auto row = batch.row(rows[i]);
            all.maps_[which].Fill(row[all.xColumn_], row[all.yColumn_], weights[i]);
            if (set[i] != 0) sets[set[i]]->maps_[which].Fill(row[all.xColumn_], row[all.yColumn_], weights[i]);
        }
    }
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
