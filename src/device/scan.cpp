#include "device/scan.h"

#include "link/commands.h"
#include "link/link_texts.h"
#include "link/replies.h"

namespace device {

sensorlink::Exchange StartScan(sensorlink::Link& link, const ScanSettings& s) {
    const std::array<std::uint16_t, sensorlink::kScopeRequestWords> words = {
        s.triggerMode, s.preTrigger, s.triggerLevel, s.scanRate, s.signal};
    return link.Command(sensorlink::cmd::kScopeScan, 1, words);
}

std::optional<scope::Trace> TakeScanBlock(sensorlink::Link& link, const sensorlink::Exchange& block,
                                          const ScanSettings& settings) {
    if (block.payload.empty()) {
        link.Report(sensorlink::kHeaderFrameText);
        return std::nullopt;
    }
    const auto decoded = sensorlink::DecodeScopeBlock(block.payload);
    if (!decoded) {  // shorter than its 129 words
        link.Report(sensorlink::kDataFrameText);
        return std::nullopt;
    }
    return scope::RingOrder(decoded->ring, decoded->triggerIndex, settings.preTrigger,
                            settings.triggerMode);
}

sensorlink::Exchange BreakScan(sensorlink::Link& link) {
    if (!link.Up()) return sensorlink::Exchange(sensorlink::Outcome::LinkDown);
    return link.CommandAmidFrames(sensorlink::cmd::kScopeScan, 0, [](const auto& frame) {
        return sensorlink::IsAckOf(frame, sensorlink::cmd::kScopeScan);
    });
}

}  // namespace device
