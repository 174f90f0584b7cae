#pragma once
// Inside the device layer: the last step of a read whose reply has a fixed layout.

#include <optional>

#include "link/link.h"
#include "link/link_texts.h"

namespace device {

// The values `decode` finds in `reply`'s payload, or nothing. An error frame carries none
// and ends the read, reported with its code where the code has no text of its own. A reply
// too short for its layout is reported with the data-frame text and comes to Failed: its
// missing words would be an earlier frame's. `outcome` (may be null) gets what it came to.
template <class Decode>
auto DecodedReply(sensorlink::Link& link, const sensorlink::Exchange& reply, Decode decode,
                  sensorlink::Outcome* outcome) -> decltype(decode(reply.payload)) {
    if (outcome) *outcome = reply.outcome;
    if (!reply.Ok()) {
        link.ReportRefusal(reply);
        return std::nullopt;
    }
    auto values = decode(reply.payload);
    if (!values) {
        link.Report(sensorlink::kDataFrameText);
        if (outcome) *outcome = sensorlink::Outcome::Failed;
    }
    return values;
}

}  // namespace device
