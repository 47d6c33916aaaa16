#include "pid/network/NetworkClassifier.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "common/BoundedLine.h"
#include "pid/network/ModelDirectory.h"
#include "pid/network/NormFile.h"
#include "pid/PidErrors.h"

namespace zel {
namespace {

using namespace pid_error;

// The one algorithm that fails at once when its model does not load; the others report it and read their norms.
constexpr int kAlgorithmLoadingModelAndNorms = 252;

constexpr std::string_view kPrefix = "PID : ";

}  // namespace

NetworkClassifier::NetworkClassifier(const MessageTarget& messages, int codeBase,
                                     std::unique_ptr<NetworkBackend> backend)
    : to_(messages), codeBase_(codeBase), backend_(std::move(backend)) {}

int NetworkClassifier::init(const Setup& setup) {
    initialised_ = false;
    setup_ = setup;
    nanCount_ = 0;
    runCount_ = 0;
    const ModelDirectoryChoice choice = findModelDirectory(setup_.modelPath, setup_.directoryPrefix);
    modelDirectory_ = setup_.modelPath + choice.name + "/";
    if (choice.candidates > 1)
        printMsg(to_, std::string(kPrefix) + std::to_string(choice.candidates) + " model directories fit " +
                          setup_.directoryPrefix + "; the newest time stamp is used: " + choice.name);

    if (const int modelResult = loadModel(); modelResult != 0) {
        if (setup_.algorithm == kAlgorithmLoadingModelAndNorms) return modelResult;
        // The failure is reported; the norms are read as well, so that their faults show in the same run.
        if (const int normsResult = loadNorms(); normsResult != 0) return normsResult;
        printErrorCode(to_, std::string(kPrefix) + "Error occurred during algorithm initialization.",
                       codeBase_ - kBuildFailed);
        return codeBase_ - kBuildFailed;
    }
    if (const int normsResult = loadNorms(); normsResult != 0) return normsResult;
    input_.assign(kRunSize * setup_.featureColumns.size(), 0.0f);
    output_.assign(kRunSize * setup_.classCount, 0.0f);
    initialised_ = true;
    return 0;
}

// Loads the model and checks that it fits the algorithm: the serving input and output, one input per feature,
// one output per class.
int NetworkClassifier::loadModel() {
    NetworkStatus status = backend_->load(modelDirectory_);
    const auto misfit = [&](const std::string& what) { status = {NetworkStatus::InvalidArgument, what}; };
    if (status.ok() && !backend_->hasOperation(kInputOperation))
        misfit("The model has no serving input " + std::string(kInputOperation));
    else if (status.ok() && !backend_->hasOperation(kOutputOperation))
        misfit("The model has no serving output " + std::string(kOutputOperation));
    else if (status.ok() && backend_->inputWidth() != setup_.featureColumns.size())
        misfit("The model takes " + std::to_string(backend_->inputWidth()) + " inputs, the algorithm gives " +
               std::to_string(setup_.featureColumns.size()));
    else if (status.ok() && backend_->outputWidth() != setup_.classCount)
        misfit("The model gives " + std::to_string(backend_->outputWidth()) + " outputs, the algorithm has " +
               std::to_string(setup_.classCount) + " classes");
    if (status.ok()) return 0;

    const std::string number = std::to_string(setup_.algorithm);
    if (setup_.algorithm == kAlgorithmLoadingModelAndNorms) {
        const int code = codeBase_ - kModelNotLoaded;
        errorLeadingCode(code, " : Error occurred during DNN model load. TF code: " + std::to_string(status.code) +
                                   ". TF msg: " + status.message);
        error(std::to_string(code) + " :Can not start TF session with model " + number + ".");
        return code;
    }
    error("Can not start TF session with model " + number + ". TF error code: " + status.message);
    return codeBase_ - kModelNotLoaded;
}

int NetworkClassifier::loadNorms() {
    const std::string path = modelDirectory_ + std::string(kNormFileName);
    size_t line = 0;
    switch (readNorms(path, setup_.featureColumns.size(), norms_, &line)) {
        case NormFileResult::Read: return 0;
        case NormFileResult::LineTooLong:
            errorLeadingCode(codeBase_ - kNormsNotRead, " : Can not load data norms from file: " + path + ". Line " +
                                                            std::to_string(line) + " is longer than " +
                                                            std::to_string(kMaxSettingsLineLength) + " characters.");
            return codeBase_ - kNormsNotRead;
        case NormFileResult::NotOpened:
            errorLeadingCode(codeBase_ - kNormsNotOpened, " : Can not open file with data norms: " + path);
            return codeBase_ - kNormsNotOpened;
        case NormFileResult::NotRead:
            errorLeadingCode(codeBase_ - kNormsNotRead, " : Can not load data norms from file: " + path);
            return codeBase_ - kNormsNotRead;
        case NormFileResult::ZeroNorm:
            printErrorCode(to_, std::string(kPrefix) + "Norm has invalid 0 value.", codeBase_ - kZeroNorm);
            return codeBase_ - kZeroNorm;
    }
    return codeBase_ - kNormsNotRead;
}

int NetworkClassifier::decodeClass(const float* probabilities, size_t classes, size_t& nanCount) {
    float best = 0.0f;
    int bestClass = 0;
    for (size_t k = 0; k < classes; ++k) {
        const float p = probabilities[k];
        if (std::isnan(p)) {
            ++nanCount;
        } else if (p > best) {  // a tie keeps the earlier class
            best = p;
            bestClass = static_cast<int>(k);
        }
    }
    return static_cast<double>(best) < kThresholdFactor / static_cast<double>(classes) ? -1 : bestClass;
}

// Row after row, each feature divided by its norm, as float32.
void NetworkClassifier::fillInput(const ClusterBatch& batch, size_t first, size_t rows) {
    const size_t features = setup_.featureColumns.size();
    float* in = input_.data();
    for (size_t r = first; r < first + rows; ++r) {
        const double* row = batch.row(r).data();
        for (size_t k = 0; k < features; ++k) *in++ = static_cast<float>(row[setup_.featureColumns[k]] / norms_[k]);
    }
}

template <typename Take>
int NetworkClassifier::classifyRuns(const ClusterBatch& batch, Take take) {
    if (!initialised_) {
        errorLeadingCode(codeBase_ - kBatchFailed, " : Error occurred during multi cluster processing.");
        return codeBase_ - kBatchFailed;
    }
    const size_t rows = batch.size();
    if (rows == 0) return 0;
    for (uint32_t column : setup_.featureColumns) {
        if (column >= batch.width()) {
            errorLeadingCode(codeBase_ - kBatchFailed, " : Error occurred during multi cluster processing.");
            return codeBase_ - kBatchFailed;
        }
    }
    const size_t classes = setup_.classCount;
    const size_t nanBefore = nanCount_;
    size_t decoded = 0;
    for (size_t first = 0; first < rows; first += kRunSize) {
        const size_t runRows = std::min(kRunSize, rows - first);
        fillInput(batch, first, runRows);
        size_t outputRows = 0;
        const NetworkStatus status = backend_->run(input_.data(), runRows, output_.data(), outputRows);
        ++runCount_;
        if (!status.ok()) {
            errorLeadingCode(codeBase_ - kRunFailed,
                             " : Error occurred during DNN processing after session run. TF code: " +
                                 std::to_string(status.code) + ". TF msg: " + status.message);
            return codeBase_ - kRunFailed;
        }
        outputRows = std::min(outputRows, runRows);
        for (size_t r = 0; r < outputRows; ++r)
            take(first + r, decodeClass(output_.data() + r * classes, classes, nanCount_));
        decoded += outputRows;
    }
    if (nanCount_ != nanBefore)
        printWarning(to_, std::string(kPrefix) + "NaN probabilities in the network output: " +
                              std::to_string(nanCount_ - nanBefore) + " in this batch, " +
                              std::to_string(nanCount_) + " in all; they take no part in the choice of class.");
    if (decoded == 0) {
        errorLeadingCode(codeBase_ - kNoClasses, " : DNN processing failed. Output class vector is empty.");
        return codeBase_ - kNoClasses;
    }
    if (decoded != rows) {
        errorLeadingCode(codeBase_ - kCountMismatch, " : DNN processing failed. Output class count (" +
                                                         std::to_string(decoded) +
                                                         ") is different than input count of clusters (" +
                                                         std::to_string(rows) + ").");
        return codeBase_ - kCountMismatch;
    }
    return 0;
}

int NetworkClassifier::classify(ClusterBatch& batch, size_t column) {
    if (column >= batch.width() && !batch.empty()) {
        errorLeadingCode(codeBase_ - kBatchFailed, " : Error occurred during multi cluster processing.");
        return codeBase_ - kBatchFailed;
    }
    return classifyRuns(batch, [&](size_t row, int classNumber) { batch.at(row, column) = classNumber; });
}

int NetworkClassifier::classify(const ClusterBatch& batch, std::vector<int>& out) {
    const size_t start = out.size();
    out.resize(start + batch.size(), -1);
    const int result = classifyRuns(batch, [&](size_t row, int classNumber) { out[start + row] = classNumber; });
    if (result != 0) out.resize(start);
    return result;
}

std::vector<std::string> NetworkClassifier::reportLines() const {
    return {"Model directory:                " + modelDirectory_,
            "Network run by:                 " + std::string(backend_->name()) + "\n"};
}

void NetworkClassifier::error(std::string_view text) const {
    printError(to_, std::string(kPrefix) + std::string(text));
}

void NetworkClassifier::errorLeadingCode(int code, std::string_view text) const {
    error(std::to_string(code) + std::string(text));
    std::cerr << code << ';';
    std::cerr.flush();
}

}  // namespace zel
