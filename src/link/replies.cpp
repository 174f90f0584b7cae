#include "link/replies.h"

#include <algorithm>

#include "link/frame.h"

namespace sensorlink {

namespace {

template <std::size_t N>
std::optional<std::array<std::uint16_t, N>> Words(Payload payload) {
    std::array<std::uint16_t, N> words{};
    if (!DecodeWords(payload, words)) return std::nullopt;
    return words;
}

std::int32_t ReadInt32(const std::uint8_t* p) {
    const std::uint32_t value =
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(value);  // two's complement, defined since C++20
}

}  // namespace

std::string FirmwareText(Payload payload) {
    const std::size_t limit = std::min(payload.size(), kFirmwareMaxChars);
    const auto end = std::find(
        payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(limit), std::uint8_t{0});
    return std::string(payload.begin(), end);
}

bool DecodeWords(Payload payload, std::span<std::uint16_t> out) {
    if (payload.size() / 2 < out.size()) return false;
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = ReadWord(payload.data() + 2 * k);
    return true;
}

std::optional<std::array<std::uint16_t, kParameterBlockWords>> ParameterBlock(Payload payload) {
    return Words<kParameterBlockWords>(payload);
}

std::optional<std::array<std::uint16_t, kTeachTableWords>> TeachTable(Payload payload) {
    return Words<kTeachTableWords>(payload);
}

std::size_t UnpackMeasurement(Payload payload, std::span<std::uint16_t> words) {
    return UnpackWordsInto(payload.data(), payload.size(), words.data(), words.size());
}

std::optional<CorrectionValues> DecodeCorrectionValues(Payload payload) {
    const auto words = Words<kCorrectionReplyWords>(payload);
    if (!words) return std::nullopt;
    CorrectionValues values;
    std::copy_n(words->begin(), 3, values.factors.begin());
    std::copy_n(words->begin() + 3, 3, values.offsets.begin());
    return values;
}

std::optional<SelfCalibration> DecodeSelfCalibration(Payload payload) {
    const auto words = Words<kSelfCalibrationWords>(payload);
    if (!words) return std::nullopt;
    SelfCalibration values;
    std::copy_n(words->begin(), 3, values.factors.begin());
    values.setValue = (*words)[3];
    values.maxDelta = (*words)[4];
    return values;
}

std::optional<CycleTime> DecodeCycleTime(Payload payload) {
    if (payload.size() < kCycleTimeBytes) return std::nullopt;
    return CycleTime{ReadInt32(payload.data()), ReadInt32(payload.data() + 4)};
}

double ScanFrequency(const CycleTime& cycle) {
    if (cycle.window == 0) return 0.0;
    return static_cast<double>(cycle.scans) / (0.01 * static_cast<double>(cycle.window));
}

std::optional<ScopeBlock> DecodeScopeBlock(Payload payload) {
    const auto words = Words<kScopeBlockWords>(payload);
    if (!words) return std::nullopt;
    ScopeBlock block;
    std::copy_n(words->begin(), block.ring.size(), block.ring.begin());
    block.triggerIndex = words->back();
    return block;
}

std::optional<std::array<std::uint16_t, kHardwareInfoWords>> HardwareBlock(Payload payload) {
    return Words<kHardwareInfoWords>(payload);
}

}  // namespace sensorlink
