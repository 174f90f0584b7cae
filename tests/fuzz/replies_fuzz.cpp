// The reply decoders on any payload, of any length: each must stay inside it, and say
// whether the payload carries what it decodes exactly by its length. The input is the
// payload, so the fuzzer reaches every decoder without building frames.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/frame.h"
#include "link/replies.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Never longer than the reply buffer's payload, as the link hands them over.
    const std::span<const std::uint8_t> payload(data, std::min(size, sensorlink::kMaxPayload));
    static std::array<std::uint16_t, sensorlink::kWordBufferSize> words{};
    Check(sensorlink::FirmwareText(payload).size() <= sensorlink::kFirmwareMaxChars);
    Check(sensorlink::UnpackMeasurement(payload, words) ==
          std::min<std::size_t>(payload.size() / 2, 1024));
    Check(sensorlink::ParameterBlock(payload).has_value() == (payload.size() >= 40));
    Check(sensorlink::TeachTable(payload).has_value() == (payload.size() >= 496));
    Check(sensorlink::DecodeCorrectionValues(payload).has_value() == (payload.size() >= 12));
    Check(sensorlink::DecodeSelfCalibration(payload).has_value() == (payload.size() >= 10));
    if (const auto cycle = sensorlink::DecodeCycleTime(payload)) sensorlink::ScanFrequency(*cycle);
    Check(sensorlink::DecodeScopeBlock(payload).has_value() == (payload.size() >= 258));
    Check(sensorlink::HardwareBlock(payload).has_value() == (payload.size() >= 512));
    return 0;
}
