// The exported functions: a thin facade that checks the one engine exists, forwards to it and copies results out.
#include "zel/ZEL_API.h"

#include <memory>
#include <stdexcept>

#include "engine/Engine.h"

namespace zel {
namespace {

std::unique_ptr<Engine> gEngine;

// Runs `work` on the engine, or returns `absent` when there is none.
template <typename Result, typename Work>
Result withEngine(Result absent, Work work) {
    if (!gEngine) return absent;
    return work(*gEngine);
}

template <typename Work>
int setting(Work work) {
    return withEngine(-1, [&](Engine& e) {
        work(e.settings());
        return 0;
    });
}

template <typename Value>
int current(Value& out, Value value) {
    out = std::move(value);
    return 0;
}

}  // namespace

int construct() {
    if (gEngine) return -1;
    gEngine = std::make_unique<Engine>();
    return 0;
}

int destruct() {
    if (!gEngine) return -1;
    gEngine.reset();
    return 0;
}

int loadParamFile(std::string path, std::string name) {
    return withEngine(-1, [&](Engine& e) { return e.loadParamFile(path + name); });
}

int init() {
    return withEngine(-1, [](Engine& e) {
        try {
            return e.initialise();
        } catch (const std::runtime_error& error) {
            return codeFromRaised(error, -1036);
        }
    });
}

int processFile(std::string, std::string, std::string) {
    return withEngine(-1, [](Engine& e) { return e.runFiles(); });
}

int processClusters(std::vector<std::vector<double>> clusters) {
    return withEngine(-1, [&](Engine& e) { return e.processClusters(clusters); });
}

int reset() { return withEngine(-1, [](Engine& e) { return e.reset(); }); }

int resetCurrDataStorage() {
    return withEngine(-1, [](Engine& e) {
        e.resetCurrent();
        return 0;
    });
}

int print() {
    return withEngine(-1, [](Engine& e) {
        e.printReport();
        return 0;
    });
}

std::string version() { return withEngine(std::string(), [](Engine& e) { return e.version(); }); }

int setFileInPath(std::string path) { return setting([&](Settings& s) { s.FileInPath = std::move(path); }); }
int setFileOutPath(std::string path) { return setting([&](Settings& s) { s.FileOutPath = std::move(path); }); }
int setModelPath(std::string path) { return setting([&](Settings& s) { s.ModelPath = std::move(path); }); }
int setFileInNames(std::vector<std::string> names) {
    return setting([&](Settings& s) { s.FileInNames = std::move(names); });
}
int setClusterVarOrder(std::vector<std::string> names) {
    return withEngine(-1, [&](Engine& e) {
        e.variables().setOrder(std::move(names));
        return 0;
    });
}
int setTimeSampling(double seconds) {
    return withEngine(-1, [&](Engine& e) {
        const int code = e.products().setTimeSampling(seconds);
        if (code == 0) e.settings().TimeSampling = seconds;
        return code;
    });
}
int setTimeAcquisition(double seconds) {
    return withEngine(-1, [&](Engine& e) {
        e.settings().TimeAcq = seconds;
        e.products().setTimeAcq(seconds);
        return 0;
    });
}
int setDoExportClist(bool on) { return setting([&](Settings& s) { s.DoExportCList = on; }); }
int setDoExportGraphics(bool on) { return setting([&](Settings& s) { s.DoExportGraphics = on; }); }
int setDoLog(bool on) { return setting([&](Settings& s) { s.DoLog = on; }); }
int setDoPrint(bool on) { return setting([&](Settings& s) { s.DoPrint = on; }); }
int setComCamProjectionDist(double distance) { return setting([&](Settings& s) { s.ComCamProjectionDist = distance; }); }

std::string getFileInPath() { return withEngine(std::string(), [](Engine& e) { return e.settings().FileInPath; }); }
std::string getFileOutPath() { return withEngine(std::string(), [](Engine& e) { return e.settings().FileOutPath; }); }
bool getDoExportClist() { return withEngine(false, [](Engine& e) { return e.settings().DoExportCList; }); }
double getSamplingTime() { return withEngine(-1.0, [](Engine& e) { return e.settings().TimeSampling; }); }
std::vector<std::string> getPIDClassNames() {
    return withEngine(std::vector<std::string>(), [](Engine& e) { return e.run().classNames; });
}

double getCountParticle() { return withEngine(-1.0, [](Engine& e) { return e.products().clustersProcessed(); }); }
double getCountRate() { return withEngine(-1.0, [](Engine& e) { return e.products().countRate(); }); }
double getEnergyDep() { return withEngine(-1.0, [](Engine& e) { return e.products().energy(); }); }
double getDose() { return withEngine(-1.0, [](Engine& e) { return e.products().dose(); }); }
double getDoseRate() { return withEngine(-1.0, [](Engine& e) { return e.products().doseRate(); }); }
double getFluence() { return withEngine(-1.0, [](Engine& e) { return e.products().fluence(); }); }
double getFlux() { return withEngine(-1.0, [](Engine& e) { return e.products().flux(); }); }

using Series = std::vector<double>;
Series getCountParticleTime() { return withEngine(Series(), [](Engine& e) { return e.products().countPerSample(); }); }
Series getCountRateTime() { return withEngine(Series(), [](Engine& e) { return e.products().countRatePerSample(); }); }
Series getEnergyDepTime() { return withEngine(Series(), [](Engine& e) { return e.products().energyPerSample(); }); }
Series getDoseTime() { return withEngine(Series(), [](Engine& e) { return e.products().dosePerSample(); }); }
Series getDoseRateTime() { return withEngine(Series(), [](Engine& e) { return e.products().doseRatePerSample(); }); }
Series getFluenceTime() { return withEngine(Series(), [](Engine& e) { return e.products().fluencePerSample(); }); }
Series getFluxTime() { return withEngine(Series(), [](Engine& e) { return e.products().fluxPerSample(); }); }
Series getElapsedTimes() { return withEngine(Series(), [](Engine& e) { return e.products().elapsedTimes(); }); }

Matrix getCountParticleTimeClass() { return withEngine(Matrix(), [](Engine& e) { return e.products().countByClass(); }); }
Matrix getCountRateTimeClass() { return withEngine(Matrix(), [](Engine& e) { return e.products().countRateByClass(); }); }
Matrix getEnergyDepTimeClass() { return withEngine(Matrix(), [](Engine& e) { return e.products().energyByClass(); }); }
Matrix getDoseTimeClass() { return withEngine(Matrix(), [](Engine& e) { return e.products().doseByClass(); }); }
Matrix getDoseRateTimeClass() { return withEngine(Matrix(), [](Engine& e) { return e.products().doseRateByClass(); }); }
Matrix getFluenceTimeClass() { return withEngine(Matrix(), [](Engine& e) { return e.products().fluenceByClass(); }); }
Matrix getFluxTimeClass() { return withEngine(Matrix(), [](Engine& e) { return e.products().fluxByClass(); }); }

int getCurrentCountParticle(double& value) {
    return withEngine(-1, [&](Engine& e) { return current(value, e.products().currentCount()); });
}
int getCurrentCountRate(double& value, double interval) {
    return withEngine(-1, [&](Engine& e) { return current(value, e.products().currentCountRate(interval)); });
}
int getCurrentEnergyDep(double& value) {
    return withEngine(-1, [&](Engine& e) { return current(value, e.products().currentEnergy()); });
}
int getCurrentDose(double& value) {
    return withEngine(-1, [&](Engine& e) { return current(value, e.products().currentDose()); });
}
int getCurrentDoseRate(double& value, double interval) {
    return withEngine(-1, [&](Engine& e) { return current(value, e.products().currentDoseRate(interval)); });
}
int getCurrentFluence(double& value) {
    return withEngine(-1, [&](Engine& e) { return current(value, e.products().currentFluence()); });
}
int getCurrentFlux(double& value, double interval) {
    return withEngine(-1, [&](Engine& e) { return current(value, e.products().currentFlux(interval)); });
}
int getCurrentCountParticleClass(std::vector<double>& values) {
    return withEngine(-1, [&](Engine& e) { return current(values, e.products().currentCountClass()); });
}
int getCurrentCountRateClass(std::vector<double>& values, double interval) {
    return withEngine(-1, [&](Engine& e) { return current(values, e.products().currentCountRateClass(interval)); });
}
int getCurrentEnergyDepClass(std::vector<double>& values) {
    return withEngine(-1, [&](Engine& e) { return current(values, e.products().currentEnergyClass()); });
}
int getCurrentDoseClass(std::vector<double>& values) {
    return withEngine(-1, [&](Engine& e) { return current(values, e.products().currentDoseClass()); });
}
int getCurrentDoseRateClass(std::vector<double>& values, double interval) {
    return withEngine(-1, [&](Engine& e) { return current(values, e.products().currentDoseRateClass(interval)); });
}
int getCurrentFluenceClass(std::vector<double>& values) {
    return withEngine(-1, [&](Engine& e) { return current(values, e.products().currentFluenceClass()); });
}
int getCurrentFluxClass(std::vector<double>& values, double interval) {
    return withEngine(-1, [&](Engine& e) { return current(values, e.products().currentFluxClass(interval)); });
}

// Histograms, sensor maps, field recognition and Compton imaging answer from their modules; until those modules
// exist the engine holds nothing for them and the answers are empty.
Matrix getHist1DAll(std::string variable) {
    return withEngine(Matrix(), [&](Engine& e) { return e.hist1DAll(variable); });
}
Matrix getHist2DAll(std::vector<std::string> variables) {
    return withEngine(Matrix(), [&](Engine& e) { return e.hist2DAll(variables); });
}
Matrix sensMatrixInt() { return withEngine(Matrix(), [](Engine& e) { return e.sensorMapIntegrated(); }); }
Matrix sensMatrixSample() { return withEngine(Matrix(), [](Engine& e) { return e.sensorMapSample(); }); }

int radFieldRecognition(std::string& name, double& score) {
    return withEngine(-1, [&](Engine& e) { return e.radFieldRecognition(name, score); });
}
int getComCamProjection(std::vector<double>& projection) {
    return withEngine(-1, [&](Engine& e) { return e.comptonProjection(projection); });
}
int getComCamTestProjection(std::vector<double>& projection) {
    return withEngine(-1, [&](Engine& e) { return e.comptonTestProjection(projection); });
}
int getComCamProjectionMaxVal(double& value) {
    return withEngine(-1, [&](Engine& e) {
        value = e.comptonProjectionMax();
        return 0;
    });
}
int getComCamProjectionNBins(int& nx, int& ny) {
    return withEngine(-1, [&](Engine& e) {
        e.comptonProjectionBins(nx, ny);
        return 0;
    });
}

}  // namespace zel
