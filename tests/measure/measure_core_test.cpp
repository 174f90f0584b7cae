// The arithmetic of the measured values and the charts, with the numbers an engineer checks
// the screen against.

#include <gtest/gtest.h>

#include <cmath>

#include "measure/chart_math.h"
#include "measure/colour_math.h"
#include "session/measured_values.h"

namespace {

using namespace measure;

TEST(Lab, WhiteBlackAndChannelsAboveFullScale) {
    const Lab white = ComputeLab(4095, 4095, 4095);
    EXPECT_NEAR(white.l, 100.0, 1e-9);
    EXPECT_NEAR(white.a, 0.0, 1e-9);
    EXPECT_NEAR(white.b, 0.0, 1e-9);
    const Lab black = ComputeLab(0, 0, 0);
    EXPECT_DOUBLE_EQ(black.l, -16.0);
    EXPECT_DOUBLE_EQ(black.a, 0.0);
    // No clipping: above full scale f passes 1, and everything stays finite.
    const Lab over = ComputeLab(65535, 65535, 0);
    EXPECT_GT(over.l, 100.0);
    EXPECT_TRUE(std::isfinite(over.b));
    const Lab red = ComputeLab(4095, 0, 0);
    EXPECT_NEAR(red.a, 500.0, 1e-9);
    EXPECT_NEAR(red.l, -16.0, 1e-9);
}

TEST(CurrentColor, TwelveBitsBecomeEightAndNeverSpill) {
    EXPECT_EQ(CurrentColor(4095, 2048, 15), 0xFF8000u);
    EXPECT_EQ(CurrentColor(0, 0, 0), 0u);
    // A channel above 4095 would carry into the next component; it is held at 255.
    EXPECT_EQ(CurrentColor(0, 65535, 0), 0x00FF00u);
}

TEST(OutputLeds, TwoBitPatternAndFailure) {
    const auto pattern = [](std::uint16_t n) {
        const OutputLeds l = OutputPattern(n);
        return std::pair{l.bit1, l.bit0};
    };
    EXPECT_EQ(pattern(0), std::pair(false, false));
    EXPECT_EQ(pattern(1), std::pair(false, true));
    EXPECT_EQ(pattern(2), std::pair(true, false));
    EXPECT_EQ(pattern(3), std::pair(true, true));
    EXPECT_EQ(pattern(255), std::pair(true, true));
    EXPECT_FALSE(ShowsOutputPattern(2));
    EXPECT_TRUE(ShowsOutputPattern(3));
}

TEST(MeasuredValues, WordSixIsSignedTheRestAsTheyCame) {
    std::array<std::uint16_t, session::kMeasuredWords> words{};
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint16_t>(100 + i);
    words[6] = 0xFFFF;
    words[22] = 65535;
    const session::MeasuredValues m = session::TakeMeasuredValues(words);
    EXPECT_EQ(m.deltaC, -1);
    EXPECT_EQ(m.red, 100);
    EXPECT_EQ(m.temperature, 110);
    EXPECT_EQ(m.rgbMinMax[5], 119);
    EXPECT_EQ(m.extra[2], 65535);
}

TEST(ChartHistory, KeepsTheLastHundredFramesOldestFirst) {
    ChartHistory h;
    for (int frame = 1; frame <= 60; ++frame) h.Append(frame, 0, 0, frame, 0, 0);
    EXPECT_EQ(h.x[39], 0.0);  // before the 100th frame the older part is zero
    EXPECT_EQ(h.x[40], 1.0);
    for (int frame = 61; frame <= 150; ++frame)
        h.Append(static_cast<std::uint16_t>(frame), 2, 3, static_cast<std::uint16_t>(frame), 5,
                 static_cast<std::uint16_t>(frame * 2));
    EXPECT_EQ(h.x.front(), 51.0);
    EXPECT_EQ(h.x.back(), 150.0);
    EXPECT_EQ(h.intensity.back(), 300.0);
    EXPECT_EQ(h.rgb[0], 51.0);
    EXPECT_EQ(h.rgb[297], 150.0);
    EXPECT_EQ(h.rgb[298], 2.0);
    EXPECT_EQ(h.rgb[299], 3.0);
}

params::ParameterSet OneVector(std::uint16_t x, std::uint16_t y, std::uint16_t cto) {
    params::ParameterSet set;  // every cell 1: untaught
    set.teach[0].cell = {x, y, cto, 2000, 300};
    return set;
}

TEST(ViewWindow, FollowsTheTaughtRangeAndTheCurrentPoint) {
    // A fresh table: nothing counts, the extents are 0 ... 10000.
    const PlotExtents fresh = ComputeExtents(params::ParameterSet{}, 0);
    EXPECT_EQ(fresh.xMin, 0);
    EXPECT_EQ(fresh.xMax, 10000);
    ViewWindow w = ComputeView(2000, fresh.xMin, fresh.xMax, 1500, fresh.yMin, fresh.yMax);
    EXPECT_EQ(w.horizontal.min, -25);
    EXPECT_EQ(w.horizontal.max, 10025);
    EXPECT_EQ(w.vertical.min, -25);
    EXPECT_EQ(w.vertical.max, 10025);

    const PlotExtents one = ComputeExtents(OneVector(1000, 800, 100), 0);
    w = ComputeView(1010, one.xMin, one.xMax, 790, one.yMin, one.yMax);  // inside the circle
    EXPECT_EQ(w.horizontal.min, 875);
    EXPECT_EQ(w.horizontal.max, 1125);
    EXPECT_EQ(w.vertical.min, 675);
    EXPECT_EQ(w.vertical.max, 925);
    w = ComputeView(1500, one.xMin, one.xMax, 800, one.yMin, one.yMax);
    EXPECT_EQ(w.horizontal.min, 875);
    EXPECT_EQ(w.horizontal.max, 1525);
    EXPECT_EQ(w.vertical.min, 475);
    EXPECT_EQ(w.vertical.max, 1125);
    // Below the range, and odd spans: integer division truncates towards zero.
    w = ComputeView(-101, 0, 0, 0, 0, 0);
    EXPECT_EQ(w.horizontal.min, -51 - 50 - 25);
    EXPECT_EQ(w.horizontal.max, -51 + 50 + 25);
}

TEST(Extents, ToleranceColumnsFollowTheCalculationMode) {
    params::ParameterSet set;
    set.teach[3].cell = {1000, 800, 1500, 200, 7};  // 3D: X, Y, INT, TOL, (unused)
    const PlotExtents e3 = ComputeExtents(set, 2);
    EXPECT_EQ(e3.xMin, 800);
    EXPECT_EQ(e3.xMax, 1200);
    EXPECT_EQ(e3.iMin, 1300);
    EXPECT_EQ(e3.iMax, 1700);
    const PlotExtents e2 = ComputeExtents(set, 0);  // 2D: X, Y, CTO, INT, ITO
    EXPECT_EQ(e2.xMin, -500);  // signed: a tolerance larger than X reaches below zero
    EXPECT_EQ(e2.iMin, 193);
    EXPECT_EQ(e2.iMax, 207);
    // X and Y at most 10 do not count, whatever the tolerances.
    params::ParameterSet reset;
    reset.teach[0].cell = {10, 10, 5000, 4000, 4000};
    EXPECT_EQ(ComputeExtents(reset, 0).xMax, 10000);
}

TEST(IntensityBand, StaysWithinTheChannelRange) {
    EXPECT_EQ(IntensityBand(4000, 300).min, 3700);
    EXPECT_EQ(IntensityBand(4000, 300).max, 4096);
    EXPECT_EQ(IntensityBand(100, 300).min, 0);
    EXPECT_EQ(IntensityBand(100, 300).max, 400);
    EXPECT_EQ(IntensityColumn(0), 4);
    EXPECT_EQ(IntensityColumn(3), 3);
}

}  // namespace
