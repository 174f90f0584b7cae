#pragma once
// The link's buffers and the fields of the last reply: one instance in the program, shared
// by every caller that talks to the sensor.

#include <array>
#include <cstdint>
#include <string>

#include "link/frame.h"

namespace sensorlink {

// The transport of the exchanges; the values are those of the settings file.
enum class ComProtocol : std::uint16_t { Rs232 = 0, Tcp = 1 };

struct LinkState {
    std::array<std::uint8_t, kBufferSize> request{};
    std::array<std::uint8_t, kBufferSize> reply{};
    std::array<std::uint16_t, kWordBufferSize> words{};             // request source, UnpackWords
    std::array<std::uint16_t, kWordBufferSize> measurementWords{};  // UnpackReply
    std::string message;                                            // what ReportLinkFailure shows
    std::int32_t receivedCount = 0;
    std::int32_t comStatus = 0;
    std::uint8_t replyCommand = 0;
    std::uint16_t replyParameter = 0;
    std::uint16_t replyLength = 0;
    std::uint8_t replyDataChecksum = 0;
    bool linkOk = false;  // the last exchange went through without a report
    ComProtocol comProtocol = ComProtocol::Rs232;
};

}  // namespace sensorlink
