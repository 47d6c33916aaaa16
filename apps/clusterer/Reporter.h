#pragma once
// Where the clusterer's messages go: the error stream (the program runs under the engine, whose console shows
// it) and, with --log, a log file through the messages facility.
#include <fstream>
#include <string>
#include <string_view>

#include "common/Messages.h"

namespace zel::clusterer {

class Reporter {
public:
    explicit Reporter(bool debug = false, bool quiet = false) : debug_(debug), quiet_(quiet) {}

    // Starts writing every message to `path` as well; false when the file cannot be created.
    bool openLog(const std::string& path);

    void error(std::string_view text);
    void warning(std::string_view text);
    void note(std::string_view text);
    // Shown only with --debug.
    void debug(std::string_view text);

    bool debugging() const { return debug_; }
    int errorCount() const { return errors_; }
    int warningCount() const { return warnings_; }

private:
    void toErrorStream(std::string_view kind, std::string_view text) const;

    bool debug_;
    bool quiet_;
    std::ofstream log_;
    MessageTarget target_{nullptr, false, false};
    int errors_ = 0;
    int warnings_ = 0;
};

}  // namespace zel::clusterer
