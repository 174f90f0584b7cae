#pragma once
// What the program computes from one measured frame for its displays: L a b, the colour of
// the measured light, and the two output LEDs. Free of Qt.

#include <cstdint>

namespace measure {

struct Lab {
    double l = 0;
    double a = 0;
    double b = 0;
};

// The three calibrated channels stand in for X, Y, Z with the white point at 4095 each:
// f(v) = (v / 4095)^(1/3), a = 500 (f(red) - f(green)), b = 200 (f(green) - f(blue)),
// L = 116 f(green) - 16. No linear segment near zero, no clipping: black is L = -16 and a
// channel above 4095 gives f above 1.
Lab ComputeLab(std::uint16_t red, std::uint16_t green, std::uint16_t blue);

// 0xRRGGBB from the 12-bit channels, each reduced to 8 bits (v / 16). A channel above 4095
// is held at 255: it must not spill into the neighbouring component.
std::uint32_t CurrentColor(std::uint16_t red, std::uint16_t green, std::uint16_t blue);

// The two digital outputs shown as LEDs, in the evaluation modes where the colour number is
// a two-bit pattern (COL2 and the threshold modes); 255 (failure) lights both.
struct OutputLeds {
    bool bit1 = false;
    bool bit0 = false;
};
OutputLeds OutputPattern(std::uint16_t colorNo);
inline bool ShowsOutputPattern(std::uint16_t evaluationMode) {
    return evaluationMode > 2;
}

}  // namespace measure
