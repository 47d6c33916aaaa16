#pragma once
// The particle-identification algorithms as data: for each algorithm number its description, the detector it was
// made for and its classes, each class with the particles it stands for and the range conditions a cluster must
// meet. The heuristic decision trees classify by these conditions alone; the network algorithms share one list of
// input features instead of conditions.
#include <cstddef>
#include <span>
#include <string_view>

namespace zel {

enum class PidFamily { Heuristic, NeuralNetwork };

// A particle a class stands for; the ranges are descriptive only (-1 where not stated).
struct ParticleSpec {
    std::string_view name;
    double energyLow = -1.0;
    double energyHigh = -1.0;
    double angleLow = -1.0;
    double angleHigh = -1.0;
};

// Lower <= value <= upper on the named cluster variable.
struct ConditionSpec {
    std::string_view variable;
    double lower = 0.0;
    double upper = 0.0;
};

inline constexpr size_t kMaxParticlesPerClass = 4;
inline constexpr size_t kMaxConditionsPerClass = 8;

// One class; unused trailing entries have an empty name.
struct ClassSpec {
    std::string_view description;
    ParticleSpec particles[kMaxParticlesPerClass];
    ConditionSpec conditions[kMaxConditionsPerClass];

    constexpr size_t particleCount() const {
        size_t n = 0;
        while (n < kMaxParticlesPerClass && !particles[n].name.empty()) ++n;
        return n;
    }
    constexpr size_t conditionCount() const {
        size_t n = 0;
        while (n < kMaxConditionsPerClass && !conditions[n].variable.empty()) ++n;
        return n;
    }
};

struct DetectorSpec {
    std::string_view chipType;
    std::string_view sensMat;
    double sensThick = 0.0;  // um
    double sensBias = 0.0;   // V
};

struct AlgorithmSpec {
    int number = -1;
    std::string_view description;
    DetectorSpec detector;
    std::span<const ClassSpec> classes;
    std::string_view modelDirectory;  // saved-model directory below the models path (networks only)

    constexpr PidFamily family() const { return number >= 200 ? PidFamily::NeuralNetwork : PidFamily::Heuristic; }
};

// Every algorithm, in the order of the valid numbers: 100, 101, 102, 103, 104, 171, 172, 173, 201, 202, 251, 252.
std::span<const AlgorithmSpec> pidAlgorithms();

// The algorithm of a number, nullptr when the number is no valid one.
const AlgorithmSpec* findPidAlgorithm(int number);

// The cluster variables every class of a network algorithm feeds in, in input order; their bounds accept anything.
std::span<const ConditionSpec> networkFeatures();

}  // namespace zel
