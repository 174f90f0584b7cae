#include "device/corrections.h"

#include "link/commands.h"
#include "link/link_texts.h"

namespace device {

std::optional<sensorlink::CorrectionValues> ReadCorrections(sensorlink::Link& link,
                                                            sensorlink::Outcome* outcome) {
    sensorlink::Outcome local;
    sensorlink::Outcome& why = outcome ? *outcome : local;
    const sensorlink::Exchange e = link.Command(sensorlink::cmd::kReadCorrection, 0);
    why = e.outcome;
    if (!e.Ok()) {
        // An error frame carries no correction values; a refusal ends the read, not silently.
        link.ReportRefusal(e);
        return std::nullopt;
    }
    const auto values = sensorlink::DecodeCorrectionValues(e.payload);
    if (!values) {
        link.Report(sensorlink::kDataFrameText);
        why = sensorlink::Outcome::Failed;
        return std::nullopt;
    }
    return values;
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
