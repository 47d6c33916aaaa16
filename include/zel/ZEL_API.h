#pragma once
// The exported interface of the ZEL_API library: 72 functions that drive the one processing engine.
// Each returns -1 (or -1.0, an empty container, an empty string) when no engine has been constructed.
#include <string>
#include <vector>

#if defined(_WIN32)
#  if defined(ZEL_BUILDING_LIBRARY)
#    define ZEL_EXPORT __declspec(dllexport)
#  else
#    define ZEL_EXPORT __declspec(dllimport)
#  endif
#else
#  define ZEL_EXPORT __attribute__((visibility("default")))
#endif

namespace zel {

using Matrix = std::vector<std::vector<double>>;

// Lifecycle and control
ZEL_EXPORT int construct();
ZEL_EXPORT int destruct();
ZEL_EXPORT int loadParamFile(std::string path, std::string name);
ZEL_EXPORT int init();
ZEL_EXPORT int processFile(std::string, std::string, std::string);
ZEL_EXPORT int processClusters(std::vector<std::vector<double>> clusters);
ZEL_EXPORT int reset();
ZEL_EXPORT int resetCurrDataStorage();
ZEL_EXPORT int print();
ZEL_EXPORT std::string version();

// Setters
ZEL_EXPORT int setFileInPath(std::string path);
ZEL_EXPORT int setFileOutPath(std::string path);
ZEL_EXPORT int setModelPath(std::string path);
ZEL_EXPORT int setFileInNames(std::vector<std::string> names);
ZEL_EXPORT int setClusterVarOrder(std::vector<std::string> names);
ZEL_EXPORT int setTimeSampling(double seconds);
ZEL_EXPORT int setTimeAcquisition(double seconds);
ZEL_EXPORT int setDoExportClist(bool on);
ZEL_EXPORT int setDoExportGraphics(bool on);
ZEL_EXPORT int setDoLog(bool on);
ZEL_EXPORT int setDoPrint(bool on);
ZEL_EXPORT int setComCamProjectionDist(double distance);

// Simple getters
ZEL_EXPORT std::string getFileInPath();
ZEL_EXPORT std::string getFileOutPath();
ZEL_EXPORT bool getDoExportClist();
ZEL_EXPORT double getSamplingTime();
ZEL_EXPORT std::vector<std::string> getPIDClassNames();

// Totals over the whole run
ZEL_EXPORT double getCountParticle();
ZEL_EXPORT double getCountRate();
ZEL_EXPORT double getEnergyDep();
ZEL_EXPORT double getDose();
ZEL_EXPORT double getDoseRate();
ZEL_EXPORT double getFluence();
ZEL_EXPORT double getFlux();

// One value per closed time sample
ZEL_EXPORT std::vector<double> getCountParticleTime();
ZEL_EXPORT std::vector<double> getCountRateTime();
ZEL_EXPORT std::vector<double> getEnergyDepTime();
ZEL_EXPORT std::vector<double> getDoseTime();
ZEL_EXPORT std::vector<double> getDoseRateTime();
ZEL_EXPORT std::vector<double> getFluenceTime();
ZEL_EXPORT std::vector<double> getFluxTime();
ZEL_EXPORT std::vector<double> getElapsedTimes();

// One row per class, each with the values of all samples in time order
ZEL_EXPORT std::vector<std::vector<double>> getCountParticleTimeClass();
ZEL_EXPORT std::vector<std::vector<double>> getCountRateTimeClass();
ZEL_EXPORT std::vector<std::vector<double>> getEnergyDepTimeClass();
ZEL_EXPORT std::vector<std::vector<double>> getDoseTimeClass();
ZEL_EXPORT std::vector<std::vector<double>> getDoseRateTimeClass();
ZEL_EXPORT std::vector<std::vector<double>> getFluenceTimeClass();
ZEL_EXPORT std::vector<std::vector<double>> getFluxTimeClass();

// Current values of the open accumulators; an interval of 0 means the sampling time
ZEL_EXPORT int getCurrentCountParticle(double& value);
ZEL_EXPORT int getCurrentCountRate(double& value, double interval);
ZEL_EXPORT int getCurrentEnergyDep(double& value);
ZEL_EXPORT int getCurrentDose(double& value);
ZEL_EXPORT int getCurrentDoseRate(double& value, double interval);
ZEL_EXPORT int getCurrentFluence(double& value);
ZEL_EXPORT int getCurrentFlux(double& value, double interval);
ZEL_EXPORT int getCurrentCountParticleClass(std::vector<double>& values);
ZEL_EXPORT int getCurrentCountRateClass(std::vector<double>& values, double interval);
ZEL_EXPORT int getCurrentEnergyDepClass(std::vector<double>& values);
ZEL_EXPORT int getCurrentDoseClass(std::vector<double>& values);
ZEL_EXPORT int getCurrentDoseRateClass(std::vector<double>& values, double interval);
ZEL_EXPORT int getCurrentFluenceClass(std::vector<double>& values);
ZEL_EXPORT int getCurrentFluxClass(std::vector<double>& values, double interval);

// Histograms, sensor maps, field recognition and Compton imaging
ZEL_EXPORT std::vector<std::vector<double>> getHist1DAll(std::string variable);
ZEL_EXPORT std::vector<std::vector<double>> getHist2DAll(std::vector<std::string> variables);
ZEL_EXPORT std::vector<std::vector<double>> sensMatrixInt();
ZEL_EXPORT std::vector<std::vector<double>> sensMatrixSample();
ZEL_EXPORT int radFieldRecognition(std::string& name, double& score);
ZEL_EXPORT int getComCamProjection(std::vector<double>& projection);
ZEL_EXPORT int getComCamTestProjection(std::vector<double>& projection);
ZEL_EXPORT int getComCamProjectionMaxVal(double& value);
ZEL_EXPORT int getComCamProjectionNBins(int& nx, int& ny);

}  // namespace zel
