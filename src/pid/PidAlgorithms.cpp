#include "pid/PidAlgorithms.h"

namespace zel {
namespace {

// Open upper ends of ranges.
constexpr double k50 = 1e50;
constexpr double k150 = 1e150;
constexpr double k2x150 = 2e150;
constexpr double k300 = 1e300;

constexpr DetectorSpec kTpxSi300Bias30{"TPX", "Si", 300.0, 30.0};
constexpr DetectorSpec kTpxSi300Bias50{"TPX", "Si", 300.0, 50.0};
constexpr DetectorSpec kTpx3Si500Bias80{"TPX3", "Si", 500.0, 80.0};
constexpr DetectorSpec kTpx3Si100Bias50{"TPX3", "Si", 100.0, 50.0};
constexpr DetectorSpec kTpx3Si500Bias200{"TPX3", "Si", 500.0, 200.0};

// Simplified tree: three LET bands.
constexpr ClassSpec kClasses101[] = {
    {"Low LET: electrons, X-rays, gamma",
     {{"Photon", 0, k50, 0, 180}, {"Electron", 0, k50, 0, 180}},
     {{"Height", 0, 50}, {"EpixMean", 0, 30}}},
    {"Mid LET: protons", {{"Proton", 0, k50, 0, 180}}, {{"Height", 50, 1000}, {"EpixMean", 30, 120}}},
    {"High LET: ions", {{"Ion", 0, k50, 0, 180}}, {{"Height", 1000, k50}, {"EpixMean", 120, k50}}},
};

constexpr ClassSpec kClasses102[] = {
    {"X-rays; LE electrons OD; HE electrons OD; muons PP",
     {{"Photon", 0.1, 0.5, 0, 90}, {"Electron", 0, 1, 0, 90}, {"Electron", 1, k2x150, 0, 90}, {"Moun", 0, k2x150, 0, 20}},
     {{"Height", 0, 50}, {"EpixMean", 0, 30}}},
    {"LE protons OD; HE protons PP",
     {{"Proton", 0, 1, 0, 90}, {"Proton", 1, k150, 0, 20}},
     {{"Height", 50, 1000}, {"LengthProj", 0, 2.2}, {"EpixMean", 30, 120}, {"Size", 4, k150}}},
    {"LE alphas OD; HE alphas PP",
     {{"Alpha", 0, 1, 0, 90}, {"Alpha", 1, k150, 0, 20}},
     {{"Height", 1000, 5000}, {"LengthProj", 0, 2.2}, {"EpixMean", 120, 300}, {"Size", 4, k150}}},
    {"LE ions OD; HE ions PP",
     {{"Ion", 0, 1, 0, 90}, {"Ion", 1, k150, 0, 20}},
     {{"Height", 5000, k150}, {"LengthProj", 0, 2.2}, {"EpixMean", 300, k150}, {"Size", 4, k150}}},
    {"HE electrons OD; muons nPP",
     {{"Electron", 1, k2x150, 0, 90}, {"Moun", 0, k2x150, 20, 90}},
     {{"Height", 0, 50}, {"LengthProj", 2.2, k150}, {"EpixMean", 0, 30}, {"LET", 0, 0.75}, {"Size", 4, k150}}},
    {"HE protons nPP; UHE protons nPP; UHE alphas nPP",
     {{"Proton", 4, 60, 20, 90}, {"Proton", 60, k2x150, 20, 90}, {"Alpha", 100, k2x150, 20, 90}},
     {{"Height", 50, 1000}, {"LengthProj", 2.2, k150}, {"EpixMean", 30, 120}, {"LET", 0.75, 8}, {"Size", 4, k150}}},
    {"HE alphas nPP; UHE light ions nPP",
     {{"Alpha", 16, 100, 20, 90}, {"IonLight", 100, k150, 20, 90}},
     {{"Height", 300, 5000}, {"LengthProj", 2.2, k150}, {"EpixMean", 120, 300}, {"LET", 8, 60}, {"Size", 4, k150}}},
    {"He ions nPP",
     {{"Ion", 10, 100, 20, 90}},
     {{"Height", 5000, k150}, {"LengthProj", 2.2, k150}, {"EpixMean", 300, k150}, {"LET", 60, k150}, {"Size", 4, k150}}},
};

constexpr ClassSpec kClasses103[] = {
    {"X-rays; HE electrons PP; HE protons PP",
     {{"Photon", 0.1, 0.5, 0, 90}, {"Electron", 1, k2x150, 0, 20}, {"Proton", 10, k2x150, 0, 20}},
     {{"Size", 0, 8}, {"E", 0, 100}, {"Height", 0, 60}, {"EpixMean", 0, 100}, {"Roundness", 1, 1.2}}},
    {"Gamma rays LE (e.g. 137 Cs)",
     {{"Gamma", 0.5, 1, 0, 90}},
     {{"Size", 8, 30}, {"E", 100, 1500}, {"Height", 80, 300}, {"EpixMean", 60, 130}, {"Linearity", 0.35, 1.1}, {"LET", 0.9, 5}}},
    {"Gamma rays HE (e.g. 60 Co)",
     {{"Gamma", 1, k150, 0, 90}},
     {{"Size", 8, 50}, {"E", 300, 2000}, {"Height", 100, 400}, {"EpixMean", 45, 100}, {"Linearity", 0.3, 1}, {"LET", 0.9, 5}}},
    {"LE electrons OD (< 10 MeV)",
     {{"Electron", 0, 10, 0, 90}},
     {{"Size", 5, 25}, {"E", 100, 1500}, {"Height", 50, 200}, {"EpixMean", 30, 80}, {"Roundness", 0.9, 1.3}, {"Linearity", 0.6, k150}}},
    {"HE electrons nPP (> 10 MeV)",
     {{"Electron", 10, k150, 20, 90}},
     {{"Size", 8, 40}, {"E", 150, 800}, {"Height", 30, 200}, {"EpixMean", 20, 60}, {"Roundness", 0, 0.7}, {"LET", 0.8, 2}}},
    {"LE && HE electrons PP",
     {{"Electron", 0, k150, 0, 20}},
     {{"Size", 0, 7}, {"E", 100, 800}, {"EpixMean", 30, 80}, {"Linearity", 0, 0.6}, {"LET", 0.8, 2}}},
    {"LE protons (< 3MeV)", {{"Proton", 0, 3, 0, 90}}, {{"Size", 8, 18}, {"Height", 400, 700}, {"EpixMean", 70, 300}}},
    {"ME protons (3-10 MeV)",
     {{"Proton", 3, 10, 0, 90}},
     {{"Size", 15, 40}, {"Height", 450, k150}, {"EpixMean", 50, 200}, {"LET", 4, 10}}},
    {"HE protons (>10 MeV)",
     {{"Proton", 10, k150, 0, 90}},
     {{"Size", 10, 80}, {"Height", 150, k150}, {"EpixMean", 30, 250}, {"LET", 4, 40}}},
    {"LE alphas (<10 MeV)",
     {{"Alpha", 0, 10, 0, 90}},
     {{"Size", 10, 200}, {"E", 500, 10000}, {"Height", 100, k150}, {"EpixMean", 45, 80}}},
    {"HE alphas (>10 MeV)",
     {{"Alpha", 10, k150, 0, 90}},
     {{"Size", 150, 400}, {"E", 10000, 70000}, {"Height", 450, k150}, {"EpixMean", 30, 300}}},
    {"LE ions (<10 MeV/u)",
     {{"Ion", 0, 10, 0, 90}},
     {{"Size", 30, 200}, {"E", 10000, k150}, {"Height", 450, k150}, {"EpixMean", 30, 300}}},
    {"HE ions (>10 MeV/u)", {{"Ion", 10, k150, 0, 90}}, {{"Size", 200, k150}, {"EpixMean", 30, 300}}},
    {"LE, thermal && slow neutrons ( < 0.5 eV) ",
     {{"Neutron", 0, 0.0005, 0, 90}},
     {{"Size", 25, 100}, {"Height", 300, k150}, {"EpixMean", 150, 300}}},
    {"HE fast neutrons ( > 1 MeV) ",
     {{"Neutron", 1, k150, 0, 90}},
     {{"Size", 25, 100}, {"Height", 300, k150}, {"EpixMean", 150, 300}, {"LET", 0.5, 0.7}}},
};

// Particle ranges of this tree are not stated.
constexpr ClassSpec kClasses104[] = {
    {"ME protons nPP",
     {{"Proton"}},
     {{"Height", 250, 6000}, {"E", 250, 5000}, {"Roundness", 0, 0.9}, {"Size", 6, 400}, {"EpixMean", 40, 30000},
      {"Thin", 0, 0.9}}},
    {"LE protons nPP, ions nPP",
     {{"Proton"}, {"Ion"}},
     {{"Height", 120, 6000}, {"E", 5000, 3000000}, {"Roundness", 0, 0.9}, {"Size", 12, 3000}, {"EpixMean", 30, 3000}}},
    {"HE protons nPP",
     {{"Proton"}},
     {{"Height", 90, 250}, {"E", 80, 5000}, {"Roundness", 0, 0.9}, {"Size", 6, 1000}, {"EpixMean", 30, 1000},
      {"Thin", 0.55, 1}, {"Linearity", 0.55, 1}, {"LengthProj", 4, 500}}},
    {"LE-ME protons PP",
     {{"Proton"}},
     {{"Height", 150, 5000}, {"E", 1500, 4500}, {"Roundness", 0.9, 1}, {"Size", 4, 300}, {"EpixMean", 30, 5000}}},
    {"HE protons PP",
     {{"Proton"}},
     {{"Height", 150, 1200}, {"E", 150, 1500}, {"Roundness", 0.85, 1}, {"Size", 4, 200}, {"EpixMean", 30, 5000},
      {"Linearity", 0, 0.8}}},
    {"Ions PP",
     {{"Ion"}},
     {{"Height", 150, 10000}, {"E", 4500, 5000000}, {"Roundness", 0.9, 1}, {"Size", 4, 300}, {"EpixMean", 30, 5000}}},
    {"ME electrons, gamma-rays",
     {{"Gamma"}, {"Electron"}},
     {{"Height", 5, 170}, {"E", 5, 9000}, {"Size", 4, 300}, {"EpixMean", 4, 50}, {"Thin", 0.85, 1}, {"Linearity", 0, 0.85}}},
    {"X rays, HE electrons PP", {{"Photon"}, {"Electron"}}, {{"Size", 1, 3}, {"EpixMean", 3, 500}}},
    {"LE electrons, gamma rays",
     {{"Gamma"}, {"Electron"}},
     {{"Height", 10, 120}, {"E", 80, 5000}, {"Roundness", 0, 0.85}, {"Size", 4, 400}, {"EpixMean", 5, 30},
      {"Thin", 0, 0.85}, {"Linearity", 0, 0.85}}},
    {"HE electrons, gamma rays",
     {{"Proton"}},
     {{"Height", 10, 170}, {"E", 5, 5000}, {"Size", 4, 300}, {"EpixMean", 4, 30}, {"Linearity", 0.85, 1}}},
};

// Thermal neutrons seen through a LiF converter: one class, the same seven variables, bounds per detector.
constexpr ClassSpec kClasses171[] = {
    {"Neutrons from LiF converter",
     {{"Neutron", 0, k50, 0, 180}},
     {{"Size", 8, 16}, {"Linearity", 0, 0.681}, {"LengthProj", 2, 3.61}, {"Height", 300, 600}, {"E", 600, 1800},
      {"Roundness", 0.3, 1000}, {"BorderPixCount", 6, 10}}},
};
constexpr ClassSpec kClasses172[] = {
    {"Neutrons from LiF converter",
     {{"Neutron", 0, k50, 0, 180}},
     {{"Size", 6, 40}, {"Linearity", 0, 0.41}, {"LengthProj", 2, 8}, {"Height", 179, 600}, {"E", 600, 2800},
      {"Roundness", 0.12, 1000}, {"BorderPixCount", 5, 17}}},
};
constexpr ClassSpec kClasses173[] = {
    {"Neutrons from LiF converter",
     {{"Neutron", 0, k50, 0, 180}},
     {{"Size", 9, 30}, {"Linearity", 0, 0.41}, {"LengthProj", 3, 5.35}, {"Height", 275, 600}, {"E", 770, 2200},
      {"Roundness", 0.19, 1000}, {"BorderPixCount", 7, 14}}},
};

// Network classes carry no conditions of their own: they all take the shared feature list.
constexpr ClassSpec kClassesNetwork3[] = {
    {"Protons", {{"Proton", 0, k300, 0, 90}}, {}},
    {"Photons && Electrons", {{"Photon", 0, k300, 0, 90}, {"Electron", 0, k300, 0, 90}}, {}},
    {"Ions", {{"Ion", 0, k300, 0, 90}}, {}},
};
constexpr ClassSpec kClassesNetwork6[] = {
    {"Protons LE (<30 MeV)", {{"Proton", 0, 30, 0, 90}}, {}},
    {"Protons ME (>30 & <100 MeV)", {{"Proton", 30, 100, 0, 90}}, {}},
    {"Protons HE (>100 MeV)", {{"Proton", 100, k300, 0, 90}}, {}},
    {"Photons && Electrons", {{"Photon", 0, k300, 0, 90}, {"Electron", 0, k300, 0, 90}}, {}},
    {"Helium ions", {{"Alpha", 0, k300, 0, 90}}, {}},
    {"Ions (except He)", {{"Ion", 0, k300, 0, 90}}, {}},
};

constexpr ConditionSpec kNetworkFeatures[] = {
    {"E", -k300, k300},         {"Size", -k300, k300},      {"Height", -k300, k300},     {"BorderPixCount", -k300, k300},
    {"Roundness", -k300, k300}, {"Linearity", -k300, k300}, {"LengthProj", -k300, k300}, {"WidthProj", -k300, k300},
};

constexpr std::string_view kTreeDescription = "Heuristic decision tree";
constexpr std::string_view kNeutronDescription = "Heuristic decision tree for thermal neutron recognition";
constexpr std::string_view kNetworkDescription = "Dense neural network";

constexpr AlgorithmSpec kAlgorithms[] = {
    {100, "", {}, {}, ""},
    {101, "Heuristic decision tree; simplified", kTpxSi300Bias30, kClasses101, ""},
    {102, kTreeDescription, kTpxSi300Bias30, kClasses102, ""},
    {103, kTreeDescription, kTpx3Si500Bias80, kClasses103, ""},
    {104, kTreeDescription, kTpx3Si500Bias80, kClasses104, ""},
    {171, kNeutronDescription, kTpx3Si100Bias50, kClasses171, ""},
    {172, kNeutronDescription, kTpx3Si500Bias80, kClasses172, ""},
    {173, kNeutronDescription, kTpx3Si500Bias200, kClasses173, ""},
    {201, kNetworkDescription, kTpxSi300Bias50, kClassesNetwork3, "TPX_300um_Si_3classes"},
    {202, kNetworkDescription, kTpxSi300Bias50, kClassesNetwork6, "TPX_300um_Si_6classes"},
    {251, kNetworkDescription, kTpx3Si500Bias80, kClassesNetwork3, "TPX3_500um_Si_3classes"},
    {252, kNetworkDescription, kTpx3Si500Bias80, kClassesNetwork6, "TPX3_500um_Si_6classes"},
};

static_assert(kClasses101[0].conditionCount() == 2 && kClasses104[2].conditionCount() == kMaxConditionsPerClass);
static_assert(kClasses102[0].particleCount() == kMaxParticlesPerClass);

}  // namespace

std::span<const AlgorithmSpec> pidAlgorithms() { return kAlgorithms; }

const AlgorithmSpec* findPidAlgorithm(int number) {
    for (const AlgorithmSpec& algorithm : kAlgorithms) {
        if (algorithm.number == number) return &algorithm;
    }
    return nullptr;
}

std::span<const ConditionSpec> networkFeatures() { return kNetworkFeatures; }

}  // namespace zel
