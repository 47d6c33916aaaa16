#pragma once
// The pixel mask as a module of the run: loads the mask file named by the settings, tells the products how much
// of the sensor is left (the factor N / (N - M) on the dose, dose-rate and flux factors and on the area), and
// hands the mask to the file run for the masked copies of its inputs.
#include <memory>
#include <string>

#include "cluster/PixelMask.h"
#include "engine/Module.h"

namespace zel {

class MaskModule : public Module {
public:
    static constexpr int kFileMissing = -1028;

    std::string_view name() const override { return "Mask"; }
    int init(const ModuleContext& context) override;
    void report(const MessageTarget& to) const override;

    const PixelMask& mask() const { return *mask_; }

private:
    std::unique_ptr<PixelMask> mask_;
    std::string fileName_;
    bool fullPrint_ = false;
};

}  // namespace zel
