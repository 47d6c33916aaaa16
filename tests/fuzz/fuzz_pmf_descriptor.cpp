// Frame files ".pmf" with their descriptor ".dsc": the two parts of the input, read frame by frame.
#include <vector>

#include "FrameFileReader.h"
#include "FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [frames, descriptor] = zelfuzz::twoParts(zelfuzz::asText(data, size));
    const std::string path = zelfuzz::writeFile("run.pmf", frames);
    zelfuzz::writeFile("run.pmf.dsc", descriptor);
    zel::clusterer::FrameFileReader reader(4, 4);
    std::string error;
    if (!reader.open(path, error)) return 0;
    std::vector<zel::clusterer::Pixel> pixels;
    zel::clusterer::FrameInfo frame;
    while (reader.next(pixels, frame, error) == zel::clusterer::FrameFileReader::Result::Frame) {
    }
    return 0;
}
