// Faults on demand: each kind, the command and occurrence filters, and the fault syntax.

#include <gtest/gtest.h>

#include "link/commands.h"
#include "sim/model/connection.h"
#include "sim_test_util.h"

namespace {

using simtest::Frame;
using simtest::Request;
namespace cmd = sensorlink::cmd;

struct Faulty {
    sim::SensorModel model{simtest::Options(21, 0)};
    sim::Connection line{model};

    explicit Faulty(std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            std::string error;
            auto f = sim::ParseFault(text, &error);
            EXPECT_TRUE(f) << error;
            if (f) model.Faults().Add(*f);
        }
    }
    std::vector<sim::Emission> Send(std::uint8_t command, double now, std::uint16_t parameter = 0) {
        line.Feed(Request(command, parameter), now);
        return line.TakeDue(now);
    }
};

TEST(SimFaults, SilentOnlyTheChosenOccurrence) {
    Faulty f({"silent@8#2"});
    EXPECT_EQ(f.Send(cmd::kMeasure, 1.0).size(), 1u);
    EXPECT_TRUE(f.Send(cmd::kMeasure, 1.1).empty());
    EXPECT_EQ(f.Send(cmd::kFirmware, 1.2).size(), 1u);  // other commands do not count
    EXPECT_EQ(f.Send(cmd::kMeasure, 1.3).size(), 1u);
    EXPECT_TRUE(f.line.Poll(100.0).empty());  // the lost reply never comes

    Faulty every({"silent@7"});
    EXPECT_TRUE(every.Send(cmd::kFirmware, 1.0).empty());
    EXPECT_TRUE(every.Send(cmd::kFirmware, 1.1).empty());
    Faulty later({"silent#2+"});
    EXPECT_EQ(later.Send(cmd::kFirmware, 1.0).size(), 1u);
    EXPECT_TRUE(later.Send(cmd::kMeasure, 1.1).empty());
    EXPECT_TRUE(later.Send(cmd::kFirmware, 1.2).empty());
}

TEST(SimFaults, LateRepliesKeepTheirOrder) {
    Faulty f({"late:3.5@7#1"});
    EXPECT_TRUE(f.Send(cmd::kFirmware, 1.0).empty());
    EXPECT_TRUE(f.Send(cmd::kMeasure, 2.0).empty());  // queued behind the late one
    EXPECT_TRUE(f.line.Poll(4.49).empty());
    const auto bytes = f.line.Poll(4.5);
    const auto frames = simtest::Frames(bytes);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].header.command, cmd::kFirmware);
    EXPECT_EQ(frames[1].header.command, cmd::kMeasure);
    EXPECT_EQ(f.Send(cmd::kFirmware, 5.0).size(), 1u);  // on time again

    Faulty early({"late:2.9@8"});
    EXPECT_TRUE(early.Send(cmd::kMeasure, 0.0).empty());
    ASSERT_TRUE(early.line.NextWakeup(0.0));
    EXPECT_NEAR(*early.line.NextWakeup(0.0), 2.9, 1e-9);
}

TEST(SimFaults, DamagedFrames) {
    Faulty f({"badcrc-header@2", "badcrc-payload@8", "length:2041@102", "error:2@105",
              "error:1@7#2", "plausibility:3@1"});
    auto one = [&](std::uint8_t command, std::uint16_t parameter = 0,
                   std::span<const std::uint16_t> words = {}) {
        f.line.Feed(Request(command, parameter, words), 1.0);
        return simtest::Frames(f.line.Poll(1.0)).at(0);
    };
    Frame fr = one(cmd::kReadBlock);
    EXPECT_FALSE(fr.headerOk);
    EXPECT_EQ(fr.header.length, 40);  // the fields themselves are right

    fr = one(cmd::kMeasure);
    EXPECT_TRUE(fr.headerOk);
    EXPECT_FALSE(fr.payloadOk);

    f.line.Feed(Request(cmd::kReadCorrection), 1.0);
    const auto bytes = f.line.Poll(1.0);
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_TRUE(sensorlink::HeaderValid(bytes.data()));
    EXPECT_EQ(sensorlink::ParseHeader(bytes.data()).length, 2041);

    fr = one(cmd::kCycleTime);
    EXPECT_TRUE(fr.headerOk);
    EXPECT_EQ(fr.header.command, 0);
    EXPECT_EQ(fr.header.parameter, 2);

    EXPECT_EQ(one(cmd::kFirmware).header.command, cmd::kFirmware);
    fr = one(cmd::kFirmware);
    EXPECT_EQ(fr.header.command, 0);
    EXPECT_EQ(fr.header.parameter, 1);

    const auto block = f.model.Ram()[0].BlockWords();
    fr = one(cmd::kWriteBlock, 0, block);
    EXPECT_TRUE(fr.headerOk);
    EXPECT_EQ(fr.header.parameter, 3);
}

TEST(SimFaults, SplitJunkAndClose) {
    Faulty f({"split@7", "junk:5@8", "close-after:3"});
    auto e = f.Send(cmd::kFirmware, 1.0);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_TRUE(e[0].split);
    EXPECT_FALSE(e[0].closeAfter);

    e = f.Send(cmd::kMeasure, 1.1);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].junkBytes, 5u);
    ASSERT_EQ(e[0].bytes.size(), 5u + 54u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_NE(e[0].bytes[i], sensorlink::kStartByte);
    EXPECT_EQ(simtest::Single(std::span(e[0].bytes).subspan(5)).header.length, 46);

    e = f.Send(cmd::kFirmware, 1.2);  // the third frame: closes afterwards
    ASSERT_EQ(e.size(), 1u);
    EXPECT_TRUE(e[0].closeAfter);
    EXPECT_FALSE(f.Send(cmd::kFirmware, 1.3).at(0).closeAfter);
}

TEST(SimFaults, UnsolicitedFramesAreCountedApart) {
    Faulty f({"badcrc-payload@110u#2"});
    f.line.Feed(Request(cmd::kScopeScan, 1, std::array<std::uint16_t, 5>{0, 0, 0, 1, 0}), 1.0);
    const auto frames = simtest::Frames(f.line.Poll(2.0));
    ASSERT_EQ(frames.size(), 5u);  // acknowledgement + 4 blocks
    EXPECT_TRUE(frames[0].payloadOk);
    EXPECT_TRUE(frames[1].payloadOk);
    EXPECT_FALSE(frames[2].payloadOk);
    EXPECT_TRUE(frames[3].payloadOk);
}

TEST(SimFaults, FaultSyntax) {
    auto f = sim::ParseFault("late:3.5@7#2+");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, sim::FaultKind::kLate);
    EXPECT_DOUBLE_EQ(f->arg, 3.5);
    EXPECT_EQ(f->command, 7);
    EXPECT_EQ(f->occurrence, 2u);
    EXPECT_TRUE(f->andLater);
    f = sim::ParseFault("junk");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->command, sim::kAnyCommand);
    EXPECT_DOUBLE_EQ(f->arg, 16);
    f = sim::ParseFault("close-after:5@*");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->command, sim::kAnyCommand);

    std::string error;
    for (const char* bad : {"bogus", "late", "late:x", "silent@300", "silent#0", "silent@8#",
                            "close-after:0", "error:-1", "junk:99999", ""}) {
        EXPECT_FALSE(sim::ParseFault(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_NE(sim::FaultSyntaxHelp().find("close-after"), std::string::npos);
}

}  // namespace
