#pragma once
// Runs another program from an argument vector, without a shell, so that no file name is ever parsed as a command.
#include <string>
#include <vector>

namespace zel {

struct ProgramRun {
    bool started = false;  // false: the program could not be started (not found, not executable)
    int exitCode = -1;     // the program's exit status when it ended normally
    int signal = 0;        // the signal that ended it, 0 when it ended normally
    std::string error;     // why it could not be started or waited for

    bool succeeded() const { return started && signal == 0 && exitCode == 0; }
    // One line for messages: "exit status 3", "killed by signal 9", or the start error.
    std::string describe() const;
};

struct ProgramOptions {
    std::string stdoutFile;  // empty: the program writes to our standard output
    std::string stderrFile;  // empty: to our standard error; the same name as stdoutFile: both into one file
    bool appendOutput = false;
    bool searchPath = true;  // look the program up on PATH when its name has no directory
};

// Starts argv[0] with the arguments argv[1..] and waits for it to end.
ProgramRun runProgram(const std::vector<std::string>& argv, const ProgramOptions& options = {});

// The argument vector as one command line a user can paste into a POSIX shell: each argument quoted when needed.
std::string quotedCommandLine(const std::vector<std::string>& argv);

}  // namespace zel
