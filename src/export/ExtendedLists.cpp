#include "export/ExtendedLists.h"

#include "cluster/ClusterVariables.h"
#include "engine/ExternalClusterer.h"
#include "engine/InputDiscovery.h"
#include "engine/Settings.h"

namespace zel {

ExtendedLists::ExtendedLists() = default;
ExtendedLists::~ExtendedLists() = default;

int ExtendedLists::init(const ModuleContext& context) {
    settings_ = &context.settings;
    variables_ = &context.variables;
    inputs_ = &context.inputs;
    run_ = &context.run;
    messages_ = context.messages;
    return 0;
}

bool ExtendedLists::wantsClusterList() const {
    // Asked for by exporting the cluster list, or by naming the extended one (which then warns that the
    // cluster list is not exported).
    return settings_->DoExportCList || !settings_->CListExtName.empty();
}

int ExtendedLists::recordBatch(const ClusterBatch& batch) {
    // Only a file run exports; pushed batches keep no extended list.
    const Settings& s = *settings_;
    if (!run_->fileRun || !s.DoExportText) return 0;
    const MessageTarget& to = messages_;
    const int edgeCol = variables_->index(Var::IsSensEdge);
    const int filterCol = variables_->index(Var::FilterPass);
    const bool filterOn = run_->filterActive && s.DoFilter;
    const bool ignoreEdge = s.DoIgnoreClusterSensEdge;
    int failures = 0;
    if (s.DoCreateElistExt) {
        if (!eventList_) {
            ExtendedListRules rules;
            rules.filterColumn = filterCol;
            rules.edgeColumn = edgeCol;
            rules.timeColumn = variables_->index(Var::T);
            rules.dropFiltered = filterOn && !s.DoExportElistExtFilter;
            rules.dropEdge = ignoreEdge && !s.DoExportElistExtSensEdge;
            const std::string name = s.ElistExtOutName.empty() ? "EventListExt" : s.ElistExtOutName;
            eventList_ = std::make_unique<ExtendedEventList>(s.FileOutPath + s.ExportDirFile + name + ".korelist", rules);
            if (eventList_->open(variables_->names(), variables_->units(), to) != 0) ++failures;
        }
        if (eventList_->isOpen() && eventList_->append(batch) != 0) ++failures;
    }

    if (inputs_->rawToCluster && wantsClusterList()) {
        if (!clusterList_) {
            ExtendedClusterListSetup setup;
            setup.clusterListName = clustererOutputDir(s) + s.CListName + ".clist";
            const std::string name = s.CListExtName.empty() ? "CListExt" : s.CListExtName;
            setup.fullName = s.FileOutPath + s.ExportDirFile + name + ".clist";
            setup.clusterListExported = s.DoExportCList;
            setup.classColumn = run_->pidActive ? variables_->index(Var::PIDClass) : -1;
            setup.filterColumn = filterOn ? filterCol : -1;
            setup.edgeColumn = edgeCol;
            setup.dropFiltered = filterOn && !s.DoExportClistExtFilter;
            setup.dropEdge = ignoreEdge && !s.DoExportClistExtSensEdge;
            clusterList_ = std::make_unique<ExtendedClusterList>(setup);
        }
        if (clusterList_->append(batch, to) != 0) ++failures;
    }
    return failures;
}

void ExtendedLists::runExportJob(size_t) {
    const Settings& s = *settings_;
    const MessageTarget& to = messages_;
    int result = 0;
    if (s.DoExportText && s.DoCreateElistExt && eventList_) {
        result += eventList_->commit(to);
        if (result == 0) printMsg(to, "Extended event list:\t\t\t" + eventList_->fileName());
    }
    if (s.DoExportText && clusterList_) {
        const int written = clusterList_->write(to);
        result += written;
        if (written == 0 && s.DoExportCList) printMsg(to, "Extended cluster list:\t\t\t" + clusterList_->fileName());
    }
    exported_ = result;
}

void ExtendedLists::discard() {
    if (eventList_) eventList_->discard();
    if (clusterList_) clusterList_->discard();
}

}  // namespace zel
