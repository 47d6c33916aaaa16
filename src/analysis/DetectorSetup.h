#pragma once
// Where the sensors of a measuring setup lie in space: detectors (one readout each, named by a key) holding
// assemblies (one chip with its sensor, placed by two corners and a vector). Read from a geometry file in the INI
// syntax of ConfigFile, or built from the sensor settings as a setup of one detector with one assembly.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Assembly.h"
#include "common/ConfigFile.h"
#include "common/Messages.h"
#include "engine/Module.h"

namespace zel {

struct Settings;

class Detector {
public:
    std::string key;
    std::string readout;
    std::vector<int> assemblyIds;  // NumIDs listed by the geometry file

    // False, and the detector stays as it was, when it already holds an assembly of the same NumID.
    bool addAssembly(const Assembly* assembly);
    const std::vector<const Assembly*>& assemblies() const { return assemblies_; }

private:
    std::vector<const Assembly*> assemblies_;
};

class DetectorSetup : public Module {
public:
    static constexpr std::string_view kName = "DetectorSetup";
    static constexpr std::string_view kVersion = "1.0.2";
    static constexpr std::string_view kVersionDate = "10/1/2023";

    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kCannotOpen = 101,
        kDuplicateAssemblyInSetup = 102,
        kEmptyDetectorKey = 103,
        kNoAssemblyLoaded = 104,
        kNoDetectorLoaded = 105,
        kDuplicateDetectorKey = 106,
        kDuplicateAssemblyInDetector = 107,
        kBadPlacement = 108,
        kUnknownAssembly = 109,
        kNoNumId = 110,
        kNoAssemblyAtIndex = 111,
        kCannotRead = 113,
    };

    DetectorSetup() = default;
    DetectorSetup(const DetectorSetup&) = delete;
    DetectorSetup& operator=(const DetectorSetup&) = delete;

    void setMessageTarget(const MessageTarget& to) { messages_ = to; }
    void setErrorCodeBase(int base) { codeBase_ = base; }
    int errorCodeBase() const { return codeBase_; }

    // The setup the settings name: the geometry file DetGeoPath + DetGeoName, or the built-in one-detector
    // setup when no file is named. 0 or the code of the first failure.
    int init(const Settings& settings, const MessageTarget& to, int codeBase);
    // As a module of the engine: init from the context's settings, and the report of the detectors.
    int init(const ModuleContext& context) override;
    std::string_view name() const override { return "Geometry"; }
    void report(const MessageTarget& to) const override { print(to); }
    // Reads the geometry file directory + fileName. 0 or the code of the first failure.
    int loadConfig(const std::string& directory, const std::string& fileName);
    // Builds the setup from a configuration already in memory.
    int loadConfig(const ConfigFile& config);
    // The in-memory configuration of the built-in setup: one detector "X00" with one assembly made from the
    // sensor settings.
    static ConfigFile defaultConfig(const Settings& settings);

    // Adds to the setup (the NumID must be new there); 0 or the reported code.
    int addAssembly(std::unique_ptr<Assembly> assembly);
    // Adds a detector (its key must be set and new); 0 or the reported code.
    int addDetector(Detector detector);

    size_t assemblyCount() const { return assemblies_.size(); }
    const std::vector<Detector>& detectors() const { return detectors_; }
    // The assembly at `index` (0 to count - 1) in the order they were added, or nullptr after the reported code
    // base - 111 (in `result` when given).
    const Assembly* assemblyAt(int index, int* result = nullptr) const;
    const Assembly* assemblyById(int numId) const;
    const Detector* detector(std::string_view key) const;

    const std::string& assemblyConfigKey() const { return assemblyKey_; }
    const std::string& detectorConfigKey() const { return detectorKey_; }
    const std::string& configPath() const { return configPath_; }

    // Export and log settings of the geometry file.
    bool doExport() const { return doExport_; }
    const std::string& fileOutPath() const { return fileOutPath_; }
    const std::string& fileOutName() const { return fileOutName_; }
    bool doPrintOut() const { return messages_.print; }
    bool doLog() const { return messages_.doLog; }
    const std::string& fileLogName() const { return fileLogName_; }
    const std::string& fileLogPath() const { return fileLogPath_; }

    // The console report of every detector and assembly.
    std::string reportText() const;
    void print(const MessageTarget& to) const;

private:
    int fail(const std::string& text, int number) const;
    void readSettingsSections(const ConfigFile& config);
    int readAssembly(const ConfigFile& config, const ConfigSection& section);
    int readDetector(const ConfigFile& config, const ConfigSection& section);
    int attachAssemblies(Detector& detector);

    std::vector<Detector> detectors_;
    std::vector<std::unique_ptr<Assembly>> assemblies_;
    std::string assemblyKey_ = "Assembly";
    std::string detectorKey_ = "Detector";
    std::string configPath_;
    bool doExport_ = false;
    std::string fileOutPath_;
    std::string fileOutName_;
    std::string fileLogName_ = "LogFile.txt";
    std::string fileLogPath_;
    MessageTarget messages_{nullptr, true, true};
    int codeBase_ = 0;
};

}  // namespace zel
