#pragma once
// The directional results list "DirectionList": counts, the statistics of track lengths and angles, the angle
// histograms by name and the means per time sample, in text and JSON (one object, or an array of tables in the
// web layout).
#include "common/Messages.h"

namespace zel {

class DirectionalAnalysis;

// Writes the list into the analysis' export directory; 0, or the flush failure code after an error message.
int writeDirectionList(const DirectionalAnalysis& analysis, const MessageTarget& to);

}  // namespace zel
