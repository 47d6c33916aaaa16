#include "common/ConfigFile.h"

#include <iostream>
#include <utility>

#include "common/BoundedLine.h"
#include "common/Paths.h"
#include "common/NumberText.h"
#include "common/Text.h"

namespace zel {
namespace {

constexpr std::string_view kDefaultOutputName = "File.ini";

bool isBlank(char c) { return c == ' ' || c == '\t'; }


// Characters that may close a key; once one appears, nothing else may follow before the '='.
bool isKeyTerminator(char c) { return c == ' ' || c == '\t' || c == ';' || c == '='; }

bool isValidKeyText(std::string_view text) {
    bool closed = false;
    for (char c : text) {
        if (isKeyTerminator(c)) {
            closed = true;
        } else if (closed) {
            return false;
        }
    }
    return true;
}

// Each pair of double quotes encloses one value; an unclosed quote runs to the end of the text.
std::vector<std::string> readStrings(std::string_view text) {
    std::vector<std::string> values;
    size_t open = text.find('"');
    while (open != std::string_view::npos) {
        size_t close = text.find('"', open + 1);
        if (close == std::string_view::npos) {
            values.emplace_back(text.substr(open + 1));
            break;
        }
        values.emplace_back(text.substr(open + 1, close - open - 1));
        open = text.find('"', close + 1);
    }
    return values;
}

// Runs of number characters become values; a ';' or '#' that ends a run also ends the list.
std::vector<double> readNumbers(std::string_view text) { return scanNumbers(text, ".-+e", ";#"); }

}  // namespace

const ConfigParameter* ConfigSection::find(std::string_view key) const {
    for (const ConfigParameter& parameter : parameters) {
        if (parameter.key == key) return &parameter;
    }
    return nullptr;
}

struct ConfigFile::ReadState {
    int lineNumber = 0;
    int errorSum = 0;
    // The section being read; null before the first header and after a rejected one.
    std::unique_ptr<ConfigSection> open;
};

ConfigFile::ConfigFile() : outputDirectory_(currentDirPrefix()), outputFileName_(kDefaultOutputName) {}

ConfigFile::ConfigFile(std::string directory, std::string fileName)
    : inputDirectory_(directory), inputFileName_(fileName), outputDirectory_(std::move(directory)),
      outputFileName_(std::move(fileName)) {}

void ConfigFile::setInput(std::string directory, std::string fileName) {
    inputDirectory_ = std::move(directory);
    inputFileName_ = std::move(fileName);
}

void ConfigFile::setOutput(std::string directory, std::string fileName) {
    outputDirectory_ = std::move(directory);
    outputFileName_ = std::move(fileName);
}


int ConfigFile::load() {
    if (skipLoad_) return 0;
    std::ifstream in(inputDirectory_ + inputFileName_);
    if (!in.is_open()) {
        return printModuleError(messages_, "Can not open input file: " + inputDirectory_ + inputFileName_, errorBase_,
                                kCannotOpenInput, true);
    }

    ReadState state;
    std::string line;
    BoundedLines lines(in, kMaxSettingsLineLength);
    LineRead read = LineRead::End;
    while ((read = lines.next(line)) == LineRead::Line) {
        ++state.lineNumber;
        // A file written on another platform may carry a carriage return before each newline.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        readLine(line, state);
    }
    if (read == LineRead::TooLong) {
        state.errorSum += printModuleError(messages_,
                                           lines.tooLongText(inputDirectory_ + inputFileName_) +
                                               " The file is read no further.",
                                           errorBase_, kLineTooLong, true);
    }
    keepOpenSection(state);

    if (sections_.empty())
        state.errorSum += printModuleError(messages_, "No section loaded.", errorBase_, kNoSection, true);
    if (state.errorSum == 0) {
        loaded_ = true;
    } else if (!sections_.empty()) {
        printWarning(messages_, "Error occurred during file read, but some parts of file were loaded.");
        loaded_ = true;
        partlyLoaded_ = true;
    } else {
        state.errorSum += printModuleError(messages_, "Error occurred during file read. No sections were loaded.",
                                           errorBase_, kNothingLoaded, true);
    }
    return state.errorSum;
}

void ConfigFile::readLine(std::string_view line, ReadState& state) {
    if (line.empty() || line[0] == ';' || line[0] == '#') return;
    if (line[0] == '[') {
        openSection(line, state);
    } else if (state.open && line.find('=') != std::string_view::npos) {
        readParameter(line, state);
    }
}

void ConfigFile::keepOpenSection(ReadState& state) {
    if (state.open && getSection(state.open->name) == nullptr) sections_.push_back(std::move(state.open));
    state.open.reset();
}

void ConfigFile::openSection(std::string_view line, ReadState& state) {
    keepOpenSection(state);
    std::string_view rest = line.substr(1);
    std::string_view name = rest.substr(0, rest.find_first_of("] \t"));
    if (name.empty()) {
        state.errorSum +=
            printModuleError(messages_, "Failed to load section name at line " + std::to_string(state.lineNumber) + ".",
                             errorBase_, kBadSectionName, true);
        return;
    }
    if (getSection(name) != nullptr) {
        state.errorSum += printModuleError(messages_,
                                           "Section with key " + std::string(name) + " already exists in the file." +
                                               " Line " + std::to_string(state.lineNumber) + ".",
                                           errorBase_, kDuplicateSection, true);
        return;
    }
    state.open = std::make_unique<ConfigSection>();
    state.open->name = std::string(name);
}

void ConfigFile::readParameter(std::string_view line, ReadState& state) {
    size_t start = 0;
    while (start < line.size() && isBlank(line[start])) ++start;
    size_t equals = line.find('=');
    std::string_view keyText = line.substr(start, equals - start);
    std::string_view key = keyText.substr(0, keyText.find_first_of(" \t"));

    bool failed = false;
    if (key.empty()) {
        state.errorSum +=
            printModuleError(messages_, "Parameters name could not be loaded.", errorBase_, kEmptyKey, true);
        failed = true;
    } else if (!isValidKeyText(keyText)) {
        state.errorSum += printModuleError(messages_, "Incorrect parameter name: " + std::string(keyText), errorBase_,
                                           kBadKeyText, true);
        failed = true;
    }
    if (failed) {
        state.errorSum +=
            printModuleError(messages_, "Fail to load parameter at line " + std::to_string(state.lineNumber) + ".",
                             errorBase_, kBadParameter, true);
        return;
    }

    if (state.open->contains(key)) {
        state.errorSum +=
            printModuleError(messages_,
                             "Parameters with the given key " + std::string(key) + " is already in the section " +
                                 state.open->name + ". Line " + std::to_string(state.lineNumber) + ".",
                             errorBase_, kDuplicateKey, true);
        return;
    }

    ConfigParameter parameter;
    parameter.key = std::string(key);
    std::string_view values = line.substr(equals);
    if (line.find('"') != std::string_view::npos) {
        parameter.strings = readStrings(values);
    } else {
        parameter.numbers = readNumbers(values);
    }
    state.open->parameters.push_back(std::move(parameter));
}

int ConfigFile::save() const {
    std::ofstream out(outputDirectory_ + outputFileName_, std::ios::trunc);
    if (!out.is_open()) {
        return printModuleError(messages_, "Can not open output file: " + outputDirectory_ + outputFileName_,
                                errorBase_, kCannotOpenOutput, true);
    }
    out << text();
    return 0;
}

std::string ConfigFile::text() const {
    std::string out;
    char number[64];
    for (const auto& section : sections_) {
        out.append("[").append(section->name).append("]\n\n");
        for (const ConfigParameter& parameter : section->parameters) {
            out.append(parameter.key).append("=");
            if (!parameter.strings.empty()) {
                for (size_t i = 0; i < parameter.strings.size(); ++i) {
                    out.append(i > 0 ? ",\"" : "\"").append(parameter.strings[i]).append("\"");
                }
            } else {
                // The stream's default notation ("%g").
                for (size_t i = 0; i < parameter.numbers.size(); ++i) {
                    if (i > 0) out += ',';
                    const double value = parameter.numbers[i];
                    out.append(number, exactNumbers_ ? writeRoundTrip(number, value) : writeGeneral6(number, value));
                }
            }
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

ConfigSection* ConfigFile::getSection(std::string_view name) {
    for (auto& section : sections_) {
        if (section->name == name) return section.get();
    }
    return nullptr;
}

const ConfigSection* ConfigFile::getSection(std::string_view name) const {
    return const_cast<ConfigFile*>(this)->getSection(name);
}

ConfigParameter ConfigFile::getParameter(std::string_view key) const {
    for (const auto& section : sections_) {
        if (const ConfigParameter* found = section->find(key)) return *found;
    }
    return ConfigParameter{std::string(kNotFoundKey), {}, {}};
}

ConfigParameter ConfigFile::getParameter(std::string_view key, std::string_view sectionName) const {
    const ConfigSection* section = getSection(sectionName);
    if (section == nullptr) return ConfigParameter{std::string(kNotFoundKey), {}, {}};
    return getParameter(key, *section);
}

ConfigParameter ConfigFile::getParameter(std::string_view key, const ConfigSection& section) const {
    if (const ConfigParameter* found = section.find(key)) return *found;
    return ConfigParameter{std::string(kNotFoundKey), {}, {}};
}

bool ConfigFile::hasParameter(std::string_view key, std::string_view sectionName) const {
    return getParameter(key, sectionName).key != kNotFoundKey;
}

bool ConfigFile::hasParameter(std::string_view key, const ConfigSection& section) const {
    return getParameter(key, section).key != kNotFoundKey;
}

std::vector<std::string> ConfigFile::getStrings(std::string_view key, std::string_view sectionName) const {
    const ConfigSection* section = getSection(sectionName);
    if (section == nullptr) return {};
    const ConfigParameter* found = section->find(key);
    return found != nullptr ? found->strings : std::vector<std::string>{};
}

ConfigSection& ConfigFile::addSection(std::string_view name) {
    ConfigSection section;
    section.name = std::string(name);
    return addSection(std::move(section));
}

ConfigSection& ConfigFile::addSection(ConfigSection section) {
    if (ConfigSection* existing = getSection(section.name)) {
        printMsg(messages_, "Section already exist.");
        return *existing;
    }
    sections_.push_back(std::make_unique<ConfigSection>(std::move(section)));
    return *sections_.back();
}

void ConfigFile::appendIfNew(std::string_view sectionName, ConfigParameter parameter) {
    ConfigSection* section = getSection(sectionName);
    if (section == nullptr || section->contains(parameter.key)) return;
    section->parameters.push_back(std::move(parameter));
}

void ConfigFile::addParameter(std::string_view sectionName, std::string_view key, const std::string& value) {
    appendIfNew(sectionName, ConfigParameter{std::string(key), {value}, {}});
}

void ConfigFile::addParameter(std::string_view sectionName, std::string_view key, const char* value) {
    addParameter(sectionName, key, std::string(value));
}

void ConfigFile::addParameter(std::string_view sectionName, std::string_view key, double value) {
    appendIfNew(sectionName, ConfigParameter{std::string(key), {}, {value}});
}

void ConfigFile::addParameter(std::string_view sectionName, std::string_view key, const std::vector<double>& values) {
    appendIfNew(sectionName, ConfigParameter{std::string(key), {}, values});
}

void ConfigFile::addParameter(std::string_view sectionName, std::string_view key,
                              const std::vector<std::string>& values) {
    appendIfNew(sectionName, ConfigParameter{std::string(key), values, {}});
}

void ConfigFile::addParameter(std::string_view sectionName, std::string_view key,
                              std::initializer_list<double> values) {
    appendIfNew(sectionName, ConfigParameter{std::string(key), {}, std::vector<double>(values)});
}

void ConfigFile::addParameter(std::string_view sectionName, std::string_view key,
                              std::initializer_list<const char*> values) {
    appendIfNew(sectionName, ConfigParameter{std::string(key), std::vector<std::string>(values.begin(), values.end()), {}});
}

void ConfigFile::addParameter(std::string_view sectionName, ConfigParameter parameter) {
    if (getSection(sectionName) == nullptr) addSection(sectionName);
    appendIfNew(sectionName, std::move(parameter));
}

std::string ConfigFile::describeParameter(const ConfigParameter& parameter, bool print) const {
    std::string text = "\"" + parameter.key + "\"=|";
    for (const std::string& value : parameter.strings) text.append(value).append("|");
    for (double value : parameter.numbers) text.append(formatG(value)).append("|");
    if (print) printMsg(messages_, text);
    return text;
}

}  // namespace zel
