#include "analysis/FrameImage.h"

#include <cmath>

namespace zel {

FrameImage::FrameImage(int width, int height, int matrixVarIndex, bool initNow, const MessageTarget& to, int codeBase)
    : width_(width), height_(height), matrixVarIndex_(matrixVarIndex), messages_(to), codeBase_(codeBase) {
    if (initNow && init() != 0) {
        report("Constructor with initialization failed.", kConstructorFailed);
        raiseCode(codeBase_ - kConstructorFailed);
    }
}

int FrameImage::report(const std::string& text, int number) const {
    const bool joined = text.rfind(" : ", 0) == 0;
    return printModuleError(messages_, (joined ? "Frame" : "Frame : ") + text, codeBase_, number);
}

int FrameImage::init() {
    // Work goes on with the messages where they went before when the own log cannot be opened.
    if (!ownLog_.open(messages_)) report(" : Can not open log file: " + ownLog_.path(), kCannotOpenLog);
    std::string reason;
    if (width_ < 0) reason = "Width is less then 0: " + std::to_string(width_);
    else if (height_ < 0) reason = "Height is less then 0: " + std::to_string(height_);
    else if (matrixVarIndex_ < 0) reason = "MatrixVarIndex is less then 0: " + std::to_string(matrixVarIndex_);
    else if (width_ == 0 || height_ == 0 || uint64_t(width_) * uint64_t(height_) > Hist::kMaxBins)
        reason = "Matrix of " + std::to_string(width_) + " x " + std::to_string(height_) + " pixels can not be made.";
    if (!reason.empty()) {
        report("Check failed. " + reason, kCheckFailed);
        return report("Inititilization failed.", kInitFailed);
    }
    pixelCount_ = width_ * height_;
    matrix_ = std::make_shared<Hist2D>("Matrix", width_, 0.0, double(width_), height_, 0.0, double(height_), codeBase_,
                                       messages_);
    matrix_->SetName("Matrix");
    initialised_ = true;
    return 0;
}

int FrameImage::addCluster(std::span<const double> tuples, size_t tupleSize) {
    if (!initialised_) return report("Init has not been done, therefore cluster can not be added.", kAddWithoutInit);
    if (!matrix_) return report(" : Frame matrix is not init for adjustments.", kNoMatrix);
    if (tuples.empty() || tupleSize <= static_cast<size_t>(matrixVarIndex_) || tupleSize < 2)
        return report(" : Nullptr cluster or empty cluster or small pixels for adding to frame.", kBadCluster);
    for (size_t at = 0; at + tupleSize <= tuples.size(); at += tupleSize) {
        const double x = tuples[at] + 0.5;
        const double y = tuples[at + 1] + 0.5;
        const double v = tuples[at + static_cast<size_t>(matrixVarIndex_)];
        if (v != 0) {
            ++hitPixels_;
            sum_ += v;
            sumSquares_ += v * v;
            if (matrix_->GetBinContent(x, y) == 0) ++distinctPixels_;
            matrix_->Fill(x, y, v);
        }
        if (v > maximum_) maximum_ = v;
        if (v < minimum_) minimum_ = v;
    }
    ++particles_;
    return 0;
}

int FrameImage::analyse() {
    if (!initialised_) return report("Init has not been done, therefore analysis can not be done.", kAnalysisWithoutInit);
    if (!matrix_) return report(" : Frame matrix is not init for adjustments.", kNoMatrix);
    const double n = countDistinct_ ? distinctPixels_ : hitPixels_;
    if (n > 0) {
        const double cells = double(width_) * double(height_);
        occupancy_ = cells > 0 ? n * 100.0 / cells : 0.0;
        mean_ = sum_ / n;
        const double variance = sumSquares_ / n - mean_ * mean_;
        std_ = variance > 0 ? std::sqrt(variance) : 0.0;
    }
    analysed_ = true;
    return 0;
}

void FrameImage::results(std::vector<std::string>& names, std::vector<double>& values) const {
    const std::string variable = variableName_ + " " + variableUnit_;
    names = {"FrameNum [-]", "MatrixWidth [-]", "MatrixHeight [-]", "TimeAcq [" + timeUnit_ + "]", "CountHitPix [-]",
             "CountPix [-]", "CountPar [-]", "Occupancy [%]"};
    for (const char* suffix : {"_Sum", "_Mean", "_Std", "_Max", "_Min"}) names.push_back(variable + suffix);
    values = {double(frameNumber_), double(width_), double(height_), timeAcq_, double(distinctPixels_),
              double(hitPixels_), double(particles_), occupancy_, sum_, mean_, std_, maximum_, minimum_};
}

}  // namespace zel
