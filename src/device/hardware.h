#pragma once
// The hardware data block of the sensor, free of widgets: command 194 with the fixed key
// word, whose 256 words the hardware information file records as they are. The HW INFO
// FILE button and velorax-cli read it with this.

#include <array>
#include <cstdint>
#include <optional>

#include "device/result.h"
#include "link/link.h"
#include "params_core/hardware_file.h"

namespace device {

using HardwareData = std::array<std::uint16_t, params::kHardwareDataWords>;

// The reply's 256 words. Nothing on a failure, on an error frame (which carries no hardware
// data; reported with its code when the code has no text of its own), or on a reply shorter
// than 256 words (reported with the data-frame text, outcome Failed).
Read<HardwareData> ReadHardwareData(sensorlink::Link& link);

}  // namespace device
