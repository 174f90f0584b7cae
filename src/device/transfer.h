#pragma once
// SEND and GET with the sensor, free of widgets: the exchanges that move one parameter set
// between the PC and the sensor's RAM and EEPROM. The parameter page and velorax-cli run
// these same sequences.
//
//   SEND   command 1, block address = set      the ParameterBlock, 20 words    -> RAM
//          command 1, block address = set + 2  the TeachTable, 248 words      -> RAM
//          command 3 (to EEPROM only)          RAM -> EEPROM
//   GET    command 4 (from EEPROM only)        EEPROM -> RAM
//          command 2, block address = set      20 words <- RAM
//          command 2, block address = set + 2  248 words <- RAM
//
// Commands 1 and 4 answer with a plausibility count: how many values the sensor found
// implausible and replaced by its defaults. A count is reported through the link and the
// transfer goes on; so does an error frame (reported where its code has a text). Failures
// go to the link's observer; nothing is retried.

#include <cstdint>

#include "device/result.h"
#include "link/link.h"
#include "params_core/parameter_set.h"

namespace device {

// What the sensor answered to each step that carries a plausibility count; -1 where the
// step did not run or its reply was an error frame.
struct TransferCounts {
    int block = -1;       // command 1, the ParameterBlock
    int teachTable = -1;  // command 1, the TeachTable
    int eeprom = -1;      // command 4
};

// Reply: every step ran and the sensor took it. ErrorReply: every step ran, but the sensor
// objected (an error frame, values it replaced; reported, the first objection's text kept).
// Anything else: the outcome of the exchange that ended the transfer, and its text.
Done SendToSensor(sensorlink::Link& link, const params::ParameterSet& set, std::uint16_t paraSet,
                  bool toEeprom, TransferCounts* counts = nullptr);

// Reply or ErrorReply: both blocks were taken into `set` (an error frame's payload as any
// reply's). Otherwise what ended it; a ParameterBlock that came before the failure stays in
// `set`. A reply too short for its block is reported with the data-frame text and fails:
// it would fill the set with words the sensor never sent.
Done GetFromSensor(sensorlink::Link& link, params::ParameterSet& set, std::uint16_t paraSet,
                   bool fromEeprom, TransferCounts* counts = nullptr);

}  // namespace device
