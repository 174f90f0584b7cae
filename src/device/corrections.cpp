#include "device/corrections.h"

#include "device/decoded_reply.h"
#include "link/commands.h"
#include "link/link_texts.h"

namespace device {

Read<sensorlink::CorrectionValues> ReadCorrections(sensorlink::Link& link) {
    return DecodedReply(link, link.Command(sensorlink::cmd::kReadCorrection, 0),
                        sensorlink::DecodeCorrectionValues);
}

Done WriteCorrections(sensorlink::Link& link, Correction which,
                      const std::array<std::uint16_t, 3>& values, int* count) {
    const sensorlink::Exchange e =
        link.Command(sensorlink::cmd::kWriteCorrection, static_cast<std::uint16_t>(which), values);
    if (count) *count = e.Ok() ? e.parameter : 0;
    if (e.Ok() && link.ReportPlausibility(e, sensorlink::kPlausibilityRamText))
        return Done(sensorlink::Outcome::ErrorReply,
                    sensorlink::PlausibilityText(e.parameter, sensorlink::kPlausibilityRamText));
    return Done(e);
}

sensorlink::Exchange MeasureOffsets(sensorlink::Link& link) {
    return link.Command(sensorlink::cmd::kMeasureOffsets, 1);
}

Read<sensorlink::SelfCalibration> SelfCalibrate(sensorlink::Link& link) {
    const sensorlink::Exchange e = link.Command(sensorlink::cmd::kSelfCalibration, 0);
    Read<sensorlink::SelfCalibration> read;
    static_cast<Done&>(read) = Done(e);
    if (!e.Ok()) return read;
    read.value = sensorlink::DecodeSelfCalibration(e.payload);
    if (!read.value) static_cast<Done&>(read) = Refuse(link, sensorlink::kDataFrameText);
    return read;
}

}  // namespace device
