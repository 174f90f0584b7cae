#include "link/frame.h"

#include "link/crc8.h"

namespace sensorlink {

std::uint8_t WriteHeader(std::uint8_t* out, std::uint8_t command, std::uint16_t parameter,
                         std::span<const std::uint8_t> payload) {
    out[0] = kStartByte;
    out[1] = command;
    WriteWord(out + 2, parameter);
    WriteWord(out + 4, static_cast<std::uint16_t>(payload.size()));
    out[6] = payload.empty() ? kCrcStart : Crc8(payload.data(), 0, payload.size());
    out[7] = Crc8(out, 0, 7);
    return out[7];
}

std::vector<std::uint8_t> MakeFrame(std::uint8_t command, std::uint16_t parameter,
                                    std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> frame(kHeaderSize + payload.size());
    WriteHeader(frame.data(), command, parameter, payload);
    std::copy(payload.begin(), payload.end(), frame.begin() + kHeaderSize);
    return frame;
}

std::vector<std::uint8_t> MakeWordFrame(std::uint8_t command, std::uint16_t parameter,
                                        std::span<const std::uint16_t> words) {
    std::vector<std::uint8_t> payload(words.size() * 2);
    for (std::size_t i = 0; i < words.size(); ++i) WriteWord(&payload[2 * i], words[i]);
    return MakeFrame(command, parameter, payload);
}

bool HeaderValid(const std::uint8_t* header) {
    return header[0] == kStartByte && Crc8(header, 0, kHeaderSize) == 0;
}

FrameHeader ParseHeader(const std::uint8_t* header) {
    return FrameHeader{header[1], ReadWord(header + 2), ReadWord(header + 4), header[6]};
}

std::size_t UnpackWordsInto(const std::uint8_t* payload, std::size_t lengthBytes,
                            std::uint16_t* words, std::size_t maxWords) {
    std::size_t count = lengthBytes / 2;
    if (count > maxWords) count = maxWords;
    for (std::size_t k = 0; k < count; ++k) words[k] = ReadWord(payload + 2 * k);
    return count;
}

}  // namespace sensorlink
