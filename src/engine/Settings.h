#pragma once
// Every engine setting as one plain member, named like the first key of its parameter-file line. The member
// initialisers are the one place where defaults live; paths end with the platform's directory separator.
#include <string>
#include <vector>

#include "common/Messages.h"
#include "common/Paths.h"

namespace zel {

struct Settings {
    // Inputs.
    std::string FileInPath;
    std::string FileInName;
    std::string FileInNameEnd;
    int FileInCount = -1;
    bool DoMultiFile = false;
    std::vector<std::string> FileInNames;  // explicit input-name list (several FileInName values or the setter)

    // Output directory and results lists. The "FileOutName" keys set SamplingListName.
    std::string FileOutPath = currentDirPrefix();
    std::string SamplingListBaseName = "SamplingList";
    std::string SamplingListName = "SamplingList.txt";
    std::string SamplingListPath;
    std::string SamplingListJsonName = "SamplingList.json";
    std::string SamplingListJsonPath;
    std::string FrameListBaseName = "FrameList";
    std::string FrameListName = "FrameList.txt";
    std::string FrameListJsonName = "FrameList.json";
    std::string CoincEventListBaseName = "CoincEventList";
    std::string CoincEventListName = "CoincEventList.txt";
    std::string CoincEventListJsonName = "CoincEventList.json";
    std::string RadFieldRecogListBaseName = "RadFieldRecogList";
    std::string RadFieldRecogListName = "RadFieldRecogList.txt";
    std::string RadFieldRecogListJsonName = "RadFieldRecogList.json";
    std::string DirectionListBaseName = "DirectionList";
    std::string DirectionListName = "DirectionList.txt";
    std::string DirectionListJsonName = "DirectionList.json";
    std::string ComptonListBaseName = "ComptonList";
    std::string ComptonListName = "ComptonList.txt";
    std::string ComptonListJsonName = "ComptonList.json";

    // Log and console.
    std::string LogName = "LogFile.txt";
    std::string LogPath = currentDirPrefix();
    bool DoLog = true;
    bool DoLogDateTime = true;
    bool DoLogVersion = true;
    bool DoLogClustererCmd = false;
    bool DoPrint = true;

    // Run control.
    bool DoCheckPrereq = true;
    bool DoAbortAfterFileRec = false;
    bool DoAbortAfterParamRead = false;
    bool DoRemoveTempDirAtStart = true;
    bool DoCreateExportDir = true;
    bool DoExportText = true;

    // Graphics.
    bool DoExportGraphics = true;
    bool DoSkipCreateGraphics = false;
    bool DoGraphicsMultiThread = true;
    double GraphicsMultiThreadFileSize = 3000000.0;
    int Hist1DGraphicsRebin = 0;
    int ClusterImageCount = 15;
    int ClusterCountInSensImage = 100;
    bool DoWeb = false;

    // External clusterer and its lists.
    std::string ClustererName = "clusterer";
    std::string ClustererPath = currentDirPrefix();
    bool DoRunClusterer = true;
    bool DoRunClustererCmd = true;
    bool DoClustererLog = true;
    bool DoClustererExtElist = true;
    bool DoCreateClog = true;
    std::string ClogOutName = "ClusterLog";
    bool DoRemoveOldElist = true;
    bool DoReprocElist = true;
    bool DoCreateElistExt = true;
    bool DoRemoveElist = true;
    bool DoExportElistExtFilter = true;
    bool DoExportElistExtSensEdge = true;
    std::string ElistOutName = "EventList";
    std::string ElistExtOutName;
    bool DoExportCList = false;
    std::string CListName = "CList";
    std::string CListExtName;
    bool DoRemoveClist = true;
    bool DoExportClistExtFilter = true;
    bool DoExportClistExtSensEdge = true;
    std::string CalMat;
    bool IsEnergyCalibrated = false;
    bool DoTpxHighEnergyCorr = false;
    std::string MeasMode;
    bool MeasModeItotCount = false;  // iToT-and-count measurement, set by MeasMode "itot+count"
    bool DoClustererStatFile = true;
    std::string ClustererStatPath;  // empty: the directory the clusterer writes its lists into
    std::string ClustererStatName = "ClustererStatFile.txt";
    int FrameStartNum = 0;
    bool DoClustererDebug = false;

    // Detector.
    std::string ChipType = "TPX";
    std::string SensMat = "Si";
    double SensDens = -1.0;  // g cm-3; -1 takes the material's own density
    double SensThick = 300.0;
    double SensBias = 50.0;
    int SensWidth = 256;
    int SensHeight = 256;
    int DataOriginSwitch = 0;

    // Timing.
    double TimeSampling = 1.0;
    double TimeAcq = -1.0;
    double TimeFirst = -1.0;
    double TimeFrameAcq = 0.0;
    double TimeFrameDead = 0.0;
    bool IsClusterTimeIn_ns = true;
    double TimeCoinc = 100.0;

    // Cluster selection and length correction.
    int ClusterCount = -1;
    double MaxFrameOccupancy = -1.0;
    double MaxPixelCountProc = -1.0;
    int LengthCorr = 1;
    std::string LengthCorrName2D = "LengthCorrStd";    // kept in step with LengthCorr by selectLengthCorr
    std::string LengthCorrName3D = "Length3DCorrStd";
    bool DoIgnoreClusterSensEdge = false;

    // Particle identification.
    bool DoPID = true;
    int PIDAlg = -1;
    int DTSwitch = -1;
    std::string ModelPath = currentDirPrefix() + "Models" + kSeparator;

    // Module configuration files.
    bool DoFilter = true;
    std::string FilterName;
    std::string FilterPath;
    bool DoMask = true;
    std::string MaskName;
    std::string MaskPath;
    bool DoMaskFullPrint = false;
    std::string HistName;
    std::string HistPath;
    bool DoSigVec = true;
    std::string SigVecName;
    std::string SigVecPath;
    bool DoRadFieldRecog = true;
    bool DoRadFieldRecogAfterRun = true;
    std::string RadFieldRecogDatabasePath;
    std::string RadFiledRecogSigVecBaseName = "SigVec";
    std::string RadFiledRecogSigVecEndData = ".vec";
    std::string RadFiledRecogSigVecEndInfo = ".vec_info";
    bool DoDirection = true;
    std::string DirectionName;
    std::string DirectionPath;
    bool DoDirectionTrackCond = false;
    bool DoCompton = true;
    std::string ComptonName;
    std::string ComptonPath;
    double ComCamProjectionDist = 5000.0;
    bool DoCoinc = true;
    std::string CoincName;
    std::string CoincPath;
    bool DoFrame = true;
    std::string DetGeoName;
    std::string DetGeoPath;

    // Sensor maps and dose units.
    bool DoSensMatrixCount = false;
    bool DoSensMatrixPartInteg = true;
    std::string SensMatrixVarName = "Energy";
    std::string SensMatrixVarUnitName = "[keV]";
    int SensMatrixVarIndex = 2;
    bool DoDoseUnitRadiology = false;

    // Export subdirectories below the output directory; DoCreateExportDir off empties the first six.
    std::string ExportDirFile = currentDirPrefix() + "File" + kSeparator;
    std::string ExportDirSpatialMap = currentDirPrefix() + "SpatialMap" + kSeparator;
    std::string ExportDirHist = currentDirPrefix() + "Hist" + kSeparator;
    std::string ExportDirGraph = currentDirPrefix() + "Graph" + kSeparator;
    std::string ExportDirEventVisual = currentDirPrefix() + "EventVisual" + kSeparator;
    std::string ExportDirSigVec = currentDirPrefix() + "SigVec" + kSeparator;
    std::string ExportDirCoincEvent = currentDirPrefix() + "CoincEvent" + kSeparator;
    std::string ExportDirFrame = currentDirPrefix() + "Frame" + kSeparator;
    std::string ExportDirRadFieldRecog = currentDirPrefix() + "RadFieldRecog" + kSeparator;
    std::string ExportDirDirection = currentDirPrefix() + "Direction" + kSeparator;
    std::string ExportDirCompton = currentDirPrefix() + "Compton" + kSeparator;

    // Full name of the last parameter file read.
    std::string ParamFileName;
};

// Sets LengthCorr and the corrected-length variable pair it selects; a value other than 1, 2 or 3 is warned
// about and replaced by 1.
void selectLengthCorr(Settings& settings, int value, const MessageTarget& to);

// Name of the kind of radiation field behind a DataOriginSwitch value.
const char* dataOriginText(int dataOrigin);

}  // namespace zel
