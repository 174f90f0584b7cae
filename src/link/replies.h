#pragma once
// What the sensor's replies carry, decoded from a payload (an Exchange's payload). Every
// decoder reads only inside the span it is given: a payload shorter than its layout gives
// std::nullopt ("too short"), never a read past the end; a longer one is fine, the extra
// bytes are not looked at. Words are 16 bits, low byte first.
//
//   command  payload                                   decoder
//   7        text, NUL-terminated, Latin-1            FirmwareText (at most 71 characters)
//   2        20 words (block 0/1), 248 words (2/3)    ParameterBlock, TeachTable
//   8, 30    measurement frame, >= 23 words           UnpackMeasurement (over a kept buffer)
//   102      cf red green blue, offset red green blue CorrectionValues
//   103      cf red green blue, set value, max delta  SelfCalibration
//   105      int32 A (bytes 0-3), int32 B (4-7)       CycleTime; both little-endian, signed
//   110      129 words: ring of 128 samples, trigger  ScopeBlock
//   194      256 words                                HardwareBlock

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "link/commands.h"

namespace sensorlink {

using Payload = std::span<const std::uint8_t>;

inline constexpr std::size_t kFirmwareMaxChars = 71;

// Stops at the first NUL or after 71 characters. The bytes are Latin-1, one character
// each, returned as they are (QString::fromLatin1 turns them into text). An empty payload
// is an empty text.
std::string FirmwareText(Payload payload);

// Words 0 .. out.size()-1 of the payload into `out`; false (and `out` untouched) when the
// payload holds fewer.
bool DecodeWords(Payload payload, std::span<std::uint16_t> out);

std::optional<std::array<std::uint16_t, kParameterBlockWords>> ParameterBlock(Payload payload);
std::optional<std::array<std::uint16_t, kTeachTableWords>> TeachTable(Payload payload);

// A measurement frame overwrites only the words it carries (an odd last byte is dropped);
// the rest of `words` keeps what earlier frames left there. Returns the number written.
// The frame is complete when that is at least kMeasurementWords.
std::size_t UnpackMeasurement(Payload payload, std::span<std::uint16_t> words);
inline bool MeasurementComplete(std::size_t wordsWritten) {
    return wordsWritten >= kMeasurementWords;
}
// A frame whose payload holds a whole measurement. An error frame without payload, or a
// short one, would leave earlier frames' words standing for values the sensor never sent.
inline bool CarriesMeasurement(Payload payload) {
    return MeasurementComplete(payload.size() / 2);
}

struct CorrectionValues {
    std::array<std::uint16_t, 3> factors{};  // red, green, blue; 1024 = gain 1
    std::array<std::uint16_t, 3> offsets{};  // red, green, blue
};
std::optional<CorrectionValues> DecodeCorrectionValues(Payload payload);

struct SelfCalibration {
    std::array<std::uint16_t, 3> factors{};  // red, green, blue
    std::uint16_t setValue = 0;
    std::uint16_t maxDelta = 0;
};
std::optional<SelfCalibration> DecodeSelfCalibration(Payload payload);

struct CycleTime {
    std::int32_t scans = 0;   // A
    std::int32_t window = 0;  // B, in units of 10 ms
};
std::optional<CycleTime> DecodeCycleTime(Payload payload);
// Scans per second, A / (0.01 * B). A window of 0 gives 0.0, which the scope shows like a
// failed query, instead of an infinite or undefined frequency.
double ScanFrequency(const CycleTime& cycle);

struct ScopeBlock {
    std::array<std::uint16_t, kScopeBlockWords - 1> ring{};  // the sensor's ring buffer
    std::uint16_t triggerIndex = 0;  // ring index of the trigger sample (word 128)
};
std::optional<ScopeBlock> DecodeScopeBlock(Payload payload);

std::optional<std::array<std::uint16_t, kHardwareInfoWords>> HardwareBlock(Payload payload);

}  // namespace sensorlink
