#pragma once
// Inside the device layer: the last step of a read whose reply has a fixed layout.

#include <optional>

#include "device/result.h"
#include "link/link.h"
#include "link/link_texts.h"

namespace device {

// The values `decode` finds in `reply`'s payload, or nothing. An error frame carries none
// and ends the read, reported with its code where the code has no text of its own. A reply
// too short for its layout is reported with the data-frame text and comes to Failed: its
// missing words would be an earlier frame's.
template <class Decode>
auto DecodedReply(sensorlink::Link& link, const sensorlink::Exchange& reply, Decode decode)
    -> Read<typename decltype(decode(reply.payload))::value_type> {
    Read<typename decltype(decode(reply.payload))::value_type> read;
    static_cast<Done&>(read) = Ended(link, reply);
    if (!reply.Ok()) return read;
    read.value = decode(reply.payload);
    if (!read.value) static_cast<Done&>(read) = Refuse(link, sensorlink::kDataFrameText);
    return read;
}

}  // namespace device
