#include "engine/Settings.h"

#include "cluster/VariableNames.h"

namespace zel {

void selectLengthCorr(Settings& settings, int value, const MessageTarget& to) {
    if (value < 1 || value > static_cast<int>(kLengthCorrNames.size())) {
        printWarning(to, "Length switch has invalid value. It should be: 1,2,3. Set to 1.");
        value = 1;
    }
    settings.LengthCorr = value;
    const LengthCorrNames& names = kLengthCorrNames[static_cast<size_t>(value - 1)];
    settings.LengthCorrName2D = names.name2D;
    settings.LengthCorrName3D = names.name3D;
}

const char* dataOriginText(int dataOrigin) {
    switch (dataOrigin) {
        case 1: return "Environment, ground-level cosmic rays";
        case 2: return "Laboratory radionuclides";
        case 3: return "Accelerator charged particle beams, low-energy";
        case 4: return "Mixed-field space radiation (LEO, GTO, GEO)";
        default: return "Not specified";
    }
}

}  // namespace zel
