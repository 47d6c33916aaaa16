// Timepix3 pixel data: a whole clusterer run (reading, time clustering, features, every output).
#include "ClustererOptions.h"
#include "ClustererRun.h"
#include "FuzzFiles.h"
#include "Reporter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = zelfuzz::writeFile("run.t3pa", zelfuzz::asText(data, size));
    zel::clusterer::ClustererOptions options;
    options.width = options.height = 64;
    options.elistBase = zelfuzz::scratchDir() + "EventList";
    options.clusterListBase = zelfuzz::scratchDir() + "ClusterList";
    options.clogPath = zelfuzz::scratchDir() + "Out.clog";
    options.toaSortMargin = 50.0;
    options.inputs = {path};
    zel::clusterer::Reporter reporter(false, true);
    zel::clusterer::ClustererRun run(options, reporter);
    run.run();
    return 0;
}
