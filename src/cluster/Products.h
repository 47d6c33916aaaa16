#pragma once
// The physical products of a measurement: particle counts, pixel hits, deposited energy, dose, fluence and flux
// with their rates, for the open time sample, every closed sample, the whole run and each particle class.
// Time is cut into samples of TimeSampling seconds; a sample closes when a cluster arrives beyond its end, and the
// final partial sample closes when the input ends.
#include <functional>
#include <string>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "common/Messages.h"

namespace zel {

struct ProductSetup {
    double sensorAreaCm2 = 1.982464;
    std::string sensorMaterial = "Si";
    double sensorDensity = -1;  // g/cm3; -1 follows the material
    double sensorThicknessUm = 300;
    bool radiologyUnits = false;
    int classCount = 0;  // 0: no particle classes, one accumulator; n: n classes and "Others"
    double maskFactor = 1.0;  // N/(N-M) when the mask is on
    double timeSampling = 1.0;  // s
    double timeAcq = -1.0;  // s; -1 when unset
    bool maskOn = false;
};

// Rows are one per closed sample, columns one per class.
using SampleTable = std::vector<std::vector<double>>;

class Products {
public:
    // Told of each closed sample with its live time (the sampling time, or less for the final sample).
    using SampleListener = std::function<void(double liveTime, bool final)>;

    // The shortest sample accepted: one nanosecond, the unit of cluster times.
    static constexpr double kMinTimeSampling = 1e-9;
    // Closed samples a run may hold. Each keeps its time lists and one row per product table (about 0.5 kB without
    // classes, 1.5 kB with ten), so this bounds the memory of the sample tables to well under 2 GB.
    static constexpr int kMaxSamples = 1000000;
    // TimeSampling not finite or below kMinTimeSampling.
    static constexpr int kCodeBadTimeSampling = -1048;
    // A cluster whose time would take the run past kMaxSamples closed samples.
    static constexpr int kCodeTooManySamples = -3018;

    // Computes the conversion factors and clears everything a new run accumulates. The sample clock (end of the
    // open sample, TimeFirst, the started flag) and the count of skipped edge clusters carry over.
    // 0, or kCodeBadTimeSampling (reported) when the sampling time is refused; the products are then set up with
    // the sampling time they had before.
    int setup(const ProductSetup& setup, const MessageTarget& to);
    // Scales the dose, dose-rate and flux factors by k = N/(N-M) and the sensor area by 1/k (the masked pixels
    // see nothing, so the live area shrinks).
    void applyMaskFactor(double k);
    void setMaskOn(bool on) { maskOn_ = on; }

    // Time reference of a batch: on the first batch the end of the first sample is set and the started flag
    // raised; inputs counted in frames get their times shifted to count from the first cluster.
    void beginBatch(ClusterBatch& batch, int tColumn, bool frameBased);
    void setTimeFirst(double ns) { timeFirst_ = ns; }
    double timeFirst() const { return timeFirst_; }
    bool started() const { return started_; }
    double sampleEnd() const { return sampleEnd_; }

    // 0, or kCodeBadTimeSampling (reported) leaving the sampling time as it was.
    int setTimeSampling(double seconds);
    void setTimeAcq(double seconds) { timeAcq_ = seconds; }
    double timeSampling() const { return timeSampling_; }
    double timeAcq() const { return timeAcq_; }

    // One processed cluster: closes the samples whose end its time has passed, then books it under its class.
    // A class outside the accumulators books no class products but still counts in the run totals.
    // 0, or kCodeTooManySamples (reported, the cluster not booked, the samples left open) when its time lies so
    // far ahead that the run would exceed kMaxSamples; failure() keeps the code and every later call returns it.
    int addCluster(int classIndex, double tNs, double energyKeV, double size) {
        if (failure_ != 0) return failure_;
        if (tNs > sampleEnd_ * 1e9 && closeSamplesUpTo(tNs) != 0) return failure_;
        if (classIndex >= 0 && static_cast<size_t>(classIndex) < energyCurrent_.size()) {
            energyCurrent_[static_cast<size_t>(classIndex)] += energyKeV;
            rateCurrent_[static_cast<size_t>(classIndex)] += 1.0 / timeSampling_;
        }
        pixelHitsCurrent() += size;
        pixelHits_ += size;
        if (!maskOn_) pixelHitsProc_ += size;
        processed_ += 1.0;
        energy_ += energyKeV;
        return 0;
    }
    // End of the input, with the time of the last cluster: closes the samples it has passed and the final one.
    // 0 or kCodeTooManySamples, as addCluster.
    int finishInput(double tLastNs);
    // The code of the failure that stopped the sample clock, 0 while it runs.
    int failure() const { return failure_; }

    // Class of a cluster from its PIDClass value: with classes, a value that names no class goes to "Others"
    // (the last); without, every cluster is class 0.
    int classOf(double pidValue) const;

    // Called after every sample closes, so that other analyses can close their own samples in step.
    void onSampleClosed(SampleListener listener) { listener_ = std::move(listener); }

    // Run totals, per-sample series and per-class totals from what has been accumulated; overwrites earlier ones.
    void computeTotals();
    // Zeroes the open sample's accumulators; the sample clock is untouched.
    void resetCurrent();

    // Counters kept for the driver, the mask and the coincidence analysis.
    void countSeen() { seen_ += 1.0; }
    void countEdgeSkipped() { ++edgeSkipped_; }
    void countFilteredOut() { filteredOut_ += 1.0; }
    // Clusters whose energy or size is not a finite number are left out of every product; negative ones are kept.
    void countNonFinite() { ++nonFinite_; }
    void countNegative() { ++negative_; }
    void addPixelHitsProc(double hits) { pixelHitsProc_ += hits; }
    void countSampleEvent() { eventsPerSample_.back() += 1.0; }
    void countSampleCoincGroup() { coincGroupsPerSample_.back() += 1.0; }
    void noteLastTime(double ns) { timeLast_ = ns; }

    double clustersSeen() const { return seen_; }
    int edgeSkipped() const { return edgeSkipped_; }
    long long nonFiniteSkipped() const { return nonFinite_; }
    long long negativeKept() const { return negative_; }
    double filteredOut() const { return filteredOut_; }
    double clustersProcessed() const { return processed_; }
    double pixelHits() const { return pixelHits_; }
    double pixelHitsProc() const { return pixelHitsProc_; }
    double energy() const { return energy_; }
    double liveTime() const { return elapsed_; }
    int sampleCount() const { return sampleCount_; }
    double timeLast() const { return timeLast_; }

    double sensorArea() const { return area_; }
    double doseFactor() const { return doseFactor_; }
    double doseRateFactor() const { return doseRateFactor_; }
    double fluxFactor() const { return fluxFactor_; }
    const std::string& doseUnit() const { return doseUnit_; }
    const std::string& doseRateUnit() const { return doseRateUnit_; }
    size_t classSlots() const { return energyCurrent_.size(); }

    // The open sample. `interval` is the period in seconds the accumulators were filled over; 0 means one
    // sampling time.
    double currentCount() const;
    double currentCountRate(double interval) const;
    double currentEnergy() const;
    double currentDose() const;
    double currentDoseRate(double interval) const;
    double currentFluence() const;
    double currentFlux(double interval) const;
    std::vector<double> currentCountClass() const;
    std::vector<double> currentCountRateClass(double interval) const;
    std::vector<double> currentEnergyClass() const { return energyCurrent_; }
    std::vector<double> currentDoseClass() const;
    std::vector<double> currentDoseRateClass(double interval) const;
    std::vector<double> currentFluenceClass() const;
    std::vector<double> currentFluxClass(double interval) const;

    // Run totals (after computeTotals).
    double countRate() const { return countRate_; }
    double pixelHitRate() const { return pixelHitRate_; }
    double fluence() const { return fluence_; }
    double flux() const { return flux_; }
    double dose() const { return dose_; }
    double doseRate() const { return doseRate_; }

    // One value per closed sample. The pixel-hit, event and coincidence-group lists carry the open sample last
    // until the input ends.
    const std::vector<double>& elapsedTimes() const { return elapsedTimes_; }
    const std::vector<double>& samplingTimes() const { return samplingTimes_; }
    const std::vector<double>& nominalEnds() const { return nominalEnds_; }
    const std::vector<double>& pixelHitsPerSample() const { return pixelHitsPerSample_; }
    const std::vector<double>& eventsPerSample() const { return eventsPerSample_; }
    const std::vector<double>& coincGroupsPerSample() const { return coincGroupsPerSample_; }
    const std::vector<double>& countPerSample() const { return countSample_; }
    const std::vector<double>& countRatePerSample() const { return countRateSample_; }
    const std::vector<double>& energyPerSample() const { return energySample_; }
    const std::vector<double>& dosePerSample() const { return doseSample_; }
    const std::vector<double>& doseRatePerSample() const { return doseRateSample_; }
    const std::vector<double>& fluencePerSample() const { return fluenceSample_; }
    const std::vector<double>& fluxPerSample() const { return fluxSample_; }

    // Per sample and class, stored [sample][class].
    const SampleTable& countTable() const { return countTable_; }
    const SampleTable& countRateTable() const { return rateTable_; }
    const SampleTable& energyTable() const { return energyTable_; }
    const SampleTable& doseTable() const { return doseTable_; }
    const SampleTable& doseRateTable() const { return doseRateTable_; }
    const SampleTable& fluenceTable() const { return fluenceTable_; }
    const SampleTable& fluxTable() const { return fluxTable_; }
    // The same turned to [class][sample]; empty before the first closed sample.
    SampleTable countByClass() const { return transposed(countTable_); }
    SampleTable countRateByClass() const { return transposed(rateTable_); }
    SampleTable energyByClass() const { return transposed(energyTable_); }
    SampleTable doseByClass() const { return transposed(doseTable_); }
    SampleTable doseRateByClass() const { return transposed(doseRateTable_); }
    SampleTable fluenceByClass() const { return transposed(fluenceTable_); }
    SampleTable fluxByClass() const { return transposed(fluxTable_); }
    static SampleTable transposed(const SampleTable& table);

    // Per class over the whole run, "Others" last.
    const std::vector<double>& countClass() const { return countClass_; }
    const std::vector<double>& countRateClass() const { return countRateClass_; }
    const std::vector<double>& fluenceClass() const { return fluenceClass_; }
    const std::vector<double>& fluxClass() const { return fluxClass_; }
    const std::vector<double>& energyClass() const { return energyClass_; }
    const std::vector<double>& doseClass() const { return doseClass_; }
    const std::vector<double>& doseRateClass() const { return doseRateClass_; }

private:
    double& pixelHitsCurrent() { return pixelHitsPerSample_.back(); }
    int closeSamplesUpTo(double tNs);
    void closeSample(bool final, double tFinalNs);
    void computeSampleSeries();
    void computeClassTotals(double live);
    double scaledRate(double interval) const;
    double perArea(double count) const;

    MessageTarget to_{};
    SampleListener listener_;

    double area_ = 1.982464;
    double fluxFactor_ = 1.0 / 1.982464;
    double doseFactor_ = 0.0;
    double doseRateFactor_ = 0.0;
    std::string doseUnit_ = "uGy+1";
    std::string doseRateUnit_ = "uGy+1 h-1";
    bool maskOn_ = false;

    double timeSampling_ = 1.0;
    double timeFirst_ = -1.0;
    double timeAcq_ = -1.0;
    double sampleEnd_ = -1.0;
    double elapsed_ = 0.0;
    int sampleCount_ = 0;
    double timeLast_ = 0.0;
    bool started_ = false;
    int failure_ = 0;

    double seen_ = 0.0;
    double processed_ = 0.0;
    double pixelHits_ = 0.0;
    double pixelHitsProc_ = 0.0;
    double energy_ = 0.0;
    double filteredOut_ = 0.0;
    int edgeSkipped_ = 0;
    long long nonFinite_ = 0;
    long long negative_ = 0;

    std::vector<double> rateCurrent_ = std::vector<double>(1, 0.0);
    std::vector<double> energyCurrent_ = std::vector<double>(1, 0.0);

    std::vector<double> elapsedTimes_, samplingTimes_, nominalEnds_;
    std::vector<double> pixelHitsPerSample_ = std::vector<double>(1, 0.0);
    std::vector<double> eventsPerSample_ = std::vector<double>(1, 0.0);
    std::vector<double> coincGroupsPerSample_ = std::vector<double>(1, 0.0);
    SampleTable rateTable_, energyTable_;
    SampleTable countTable_, doseTable_, doseRateTable_, fluenceTable_, fluxTable_;

    double countRate_ = 0.0, pixelHitRate_ = 0.0, fluence_ = 0.0, flux_ = 0.0, dose_ = 0.0, doseRate_ = 0.0;
    std::vector<double> countSample_, countRateSample_, energySample_, doseSample_, doseRateSample_, fluenceSample_,
        fluxSample_;
    std::vector<double> countClass_, countRateClass_, fluenceClass_, fluxClass_, energyClass_, doseClass_,
        doseRateClass_;
};

}  // namespace zel
