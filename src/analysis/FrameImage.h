#pragma once
// The image of one acquisition frame: the pixel matrix of the clusters added to it, with counts of hit and
// distinct pixels and particles, the sum, spread and extremes of the accumulated pixel value, and the occupancy.
// Its codes are its code base minus 100 to 107; messages start with "Frame".
#include <cstdint>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "common/OwnLog.h"
#include "hist/Hist2D.h"

namespace zel {

class FrameImage {
public:
    enum Code : int {
        kBadCluster = 100,
        kNoMatrix = 101,
        kCheckFailed = 102,
        kInitFailed = 103,
        kConstructorFailed = 104,
        kAddWithoutInit = 105,
        kAnalysisWithoutInit = 106,
        kCannotOpenLog = 107,
    };

    // With `initNow`, initialises at once and throws the code base - 104 when that fails.
    FrameImage(int width, int height, int matrixVarIndex, bool initNow, const MessageTarget& to, int codeBase = 0);

    // Checks the sizes and makes the "Matrix" histogram. 0 or base - 103.
    int init();
    // A cluster as pixel tuples of `tupleSize` numbers each (x, y, value, ...), one after another. 0 or a code.
    int addCluster(std::span<const double> tuples, size_t tupleSize);
    // Occupancy, mean and standard deviation. 0 or a code.
    int analyse();
    // Names and values of the results, in the order they are exported.
    void results(std::vector<std::string>& names, std::vector<double>& values) const;

    void setFrameNumber(int frame) { frameNumber_ = frame; }
    void setTimeAcq(double seconds, std::string unit) {
        timeAcq_ = seconds;
        timeUnit_ = std::move(unit);
    }
    void setTitle(std::string title) { title_ = std::move(title); }
    void setName(std::string name) { name_ = std::move(name); }
    void setVariable(std::string name, std::string unit) {
        variableName_ = std::move(name);
        variableUnit_ = std::move(unit);
    }
    // Distinct pixels (the default) or every hit pixel as the pixel count of the results.
    void setCountDistinct(bool distinct) { countDistinct_ = distinct; }
    // With the own-log flag, init opens directory + file name ("LogFile.txt" when empty) for the image's messages.
    void setOwnLog(bool own, std::string directory, std::string fileName) {
        ownLog_.configure(own, std::move(directory), std::move(fileName), true);
    }

    int frameNumber() const { return frameNumber_; }
    const std::string& title() const { return title_; }
    const std::string& name() const { return name_; }
    int hitPixels() const { return hitPixels_; }
    int distinctPixels() const { return distinctPixels_; }
    int particles() const { return particles_; }
    double sum() const { return sum_; }
    double maximum() const { return maximum_; }
    double minimum() const { return minimum_; }
    double occupancy() const { return occupancy_; }
    double mean() const { return mean_; }
    double standardDeviation() const { return std_; }
    bool isInitialised() const { return initialised_; }
    bool isAnalysed() const { return analysed_; }
    const Hist2D* matrix() const { return matrix_.get(); }
    Hist2D* matrix() { return matrix_.get(); }

private:
    int report(const std::string& text, int number) const;

    int width_;
    int height_;
    int pixelCount_ = 0;
    int matrixVarIndex_;
    MessageTarget messages_;
    int codeBase_;

    int frameNumber_ = -1;
    double timeAcq_ = -1.0;
    std::string timeUnit_ = "s";
    std::string title_;
    std::string name_;
    std::string variableName_ = "E";
    std::string variableUnit_ = "[keV]";

    int hitPixels_ = 0;
    int distinctPixels_ = 0;
    int particles_ = 0;
    double sum_ = 0.0;
    double sumSquares_ = 0.0;
    double maximum_ = 0.0;
    double minimum_ = 1e300;
    double occupancy_ = 0.0;
    double mean_ = 0.0;
    double std_ = 0.0;
    bool countDistinct_ = true;
    bool initialised_ = false;
    bool analysed_ = false;
    std::shared_ptr<Hist2D> matrix_;
    OwnLog ownLog_;
};

}  // namespace zel
