#include "Calibration.h"

#include <cctype>
#include <cmath>
#include <filesystem>

#include "LineSource.h"
#include "TextScan.h"

namespace zel::clusterer {
namespace {

std::string lowerCase(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

// Reads `height` lines of `width` numbers into `matrix`.
bool readMatrix(const std::string& path, int width, int height, std::vector<double>& matrix, std::string& error) {
    LineSource source;
    if (!source.open(path)) {
        error = "Can not open calibration matrix: " + path;
        return false;
    }
    matrix.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0.0);
    std::string_view line;
    int row = 0;
    while (source.nextLine(line)) {
        std::string_view rest = line;
        skipBlanks(rest);
        if (rest.empty()) continue;
        if (row >= height) {
            error = "Calibration matrix " + path + " has more than " + std::to_string(height) + " lines.";
            return false;
        }
        double* out = matrix.data() + static_cast<size_t>(row) * static_cast<size_t>(width);
        int column = 0;
        double value = 0.0;
        while (nextNumber(rest, value)) {
            if (column >= width) break;
            out[column++] = value;
        }
        skipBlanks(rest);
        if (column != width || !rest.empty()) {
            error = "Calibration matrix " + path + ": line " + std::to_string(row + 1) + " does not hold " +
                    std::to_string(width) + " numbers.";
            return false;
        }
        ++row;
    }
    if (source.tooLong()) {
        error = "Calibration matrix refused: " + source.tooLongText() + ".";
        return false;
    }
    if (row != height) {
        error = "Calibration matrix " + path + " has " + std::to_string(row) + " lines, expected " +
                std::to_string(height) + ".";
        return false;
    }
    return true;
}

}  // namespace

double Calibration::solveEnergy(double a, double b, double c, double t, double tot, bool& nonReal) {
    nonReal = false;
    if (tot == 0.0) return 0.0;
    double linear = b - a * t - tot;
    double constant = tot * t - b * t - c;
    if (a == 0.0) {
        if (linear == 0.0) {
            nonReal = true;
            return 0.0;
        }
        return -constant / linear;
    }
    double discriminant = linear * linear - 4.0 * a * constant;
    if (!(discriminant >= 0.0)) {
        nonReal = true;
        return 0.0;
    }
    double root = std::sqrt(discriminant);
    // The larger root; for a < 0 the larger one carries the other sign.
    return a > 0.0 ? (-linear + root) / (2.0 * a) : (-linear - root) / (2.0 * a);
}

std::string Calibration::findMatrixFile(const std::string& directory, char letter) {
    namespace fs = std::filesystem;
    const std::string base(1, letter);
    const std::string accepted[] = {base + ".txt", "cal_" + base + ".txt", "calib" + base + ".txt",
                                    "calib_" + base + ".txt"};
    std::error_code code;
    std::string found;
    for (const auto& entry : fs::directory_iterator(directory, code)) {
        if (!entry.is_regular_file(code)) continue;
        std::string name = lowerCase(entry.path().filename().string());
        for (const auto& candidate : accepted) {
            // Several spellings in one folder: the plain name wins, then the first in directory order.
            if (name == candidate && (found.empty() || candidate == accepted[0])) found = entry.path().string();
        }
    }
    return found;
}

bool Calibration::load(const std::string& directory, int width, int height, std::string& error) {
    if (!std::filesystem::is_directory(directory)) {
        error = "Calibration directory not found: " + directory;
        return false;
    }
    std::vector<double>* matrices[] = {&a_, &b_, &c_, &t_};
    const char letters[] = {'a', 'b', 'c', 't'};
    for (int k = 0; k < 4; ++k) {
        std::string path = findMatrixFile(directory, letters[k]);
        if (path.empty()) {
            error = std::string("Calibration matrix '") + letters[k] + "' (a.txt, cal_" + letters[k] +
                    ".txt, ...) not found in " + directory;
            a_.clear();
            return false;
        }
        if (!readMatrix(path, width, height, *matrices[k], error)) {
            a_.clear();
            return false;
        }
    }
    width_ = width;
    return true;
}

}  // namespace zel::clusterer
