// Cluster logs: the engine's recognition, then the clusterer's reader and a whole clusterer run with every output.
#include <stdexcept>

#include "ClogReader.h"
#include "ClustererOptions.h"
#include "ClustererRun.h"
#include "FuzzFiles.h"
#include "Reporter.h"
#include "input/ClusterLogRecognition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const zel::MessageTarget quiet{nullptr, false, false};
    const std::string path = zelfuzz::writeFile("run.clog", zelfuzz::asText(data, size));
    zel::ClogKind kind;
    try {
        zel::recogniseClog(zelfuzz::scratchDir(), "run.clog", kind, quiet);
    } catch (const std::runtime_error&) {
        // Corrupted and empty logs are raised by design.
    }
    zel::clusterer::ClustererOptions options;
    options.width = options.height = 64;
    options.elistBase = zelfuzz::scratchDir() + "EventList";
    options.clogPath = zelfuzz::scratchDir() + "Out.clog";
    options.measMode = size % 3 == 0 ? "itot+count" : "";
    options.inputs = {path};
    zel::clusterer::Reporter reporter(false, true);
    zel::clusterer::ClustererRun run(options, reporter);
    run.run();
    return 0;
}
