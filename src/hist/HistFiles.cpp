#include "hist/HistFiles.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "common/Text.h"

namespace zel {

namespace {

const ConfigParameter* findKey(const ConfigSection* section, std::string_view key) {
    return section == nullptr ? nullptr : section->find(key);
}

}  // namespace

bool infoNumber(const ConfigSection* section, std::string_view key, double& value) {
    const ConfigParameter* parameter = findKey(section, key);
    if (parameter == nullptr || parameter->numbers.empty()) return false;
    value = parameter->numbers.front();
    return true;
}

bool infoNumber(const ConfigSection* section, std::string_view key, std::string_view alternative, double& value) {
    return infoNumber(section, key, value) || infoNumber(section, alternative, value);
}

bool infoInt(const ConfigSection* section, std::string_view key, std::string_view alternative, int& value) {
    double number = 0;
    if (!infoNumber(section, key, alternative, number)) return false;
    // A number no int holds is no count: the key keeps its default.
    if (!(number > -2147483648.5 && number < 2147483647.5)) return false;
    value = static_cast<int>(std::lround(number));
    return true;
}

bool infoFlag(const ConfigSection* section, std::string_view key, bool& value) {
    double number = 0;
    if (!infoNumber(section, key, number)) return false;
    value = number == 1;
    return true;
}

const std::vector<double>* infoNumberList(const ConfigSection* section, std::string_view key) {
    const ConfigParameter* parameter = findKey(section, key);
    return parameter == nullptr || parameter->numbers.empty() ? nullptr : &parameter->numbers;
}

bool infoText(const ConfigSection* section, std::string_view key, std::string& value) {
    const ConfigParameter* parameter = findKey(section, key);
    if (parameter == nullptr || parameter->strings.empty()) return false;
    value = parameter->strings.front();
    return true;
}

bool infoTexts(const ConfigSection* section, std::string_view key, std::vector<std::string>& values) {
    const ConfigParameter* parameter = findKey(section, key);
    if (parameter == nullptr || parameter->strings.empty()) return false;
    values = parameter->strings;
    return true;
}

OutputText& histDataText() {
    thread_local OutputText text;
    text.clear();
    return text;
}


size_t scanLineNumbers(std::string_view line, double* numbers, size_t capacity) {
    auto isNumberChar = [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    };
    size_t count = 0;
    size_t i = 0;
    while (i < line.size() && count < capacity) {
        if (!isNumberChar(line[i])) {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < line.size() && isNumberChar(line[i])) ++i;
        double value = 0;
        if (parseLeadingDouble(line.substr(start, i - start), value)) numbers[count++] = value;
    }
    return count;
}

FileRead readTextFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return FileRead::CannotOpen;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return FileRead::CannotRead;
    text = std::move(content).str();
    return FileRead::Ok;
}

}  // namespace zel
