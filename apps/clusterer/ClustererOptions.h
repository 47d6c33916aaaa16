#pragma once
// The command line of the clusterer: what the engine passes, plus the program's own settings.
#include <string>
#include <vector>

namespace zel::clusterer {

struct ClustererOptions {
    // Outputs; an empty path means the output is not written.
    std::string elistBase;        // --korelist P: event list P + ".korelist"
    std::string clusterListBase;  // --clust-feat-list P: cluster list P + ".clist"
    std::string clogPath;         // -l P: cluster log at P as given
    std::string statFile;         // --stat-file P
    std::string logFile;          // --log-file P (used with --log); default ClustererLog.txt in the output directory
    // --out-dir DIR: the run's own output directory; default the directory of the event list, else of the cluster
    // log, of the cluster list, of the statistics file. A statistics file or log named without a directory goes
    // there.
    std::string outputDir;

    std::string calibrationDir;   // -c DIR: per-pixel matrices a, b, c, t

    double frameOccupancyLimit = -1.0;  // percent of the matrix; frames above it are skipped (<= 0: no limit)
    long long frameStartNum = 0;        // frames of this run are numbered from frameStartNum + 1
    long long pixCountMax = -1;         // clusters with more pixels are dropped (<= 0: no limit)
    bool tpxHighEnergyCorr = false;
    std::string measMode;               // "itot+count": the fourth pixel value of a cluster log is a hit count
    double coincToaDiff = 100.0;        // ns; EventID groups clusters within this time of the group's first one
    double thickness = 300.0;           // sensor thickness in um
    int lengthCorrFormula = 1;          // 1 Std, 2 Width, 3 Nabha
    bool log = false;
    bool debug = false;

    // The program's own settings.
    double toaWindow = 200.0;       // ns a Timepix3 cluster stays open after its first pixel
    double toaSortMargin = 2000.0;  // ns of disorder tolerated in the pixel stream of Timepix3 data
    int width = 256;
    int height = 256;
    int detectorId = 0;

    std::vector<std::string> inputs;
};

enum class ParseOutcome { Run, Help, Error };

struct ParseResult {
    ParseOutcome outcome = ParseOutcome::Run;
    std::string message;  // the reason of an Error
    std::vector<std::string> ignored;  // options accepted but not honoured, each with the reason
};

// Reads argv[1..argc-1]. Options take their value from the next argument or after '='. On success the statistics
// file and the log are placed in the output directory (see outputDir).
ParseResult parseCommandLine(int argc, const char* const* argv, ClustererOptions& options);

// The text printed for --help.
std::string usageText();

}  // namespace zel::clusterer
