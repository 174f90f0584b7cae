#include "device/sensor.h"

#include "link/commands.h"

namespace device {

Identity Identify(sensorlink::Link& link) {
    const sensorlink::Exchange id = link.Command(sensorlink::cmd::kFirmware, 0);
    Identity result;
    static_cast<Done&>(result) = Done(id);
    if (id.Frame()) result.firmware = sensorlink::FirmwareText(id.payload);
    return result;
}

Done ChangeBaudRate(sensorlink::Link& link, std::uint16_t baudIndex) {
    return Ended(link, link.Command(sensorlink::cmd::kBaudRate, baudIndex));
}

Read<sensorlink::CycleTime> ReadCycleTime(sensorlink::Link& link) {
    const sensorlink::Exchange e = link.Command(sensorlink::cmd::kCycleTime, 0);
    Read<sensorlink::CycleTime> read;
    static_cast<Done&>(read) = Done(e);
    if (e.Ok()) read.value = sensorlink::DecodeCycleTime(e.payload);
    if (e.Ok() && !read.value) read.outcome = sensorlink::Outcome::Failed;
    return read;
}

sensorlink::Exchange Measure(sensorlink::Link& link) {
    return link.Command(sensorlink::cmd::kMeasure, 0);
}

}  // namespace device
