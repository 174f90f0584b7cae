#pragma once
// What the program says about its link: the transport the exchanges use and the text of the
// last failure reported. The link's own buffers and the fields of a reply are inside the
// link; a reply reaches its caller as a sensorlink::Exchange.

#include <cstdint>
#include <string>

namespace sensorlink {

// The transport of the exchanges; the values are those of the settings file.
enum class ComProtocol : std::uint16_t { Rs232 = 0, Tcp = 1 };

struct LinkState {
    ComProtocol comProtocol = ComProtocol::Rs232;
    std::string message;  // the text of the last failure reported (what ReportLinkFailure showed)
};

}  // namespace sensorlink
