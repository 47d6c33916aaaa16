#pragma once
// Scratch directory and quiet message targets shared by the histogram tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/LoggedDir.h"

namespace histtest {

using zeltest::raisedCode;

const zel::MessageTarget kSilent{nullptr, false, false};

// Messages go to the scratch directory's log.
struct HistFilesTest : ::testing::Test {
    zeltest::LoggedDir tmp{"zel_hist"};
    zel::MessageTarget quiet = tmp.target();

    std::string directory() const { return tmp.dir(); }
    std::string readFile(const std::string& name) const { return zeltest::TempDir::read(tmp.file(name)); }
    void writeFile(const std::string& name, const std::string& text) const { tmp.write(name, text); }
    std::vector<std::string> lines(const std::string& name) const {
        std::vector<std::string> out;
        std::istringstream in(readFile(name));
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    std::string logText() { return tmp.messages(); }
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

}  // namespace histtest
