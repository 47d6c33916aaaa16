#pragma once
// Scratch directory and quiet message target shared by the histogram tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Messages.h"

namespace histtest {

struct HistFilesTest : ::testing::Test {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zel_hist_" + std::to_string(::getpid()) + "_" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::ofstream log;
    zel::MessageTarget quiet{nullptr, false, true};

    void SetUp() override {
        std::filesystem::create_directories(dir);
        log.open(dir / "log.txt");
        quiet.log = &log;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string directory() const { return dir.string() + "/"; }

    std::string readFile(const std::string& name) const {
        std::ifstream in(dir / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> lines(const std::string& name) const {
        std::vector<std::string> out;
        std::istringstream in(readFile(name));
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    void writeFile(const std::string& name, const std::string& text) const { std::ofstream(dir / name) << text; }
    std::string logText() {
        log.flush();
        return readFile("log.txt");
    }
    // Names of the files in the scratch directory, the log excluded.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.path().filename() != "log.txt") names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
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
