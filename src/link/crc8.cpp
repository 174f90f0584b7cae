#include "link/crc8.h"

#include <array>

namespace sensorlink {
namespace {

constexpr std::array<std::uint8_t, 256> MakeTable() {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        auto value = static_cast<std::uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1) ? static_cast<std::uint8_t>((value >> 1) ^ 0x8C)
                                : static_cast<std::uint8_t>(value >> 1);
        }
        table[static_cast<std::size_t>(i)] = value;
    }
    return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

std::uint8_t Crc8(const std::uint8_t* bytes, std::size_t first, std::size_t count) {
    std::uint8_t crc = kCrcStart;
    for (std::size_t i = first; i < first + count; ++i) crc = kTable[crc ^ bytes[i]];
    return crc;
}

}  // namespace sensorlink
