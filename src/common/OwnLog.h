#pragma once
// A module's own log file: when asked for, the module's messages go to this file instead of the engine's log.
#include <fstream>
#include <memory>
#include <string>

#include "common/Messages.h"

namespace zel {

class OwnLog {
public:
    // A file name left empty is "LogFile.txt"; `append` keeps what the file holds.
    void configure(bool on, std::string directory, std::string fileName, bool append = false);
    bool isOn() const { return on_; }
    std::string path() const { return directory_ + fileName_; }

    // Opens the file unless it is open (or not asked for, or logging is off) and points `to.log` at it; false when
    // it cannot be opened, and `to` is left as it was.
    bool open(MessageTarget& to);

private:
    bool on_ = false;
    std::string directory_;
    std::string fileName_ = "LogFile.txt";
    bool append_ = false;
    std::shared_ptr<std::ofstream> stream_;  // shared: copies of the module write to the same file
};

}  // namespace zel
