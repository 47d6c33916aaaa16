#pragma once
// The general results list "SamplingList": run totals, per-class totals and the time samples, in text and JSON.
#include "common/Messages.h"

namespace zel {

class Engine;

// Writes the list to its text and JSON files; 0, or the flush failure code after an error message.
int writeSamplingList(const Engine& engine, const MessageTarget& to);

}  // namespace zel
