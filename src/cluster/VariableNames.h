#pragma once
// The cluster variables the engine knows by name. Each known variable has one slot that holds its column index in
// the rows of a batch (-1 when absent). The three corrected-length spellings share one 2D and one 3D slot.
#include <array>
#include <string_view>

namespace zel {

enum class Var : int {
    DetectorID, EventID, X, Y, Z, E, T, Size, Height, BorderPixCount, Roundness, Linearity, Diameter, AngleAzim,
    AngleElev, LengthProj, WidthProj, Flags, IsSensEdge, StdAlong, StdPerp, Thin, Thick, CurlyThin, EpixMean, EpixStd,
    LET, PIDClass, FilterPass, LengthCorr, Length3DCorr,
    Count
};

inline constexpr int kVarSlotCount = static_cast<int>(Var::Count);  // 31

struct KnownVariable {
    std::string_view name;
    Var slot;
};

inline constexpr std::array<KnownVariable, 35> kKnownVariables{{
    {"DetectorID", Var::DetectorID}, {"EventID", Var::EventID}, {"X", Var::X}, {"Y", Var::Y}, {"Z", Var::Z},
    {"E", Var::E}, {"T", Var::T}, {"Size", Var::Size}, {"Height", Var::Height},
    {"BorderPixCount", Var::BorderPixCount}, {"Roundness", Var::Roundness}, {"Linearity", Var::Linearity},
    {"Diameter", Var::Diameter}, {"AngleAzim", Var::AngleAzim}, {"AngleElev", Var::AngleElev},
    {"LengthProj", Var::LengthProj}, {"WidthProj", Var::WidthProj}, {"Flags", Var::Flags},
    {"IsSensEdge", Var::IsSensEdge}, {"StdAlong", Var::StdAlong}, {"StdPerp", Var::StdPerp}, {"Thin", Var::Thin},
    {"Thick", Var::Thick}, {"CurlyThin", Var::CurlyThin}, {"EpixMean", Var::EpixMean}, {"EpixStd", Var::EpixStd},
    {"LET", Var::LET}, {"PIDClass", Var::PIDClass}, {"FilterPass", Var::FilterPass},
    {"LengthCorrStd", Var::LengthCorr}, {"LengthCorrWidth", Var::LengthCorr}, {"LengthCorrNabha", Var::LengthCorr},
    {"Length3DCorrStd", Var::Length3DCorr}, {"Length3DCorrWidth", Var::Length3DCorr},
    {"Length3DCorrNabha", Var::Length3DCorr},
}};

// Slot of a known name (whole string, case-sensitive); false when the name is not known.
constexpr bool findVariable(std::string_view name, Var& slot) {
    for (const auto& known : kKnownVariables) {
        if (known.name == name) {
            slot = known.slot;
            return true;
        }
    }
    return false;
}

// Names written by older event lists and the current names they stand for.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kLegacyNames{{
    {"x", "X"}, {"y", "Y"}, {"t", "T"}, {"Angle", "AngleAzim"}, {"Length", "LengthProj"}, {"Width", "WidthProj"},
}};

// The corrected-length pair chosen by the LengthCorr setting (1, 2 or 3).
struct LengthCorrNames {
    std::string_view name2D;
    std::string_view name3D;
};
inline constexpr std::array<LengthCorrNames, 3> kLengthCorrNames{{
    {"LengthCorrStd", "Length3DCorrStd"}, {"LengthCorrWidth", "Length3DCorrWidth"},
    {"LengthCorrNabha", "Length3DCorrNabha"},
}};

// The 28 default variables with their units; entries 24 and 25 are the corrected-length pair of LengthCorr.
struct DefaultVariable {
    std::string_view name;
    std::string_view unit;
};
inline constexpr std::array<DefaultVariable, 28> kDefaultVariables{{
    {"DetectorID", "-"}, {"EventID", "-"}, {"X", "px"}, {"Y", "px"}, {"E", "keV"}, {"T", "ns"}, {"Flags", "-"},
    {"Size", "px"}, {"Height", "keV"}, {"BorderPixCount", "-"}, {"Roundness", "-"}, {"AngleAzim", "deg"},
    {"Linearity", "-"}, {"LengthProj", "px"}, {"WidthProj", "px"}, {"IsSensEdge", "-"}, {"StdAlong", "px"},
    {"StdPerp", "px"}, {"Thin", "-"}, {"Thick", "-"}, {"CurlyThin", "-"}, {"EpixMean", "keV"}, {"EpixStd", "keV"},
    {"LengthCorrStd", "px"}, {"Length3DCorrStd", "um"}, {"AngleElev", "deg"}, {"LET", "keV/um"}, {"Diameter", "px"},
}};
inline constexpr int kDefaultLengthCorrIndex2D = 23;
inline constexpr int kDefaultLengthCorrIndex3D = 24;

}  // namespace zel
