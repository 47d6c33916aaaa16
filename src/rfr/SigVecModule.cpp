#include "rfr/SigVecModule.h"

#include <filesystem>

#include "cluster/ClusterVariables.h"
#include "engine/Settings.h"
#include "hist/HistogramModule.h"

namespace zel {

int SigVecModule::init(const ModuleContext& context) {
    const Settings& s = context.settings;
    messages_ = context.messages;
    sigVec_ = SigVec(context.codeBase, messages_);
    sigVec_.SetOutput(s.FileOutPath + s.ExportDirSigVec, "SigVec");
    if (!s.SigVecName.empty()) {
        const std::string path = s.SigVecPath + s.SigVecName;
        if (!std::filesystem::is_regular_file(path)) {
            printErrorCode(messages_, "Can not open file with sig vec config: " + path, -1026);
            return -1026;
        }
        return sigVec_.LoadConfig(s.SigVecPath, s.SigVecName);
    }
    if (!s.HistName.empty()) {
        // The built-in vector reads histograms of the built-in set, which a user histogram file replaces.
        printWarning(messages_, "SigVec can not be used if user settings of histograms is exploited with " +
                                    s.HistName + ".");
        return kNotUsed;
    }
    // The built-in histograms of size, border pixel count and linearity exist only when the input has them.
    const ClusterVariables& variables = context.variables;
    if (variables.index(Var::Size) < 0 || variables.index(Var::BorderPixCount) < 0 ||
        variables.index(Var::Linearity) < 0) {
        printWarning(messages_, "SigVec : The built-in significant vector needs the variables Size, BorderPixCount "
                                "and Linearity, which the input does not have. It will not be made.");
        return kNotUsed;
    }
    builtIn_ = true;
    sigVec_.UseBuiltInConfig(s.FileOutPath + s.ExportDirHist, s.FileOutPath + s.ExportDirSigVec, "_Total");
    return 0;
}

int SigVecModule::create(const HistogramModule* histograms) {
    built_ = false;
    sigVec_.ClearData();
    std::string missing;
    for (const std::string& title : sigVec_.GetHistNames()) {
        const Hist1D* h1 = histograms != nullptr ? histograms->findHist1DByTitle(title) : nullptr;
        const Hist2D* h2 = h1 == nullptr && histograms != nullptr ? histograms->findHist2DByTitle(title) : nullptr;
        if (h1 != nullptr) {
            sigVec_.AddHist1D(h1);
        } else if (h2 != nullptr) {
            sigVec_.AddHist2D(h2);
        } else {
            missing += (missing.empty() ? "" : ", ") + title;
        }
    }
    if (!missing.empty()) {
        printErrorCode(messages_,
                       "Creating significant vector failed because not all needed histograms were given: " + missing,
                       kMissingHistograms);
        return kMissingHistograms;
    }
    const int result = sigVec_.Process();
    built_ = result == 0;
    return result;
}

void SigVecModule::report(const MessageTarget& to) const {
    printMsg(to, "Configuration:\t\t\t" + (builtIn_ ? std::string("built-in") : sigVec_.ConfigName()));
    printMsg(to, std::string("DoNormalization:\t\t") + (sigVec_.GetDoNormalization() ? "True" : "False"));
    for (const SigVec::Variable& v : sigVec_.GetVariables())
        printMsg(to, "Var_" + v.title + ":\t\t" + v.histName + "\t" + std::to_string(v.intervals.size() / 2) +
                         " intervals, " + std::to_string(v.masks.size()) + " masks");
}

}  // namespace zel
