#pragma once
// Runs the modules of the table: makes and initialises those that the settings enable, and takes every step of
// a run through them in table order (the report and the export in the orders the table gives).
#include <cstddef>
#include <span>
#include <vector>

#include "common/Messages.h"
#include "engine/Module.h"
#include "engine/ModuleTable.h"

namespace zel {

class JobTeam;

class ModuleRunner {
public:
    // Makes and initialises the enabled modules in table order. A module whose initialisation fails is reported
    // with the engine's message of its row; when the row says the run goes on, its setting is switched off,
    // otherwise the failure is returned once every module has been tried. 0 or that code.
    int create(Settings& settings, const ModuleContext& shared);
    void clear();

    // Whole-batch steps; the number of modules that failed (each reported with its row's message).
    int processBatch(ClusterBatch& batch, const MessageTarget& to);

    // Hands one evaluated cluster to the modules that take clusters.
    void processCluster(std::span<const double> row, uint32_t rowIndex, int classIndex) {
        for (Module* module : clusterTakers_) module->processCluster(row, rowIndex, classIndex);
    }

    // The end of the batch step: every module's jobs side by side on the team, the records on the calling
    // thread. The number of failures.
    int finishBatch(const ClusterBatch& batch, JobTeam& jobs);

    void closeSample(double liveTime, bool final);
    void resetCurrent();
    // The number of modules that failed.
    int finishInput();
    // The export of every module in export order; the sum of the failures (0 when all went well).
    int exportResults(const MessageTarget& to, JobTeam& jobs);
    void discard();
    // Each module's section of the settings report, in report order.
    void report(const MessageTarget& to) const;

    // The module of type M when it is part of the run, else nullptr.
    template <class M>
    const M* find() const {
        for (const Running& running : modules_)
            if (const M* module = dynamic_cast<const M*>(running.module.get())) return module;
        return nullptr;
    }
    template <class M>
    M* find() {
        for (Running& running : modules_)
            if (M* module = dynamic_cast<M*>(running.module.get())) return module;
        return nullptr;
    }

private:
    struct Running {
        const ModuleEntry* entry;
        ModulePtr module;
    };
    // A job of a round of the batch step or the export: a module and its job number.
    struct Job {
        Module* module;
        size_t number;
    };

    std::vector<Running> modules_;
    std::vector<Module*> clusterTakers_;
    std::vector<Job> jobs_;  // kept between batches
};

}  // namespace zel
