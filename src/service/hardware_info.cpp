#include "service/hardware_info.h"

#include <algorithm>

#include "link/commands.h"

namespace service {

std::optional<HardwareData> ReadHardwareData(sensorlink::Link& link, sensorlink::Outcome* outcome) {
    const sensorlink::Exchange hw =
        link.Command(sensorlink::cmd::kHardwareInfo, sensorlink::kHardwareKey);
    if (outcome) *outcome = hw.outcome;
    if (!hw.Ok()) return std::nullopt;
    link.UnpackReply();
    HardwareData data{};
    std::copy_n(link.State().measurementWords.begin(), data.size(), data.begin());
    return data;
}

}  // namespace service
