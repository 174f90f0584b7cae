#pragma once
// The hardware data block of the sensor, free of widgets: command 194 with the fixed key
// word, whose 256 words the hardware information file records as they are. The HW INFO
// FILE button and velorax-cli read it with this.

#include <array>
#include <cstdint>
#include <optional>

#include "link/link.h"
#include "params/hardware_file.h"

namespace service {

using HardwareData = std::array<std::uint16_t, params::kHardwareDataWords>;

// The reply is unpacked over the measurement word buffer and its first 256 words taken: a
// short reply leaves the later words as the buffer held them. Nothing on a failure or an
// error frame (which carries no hardware data, also one whose code has no text to report).
// `outcome` (may be null) gets the exchange's outcome.
std::optional<HardwareData> ReadHardwareData(sensorlink::Link& link,
                                             sensorlink::Outcome* outcome = nullptr);

}  // namespace service
