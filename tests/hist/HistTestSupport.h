#pragma once
// Scratch directory and quiet message targets shared by the histogram tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "support/TempDir.h"

namespace histtest {

const zel::MessageTarget kSilent{nullptr, false, false};

// Messages go to the scratch directory's log.
struct HistFilesTest : ::testing::Test {
    zeltest::TempDir tmp{"zel_hist"};
    std::ofstream log{tmp.file("log.txt")};
    zel::MessageTarget quiet{&log, false, true};

    std::string directory() const { return tmp.dir(); }
    std::string readFile(const std::string& name) const { return zeltest::TempDir::read(tmp.file(name)); }
    void writeFile(const std::string& name, const std::string& text) const { tmp.write(name, text); }
    std::vector<std::string> lines(const std::string& name) const {
        std::vector<std::string> out;
        std::istringstream in(readFile(name));
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    std::string logText() {
        log.flush();
        return readFile("log.txt");
    }
    // Names of the files in the scratch directory, the log excluded.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(tmp.dir()))
            if (entry.path().filename() != "log.txt") names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Exports the histogram into the scratch directory under the given name.
    template <class Hist>
    int exportAs(Hist& h, const std::string& name) {
        h.SetFileOutPath(directory());
        h.SetFileOutName(name);
        return h.Export();
    }
};

// The integer code a constructor raised, or 0 when it did not throw.
template <class Build>
int raisedCode(Build build) {
    ::testing::internal::CaptureStderr();
    int code = 0;
    try {
        build();
    } catch (const std::runtime_error& error) {
        code = std::stoi(error.what());
    }
    ::testing::internal::GetCapturedStderr();
    return code;
}

}  // namespace histtest
