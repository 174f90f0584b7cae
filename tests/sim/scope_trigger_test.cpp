// The frames the sensor sends on its own: scope blocks after command 110 and measurement
// frames on each trigger after command 30. Model time only, no waiting.

#include <gtest/gtest.h>

#include "link/commands.h"
#include "sim/model/connection.h"
#include "sim_test_util.h"

namespace {

using simtest::Frame;
using simtest::Request;
namespace cmd = sensorlink::cmd;

// Dark for one second, then bright blue: the blue trace rises once per period.
sim::Scene BlueStep() {
    return sim::Scene({{"dark", {0.1, 0.1, 0.1}, 1.0}, {"blue", {0.1, 0.1, 0.9}, 1.0}});
}

// The program's trace order: the trigger sample lands at index preTrigger.
std::array<std::uint16_t, 128> Ordered(const std::vector<std::uint16_t>& block, std::uint16_t mode,
                                       std::uint16_t preTrigger) {
    std::array<std::uint16_t, 128> trace{};
    std::uint16_t start = mode == 0 ? 0 : static_cast<std::uint16_t>(128 - preTrigger + block[128]);
    for (std::size_t i = 0; i < 128; ++i) {
        start &= 0x7F;
        trace[i] = block[start];
        ++start;
    }
    return trace;
}

std::vector<Frame> Scan(sim::Connection& line, std::array<std::uint16_t, 5> request, double start,
                        double until) {
    const auto ack = simtest::Frames(line.Receive(Request(cmd::kScopeScan, 1, request), start));
    EXPECT_EQ(ack.size(), 1u);
    return simtest::Frames(line.Poll(until));
}

TEST(SimScope, RisingEdgeWithPreTrigger) {
    sim::SensorModel model(simtest::Options(11, 0, BlueStep()));
    sim::Connection line(model);
    constexpr std::uint16_t kPre = 20, kLevel = 1200;
    // rising edge, pre-trigger 20, level 1200, every 4th scan (1 ms), raw RGB
    const auto blocks = Scan(line, {1, kPre, kLevel, 4, 0}, 0.3, 0.9);
    EXPECT_TRUE(blocks.empty());  // still dark: waiting for the trigger
    EXPECT_TRUE(line.ScopeRunning());
    const auto later = simtest::Frames(line.Poll(1.5));
    ASSERT_EQ(later.size(), 4u);
    EXPECT_FALSE(line.ScopeRunning());

    const auto words = later[2].Words();
    ASSERT_EQ(words.size(), 129u);
    EXPECT_LT(words[128], 128);
    for (const Frame& b : later) EXPECT_EQ(b.Words()[128], words[128]);  // one index for all
    const auto blue = Ordered(words, 1, kPre);
    EXPECT_LE(blue[kPre - 1], kLevel);
    EXPECT_GT(blue[kPre], kLevel);
    for (std::size_t i = 0; i + 1 < kPre; ++i) EXPECT_LT(blue[i], kLevel) << i;
    EXPECT_GT(blue[127], 1500);  // the bright patch after the ramp
    const auto red = Ordered(later[0].Words(), 1, kPre);
    EXPECT_LT(red[127], 400);
}

TEST(SimScope, FallingEdgeAndIn0Trigger) {
    sim::SensorModel model(simtest::Options(12, 5.0, BlueStep()));
    sim::Connection line(model);
    // falling edge of blue at 2 s
    auto blocks = Scan(line, {2, 64, 1200, 4, 2}, 1.2, 3.0);
    ASSERT_EQ(blocks.size(), 4u);
    auto blue = Ordered(blocks[2].Words(), 2, 64);
    EXPECT_GE(blue[63], 1200);
    EXPECT_LT(blue[64], 1200);

    // EXTERNAL IN0: bit 0 of block 3 rises at the trigger sample.
    blocks = Scan(line, {4, 10, 0, 1, 0}, 3.05, 4.0);
    ASSERT_EQ(blocks.size(), 4u);
    const auto bits = Ordered(blocks[3].Words(), 4, 10);
    EXPECT_EQ(bits[9] & 1, 0);
    EXPECT_EQ(bits[10] & 1, 1);

    // Break: no blocks come, however long one waits.
    line.Receive(Request(cmd::kScopeScan, 1, std::array<std::uint16_t, 5>{1, 0, 4000, 1, 0}), 5.0);
    EXPECT_TRUE(line.ScopeRunning());
    const auto ack = simtest::Frames(line.Receive(Request(cmd::kScopeScan, 0), 5.1));
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].header.command, cmd::kScopeScan);
    EXPECT_FALSE(line.ScopeRunning());
    EXPECT_TRUE(line.Poll(60.0).empty());
}

TEST(SimScope, SingleShotIsInRingOrder) {
    sim::SensorModel model(simtest::Options(13, 0, BlueStep()));
    sim::Connection line(model);
    // signal set 1 with s i M calculation: values within 0..10000
    model.Ram()[0].block.calculationMode = 1;
    const auto blocks = Scan(line, {0, 50, 0, 2, 1}, 0.9, 1.2);
    ASSERT_EQ(blocks.size(), 4u);
    const auto m = blocks[2].Words();
    EXPECT_EQ(m[128], 0);
    // 128 samples every 0.5 ms from 0.9 s: the change to blue at 1.0 s is at sample 200,
    // past the end; all M values belong to the dark patch.
    for (std::size_t i = 0; i < 128; ++i) EXPECT_LT(m[i], 200u);
    const auto s = blocks[0].Words();
    for (std::size_t i = 0; i < 128; ++i) EXPECT_LE(s[i], 10000u);

    // Looked at only much later, a single shot is still stored from ring entry 0. A
    // waiting edge trigger forgets what happened during a long pause (the rise at 31 s)
    // and fires on the next rise after it (41 s).
    auto late = Scan(line, {0, 0, 0, 1, 0}, 10.0, 30.0);
    ASSERT_EQ(late.size(), 4u);
    EXPECT_EQ(late[0].Words()[128], 0);
    const auto none = Scan(line, {1, 5, 1200, 4, 0}, 30.1, 30.5);  // dark until 31 s
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(line.Poll(40.0).empty());
    const auto edge = simtest::Frames(line.Poll(41.5));
    ASSERT_EQ(edge.size(), 4u);
    const auto blue = Ordered(edge[2].Words(), 1, 5);
    EXPECT_LE(blue[4], 1200);
    EXPECT_GT(blue[5], 1200);
}

TEST(SimTriggered, FramesArriveAtTheTriggerRate) {
    sim::SensorModel model(simtest::Options(14, 10.0));
    sim::Connection line(model);
    const auto ack = simtest::Frames(line.Receive(Request(cmd::kTriggeredSend, 1), 0.05));
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].header.length, 0);

    std::vector<double> times;
    for (int k = 2; k <= 21; ++k) {
        const double t = k * 0.05 + 1e-9;
        for (const sim::Emission& e : line.TakeDue(t)) {
            const auto frames = simtest::Frames(e.bytes);
            ASSERT_EQ(frames.size(), 1u);
            EXPECT_EQ(frames[0].header.command, cmd::kTriggeredSend);
            EXPECT_EQ(frames[0].header.length, 46);
            EXPECT_EQ(frames[0].Words()[9], 1);  // taken while IN0 is high
            times.push_back(e.due);
        }
    }
    ASSERT_EQ(times.size(), 10u);
    for (std::size_t i = 0; i < times.size(); ++i) {
        EXPECT_NEAR(times[i], 0.1 * static_cast<double>(i + 1), 1e-9);
    }
    // A request in between is answered in order, and off stops the frames.
    EXPECT_EQ(simtest::Frames(line.Receive(Request(cmd::kMeasure), 1.02)).size(), 1u);
    line.Receive(Request(cmd::kTriggeredSend, 0), 1.03);
    EXPECT_FALSE(line.TriggeredSending());
    EXPECT_TRUE(line.Poll(5.0).empty());
}

}  // namespace
