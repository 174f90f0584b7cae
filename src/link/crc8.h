#pragma once
// CRC-8 of the sensor link: the 1-Wire polynomial 0x31 processed reflected (0x8C), table
// driven, started at 0xAA and without a final XOR. Running it over a whole header that
// carries its own checksum gives 0 exactly when that checksum is right.

#include <cstddef>
#include <cstdint>


namespace sensorlink {

inline constexpr std::uint8_t kCrcStart = 0xAA;

std::uint8_t Crc8(const std::uint8_t* bytes, std::size_t first, std::size_t count);

}  // namespace sensorlink
