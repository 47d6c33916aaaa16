#pragma once
// A temporary directory for one test, removed with everything in it at the end.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zeltest {

class TempDir {
public:
    explicit TempDir(const std::string& tag = "zel") {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                (tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing separator, ready for plain concatenation with a file name.
    std::string dir() const { return path_.string() + "/"; }
    std::string file(const std::string& name) const { return dir() + name; }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream out(file(name), std::ios::binary);
        out << text;
    }
    static std::string read(const std::string& fullName) {
        std::ifstream in(fullName, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path path_;
};

}  // namespace zeltest
