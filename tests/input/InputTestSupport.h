#pragma once
// A scratch directory with a log file for the input tests: files are written there, messages are read back.
#include "support/LoggedDir.h"

namespace zel::test {

class Scratch : public zeltest::LoggedDir {
public:
    Scratch() : LoggedDir("zel_input") {}

    // Directory with its separator, as the readers take paths.
    std::string path() const { return dir(); }
    std::string write(const std::string& name, const std::string& text) const {
        TempDir::write(name, text);
        return name;
    }
};

}  // namespace zel::test
