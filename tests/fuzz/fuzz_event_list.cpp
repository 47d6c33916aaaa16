// Event lists: recognition, then reading in small batches with the engine's extra columns.
#include <stdexcept>

#include "FuzzFiles.h"
#include "input/Elist.h"
#include "input/ElistRecognition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const zel::MessageTarget quiet{nullptr, false, false};
    zelfuzz::writeFile("run.elist", zelfuzz::asText(data, size));
    zel::ElistKind kind;
    try {
        zel::recogniseElist(zelfuzz::scratchDir(), "run.elist", {"EventID", "X", "Y", "T", "E"}, kind, quiet);
    } catch (const std::runtime_error&) {
        // Headerless and corrupted lists are raised by design.
    }
    zel::Elist list(zelfuzz::scratchDir(), "run.elist", 'r', quiet, -5600);
    list.setBatchSize(7);
    list.setRowWidth(12);
    list.setRelativeTime(size % 2 == 1);
    if (list.init() != 0) return 0;
    list.checkVariables();
    zel::ClusterBatch batch;
    for (int guard = 0; guard < 100000 && list.hasMoreData(); ++guard) {
        if (list.readBatch(batch) != 0) break;
    }
    return 0;
}
