#include "device/triggered.h"

#include "link/commands.h"

namespace device {

sensorlink::Exchange StartTriggeredSending(sensorlink::Link& link) {
    return link.Command(sensorlink::cmd::kTriggeredSend, 1);
}

sensorlink::Exchange ConfirmTriggeredSending(sensorlink::Link& link) {
    return link.CommandAmidFrames(sensorlink::cmd::kTriggeredSend, 1, [](const auto& frame) {
        return sensorlink::IsAckOf(frame, sensorlink::cmd::kTriggeredSend);
    });
}

sensorlink::Exchange StopTriggeredSending(sensorlink::Link& link) {
    if (!link.Up()) return sensorlink::Exchange(sensorlink::Outcome::LinkDown);
    return link.CommandAmidFrames(sensorlink::cmd::kTriggeredSend, 0, [](const auto& frame) {
        return sensorlink::IsAckOf(frame, sensorlink::cmd::kTriggeredSend);
    });
}

}  // namespace device
