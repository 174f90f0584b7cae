#include "device/sensor.h"

#include "link/commands.h"

namespace device {

Identity Identify(sensorlink::Link& link) {
    const sensorlink::Exchange id = link.Command(sensorlink::cmd::kFirmware, 0);
    Identity result;
    result.outcome = id.outcome;
    if (id.Frame()) result.firmware = sensorlink::FirmwareText(id.payload);
    return result;
}

sensorlink::Outcome ChangeBaudRate(sensorlink::Link& link, std::uint16_t baudIndex) {
    const sensorlink::Exchange e = link.Command(sensorlink::cmd::kBaudRate, baudIndex);
    link.ReportRefusal(e);
    return e.outcome;
}

std::optional<sensorlink::CycleTime> ReadCycleTime(sensorlink::Link& link) {
    const sensorlink::Exchange e = link.Command(sensorlink::cmd::kCycleTime, 0);
    if (!e.Ok()) return std::nullopt;
    return sensorlink::DecodeCycleTime(e.payload);
}

sensorlink::Exchange Measure(sensorlink::Link& link) {
    return link.Command(sensorlink::cmd::kMeasure, 0);
}

}  // namespace device
