#pragma once
// Scratch files for the clusterer tests: a fresh directory per test, removed afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zel::clusterer::testing {

class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("zel_clusterer_") + info->test_suite_name() + "_" + info->name() + "_" +
                           std::to_string(::getpid());
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name)) << text;
        return file(name);
    }

private:
    std::filesystem::path path_;
};

inline std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Data rows of an event list as numbers (names and units lines left out).
inline std::vector<std::vector<double>> readRows(const std::string& path) {
    std::vector<std::vector<double>> rows;
    std::vector<std::string> lines = readLines(path);
    for (size_t i = 2; i < lines.size(); ++i) {
        std::istringstream in(lines[i]);
        std::vector<double> row;
        for (double v; in >> v;) row.push_back(v);
        rows.push_back(row);
    }
    return rows;
}

// A matrix file of `height` lines of `width` copies of `value`.
inline std::string uniformMatrix(int width, int height, double value) {
    std::string text;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) text += (x ? " " : "") + std::to_string(value);
        text += "\n";
    }
    return text;
}

}  // namespace zel::clusterer::testing
