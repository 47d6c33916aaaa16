#pragma once
// The Compton results list "ComptonList": the camera's counters, the half-angle histogram by name, the statistics
// of the cone half angles and the cones per time sample, in text and JSON (one object, or an array of tables in
// the web layout).
#include "common/Messages.h"

namespace zel {

class ComptonCamera;

// Writes the list into the camera's export directory; 0, or the flush failure code after an error message.
int writeComptonList(const ComptonCamera& camera, const MessageTarget& to);

}  // namespace zel
