#include "measure/colour_math.h"

#include <algorithm>
#include <cmath>

namespace measure {

namespace {
double F(std::uint16_t v) {
    return std::pow(static_cast<double>(v) / 4095.0, 0.3333333333333333);
}
}  // namespace

Lab ComputeLab(std::uint16_t red, std::uint16_t green, std::uint16_t blue) {
    const double fr = F(red);
    const double fg = F(green);
    const double fb = F(blue);
    return {116.0 * fg - 16.0, 500.0 * (fr - fg), 200.0 * (fg - fb)};
}

std::uint32_t CurrentColor(std::uint16_t red, std::uint16_t green, std::uint16_t blue) {
    const auto eight = [](std::uint16_t v) { return std::min<std::uint32_t>(v / 16u, 255u); };
    return (eight(red) << 16) | (eight(green) << 8) | eight(blue);
}

OutputLeds OutputPattern(std::uint16_t colorNo) {
    unsigned t = colorNo;
    OutputLeds leds;
    if (t >= 2) {
        leds.bit1 = true;
        t -= 2;
    }
    leds.bit0 = t >= 1;
    return leds;
}

}  // namespace measure
