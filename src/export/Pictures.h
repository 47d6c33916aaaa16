#pragma once
// The pictures of a run. Any module adds a picture of a histogram, a graph or a map with one call during its
// export; the call writes the plotting script into ".temp" below the output directory at once, and the pictures
// are drawn after every results file of the run is written (by the multiprocessing driver, one script after
// another, or later by the user through "create_all_graphics.py"). Pictures never make a run fail: a picture that
// cannot be drawn is reported.
//
// Adding a picture for a module: keep the RunState of the module context, and in the export write
//
//     if (Pictures* pictures = run.pictures) pictures->add(hist, directory);        // a Hist1D or a Hist2D
//     if (Pictures* pictures = run.pictures) pictures->add(graph, "N_Total", directory);  // a PlotGraph
//
// `directory` is the graphics directory of the module's analysis (output directory + its subdirectory); the image
// is named as the histogram's files are (after its title when it has no file name), or by the given name, with
// ".png". run.pictures is null when graphics are off.
// add may be called from the export jobs of several modules at once.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/Messages.h"
#include "export/GraphicsScripts.h"

namespace zel {

class Hist1D;
class Hist2D;

// How the pictures are made.
struct PictureSettings {
    std::string outputDirectory;  // holds ".temp" and "create_all_graphics.py"
    std::string interpreter;      // the Python command found by the interpreter check
    bool skipDrawing = false;     // write the scripts and the master script only
    bool multiProcess = true;     // draw through the multiprocessing driver
    double batchSizeLimit = 3e6;  // bytes of scripts per driver run
    int maxPlotBins = 0;          // most bins a 1D histogram is drawn with; 0: the built-in limit
};

// One picture added to the run: its image, the directory it goes into and what it shows.
struct PictureRecord {
    std::string image;      // full path
    std::string directory;  // as given by the module
    std::string caption;
};

class Pictures {
public:
    // Bins a 1D histogram is drawn with at most when no setting says otherwise: enough for any screen.
    static constexpr int kDefaultMaxPlotBins = 600;
    // Bins of the largest 2D histogram drawn (a 2000 x 2000 map); larger ones are reported, not drawn.
    static constexpr uint64_t kMaxPlotBins2D = 4000000;

    explicit Pictures(PictureSettings settings);

    // A 1D histogram: cut to its filled range when it asks for that, its bins merged so that at most the
    // maximum number remain, its own log scales. `caption` replaces the histogram's name as the title.
    void add(const Hist1D& hist, const std::string& directory, const std::string& caption = "");
    // A 2D histogram or map: only the filled bins, the colour scale its own.
    void add(const Hist2D& hist, const std::string& directory, const std::string& caption = "");
    // A graph, or several graphs in one picture; `name` names the image.
    void add(const PlotGraph& graph, const std::string& name, const std::string& directory);
    // The hemisphere map of directions from three sides, images names[0 ... 2].
    void add(const PlotDirectionMap& map, const std::vector<std::string>& names, const std::string& directory);
    // Several 1D histograms in one picture.
    void add(const PlotMultiHist1D& plot, const std::string& name, const std::string& directory);

    // Histograms of the same binning (the classes of one variable) as curves of one picture, all cut and merged
    // as `reference` would be.
    void addOverlay(const Hist1D& reference, const std::vector<const Hist1D*>& curves,
                    const std::vector<std::string>& labels, const std::string& name, const std::string& directory,
                    const std::string& caption);

    // Draws every picture added (or writes the master script). 0, or the number of pictures not drawn.
    int draw(const MessageTarget& to);

    std::vector<PictureRecord> records() const;
    const PictureSettings& settings() const { return settings_; }
    std::string scriptDirectory() const;

    // The 1D histogram as drawn: the cut and merged bins and the statistics of the whole histogram.
    static PlotHist1D plotOf(const Hist1D& hist, int maxBins);
    static PlotHist2D plotOf(const Hist2D& hist);
    // The bins 1D pictures show: first ... last, `merge` bins summed into one.
    struct PlotCut {
        int first;
        int last;
        int merge;
    };
    static PlotCut cutOf(const Hist1D& hist, int maxBins);
    static PlotBins binsOf(const Hist1D& hist, const PlotCut& cut);

private:
    std::string imagePath(const std::string& directory, const std::string& name) const;
    void addScript(std::string_view prefix, const std::string& script, std::vector<PictureRecord> pictures);
    // Runs the listed scripts of the script directory through drivers of at most the size limit each.
    int runDrivers(const std::vector<std::string>& scripts, const MessageTarget& to);
    bool runPython(const std::string& script);

    PictureSettings settings_;
    mutable std::mutex mutex_;
    uint64_t firstNumber_ = 0;
    uint64_t count_ = 0;
    std::vector<std::string> scripts_;  // names in the script directory, in the order they were written
    std::vector<PictureRecord> records_;
    bool scriptFailed_ = false;
};

}  // namespace zel
