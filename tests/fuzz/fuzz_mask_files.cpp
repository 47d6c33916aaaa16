// Mask files and the masked copies: the input is read as a mask, then the same bytes go through the masked copy
// of a cluster log and of a pixel list, and through the sensor maps' pass over a cluster log.
#include <sstream>

#include "FuzzFiles.h"
#include "cluster/ClusterVariables.h"
#include "cluster/PixelMask.h"
#include "cluster/Products.h"
#include "cluster/SensorMaps.h"
#include "engine/InputDiscovery.h"
#include "engine/JobTeam.h"
#include "engine/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = zelfuzz::asText(data, size);
    const zel::MessageTarget quiet{nullptr, false, false};
    zel::PixelMask mask(256, 256);
    mask.loadText(text, quiet);
    zel::PixelMask::CopyCounts counts;
    {
        std::istringstream in{std::string(text)};
        std::ostringstream out;
        mask.copyClusterLog(in, out, counts);
    }
    {
        std::istringstream in{std::string(text)};
        std::ostringstream out;
        mask.copyPixelList(in, out, counts);
    }
    // A small sensor: the maps of a 256 x 256 one, made anew for each input, would take most of the time.
    static zel::Settings settings = [] {
        zel::Settings small;
        small.SensWidth = small.SensHeight = 64;
        return small;
    }();
    static zel::ClusterVariables variables;
    static zel::InputSet inputs;
    static zel::Products products;
    static zel::JobTeam jobs(false);
    zel::RunState run;
    run.frameCount = 40;
    run.maxOccupancyFrame = 3;
    run.groupPictures = {{"ClustersMaxCoincGroup", "largest", {0, 2, 5}}, {"ClustersCoincGroup_1", "group", {2, 7}}};
    zel::SensorMaps maps;
    maps.init(zel::ModuleContext{settings, variables, inputs, products, run, jobs, quiet, 0});
    for (uint32_t c = 0; c < 8; ++c) maps.noteCluster(c % 3 == 2 ? zel::SensorMaps::kSkipped : 0, c);
    std::istringstream log{std::string(text)};
    maps.fillFromLog(log, 0);
    return 0;
}
