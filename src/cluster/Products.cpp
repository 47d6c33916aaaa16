#include "cluster/Products.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace zel {
namespace {

// Area of a 256 x 256 matrix of 55 um pixels over the keV-to-uGy constant; fixed, it does not follow the sensor.
constexpr double kDoseConstant = 1237.3618279678;
constexpr double kDoseConstantRadiology = 1237361827.9678;
constexpr double kSecondsPerHour = 3600.0;

struct MaterialDensity {
    std::string_view material;
    double density;  // g/cm3
};
constexpr MaterialDensity kDensities[] = {{"Si", 2.329}, {"CdTe", 5.85}, {"GaAs", 5.3176}};
constexpr double kDefaultDensity = 2.329;

double densityOf(const ProductSetup& setup) {
    if (setup.sensorDensity != -1.0) return setup.sensorDensity;
    for (const auto& entry : kDensities) {
        if (entry.material == setup.sensorMaterial) return entry.density;
    }
    return kDefaultDensity;
}

// A product of a factor that is not positive reads 0.
double byFactor(double factor, double value) { return factor > 0 ? factor * value : 0.0; }

// A rate over a period of zero length reads -1.
double perTime(double value, double seconds) { return seconds == 0 ? -1.0 : value / seconds; }

double sum(const std::vector<double>& values) { return std::accumulate(values.begin(), values.end(), 0.0); }

bool isUsableTimeSampling(double seconds) {
    return std::isfinite(seconds) && seconds >= Products::kMinTimeSampling;
}

int refuseTimeSampling(const MessageTarget& to, double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", seconds);
    printErrorCode(to,
                   std::string("TimeSampling must be a finite number of seconds of at least 1e-09 (one nanosecond), "
                               "got ") +
                       text + ".",
                   Products::kCodeBadTimeSampling);
    return Products::kCodeBadTimeSampling;
}

}  // namespace

int Products::setTimeSampling(double seconds) {
    if (!isUsableTimeSampling(seconds)) return refuseTimeSampling(to_, seconds);
    timeSampling_ = seconds;
    return 0;
}

int Products::setup(const ProductSetup& setup, const MessageTarget& to) {
    to_ = to;
    const int result = isUsableTimeSampling(setup.timeSampling) ? 0 : refuseTimeSampling(to, setup.timeSampling);
    if (result == 0) timeSampling_ = setup.timeSampling;
    timeAcq_ = setup.timeAcq;
    failure_ = 0;

    area_ = setup.sensorAreaCm2;
    fluxFactor_ = 1.0 / area_;
    const double densityThickness = densityOf(setup) * setup.sensorThicknessUm;
    if (setup.radiologyUnits) {
        doseFactor_ = 1.0 / (densityThickness * kDoseConstantRadiology);
        doseRateFactor_ = doseFactor_;
        doseUnit_ = "Gy+1";
        doseRateUnit_ = "Gy+1 s-1";
    } else {
        doseFactor_ = 1.0 / (densityThickness * kDoseConstant);
        doseRateFactor_ = doseFactor_ * kSecondsPerHour;
        doseUnit_ = "uGy+1";
        doseRateUnit_ = "uGy+1 h-1";
    }
    maskOn_ = setup.maskOn;
    if (maskOn_) applyMaskFactor(setup.maskFactor);

    seen_ = processed_ = pixelHits_ = pixelHitsProc_ = energy_ = filteredOut_ = 0.0;
    nonFinite_ = negative_ = 0;
    countRate_ = pixelHitRate_ = fluence_ = flux_ = dose_ = doseRate_ = 0.0;
    elapsed_ = 0.0;
    sampleCount_ = 0;

    const size_t slots = setup.classCount > 0 ? static_cast<size_t>(setup.classCount) + 1 : 1;
    rateCurrent_.assign(slots, 0.0);
    energyCurrent_.assign(slots, 0.0);

    for (auto* list : {&elapsedTimes_, &samplingTimes_, &nominalEnds_, &countSample_, &countRateSample_,
                       &energySample_, &doseSample_, &doseRateSample_, &fluenceSample_, &fluxSample_, &countClass_,
                       &countRateClass_, &fluenceClass_, &fluxClass_, &energyClass_, &doseClass_, &doseRateClass_})
        list->clear();
    for (auto* list : {&pixelHitsPerSample_, &eventsPerSample_, &coincGroupsPerSample_}) list->assign(1, 0.0);
    for (auto* table : {&rateTable_, &energyTable_, &countTable_, &doseTable_, &doseRateTable_, &fluenceTable_,
                        &fluxTable_})
        table->clear();
    return result;
}

void Products::applyMaskFactor(double k) {
    doseFactor_ *= k;
    doseRateFactor_ *= k;
    fluxFactor_ *= k;
    area_ /= k;
}

void Products::beginBatch(ClusterBatch& batch, int tColumn, bool frameBased) {
    if (batch.empty()) return;
    const bool hasTime = tColumn >= 0 && static_cast<size_t>(tColumn) < batch.width();
    const size_t t = hasTime ? static_cast<size_t>(tColumn) : 0;
    if (!started_) {
        if (timeFirst_ == -1.0) timeFirst_ = 0.0;
        sampleEnd_ = timeFirst_ * 1e-9 + timeSampling_;
        if (frameBased && hasTime) timeFirst_ = batch.at(0, t);
        started_ = true;
    }
    if (!hasTime) return;
    if (timeFirst_ == -1.0) timeFirst_ = batch.at(0, t);
    if (frameBased) {
        for (size_t r = 0; r < batch.size(); ++r) batch.at(r, t) -= timeFirst_;
    }
}

int Products::classOf(double pidValue) const {
    const int others = static_cast<int>(energyCurrent_.size()) - 1;
    if (others == 0) return 0;
    // Truncation toward zero is the conversion of a stored class number; NaN and anything out of range is no class.
    if (!(pidValue > -1.0 && pidValue < static_cast<double>(others))) return others;
    return static_cast<int>(pidValue);
}

int Products::closeSamplesUpTo(double tNs) {
    const double jumpNs = tNs - sampleEnd_ * 1e9;
    const double passed = std::floor(jumpNs / (timeSampling_ * 1e9));
    // Every sample the jump passes is closed one by one, empty ones too: a jump beyond the limit would run for
    // ever (or until memory runs out), so it stops the run instead. The final sample needs one more place.
    const double room = static_cast<double>(kMaxSamples - sampleCount_) - 1.0;
    if (!(passed + 1.0 <= room)) {
        char text[400];
        std::snprintf(text, sizeof text,
                      "Cluster %.0f of the run, at T = %.9g s, lies %.6g s after the end of the open time sample: it "
                      "would close %.6g more samples of TimeSampling = %g s, beyond the limit of %d samples of a run "
                      "(%d closed so far). Use a larger TimeSampling.",
                      processed_ + 1.0, tNs * 1e-9, jumpNs * 1e-9, passed + 1.0, timeSampling_, kMaxSamples,
                      sampleCount_);
        failure_ = kCodeTooManySamples;
        printErrorCode(to_, text, failure_);
        return failure_;
    }
    for (double i = 0; i <= passed; ++i) closeSample(false, tNs);
    return 0;
}

int Products::finishInput(double tLastNs) {
    if (failure_ != 0) return failure_;
    if (tLastNs >= sampleEnd_ * 1e9 && closeSamplesUpTo(tLastNs) != 0) return failure_;
    closeSample(true, tLastNs);
    return 0;
}

void Products::closeSample(bool final, double tFinalNs) {
    ++sampleCount_;
    const double length = final ? tFinalNs * 1e-9 - (sampleEnd_ - timeSampling_) : timeSampling_;
    elapsed_ += length;
    if (elapsed_ == 0.0) elapsed_ = timeSampling_;
    nominalEnds_.push_back(static_cast<double>(elapsedTimes_.size() + 1) * timeSampling_);
    elapsedTimes_.push_back(elapsed_);
    samplingTimes_.push_back(timeSampling_);
    rateTable_.push_back(rateCurrent_);
    energyTable_.push_back(energyCurrent_);
    if (!final) {
        pixelHitsPerSample_.push_back(0.0);
        eventsPerSample_.push_back(0.0);
        coincGroupsPerSample_.push_back(0.0);
    }
    if (listener_) listener_(length, final);
    sampleEnd_ += timeSampling_;
    resetCurrent();

    char line[96];
    std::snprintf(line, sizeof line, "%d\t\t%0.2f\t\t\t%0.0f", sampleCount_, elapsed_, processed_);
    printMsg(to_, line);
}

void Products::resetCurrent() {
    std::fill(rateCurrent_.begin(), rateCurrent_.end(), 0.0);
    std::fill(energyCurrent_.begin(), energyCurrent_.end(), 0.0);
}

void Products::computeTotals() {
    if (timeAcq_ > 0) elapsed_ = timeAcq_;
    const double live = elapsed_;

    countRate_ = perTime(processed_, live);
    pixelHitRate_ = perTime(pixelHits_, live);
    flux_ = perTime(processed_ * fluxFactor_, live);
    fluence_ = perArea(processed_);
    dose_ = byFactor(doseFactor_, energy_);
    doseRate_ = live == 0 ? -1.0 : byFactor(doseRateFactor_, energy_ / live);

    computeSampleSeries();
    computeClassTotals(live);
}

void Products::computeSampleSeries() {
    const size_t samples = rateTable_.size();
    for (auto* table : {&countTable_, &doseTable_, &doseRateTable_, &fluenceTable_, &fluxTable_}) {
        table->resize(samples);
    }
    for (auto* list : {&countSample_, &countRateSample_, &energySample_, &doseSample_, &doseRateSample_,
                       &fluenceSample_, &fluxSample_})
        list->resize(samples);

    for (size_t s = 0; s < samples; ++s) {
        const double sampling = samplingTimes_[s];
        const auto& rates = rateTable_[s];
        const auto& energies = energyTable_[s];
        for (auto* table : {&countTable_, &doseTable_, &doseRateTable_, &fluenceTable_, &fluxTable_}) {
            (*table)[s].resize(rates.size());
        }
        for (size_t c = 0; c < rates.size(); ++c) {
            const double count = rates[c] * sampling;
            countTable_[s][c] = count;
            fluenceTable_[s][c] = perArea(count);
            fluxTable_[s][c] = rates[c] * fluxFactor_;
            doseTable_[s][c] = byFactor(doseFactor_, energies[c]);
            doseRateTable_[s][c] = sampling == 0 ? -1.0 : byFactor(doseRateFactor_, energies[c] / sampling);
        }
        const double count = sum(countTable_[s]);
        const double energy = sum(energies);
        countSample_[s] = count;
        countRateSample_[s] = perTime(count, sampling);
        fluenceSample_[s] = perArea(count);
        fluxSample_[s] = countRateSample_[s] * fluxFactor_;
        energySample_[s] = energy;
        doseSample_[s] = byFactor(doseFactor_, energy);
        doseRateSample_[s] = sampling == 0 ? -1.0 : byFactor(doseRateFactor_, energy / sampling);
    }
}

void Products::computeClassTotals(double live) {
    const size_t classes = energyCurrent_.size();
    for (auto* list :
         {&countClass_, &countRateClass_, &fluenceClass_, &fluxClass_, &energyClass_, &doseClass_, &doseRateClass_})
        list->assign(classes, 0.0);

    for (size_t s = 0; s < countTable_.size(); ++s) {
        for (size_t c = 0; c < classes && c < countTable_[s].size(); ++c) {
            countClass_[c] += countTable_[s][c];
            energyClass_[c] += energyTable_[s][c];
        }
    }
    for (size_t c = 0; c < classes; ++c) {
        countRateClass_[c] = live == 0 ? -1.0 : (live < 0 ? 0.0 : countClass_[c] / live);
        fluenceClass_[c] = perArea(countClass_[c]);
        fluxClass_[c] = byFactor(fluxFactor_, countRateClass_[c]);
        doseClass_[c] = byFactor(doseFactor_, energyClass_[c]);
        doseRateClass_[c] = live == 0 ? -1.0 : byFactor(doseRateFactor_, energyClass_[c] / live);
    }
}

SampleTable Products::transposed(const SampleTable& table) {
    if (table.empty()) return {};
    const size_t columns = table.front().size();
    SampleTable result(columns, std::vector<double>(table.size(), 0.0));
    for (size_t s = 0; s < table.size(); ++s) {
        for (size_t c = 0; c < columns && c < table[s].size(); ++c) result[c][s] = table[s][c];
    }
    return result;
}

double Products::perArea(double count) const { return area_ > 0 ? count / area_ : 0.0; }

double Products::scaledRate(double interval) const {
    return interval == 0 ? 1.0 : timeSampling_ / interval;
}

double Products::currentCount() const { return sum(rateCurrent_) * timeSampling_; }

double Products::currentCountRate(double interval) const { return sum(rateCurrent_) * scaledRate(interval); }

double Products::currentEnergy() const { return sum(energyCurrent_); }

double Products::currentDose() const { return byFactor(doseFactor_, currentEnergy()); }

double Products::currentDoseRate(double interval) const {
    const double seconds = interval == 0 ? timeSampling_ : interval;
    return seconds == 0 ? 0.0 : byFactor(doseRateFactor_, currentEnergy() / seconds);
}

double Products::currentFluence() const { return perArea(currentCount()); }

double Products::currentFlux(double interval) const { return byFactor(fluxFactor_, currentCountRate(interval)); }

std::vector<double> Products::currentCountClass() const {
    std::vector<double> result(rateCurrent_);
    for (double& value : result) value *= timeSampling_;
    return result;
}

std::vector<double> Products::currentCountRateClass(double interval) const {
    std::vector<double> result(rateCurrent_);
    for (double& value : result) value *= scaledRate(interval);
    return result;
}

std::vector<double> Products::currentDoseClass() const {
    std::vector<double> result(energyCurrent_);
    for (double& value : result) value = byFactor(doseFactor_, value);
    return result;
}

std::vector<double> Products::currentDoseRateClass(double interval) const {
    const double seconds = interval == 0 ? timeSampling_ : interval;
    std::vector<double> result(energyCurrent_);
    for (double& value : result) value = seconds == 0 ? 0.0 : byFactor(doseRateFactor_, value / seconds);
    return result;
}

std::vector<double> Products::currentFluenceClass() const {
    std::vector<double> result = currentCountClass();
    for (double& value : result) value = perArea(value);
    return result;
}

std::vector<double> Products::currentFluxClass(double interval) const {
    std::vector<double> result = currentCountRateClass(interval);
    for (double& value : result) value = byFactor(fluxFactor_, value);
    return result;
}

}  // namespace zel
