#pragma once
// The hardware information file: a service snapshot of the connected sensor, written for
// the supplier.
//
//   [GENERAL INFO]
//   FILE TYPE: = "Hardware Initial File"
//   SCOPE VERSION: = "VELORAX3-KVT-ANA-Scope V1.0"
//   FIRMWARE VERSION: = "<identification text of the sensor>"
//
//   [HARDWARE INFO]
//   DATA Line0001 = "0123ABCD..."   256 words, four hex digits each, no separators:
//   ...                             1024 digits, split by the INI writer into twelve
//   DATA Line0013 = "..."           pieces of 80 and one of 64
//
//   [CALIBRATION FACTOR]            RED, GREEN, BLUE
//   [OFFSET]                        RED, GREEN, BLUE
//
//   [PARAMETER] and [TEACH VECTOR 0] ... [TEACH VECTOR 30], as in the parameter file
//
// The program only writes this file; the data words are the sensor's and are stored
// without interpretation.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "ini/ini.h"
#include "params_core/parameter_set.h"

namespace params {

inline constexpr std::size_t kHardwareDataWords = 256;

inline constexpr char kHardwareFileType[] = "Hardware Initial File";
inline constexpr char kFirmwareVersionTag[] = "FIRMWARE VERSION:";
inline constexpr char kHardwareInfoSection[] = "HARDWARE INFO";
inline constexpr char kHardwareDataTag[] = "DATA";
inline constexpr char kCalibrationFactorSection[] = "CALIBRATION FACTOR";
inline constexpr char kOffsetSection[] = "OFFSET";

// File dialog.
inline constexpr char kHardwareFileDefaultName[] = "HardwareInitialFile.ini";
inline constexpr char kHardwareFileFilter[] = "*.ini";
inline constexpr char kHardwareFileDialogTitle[] = "HardwareInitialFile";

// What the connection page's message box says about the file.
inline constexpr char kHardwareNoFileSelected[] = "ATTENTION!   NO FILE WAS SELECTED!\n\n";
inline constexpr char kHardwareFileSaved[] = "HARDWARE INI FILE HAS BEEN SAVED TO:\n";
inline constexpr char kHardwareFileNotWritten[] =
    "ATTENTION!   HARDWARE INI FILE COULD NOT BE WRITTEN TO:\n";

// Everything the file records.
struct HardwareSnapshot {
    std::string firmware;  // the identification text received at connection
    std::array<std::uint16_t, kHardwareDataWords> data{};
    std::array<std::uint16_t, 3> factors{};  // red, green, blue
    std::array<std::uint16_t, 3> offsets{};
    ParameterSet parameters;
};

// The data words as one text: four upper-case hex digits per word, zero-padded.
std::string HardwareDataText(std::span<const std::uint16_t, kHardwareDataWords> words);

ini::IniObject BuildHardwareFile(const HardwareSnapshot& snapshot);

}  // namespace params
