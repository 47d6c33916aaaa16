// Histogram information and data files, as written by the export, loaded back as 1D and 2D histograms.
#include <stdexcept>

#include "FuzzFiles.h"
#include "hist/Hist1D.h"
#include "hist/Hist2D.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [info, values] = zelfuzz::twoParts(zelfuzz::asText(data, size));
    zelfuzz::writeFile("h.hist_info", info);
    zelfuzz::writeFile("h.hist", values);
    const zel::MessageTarget quiet{nullptr, false, false};
    // Histograms that can not be made raise their code by design.
    try {
        zel::Hist1D hist(zelfuzz::scratchDir(), "h", ".hist", ".hist_info", -2000, quiet);
        // The text of a larger histogram goes through the same code, only for longer (seconds per input).
        if (hist.GetAxis().nBin <= 65536) (void)hist.PrintText();
    } catch (const std::runtime_error&) {
    }
    try {
        zel::Hist2D hist(zelfuzz::scratchDir(), "h", ".hist", ".hist_info", -2000, quiet);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
