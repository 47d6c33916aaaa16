// A run writes over none of its inputs: a log, a cluster log or an extended list named like an input (also by
// another name of the same file) stops the run before anything is written, and the input stays as it was.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "EngineRunSupport.h"

namespace {

namespace fs = std::filesystem;

const std::string kElist = "EventID\tX\tY\tE\tT\n-\tpx\tpx\tkeV\tns\n1\t10\t10\t100\t200\n2\t20\t20\t200\t700\n";
const std::string kClog = "Frame 1 (0.0, 1.0 s)\n[1, 1, 10]\n";

struct OutputSafety : enginetest::EngineRun {
    // init's result, or the code it raised.
    static int initialise() {
        return zeltest::quietly([] { return zeltest::codeOf([] { return zel::init(); }); });
    }
};

TEST_F(OutputSafety, OutputNamedLikeAnInputStopsTheRunAndKeepsTheInput) {
    const struct {
        const char* what;
        const char* input;  // below the scratch directory
        const std::string* content;
        std::string extra;  // settings that name the input as an output
    } cases[] = {
        {"log file", "run.elist", &kElist, "LogPath = \"" + dir.dir() + "\"\nLogName = \"run.elist\"\n"},
        // The run's own cluster log, reprocessed, would be the clusterer's cluster log again.
        {"cluster log", "out/File/ClusterLog.clog", &kClog, ""},
        {"extended event list", "out/File/Events.korelist", &kElist, "ElistExtOutName = \"Events\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        fs::remove_all(dir.file("out"));
        const fs::path input = dir.file(c.input);
        fs::create_directories(input.parent_path());
        dir.write(c.input, *c.content);
        load("FileInPath = \"" + input.parent_path().string() + "/\"\nFileInName = \"" + input.filename().string() +
             "\"\nFileOutPath = \"" + dir.dir() + "out/\"\nLogPath = \"" + dir.dir() +
             "out/\"\nDoPrint = false\nDoExportGraphics = false\nDoPID = false\nDoFilter = false\n" + c.extra);
        EXPECT_EQ(initialise(), -1049);
        EXPECT_EQ(read(c.input), *c.content) << "the input is untouched";
        if (c.extra.find("LogName") == std::string::npos) {
            EXPECT_NE(log().find(std::string("The ") + c.what + " "), std::string::npos) << log();
        }
    }
}

TEST_F(OutputSafety, SameFileUnderAnotherNameIsCaughtAndOtherNamesPass) {
    dir.write("run.elist", kElist);
    fs::create_directories(dir.file("out/File"));
    fs::create_hard_link(dir.file("run.elist"), dir.file("out/File/Linked.korelist"));
    load(params("run.elist", "DoPID = false\nDoFilter = false\nElistExtOutName = \"Linked\"\n"));
    EXPECT_EQ(initialise(), -1049);
    EXPECT_EQ(read("run.elist"), kElist);

    // An output of another name, and one that does not exist yet, are no inputs: the run goes on.
    restart();
    fs::remove(dir.file("out/File/Linked.korelist"));
    process(params("run.elist", "DoPID = false\nDoFilter = false\nElistExtOutName = \"Linked\"\n"));
    EXPECT_EQ(read("run.elist"), kElist);
    EXPECT_TRUE(fs::exists(dir.file("out/File/Linked.korelist")));
}

TEST_F(OutputSafety, PartialFilesOfAKilledRunAreRemovedByTheNext) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string left = "out/File/EventListExt.korelist.part" + std::to_string(child);
    const std::string running = "out/File/EventListExt.korelist.part" + std::to_string(::getppid());
    fs::create_directories(dir.file("out/File"));
    dir.write(left, "half a list");
    dir.write(running, "another run's list");
    dir.write("run.elist", kElist);
    load(params("run.elist", "DoPID = false\nDoFilter = false\n"));
    ASSERT_EQ(initialise(), 0);
    EXPECT_FALSE(fs::exists(dir.file(left)));
    EXPECT_TRUE(fs::exists(dir.file(running)));
    EXPECT_NE(log().find("Removed partial file of an interrupted run:"), std::string::npos);
}

}  // namespace
