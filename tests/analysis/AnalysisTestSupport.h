#pragma once
// A scratch directory whose log file receives the messages of the object under test (nothing on the console).
#include <fstream>
#include <string>

#include "common/Messages.h"
#include "support/TempDir.h"

namespace zeltest {

struct LoggedDir {
    TempDir tmp{"zel_analysis"};
    std::string logPath = tmp.file("log.txt");
    std::ofstream log{logPath};
    zel::MessageTarget to{&log, false, true};

    std::string logText() {
        log.flush();
        return TempDir::read(logPath);
    }
    bool logHas(const std::string& text) { return logText().find(text) != std::string::npos; }
};

}  // namespace zeltest
