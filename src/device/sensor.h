#pragma once
// The sensor itself, free of widgets: who it is, its line rate, its cycle time and one
// measurement. The connection page, the scope page, the session's loops and velorax-cli
// run these.
//
//   command 7                  -> zero-terminated firmware text
//   command 190, param = index -> acknowledged; the sensor then talks at the new rate
//   command 105                -> two signed 32-bit values: the cycle time
//   command 8                  -> one measurement frame, at least 23 words

#include <optional>
#include <string>

#include "device/result.h"
#include "link/link.h"
#include "link/replies.h"

namespace device {

// Command 7. The text is taken from an error frame too, as the sensor sent it (the link has
// reported a code with a text); Frame() tells whether any frame came, Ok() a plain reply.
struct Identity : Done {
    std::string firmware;
};
Identity Identify(sensorlink::Link& link);

// Command 190 over the line still at the old rate. Reply: the sensor took the new rate.
// Anything else is a refusal or a failure, reported (an error frame whose code has no text
// with its code), and the sensor keeps its rate.
Done ChangeBaudRate(sensorlink::Link& link, std::uint16_t baudIndex);

// Command 105; nothing on a failure, an error frame or a reply shorter than its 8 bytes (not
// reported: the cycle time only names the scan rates).
Read<sensorlink::CycleTime> ReadCycleTime(sensorlink::Link& link);

// Command 8: one measurement frame as the link answered it.
sensorlink::Exchange Measure(sensorlink::Link& link);

}  // namespace device
