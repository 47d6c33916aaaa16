#include "common/Subprocess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace zel {

std::string ProgramRun::describe() const {
    if (!started) return error.empty() ? std::string("could not be started") : error;
    if (signal != 0) return "killed by signal " + std::to_string(signal);
    return "exit status " + std::to_string(exitCode);
}

namespace {

// Owns the file actions of one spawn.
class FileActions {
public:
    FileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions() {
        if (ok_) posix_spawn_file_actions_destroy(&actions_);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    bool redirect(int fd, const std::string& path, bool append) {
        const int flags = O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC);
        return ok_ && posix_spawn_file_actions_addopen(&actions_, fd, path.c_str(), flags, 0644) == 0;
    }
    bool duplicate(int from, int to) { return ok_ && posix_spawn_file_actions_adddup2(&actions_, from, to) == 0; }
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

}  // namespace

ProgramRun runProgram(const std::vector<std::string>& argv, const ProgramOptions& options) {
    ProgramRun run;
    if (argv.empty() || argv.front().empty()) {
        run.error = "no program named";
        return run;
    }
    FileActions actions;
    bool prepared = actions.ok();
    if (!options.stdoutFile.empty()) prepared = prepared && actions.redirect(STDOUT_FILENO, options.stdoutFile, options.appendOutput);
    if (!options.stderrFile.empty()) {
        prepared = prepared && (options.stderrFile == options.stdoutFile
                                    ? actions.duplicate(STDOUT_FILENO, STDERR_FILENO)
                                    : actions.redirect(STDERR_FILENO, options.stderrFile, options.appendOutput));
    }
    if (!prepared) {
        run.error = "could not prepare the program's output files";
        return run;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    std::fflush(nullptr);  // what we printed so far comes before what the program prints
    pid_t pid = 0;
    const int rc = options.searchPath ? posix_spawnp(&pid, args[0], actions.get(), nullptr, args.data(), environ)
                                      : posix_spawn(&pid, args[0], actions.get(), nullptr, args.data(), environ);
    if (rc != 0) {
        run.error = argv.front() + ": " + std::strerror(rc);
        return run;
    }
    int status = 0;
    pid_t waited = 0;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        run.error = std::string("waiting for ") + argv.front() + ": " + std::strerror(errno);
        return run;
    }
    run.started = true;
    if (WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
        // glibc's posix_spawn reports a failed exec as exit status 127 of the child.
        if (run.exitCode == 127) run.error = argv.front() + ": could not be run (exit status 127)";
    } else if (WIFSIGNALED(status)) {
        run.signal = WTERMSIG(status);
    }
    return run;
}

std::string quotedCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& a : argv) {
        if (!line.empty()) line += ' ';
        const bool plain = !a.empty() && a.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                             "0123456789_-+=.,/:@%") == std::string::npos;
        if (plain) {
            line += a;
            continue;
        }
        line += '\'';
        for (char c : a) {
            if (c == '\'') line += "'\\''";
            else line += c;
        }
        line += '\'';
    }
    return line;
}

}  // namespace zel
