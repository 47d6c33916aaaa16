// Text frame matrices (".txt") of a small matrix: recognition of the kind and a whole clusterer run.
#include "ClustererOptions.h"
#include "ClustererRun.h"
#include "FuzzFiles.h"
#include "InputKind.h"
#include "Reporter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = zelfuzz::writeFile("frames.txt", zelfuzz::asText(data, size));
    (void)zel::clusterer::detectInputKind(path);
    zel::clusterer::ClustererOptions options;
    options.width = options.height = 4;
    options.elistBase = zelfuzz::scratchDir() + "EventList";
    options.frameOccupancyLimit = size % 2 == 0 ? 50.0 : -1.0;
    options.inputs = {path};
    zel::clusterer::Reporter reporter(false, true);
    zel::clusterer::ClustererRun run(options, reporter);
    run.run();
    return 0;
}
