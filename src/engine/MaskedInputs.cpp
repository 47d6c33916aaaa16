// Masked copies of the inputs: with the mask on, every pixel list and cluster log of a file run is copied without
// its masked pixels into the clusterer's output directory, and the copies are clustered in place of the inputs.
#include <filesystem>

#include "cluster/MaskModule.h"
#include "engine/Engine.h"
#include "engine/ExternalClusterer.h"

namespace zel {

int Engine::maskInputs() {
    const MaskModule* maskModule = modules_.find<MaskModule>();
    if (maskModule == nullptr || !run_.maskOn) return 0;
    const MessageTarget to = messages();
    const bool pixelList = inputs_.kind == InputKind::T3PA;
    if (!pixelList && inputs_.kind != InputKind::ClusterLog) {
        printWarning(to, "The mask applies to pixel lists (.t3pa) and cluster logs: these inputs are read unmasked.");
        return 0;
    }
    const std::string out = clustererOutputDir(settings_);
    unmaskedInputPath_ = settings_.FileInPath;
    unmaskedInputNames_ = inputs_.names;
    std::vector<std::string> copies;
    for (int i = 0; i < inputs_.count && static_cast<size_t>(i) < inputs_.names.size(); ++i) {
        const std::string& name = inputs_.names[static_cast<size_t>(i)];
        const std::string copy = "MASK_" + name;
        // The clusterer reads the copy, so that a cluster log it writes under the input's own name would replace
        // the input unnoticed.
        std::error_code ec;
        if (std::filesystem::equivalent(settings_.FileInPath + name, out + clusterLogName(settings_, copy), ec)) {
            printError(to, "The cluster log of the masked run would replace its input " + settings_.FileInPath + name +
                               ": give another ClogOutName.");
            unmaskedInputNames_.clear();
            return -1;
        }
        printMsg(to, "Creating masked raw file:\t" + out + copy);
        PixelMask::CopyCounts counts;
        if (maskModule->mask().writeMaskedCopy(settings_.FileInPath + name, out + copy, !pixelList, counts, to) != 0) {
            unmaskedInputNames_.clear();
            return -1;
        }
        products_.addPixelHitsProc(counts.linesRead);
        run_.maskPixelsKept += counts.pixelsKept;
        run_.maskPixelsMasked += counts.pixelsMasked;
        copies.push_back(copy);
    }
    // The copies stand in for the inputs while the clusterer runs.
    for (size_t i = 0; i < copies.size(); ++i) inputs_.names[i] = copies[i];
    settings_.FileInPath = out;
    return 0;
}

void Engine::unmaskInputs() {
    if (unmaskedInputNames_.empty()) return;
    settings_.FileInPath = unmaskedInputPath_;
    inputs_.names = std::move(unmaskedInputNames_);
    unmaskedInputNames_.clear();
    // Inputs the clusterer failed on are named as the user gave them, not by their masked copies.
    for (std::string& name : inputs_.failed)
        if (name.starts_with("MASK_")) name.erase(0, 5);
}

}  // namespace zel
