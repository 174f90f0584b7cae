#include "device/corrections.h"

#include "device/decoded_reply.h"
#include "link/commands.h"
#include "link/link_texts.h"

namespace device {

std::optional<sensorlink::CorrectionValues> ReadCorrections(sensorlink::Link& link,
                                                            sensorlink::Outcome* outcome) {
    return DecodedReply(link, link.Command(sensorlink::cmd::kReadCorrection, 0),
                        sensorlink::DecodeCorrectionValues, outcome);
}

sensorlink::Outcome WriteCorrections(sensorlink::Link& link, Correction which,
                                     const std::array<std::uint16_t, 3>& values, int* count) {
    const sensorlink::Exchange e =
        link.Command(sensorlink::cmd::kWriteCorrection, static_cast<std::uint16_t>(which), values);
    if (count) *count = e.Ok() ? e.parameter : 0;
    if (e.Ok() && link.ReportPlausibility(e, sensorlink::kPlausibilityRamText))
        return sensorlink::Outcome::ErrorReply;
    return e.outcome;
}

sensorlink::Exchange MeasureOffsets(sensorlink::Link& link) {
    return link.Command(sensorlink::cmd::kMeasureOffsets, 1);
}

std::optional<sensorlink::SelfCalibration> SelfCalibrate(sensorlink::Link& link) {
    const sensorlink::Exchange e = link.Command(sensorlink::cmd::kSelfCalibration, 0);
    if (!e.Ok()) return std::nullopt;
    const auto result = sensorlink::DecodeSelfCalibration(e.payload);
    if (!result) {
        link.Report(sensorlink::kDataFrameText);
        return std::nullopt;
    }
    return result;
}

}  // namespace device
