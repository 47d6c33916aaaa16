#pragma once
// The cluster-position maps of one class set ("Total", a class name or "Others"): six 256 x 256 maps of the sensor
// that add a cluster quantity (energy, size, LET, mean pixel energy, height, or 1 for the count map) at the
// cluster's position X, Y.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "cluster/ClusterVariables.h"
#include "cluster/VariableNames.h"
#include "common/Messages.h"
#include "hist/Hist2D.h"
#include "hist/HistAxis.h"

namespace zel {

// One map of the set: name prefix, title (the map's description), z-axis title and the added quantity.
struct ClusterMapSpec {
    std::string_view prefix;
    std::string_view title;
    std::string_view zAxisTitle;
    Var quantity;
    bool count;  // adds 1 instead of a quantity
};

inline constexpr std::array<ClusterMapSpec, 6> kClusterMapSpecs{{
    {"Hist2D_EMap_", "Sensor map of cluster sum of deposited energy", "E [keV]", Var::E, false},
    {"Hist2D_SMap_", "Sensor map of cluster size", "S [px]", Var::Size, false},
    {"Hist2D_LETMap_", "Sensor map of cluster LET", "LET [keV/um]", Var::LET, false},
    {"Hist2D_EpixMap_", "Sensor map of cluster mean energy per pixel", "Epix [keV/px]", Var::EpixMean, false},
    {"Hist2D_HMap_", "Sensor map of cluster height", "H [keV]", Var::Height, false},
    {"Hist2D_CountMap_", "Sensor map of cluster position (only count)", "N [-]", Var::Count, true},
}};

class ClusterMaps {
public:
    static constexpr int kMapCount = static_cast<int>(kClusterMapSpecs.size());
    // The maps cover the pixel matrix of a 256 x 256 chip whatever the sensor size.
    static constexpr int kMapBins = 256;
    // Sets filled together, as a row's set is a byte.
    static constexpr size_t kMaxSets = 256;

    // Resolves the columns of X, Y and the quantities once. The sensor size does not change the binning.
    ClusterMaps(std::string suffix, int sensWidth, int sensHeight, const ClusterVariables& variables,
                const MessageTarget& messages = {nullptr, true, false}, int codeBase = 0);
    ClusterMaps(const ClusterMaps&) = delete;
    ClusterMaps& operator=(const ClusterMaps&) = delete;
    ClusterMaps(ClusterMaps&&) noexcept = default;
    ClusterMaps& operator=(ClusterMaps&&) noexcept = default;
    ~ClusterMaps() = default;

    // Adds one evaluated cluster to every map whose quantity has a column (the count map always, weight 1). A row
    // without a position column adds nothing.
    void Fill(std::span<const double> row);
    // Fill for the listed rows of a batch, in list order, one map at a time: a map (half a megabyte) stays in
    // the cache while the rows go into it, and each row's bin is found once for all six maps.
    void FillRows(const ClusterBatch& batch, std::span<const uint32_t> rows);
    // FillRows of sets[0] with every listed row, and of sets[set[i]] with rows[i] where set[i] > 0: the map sets of
    // all clusters and of the classes, made from the same variables. Bins and weights are found once per row.
    // At most kMaxSets sets.
    static void FillRowsInSets(std::span<ClusterMaps* const> sets, const ClusterBatch& batch,
                               std::span<const uint32_t> rows, const uint8_t* set);
    // FillRowsInSets in steps that may run on several threads: PrepareRowsInSets finds the rows' bins and weights
    // and orders the rows by set (false when there is nothing to fill), then FillMapInSets fills map `which`
    // (0 ... kMapCount - 1) of every set, each map on its own. Every set[i] is below sets.size().
    static bool PrepareRowsInSets(std::span<ClusterMaps* const> sets, const ClusterBatch& batch,
                                  std::span<const uint32_t> rows, const uint8_t* set);
    static void FillMapInSets(std::span<ClusterMaps* const> sets, const ClusterBatch& batch,
                              std::span<const uint32_t> rows, const uint8_t* set, int which);

    // Writes every map into `directory` as map name + the histogram endings. 0, or the sum of the failed exports'
    // codes.
    int ExportAll(const std::string& directory);

    // The six maps in table order, with every cluster filled so far.
    const Hist2D& map(int which) const;
    const std::string& suffix() const { return suffix_; }

private:
    // A map that receives clusters, with the column of its quantity or kCountWeight for the count map.
    struct MapFill {
        size_t map;
        size_t column;
    };
    static constexpr size_t kNoColumn = SIZE_MAX;
    static constexpr size_t kCountWeight = SIZE_MAX - 1;
    static constexpr size_t kOutside = 0;  // no flat bin of the matrix is 0

    static double weight(const MapFill& fill, std::span<const double> row) {
        return fill.column == kCountWeight ? 1.0 : fill.column < row.size() ? row[fill.column] : 0.0;
    }
    // Flat index of the matrix bin holding (x, y), or kOutside.
    size_t flatBinOf(double x, double y) const {
        const int ix = axis_.find(x);
        const int iy = axis_.find(y);
        if (ix < 1 || ix > kMapBins || iy < 1 || iy > kMapBins) return kOutside;
        return static_cast<size_t>(iy - 1) * kMapBins + static_cast<size_t>(ix);
    }
    // Creates the maps when they do not exist yet (a set that receives no cluster creates them for export).
    void MakeMaps() const;
    // Fills the scratch with each listed row's flat bin and the weights of each filled map; false when the rows
    // have no position.
    bool CollectBinsAndWeights(const ClusterBatch& batch, std::span<const uint32_t> rows);

    std::string suffix_;
    MessageTarget messages_;
    int codeBase_ = 0;
    HistAxis axis_;  // the binning of both axes of every map
    std::vector<MapFill> fills_;
    size_t xColumn_ = kNoColumn;
    size_t yColumn_ = kNoColumn;
    // Made on first use, also by a read.
    mutable std::vector<Hist2D> maps_;
    // Scratch of FillRows: each listed row's flat bin, and the weights of each filled map in turn.
    std::vector<size_t> flatBins_;
    std::vector<double> weights_;
    // Of PrepareRowsInSets: the listed rows (their places in the list) ordered by set, in list order within a set,
    // and where each set's rows begin in that order (one entry more than sets).
    std::vector<uint32_t> rowsBySet_;
    std::vector<uint32_t> setStarts_;
    size_t largestSet_ = 0;  // the set with most rows, 0 when no set but the all-clusters one has rows
};

}  // namespace zel
