#include "device/triggered.h"

#include "link/commands.h"

namespace device {

namespace {

// Command 30 while frames may be coming: they are passed over until its acknowledgement.
sensorlink::Exchange TriggeredSendingAmidFrames(sensorlink::Link& link, std::uint16_t on) {
    return link.CommandAmidFrames(sensorlink::cmd::kTriggeredSend, on, [](const auto& frame) {
        return sensorlink::IsAckOf(frame, sensorlink::cmd::kTriggeredSend);
    });
}

}  // namespace

sensorlink::Exchange StartTriggeredSending(sensorlink::Link& link) {
    return link.Command(sensorlink::cmd::kTriggeredSend, 1);
}

sensorlink::Exchange ConfirmTriggeredSending(sensorlink::Link& link) {
    return TriggeredSendingAmidFrames(link, 1);
}

sensorlink::Exchange StopTriggeredSending(sensorlink::Link& link) {
    if (!link.Up()) return sensorlink::Exchange(sensorlink::Outcome::LinkDown);
    return TriggeredSendingAmidFrames(link, 0);
}

}  // namespace device
