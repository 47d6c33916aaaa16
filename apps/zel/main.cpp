// zel: runs one parameter file end to end through the ZEL_API library and prints a one-line summary.
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "zel/ZEL_API.h"

namespace {

void printUsage() {
    std::puts(
        "Usage: zel PARAM_FILE\n"
        "       zel --version | --help\n"
        "\n"
        "Reads the parameter file, initialises the engine, processes the input files it names (raw pixel data,\n"
        "cluster logs or event lists) and writes the results below its FileOutPath. Prints the particle count,\n"
        "the dose rate and where the results are. Exit status 0 on success, 1 on a failure (its code is printed),\n"
        "2 on wrong usage.");
}

// Splits "dir/name" into "dir/" and "name"; a bare name gets the current directory.
void splitPath(const std::string& full, std::string& path, std::string& name) {
    size_t slash = full.find_last_of("/\\");
    path = slash == std::string::npos ? std::string("./") : full.substr(0, slash + 1);
    name = slash == std::string::npos ? full : full.substr(slash + 1);
}

struct RunUnits {
    double liveTime = 0;  // s
    const char* dose = "uGy";
    const char* doseRate = "uGy/h";
};

// The live time the products used (TimeAcq when given, the frames' acquisition time for frame data, else the span
// of the cluster times) is the count over the count rate; the dose-rate unit in force follows from the dose rate
// over the dose per second of live time: 3600 for uGy/h, 1 for radiology units (Gy/s).
RunUnits unitsInForce() {
    RunUnits units;
    const double count = zel::getCountParticle();
    const double rate = zel::getCountRate();
    if (rate > 0 && count > 0) units.liveTime = count / rate;
    const double dose = zel::getDose();
    if (dose > 0 && units.liveTime > 0 && zel::getDoseRate() * units.liveTime / dose < 60) {
        units.dose = "Gy";
        units.doseRate = "Gy/s";
    }
    return units;
}

int run(const std::string& paramFile) {
    std::string path, name;
    splitPath(paramFile, path, name);
    int result = zel::loadParamFile(path, name);
    if (result != 0) std::fprintf(stderr, "zel: parameter file has unknown keys (result %d); going on\n", result);
    result = zel::init();
    if (result != 0) {
        std::fprintf(stderr, "\nzel: initialisation failed with code %d\n", result);
        return 1;
    }
    result = zel::processFile("", "", "");
    if (result != 0) {
        std::fprintf(stderr, "\nzel: processing failed with code %d\n", result);
        return 1;
    }
    const RunUnits units = unitsInForce();
    std::printf("\nzel: %.0f particles, dose rate %.6g %s, dose %.6g %s over a live time of %.6g s; results in %s\n",
                zel::getCountParticle(), zel::getDoseRate(), units.doseRate, zel::getDose(), units.dose,
                units.liveTime, zel::getFileOutPath().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        printUsage();
        return 2;
    }
    const std::string argument = argv[1];
    if (argument == "--help" || argument == "-h") {
        printUsage();
        return 0;
    }
    zel::construct();
    if (argument == "--version") {
        std::puts(zel::version().c_str());
        zel::destruct();
        return 0;
    }
    int status = 1;
    try {
        status = run(argument);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "\nzel: failed with code %s\n", error.what());
        status = 1;
    }
    zel::destruct();
    return status;
}
