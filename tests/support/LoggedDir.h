#pragma once
// A temporary directory whose log file receives a component's messages, and the codes that calls raise.
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "common/Messages.h"
#include "support/TempDir.h"

namespace zeltest {

class LoggedDir : public TempDir {
public:
    explicit LoggedDir(const std::string& tag = "zel") : TempDir(tag), log_(file("log.txt")) {}

    // Messages go to the log only, never to the console.
    zel::MessageTarget target() { return {&log_, false, true}; }
    std::ofstream& log() { return log_; }
    std::string messages() {
        log_.flush();
        return read(file("log.txt"));
    }

private:
    std::ofstream log_;
};

// The code `work` raised as a runtime error, 0 when it raised nothing; the codes echoed to stderr are swallowed.
template <typename Work>
int raisedCode(Work work) {
    ::testing::internal::CaptureStderr();
    int code = 0;
    try {
        work();
    } catch (const std::runtime_error& error) {
        code = std::stoi(error.what());
    }
    ::testing::internal::GetCapturedStderr();
    return code;
}

// The code `work` raised, or else what it returned.
template <typename Work>
int codeOf(Work work) {
    try {
        return work();
    } catch (const std::runtime_error& error) {
        return std::stoi(error.what());
    }
}

// What `work` returned; the codes it echoed to stderr are swallowed.
template <typename Work>
int quietly(Work work) {
    ::testing::internal::CaptureStderr();
    const int result = work();
    ::testing::internal::GetCapturedStderr();
    return result;
}

}  // namespace zeltest
