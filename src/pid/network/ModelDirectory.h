#pragma once
// Finding the model directory of a network algorithm below the models path. A directory is named for the detector
// and class count it was trained for, then the model's accuracy and the training time stamp:
//     <chip>_<thickness>um_<material>_<classes>classes[_<accuracy>][_<time stamp>]
// for example "TPX3_500um_Si_6classes_0.9712_20240315-142530". The time stamp is the last field when it holds
// digits only, with at most one '-' between date and time (YYYYMMDD, YYYYMMDDhhmmss, YYYYMMDD-hhmmss).
#include <string>
#include <string_view>

#include "pid/PidAlgorithms.h"

namespace zel {

// "<chip>_<thickness>um_<material>_<classes>classes", e.g. "TPX_300um_Si_3classes".
std::string modelDirectoryPrefix(const DetectorSpec& detector, size_t classCount);

// The time-stamp digits of a directory name that starts with the prefix, padded with zeros to 14; empty when the
// name has no time stamp.
std::string modelTimeStamp(std::string_view name, std::string_view prefix);

struct ModelDirectoryChoice {
    std::string name;       // the chosen entry, or the prefix itself when nothing fits
    size_t candidates = 0;  // entries that fit the prefix
};

// Of the entries of `modelPath` whose name is the prefix or the prefix followed by "_" and more, takes a
// directory before anything else, then the newest time stamp (a name without one is the oldest), then the name
// that sorts last.
ModelDirectoryChoice findModelDirectory(const std::string& modelPath, std::string_view prefix);

}  // namespace zel
