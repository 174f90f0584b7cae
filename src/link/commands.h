#pragma once
// The sensor's command codes with the sizes of what travels with them.

#include <cstdint>


namespace sensorlink {

namespace cmd {
inline constexpr std::uint8_t kWriteBlock = 1;        // param: block address; payload 20/248 words
inline constexpr std::uint8_t kReadBlock = 2;         // param: block address; reply 20/248 words
inline constexpr std::uint8_t kStoreEeprom = 3;       // RAM -> EEPROM
inline constexpr std::uint8_t kLoadEeprom = 4;        // EEPROM -> RAM; reply param: plausibility
inline constexpr std::uint8_t kFirmware = 7;          // reply: zero-terminated text
inline constexpr std::uint8_t kMeasure = 8;           // reply: measurement frame (>= 23 words)
inline constexpr std::uint8_t kTriggeredSend = 30;    // param 1 on / 0 off
inline constexpr std::uint8_t kMeasureOffsets = 100;  // param 1
inline constexpr std::uint8_t kWriteCorrection = 101; // param 0 factors / 1 offsets; 3 words
inline constexpr std::uint8_t kReadCorrection = 102;  // reply 6 words
inline constexpr std::uint8_t kSelfCalibration = 103; // reply 5 words
inline constexpr std::uint8_t kCycleTime = 105;       // reply two int32
inline constexpr std::uint8_t kScopeScan = 110;       // param 1 start (5 words) / 0 break
inline constexpr std::uint8_t kBaudRate = 190;        // param: baud index 0..4
inline constexpr std::uint8_t kHardwareInfo = 194;    // param: kHardwareKey; reply 256 words
}  // namespace cmd

inline constexpr std::uint16_t kHardwareKey = 0x51E3;

// Block addresses of command 1 and 2: parameters of set 0/1, teach table of set 0/1.
inline constexpr std::uint16_t kParameterBlockWords = 20;
inline constexpr std::uint16_t kTeachTableWords = 248;
inline constexpr std::uint16_t BlockWords(std::uint16_t blockAddress) {
    return blockAddress < 2 ? kParameterBlockWords : kTeachTableWords;
}

inline constexpr std::uint16_t kMeasurementWords = 23;
inline constexpr std::uint16_t kCorrectionWords = 3;
inline constexpr std::uint16_t kCorrectionReplyWords = 6;
inline constexpr std::uint16_t kSelfCalibrationWords = 5;
inline constexpr std::uint16_t kCycleTimeBytes = 8;
inline constexpr std::uint16_t kScopeRequestWords = 5;
inline constexpr std::uint16_t kScopeBlockWords = 129;
inline constexpr std::uint16_t kScopeBlocks = 4;
inline constexpr std::uint16_t kHardwareInfoWords = 256;

// Error codes of an error reply (command byte 0).
inline constexpr std::uint16_t kErrorUnknownCommand = 1;
inline constexpr std::uint16_t kErrorCommunication = 2;

// Baud-rate table of the serial line; any other index gives the fastest rate.
inline constexpr std::int32_t BaudRate(std::uint16_t index) {
    constexpr std::int32_t rates[] = {9600, 19200, 38400, 57600, 115200};
    return index < 5 ? rates[index] : 115200;
}

}  // namespace sensorlink
