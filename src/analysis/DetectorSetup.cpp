#include "analysis/DetectorSetup.h"

#include <cmath>
#include <fstream>
#include <utility>

#include "common/NumberText.h"
#include "common/Text.h"
#include "engine/Settings.h"

namespace zel {
namespace {

// The keys of an assembly section, each with the member it sets; absent keys keep the member's default.
struct TextKey {
    std::string_view key;
    std::string Assembly::*member;
};
struct NumberKey {
    std::string_view key;
    double Assembly::*member;
};
struct WholeKey {
    std::string_view key;
    int Assembly::*member;
};
constexpr TextKey kTextKeys[] = {
    {"Chip_Type", &Assembly::chipType},
    {"Sensor_Material", &Assembly::sensorMaterial},
    {"BumpBond_Material", &Assembly::bumpBondMaterial},
};
constexpr NumberKey kNumberKeys[] = {
    {"Chip_Thickness", &Assembly::chipThickness},         {"Sensor_Density", &Assembly::sensorDensity},
    {"Sensor_Thickness", &Assembly::sensorThickness},     {"Sensor_Temperature", &Assembly::sensorTemperature},
    {"Sensor_Bias", &Assembly::sensorBias},               {"BumpBond_Thickness", &Assembly::bumpBondThickness},
    {"BumpBond_Height", &Assembly::bumpBondHeight},       {"PixelSize", &Assembly::pixelSize},
};
constexpr WholeKey kWholeKeys[] = {
    {"NumID", &Assembly::numId},
    {"MatrixPixelWidth", &Assembly::matrixPixelWidth},
    {"MatrixHeight", &Assembly::matrixHeight},
};

// Placements are read as given; a file that leaves out the vector puts the columns along x.
const std::vector<double> kDefaultVector{1.0, 0.0, 0.0};

bool readText(const ConfigFile& config, const ConfigSection& section, std::string_view key, std::string& value) {
    const ConfigParameter parameter = config.getParameter(key, section);
    if (parameter.strings.empty()) return false;
    value = parameter.strings.front();
    return true;
}

bool readNumber(const ConfigFile& config, const ConfigSection& section, std::string_view key, double& value) {
    const ConfigParameter parameter = config.getParameter(key, section);
    if (parameter.numbers.empty()) return false;
    value = parameter.numbers.front();
    return true;
}

bool readFlag(const ConfigFile& config, const ConfigSection* section, std::string_view key, bool& value) {
    double number = 0.0;
    if (section == nullptr || !readNumber(config, *section, key, number)) return false;
    value = number != 0.0;
    return true;
}

std::string listText(const std::vector<double>& values) {
    std::string text = "[";
    for (size_t i = 0; i < values.size(); ++i) text += (i > 0 ? ", " : "") + formatG(values[i]);
    return text + "]";
}

const char* placementProblem(int result) {
    switch (result) {
        case Assembly::kEmpty: return "has no values";
        case Assembly::kLengthMismatch: return "differ in length";
        case Assembly::kVectorMismatch: return "and Vector differ in length";
        default: return "has zero length";
    }
}

}  // namespace

bool Detector::addAssembly(const Assembly* assembly) {
    for (const Assembly* held : assemblies_) {
        if (held->numId == assembly->numId) return false;
    }
    assemblies_.push_back(assembly);
    return true;
}

int DetectorSetup::fail(const std::string& text, int number) const {
    return printModuleError(messages_, text, codeBase_, number);
}

int DetectorSetup::init(const ModuleContext& context) {
    return init(context.settings, context.messages, context.codeBase);
}

int DetectorSetup::init(const Settings& settings, const MessageTarget& to, int codeBase) {
    messages_ = to;
    codeBase_ = codeBase;
    if (settings.DetGeoName.empty()) return loadConfig(defaultConfig(settings));
    return loadConfig(settings.DetGeoPath, settings.DetGeoName);
}

ConfigFile DetectorSetup::defaultConfig(const Settings& s) {
    ConfigFile config;
    config.setSkipLoad(true);
    config.addSection("AssemblyA");
    config.addParameter("AssemblyA", "NumID", 0.0);
    config.addParameter("AssemblyA", "Chip_Type", s.ChipType);
    config.addParameter("AssemblyA", "Sensor_Material", s.SensMat);
    config.addParameter("AssemblyA", "Sensor_Thickness", s.SensThick);
    config.addParameter("AssemblyA", "Sensor_Density", s.SensDens);
    config.addParameter("AssemblyA", "Sensor_Bias", s.SensBias);
    config.addParameter("AssemblyA", "MatrixPixelWidth", static_cast<double>(s.SensWidth));
    config.addParameter("AssemblyA", "MatrixHeight", static_cast<double>(s.SensHeight));
    config.addParameter("AssemblyA", "PixelSize", 55.0);
    config.addParameter("AssemblyA", "PositionA", {-7.0125, -7.0125, 0.0});
    config.addParameter("AssemblyA", "PositionB", {7.0675, 7.0675, s.SensThick / 1000.0});
    config.addParameter("AssemblyA", "Vector", {1.0, 0.0, 0.0});
    config.addSection("DetectorA");
    config.addParameter("DetectorA", "Key", "X00");
    config.addParameter("DetectorA", "Readout", "Tinybox");
    config.addParameter("DetectorA", "Assemblies", {0.0});
    return config;
}

int DetectorSetup::loadConfig(const std::string& directory, const std::string& fileName) {
    configPath_ = directory + fileName;
    if (!std::ifstream(configPath_).is_open()) {
        return fail("Can not open config file: " + configPath_, kCannotOpen);
    }
    ConfigFile config(directory, fileName);
    config.setMessageTarget(messages_);
    config.setErrorCodeBase(codeBase_);
    if (config.load() != 0) return fail("Failed to open config file in load config function.", kCannotRead);
    return loadConfig(config);
}

int DetectorSetup::loadConfig(const ConfigFile& config) {
    readSettingsSections(config);
    int result = 0;
    auto keep = [&result](int code) {
        if (result == 0) result = code;
    };
    // Assemblies first, so that a detector may name assemblies whose sections come after its own.
    for (const auto& section : config.sections()) {
        if (!contains(section->name, detectorKey_) && contains(section->name, assemblyKey_)) {
            keep(readAssembly(config, *section));
        }
    }
    for (const auto& section : config.sections()) {
        if (contains(section->name, detectorKey_)) keep(readDetector(config, *section));
    }
    const std::string prefix(kName);
    if (assemblies_.empty()) keep(fail(prefix + " : No assembly was loaded from ini file.", kNoAssemblyLoaded));
    if (detectors_.empty()) keep(fail(prefix + " : No detector was loaded from ini file.", kNoDetectorLoaded));
    return result;
}

void DetectorSetup::readSettingsSections(const ConfigFile& config) {
    if (const ConfigSection* settings = config.getSection("Settings")) {
        readText(config, *settings, "AssemblyConfigKey", assemblyKey_);
        readText(config, *settings, "DetectorConfigKey", detectorKey_);
    }
    const ConfigSection* exportSection = config.getSection("Export");
    readFlag(config, exportSection, "DoExport", doExport_);
    if (exportSection != nullptr) {
        readText(config, *exportSection, "FileOut_Path", fileOutPath_);
        readText(config, *exportSection, "FileOut_Name", fileOutName_);
    }
    const ConfigSection* logSection = config.getSection("LogPrint");
    readFlag(config, logSection, "DoPrintOut", messages_.print);
    readFlag(config, logSection, "DoLog", messages_.doLog);
    if (logSection != nullptr) {
        readText(config, *logSection, "FileLog_Name", fileLogName_);
        readText(config, *logSection, "FileLog_Path", fileLogPath_);
    }
}

int DetectorSetup::readAssembly(const ConfigFile& config, const ConfigSection& section) {
    auto assembly = std::make_unique<Assembly>();
    for (const TextKey& k : kTextKeys) readText(config, section, k.key, (*assembly).*k.member);
    for (const NumberKey& k : kNumberKeys) readNumber(config, section, k.key, (*assembly).*k.member);
    for (const WholeKey& k : kWholeKeys) {
        double value = 0.0;
        if (readNumber(config, section, k.key, value)) (*assembly).*k.member = static_cast<int>(std::lround(value));
    }
    const std::string name = std::string(kName) + " : Assembly of section " + section.name;
    if (assembly->numId < 0) return fail(name + " has no NumID.", kNoNumId);
    assembly->resolveDensity();

    const ConfigParameter a = config.getParameter("PositionA", section);
    const ConfigParameter b = config.getParameter("PositionB", section);
    const ConfigParameter v = config.getParameter("Vector", section);
    if (a.numbers.size() != 3 || b.numbers.size() != 3) {
        return fail(name + " needs PositionA and PositionB of 3 coordinates each (mm), has " +
                          std::to_string(a.numbers.size()) + " and " + std::to_string(b.numbers.size()) + ".",
                      kBadPlacement);
    }
    int placed = assembly->setVector(v.key == ConfigFile::kNotFoundKey ? kDefaultVector : v.numbers);
    if (placed != 0) return fail(name + ": Vector " + placementProblem(placed) + ".", kBadPlacement);
    placed = assembly->setPositions(a.numbers, b.numbers);
    if (placed != 0) return fail(name + ": PositionA, PositionB " + placementProblem(placed) + ".", kBadPlacement);
    assembly->setUpTransform(messages_);
    return addAssembly(std::move(assembly));
}

int DetectorSetup::readDetector(const ConfigFile& config, const ConfigSection& section) {
    Detector detector;
    readText(config, section, "Key", detector.key);
    readText(config, section, "Readout", detector.readout);
    for (double id : config.getParameter("Assemblies", section).numbers) {
        detector.assemblyIds.push_back(static_cast<int>(std::lround(id)));
    }
    const int attached = attachAssemblies(detector);
    if (attached != 0) return attached;
    return addDetector(std::move(detector));
}

int DetectorSetup::attachAssemblies(Detector& detector) {
    const std::string prefix(kName);
    for (int id : detector.assemblyIds) {
        const Assembly* assembly = assemblyById(id);
        if (assembly == nullptr) {
            return fail(prefix + " : Detector " + detector.key + " names an assembly that is not in the setup: " +
                              std::to_string(id),
                          kUnknownAssembly);
        }
        if (!detector.addAssembly(assembly)) {
            return fail(prefix +
                              " : Can not add assembly because assembly with the same NumID already exist in the "
                              "detector: " + std::to_string(id),
                          kDuplicateAssemblyInDetector);
        }
    }
    return 0;
}

int DetectorSetup::addAssembly(std::unique_ptr<Assembly> assembly) {
    if (assemblyById(assembly->numId) != nullptr) {
        return fail(std::string(kName) +
                          " : Can not add assembly because assembly with the same NumID already exist in the setup: " +
                          std::to_string(assembly->numId),
                      kDuplicateAssemblyInSetup);
    }
    assemblies_.push_back(std::move(assembly));
    return 0;
}

int DetectorSetup::addDetector(Detector detector) {
    const std::string prefix(kName);
    if (detector.key.empty()) return fail(prefix + " : Detector was not initialized/set (empty key).", kEmptyDetectorKey);
    if (this->detector(detector.key) != nullptr) {
        return fail(prefix + " : Detector can not be added because it has the same key as another detector: " +
                          detector.key,
                      kDuplicateDetectorKey);
    }
    detectors_.push_back(std::move(detector));
    return 0;
}

const Assembly* DetectorSetup::assemblyAt(int index, int* result) const {
    const std::string text = std::string(kName) + " : Can not find assembly at the given index: " + std::to_string(index);
    const char* why = nullptr;
    if (detectors_.empty()) {
        why = ". There are no detectors in the setup.";
    } else if (index < 0) {
        why = ". Index has negative value (should be from 0 to total count of assemblies-1).";
    } else if (static_cast<size_t>(index) >= assemblies_.size()) {
        why = ". Index has higher value than count of all assemblies";
    }
    const int code = why != nullptr ? fail(text + why, kNoAssemblyAtIndex) : 0;
    if (result != nullptr) *result = code;
    return code == 0 ? assemblies_[static_cast<size_t>(index)].get() : nullptr;
}

const Assembly* DetectorSetup::assemblyById(int numId) const {
    for (const auto& assembly : assemblies_) {
        if (assembly->numId == numId) return assembly.get();
    }
    return nullptr;
}

const Detector* DetectorSetup::detector(std::string_view key) const {
    for (const Detector& d : detectors_) {
        if (d.key == key) return &d;
    }
    return nullptr;
}

std::string DetectorSetup::reportText() const {
    const std::string rule = "---------------------------------------------------------\n";
    std::string text = rule + "DETECOTRS:\n\n";
    if (detectors_.empty()) text += " (no detectors in setup)  \n";
    for (const Detector& d : detectors_) {
        text += "DETECTOR\n\n";
        text += "Key:\t\t" + d.key + "\n";
        text += "Readout:\t" + d.readout + "\n";
        for (const Assembly* a : d.assemblies()) {
            text += "\n\t---------------------------\n";
            text += "ASSEMBLY\n\n";
            text += "NumID:\t\t" + std::to_string(a->numId) + "\n";
            text += "BumpBondMat:\t" + a->bumpBondMaterial + "\n";
            text += "PositionA\t" + listText(a->positionA()) + "\n";
            text += "PositionB\t" + listText(a->positionB()) + "\n";
            text += "Vector\t\t" + listText(a->vector()) + "\n";
            text += "CHIP\n\n";
            text += "Type:\t\t" + a->chipType + "\n";
            text += "Thickness:\t" + formatG(a->chipThickness) + "\n";
            text += "SENSOR\n\n";
            text += "Material:\t" + a->sensorMaterial + "\n";
            text += "Density:\t" + formatG(a->sensorDensity) + "\n";
            text += "Thickness:\t" + formatG(a->sensorThickness) + "\n";
            text += "Temperature:\t" + formatG(a->sensorTemperature) + "\n";
            text += "Bias:\t\t" + formatG(a->sensorBias) + "\n";
        }
        text += "\n\t--------------------------------------\n\n";
    }
    return text + rule;
}

void DetectorSetup::print(const MessageTarget& to) const { printMsg(to, reportText()); }

}  // namespace zel
