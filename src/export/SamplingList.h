#pragma once
// The general results list "SamplingList" (text and JSON): run totals, classes, filter and time samples, written
// from the products and the facts of the run.
#include <string_view>

#include "common/Messages.h"
#include "engine/Module.h"

namespace zel {

// Writes the list; 0, or the failure of the write (reported with -4022).
int writeSamplingList(const Settings& settings, const Products& products, const RunState& state,
                      const MessageTarget& to);

// The list as a module: written at the export when text export is on.
class SamplingList : public Module {
public:
    std::string_view name() const override { return "SamplingList"; }
    int init(const ModuleContext& context) override;
    int exportResults(const MessageTarget& to) override;

private:
    const Settings* settings_ = nullptr;
    const Products* products_ = nullptr;
    const RunState* run_ = nullptr;
};

}  // namespace zel
