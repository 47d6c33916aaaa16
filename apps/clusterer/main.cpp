// The clusterer program: see docs/clusterer.md.
#include <cstdio>
#include <string>

#include "ClustererOptions.h"
#include "ClustererRun.h"
#include "Reporter.h"

int main(int argc, char** argv) {
    using namespace zel::clusterer;
    ClustererOptions options;
    ParseResult parsed = parseCommandLine(argc, argv, options);
    if (parsed.outcome == ParseOutcome::Help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    Reporter reporter(options.debug);
    if (parsed.outcome == ParseOutcome::Error) {
        reporter.error(parsed.message);
        std::fputs("Run \"clusterer --help\" for the options.\n", stderr);
        return 2;
    }
    if (options.log && !reporter.openLog(options.logFile)) {
        reporter.warning("--log: can not create the log file " + options.logFile + "; logging is off.");
    }
    for (const std::string& text : parsed.ignored) reporter.warning(text);

    ClustererRun run(options, reporter);
    int status = run.run();
    const RunStatistics& s = run.statistics();
    std::printf("clusterer: %lld pixels, %lld frames, %lld clusters written (%lld events) in %.3f s\n",
                s.pixelsRead, s.framesRead, s.clustersWritten, s.eventsWritten, s.seconds);
    return status;
}
