#pragma once
// Frame of the sensor link, the same in both directions:
//
//   byte 0     start          0x55
//   byte 1     command        request: command code; reply: 0 = error reply
//   bytes 2-3  parameter      16 bits, low byte first (reply: status, count or error code)
//   bytes 4-5  length         payload bytes after the header, low byte first
//   byte 6     dataChecksum   CRC-8 of the payload (0xAA when there is none)
//   byte 7     headerChecksum CRC-8 of bytes 0-6
//   bytes 8..  payload        16-bit words, low byte first
//
// Buffers are 2048 bytes, so a payload is at most 2040 bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>


namespace sensorlink {

inline constexpr std::uint8_t kStartByte = 0x55;
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kBufferSize = 2048;
inline constexpr std::size_t kMaxPayload = kBufferSize - kHeaderSize;
inline constexpr std::size_t kWordBufferSize = 1024;

struct FrameHeader {
    std::uint8_t command = 0;
    std::uint16_t parameter = 0;
    std::uint16_t length = 0;
    std::uint8_t dataChecksum = kStartByte;
};

inline std::uint16_t ReadWord(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void WriteWord(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

// Fills the 8 header bytes at `out` (payload checksum over `payload`), returns the header
// checksum.
std::uint8_t WriteHeader(std::uint8_t* out, std::uint8_t command, std::uint16_t parameter,
                         std::span<const std::uint8_t> payload);

// A complete frame: header followed by the payload bytes.
std::vector<std::uint8_t> MakeFrame(std::uint8_t command, std::uint16_t parameter,
                                    std::span<const std::uint8_t> payload = {});
// The same with a payload of 16-bit words.
std::vector<std::uint8_t> MakeWordFrame(std::uint8_t command, std::uint16_t parameter,
                                        std::span<const std::uint16_t> words);

// True when the 8 bytes start with 0x55 and carry a right header checksum.
bool HeaderValid(const std::uint8_t* header);
FrameHeader ParseHeader(const std::uint8_t* header);

// Words of a payload, low byte first; an odd last byte is dropped and at most `maxWords`
// are taken. Returns the number of words written.
std::size_t UnpackWordsInto(const std::uint8_t* payload, std::size_t lengthBytes,
                            std::uint16_t* words, std::size_t maxWords);

}  // namespace sensorlink
