// The batch step shared by the file run and pushed batches: the rows are widened, the modules take the whole
// batch, then every row that is not skipped is added to the products and handed to the modules, and the batch
// step ends with the modules' jobs.
#include <cmath>
#include <span>

#include "analysis/FrameAnalysis.h"
#include "common/NumberText.h"
#include "engine/Engine.h"
#include "engine/SettingsReport.h"

namespace zel {
namespace {

double valueAt(std::span<const double> row, int column, double fallback) {
    return column >= 0 && static_cast<size_t>(column) < row.size() ? row[column] : fallback;
}

}  // namespace

int Engine::processClusters(const std::vector<std::vector<double>>& rows) {
    if (!initialised_) initialise();
    ClusterBatch batch = ClusterBatch::fromRows(rows);
    processBatch(batch);
    finishProducts();
    return 0;
}

int Engine::processBatch(ClusterBatch& batch) {
    const MessageTarget to = messages();
    if (batch.empty()) {
        printErrorCode(to, "No clusters given for processing.", -3007);
        return -3007;
    }
    if (!processingHeaderPrinted_) {
        printPhaseHeader("PROCESSING", to);
        printMsg(to, "N samples [-]\tElapsed time [s]\tN sum of processed particles [-]");
        processingHeaderPrinted_ = true;
    }
    if (batch.width() == 0) {
        printErrorCode(to, "Error occurred during clusters processing.", -3008);
        return -3008;
    }
    variables_.widen(batch, to);

    const int tCol = variables_.index(Var::T);
    const int eCol = variables_.index(Var::E);
    const int sizeCol = variables_.index(Var::Size);
    const int edgeCol = variables_.index(Var::IsSensEdge);
    const int filterCol = variables_.index(Var::FilterPass);
    products_.beginBatch(batch, tCol, inputs_.frameBased);

    // Whole-batch steps in module order: classification, filter, frame counting.
    int failures = modules_.processBatch(batch, to);

    const bool ignoreEdge = settings_.DoIgnoreClusterSensEdge;
    const bool filterOn = run_.filterActive && settings_.DoFilter;
    for (size_t r = 0; r < batch.size(); ++r) {
        std::span<const double> row = batch.row(r);
        products_.countSeen();
        const double edge = valueAt(row, edgeCol, 0.0);
        const bool onEdge = !(edge == 0.0);  // a NaN counts as on the edge
        const bool filteredOut = filterOn && valueAt(row, filterCol, 1.0) == 0.0;
        if ((ignoreEdge && onEdge) || filteredOut) {
            if (onEdge) products_.countEdgeSkipped();
            if (filteredOut) products_.countFilteredOut();
        } else if (const double energy = valueAt(row, eCol, 0.0), size = valueAt(row, sizeCol, 0.0);
                   !std::isfinite(energy) || !std::isfinite(size)) {
            products_.countNonFinite();
            if (products_.nonFiniteSkipped() == 1)
                printWarning(to, "Cluster " + formatG(products_.clustersSeen()) +
                                     " has an energy or size that is not a finite number: it is left out of every "
                                     "product. Further such clusters are only counted (CountParticle_Sum_NonFinite).");
        } else {
            if (energy < 0 || size < 0) {
                products_.countNegative();
                if (products_.negativeKept() == 1)
                    printWarning(to, "Cluster " + formatG(products_.clustersSeen()) +
                                         " has a negative energy or size; it is processed as it is. Further such "
                                         "clusters are only counted (CountParticle_Sum_Negative).");
            }
            const int classIndex = classOf(row);
            if (products_.addCluster(classIndex, valueAt(row, tCol, 0.0), energy, size) != 0)
                return Products::kCodeTooManySamples;  // reported by the products; the run stops
            modules_.processCluster(row, static_cast<uint32_t>(r), classIndex);
        }
        lastTime_ = valueAt(row, tCol, lastTime_);
        products_.noteLastTime(lastTime_);
        haveLastRow_ = true;
    }

    failures += modules_.finishBatch(batch, jobs());

    if (failures != 0) {
        printErrorCode(to, "Error occurred during clusters processing.", -3008);
        return -3008;
    }
    return 0;
}

int Engine::classOf(std::span<const double> row) const {
    if (!run_.pidActive) return 0;
    return products_.classOf(valueAt(row, variables_.index(Var::PIDClass), -1.0));
}

void Engine::finishProducts() {
    useFrameLiveTime();
    products_.computeTotals();
}

// Without a given acquisition time, frame data whose cluster log names the acquisition time of each frame are
// live only while the frames are open: the live time is the sum of those times, not the span of the clusters.
void Engine::useFrameLiveTime() {
    if (settings_.TimeAcq > 0 || !inputs_.frameBased) return;
    const FrameAnalysis* frames = modules_.find<FrameAnalysis>();
    if (frames == nullptr || !(frames->acquisitionTimeSum() > 0)) return;
    products_.setTimeAcq(frames->acquisitionTimeSum());
    if (frameLiveTimeSaid_) return;
    frameLiveTimeSaid_ = true;
    printMsg(messages(), "Live time is the sum of the acquisition times of the " +
                             std::to_string(frames->framesWithTiming()) + " frames of the cluster log: " +
                             formatG(frames->acquisitionTimeSum()) + " s (TimeAcq is not given).");
}

void Engine::resetCurrent() {
    products_.resetCurrent();
    modules_.resetCurrent();
}

}  // namespace zel
