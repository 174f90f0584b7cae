#include "device/hardware.h"

#include "device/decoded_reply.h"
#include "link/commands.h"
#include "link/replies.h"

namespace device {

std::optional<HardwareData> ReadHardwareData(sensorlink::Link& link, sensorlink::Outcome* outcome) {
    static_assert(params::kHardwareDataWords == sensorlink::kHardwareInfoWords);
    return DecodedReply(link,
                        link.Command(sensorlink::cmd::kHardwareInfo, sensorlink::kHardwareKey),
                        sensorlink::HardwareBlock, outcome);
}

}  // namespace device
