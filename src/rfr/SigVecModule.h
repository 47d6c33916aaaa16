#pragma once
// The significant vector of a run as a module: configured at initialisation from the user's "SigVec.ini" or
// the built-in set, and built after the last batch (or whenever the host asks for the field) from copies of
// the all-clusters histograms.
#include <string>
#include <vector>

#include "engine/Module.h"
#include "rfr/SigVec.h"

namespace zel {

class HistogramModule;

class SigVecModule : public Module {
public:
    // Code of a needed histogram that the histogram module does not have.
    static constexpr int kMissingHistograms = -3004;

    std::string_view name() const override { return "SigVec"; }

    // -1026 when the named configuration file does not exist, kNotUsed with a user histogram file but no
    // configuration of the vector, else 0 or the configuration's code.
    int init(const ModuleContext& context) override;
    void report(const MessageTarget& to) const override;

    // Builds the vector anew from the histograms with the needed titles (1D looked for first): 0,
    // kMissingHistograms naming those not found, or the processing code.
    int create(const HistogramModule* histograms);
    // Writes the vector files; 0 or a code.
    int exportVector() const { return sigVec_.Export(); }

    const SigVec& vector() const { return sigVec_; }
    bool built() const { return built_; }

private:
    SigVec sigVec_;
    MessageTarget messages_;
    bool builtIn_ = false;
    bool built_ = false;
};

}  // namespace zel
