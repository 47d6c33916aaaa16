#include "hist/ClusterMaps.h"

namespace zel {

ClusterMaps::ClusterMaps(std::string suffix, int /*sensWidth*/, int /*sensHeight*/, const ClusterVariables& variables,
                         const MessageTarget& messages, int codeBase)
    : suffix_(std::move(suffix)), messages_(messages) {
    maps_.reserve(kClusterMapSpecs.size());
    for (const ClusterMapSpec& spec : kClusterMapSpecs) {
        Hist2D& map = maps_.emplace_back(std::string(spec.prefix) + suffix_, kMapBins, 0.0, double(kMapBins), kMapBins,
                                         0.0, double(kMapBins), codeBase, messages_);
        map.SetName(std::string(spec.title));
        map.SetAxisTitles({"X [px]", "Y [px]", std::string(spec.zAxisTitle)});
    }
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
        if (column != kNoColumn) fills_.push_back({&maps_[i], column});
    }
}

int ClusterMaps::ExportAll(const std::string& directory) {
    int result = 0;
    for (Hist2D& map : maps_) {
        printMsg(messages_, "Exporting histogram 2D: " + map.GetTitle());
        map.SetFileOutPath(directory);
        map.SetFileOutName(map.GetTitle());
        result += map.Export();
    }
    if (result != 0) printError(messages_, "Error occurred during export.");
    return result;
}

}  // namespace zel
