#pragma once
// A scope scan with the sensor, free of widgets: the request, the four blocks the sensor
// sends on its own once it has triggered, and BREAK. The scope page and velorax-cli run
// these; each waits for the blocks its own way (the page through the session's loop
// runner, the command line with Link::ReceiveFrame), without a time limit: a trigger may
// take as long as it likes.
//
//   command 110, param 1, 5 words: trigger mode, pre-trigger, trigger level, scan rate,
//                                  signal                                  -> acknowledged
//   4 blocks (command byte 110), 129 words each: the ring of 128 samples, the ring index
//   of the trigger sample; block 0 red, 1 green, 2 blue, 3 binary word per sample
//   command 110, param 0: BREAK                                            -> acknowledged

#include <array>
#include <cstdint>
#include <optional>

#include "device/result.h"
#include "link/link.h"
#include "scope_core/scope_core.h"

namespace device {

struct ScanSettings {
    std::uint16_t triggerMode = scope::kModeSingleShot;
    std::uint16_t preTrigger = 0;
    std::uint16_t triggerLevel = 0;
    std::uint16_t scanRate = 1;
    std::uint16_t signal = 0;
};

inline constexpr std::size_t kScanBlocks = 4;
using ScanTraces = std::array<scope::Trace, kScanBlocks>;

// Command 110 with the five settings; Ok() when the sensor acknowledged it.
sensorlink::Exchange StartScan(sensorlink::Link& link, const ScanSettings& settings);

// One block the sensor sent: its ring in time order around the trigger. A block without a
// payload is reported with the header-frame text, one shorter than 129 words with the
// data-frame text; either gives nothing.
Read<scope::Trace> TakeScanBlock(sensorlink::Link& link, const sensorlink::Exchange& block,
                                 const ScanSettings& settings);

// BREAK: command 110 with parameter 0. Blocks may still come, one of them half sent: they
// are passed over until the acknowledgement. A line that is gone has been reported already
// and is not asked again (the outcome is then LinkDown); after Abort nothing is sent.
sensorlink::Exchange BreakScan(sensorlink::Link& link);

}  // namespace device
