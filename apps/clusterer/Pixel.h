#pragma once
// The units of work of the clusterer: a hit pixel and the frame it was read in.
#include <cstdint>

namespace zel::clusterer {

// One hit pixel. `value` is what the input holds (ToT, counts or keV) until calibration turns it into keV;
// `time` is the time of arrival in ns (0 when the input has none).
struct Pixel {
    int32_t x = 0;
    int32_t y = 0;
    double value = 0.0;
    double time = 0.0;
};

// One acquisition frame of frame-based data; a Timepix3 input counts as one frame spanning the whole file.
struct FrameInfo {
    long long number = 0;         // frame number written to Flags, continuing over inputs
    double startSeconds = 0.0;    // frame start (unix seconds when known)
    double acqSeconds = 0.0;      // acquisition time of the frame
    bool hasStartTime = false;    // false for numbered frames that carry no time of their own
};

}  // namespace zel::clusterer
