// Sectioned key/value files: the reader, its writer, and the cluster filter built from one.
#include <stdexcept>

#include "FuzzFiles.h"
#include "common/ConfigFile.h"
#include "filter/Filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const zel::MessageTarget quiet{nullptr, false, false};
    zelfuzz::writeFile("config.ini", zelfuzz::asText(data, size));
    zel::ConfigFile config(zelfuzz::scratchDir(), "config.ini");
    config.load();
    (void)config.text();
    try {
        zel::Filter filter(zelfuzz::scratchDir(), "config.ini", quiet, -5000);
        filter.init({"EventID", "X", "Y", "T", "E", "Size"});
    } catch (const std::runtime_error&) {
        // A filter file that can not be read raises its code by design.
    }
    return 0;
}
