// The interpreter check against fake interpreters and the real one, and the rounds of the multiprocessing driver.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/Subprocess.h"
#include "export/GraphicsScripts.h"
#include "export/PythonInterpreter.h"
#include "support/TempDir.h"

namespace {

using namespace zel;

bool realPythonPlots() {
    ProgramOptions quiet;
    quiet.stdoutFile = quiet.stderrFile = "/dev/null";
    return runProgram({"/usr/bin/python3", "-c", "import numpy, matplotlib"}, quiet).succeeded();
}

// An executable shell script in the scratch directory.
std::string fakeInterpreter(const zeltest::TempDir& dir, const std::string& name, const std::string& body) {
    dir.write(name, "#!/bin/sh\n" + body);
    ::chmod(dir.file(name).c_str(), 0755);
    return dir.file(name);
}

struct CheckLog {
    zeltest::TempDir dir{"zel_python"};
    std::ofstream log{dir.file("log.txt")};
    MessageTarget to{&log, false, true};
    std::string text() {
        log.flush();
        return zeltest::TempDir::read(dir.file("log.txt"));
    }
};

TEST(InterpreterCheck, FailingOrMissingInterpreterSwitchesGraphicsOff) {
    CheckLog check;
    const std::string failing = fakeInterpreter(check.dir, "failing python", "exit 1\n");
    EXPECT_FALSE(interpreterWorks(failing, {"math"}, check.dir.dir()));
    const InterpreterChoice choice =
        checkInterpreter({failing, check.dir.file("no such python")}, check.dir.dir(), check.to);
    EXPECT_TRUE(choice.command.empty());
    EXPECT_NE(check.text().find(" : Missing python for graphics creation. Creating of graphics disabled."),
              std::string::npos);
    // The test files are gone.
    EXPECT_FALSE(std::filesystem::exists(check.dir.file(".test_python.py")));
    EXPECT_FALSE(std::filesystem::exists(check.dir.file(".file_out_test_python_OK.txt")));
}

TEST(InterpreterCheck, InterpreterWithoutAModuleNamesIt) {
    if (!realPythonPlots()) GTEST_SKIP() << "no interpreter with numpy and matplotlib";
    CheckLog check;
    // The real interpreter, to which numpy (and then multiprocessing) cannot be imported; matplotlib needs numpy.
    const auto without = [&](const std::string& name, const std::string& module) {
        return fakeInterpreter(check.dir, name,
                               "exec /usr/bin/python3 -c \"import sys; sys.modules['" + module +
                                   "'] = None; exec(open(sys.argv[1]).read())\" \"$1\"\n");
    };
    const InterpreterChoice noNumpy = checkInterpreter({without("py1", "numpy")}, check.dir.dir(), check.to);
    EXPECT_TRUE(noNumpy.command.empty());
    const std::string text = check.text();
    EXPECT_NE(text.find(" : Missing python module(s) numpy, matplotlib for graphics."), std::string::npos) << text;
    EXPECT_NE(text.find("Creating of graphics disabled, some/all python modules are missing."), std::string::npos);

    const std::string py2 = without("py2", "multiprocessing");
    const InterpreterChoice noDriver = checkInterpreter({py2}, check.dir.dir(), check.to);
    EXPECT_EQ(noDriver.command, py2);
    EXPECT_FALSE(noDriver.multiProcess);
    EXPECT_NE(check.text().find("Multiprocessing in creating of graphics disabled, python module is missing."),
              std::string::npos);
}

TEST(InterpreterCheck, FirstWorkingCandidateIsChosen) {
    if (!realPythonPlots()) GTEST_SKIP() << "no interpreter with numpy and matplotlib";
    CheckLog check;
    const std::string failing = fakeInterpreter(check.dir, "failing", "exit 1\n");
    const InterpreterChoice choice = checkInterpreter({failing, "/usr/bin/python3"}, check.dir.dir(), check.to);
    EXPECT_EQ(choice.command, "/usr/bin/python3");
    EXPECT_TRUE(choice.multiProcess);
    EXPECT_EQ(check.text(), "");
    // The check runs before the run has made its output directory.
    EXPECT_EQ(checkInterpreter({"/usr/bin/python3"}, check.dir.file("not/yet/"), check.to).command, "/usr/bin/python3");

    // ZEL_PYTHON comes first, then the plain names, the system's interpreter last.
    ::setenv("ZEL_PYTHON", "/opt/my python", 1);
    const std::vector<std::string> candidates = interpreterCandidates();
    ::unsetenv("ZEL_PYTHON");
    EXPECT_EQ(candidates, (std::vector<std::string>{"/opt/my python", "python", "python3", "/usr/bin/python3"}));
}

// Five scripts on two processors: the first four run at the same time (each waits until all four have started),
// the fifth only after they have ended.
TEST(GraphicsDriver, FiveScriptsOnTwoProcessorsRunAsRoundsOfFourAndOne) {
    if (!realPythonPlots()) GTEST_SKIP() << "no interpreter with numpy and matplotlib";
    zeltest::TempDir dir("zel_driver");
    const std::string marks = dir.dir();
    std::vector<std::string> scripts;
    for (int i = 0; i < 5; ++i) {
        std::string s = "import os, time\n";
        s += "d = '" + pythonText(marks) + "'\n";
        s += "open(d + 'start" + std::to_string(i) + "', 'w').close()\n";
        if (i < 4) {
            s += "t = time.time()\n";
            s += "while not all(os.path.exists(d + 'start' + str(k)) for k in range(4)):\n";
            s += "\tif time.time() - t > 60: open(d + 'alone" + std::to_string(i) + "', 'w').close(); break\n";
            s += "\ttime.sleep(0.01)\n";
            s += "time.sleep(0.1)\n";
        } else {
            s += "if not all(os.path.exists(d + 'end' + str(k)) for k in range(4)): open(d + 'early', 'w').close()\n";
        }
        s += "open(d + 'end" + std::to_string(i) + "', 'w').close()\n";
        scripts.push_back(s);
    }
    dir.write("driver.py", driverScript(scripts));
    const ProgramRun run = runProgram({"/usr/bin/python3", "-c",
                                       "import sys, runpy, multiprocessing\n"
                                       "multiprocessing.cpu_count = lambda: 2\n"
                                       "runpy.run_path(sys.argv[1], run_name='__main__')\n",
                                       dir.file("driver.py")});
    ASSERT_TRUE(run.succeeded()) << run.describe();
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(std::filesystem::exists(dir.file("end" + std::to_string(i)))) << i;
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(std::filesystem::exists(dir.file("alone" + std::to_string(i)))) << i;
    EXPECT_FALSE(std::filesystem::exists(dir.file("early")));
}

}  // namespace
