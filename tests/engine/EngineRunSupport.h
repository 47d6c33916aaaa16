#pragma once
// A fresh engine per test over a scratch directory; parameter files read their input from it and write results and
// log under "out/".
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

#include "support/LoggedDir.h"
#include "zel/ZEL_API.h"

namespace enginetest {

struct EngineRun : ::testing::Test {
    zeltest::TempDir dir{"zel_run"};

    void SetUp() override { ASSERT_EQ(zel::construct(), 0); }
    void TearDown() override { zel::destruct(); }

    // Reads `input` from the scratch directory, writes under out/, neither prints nor draws; `extra` lines follow.
    std::string params(const std::string& input, const std::string& extra = "") const {
        return "FileInPath = \"" + dir.dir() + "\"\nFileInName = \"" + input + "\"\nFileOutPath = \"" + dir.dir() +
               "out/\"\nLogPath = \"" + dir.dir() + "out/\"\nDoPrint = false\nDoExportGraphics = false\n" + extra;
    }
    void load(const std::string& paramText) {
        dir.write("run.param", paramText);
        ASSERT_EQ(zel::loadParamFile(dir.dir(), "run.param"), 0);
    }
    // Loads the parameters and processes the input, which must succeed.
    void process(const std::string& paramText) {
        load(paramText);
        ASSERT_EQ(zel::processFile("", "", ""), 0);
    }
    // A new engine in place of the test's one.
    static void restart() {
        zel::destruct();
        ASSERT_EQ(zel::construct(), 0);
    }
    std::string read(const std::string& name) const { return zeltest::TempDir::read(dir.file(name)); }
    std::string log() const { return read("out/LogFile.txt"); }
    nlohmann::json results() const { return nlohmann::json::parse(read("out/File/SamplingList.json")); }
};

}  // namespace enginetest
