// The simulated sensor's commands as the program sees them on the link: exact replies,
// sizes, RAM and EEPROM, plausibility counts, error replies and hostile input.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "link/commands.h"
#include "sim/model/connection.h"
#include "sim/model/eeprom_file.h"
#include "sim_test_util.h"

namespace {

using simtest::Frame;
using simtest::Request;
using simtest::Single;
namespace cmd = sensorlink::cmd;

struct Fixture {
    sim::SensorModel model;
    sim::Connection line{model};
    double now = 1.0;

    Frame Ask(std::uint8_t command, std::uint16_t parameter = 0,
              std::span<const std::uint16_t> words = {}) {
        now += 0.01;
        return Single(line.Receive(Request(command, parameter, words), now));
    }
    std::vector<std::uint8_t> Raw(std::span<const std::uint8_t> bytes) {
        now += 0.01;
        return line.Receive(bytes, now);
    }
};

TEST(SimCommands, FirmwareReplyIsByteExact) {
    Fixture f;
    const std::vector<std::uint8_t> request{0x55, 0x07, 0x00, 0x00, 0x00, 0x00, 0xAA, 0x52};
    const auto reply = f.Raw(request);
    const std::string text = "VELORAX3-KVT-ANA FW 1.0 SIM";
    std::vector<std::uint8_t> expected{0x55, 0x07, 0x00, 0x00, 0x1C, 0x00, 0x52, 0x15};
    expected.insert(expected.end(), text.begin(), text.end());
    expected.push_back(0);
    EXPECT_EQ(reply, expected);
    EXPECT_EQ(sensorlink::Crc8(reply.data(), 0, 8), 0);
    EXPECT_EQ(sensorlink::Crc8(reply.data(), 8, reply.size() - 8), reply[6]);
}

TEST(SimCommands, AcceptsTheExampleRequestsExactly) {
    Fixture f;
    // Command 8 and the calibration-factor write as they go over the wire.
    const std::vector<std::uint8_t> measure{0x55, 0x08, 0x00, 0x00, 0x00, 0x00, 0xAA, 0x76};
    const Frame m = Single(f.Raw(measure));
    EXPECT_EQ(m.header.command, cmd::kMeasure);
    EXPECT_EQ(m.header.length, 46);
    const std::vector<std::uint8_t> factors{0x55, 0x65, 0x00, 0x00, 0x06, 0x00, 0x73,
                                            0xE5, 0x00, 0x04, 0x00, 0x04, 0x00, 0x04};
    const Frame w = Single(f.Raw(factors));
    EXPECT_EQ(w.header.command, cmd::kWriteCorrection);
    EXPECT_EQ(w.header.parameter, 0);  // nothing implausible
}

TEST(SimCommands, ReplySizesOfAllFifteenCommands) {
    Fixture f;
    const auto block = f.model.Ram()[0].BlockWords();
    const std::vector<std::uint16_t> blockWords(block.begin(), block.end());
    const auto teachWords = f.model.Ram()[0].TeachWords();
    const std::array<std::uint16_t, 3> factors{1024, 1024, 1024};
    const std::array<std::uint16_t, 5> scope{0, 0, 0, 1, 0};

    struct Case {
        std::uint8_t command;
        std::uint16_t parameter;
        std::vector<std::uint16_t> words;
        std::size_t replyBytes;
    };
    const std::vector<Case> cases{
        {cmd::kWriteBlock, 0, blockWords, 8},
        {cmd::kWriteBlock, 2, {teachWords.begin(), teachWords.end()}, 8},
        {cmd::kReadBlock, 1, {}, 8 + 40},
        {cmd::kReadBlock, 3, {}, 8 + 496},
        {cmd::kStoreEeprom, 0, {}, 8},
        {cmd::kLoadEeprom, 0, {}, 8},
        {cmd::kFirmware, 0, {}, 8 + 28},
        {cmd::kMeasure, 0, {}, 8 + 46},
        {cmd::kTriggeredSend, 0, {}, 8},
        {cmd::kMeasureOffsets, 1, {}, 8},
        {cmd::kWriteCorrection, 1, {0, 0, 0}, 8},
        {cmd::kWriteCorrection, 0, {factors.begin(), factors.end()}, 8},
        {cmd::kReadCorrection, 0, {}, 8 + 12},
        {cmd::kSelfCalibration, 0, {}, 8 + 10},
        {cmd::kCycleTime, 0, {}, 8 + 8},
        {cmd::kScopeScan, 0, {}, 8},
        {cmd::kBaudRate, 4, {}, 8},
        {cmd::kHardwareInfo, sensorlink::kHardwareKey, {}, 8 + 512},
    };
    for (const Case& c : cases) {
        f.now += 0.01;
        const auto reply = f.line.Receive(Request(c.command, c.parameter, c.words), f.now);
        ASSERT_EQ(reply.size(), c.replyBytes) << "command " << int(c.command);
        const Frame fr = Single(reply);
        EXPECT_TRUE(fr.headerOk && fr.payloadOk) << "command " << int(c.command);
        EXPECT_EQ(fr.header.command, c.command);
    }

    // The scope start is acknowledged at once; a single shot sends 4 blocks of 266 bytes.
    f.now += 0.01;
    const double start = f.now;
    ASSERT_EQ(f.line.Receive(Request(cmd::kScopeScan, 1, scope), start).size(), 8u);
    const auto blocks = f.line.Poll(start + 1.0);
    ASSERT_EQ(blocks.size(), 4u * 266u);
    for (const Frame& b : simtest::Frames(blocks)) {
        EXPECT_EQ(b.header.command, cmd::kScopeScan);
        EXPECT_EQ(b.header.length, 258);
        EXPECT_TRUE(b.headerOk && b.payloadOk);
    }

    f.now = start + 1.0;
    const Frame cycle = f.Ask(cmd::kCycleTime);
    ASSERT_EQ(cycle.payload.size(), 8u);
    std::int32_t a = 0, b = 0;
    memcpy(&a, cycle.payload.data(), 4);
    memcpy(&b, cycle.payload.data() + 4, 4);
    const double frequency = a / (0.01 * b);
    EXPECT_GT(frequency, 1000.0);
    EXPECT_LT(frequency, 10000.0);
}

TEST(SimCommands, RamAndEepromAreSeparate) {
    Fixture f;
    auto block = f.model.Ram()[0].BlockWords();
    block[params::kPower] = 700;
    EXPECT_EQ(f.Ask(cmd::kWriteBlock, 0, block).header.parameter, 0);
    EXPECT_EQ(f.Ask(cmd::kReadBlock, 0).Words()[params::kPower], 700);
    EXPECT_EQ(f.model.EepromImage().sets[0].block.power, 500);  // not stored yet

    const auto generation = f.model.EepromGeneration();
    f.Ask(cmd::kStoreEeprom);
    EXPECT_NE(f.model.EepromGeneration(), generation);
    EXPECT_EQ(f.model.EepromImage().sets[0].block.power, 700);

    block[params::kPower] = 300;
    f.Ask(cmd::kWriteBlock, 0, block);
    EXPECT_EQ(f.Ask(cmd::kReadBlock, 0).Words()[params::kPower], 300);
    EXPECT_EQ(f.Ask(cmd::kLoadEeprom).header.parameter, 0);
    EXPECT_EQ(f.Ask(cmd::kReadBlock, 0).Words()[params::kPower], 700);

    // Set 1 and the teach tables are blocks of their own.
    auto teach = f.model.Ram()[1].TeachWords();
    teach[8 * 4 + 0] = 1234;  // vector 4, cell 0
    teach[8 * 4 + 7] = 777;   // spare word comes back unchanged
    f.Ask(cmd::kWriteBlock, 3, teach);
    const auto back = f.Ask(cmd::kReadBlock, 3).Words();
    EXPECT_EQ(back[8 * 4 + 0], 1234);
    EXPECT_EQ(back[8 * 4 + 7], 777);
    EXPECT_EQ(f.Ask(cmd::kReadBlock, 2).Words()[8 * 4], 1);
}

TEST(SimCommands, PlausibilityCountsReplaceValuesByDefaults) {
    Fixture f;
    auto block = f.model.Ram()[0].BlockWords();
    block[params::kPower] = 1001;
    block[params::kGain] = 0;
    block[params::kMaxVecNo] = 32;
    block[params::kDynWinLo] = 3000;
    block[params::kDynWinHi] = 2000;
    EXPECT_EQ(f.Ask(cmd::kWriteBlock, 1, block).header.parameter, 5);
    const auto back = f.Ask(cmd::kReadBlock, 1).Words();
    EXPECT_EQ(back[params::kPower], 500);
    EXPECT_EQ(back[params::kGain], 5);
    EXPECT_EQ(back[params::kMaxVecNo], 1);
    EXPECT_EQ(back[params::kDynWinLo], 3200);
    EXPECT_EQ(back[params::kDynWinHi], 3300);

    auto teach = f.model.Ram()[0].TeachWords();
    teach[8 * 0 + 5] = 31;     // group above 30
    teach[8 * 2 + 6] = 1001;   // hold above 1000
    teach[8 * 3 + 0] = 65535;  // cells take any value
    EXPECT_EQ(f.Ask(cmd::kWriteBlock, 2, teach).header.parameter, 2);

    const std::array<std::uint16_t, 3> factors{4096, 4097, 0};
    EXPECT_EQ(f.Ask(cmd::kWriteCorrection, 0, factors).header.parameter, 1);
    EXPECT_EQ(f.Ask(cmd::kReadCorrection).Words(),
              (std::vector<std::uint16_t>{4096, 1024, 0, 0, 0, 0}));

    // An EEPROM that holds implausible values is reported when it is loaded.
    sim::Eeprom bad = f.model.EepromImage();
    bad.sets[0].block.ledMode = 9;
    bad.sets[1].block.integral = 251;
    bad.sets[1].teach[30].group = 99;
    f.model.PowerUp(bad);
    EXPECT_EQ(f.Ask(cmd::kLoadEeprom).header.parameter, 3);
    EXPECT_EQ(f.model.Ram()[0].block.ledMode, 0);
}

TEST(SimCommands, ErrorRepliesForWhatTheSensorCannotDo) {
    Fixture f;
    auto expectError = [](const Frame& fr, std::uint16_t code) {
        EXPECT_TRUE(fr.headerOk);
        EXPECT_EQ(fr.header.command, 0);
        EXPECT_EQ(fr.header.parameter, code);
        EXPECT_EQ(fr.header.length, 0);
    };
    expectError(f.Ask(99), sensorlink::kErrorUnknownCommand);
    expectError(f.Ask(cmd::kReadBlock, 4), sensorlink::kErrorUnknownCommand);
    expectError(f.Ask(cmd::kHardwareInfo, 0x1234), sensorlink::kErrorUnknownCommand);
    const std::vector<std::uint16_t> shortBlock(19, 1);
    expectError(f.Ask(cmd::kWriteBlock, 0, shortBlock), sensorlink::kErrorCommunication);
    const std::vector<std::uint16_t> block(20, 1);
    expectError(f.Ask(cmd::kWriteBlock, 2, block), sensorlink::kErrorCommunication);
    expectError(f.Ask(cmd::kWriteBlock, 9, block), sensorlink::kErrorUnknownCommand);
    const std::array<std::uint16_t, 2> two{1, 2};
    expectError(f.Ask(cmd::kWriteCorrection, 0, two), sensorlink::kErrorCommunication);
    expectError(f.Ask(cmd::kScopeScan, 1, two), sensorlink::kErrorCommunication);

    // A request whose payload checksum is wrong: code 2, and the RAM stays as it was.
    auto request = Request(cmd::kWriteBlock, 0, block);
    request[6] ^= 0x01;
    request[7] = sensorlink::Crc8(request.data(), 0, 7);
    expectError(Single(f.Raw(request)), sensorlink::kErrorCommunication);
    EXPECT_EQ(f.model.Ram()[0].block.power, 500);

    // A header announcing more than 2040 bytes is refused at once, not waited for.
    auto huge = Request(cmd::kMeasure);
    sensorlink::WriteWord(&huge[4], 2041);
    huge[7] = sensorlink::Crc8(huge.data(), 0, 7);
    expectError(Single(f.Raw(huge)), sensorlink::kErrorCommunication);
    EXPECT_EQ(f.Ask(cmd::kFirmware).header.command, cmd::kFirmware);
}

TEST(SimCommands, JunkAndTruncatedFramesAreSkipped) {
    Fixture f;
    std::vector<std::uint8_t> bytes{0x00, 0x55, 0x55, 0x13, 0xFF};
    const auto request = Request(cmd::kFirmware);
    bytes.insert(bytes.end(), request.begin(), request.end());
    const Frame fr = Single(f.Raw(bytes));
    EXPECT_EQ(fr.header.command, cmd::kFirmware);

    // A frame cut short is given up after half a second of silence.
    auto cut = Request(cmd::kWriteBlock, 0, std::vector<std::uint16_t>(20, 1));
    cut.resize(20);
    EXPECT_TRUE(f.line.Receive(cut, 5.0).empty());
    EXPECT_TRUE(f.line.Receive(Request(cmd::kFirmware), 5.2).empty());  // swallowed as payload
    f.line.Poll(5.8);
    const Frame after = Single(f.line.Receive(Request(cmd::kFirmware), 5.9));
    EXPECT_EQ(after.header.command, cmd::kFirmware);

    // Requests split into single bytes are put together again.
    std::vector<std::uint8_t> out;
    for (std::uint8_t b : Request(cmd::kMeasure)) {
        const auto part = f.line.Receive(std::span(&b, 1), 6.0);
        out.insert(out.end(), part.begin(), part.end());
    }
    EXPECT_EQ(Single(out).header.length, 46);
}

TEST(SimCommands, RandomBytesNeverBreakTheSensor) {
    sim::SensorModel model(simtest::Options(3, 2.0));
    sim::Connection line(model);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> byte(0, 255), len(1, 700), pick(0, 9);
    double now = 0.0;
    std::size_t replies = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<std::uint8_t> chunk(static_cast<std::size_t>(len(rng)));
        for (auto& b : chunk) b = static_cast<std::uint8_t>(byte(rng));
        if (pick(rng) == 0) {
            // Now and then a valid header with a random command and parameter.
            auto h = Request(static_cast<std::uint8_t>(byte(rng)),
                             static_cast<std::uint16_t>(byte(rng) * 257));
            chunk.insert(chunk.begin(), h.begin(), h.end());
        }
        now += 0.001 * pick(rng);
        replies += line.Receive(chunk, now).size();
        line.Poll(now);
    }
    EXPECT_GT(replies, 0u);
    // Still answering afterwards.
    line.Poll(now + 1.0);
    const Frame fr = Single(line.Receive(Request(cmd::kFirmware), now + 1.0));
    EXPECT_EQ(fr.header.command, cmd::kFirmware);
}

TEST(SimMeasurement, SignalsFollowTheOptics) {
    sim::Scene white({{"white", {0.9, 0.9, 0.9}, 10.0}});
    sim::SensorModel model(simtest::Options(5, 0, white));
    auto& p = model.Ram()[0].block;

    const sim::Scan base = model.Measure(1.0, false);
    EXPECT_GT(base.raw[0], base.raw[2]);  // blue is the weakest channel
    p.power = 250;
    const sim::Scan half = model.Measure(1.0, false);
    EXPECT_LT(half.raw[0], base.raw[0]);
    p.power = 500;
    p.gain = 6;
    EXPECT_GT(model.Measure(1.0, false).raw[0], base.raw[0]);
    p.gain = 5;

    // LED off: only the dark signal is left; the offsets take it away.
    p.ledMode = 2;
    const sim::Scan dark = model.Measure(1.0, false);
    for (auto v : dark.raw) {
        EXPECT_GT(v, 20);
        EXPECT_LT(v, 100);
    }
    sim::Connection line(model);
    line.Receive(Request(cmd::kMeasureOffsets, 1), 1.0);
    for (auto v : model.Measure(1.0, false).raw) EXPECT_LE(v, 1);
    p.ledMode = 0;

    // Calibrated = raw * factor / 1024, clipped to 4095.
    sim::Eeprom e = model.EepromImage();
    e.factors = {2048, 512, 4096};
    model.PowerUp(e);
    model.Ram()[0].block = p;
    const sim::Scan cal = model.Measure(1.0, false);
    EXPECT_EQ(cal.calibrated[0], std::min(4095, cal.raw[0] * 2));
    EXPECT_EQ(cal.calibrated[1], cal.raw[1] / 2);
    EXPECT_EQ(cal.calibrated[2], 4095);

    // DYN tunes the power so the brightest channel sits inside DYNWIN; word 5 carries it.
    model.Ram()[0].block.powerMode = 1;
    e.factors = {1024, 1024, 1024};
    model.PowerUp(e);
    model.Ram()[0].block.powerMode = 1;
    const sim::Scan dyn = model.Measure(1.0, false);
    const auto brightest = *std::max_element(dyn.raw.begin(), dyn.raw.end());
    EXPECT_GE(brightest, 3200 - 2);
    EXPECT_LE(brightest, 3300 + 2);
    const auto words = model.MeasurementFrame(1.0);
    EXPECT_NEAR(words[5], dyn.power, 1);
}

TEST(SimMeasurement, AveragingReducesNoise) {
    sim::Scene grey({{"grey", {0.5, 0.5, 0.5}, 100.0}});
    auto spread = [&](std::uint16_t average) {
        sim::SensorModel model(simtest::Options(9, 0, grey));
        model.Ram()[0].block.average = average;
        double sum = 0, sq = 0;
        for (int i = 0; i < 400; ++i) {
            const double v = model.Measure(1.0 + i * 0.001).raw[0];
            sum += v;
            sq += v * v;
        }
        return std::sqrt(sq / 400 - (sum / 400) * (sum / 400));
    };
    EXPECT_GT(spread(1), 3 * spread(64));
}

TEST(SimMeasurement, FrameWordsFromTheScene) {
    sim::SensorModel model(simtest::Options(2, 2.0));
    const auto w = model.MeasurementFrame(0.05);  // white patch, IN0 high
    EXPECT_GT(w[0], 2000);
    EXPECT_EQ(w[7], 255);  // DIGITAL OUTMODE 0: no evaluation
    EXPECT_EQ(w[6], 0xFFFF);
    EXPECT_EQ(w[9], 1);
    EXPECT_GE(w[10], 27);
    EXPECT_LE(w[10], 40);
    for (int c = 0; c < 3; ++c) {
        EXPECT_LE(w[14 + 2 * c], w[c]);  // minimum and maximum, colour by colour
        EXPECT_GE(w[15 + 2 * c], w[c]);
    }
    const auto later = model.MeasurementFrame(0.3);  // IN0 low, same edge
    EXPECT_EQ(later[9], 0);
    EXPECT_EQ(later[20], w[20]);  // siM REF held since the edge at 0.0
    // Red patch starts at 3 s.
    const auto red = model.MeasurementFrame(4.0);
    EXPECT_GT(red[0], 3 * red[1]);
    EXPECT_GT(red[3], 2500);  // X: mostly red
}

TEST(SimFiles, EepromFileRoundTrip) {
    sim::Eeprom e;
    e.sets[1].block.power = 777;
    e.sets[0].teach[30].spare = 65535;
    e.factors = {1, 2, 4096};
    e.offsets = {40, 41, 42};
    e.baudIndex = 2;
    const auto parsed = sim::ParseEeprom(sim::SerializeEeprom(e));
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(*parsed == e);

    std::string error;
    EXPECT_FALSE(sim::ParseEeprom("something else\n", &error));
    std::string text = sim::SerializeEeprom(e);
    text.erase(text.find("factors"));
    EXPECT_FALSE(sim::ParseEeprom(text, &error));
    EXPECT_NE(error.find("incomplete"), std::string::npos);
    EXPECT_FALSE(sim::ParseEeprom("VELORAX-SIM-EEPROM 1\nbaud 70000\n", &error));
}

TEST(SimFiles, SceneFile) {
    const auto scene = sim::Scene::Parse("# two patches\nblack 0 0 0 1\n\nwhite 1 1 1 2.5\r\n");
    ASSERT_TRUE(scene);
    EXPECT_EQ(scene->Patches().size(), 2u);
    EXPECT_DOUBLE_EQ(scene->Period(), 3.5);
    EXPECT_DOUBLE_EQ(scene->ReflectanceAt(2.0).g, 1.0);
    EXPECT_DOUBLE_EQ(scene->ReflectanceAt(3.6).g, 0.0);  // loops
    std::string error;
    EXPECT_FALSE(sim::Scene::Parse("red 1.2 0 0 1\n", &error));
    EXPECT_NE(error.find("line 1"), std::string::npos);
    EXPECT_FALSE(sim::Scene::Parse("red 1 0 0\n", &error));
    EXPECT_FALSE(sim::Scene::Parse("red 1 0 0 0\n", &error));
    EXPECT_FALSE(sim::Scene::Parse("# nothing\n", &error));
}

}  // namespace
