#pragma once
// The directions of particle tracks: the azimuth angle of each cluster in the sensor plane, its elevation angle in
// the sensor volume and its track lengths (2D projection, corrected 2D length, 3D length). Keeps running
// statistics, per-time-sample means and angle histograms in a coarse and a fine binning, and exports them as
// histogram files, time-sample graph data and the "DirectionList" results.
//
// Construction cannot fail; init resolves the columns and builds the histograms, and every other step refuses to
// work (quietly) until init has succeeded.
#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Messages.h"
#include "engine/Module.h"
#include "hist/Hist1D.h"
#include "hist/Hist2D.h"

namespace zel {

class ClusterVariables;
struct Settings;

class DirectionalAnalysis : public Module {
public:
    static constexpr std::string_view kName = "DirectionalAnalysis";
    static constexpr std::string_view kVersion = "1.0.0";
    static constexpr std::string_view kVersionDate = "16/01/2023";

    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kNoCluster = 103,
        kExportFailed = 107,
        kStatisticsFailed = 108,
        kIndexesMissing = 109,
        kSetupFailed = 111,
    };

    // The five quantities, in the order of their statistics and per-sample lists.
    enum Quantity : size_t { kLength2D, kLength2DCorr, kLength3D, kAzimuth, kElevation, kQuantityCount };

    // The tracking condition: only elongated clusters of a few pixels carry a usable direction.
    static constexpr double kMaxRoundness = 0.92;
    static constexpr double kMinSize = 4;

    // Columns of the cluster row, -1 when the variable is absent.
    struct Indexes {
        int azimuth = -1;
        int elevation = -1;
        int length2D = -1;
        int length2DCorr = -1;
        int length3D = -1;
        int roundness = -1;
        int size = -1;

        static Indexes from(const ClusterVariables& variables);
    };

    struct Options {
        bool doTrackingCond = false;
        bool doRadians = false;
        bool doExport = true;  // the module's own export (histograms, graphs)
        bool doExportText = true;
        bool doExportGraphics = true;
        bool doWeb = false;
        std::string directory;  // the "Direction" export directory, with its separator
        std::string listName = "DirectionList.txt";
        std::string listJsonName = "DirectionList.json";
        std::string logName;  // the log file the module's messages go to, for the report
        std::string logPath;

        // From the engine settings; the module's configuration file, when the settings name one, adds DoRadians
        // ("Settings"), DoExport ("Export") and DoPrintOut, DoLog ("LogPrint"). False when that file can not be
        // read (reported through `to`).
        static bool from(const Settings& settings, Options& options, MessageTarget& to);
    };

    // Mean, standard deviation, minimum and maximum of one quantity after evaluation.
    struct Statistic {
        double sum = 0.0;
        double sumSquares = 0.0;
        double minimum = 0.0;
        double maximum = 0.0;
        double mean = 0.0;
        double std = 0.0;
    };

    // One time-sample graph: a mean quantity over the samples.
    struct Graph {
        std::string title;
        std::string name;
        std::string yTitle;
        std::vector<double> y;
    };

    DirectionalAnalysis() = default;
    DirectionalAnalysis(const DirectionalAnalysis&) = delete;
    DirectionalAnalysis& operator=(const DirectionalAnalysis&) = delete;

    // From the engine's settings and variable list; 0, base - 109 (indexes missing) or base - 111.
    int init(const Settings& settings, const ClusterVariables& variables, const MessageTarget& to, int codeBase);
    int init(const Options& options, const Indexes& indexes, const MessageTarget& to, int codeBase);
    // As a module of the engine.
    int init(const ModuleContext& context) override;
    std::string_view name() const override { return "Direction"; }
    bool takesClusters() const override { return initialised_; }
    void processCluster(std::span<const double> row, uint32_t, int classIndex) override {
        processCluster(row, classIndex);
    }
    bool isInitialised() const { return initialised_; }

    // One evaluated cluster; the class plays no part in the directions.
    void processCluster(std::span<const double> row, int classIndex = 0);
    // Ends the current time sample of `liveTime` seconds; the last sample opens no new one.
    void closeSample(double liveTime, bool final) override;
    // End of the input: evaluates the statistics. 0 or base - 108.
    int finishInput() override;
    // The "DirectionList" (with text export) and the module's histograms and graph data (with its own export and
    // text or graphics export). 0 or base - 107.
    int exportResults(const MessageTarget& to) override;
    // The settings report.
    void report(const MessageTarget& to) const override;
    std::string reportText() const;

    const Options& options() const { return options_; }
    const Indexes& indexes() const { return indexes_; }
    std::string_view angleUnit() const { return options_.doRadians ? "rad" : "deg"; }
    double countAccepted() const { return accepted_; }
    double countFailedTrackCond() const { return failedTrackCond_; }
    const Statistic& statistic(Quantity q) const { return statistics_[q]; }
    // Per sample: live time (-1 for a sample of live time 0) and the means of the five quantities.
    const std::vector<double>& sampleLiveTimes() const { return liveTimes_; }
    const std::vector<double>& sampleMeans(Quantity q) const { return sampleMeans_[q]; }
    int sampleIndex() const { return sampleIndex_; }
    std::vector<Graph> timeSampleGraphs() const;

    // The angle histograms; the coarse azimuth x elevation one is also the data of the 3D direction map.
    const Hist1D* azimuthCoarse() const { return azimuthCoarse_.get(); }
    const Hist1D* azimuthFine() const { return azimuthFine_.get(); }
    const Hist1D* elevationCoarse() const { return elevationCoarse_.get(); }
    const Hist1D* elevationFine() const { return elevationFine_.get(); }
    const Hist2D* directionCoarse() const { return directionCoarse_.get(); }
    const Hist2D* directionFine() const { return directionFine_.get(); }
    // Name of the picture of the fine azimuth histogram, beside the name of its file.
    static constexpr std::string_view kAzimuthFinePictureName = "Hist1D_AzimAngle_CorrBi_Total";

private:
    int fail(const std::string& text, int number) const;
    bool buildHistograms();
    void resetStatistics();
    int exportHistograms();
    int exportGraphs() const;

    Options options_;
    Indexes indexes_;
    const RunState* run_ = nullptr;  // where the pictures go
    MessageTarget messages_{nullptr, true, true};
    int codeBase_ = 0;
    bool initialised_ = false;

    double accepted_ = 0.0;
    double failedTrackCond_ = 0.0;
    std::array<Statistic, kQuantityCount> statistics_{};
    std::vector<double> liveTimes_;
    std::array<std::vector<double>, kQuantityCount> sampleMeans_;
    int sampleIndex_ = 0;
    double sampleCount_ = 0.0;
    bool finalClosed_ = false;

    std::unique_ptr<Hist1D> azimuthCoarse_;
    std::unique_ptr<Hist1D> azimuthFine_;
    std::unique_ptr<Hist1D> elevationCoarse_;
    std::unique_ptr<Hist1D> elevationFine_;
    std::unique_ptr<Hist2D> directionCoarse_;
    std::unique_ptr<Hist2D> directionFine_;
};

}  // namespace zel
