// Bad inputs end with a clear message and code, never a crash, and never leave a results file behind.
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "EngineRunSupport.h"

namespace {

const std::string kHeader = "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\tkeV\tns\tpx\n";
const std::string kRows = "1\t10\t10\t100\t200000000\t2\n2\t20\t20\t200\t700000000\t3\n3\t30\t30\t300\t900000000\t4\n";

struct BadInput : enginetest::EngineRun {
    void TearDown() override {
        zel::destruct();
        // Whatever happened, no results file and no temporary file may be left.
        if (!std::filesystem::exists(dir.file("out"))) return;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.file("out"))) {
            if (!entry.is_regular_file()) continue;
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(name, "LogFile.txt") << "left behind: " << entry.path();
        }
    }

    // Loads a parameter file naming `input` in the temporary directory.
    void useInput(const std::string& input, const std::string& extra = "") {
        load(params(input, "DoPID = false\nDoFilter = false\n" + extra));
    }
    // A new engine reading `name`, written with `content`.
    void freshEngineWith(const std::string& name, const std::string& content) {
        restart();
        dir.write(name, content);
        useInput(name);
    }
    // A successful run leaves its results, which the check at the end is not about.
    void forgetResults() const {
        std::filesystem::remove_all(dir.file("out/File"));
        std::filesystem::remove_all(dir.file("out/Hist"));
        std::filesystem::remove_all(dir.file("out/CoincEvent"));
    }

    // processFile's result, or the code it raised; the codes echoed to stderr are swallowed.
    static int runFile() {
        return zeltest::quietly([] { return zeltest::codeOf([] { return zel::processFile("", "", ""); }); });
    }
};

TEST_F(BadInput, UnusableFilesStopInitialisationWithTheirCode) {
    // Inputs that exist but cannot be opened as files: a directory, a dangling link, a file without permissions.
    std::filesystem::create_directory(dir.file("adir.elist"));
    std::filesystem::create_symlink(dir.file("missing.elist"), dir.file("dangling.elist"));
    dir.write("locked.elist", kHeader + kRows);
    std::filesystem::permissions(dir.file("locked.elist"), std::filesystem::perms::none);
    const struct {
        const char* name;
        std::optional<std::string> content;  // none: prepared above
        int code;
        const char* message;
    } cases[] = {
        {"empty.elist", "", -1020, "Empty in file format: empty.elist"},
        {"headeronly.elist", kHeader, -1016, "Corrupted elist file."},
        {"short_units.elist", "EventID\tX\tY\tE\tT\tSize\n-\tpx\tpx\n1\t2\t3\t4\t5\t6\n", -1016, "Corrupted elist file."},
        {"five.clog", "Frame 1 (0.0, 1.0 s)\n[1, 2, 3, 4, 5]\n", -1018, "Corrupted clog file."},
        {"noise.bin", "just some words\n", -1017, "Unknown in file format: noise.bin"},
        {"adir.elist", std::nullopt, -1015, "Can not open input file: adir.elist"},
        {"dangling.elist", std::nullopt, -1015, "Can not open input file: dangling.elist"},
        {"locked.elist", std::nullopt, -1015, "Can not open input file: locked.elist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "locked.elist" && ::geteuid() == 0) continue;  // root reads every file
        restart();
        if (c.content) dir.write(c.name, *c.content);
        useInput(c.name);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(zel::init(), c.code);
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(std::to_string(c.code) + ";"), std::string::npos);
        EXPECT_NE(log().find(c.message), std::string::npos) << log();
    }
}

TEST_F(BadInput, BrokenDataLinesStopTheRunWithProcessingError) {
    const std::string longLine = "4\t" + std::string(1100, '1') + "\t1\t1\t1\t1\n";
    struct Case {
        const char* name;
        std::string content;
        const char* message;
    };
    const Case cases[] = {
        {"noid.elist", "X\tY\tE\tT\tSize\npx\tpx\tkeV\tns\tpx\n1\t1\t1\t1\t1\n2\t2\t2\t2\t2\n3\t3\t3\t3\t3\n",
         " Missing event ID."},
        {"units.elist", "EventID\tX\tY\tE\tT\tSize\n-\tpx\n" + kRows + kRows, "Elist init failed: units.elist"},
        {"long.elist", kHeader + kRows + longLine, "long.elist"},
        {"word.elist", kHeader + kRows + "4\t1\tabc\t1\t1\t1\n", "word.elist"},
        {"nan_time.elist", kHeader + kRows + "4\t1\t1\t1\tnan\t1\n", "nan_time.elist"},
        {"inf_id.elist", kHeader + kRows + "inf\t1\t1\t1\t1e9\t1\n", "inf_id.elist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        freshEngineWith(c.name, c.content);
        EXPECT_EQ(runFile(), -3006);
        EXPECT_NE(log().find(c.message), std::string::npos) << log();
        EXPECT_NE(log().find("Error occurred during data processing."), std::string::npos);
    }
}

TEST_F(BadInput, FailedBatchStepEndsTheRunBeforeTheExport) {
    // The extended event list cannot be opened: the batch step fails and the run stops at the end of the batch,
    // leaving no results and no temporary list.
    dir.write("run.elist", kHeader + kRows);
    useInput("run.elist", "ElistExtOutName = \"no/such/directory/list\"\n");
    EXPECT_EQ(runFile(), -3006);
    for (const char* message : {"ExtElist can not be opened", "Error occurred during clusters processing.",
                                "Error occurred during elist processing.", "Error occurred during data processing."})
        EXPECT_NE(log().find(message), std::string::npos) << message;
}

TEST_F(BadInput, FlawsThatLeaveTheRestOfTheListReadable) {
    std::string crlf;
    for (char ch : kHeader + kRows) {
        if (ch == '\n') crlf += '\r';
        crlf += ch;
    }
    const struct {
        const char* name;
        std::string content;
        const char* extra;
        double count, energy;
        const char* message;
    } cases[] = {
        {"cut.elist", kHeader + kRows + "4\t40\t40\t4", "", 3, 600, "[WARNING]"},  // a truncated last line is skipped
        {"crlf.elist", crlf, "", 3, 600, ""},  // Windows line ends read like Unix ones
        // NaN in a variable other than time is kept; an edge flag of NaN makes the cluster skipped as an edge one.
        {"nan.elist",
         "EventID\tX\tY\tE\tT\tSize\tIsSensEdge\n-\tpx\tpx\tkeV\tns\tpx\t-\n"
         "1\t10\t10\t100\t2e8\t2\t0\n2\t20\t20\t200\t7e8\t3\tnan\n3\t30\t30\t300\t9e8\t4\t0\n",
         "DoIgnoreClusterSensEdge = true\n", 2, 400, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        dir.write(c.name, c.content);
        useInput(c.name, c.extra);
        ASSERT_EQ(runFile(), 0);
        EXPECT_DOUBLE_EQ(zel::getCountParticle(), c.count);
        EXPECT_DOUBLE_EQ(zel::getEnergyDep(), c.energy);
        EXPECT_NE(log().find(c.message), std::string::npos);
        forgetResults();
    }
}

TEST_F(BadInput, OutputDirectoryThatCannotBeCreatedStopsInit) {
    dir.write("blocker", "a file where a directory should be");
    dir.write("run.param", "FileOutPath = \"" + dir.dir() + "blocker/out/\"\nDoPrint = false\nDoLog = false\n");
    ASSERT_EQ(zel::loadParamFile(dir.dir(), "run.param"), 0);
    EXPECT_EQ(zeltest::quietly(zel::init), -1037);
}

TEST_F(BadInput, ProcessFileWithoutWorkingInitRaisesInitialisationNotDone) {
    dir.write("empty.elist", "");
    useInput("empty.elist");
    EXPECT_EQ(runFile(), -1001);
    EXPECT_NE(log().find("Initialization has not been done."), std::string::npos);
}

}  // namespace
