"""The 72 functions of the library under their own names, so that a C++ host translates line by line.

Differences that Python imposes: vectors come back as numpy arrays (a list of rows as a 2D array, or a list of
arrays when the rows differ in length), and functions with out-arguments return a tuple that starts with the
code, for example ``code, value = getCurrentDoseRate(0.0)``. A runtime error raised by the engine becomes
``zel.ZelError`` with its code.
"""
from . import _core

FUNCTIONS = (
    # lifecycle and control
    "construct", "destruct", "loadParamFile", "init", "processFile", "processClusters", "reset",
    "resetCurrDataStorage", "print", "version",
    # setters
    "setFileInPath", "setFileOutPath", "setModelPath", "setFileInNames", "setClusterVarOrder", "setTimeSampling",
    "setTimeAcquisition", "setDoExportClist", "setDoExportGraphics", "setDoLog", "setDoPrint",
    "setComCamProjectionDist",
    # simple getters
    "getFileInPath", "getFileOutPath", "getDoExportClist", "getSamplingTime", "getPIDClassNames",
    # totals
    "getCountParticle", "getCountRate", "getEnergyDep", "getDose", "getDoseRate", "getFluence", "getFlux",
    # time series
    "getCountParticleTime", "getCountRateTime", "getEnergyDepTime", "getDoseTime", "getDoseRateTime",
    "getFluenceTime", "getFluxTime", "getElapsedTimes",
    # per-class time series
    "getCountParticleTimeClass", "getCountRateTimeClass", "getEnergyDepTimeClass", "getDoseTimeClass",
    "getDoseRateTimeClass", "getFluenceTimeClass", "getFluxTimeClass",
    # current values
    "getCurrentCountParticle", "getCurrentCountRate", "getCurrentEnergyDep", "getCurrentDose",
    "getCurrentDoseRate", "getCurrentFluence", "getCurrentFlux", "getCurrentCountParticleClass",
    "getCurrentCountRateClass", "getCurrentEnergyDepClass", "getCurrentDoseClass", "getCurrentDoseRateClass",
    "getCurrentFluenceClass", "getCurrentFluxClass",
    # histograms, sensor maps, field recognition and Compton imaging
    "getHist1DAll", "getHist2DAll", "sensMatrixInt", "sensMatrixSample", "radFieldRecognition",
    "getComCamProjection", "getComCamTestProjection", "getComCamProjectionMaxVal", "getComCamProjectionNBins",
)

globals().update({name: getattr(_core, name) for name in FUNCTIONS})
__all__ = list(FUNCTIONS)
