#pragma once
// A scratch directory with a log file for the input tests: files are written there, messages are read back.
#include "common/Messages.h"
#include "support/TempDir.h"

namespace zel::test {

class Scratch : public zeltest::TempDir {
public:
    Scratch() : TempDir("zel_input"), log_(file("log.txt")) {}

    // Directory with its separator, as the readers take paths.
    std::string path() const { return dir(); }
    std::string write(const std::string& name, const std::string& text) const {
        TempDir::write(name, text);
        return name;
    }
    MessageTarget target() { return MessageTarget{&log_, false, true}; }
    std::string messages() {
        log_.flush();
        return read(file("log.txt"));
    }

private:
    std::ofstream log_;
};

}  // namespace zel::test
