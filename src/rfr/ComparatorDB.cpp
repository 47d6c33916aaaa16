#include "rfr/ComparatorDB.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace zel {
namespace {

constexpr std::string_view kPrefix = "ComparatorDB : ";

// The six reference fields of radionuclide sources measured with a Timepix3 and a 2000 um CdTe sensor, laid out
// like the built-in significant vector: three size fractions, four border-pixel fractions, three linearity
// fractions.
struct BuiltInField {
    const char* field;
    double components[10];
};
constexpr BuiltInField kBuiltInFields[] = {
    {"Ba133", {0.906236, 0.093763, 1e-06, 0.48137, 0.436712, 0.081913, 5e-06, 0.596711, 0.029451, 0.373838}},
    {"Cs137",
     {0.590565, 0.392431, 0.0170042, 0.320092, 0.290723, 0.379943, 0.00924142, 0.735037, 0.0449512, 0.220012}},
    {"Eu152", {0.819362, 0.165911, 0.014727, 0.388133, 0.453955, 0.146739, 0.011173, 0.707237, 0.059583, 0.23318}},
    {"Co60", {0.322594, 0.457205, 0.220201, 0.155141, 0.18641, 0.47523, 0.183219, 0.674847, 0.239403, 0.0857502}},
    {"Am241",
     {0.565883, 0.0239478, 0.410169, 0.359194, 0.207595, 0.0219022, 0.41131, 0.800811, 0.0309664, 0.168222}},
    {"Na22", {0.43373, 0.504046, 0.0622246, 0.182256, 0.283898, 0.482039, 0.051806, 0.78927, 0.103839, 0.106891}},
};

}  // namespace

ComparatorDB::ComparatorDB(int errorCodeBase, const MessageTarget& messages)
    : messages_(messages), errorBase_(errorCodeBase) {}

int ComparatorDB::Fail(const std::string& text, int number) const {
    return printModuleError(messages_, std::string(kPrefix) + text, errorBase_, number);
}

void ComparatorDB::SetDatabaseSource(std::string directory, std::string prefix, std::string dataEnding,
                                     std::string infoEnding) {
    directory_ = std::move(directory);
    prefix_ = std::move(prefix);
    dataEnding_ = std::move(dataEnding);
    infoEnding_ = std::move(infoEnding);
    loadFromFiles_ = true;
}

int ComparatorDB::Init() {
    initialised_ = false;
    if (!ownLog_.open(messages_)) {
        Fail("Can not open log file: " + ownLog_.path(), kLogFile);
        return Fail("Initialization failed.", kInitFailed);
    }
    if (!databaseLoaded_) {
        if (useBuiltIn_) {
            LoadBuiltInDatabase();
            if (!databaseLoaded_) {
                Fail("Database has not been loaded from gen code. Init failed.", kBuiltInNotLoaded);
                return Fail("Initialization failed.", kInitFailed);
            }
        } else if (loadFromFiles_ && LoadDatabaseFromFiles() != 0) {
            Fail("Database has not been loaded. Init failed.", kFilesNotLoaded);
            return Fail("Initialization failed.", kInitFailed);
        }
    }
    initialised_ = true;
    return 0;
}

int ComparatorDB::LoadDatabaseFromFiles() {
    // Files prefix + field + info ending, in name order so that the database order does not depend on the file
    // system; a later entry wins ties.
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(directory_.empty() ? "." : directory_, ec)) {
        if (!item.is_regular_file(ec)) continue;
        const std::string file = item.path().filename().string();
        if (file.size() > prefix_.size() + infoEnding_.size() && file.starts_with(prefix_) &&
            file.ends_with(infoEnding_))
            names.push_back(file);
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) return Fail("No vectors were found for database load in " + directory_, kNoVectorFiles);

    std::vector<Entry> loaded;
    for (const std::string& file : names) {
        const std::string base = file.substr(0, file.find('.'));
        auto reference = std::make_unique<SigVec>(errorBase_, messages_);
        if (reference->ImportVector(directory_, base, dataEnding_, infoEnding_) != 0)
            return Fail("Fail of SigVec load from file: " + file, kVectorFile);
        if (reference->GetVector().empty())
            return Fail("Fail of SigVec load. It is empty. Load from file: " + file, kVectorFile);
        // The field is named without the file prefix and the separator that follows it.
        std::string field = base.substr(prefix_.size());
        if (!field.empty() && field.front() == '_') field.erase(0, 1);
        loaded.push_back({field.empty() ? base : field, std::move(reference)});
    }
    for (Entry& entry : loaded) database_.push_back(std::move(entry));
    databaseLoaded_ = true;
    return 0;
}

void ComparatorDB::LoadBuiltInDatabase() {
    for (const BuiltInField& f : kBuiltInFields) {
        auto reference = std::make_unique<SigVec>(errorBase_, messages_);
        reference->SetVector(std::vector<double>(std::begin(f.components), std::end(f.components)));
        database_.push_back({f.field, std::move(reference)});
    }
    databaseLoaded_ = true;
}

double ComparatorDB::DistanceEuclid(const std::vector<double>& a, const std::vector<double>& b) const {
    if (a.size() != b.size()) {
        Fail("Vectors have different sizes. DistanceEuclid terminated.", kSizesDiffer);
        return -1;
    }
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += (b[i] - a[i]) * (b[i] - a[i]);
    if (!(sum >= 0)) return -1;
    return std::sqrt(sum);
}

std::vector<double> ComparatorDB::ProbabilitiesFromDistances(const std::vector<double>& distances) const {
    if (distances.empty()) {
        Fail("Failed to calculate probabilities from distance. Vector is empty.", kNoProbabilities);
        return {};
    }
    // An exact match (distance 0) has an infinite inverse; the arithmetic is left to IEEE rules on purpose.
    double sum = 0;
    for (double d : distances) sum += 1.0 / d;
    std::vector<double> probabilities;
    probabilities.reserve(distances.size());
    for (double d : distances) probabilities.push_back((1.0 / d) / sum);
    return probabilities;
}

bool ComparatorDB::CheckCompatibility(const std::vector<double>& vector) const {
    if (database_.empty()) return true;
    const size_t referenceSize = database_.front().reference->GetVector().size();
    if (referenceSize == vector.size()) return true;
    printError(messages_, std::string(kPrefix) + "Size of input vector: " + std::to_string(vector.size()) +
                              "is different than size of first vec in database:" + std::to_string(referenceSize));
    return false;
}

int ComparatorDB::Process(std::string& name, double& probability, const SigVec* input) {
    if (!initialised_) return Fail("Init has not been done. Processing failed.", kNotInitialised);
    distances_.clear();
    probabilities_.clear();
    bestIndex_ = -1;

    if (input != nullptr) {
        compared_ = input->GetVector();
    } else {
        SigVec read(errorBase_, messages_);
        if (read.ImportVector(inputPath_, inputName_, inputDataEnding_, inputInfoEnding_) != 0)
            return Fail("Can not load vector for processing. Processing failed.", kNoInput);
        compared_ = read.GetVector();
    }
    if (compared_.empty()) return Fail("Loaded empty vector for processing. Processing failed.", kEmptyInput);

    if (!databaseLoaded_) {
        if (useBuiltIn_) {
            LoadBuiltInDatabase();
            if (!databaseLoaded_)
                return Fail("Database has not been loaded from gen code. Processing failed.", kProcessBuiltInNotLoaded);
        } else if (LoadDatabaseFromFiles() != 0) {
            return Fail("Database has not been loaded. Processing failed.", kProcessFilesNotLoaded);
        }
    }
    if (!CheckCompatibility(compared_)) {
        printErrorCode(messages_, std::string(kPrefix) + "Input vector is not compatible with used database.",
                       kIncompatible);
        return kIncompatible;
    }

    for (const Entry& entry : database_) {
        const double d = DistanceEuclid(entry.reference->GetVector(), compared_);
        distances_.push_back(d == -1 ? kNoDistance : d);
    }
    if (database_.empty()) return 0;
    probabilities_ = ProbabilitiesFromDistances(distances_);
    // A probability that is no number (an exact match) never compares: the engine settles that case.
    double best = -1;
    for (size_t i = 0; i < probabilities_.size(); ++i) {
        if (probabilities_[i] >= best) {
            best = probabilities_[i];
            bestIndex_ = static_cast<int>(i);
        }
    }
    if (bestIndex_ < 0) return 0;
    name = database_[static_cast<size_t>(bestIndex_)].field;
    probability = probabilities_[static_cast<size_t>(bestIndex_)];
    return 0;
}

}  // namespace zel
