#pragma once
// The Compton camera: a stack of a scatterer and an absorber assembly turns coincidence groups into Compton cones.
// A group whose deposits add up to the photon energy (the energy window) gives pairs of clusters; each pair's
// energies say which cluster was the scatter, the two hit positions give the cone axis. Cones are counted,
// histogrammed by half angle, kept per time sample, written to the cone file and back-projected onto an image plane
// in front of the stack, which the host reads (optionally normalised, contrast-cut and blurred).
//
// Construction cannot fail; init reads the configuration file and the geometry, and every other step refuses to
// work (quietly) until init has succeeded.
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/CoincidenceAnalysis.h"
#include "analysis/ComptonCone.h"
#include "analysis/DetectorSetup.h"
#include "common/ConfigFile.h"
#include "common/Messages.h"
#include "common/OutputText.h"
#include "engine/Module.h"
#include "hist/Hist1D.h"
#include "hist/Hist2D.h"

namespace zel {

class Pictures;

class ClusterVariables;
struct Settings;

class ComptonCamera : public Module {
public:
    static constexpr std::string_view kName = "ComptonCamera";
    static constexpr std::string_view kVersion = "1.0.2";
    static constexpr std::string_view kVersionDate = "20/2/2023";
    static constexpr std::string_view kProjectionName = "ComCamProjection";
    static constexpr std::string_view kHalfAngleName = "Hist1D_ConeHalfAngle_Total";

    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kCannotLoadConfig = 101,
        kGeometryFailed = 102,
        kIndexesMissing = 103,
        kSingleSilicon = 104,
        kNoEnergyWindow = 106,
        kSetupFailed = 107,
        kMatchingFailed = 108,
        kExportFailed = 110,
        kStatisticsFailed = 111,
        kNoScatterer = 124,
    };

    // Results of the projection copy and the contrast step.
    enum ProjectionResult : int { kNotReady = -1, kNoProjection = -2 };

    // Every key of the configuration file with its default.
    struct Config {
        // "Settings"
        double energySource = -1.0;  // keV
        double energySumMin = -1.0;
        double energySumMax = -1.0;
        double timeChargeCollCdTe = 86.0;  // ns
        double timeChargeCollSi = 0.0;
        bool skipSelfDetectorCoinc = false;
        bool onlyPairCoinc = false;
        double timeCoincWindow = 200.0;  // ns
        double scattererId = -1;
        double absorberId = -1;
        bool forceForward = false;
        bool forceBackward = false;
        bool doProjection = true;
        double projNBinX = 100, projNBinY = 100;
        double projBinWidthX = 50.0, projBinWidthY = 50.0;  // mm
        double projPosX = 0.0, projPosY = 0.0;
        bool doProjNorm = true;
        double projDistance = 5000.0;  // mm
        double projFieldViewX = -1.0, projFieldViewY = -1.0;  // degrees
        bool doProjInitOnFieldOfView = false;
        double projBlur = -1;
        double projContrast = -1;  // percent of the maximum
        std::string fileDetGeoPath, fileDetGeoName;  // a geometry of the camera's own
        // "Export"
        bool doExport = true;
        bool doDirectExport = true;
        bool doExportCone = true;
        bool doKeepComptonEvents = false;
        bool doExportText = true;
        bool doExportGraphics = false;
        bool doExportGraphs = true;
        std::string fileOutPath, fileConeName = "ConeParams.txt", fileConePath;
        // "LogPrint"
        bool doPrintOut = true;
        bool doLog = false;
        std::string fileLogName = "LogFile.txt", fileLogPath;

        // Reads the keys the file holds; the others keep their values.
        void read(const ConfigFile& file);
    };

    // Columns of the cluster row, -1 when absent.
    struct Indexes {
        int energy = -1, x = -1, y = -1, time = -1, assembly = -1, eventId = -1;
        static Indexes from(const ClusterVariables& variables);
        bool complete() const { return energy >= 0 && x >= 0 && y >= 0 && time >= 0 && assembly >= 0 && eventId >= 0; }
    };

    // What the engine settings add: where results go and how they look.
    struct Output {
        std::string directory;  // the "Compton" export directory, with its separator
        std::string listName = "ComptonList.txt";
        std::string listJsonName = "ComptonList.json";
        bool doExportText = true;
        bool doExportGraphics = false;
        bool doWeb = false;
    };

    // The counters of the results list.
    struct Counters {
        double coincGroups = 0;        // groups of two or more clusters received
        double possibleEvents = 0;     // groups whose energy sum lies in the window
        double ambiguousGroups = 0;    // groups that gave more than one cone
        double uniqueGroups = 0;       // groups that gave exactly one cone
        double comptonGroups = 0;      // groups that gave at least one cone
        double forward = 0;            // cones in the forward order (scatterer to absorber)
        double backward = 0;           // cones in the backward order
        double orderUnique = 0;        // pairs whose energies fit one order only
        double orderAmbiguous = 0;     // pairs whose energies fit both orders
        double singleDetector = 0;     // pairs on one detector
        double multiDetector = 0;      // pairs on two detectors
        double passed = 0;             // cones made
        double failed = 0;             // pairs that gave no cone: unknown assembly, unphysical energies or points
        double inProjection = 0;       // cones that reached the image
        double outProjection = 0;      // cones that missed it
    };

    struct Statistic {
        double mean = 0, std = 0, minimum = 0, maximum = 0;
    };

    ComptonCamera() = default;
    ~ComptonCamera() override;
    ComptonCamera(const ComptonCamera&) = delete;
    ComptonCamera& operator=(const ComptonCamera&) = delete;

    // As a module of the engine: without a configuration file the camera is not used (it needs an energy window).
    int init(const ModuleContext& context) override;
    // Without the engine: the configuration, the geometry and the columns given. 0 or the reported code.
    int init(const Config& config, const DetectorSetup* geometry, const Indexes& indexes, const Output& output,
             const MessageTarget& to, int codeBase);
    std::string_view name() const override { return "Compton"; }
    bool isInitialised() const { return initialised_; }

    // Clusters, when no coincidence analysis groups them for the camera.
    bool takesClusters() const override { return initialised_ && grouper_ != nullptr; }
    void processCluster(std::span<const double> row, uint32_t, int) override;

    // One closed coincidence group.
    void processGroup(const CoincidenceGroup& group);
    void closeSample(double liveTime, bool final) override;
    // Closes the group still open (own grouping) and evaluates the half-angle statistics.
    int finishInput() override;
    int exportResults(const MessageTarget& to) override;
    // Forgets every cone, counter and sample and empties the image.
    void clearResults();
    void report(const MessageTarget& to) const override;
    std::string reportText() const;

    // The image as the host reads it: normalised (DoProjNorm), contrast-cut and blurred (-1 takes the configured
    // value), bin by bin, row after row. The accumulated image itself stays as it is. 0, kNotReady or kNoProjection.
    int projection(std::vector<double>& out, double contrast = -1, double blur = -1) const;
    // A test image of the same binning (a ring round the image centre), processed the same way.
    int testProjection(std::vector<double>& out) const;
    // Contrast cut (percent of the largest bin; above 100 the largest itself) and 3 x 3 blur passes, in place.
    static void applyContrastAndBlur(std::vector<double>& bins, int nx, int ny, double contrast, int blur);

    const Config& config() const { return config_; }
    const Output& output() const { return output_; }
    const Counters& counters() const { return counters_; }
    const std::vector<ComptonCone>& keptCones() const { return kept_; }
    int scattererId() const { return scattererId_; }
    int absorberId() const { return absorberId_; }
    // The derived split of the window's upper bound: E_s = E / (E / 1022 + 1), the rest E - E_s.
    double energySplit() const { return energySplit_; }
    int projectionBinsX() const { return projection_ ? projection_->GetNBinX() : -1; }
    int projectionBinsY() const { return projection_ ? projection_->GetNBinY() : -1; }
    double projectionBinWidthX() const { return binWidthX_; }
    double projectionBinWidthY() const { return binWidthY_; }
    const Hist2D* projectionImage() const { return projection_.get(); }
    const Hist1D* halfAngles() const { return halfAngles_.get(); }
    const Statistic& halfAngleStatistic() const { return statistic_; }
    std::string_view coneText() const { return cones_.text(); }
    // Per closed time sample: live time, mean half angle (rad) and number of cones.
    const std::vector<double>& sampleLiveTimes() const { return liveTimes_; }
    std::vector<double> sampleMeanHalfAngles() const;
    std::vector<double> sampleConeCounts() const;

private:
    int fail(const std::string& text, int number) const;
    int setUpProjection();
    // The 3D point of a cluster of the group: nullptr assembly when its assembly is not in the geometry.
    const Assembly* place(std::span<const double> row, const CoincidenceGroup& group, Point3& point) const;
    // One pair: true when it gave a cone.
    bool processPair(std::span<const double> first, std::span<const double> second, const CoincidenceGroup& group);
    void addCone(const ComptonCone& cone);
    const Detector* detectorOf(int assemblyId) const;
    double heightOf(int assemblyId) const;
    int exportCones();
    int exportHistogram();
    int exportGraphs() const;
    int exportProjection();
    // Where the pictures go; none without graphics export.
    Pictures* picturesOfRun() const;

    Config config_;
    Indexes indexes_;
    Output output_;
    MessageTarget messages_{nullptr, true, true};
    int codeBase_ = 0;
    bool initialised_ = false;
    RunState* run_ = nullptr;

    std::unique_ptr<DetectorSetup> ownGeometry_;
    const DetectorSetup* geometry_ = nullptr;
    std::unique_ptr<CoincidenceAnalysis> grouper_;
    int scattererId_ = -1;
    int absorberId_ = -1;
    double energySplit_ = 0.0;

    Counters counters_;
    std::vector<ComptonCone> kept_;
    OutputText cones_;
    double angleSum_ = 0, angleSumSquares_ = 0, angleMin_ = 0, angleMax_ = 0, coneCount_ = 0;
    Statistic statistic_;
    std::vector<double> liveTimes_;
    std::vector<double> sampleAngleSums_{0.0};
    std::vector<double> sampleCones_{0.0};
    bool finalClosed_ = false;

    std::unique_ptr<Hist1D> halfAngles_;
    std::unique_ptr<Hist2D> projection_;
    std::unique_ptr<ConeProjector> projector_;
    double binWidthX_ = 0, binWidthY_ = 0;
};

}  // namespace zel
