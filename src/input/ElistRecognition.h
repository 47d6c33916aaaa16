#pragma once
// Tells whether a file is an event list by its name and header, and which kind of event list it is.
#include "common/Messages.h"

#include <string>
#include <vector>

namespace zel {

struct ElistKind {
    bool isElist = false;
    bool unitsSeconds = false;   // a unit on the units line is "s"
    bool hasPIDClass = false;    // written after classification
    bool hasFilterPass = false;  // written after filtering
};

inline constexpr int kElistSimple = -1014;
inline constexpr int kElistCorrupted = -1016;
inline constexpr int kElistCanNotOpen = -1015;

// 0 whether recognised or not (see kind.isElist). A name with a cluster-log marker or without an event-list marker
// is no event list. `knownNames` is the engine's cluster variable list; every known variable name and older name
// counts too. -1015 with "Can not open input file: " when the file cannot be read (reported, not raised). Raises
// -1014 for a headerless list of numbers and -1016 "Corrupted elist file." for a short file whose names, units and
// first row disagree.
int recogniseElist(const std::string& path, const std::string& name, const std::vector<std::string>& knownNames,
                   ElistKind& kind, const MessageTarget& to);

}  // namespace zel
