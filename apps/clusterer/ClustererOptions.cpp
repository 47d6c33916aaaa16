#include "ClustererOptions.h"

#include <cmath>
#include <filesystem>
#include <string_view>

#include "common/Text.h"

namespace zel::clusterer {
namespace {

enum class Kind { Text, Number, Integer, Switch };

using TextSetter = void (*)(ClustererOptions&, std::string_view);
using NumberSetter = void (*)(ClustererOptions&, double);

struct OptionSpec {
    std::string_view name;
    Kind kind;
    TextSetter setText;
    NumberSetter setNumber;
    std::string_view valueName;
    std::string_view help;
    // Whole numbers accepted by an Integer option: checked before the conversion, which is undefined outside the
    // range of the target type.
    double least = -9.0e15;
    double most = 9.0e15;
};

constexpr double kIntMost = 2147483647.0;

constexpr OptionSpec kOptions[] = {
    {"--korelist", Kind::Text, [](ClustererOptions& o, std::string_view v) { o.elistBase = v; }, nullptr, "P",
     "write the event list P.korelist (appended when it exists and --frame-start-num > 0)"},
    {"-c", Kind::Text, [](ClustererOptions& o, std::string_view v) { o.calibrationDir = v; }, nullptr, "DIR",
     "calibrate ToT to keV with the matrices a, b, c, t in DIR"},
    {"--clust-feat-list", Kind::Text, [](ClustererOptions& o, std::string_view v) { o.clusterListBase = v; },
     nullptr, "P", "write the cluster list P.clist (same layout as the event list)"},
    {"--frame-occupancy-limit", Kind::Number, nullptr,
     [](ClustererOptions& o, double v) { o.frameOccupancyLimit = v; }, "PERCENT",
     "skip frames whose hit pixels exceed PERCENT of the matrix (frame data)"},
    {"--frame-start-num", Kind::Integer, nullptr,
     [](ClustererOptions& o, double v) { o.frameStartNum = static_cast<long long>(v); }, "N",
     "number the frames of this run from N + 1", 0.0},
    {"--pix-count-max", Kind::Integer, nullptr,
     [](ClustererOptions& o, double v) { o.pixCountMax = static_cast<long long>(v); }, "N",
     "drop clusters of more than N pixels"},
    {"-l", Kind::Text, [](ClustererOptions& o, std::string_view v) { o.clogPath = v; }, nullptr, "P",
     "write the cluster log P"},
    {"--corr-tpx-high-energy", Kind::Switch, nullptr,
     [](ClustererOptions& o, double) { o.tpxHighEnergyCorr = true; }, "",
     "high-energy correction of Timepix data (not available: reported and not applied)"},
    {"--measmode", Kind::Text, [](ClustererOptions& o, std::string_view v) { o.measMode = v; }, nullptr, "MODE",
     "\"itot+count\": the fourth pixel value of a cluster log is a hit count"},
    {"--el-coinctoadiff", Kind::Number, nullptr, [](ClustererOptions& o, double v) { o.coincToaDiff = v; }, "NS",
     "EventID groups clusters within NS of the group's first cluster (default 100)"},
    {"--el-thickness", Kind::Number, nullptr, [](ClustererOptions& o, double v) { o.thickness = v; }, "UM",
     "sensor thickness in um for the 3D length, elevation and LET (default 300)"},
    {"--l2d-corr-formula", Kind::Integer, nullptr,
     [](ClustererOptions& o, double v) { o.lengthCorrFormula = static_cast<int>(v); }, "1|2|3",
     "corrected 2D length: 1 LengthProj-1, 2 LengthProj-WidthProj, 3 sqrt(LengthProj^2-WidthProj^2)", 1.0, 3.0},
    {"--log", Kind::Switch, nullptr, [](ClustererOptions& o, double) { o.log = true; }, "",
     "also write the run's messages to a log file (see --log-file)"},
    {"--debug", Kind::Switch, nullptr, [](ClustererOptions& o, double) { o.debug = true; }, "",
     "report per-input details on stderr"},
    {"--stat-file", Kind::Text, [](ClustererOptions& o, std::string_view v) { o.statFile = v; }, nullptr, "P",
     "write the statistics file P"},
    {"--log-file", Kind::Text, [](ClustererOptions& o, std::string_view v) { o.logFile = v; }, nullptr, "P",
     "log file of --log (default ClustererLog.txt in the output directory)"},
    {"--out-dir", Kind::Text, [](ClustererOptions& o, std::string_view v) { o.outputDir = v; }, nullptr, "DIR",
     "output directory of the run: statistics file and log named without a directory go there (default: the "
     "directory of the event list, else of the cluster log, the cluster list, the statistics file)"},
    {"--toa-window", Kind::Number, nullptr, [](ClustererOptions& o, double v) { o.toaWindow = v; }, "NS",
     "Timepix3: a cluster takes pixels up to NS after its first pixel (default 200)"},
    {"--toa-sort-margin", Kind::Number, nullptr, [](ClustererOptions& o, double v) { o.toaSortMargin = v; }, "NS",
     "Timepix3: disorder of the pixel stream that is put right (default 2000)"},
    {"--width", Kind::Integer, nullptr, [](ClustererOptions& o, double v) { o.width = static_cast<int>(v); }, "N",
     "sensor matrix width in pixels (default 256)", 1.0, 65536.0},
    {"--height", Kind::Integer, nullptr, [](ClustererOptions& o, double v) { o.height = static_cast<int>(v); },
     "N", "sensor matrix height in pixels (default 256)", 1.0, 65536.0},
    {"--detector-id", Kind::Integer, nullptr,
     [](ClustererOptions& o, double v) { o.detectorId = static_cast<int>(v); }, "N",
     "value of the DetectorID column (default 0)", -kIntMost - 1.0, kIntMost},
};

const OptionSpec* findOption(std::string_view name) {
    for (const auto& spec : kOptions) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

bool setValue(const OptionSpec& spec, std::string_view value, ClustererOptions& options, std::string& error) {
    if (spec.kind == Kind::Text) {
        if (value.empty()) {
            error = "Option " + std::string(spec.name) + " needs a non-empty value.";
            return false;
        }
        spec.setText(options, value);
        return true;
    }
    double number = 0.0;
    if (!parseDouble(value, number) || !std::isfinite(number)) {
        error = "Option " + std::string(spec.name) + " needs a number, got \"" + std::string(value) + "\".";
        return false;
    }
    if (spec.kind == Kind::Integer && (number != std::floor(number) || number < spec.least || number > spec.most)) {
        error = "Option " + std::string(spec.name) + " needs a whole number from " +
                std::to_string(static_cast<long long>(spec.least)) + " to " +
                std::to_string(static_cast<long long>(spec.most)) + ", got \"" + std::string(value) + "\".";
        return false;
    }
    spec.setNumber(options, number);
    return true;
}

// Settings that parse but cannot be used together or at all.
bool checkValues(const ClustererOptions& options, ParseResult& result) {
    auto fail = [&result](std::string text) {
        result.outcome = ParseOutcome::Error;
        result.message = std::move(text);
        return false;
    };
    if (options.inputs.empty()) return fail("No input file given; the input path comes last on the command line.");
    if (!(options.toaWindow > 0.0)) return fail("Option --toa-window must be positive.");
    if (options.toaSortMargin < 0.0) return fail("Option --toa-sort-margin must not be negative.");
    if (options.thickness < 0.0) return fail("Option --el-thickness must not be negative.");
    if (!options.measMode.empty() && options.measMode != "itot+count") {
        return fail("Option --measmode knows only \"itot+count\", got \"" + options.measMode + "\".");
    }
    if (options.tpxHighEnergyCorr) {
        result.ignored.push_back("--corr-tpx-high-energy: the high-energy correction is not available; "
                                 "energies are not corrected.");
    }
    return true;
}

// The run's own files belong to its output directory, not to the working directory that several runs may share.
void placeRunFiles(ClustererOptions& options) {
    namespace fs = std::filesystem;
    if (options.outputDir.empty()) {
        for (const std::string* output :
             {&options.elistBase, &options.clogPath, &options.clusterListBase, &options.statFile}) {
            if (output->empty()) continue;
            options.outputDir = fs::path(*output).parent_path().string();
            break;
        }
    }
    const fs::path directory = options.outputDir;
    auto place = [&directory](std::string& file) {
        if (!file.empty() && !fs::path(file).has_parent_path()) file = (directory / file).string();
    };
    place(options.statFile);
    if (options.logFile.empty()) options.logFile = "ClustererLog.txt";
    place(options.logFile);
}

}  // namespace

ParseResult parseCommandLine(int argc, const char* const* argv, ClustererOptions& options) {
    ParseResult result;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument.empty()) continue;
        if (argument == "--help" || argument == "-h") {
            result.outcome = ParseOutcome::Help;
            return result;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            options.inputs.emplace_back(argument);
            continue;
        }
        std::string_view name = argument;
        std::string_view inlineValue;
        bool hasInlineValue = false;
        if (size_t equals = argument.find('='); equals != std::string_view::npos && startsWith(argument, "--")) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
            hasInlineValue = true;
        }
        const OptionSpec* spec = findOption(name);
        if (spec == nullptr) {
            result.outcome = ParseOutcome::Error;
            result.message = "Unknown option: " + std::string(argument) + " (see --help).";
            return result;
        }
        if (spec->kind == Kind::Switch) {
            if (hasInlineValue) {
                result.outcome = ParseOutcome::Error;
                result.message = "Option " + std::string(name) + " takes no value.";
                return result;
            }
            spec->setNumber(options, 1.0);
            continue;
        }
        std::string_view value = inlineValue;
        if (!hasInlineValue) {
            if (i + 1 >= argc) {
                result.outcome = ParseOutcome::Error;
                result.message = "Option " + std::string(name) + " needs a value.";
                return result;
            }
            value = argv[++i];
        }
        if (!setValue(*spec, value, options, result.message)) {
            result.outcome = ParseOutcome::Error;
            return result;
        }
    }
    if (checkValues(options, result)) placeRunFiles(options);
    return result;
}

std::string usageText() {
    std::string text =
        "Usage: clusterer [options] INPUT...\n"
        "Clusters raw pixel data (.t3pa, frame matrices .txt and .pmf with .dsc, a directory of frame files) or\n"
        "a cluster log (.clog) and writes the event list, the cluster list, the cluster log and a statistics file.\n"
        "\nOptions:\n";
    for (const auto& spec : kOptions) {
        std::string head = "  " + std::string(spec.name);
        if (!spec.valueName.empty()) head += " " + std::string(spec.valueName);
        if (head.size() < 34) head.append(34 - head.size(), ' ');
        else head += "\n" + std::string(34, ' ');
        text += head + std::string(spec.help) + "\n";
    }
    text += "  --help                          this text\n";
    return text;
}

}  // namespace zel::clusterer
