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

Read<scope::Trace> TakeScanBlock(sensorlink::Link& link, const sensorlink::Exchange& block,
                                 const ScanSettings& settings) {
    Read<scope::Trace> read;
    if (block.payload.empty()) {
        static_cast<Done&>(read) = Refuse(link, sensorlink::kHeaderFrameText);
        return read;
    }
    const auto decoded = sensorlink::DecodeScopeBlock(block.payload);
    if (!decoded) {  // shorter than its 129 words
        static_cast<Done&>(read) = Refuse(link, sensorlink::kDataFrameText);
        return read;
    }
    static_cast<Done&>(read) = Done(block);
    read.value = scope::RingOrder(decoded->ring, decoded->triggerIndex, settings.preTrigger,
                                  settings.triggerMode);
    return read;
}

sensorlink::Exchange BreakScan(sensorlink::Link& link) {
    if (!link.Up()) return sensorlink::Exchange(sensorlink::Outcome::LinkDown);
    return link.CommandAmidFrames(sensorlink::cmd::kScopeScan, 0, [](const auto& frame) {
        return sensorlink::IsAckOf(frame, sensorlink::cmd::kScopeScan);
    });
}

}  // namespace device
