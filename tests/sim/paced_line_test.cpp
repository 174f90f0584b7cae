// The serial line's timing in model time: when each byte is through, how bytes that arrive
// together queue, what a late look gets, runs, single-byte writes, rate changes.

#include "sim/model/paced_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using sim::PacedLine;

PacedLine::Run RunOf(std::size_t bytes, double ready) {
    PacedLine::Run run;
    run.bytes.resize(bytes);
    for (std::size_t i = 0; i < bytes; ++i) run.bytes[i] = static_cast<std::uint8_t>(i);
    run.ready = ready;
    return run;
}

// Takes every byte of the front run the line lets through by `now`; returns how many.
std::size_t Take(PacedLine& line, double now, std::vector<double>* through = nullptr) {
    std::size_t taken = 0;
    for (;;) {
        const auto due = line.DueBytes(now);
        if (due.empty()) {
            if (!line.TakeFinished()) return taken;
            continue;
        }
        for (std::size_t i = 0; i < due.size(); ++i)
            if (through) through->push_back(line.ThroughAt(i));
        line.Consume(due.size());
        taken += due.size();
    }
}

constexpr double kByte9600 = 10.0 / 9600.0;
constexpr double kByte115200 = 10.0 / 115200.0;

TEST(PacedLine, ByteTimeIsTenBitsAtTheBaudRate) {
    EXPECT_DOUBLE_EQ(sim::ByteSeconds(9600), kByte9600);
    EXPECT_DOUBLE_EQ(sim::ByteSeconds(115200), kByte115200);
    PacedLine line(true, 9600);
    EXPECT_EQ(line.BaudRate(), 9600);
    line.SetBaudRate(57600);
    EXPECT_EQ(line.BaudRate(), 57600);
}

TEST(PacedLine, BytesArrivingTogetherFollowEachOther) {
    PacedLine line(true, 9600);
    line.Push(RunOf(8, 1.0));
    EXPECT_EQ(line.QueuedBytes(), 8u);
    // Nothing is through before one byte time has passed.
    EXPECT_TRUE(line.DueBytes(1.0).empty());
    EXPECT_TRUE(line.DueBytes(1.0 + 0.99 * kByte9600).empty());
    // At exactly its due time a byte is through.
    EXPECT_EQ(line.DueBytes(1.0 + kByte9600).size(), 1u);
    EXPECT_EQ(line.DueBytes(1.0 + 3 * kByte9600).size(), 3u);
    EXPECT_EQ(line.DueBytes(1.0 + 7.5 * kByte9600).size(), 7u);
    // The request is whole at 8 byte times after it arrived, not before.
    EXPECT_EQ(line.DueBytes(1.0 + 8 * kByte9600).size(), 8u);
    std::vector<double> through;
    EXPECT_EQ(Take(line, 1.0 + 8 * kByte9600, &through), 8u);
    ASSERT_EQ(through.size(), 8u);
    for (std::size_t i = 0; i < through.size(); ++i)
        EXPECT_DOUBLE_EQ(through[i], 1.0 + static_cast<double>(i + 1) * kByte9600) << i;
    EXPECT_TRUE(line.Empty());
    EXPECT_EQ(line.QueuedBytes(), 0u);
    EXPECT_FALSE(line.NextDue());
}

TEST(PacedLine, ARunQueuesBehindTheOneStillOnTheWire) {
    PacedLine line(true, 9600);
    line.Push(RunOf(54, 0.0));   // a measurement reply
    line.Push(RunOf(54, 0.01));  // the next one, ready while the first is still going out
    std::vector<double> through;
    EXPECT_EQ(Take(line, 1.0, &through), 108u);
    ASSERT_EQ(through.size(), 108u);
    EXPECT_DOUBLE_EQ(through[53], 54 * kByte9600);
    // Back to back: the second starts when the first is through, not when it was ready.
    EXPECT_DOUBLE_EQ(through[54], 55 * kByte9600);
    EXPECT_DOUBLE_EQ(through[107], 108 * kByte9600);

    // A run ready after the line went idle starts when it is ready.
    line.Push(RunOf(2, 5.0));
    EXPECT_TRUE(line.DueBytes(5.0).empty());
    through.clear();
    EXPECT_EQ(Take(line, 6.0, &through), 2u);
    EXPECT_DOUBLE_EQ(through[0], 5.0 + kByte9600);
    EXPECT_DOUBLE_EQ(through[1], 5.0 + 2 * kByte9600);
}

TEST(PacedLine, ALateLookDoesNotSlowTheLineDown) {
    PacedLine line(true, 115200);
    line.Push(RunOf(54, 0.0));
    // A look that comes 2.5 byte times late for the first run takes what is due by then...
    EXPECT_EQ(Take(line, 13.5 * kByte115200), 13u);
    // ...and the next byte is still due one byte time after the last one taken.
    EXPECT_TRUE(line.DueBytes(13.9 * kByte115200).empty());
    EXPECT_EQ(line.DueBytes(14 * kByte115200).size(), 1u);
    std::vector<double> through;
    EXPECT_EQ(Take(line, 54 * kByte115200, &through), 41u);
    EXPECT_DOUBLE_EQ(through.back(), 54 * kByte115200);
}

TEST(PacedLine, NextDueIsTheEndOfTheNextRun) {
    // At 115200 baud about a millisecond of wire time is 11 bytes: one write for them.
    PacedLine fast(true, 115200);
    fast.Push(RunOf(54, 2.0));
    ASSERT_TRUE(fast.NextDue());
    EXPECT_DOUBLE_EQ(*fast.NextDue(), 2.0 + 11 * kByte115200);
    EXPECT_EQ(fast.DueBytes(*fast.NextDue()).size(), 11u);
    fast.Consume(11);
    EXPECT_DOUBLE_EQ(*fast.NextDue(), 2.0 + 22 * kByte115200);
    fast.Consume(fast.DueBytes(10.0).size());  // everything, late
    // The end of the run is its last byte's time; then the finished run is due at once.
    EXPECT_DOUBLE_EQ(*fast.NextDue(), 2.0 + 54 * kByte115200);
    ASSERT_TRUE(fast.TakeFinished());
    EXPECT_FALSE(fast.NextDue());

    // A request shorter than a run is taken when its last byte is through.
    fast.Push(RunOf(8, 3.0));
    EXPECT_DOUBLE_EQ(*fast.NextDue(), 3.0 + 8 * kByte115200);

    // At 9600 baud a byte is longer than a run: one byte per write.
    PacedLine slow(true, 9600);
    slow.Push(RunOf(8, 0.0));
    EXPECT_DOUBLE_EQ(*slow.NextDue(), kByte9600);
}

TEST(PacedLine, SingleByteRunsGoOneByteAtATime) {
    PacedLine line(true, 115200);
    PacedLine::Run run = RunOf(5, 0.0);
    run.singleBytes = true;
    line.Push(std::move(run));
    EXPECT_DOUBLE_EQ(*line.NextDue(), kByte115200);
    // Even when several are due, each write carries one byte.
    EXPECT_EQ(line.DueBytes(1.0).size(), 1u);
    std::vector<double> through;
    EXPECT_EQ(Take(line, 1.0, &through), 5u);
    EXPECT_DOUBLE_EQ(through.back(), 5 * kByte115200);

    // Without pacing likewise, but at once.
    PacedLine unpaced(false);
    PacedLine::Run split = RunOf(3, 0.0);
    split.singleBytes = true;
    unpaced.Push(std::move(split));
    EXPECT_EQ(unpaced.DueBytes(0.0).size(), 1u);
    EXPECT_EQ(Take(unpaced, 0.0), 3u);
}

TEST(PacedLine, FlagsComeWithTheFinishedRunAndTheNewRateHoldsAfterIt) {
    PacedLine line(true, 115200);
    PacedLine::Run ack = RunOf(8, 0.0);
    ack.baudAfter = 9600;
    line.Push(std::move(ack));
    line.Push(RunOf(1, 0.0));
    EXPECT_FALSE(line.TakeFinished());  // not gone out yet
    line.Consume(line.DueBytes(8 * kByte115200).size());
    const auto finished = line.TakeFinished();
    ASSERT_TRUE(finished);
    ASSERT_TRUE(finished->baudAfter);
    EXPECT_EQ(*finished->baudAfter, 9600);
    EXPECT_FALSE(finished->hangUp);
    line.SetBaudRate(*finished->baudAfter);
    // The next byte takes a byte time at the new rate.
    EXPECT_TRUE(line.DueBytes(8 * kByte115200 + 0.9 * kByte9600).empty());
    EXPECT_EQ(line.DueBytes(8 * kByte115200 + kByte9600).size(), 1u);

    // An empty run that only hangs up is finished at once.
    PacedLine closing(true, 9600);
    PacedLine::Run hangUp;
    hangUp.hangUp = true;
    closing.Push(std::move(hangUp));
    const auto last = closing.TakeFinished();
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->hangUp);
}

TEST(PacedLine, WithoutPacingEverythingIsDueAtOnce) {
    PacedLine line(false, 9600);
    line.Push(RunOf(54, 7.0));
    EXPECT_EQ(line.DueBytes(0.0).size(), 54u);
    EXPECT_DOUBLE_EQ(line.ThroughAt(53), 7.0);
    EXPECT_DOUBLE_EQ(*line.NextDue(), 7.0);
    EXPECT_EQ(Take(line, 0.0), 54u);
    EXPECT_TRUE(line.Empty());
}

TEST(PacedLine, ClearForgetsTheQueueAndTheBusyLine) {
    PacedLine line(true, 9600);
    line.Push(RunOf(100, 0.0));
    line.Consume(line.DueBytes(10 * kByte9600).size());
    EXPECT_EQ(line.QueuedBytes(), 90u);
    line.Clear();
    EXPECT_TRUE(line.Empty());
    EXPECT_EQ(line.QueuedBytes(), 0u);
    // A fresh run is not held behind bytes that were dropped.
    line.Push(RunOf(1, 0.0));
    EXPECT_EQ(line.DueBytes(kByte9600).size(), 1u);
}

}  // namespace
