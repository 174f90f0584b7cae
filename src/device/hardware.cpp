#include "device/hardware.h"

#include "device/decoded_reply.h"
#include "link/commands.h"
#include "link/replies.h"

namespace device {

Read<HardwareData> ReadHardwareData(sensorlink::Link& link) {
    static_assert(params::kHardwareDataWords == sensorlink::kHardwareInfoWords);
    return DecodedReply(link,
                        link.Command(sensorlink::cmd::kHardwareInfo, sensorlink::kHardwareKey),
                        sensorlink::HardwareBlock);
}

}  // namespace device
