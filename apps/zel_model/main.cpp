// zel_model: shows what a saved network model holds and runs it on rows of numbers, with the same reader and
// backend as the particle classification.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "pid/network/NetworkBackend.h"

namespace {

constexpr size_t kRowsPerRun = 10000;

void printUsage() {
    std::puts(
        "Usage: zel_model info MODEL_DIR\n"
        "       zel_model run MODEL_DIR INPUT_FILE\n"
        "       zel_model --help\n"
        "\n"
        "info  prints the model's input, its layers with output shapes and activations, and its signatures.\n"
        "run   reads one input row per line (numbers separated by blanks or tabs, as many as the model's inputs;\n"
        "      blank lines are skipped) and prints one line per row with the outputs separated by tabs.\n"
        "Exit status 0 on success, 1 on a failure (with its message), 2 on wrong usage.");
}

std::string asDirectory(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

bool loadModel(zel::NetworkBackend& backend, const std::string& directory) {
    const zel::NetworkStatus status = backend.load(asDirectory(directory));
    if (status.ok()) return true;
    std::fprintf(stderr, "zel_model: can not load the model in %s (status %d): %s\n", directory.c_str(), status.code,
                 status.message.c_str());
    return false;
}

int info(const std::string& directory) {
    auto backend = zel::makeNetworkBackend();
    if (!loadModel(*backend, directory)) return 1;
    std::printf("Model:        %s\nBackend:      %s\n", directory.c_str(), std::string(backend->name()).c_str());
    for (const std::string& line : backend->describe()) std::printf("%s\n", line.c_str());
    return 0;
}

// The numbers of one line; false with a message when a field is no number.
bool parseRow(const std::string& line, size_t lineNumber, std::vector<float>& row) {
    row.clear();
    const char* p = line.data();
    const char* end = p + line.size();
    while (p < end) {
        if (*p == ' ' || *p == '\t' || *p == '\r') {
            ++p;
            continue;
        }
        const char* start = p;
        while (p < end && *p != ' ' && *p != '\t' && *p != '\r') ++p;
        const char* first = *start == '+' ? start + 1 : start;
        float value = 0.0f;
        const auto [stop, error] = std::from_chars(first, p, value);
        if (error != std::errc() || stop != p) {
            std::fprintf(stderr, "zel_model: line %zu: \"%.*s\" is no number\n", lineNumber, static_cast<int>(p - start),
                         start);
            return false;
        }
        row.push_back(value);
    }
    return true;
}

class Runner {
public:
    explicit Runner(zel::NetworkBackend& backend) : backend_(backend) {}

    bool add(const std::vector<float>& row) {
        input_.insert(input_.end(), row.begin(), row.end());
        return ++rows_ < kRowsPerRun || flush();
    }

    // Runs the rows held and prints their outputs.
    bool flush() {
        if (rows_ == 0) return true;
        const size_t width = backend_.outputWidth();
        output_.resize(rows_ * width);
        size_t outputRows = 0;
        const zel::NetworkStatus status = backend_.run(input_.data(), rows_, output_.data(), outputRows);
        if (!status.ok() || outputRows != rows_) {
            std::fprintf(stderr, "zel_model: the run failed (status %d): %s\n", status.code, status.message.c_str());
            return false;
        }
        for (size_t r = 0; r < rows_; ++r) {
            for (size_t k = 0; k < width; ++k)
                std::printf(k + 1 < width ? "%.9g\t" : "%.9g\n", static_cast<double>(output_[r * width + k]));
        }
        input_.clear();
        rows_ = 0;
        return true;
    }

private:
    zel::NetworkBackend& backend_;
    std::vector<float> input_, output_;
    size_t rows_ = 0;
};

int run(const std::string& directory, const std::string& inputFile) {
    auto backend = zel::makeNetworkBackend();
    if (!loadModel(*backend, directory)) return 1;
    std::ifstream in(inputFile);
    if (!in.is_open()) {
        std::fprintf(stderr, "zel_model: can not open input file %s\n", inputFile.c_str());
        return 1;
    }
    Runner runner(*backend);
    std::string line;
    std::vector<float> row;
    for (size_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
        if (!parseRow(line, lineNumber, row)) return 1;
        if (row.empty()) continue;
        if (row.size() != backend->inputWidth()) {
            std::fprintf(stderr, "zel_model: line %zu has %zu numbers, the model takes %zu inputs\n", lineNumber,
                         row.size(), backend->inputWidth());
            return 1;
        }
        if (!runner.add(row)) return 1;
    }
    return runner.flush() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage();
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "info") == 0) return info(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "run") == 0) return run(argv[2], argv[3]);
    printUsage();
    return 2;
}
