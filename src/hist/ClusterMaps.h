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
    //
    // All six maps of a cluster share its pixel, so a pixel's six sums sit side by side in one pending block and
    // a cluster costs one memory access instead of six; the sums move into the maps whenever the maps are read
    // or exported. A position outside the matrix (or NaN) goes straight into the maps' under- and overflows.
    void Fill(std::span<const double> row) {
        if (xColumn_ >= row.size() || yColumn_ >= row.size()) return;
        const double x = row[xColumn_];
        const double y = row[yColumn_];
        const size_t pixel = pixelOf(x, y);
        if (pixel == kOutside) {
            FillOutside(x, y, row);
            return;
        }
        if (pending_.empty()) pending_.assign(kPendingSize, 0.0);
        double* sums = pending_.data() + pixel * kMapCount;
        for (const MapFill& fill : fills_) sums[fill.map] += weight(fill, row);
    }

    // Fill for the listed rows of a batch, in list order. The pending sums of a row a few places ahead are
    // fetched into the cache while the current row is added.
    void FillRows(const ClusterBatch& batch, std::span<const uint32_t> rows) {
        constexpr size_t kAhead = 8;
        const bool located = xColumn_ < batch.width() && yColumn_ < batch.width();
        for (size_t i = 0; i < rows.size(); ++i) {
            if (located && i + kAhead < rows.size() && !pending_.empty()) {
                const auto ahead = batch.row(rows[i + kAhead]);
                const size_t pixel = pixelOf(ahead[xColumn_], ahead[yColumn_]);
                if (pixel != kOutside) __builtin_prefetch(pending_.data() + pixel * kMapCount, 1);
            }
            Fill(batch.row(rows[i]));
        }
    }

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
    static constexpr size_t kPendingSize = size_t{kMapBins} * kMapBins * kMapCount;

    static constexpr size_t kOutside = SIZE_MAX;
    // Index (iy - 1) * 256 + ix - 1 of the matrix pixel holding (x, y), or kOutside.
    size_t pixelOf(double x, double y) const {
        const int ix = axis_.find(x);
        const int iy = axis_.find(y);
        if (ix < 1 || ix > kMapBins || iy < 1 || iy > kMapBins) return kOutside;
        return static_cast<size_t>(iy - 1) * kMapBins + static_cast<size_t>(ix - 1);
    }
    static double weight(const MapFill& fill, std::span<const double> row) {
        return fill.column == kCountWeight ? 1.0 : fill.column < row.size() ? row[fill.column] : 0.0;
    }
    void FillOutside(double x, double y, std::span<const double> row);
    // Creates the maps when they do not exist yet: until a map is read, exported or receives a position outside
    // the matrix, the pending sums are the only storage.
    void MakeMaps() const;
    // Adds the pending sums into the maps and releases them.
    void MovePendingIntoMaps() const;

    std::string suffix_;
    MessageTarget messages_;
    int codeBase_ = 0;
    HistAxis axis_;  // the binning of both axes of every map
    std::vector<MapFill> fills_;
    size_t xColumn_ = kNoColumn;
    size_t yColumn_ = kNoColumn;
    // Reading a map first brings it up to date, so the maps and the pending sums change behind const access.
    mutable std::vector<Hist2D> maps_;
    mutable std::vector<double> pending_;
};

}  // namespace zel
