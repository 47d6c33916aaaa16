// Parameter file lines into the settings.
#include "FuzzFiles.h"
#include "engine/ParamFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zel::Settings settings;
    const zel::MessageTarget quiet{nullptr, false, false};
    std::string_view text = zelfuzz::asText(data, size);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        zel::readParamLine(text.substr(0, end), settings, quiet);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return 0;
}
