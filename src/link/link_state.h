#pragma once
// The link's buffers and the fields of the last reply: one instance in the program, shared
// by every caller that talks to the sensor.

#include <array>
#include <cstdint>
#include <string>

#include "link/frame.h"

namespace sensorlink {

struct LinkState {
    std::array<std::uint8_t, kBufferSize> request{};
    std::array<std::uint8_t, kBufferSize> reply{};
    std::array<std::uint16_t, kWordBufferSize> words{};             // request source, UnpackWords
    std::array<std::uint16_t, kWordBufferSize> measurementWords{};  // UnpackReply
    std::string message;  // what ReportLinkFailure shows
    std::int32_t receivedCount = 0;
    std::int32_t comStatus = 0;
    std::uint8_t replyCommand = 0;
    std::uint16_t replyParameter = 0;
    std::uint16_t replyLength = 0;
    std::uint8_t replyDataChecksum = 0;
    std::int16_t linkOk = 0;
    std::uint16_t comProtocol = 0;  // 0 RS-232, 1 TCP
};

}  // namespace sensorlink
