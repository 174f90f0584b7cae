// The scope's arithmetic: the ring put into time order, the binary traces, the cycle-time
// displays and the cursor readout.

#include "scope_core/scope_core.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace scope;

namespace {

Ring Numbered() {
    Ring ring{};
    std::iota(ring.begin(), ring.end(), std::uint16_t{1000});  // entry k holds 1000 + k
    return ring;
}

}  // namespace

TEST(RingOrder, PutsTheTriggerSampleAtThePreTriggerIndexAndStaysInTheRing) {
    const Ring ring = Numbered();
    Trace t = RingOrder(ring, 5, 20, kModeRising);
    EXPECT_EQ(t[20], 1005);  // the trigger sample
    EXPECT_EQ(t[0], 1113);   // 20 before it, around the end of the ring
    EXPECT_EQ(t[127], 1112);

    // Single shot: the stored order, whatever the index says.
    t = RingOrder(ring, 77, 20, kModeSingleShot);
    EXPECT_EQ(t, ring);

    // Any pre-trigger and ring index: every index is taken modulo 128.
    for (std::uint16_t pre : {0, 127, 128, 200, 65535})
        for (std::uint16_t index : {0, 127, 128, 4000, 65535}) {
            t = RingOrder(ring, index, pre, kModeIn0);
            for (std::uint16_t v : t) ASSERT_TRUE(v >= 1000 && v < 1128) << pre << " " << index;
            EXPECT_EQ(t[0], 1000 + ((128 - pre + index) & 0x7F));
        }
}

TEST(BinaryTraces, BitZeroLiftedByTwoAndBitOne) {
    Trace block3{};
    block3[0] = 3;
    block3[1] = 0;
    block3[2] = 0xFFFE;
    const BinaryTraces b = BinaryTracesOf(block3);
    EXPECT_EQ(b.upper[0], 3);
    EXPECT_EQ(b.lower[0], 1);
    EXPECT_EQ(b.upper[1], 2);
    EXPECT_EQ(b.lower[1], 0);
    EXPECT_EQ(b.upper[2], 2);
    EXPECT_EQ(b.lower[2], 1);
}

TEST(CycleTime, FrequencyAndCycleTimeWithTheirDecimals) {
    CycleDisplay d = CycleTimeDisplay(1000.0 / (100 * 0.01));  // A 1000, B 100
    EXPECT_DOUBLE_EQ(d.scanFrequency, 1000.0);
    EXPECT_EQ(d.frequencyDecimals, 1);
    EXPECT_DOUBLE_EQ(d.cycleTime, 1.0);
    EXPECT_EQ(d.cycleDecimals, 3);

    d = CycleTimeDisplay(20000.0);
    EXPECT_EQ(d.frequencyDecimals, 0);
    EXPECT_EQ(d.cycleDecimals, 6);
    EXPECT_DOUBLE_EQ(d.cycleTime, 0.05);

    d = CycleTimeDisplay(0.0);  // a failed query
    EXPECT_EQ(d.cycleTime, 0.0);
    EXPECT_EQ(d.frequencyDecimals, 2);
    EXPECT_EQ(d.cycleDecimals, 0);
    d = CycleTimeDisplay(-50.0);  // no positive frequency: the cycle time is the frequency
    EXPECT_EQ(d.cycleTime, -50.0);
    d = CycleTimeDisplay(std::numeric_limits<double>::infinity());
    EXPECT_EQ(d.scanFrequency, 0.0);
}

TEST(CursorReadout, DeltaXInMillisecondsDeltaYInDigitsAndVolts) {
    CursorReadout r = ReadCursors(10.7, 0, 3.2, 0, 4, 0.5);
    EXPECT_DOUBLE_EQ(r.deltaX, 14.0);  // dx = 7
    EXPECT_EQ(r.deltaXDecimals, 3);
    r = ReadCursors(3.2, 4096.9, 10.7, 0.2, 4, 0.5);
    EXPECT_DOUBLE_EQ(r.deltaX, 14.0);
    EXPECT_EQ(r.deltaY, 4096);
    EXPECT_DOUBLE_EQ(r.volts, 10.0);
    EXPECT_EQ(ReadCursors(0, 0, 0.9, 0, 4, 0.5).deltaXDecimals, 6);
    EXPECT_EQ(ReadCursors(0, 0, 127, 0, 100, 1.0).deltaXDecimals, 0);  // 12 700 ms
    EXPECT_EQ(ReadCursors(0, 0, 100, 0, 4, 0.0).deltaX, 0.0);          // no cycle time yet

    EXPECT_EQ(ScopeAxisMax(1, 1), 10000.0);
    EXPECT_EQ(ScopeAxisMax(1, 3), 10000.0);
    EXPECT_EQ(ScopeAxisMax(1, 0), 4100.0);
    EXPECT_EQ(ScopeAxisMax(0, 1), 4100.0);
}
