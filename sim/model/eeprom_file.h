#pragma once
// The simulated sensor's EEPROM as a text file, so that it survives restarts:
//
//   VELORAX-SIM-EEPROM 1
//   block0 w0 .. w19          parameter block of set 0 (decimal words)
//   block1 w0 .. w19          parameter block of set 1
//   teach0 w0 .. w247         teach table of set 0
//   teach1 w0 .. w247         teach table of set 1
//   factors r g b
//   offsets r g b
//   baud index
//
// Written to a temporary file beside the target and renamed over it, so a crash never
// leaves half an EEPROM behind. Values are not range-checked here: like a real EEPROM it
// may hold implausible values, which command 4 reports.

#include <optional>
#include <string>
#include <string_view>

#include "sim/model/sensor_model.h"

namespace sim {

std::string SerializeEeprom(const Eeprom& eeprom);
std::optional<Eeprom> ParseEeprom(std::string_view text, std::string* error = nullptr);
bool SaveEepromFile(const std::string& path, const Eeprom& eeprom, std::string* error = nullptr);
// nullopt with an empty error when the file does not exist yet.
std::optional<Eeprom> LoadEepromFile(const std::string& path, std::string* error = nullptr);

}  // namespace sim
