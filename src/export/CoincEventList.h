#pragma once
// The coincidence results list "CoincEventList": event and coincidence-group counts, the time-difference
// histogram by name, and the counts per time sample, in text and JSON (one object, or an array of tables in the
// web layout).
#include "common/Messages.h"

namespace zel {

class CoincidenceAnalysis;

// Writes the list into the analysis' export directory; 0, or the flush failure code after an error message.
int writeCoincEventList(const CoincidenceAnalysis& analysis, const MessageTarget& to);

}  // namespace zel
