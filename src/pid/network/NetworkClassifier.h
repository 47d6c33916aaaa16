#pragma once
// Classification of clusters by a dense network: eight cluster variables, each divided by its norm, go in; one
// probability per class comes out. A row takes the most probable class when that probability reaches 1.1 / (number
// of classes), else -1 ("Others"). Rows go through the network in runs of at most 10000, through one input buffer
// kept between runs.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/ClusterBatch.h"
#include "common/Messages.h"
#include "pid/network/NetworkBackend.h"

namespace zel {

class NetworkClassifier {
public:
    static constexpr size_t kRunSize = 10000;
    static constexpr double kThresholdFactor = 1.1;
    // The serving input and output of a classifier model.
    static constexpr std::string_view kInputOperation = "serving_default_dense_input";
    static constexpr std::string_view kOutputOperation = "StatefulPartitionedCall";

    struct Setup {
        int algorithm = 0;
        std::string modelPath;        // the models directory, ending with a separator
        std::string directoryPrefix;  // "<chip>_<thickness>um_<material>_<classes>classes"
        size_t classCount = 0;
        std::vector<uint32_t> featureColumns;  // the batch column of each input feature, in input order
    };

    NetworkClassifier(const MessageTarget& messages, int codeBase,
                      std::unique_ptr<NetworkBackend> backend = makeNetworkBackend());

    // Finds and loads the model, reads its norms. 0 or an error code; never throws.
    int init(const Setup& setup);
    bool isInitialised() const { return initialised_; }

    // Writes the class of each row, as a double (-1 for none), into `column`. 0 or an error code.
    int classify(ClusterBatch& batch, size_t column);
    // Appends the class of each row to `out`. 0 or an error code.
    int classify(const ClusterBatch& batch, std::vector<int>& out);

    // The class of one row of probabilities; NaN probabilities are skipped and counted in `nanCount`.
    static int decodeClass(const float* probabilities, size_t classes, size_t& nanCount);

    size_t nanCount() const { return nanCount_; }
    size_t runCount() const { return runCount_; }
    const std::string& modelDirectory() const { return modelDirectory_; }
    const std::vector<double>& norms() const { return norms_; }
    std::vector<std::string> reportLines() const;

private:
    int loadModel();
    int loadNorms();
    // Runs the batch run by run; `take(row, class)` receives each row's class. 0 or an error code.
    template <typename Take>
    int classifyRuns(const ClusterBatch& batch, Take take);
    void fillInput(const ClusterBatch& batch, size_t first, size_t rows);

    void error(std::string_view text) const;
    void errorLeadingCode(int code, std::string_view text) const;

    MessageTarget to_;
    int codeBase_;
    std::unique_ptr<NetworkBackend> backend_;
    Setup setup_;
    std::string modelDirectory_;
    std::vector<double> norms_;
    std::vector<float> input_;   // kept between runs
    std::vector<float> output_;
    size_t nanCount_ = 0;
    size_t runCount_ = 0;
    bool initialised_ = false;
};

}  // namespace zel
