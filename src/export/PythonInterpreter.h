#pragma once
// Finds the Python interpreter that draws the pictures: the first command of a list that runs a script importing
// the modules the plotting scripts need. Commands are run from an argument vector, never through a shell.
#include <string>
#include <vector>

#include "common/Messages.h"

namespace zel {

// The commands tried, in order: the one named by the environment variable ZEL_PYTHON, "python", "python3" and
// "/usr/bin/python3" (a "python3" on the PATH may be another interpreter than the system's, without numpy).
std::vector<std::string> interpreterCandidates();

// True when `command` runs a script that imports `modules` and writes a file; both files are written into
// `workDirectory` and removed afterwards.
bool interpreterWorks(const std::string& command, const std::vector<std::string>& modules,
                      const std::string& workDirectory);

struct InterpreterChoice {
    std::string command;        // empty: graphics are off
    bool multiProcess = false;  // the interpreter has the multiprocessing module
};

// The first candidate with numpy, matplotlib and math, and whether it has multiprocessing; says why graphics or
// the multiprocessing driver are switched off.
InterpreterChoice checkInterpreter(const std::vector<std::string>& candidates, const std::string& workDirectory,
                                   const MessageTarget& to);

}  // namespace zel
