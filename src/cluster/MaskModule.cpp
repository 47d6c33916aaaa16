#include "cluster/MaskModule.h"

#include "common/Paths.h"
#include "engine/Settings.h"
#include "engine/SettingsReport.h"

namespace zel {

int MaskModule::init(const ModuleContext& context) {
    const Settings& settings = context.settings;
    if (settings.MaskName.empty()) return kNotUsed;
    fileName_ = settings.MaskPath + settings.MaskName;
    if (!isRegularFile(fileName_)) {
        printErrorCode(context.messages,
                       "Can not open file with mask config: " + fileName_ + ". Module will not be used in processing.",
                       kFileMissing);
        return kNotUsed;
    }
    mask_ = std::make_unique<PixelMask>(settings.SensWidth, settings.SensHeight);
    if (mask_->load(fileName_, context.messages) != 0) return PixelMask::kLoadFailed;
    if (mask_->maskedCount() >= mask_->pixelCount()) {
        printError(context.messages, "The mask switches off every pixel of the sensor: nothing would be left to measure.");
        return PixelMask::kLoadFailed;
    }
    fullPrint_ = settings.DoMaskFullPrint;
    context.run.maskOn = true;
    context.run.maskFactor = mask_->areaFactor();
    return 0;
}

void MaskModule::report(const MessageTarget& to) const {
    printMsg(to, reportLine("Mask file:", fileName_));
    printMsg(to, reportLine("Mask format:", mask_->matrixFormat() ? "matrix" : "list"));
    printMsg(to, reportLine("Masked pixels:", std::to_string(mask_->maskedCount()) + " of " +
                                                  std::to_string(mask_->pixelCount())));
    printMsg(to, reportLine("Area factor N/(N-M):", std::to_string(mask_->areaFactor())));
    if (!fullPrint_) return;
    for (int y = 0; y < mask_->height(); ++y)
        for (int x = 0; x < mask_->width(); ++x)
            if (!mask_->isActive(x, y)) printMsg(to, "\t[" + std::to_string(x) + "|" + std::to_string(y) + "]");
}

}  // namespace zel
