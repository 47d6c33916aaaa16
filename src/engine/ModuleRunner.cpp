#include "engine/ModuleRunner.h"

#include <algorithm>
#include <numeric>

#include "engine/JobTeam.h"
#include "engine/SettingsReport.h"

namespace zel {
namespace {

void say(const MessageTarget& to, const EngineMessage& message) {
    if (!message.text.empty()) printErrorCode(to, message.text, message.code);
}

}  // namespace

int ModuleRunner::create(Settings& settings, const ModuleContext& shared) {
    clear();
    int result = 0;
    for (const ModuleEntry& entry : moduleTable()) {
        if (entry.active != nullptr) shared.run.*entry.active = false;
        if (entry.enabled != nullptr && !(settings.*entry.enabled)) continue;
        ModulePtr module = entry.make();
        ModuleContext context = shared;
        context.codeBase = entry.codeBase;
        const int code = module->init(context);
        if (code == Module::kNotUsed) {
            if (entry.enabled != nullptr) settings.*entry.enabled = false;
            continue;
        }
        if (code != 0) {
            say(shared.messages, entry.initFailure);
            shared.run.failedModules.emplace_back(entry.name);
            if (entry.goesOn) {
                if (entry.enabled != nullptr) settings.*entry.enabled = false;
            } else if (result == 0) {
                result = entry.initFailure.code != 0 ? entry.initFailure.code : code;
            }
            continue;
        }
        if (entry.active != nullptr) shared.run.*entry.active = true;
        if (module->takesClusters()) clusterTakers_.push_back(module.get());
        modules_.push_back({&entry, std::move(module)});
    }
    return result;
}

void ModuleRunner::clear() {
    clusterTakers_.clear();
    modules_.clear();
}

int ModuleRunner::processBatch(ClusterBatch& batch, const MessageTarget& to) {
    int failures = 0;
    for (const Running& running : modules_) {
        if (running.module->processBatch(batch) == 0) continue;
        ++failures;
        say(to, running.entry->batchFailure);
    }
    return failures;
}

int ModuleRunner::finishBatch(const ClusterBatch& batch, JobTeam& team) {
    jobs_.clear();
    for (const Running& running : modules_) {
        const size_t count = running.module->prepareBatchJobs(batch);
        for (size_t j = 0; j < count; ++j) jobs_.push_back({running.module.get(), j});
    }
    // Job 0 keeps the records on this thread, as they may report.
    int failures = 0;
    auto job = [&](size_t index) {
        if (index == 0) {
            for (const Running& running : modules_) failures += running.module->recordBatch(batch);
            return;
        }
        const Job& taken = jobs_[index - 1];
        taken.module->runBatchJob(batch, taken.number);
    };
    team.run(1 + jobs_.size(), job);
    for (const Running& running : modules_) running.module->endBatch();
    return failures;
}

void ModuleRunner::closeSample(double liveTime, bool final) {
    for (const Running& running : modules_) running.module->closeSample(liveTime, final);
}

void ModuleRunner::resetCurrent() {
    for (const Running& running : modules_) running.module->resetCurrent();
}

int ModuleRunner::finishInput() {
    int failures = 0;
    for (const Running& running : modules_) failures += running.module->finishInput() != 0;
    return failures;
}

int ModuleRunner::exportResults(const MessageTarget& to, JobTeam& team) {
    std::vector<const Running*> order;
    for (const Running& running : modules_) order.push_back(&running);
    std::stable_sort(order.begin(), order.end(),
                     [](const Running* a, const Running* b) { return a->entry->exportRank < b->entry->exportRank; });

    // Every module's jobs in one round, handed out in the order each module asks for; each job's messages are
    // held and written afterwards in module order and job number order, as if the jobs had run in turn.
    struct ExportJob {
        Module* module;
        size_t number;
        size_t held;
    };
    std::vector<ExportJob> round;
    size_t heldCount = 0;
    for (const Running* running : order) {
        const std::vector<size_t> numbers = running->module->exportJobs();
        for (const size_t number : numbers) round.push_back({running->module.get(), number, heldCount + number});
        heldCount += numbers.size();
    }
    std::vector<HeldMessages> held(heldCount);
    auto job = [&](size_t index) {
        HeldMessages::Scope holding(held[round[index].held]);
        round[index].module->runExportJob(round[index].number);
    };
    try {
        team.run(round.size(), job);
    } catch (...) {
        for (HeldMessages& messages : held) messages.release();
        throw;
    }
    for (HeldMessages& messages : held) messages.release();

    int result = 0;
    for (const Running* running : order) {
        const int failed = running->module->exportResults(to);
        if (failed != 0) say(to, running->entry->exportFailure);
        result += failed;
    }
    return result;
}

void ModuleRunner::discard() {
    for (const Running& running : modules_) running.module->discard();
}

void ModuleRunner::report(const MessageTarget& to) const {
    std::vector<const Running*> order;
    for (const Running& running : modules_)
        if (!running.entry->reportTitle.empty()) order.push_back(&running);
    std::stable_sort(order.begin(), order.end(),
                     [](const Running* a, const Running* b) { return a->entry->reportRank < b->entry->reportRank; });
    for (const Running* running : order) {
        printReportSection(running->entry->reportTitle, {}, to);
        running->module->report(to);
    }
}

}  // namespace zel
