#pragma once
// The extended event list and the extended cluster list of a file run: every batch is streamed into them as it
// leaves the batch step, with the columns the modules before added (class, filter verdict); the export gives
// them their final names, and a failed run drops them.
#include <memory>
#include <string_view>

#include "engine/Module.h"
#include "export/ExtendedClusterList.h"
#include "export/ExtendedEventList.h"

namespace zel {

class ExtendedLists : public Module {
public:
    ExtendedLists();
    ~ExtendedLists() override;

    std::string_view name() const override { return "ExtendedLists"; }
    int init(const ModuleContext& context) override;
    // Streams the batch into the lists; the number of failures.
    int recordBatch(const ClusterBatch& batch) override;
    std::vector<size_t> exportJobs() override { return {0}; }
    // Gives the lists their final names.
    void runExportJob(size_t job) override;
    int exportResults(const MessageTarget&) override { return exported_; }
    void discard() override;

private:
    bool wantsClusterList() const;

    const Settings* settings_ = nullptr;
    const ClusterVariables* variables_ = nullptr;
    const InputSet* inputs_ = nullptr;
    const RunState* run_ = nullptr;
    MessageTarget messages_;
    std::unique_ptr<ExtendedEventList> eventList_;
    std::unique_ptr<ExtendedClusterList> clusterList_;
    int exported_ = 0;
};

}  // namespace zel
