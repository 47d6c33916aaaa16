#pragma once
// Reader and writer of the sectioned key/value files that configure the modules (histograms, significant vector,
// filter, geometry, Compton and coincidence files, histogram and vector information files), and of the default
// configurations the engine builds in memory. Sections and parameters keep their file order.
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Messages.h"

namespace zel {

// One key with its values. The reader fills the string values when the line holds a double quote and the number
// values otherwise; a parameter built in code may carry either. Booleans are numbers 0 or 1.
struct ConfigParameter {
    std::string key;
    std::vector<std::string> strings;
    std::vector<double> numbers;
};

// A named section with its parameters in file order; keys are unique within it.
struct ConfigSection {
    std::string name;
    std::vector<ConfigParameter> parameters;

    // The parameter with exactly this key, or nullptr.
    const ConfigParameter* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
};

class ConfigFile {
public:
    // Key of the parameter returned by a lookup that found nothing.
    static constexpr std::string_view kNotFoundKey = "ParNotFound";

    // Error numbers; every reported code is the error-code base minus one of these.
    enum Error : int {
        kCannotOpenInput = 101,
        kDuplicateSection = 103,
        kNothingLoaded = 104,
        kNoSection = 105,
        kBadSectionName = 106,
        kDuplicateKey = 107,
        kEmptyKey = 108,
        kBadParameter = 110,
        kBadKeyText = 111,
        kCannotOpenOutput = 112,
        kLineTooLong = 113,
    };

    // No input; output goes to "File.ini" in the current directory.
    ConfigFile();
    // `directory` ends with its separator; both reading and writing use directory + fileName.
    ConfigFile(std::string directory, std::string fileName);

    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;
    ConfigFile(ConfigFile&&) noexcept = default;
    ConfigFile& operator=(ConfigFile&&) noexcept = default;
    ~ConfigFile() = default;

    // Reads the input file. 0 when nothing went wrong, else the sum of the codes of all errors met; the sections
    // read before an error stay in place. With the skip-load flag set, returns 0 and reads nothing.
    int load();
    // Writes every section to the output file: 0, or base - 112 when the file cannot be opened.
    int save() const;
    // The text that save writes.
    std::string text() const;

    ConfigSection* getSection(std::string_view name);
    const ConfigSection* getSection(std::string_view name) const;
    const std::vector<std::unique_ptr<ConfigSection>>& sections() const { return sections_; }

    // First parameter with the key over all sections, or in one section; a miss gives key "ParNotFound" and
    // empty lists.
    ConfigParameter getParameter(std::string_view key) const;
    ConfigParameter getParameter(std::string_view key, std::string_view sectionName) const;
    ConfigParameter getParameter(std::string_view key, const ConfigSection& section) const;
    // False as well for a parameter that is literally named "ParNotFound".
    bool hasParameter(std::string_view key, std::string_view sectionName) const;
    bool hasParameter(std::string_view key, const ConfigSection& section) const;
    // String values of the parameter; empty when the section or the key is missing.
    std::vector<std::string> getStrings(std::string_view key, std::string_view sectionName) const;

    // Appends a section unless its name exists ("Section already exist." is shown then). Returns the section
    // with that name, new or existing.
    ConfigSection& addSection(std::string_view name);
    ConfigSection& addSection(ConfigSection section);

    // Append only when the section exists and the key is new in it; otherwise nothing happens, silently.
    void addParameter(std::string_view sectionName, std::string_view key, const std::string& value);
    void addParameter(std::string_view sectionName, std::string_view key, const char* value);
    void addParameter(std::string_view sectionName, std::string_view key, double value);
    void addParameter(std::string_view sectionName, std::string_view key, const std::vector<double>& values);
    void addParameter(std::string_view sectionName, std::string_view key, const std::vector<std::string>& values);
    // Braced lists of numbers or of texts, which would otherwise also match the single-string form.
    void addParameter(std::string_view sectionName, std::string_view key, std::initializer_list<double> values);
    void addParameter(std::string_view sectionName, std::string_view key, std::initializer_list<const char*> values);
    // Creates the section when it is missing, then appends the parameter when its key is new there.
    void addParameter(std::string_view sectionName, ConfigParameter parameter);

    // "\"key\"=|" then each string value and each number value ("%g"), each followed by "|"; with `print`
    // the text is also issued as a plain message.
    std::string describeParameter(const ConfigParameter& parameter, bool print) const;

    void setInput(std::string directory, std::string fileName);
    void setOutput(std::string directory, std::string fileName);
    const std::string& inputDirectory() const { return inputDirectory_; }
    const std::string& inputFileName() const { return inputFileName_; }
    const std::string& outputDirectory() const { return outputDirectory_; }
    const std::string& outputFileName() const { return outputFileName_; }

    // Numbers are written in "%g" unless exact numbers are asked for: then each is written so that it reads back
    // unchanged (files whose numbers must agree with data written elsewhere at full precision).
    void setExactNumbers(bool exact) { exactNumbers_ = exact; }

    void setSkipLoad(bool skip) { skipLoad_ = skip; }
    bool skipLoad() const { return skipLoad_; }
    bool isLoaded() const { return loaded_; }
    bool isPartlyLoaded() const { return partlyLoaded_; }

    void setErrorCodeBase(int base) { errorBase_ = base; }
    int errorCodeBase() const { return errorBase_; }

    // Where the file's messages go.
    void setPrint(bool print) { messages_.print = print; }
    void setDoLog(bool doLog) { messages_.doLog = doLog; }
    void setLogStream(std::ofstream* log) { messages_.log = log; }
    void setMessageTarget(const MessageTarget& to) { messages_ = to; }
    const MessageTarget& messageTarget() const { return messages_; }

private:
    struct ReadState;

    void readLine(std::string_view line, ReadState& state);
    void openSection(std::string_view line, ReadState& state);
    void readParameter(std::string_view line, ReadState& state);
    void keepOpenSection(ReadState& state);
    void appendIfNew(std::string_view sectionName, ConfigParameter parameter);

    std::string inputDirectory_;
    std::string inputFileName_;
    std::string outputDirectory_;
    std::string outputFileName_;
    std::vector<std::unique_ptr<ConfigSection>> sections_;
    bool skipLoad_ = false;
    bool loaded_ = false;
    bool partlyLoaded_ = false;
    bool exactNumbers_ = false;
    MessageTarget messages_{nullptr, true, true};
    int errorBase_ = 0;
};

}  // namespace zel
