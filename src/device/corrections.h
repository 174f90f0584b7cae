#pragma once
// The correction values on the sensor, free of widgets: the exchanges the calibration and
// offset pages and velorax-cli run.
//
//   command 102            read: factors red, green, blue, offsets red, green, blue
//   command 101, param 0   write three calibration factors (1024 = gain 1) to the EEPROM
//   command 101, param 1   write three offsets to the EEPROM
//   command 100, param 1   the sensor measures its offsets (receiver covered)
//   command 103            the sensor's self calibration: factors, set value, maximum delta
//
// Failures go to the link's observer. A reply shorter than its layout is reported with the
// data-frame text and gives nothing: its missing words would be stale ones, shown and then
// sent back to the EEPROM.

#include <array>
#include <cstdint>
#include <optional>

#include "device/result.h"
#include "link/link.h"
#include "link/replies.h"

namespace device {

enum class Correction : std::uint16_t { Factors = 0, Offsets = 1 };

// Command 102. Nothing on any failure (an error frame carries no values; one whose code has
// no text is reported with its code). Its outcome: Reply when values came, ErrorReply for
// an error frame, Failed for a short reply, else the exchange's outcome.
Read<sensorlink::CorrectionValues> ReadCorrections(sensorlink::Link& link);

// Command 101. Reply: the sensor took all three as they are. ErrorReply: an error frame, or
// a plausibility count, which is reported ("INFO!\n", the count, the RAM text) and given in
// `count` (0 when none). Anything else: the exchange's outcome.
Done WriteCorrections(sensorlink::Link& link, Correction which,
                      const std::array<std::uint16_t, 3>& values, int* count = nullptr);

// Command 100 with parameter 1; Ok() when the sensor answered it.
sensorlink::Exchange MeasureOffsets(sensorlink::Link& link);

// Command 103. The sensor stores nothing: the factors
// reach the EEPROM only with WriteCorrections.
Read<sensorlink::SelfCalibration> SelfCalibrate(sensorlink::Link& link);

}  // namespace device
