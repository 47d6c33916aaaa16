#pragma once
// Recognition of the radiation field of a measurement: its significant vector is compared with the reference
// vector of each known field in a database by Euclidean distance, the inverse distances become probabilities, and
// the most probable field is named. The database is read from a directory of vector files (prefix + field name +
// endings) or is the built-in set of six radionuclide fields measured with a Timepix3 and a 2000 um CdTe sensor.
#include <memory>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "common/OwnLog.h"
#include "rfr/SigVec.h"

namespace zel {

class ComparatorDB {
public:
    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kLogFile = 100,
        kInitFailed = 102,
        kNoProbabilities = 106,
        kNotInitialised = 107,
        kEmptyInput = 108,
        kNoInput = 109,
        kFilesNotLoaded = 110,
        kBuiltInNotLoaded = 111,
        kNoVectorFiles = 112,
        kVectorFile = 115,
        kSizesDiffer = 116,
        kProcessFilesNotLoaded = 120,
        kProcessBuiltInNotLoaded = 121,
    };
    // The compatibility failure's result, the same whatever the base.
    static constexpr int kIncompatible = -122;
    // Distance that stands for one that could not be computed.
    static constexpr double kNoDistance = 1e300;

    struct Entry {
        std::string field;
        std::unique_ptr<SigVec> reference;
    };

    explicit ComparatorDB(int errorCodeBase = 0, const MessageTarget& messages = {});

    // Where the database files are: directory (ending with its separator), file prefix and endings.
    void SetDatabaseSource(std::string directory, std::string prefix, std::string dataEnding, std::string infoEnding);
    void SetUseBuiltInData(bool on) { useBuiltIn_ = on; }
    bool GetUseBuiltInData() const { return useBuiltIn_; }
    // Where a vector to compare is read from when Process is given none.
    void SetInputVector(std::string directory, std::string name) {
        inputPath_ = std::move(directory);
        inputName_ = std::move(name);
    }
    void SetOutputFileName(std::string name) { outputFileName_ = std::move(name); }
    const std::string& GetOutputFileName() const { return outputFileName_; }

    // Messages go to a log file of the comparator's own (opened by Init) instead of the one it was given.
    void SetOwnLog(bool on, std::string directory, std::string fileName) {
        ownLog_.configure(on, std::move(directory), std::move(fileName));
    }

    // Opens the own log when asked for and loads the database unless it is loaded; 0 or a code.
    int Init();
    int LoadDatabaseFromFiles();
    void LoadBuiltInDatabase();

    // sqrt(sum (b_i - a_i)^2); -1 for vectors of different lengths or a sum that is no number.
    double DistanceEuclid(const std::vector<double>& a, const std::vector<double>& b) const;
    // p_i = (1 / d_i) / sum_j (1 / d_j); empty after a message for an empty list.
    std::vector<double> ProbabilitiesFromDistances(const std::vector<double>& distances) const;
    // False (after a message) when the input's length differs from that of the first reference.
    bool CheckCompatibility(const std::vector<double>& vector) const;

    // Compares `input` (or, when null, the vector read from the input location) with every reference: name and
    // probability (0 ... 1) of the best entry; 0 or a code.
    int Process(std::string& name, double& probability, const SigVec* input);

    bool IsInitialised() const { return initialised_; }
    bool IsDatabaseLoaded() const { return databaseLoaded_; }
    const std::vector<Entry>& GetDatabase() const { return database_; }
    const std::vector<double>& GetDistances() const { return distances_; }
    const std::vector<double>& GetProbabilities() const { return probabilities_; }
    int GetBestIndex() const { return bestIndex_; }
    const std::vector<double>& GetComparedVector() const { return compared_; }
    const std::string& GetDatabaseDirectory() const { return directory_; }

private:
    int Fail(const std::string& text, int number) const;

    MessageTarget messages_;
    OwnLog ownLog_;
    int errorBase_ = 0;
    std::vector<Entry> database_;
    std::string directory_;
    std::string prefix_ = "SigVec_";
    std::string dataEnding_ = ".vec";
    std::string infoEnding_ = ".info";
    bool loadFromFiles_ = true;
    bool useBuiltIn_ = true;
    bool databaseLoaded_ = false;
    std::string inputPath_;
    std::string inputName_;
    std::string inputDataEnding_ = ".vec";
    std::string inputInfoEnding_ = ".info";
    std::vector<double> distances_;
    std::vector<double> probabilities_;
    int bestIndex_ = -1;
    std::vector<double> compared_;
    std::string outputFileName_ = "DistComparison.txt";
    bool initialised_ = false;
};

}  // namespace zel
