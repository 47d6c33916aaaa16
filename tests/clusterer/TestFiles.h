#pragma once
// Scratch files for the clusterer tests: a fresh directory per test, removed afterwards.
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace zel::clusterer::testing {

struct ScratchDir : zeltest::TempDir {
    ScratchDir() : TempDir("zel_clusterer") {}
    std::string write(const std::string& name, const std::string& text) const {
        TempDir::write(name, text);
        return file(name);
    }
};

inline std::string readText(const std::string& path) { return zeltest::TempDir::read(path); }

inline std::vector<std::string> readLines(const std::string& path) {
    std::istringstream in(readText(path));
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
        rows.emplace_back();
        for (double v; in >> v;) rows.back().push_back(v);
    }
    return rows;
}

// One column of those rows.
inline std::vector<double> column(const std::vector<std::vector<double>>& rows, int k) {
    std::vector<double> values;
    for (const auto& row : rows) values.push_back(row.at(static_cast<size_t>(k)));
    return values;
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

// A calibration directory `name` with uniform a, b, c and t matrices; `c` may be given as its own text.
inline std::string calibrationDir(const ScratchDir& dir, const std::string& name, int width, int height, double a,
                                  double b, double c, double t, const std::string& cText = "") {
    std::filesystem::create_directory(dir.file(name));
    dir.write(name + "/a.txt", uniformMatrix(width, height, a));
    dir.write(name + "/b.txt", uniformMatrix(width, height, b));
    dir.write(name + "/c.txt", cText.empty() ? uniformMatrix(width, height, c) : cText);
    dir.write(name + "/t.txt", uniformMatrix(width, height, t));
    return dir.file(name);
}

}  // namespace zel::clusterer::testing
