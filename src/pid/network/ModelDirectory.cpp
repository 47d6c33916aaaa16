#include "pid/network/ModelDirectory.h"

#include <filesystem>
#include <tuple>

#include "common/NumberText.h"
#include "common/Text.h"

namespace zel {

std::string modelDirectoryPrefix(const DetectorSpec& detector, size_t classCount) {
    return std::string(detector.chipType) + "_" + formatG(detector.sensThick) + "um_" + std::string(detector.sensMat) +
           "_" + std::to_string(classCount) + "classes";
}

std::string modelTimeStamp(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() + 1 || !startsWith(name, prefix) || name[prefix.size()] != '_') return "";
    const std::string_view last = name.substr(name.find_last_of('_') + 1);
    std::string digits;
    size_t dashes = 0;
    for (char c : last) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == '-' && !digits.empty() && ++dashes == 1) {
            continue;
        } else {
            return "";
        }
    }
    if (digits.size() < 8 || digits.size() > 14 || last.back() == '-') return "";
    digits.resize(14, '0');
    return digits;
}

ModelDirectoryChoice findModelDirectory(const std::string& modelPath, std::string_view prefix) {
    ModelDirectoryChoice choice{std::string(prefix), 0};
    std::error_code ec;
    std::filesystem::directory_iterator entries(modelPath, ec);
    if (ec) return choice;
    std::tuple<bool, std::string, std::string> best;
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name != prefix && !(startsWith(name, prefix) && name.size() > prefix.size() && name[prefix.size()] == '_'))
            continue;
        std::tuple<bool, std::string, std::string> rank{entry.is_directory(ec), modelTimeStamp(name, prefix), name};
        if (choice.candidates++ == 0 || rank > best) best = std::move(rank);
    }
    if (choice.candidates != 0) choice.name = std::get<2>(best);
    return choice;
}

}  // namespace zel
