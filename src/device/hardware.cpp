#include "device/hardware.h"

#include <algorithm>

#include "link/commands.h"
#include "link/link_texts.h"
#include "link/replies.h"

namespace device {

std::optional<HardwareData> ReadHardwareData(sensorlink::Link& link, sensorlink::Outcome* outcome) {
    const sensorlink::Exchange hw =
        link.Command(sensorlink::cmd::kHardwareInfo, sensorlink::kHardwareKey);
    if (outcome) *outcome = hw.outcome;
    if (!hw.Ok()) {
        link.ReportRefusal(hw);
        return std::nullopt;
    }
    const auto words = sensorlink::HardwareBlock(hw.payload);
    if (!words) {
        // Words the reply does not carry would be an earlier frame's in the file.
        link.Report(sensorlink::kDataFrameText);
        if (outcome) *outcome = sensorlink::Outcome::Failed;
        return std::nullopt;
    }
    HardwareData data{};
    std::copy_n(words->begin(), data.size(), data.begin());
    return data;
}

}  // namespace device
