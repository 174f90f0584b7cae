// The record-based teach arithmetic: the store of recorded points and its full end, the
// search for the frame under a cursor, the axes that widen in steps, the labels by mode.

#include <gtest/gtest.h>

#include "teach/teach_record.h"

using namespace teach;

namespace {

RecordedPoint P(double x, double y, double i) {
    return {x, y, i};
}

}  // namespace

TEST(RecordStore, KeepsFramesInArrivalOrderUntilFullAndResetOnlyRewinds) {
    RecordStore store(5);
    EXPECT_EQ(store.Capacity(), 5u);
    EXPECT_FALSE(store.Full());
    for (int n = 0; n < 5; ++n) EXPECT_TRUE(store.Add(P(n, 10 + n, 20 + n)));
    EXPECT_EQ(store.Count(), 5u);
    EXPECT_TRUE(store.Full());
    for (int n = 0; n < 5; ++n) EXPECT_EQ(store.At(static_cast<std::size_t>(n)), P(n, 10 + n, 20 + n));
    // The frame that fills the store was the last one: nothing more is taken, nothing is
    // written past the end.
    EXPECT_FALSE(store.Add(P(99, 99, 99)));
    EXPECT_EQ(store.Count(), 5u);
    EXPECT_EQ(store.At(4), P(4, 14, 24));
    EXPECT_FALSE(store.At(5).has_value());

    // Reset rewinds the counter; entries stay until a new recording overwrites them.
    store.Reset();
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.At(3), P(3, 13, 23));
    EXPECT_TRUE(store.Add(P(7, 7, 7)));
    EXPECT_EQ(store.At(0), P(7, 7, 7));
    EXPECT_EQ(store.At(1), P(1, 11, 21));

    RecordStore full(kRecordCapacity);
    EXPECT_EQ(full.Capacity(), 60000u);
}

TEST(RecordStore, FindsTheFirstCountedFrameWithTheGraphsTwoCoordinates) {
    RecordStore store(10);
    store.Add(P(100, 200, 300));
    store.Add(P(110, 210, 310));
    store.Add(P(120, 220, 330));  // the third frame
    store.Add(P(500, 220, 330));  // same Y and INT as the third
    store.Add(P(120, 220, 330));  // identical to the third

    EXPECT_EQ(store.Find(RecordGraph::XY, 120, 220), 2u);
    EXPECT_EQ(store.Find(RecordGraph::XInt, 120, 330), 2u);
    EXPECT_EQ(store.Find(RecordGraph::YInt, 220, 330), 2u);  // the earlier of three
    EXPECT_EQ(store.Find(RecordGraph::XY, 500, 220), 3u);
    // Each graph compares its own pair: (X, INT) = (110, 210) is no frame.
    EXPECT_EQ(store.Find(RecordGraph::XInt, 110, 210), 0u);
    EXPECT_EQ(store.Find(RecordGraph::XInt, 110, 310), 1u);
    // No match, or a match only beyond the counter: entry 0.
    EXPECT_EQ(store.Find(RecordGraph::XY, 120.5, 220), 0u);
    store.Reset();
    store.Add(P(1, 2, 3));
    EXPECT_EQ(store.Find(RecordGraph::XY, 110, 210), 0u);
    RecordStore empty(3);
    EXPECT_EQ(empty.Find(RecordGraph::XY, 0, 0), 0u);

    const GraphPoint xint = Coordinates(RecordGraph::XInt, P(1, 2, 3));
    EXPECT_EQ(xint.h, 1);
    EXPECT_EQ(xint.v, 3);
    const GraphPoint yint = Coordinates(RecordGraph::YInt, P(1, 2, 3));
    EXPECT_EQ(yint.h, 2);
    EXPECT_EQ(yint.v, 3);
}

TEST(RecordAxes, OpenAroundTheFirstPointAndWidenInStepsNeverBelowZero) {
    AxisSpan a = GrowAxis(std::nullopt, 1000);
    EXPECT_EQ(a, (AxisSpan{1000 - kMinAxisMargin, 1000 + kMinAxisMargin}));
    EXPECT_EQ(GrowAxis(std::nullopt, 10).min, 0.0);
    // Inside, also on the edges: unchanged.
    EXPECT_EQ(GrowAxis(a, 1000 + kMinAxisMargin), a);
    EXPECT_EQ(GrowAxis(a, 1000 - kMinAxisMargin), a);
    // Out above: a quarter of the span beyond, at least the margin.
    const AxisSpan up = GrowAxis(AxisSpan{0, 1000}, 1001);
    EXPECT_EQ(up, (AxisSpan{0, 1001 + 250}));
    const AxisSpan small = GrowAxis(AxisSpan{0, 100}, 101);
    EXPECT_EQ(small.max, 101 + kMinAxisMargin);
    // Out below: never below 0.
    EXPECT_EQ(GrowAxis(AxisSpan{500, 1000}, 20).min, 0.0);
    EXPECT_EQ(GrowAxis(AxisSpan{2000, 3000}, 1500).min, 1500 - 250);
    // Something that is no number leaves the axis alone.
    EXPECT_EQ(GrowAxis(a, std::numeric_limits<double>::quiet_NaN()), a);

    // A sweep up and down over the 16-bit range widens the axis only a few times: the
    // graphs redraw all their points that often, not once per frame.
    std::optional<AxisSpan> axis;
    int widenings = 0;
    for (int pass = 0; pass < 3; ++pass)
        for (int v = 0; v <= 65535; v += 7) {
            const double value = pass % 2 ? 65535 - v : 30000 + (v % 35535);
            const AxisSpan grown = GrowAxis(axis, value);
            if (axis && !(grown == *axis)) ++widenings;
            axis = grown;
            ASSERT_LE(axis->min, value);
            ASSERT_GE(axis->max, value);
        }
    EXPECT_LT(widenings, 40);
}

TEST(RecordLabels, FollowTheCalculationMode) {
    const RecordPanelLabels* xyi = RecordPanelLabelsFor(2);
    ASSERT_NE(xyi, nullptr);
    EXPECT_STREQ(xyi->graphs[1], "X/INT");
    EXPECT_STREQ(xyi->values[2], "INT");
    EXPECT_EQ(xyi->text[0], 0xE0E0E0u);
    EXPECT_EQ(xyi->background[1], 0x00FF00u);
    const RecordPanelLabels* sim = RecordPanelLabelsFor(3);
    ASSERT_NE(sim, nullptr);
    EXPECT_STREQ(sim->graphs[0], "s/i");
    EXPECT_STREQ(sim->graphs[2], "i/M");
    EXPECT_STREQ(sim->values[1], "i");
    EXPECT_EQ(sim->text[1], 0x80FFFFu);
    EXPECT_EQ(sim->background[1], 0xFFFF00u);
    EXPECT_EQ(RecordPanelLabelsFor(4), nullptr);
}
