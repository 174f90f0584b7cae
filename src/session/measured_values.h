#pragma once
// One measurement frame as the program uses it: the first 23 words of a measurement reply,
// in the sensor's order. Word 6 (deltaC) is signed.

#include <array>
#include <cstdint>
#include <span>

namespace session {

inline constexpr std::size_t kMeasuredWords = 23;

struct MeasuredValues {
    std::uint16_t red = 0;  // calibrated, 12 bits
    std::uint16_t green = 0;
    std::uint16_t blue = 0;
    std::uint16_t x = 0;          // X, or s in the s i M modes
    std::uint16_t y = 0;          // Y, or i
    std::uint16_t intensity = 0;  // INT, or M
    std::int16_t deltaC = 0;      // -1: no hit
    std::uint16_t colorNo = 0;    // 255: failure
    std::uint16_t groupNo = 0;    // 255: failure
    std::uint16_t triggered = 0;
    std::uint16_t temperature = 0;
    std::uint16_t rawRed = 0;
    std::uint16_t rawGreen = 0;
    std::uint16_t rawBlue = 0;
    std::array<std::uint16_t, 6> rgbMinMax{};
    std::array<std::uint16_t, 3> extra{};  // the siM REF values
};

// Words 0 ... 22 of the measurement word buffer, unchanged (word 6 read as signed).
inline MeasuredValues TakeMeasuredValues(std::span<const std::uint16_t, kMeasuredWords> w) {
    MeasuredValues m;
    m.red = w[0];
    m.green = w[1];
    m.blue = w[2];
    m.x = w[3];
    m.y = w[4];
    m.intensity = w[5];
    m.deltaC = static_cast<std::int16_t>(w[6]);
    m.colorNo = w[7];
    m.groupNo = w[8];
    m.triggered = w[9];
    m.temperature = w[10];
    m.rawRed = w[11];
    m.rawGreen = w[12];
    m.rawBlue = w[13];
    for (std::size_t i = 0; i < 6; ++i) m.rgbMinMax[i] = w[14 + i];
    for (std::size_t i = 0; i < 3; ++i) m.extra[i] = w[20 + i];
    return m;
}

// The words of `m` in the sensor's order: TakeMeasuredValues backwards.
inline std::array<std::uint16_t, kMeasuredWords> MeasuredWords(const MeasuredValues& m) {
    std::array<std::uint16_t, kMeasuredWords> w{};
    w[0] = m.red;
    w[1] = m.green;
    w[2] = m.blue;
    w[3] = m.x;
    w[4] = m.y;
    w[5] = m.intensity;
    w[6] = static_cast<std::uint16_t>(m.deltaC);
    w[7] = m.colorNo;
    w[8] = m.groupNo;
    w[9] = m.triggered;
    w[10] = m.temperature;
    w[11] = m.rawRed;
    w[12] = m.rawGreen;
    w[13] = m.rawBlue;
    for (std::size_t i = 0; i < 6; ++i) w[14 + i] = m.rgbMinMax[i];
    for (std::size_t i = 0; i < 3; ++i) w[20 + i] = m.extra[i];
    return w;
}

}  // namespace session
