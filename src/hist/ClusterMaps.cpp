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
        map.SetName(std::string(spec.title));
        map.SetAxisTitles({"X [px]", "Y [px]", std::string(spec.zAxisTitle)});
    }
}

void ClusterMaps::FillOutside(double x, double y, std::span<const double> row) {
    MakeMaps();
    for (const MapFill& fill : fills_) maps_[fill.map].Fill(x, y, weight(fill, row));
}

// Pixel (ix, iy) of the pending block is the maps' flat bin (iy - 1) * 256 + ix.
void ClusterMaps::MovePendingIntoMaps() const {
    MakeMaps();
    if (pending_.empty()) return;
    constexpr size_t kPixels = size_t{kMapBins} * kMapBins;
    for (const MapFill& fill : fills_) {
        Hist2D& map = maps_[fill.map];
        for (size_t pixel = 0; pixel < kPixels; ++pixel) {
            const double sum = pending_[pixel * kMapCount + fill.map];
            if (sum == 0.0) continue;
            const int bin = static_cast<int>(pixel) + 1;
            map.SetBinContent(bin, map.GetBinContent(bin) + sum);
        }
    }
    pending_.clear();
    pending_.shrink_to_fit();
}

const Hist2D& ClusterMaps::map(int which) const {
    MovePendingIntoMaps();
    return maps_[static_cast<size_t>(which)];
}

int ClusterMaps::ExportAll(const std::string& directory) {
    MovePendingIntoMaps();
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
