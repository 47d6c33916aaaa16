#pragma once
// The surface through which the engine drives its processing modules (particle identification, filter, frame,
// histograms, maps, directional, coincidence, Compton...). A module is created and initialised from the settings,
// sees every batch and every evaluated cluster, closes its samples with the products, and exports its results.
#include <span>
#include <string_view>

#include "cluster/ClusterBatch.h"
#include "common/Messages.h"

namespace zel {

class ClusterVariables;
struct Settings;

struct ModuleContext {
    Settings& settings;
    ClusterVariables& variables;
    MessageTarget messages;
};

class Module {
public:
    virtual ~Module() = default;
    virtual std::string_view name() const = 0;

    // Whole-batch step, run in module order before the clusters are evaluated one by one
    // (classification, filtering, frame counting). A non-zero result marks the batch as failed but does not stop it.
    virtual int processBatch(ClusterBatch&) { return 0; }

    // One evaluated cluster with its class (-1 for "Others" when classes exist, 0 without classification).
    virtual void processCluster(std::span<const double> /*row*/, int /*classIndex*/) {}

    // Closes the module's own time sample together with the products.
    virtual void closeSample(double /*samplingTime*/, bool /*final*/) {}

    // End of the input: closes whatever the module keeps open.
    virtual int finishInput() { return 0; }

    // Writes the module's results below the output directory; 0 or an error code.
    virtual int exportResults(const MessageTarget&) { return 0; }

    // The module's section of the settings report.
    virtual void report(const MessageTarget&) const {}
};

}  // namespace zel
