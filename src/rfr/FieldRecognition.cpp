#include "rfr/FieldRecognition.h"

#include "engine/Settings.h"
#include "export/RadFieldRecogList.h"

namespace zel {

int FieldRecognition::init(const ModuleContext& context) {
    const Settings& s = context.settings;
    comparator_ = ComparatorDB(context.codeBase, context.messages);
    options_ = {s.FileOutPath + s.ExportDirRadFieldRecog, s.RadFieldRecogListName, s.RadFieldRecogListJsonName,
                s.DoWeb, s.DoExportText};
    if (!s.RadFieldRecogDatabasePath.empty()) {
        comparator_.SetDatabaseSource(s.RadFieldRecogDatabasePath, s.RadFiledRecogSigVecBaseName,
                                      s.RadFiledRecogSigVecEndData, s.RadFiledRecogSigVecEndInfo);
        comparator_.SetUseBuiltInData(false);
    } else if (s.ChipType == "TPX3" && s.SensThick == 2000 && s.SensMat == "CdTe") {
        builtIn_ = true;
    } else {
        return kNotUsed;
    }
    comparator_.SetOutputFileName("ComparatorResults.txt");
    return comparator_.Init();
}

int FieldRecognition::process(const SigVec& vector) {
    std::string field;
    double probability = -1;
    const int result = comparator_.Process(field, probability, &vector);
    if (result != 0) return result;
    // The inverse of a zero distance is infinite and leaves that entry's probability undefined: an exact match
    // is certain.
    const std::vector<double>& distances = comparator_.GetDistances();
    for (size_t i = 0; i < distances.size(); ++i) {
        if (distances[i] != 0) continue;
        field = comparator_.GetDatabase()[i].field;
        probability = 1.0;
    }
    if (distances.empty()) return 0;
    field_ = field;
    probability_ = probability;
    intervals_ = vector.GetIntervals();
    hasResult_ = true;
    return 0;
}

int FieldRecognition::exportResults(const MessageTarget& to) {
    if (!hasResult_ || !options_.doExportText) return 0;
    return writeRadFieldRecogList(*this, to);
}

void FieldRecognition::report(const MessageTarget& to) const {
    printMsg(to, "Database:\t\t\t" + (builtIn_ ? std::string("built-in (TPX3, CdTe 2000 um)")
                                               : comparator_.GetDatabaseDirectory()));
    printMsg(to, "Reference fields:\t\t" + std::to_string(comparator_.GetDatabase().size()));
    printMsg(to, "Method:\t\t\t\tDistance comparator (Euclidean)");
}

}  // namespace zel
