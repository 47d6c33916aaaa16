#pragma once
// A scratch directory with a log file for the input tests: files are written there, messages are read back.
#include "common/Messages.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zel::test {

class Scratch {
public:
    Scratch() {
        static std::atomic<int> counter{0};
        dir_ = std::filesystem::temp_directory_path() /
               ("zel_input_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(dir_);
        log_.open(dir_ / "log.txt");
    }
    ~Scratch() {
        log_.close();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // Directory with its separator, as the readers take paths.
    std::string path() const { return dir_.string() + "/"; }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream out(dir_ / name, std::ios::binary);
        out << text;
        return name;
    }
    MessageTarget target() { return MessageTarget{&log_, false, true}; }
    std::string messages() {
        log_.flush();
        std::ifstream in(dir_ / "log.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path dir_;
    std::ofstream log_;
};

}  // namespace zel::test
