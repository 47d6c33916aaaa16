#include "export/PythonInterpreter.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/Paths.h"
#include "common/Subprocess.h"
#include "export/GraphicsScripts.h"

namespace zel {
namespace {

const std::vector<std::string> kPlotModules{"numpy", "matplotlib", "math"};

std::string withSeparator(std::string dir) {
    if (dir.empty()) return currentDirPrefix();
    if (dir.back() != kSeparator) dir += kSeparator;
    return dir;
}

}  // namespace

std::vector<std::string> interpreterCandidates() {
    std::vector<std::string> candidates;
    if (const char* own = std::getenv("ZEL_PYTHON"); own != nullptr && *own != '\0') candidates.emplace_back(own);
    for (const char* name : {"python", "python3", "/usr/bin/python3"}) candidates.emplace_back(name);
    return candidates;
}

bool interpreterWorks(const std::string& command, const std::vector<std::string>& modules,
                      const std::string& workDirectory) {
    const std::string dir = withSeparator(workDirectory);
    const std::string script = dir + ".test_python.py";
    std::error_code ec;
    // The run's output directory may not be made yet when the check runs.
    if (!dir.empty()) std::filesystem::create_directories(dir, ec);
    const std::string okFile = std::filesystem::absolute(dir + ".file_out_test_python_OK.txt", ec).string();
    std::filesystem::remove(okFile, ec);
    {
        std::ofstream out(script, std::ios::binary);
        out << checkScript(modules, okFile);
        if (!out.flush()) return false;
    }
    ProgramOptions options;
    options.stdoutFile = "/dev/null";
    options.stderrFile = "/dev/null";
    runProgram({command, script}, options);
    const bool works = isRegularFile(okFile);
    std::filesystem::remove(okFile, ec);
    std::filesystem::remove(script, ec);
    return works;
}

InterpreterChoice checkInterpreter(const std::vector<std::string>& candidates, const std::string& workDirectory,
                                   const MessageTarget& to) {
    InterpreterChoice choice;
    for (const std::string& command : candidates) {
        if (interpreterWorks(command, kPlotModules, workDirectory)) {
            choice.command = command;
            break;
        }
    }
    if (choice.command.empty()) {
        // Says what is missing: the interpreter, or which of its modules.
        std::string bare;
        for (const std::string& command : candidates)
            if (interpreterWorks(command, {}, workDirectory)) {
                bare = command;
                break;
            }
        if (bare.empty()) {
            printWarning(to, " : Missing python for graphics creation. Creating of graphics disabled.");
            return choice;
        }
        std::string missing;
        for (const std::string& module : kPlotModules)
            if (!interpreterWorks(bare, {module}, workDirectory)) missing += (missing.empty() ? "" : ", ") + module;
        printWarning(to, " : Missing python module(s) " + missing + " for graphics.");
        printWarning(to, "Creating of graphics disabled, some/all python modules are missing.");
        return choice;
    }
    choice.multiProcess = interpreterWorks(choice.command, {"multiprocessing"}, workDirectory);
    if (!choice.multiProcess)
        printWarning(to, "Multiprocessing in creating of graphics disabled, python module is missing.");
    return choice;
}

}  // namespace zel
