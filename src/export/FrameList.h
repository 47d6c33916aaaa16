#pragma once
// The frame results list "FrameList": frame counts and timing, the statistics of the per-frame products and the
// products of every frame, in text and JSON (one object, or an array of tables in the web layout); and the data of
// the frame graphs.
#include "common/Messages.h"

namespace zel {

class FrameAnalysis;

// Writes the list into the analysis' export directory; 0, or the flush failure code after an error message.
int writeFrameList(const FrameAnalysis& analysis, const MessageTarget& to);

// With graphics export, the per-frame products as a text table of one column per product ("FrameProducts.txt" in
// the analysis' export directory), the data the frame graphs are drawn from. 0 or -1.
int writeFrameGraphs(const FrameAnalysis& analysis);

// The frame graphs as pictures in the analysis' export directory.
class Pictures;
void addFramePictures(const FrameAnalysis& analysis, Pictures& pictures);

}  // namespace zel
