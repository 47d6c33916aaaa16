#pragma once
// Matching of the event lists of one measurement taken by several detectors, each with its own readout and its own
// list: the clusters of every other list that arrive within the coincidence window of a cluster of the main list
// join that cluster's event. The result is one event list with a common EventID and the DetectorID of each
// cluster's detector, as the Compton camera reads it, the histogram of the time differences of matched clusters
// and, when asked, those differences as a text file.
//
// Configured by a file: "Settings" (UseDetGeo, FileDetGeo_Path, FileDetGeo_Name, DoStatEval, Hist1D_TimeDiff_Name,
// TimeCoincWindow, DoSkipAnomalyLines, BatchSize), "Export" (DoExport, DoClusterExport, DoExportFileTimeDiff,
// FileOut_Path, FileOut_Name), "LogPrint", and one section per input list whose name contains "Elist"
// (FileIn_Path, FileIn_Name, IsMain).
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/DetectorSetup.h"
#include "common/ConfigFile.h"
#include "common/Messages.h"
#include "hist/Hist1D.h"

namespace zel {

class EventListMatching {
public:
    static constexpr std::string_view kName = "EventListMatching";
    static constexpr std::string_view kVersion = "1.1.0";
    static constexpr std::string_view kVersionDate = "16/1/2023";
    static constexpr std::string_view kTimeDiffFileName = "FileTimeDiff.txt";

    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kCannotOpenConfig = 101,
        kNoInputs = 102,
        kEmptyList = 103,
        kCannotOpenOut = 104,
        kGeometryFailed = 105,
        kBadList = 106,
        kSetupFailed = 107,
        kCannotReadConfig = 113,
    };

    struct Input {
        std::string path;
        std::string name;
        bool isMain = false;
    };

    struct Config {
        bool useDetGeo = false;
        std::string fileDetGeoPath, fileDetGeoName;
        bool doStatEval = false;
        std::string histName = "Hist1D_TimeDiff";
        double timeCoincWindow = 200.0;  // ns
        bool doSkipAnomalyLines = false;
        double batchSize = 100000;
        bool doExport = true;
        bool doClusterExport = false;  // unmatched clusters of the other lists become events of their own
        bool doExportFileTimeDiff = false;
        std::string fileOutPath, fileOutName = "MatchedEventList.elist";
        bool doPrintOut = true, doLog = false;
        std::string fileLogName = "LogFile.txt", fileLogPath;
        std::vector<Input> inputs;
    };

    // True when the configuration file names input lists (sections containing "Elist").
    static bool namesLists(const ConfigFile& file);

    // Reads the configuration directory + fileName; 0 or the reported code.
    int init(const std::string& directory, const std::string& fileName, const MessageTarget& to, int codeBase);
    int init(const Config& config, const MessageTarget& to, int codeBase);
    // Reads the lists, matches them and writes the results; 0 or the reported code.
    int run();

    const Config& config() const { return config_; }
    const Hist1D* timeDifferences() const { return timeDiffs_.get(); }
    double countEvents() const { return events_; }
    double countMatched() const { return matched_; }
    double countUnmatched() const { return unmatched_; }
    const std::string& outputText() const { return output_; }

private:
    struct Cluster {
        double detector, x, y, energy, time;
        long long event;  // -1 while unmatched
    };
    int fail(const std::string& text, int number) const;
    int readList(size_t index, std::vector<Cluster>& clusters);

    Config config_;
    MessageTarget messages_{nullptr, true, true};
    int codeBase_ = 0;
    bool initialised_ = false;
    std::unique_ptr<DetectorSetup> geometry_;
    std::unique_ptr<Hist1D> timeDiffs_;
    double events_ = 0, matched_ = 0, unmatched_ = 0;
    std::string output_;
};

}  // namespace zel
