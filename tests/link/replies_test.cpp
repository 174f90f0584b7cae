// The Qt-free pieces over bytes: the frame assembler's refusals (its cutting is covered over
// both transports in receive_frame_test and by the fuzz target) and the reply decoders.
// What they must get right is where the bytes end: lengths, byte order, signedness.

#include "link/replies.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "link/crc8.h"
#include "link/frame.h"
#include "link/frame_assembler.h"

namespace {

using sensorlink::FrameAssembler;
using Status = FrameAssembler::Status;
using Bytes = std::vector<std::uint8_t>;

Bytes WordBytes(const std::vector<std::uint16_t>& words) {
    Bytes out;
    for (std::uint16_t w : words) {
        out.push_back(static_cast<std::uint8_t>(w & 0xFF));
        out.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return out;
}

Bytes Sequence(std::size_t count) {
    Bytes out(count);
    std::iota(out.begin(), out.end(), std::uint8_t{1});
    return out;
}

TEST(FrameAssembler, RejectsWhatIsNotAFrameWithoutReadingFurther) {
    FrameAssembler assembler;
    Bytes frame = sensorlink::MakeFrame(8, 0, Sequence(10));

    Bytes junk(frame.size() + 1, 0x01);  // one junk byte, then the frame
    std::copy(frame.begin(), frame.end(), junk.begin() + 1);
    assembler.Feed(junk);
    EXPECT_EQ(assembler.Front(), Status::BadHeader);

    Bytes wrongStart = frame;  // checksum right, start byte not 0x55
    wrongStart[0] = 0x56;
    wrongStart[7] = sensorlink::Crc8(wrongStart.data(), 0, 7);
    assembler.Clear();
    assembler.Feed(wrongStart);
    EXPECT_EQ(assembler.Front(), Status::BadHeader);

    Bytes badPayload = frame;
    badPayload.at(sensorlink::kHeaderSize) ^= 0x80;  // the first payload byte
    assembler.Clear();
    assembler.Feed(badPayload);
    EXPECT_EQ(assembler.Front(), Status::BadPayload);

    // 2040 payload bytes fill the buffer exactly; 2041 are refused from the header alone.
    const Bytes largest = sensorlink::MakeFrame(8, 0, Bytes(sensorlink::kMaxPayload, 0x55));
    assembler.Clear();
    EXPECT_EQ(assembler.Feed(largest), FrameAssembler::kCapacity);
    EXPECT_EQ(assembler.Front(), Status::Frame);
    EXPECT_EQ(assembler.Feed(largest), 0u);  // full: the caller keeps the rest
    const Bytes tooLong = sensorlink::MakeFrame(8, 0, Bytes(sensorlink::kMaxPayload + 1, 0));
    assembler.Clear();
    EXPECT_EQ(assembler.Feed({tooLong.data(), 8}), 8u);
    EXPECT_EQ(assembler.Front(), Status::TooLong);
}

TEST(Replies, FirmwareTextStopsAtNulOrAfter71Characters) {
    const Bytes text{'V', '3', 0xE9, 0, 'x'};
    EXPECT_EQ(sensorlink::FirmwareText(text), std::string("V3\xE9"));  // Latin-1 kept as is
    const Bytes unterminated(100, 'A');
    EXPECT_EQ(sensorlink::FirmwareText(unterminated), std::string(71, 'A'));
    EXPECT_EQ(sensorlink::FirmwareText({unterminated.data(), 5}), "AAAAA");
    EXPECT_EQ(sensorlink::FirmwareText({}), "");
}

TEST(Replies, FixedLayoutsNeedTheirWholeLength) {
    const Bytes block = WordBytes(std::vector<std::uint16_t>(20, 0xA55A));
    ASSERT_TRUE(sensorlink::ParameterBlock(block));
    EXPECT_EQ((*sensorlink::ParameterBlock(block))[19], 0xA55A);
    EXPECT_FALSE(sensorlink::ParameterBlock({block.data(), 39}));

    std::vector<std::uint16_t> table(248);
    std::iota(table.begin(), table.end(), std::uint16_t{0});
    const Bytes tableBytes = WordBytes(table);
    ASSERT_TRUE(sensorlink::TeachTable(tableBytes));
    EXPECT_EQ((*sensorlink::TeachTable(tableBytes))[247], 247);
    EXPECT_FALSE(sensorlink::TeachTable({tableBytes.data(), 494}));
    EXPECT_FALSE(sensorlink::TeachTable(block));

    // A shorter payload leaves the target as it was.
    std::array<std::uint16_t, 3> out{7, 7, 7};
    EXPECT_FALSE(sensorlink::DecodeWords({block.data(), 5}, out));
    EXPECT_EQ(out, (std::array<std::uint16_t, 3>{7, 7, 7}));

    const auto correction =
        sensorlink::DecodeCorrectionValues(WordBytes({1024, 1000, 980, 12, 13, 14}));
    ASSERT_TRUE(correction);
    EXPECT_EQ(correction->factors, (std::array<std::uint16_t, 3>{1024, 1000, 980}));
    EXPECT_EQ(correction->offsets, (std::array<std::uint16_t, 3>{12, 13, 14}));
    EXPECT_FALSE(sensorlink::DecodeCorrectionValues(WordBytes({1, 2, 3, 4, 5})));

    const auto self = sensorlink::DecodeSelfCalibration(WordBytes({1100, 1024, 900, 3000, 50}));
    ASSERT_TRUE(self);
    EXPECT_EQ(self->factors[2], 900);
    EXPECT_EQ(self->setValue, 3000);
    EXPECT_EQ(self->maxDelta, 50);
    EXPECT_FALSE(sensorlink::DecodeSelfCalibration(WordBytes({1, 2, 3, 4})));

    std::vector<std::uint16_t> scope(129);
    std::iota(scope.begin(), scope.end(), std::uint16_t{300});
    scope[128] = 5;
    const Bytes scopeBytes = WordBytes(scope);
    const auto decoded = sensorlink::DecodeScopeBlock(scopeBytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->ring[0], 300);
    EXPECT_EQ(decoded->ring[127], 427);
    EXPECT_EQ(decoded->triggerIndex, 5);
    EXPECT_FALSE(sensorlink::DecodeScopeBlock({scopeBytes.data(), 257}));

    const Bytes hardware = WordBytes(std::vector<std::uint16_t>(256, 0xBEEF));
    ASSERT_TRUE(sensorlink::HardwareBlock(hardware));
    EXPECT_FALSE(sensorlink::HardwareBlock({hardware.data(), 510}));
}

TEST(Replies, AShortMeasurementFrameKeepsTheOlderWords) {
    std::array<std::uint16_t, sensorlink::kWordBufferSize> words{};
    words.fill(0x1111);
    std::vector<std::uint16_t> frame(22);
    std::iota(frame.begin(), frame.end(), std::uint16_t{1});
    frame[6] = 0xFFFF;  // deltaC -1
    Bytes payload = WordBytes(frame);
    payload.push_back(0x99);  // an odd last byte is dropped
    const std::size_t written = sensorlink::UnpackMeasurement(payload, words);
    EXPECT_EQ(written, 22u);
    EXPECT_FALSE(sensorlink::MeasurementComplete(written));
    EXPECT_EQ(static_cast<std::int16_t>(words[6]), -1);
    EXPECT_EQ(words[21], 22);
    EXPECT_EQ(words[22], 0x1111);

    // The largest payload fills 1020 words and no more.
    const Bytes largest(sensorlink::kMaxPayload, 0x01);
    EXPECT_EQ(sensorlink::UnpackMeasurement(largest, words), 1020u);
    EXPECT_EQ(words[1019], 0x0101);
    EXPECT_EQ(words[1020], 0x1111);
    std::array<std::uint16_t, 4> small{};
    EXPECT_EQ(sensorlink::UnpackMeasurement(largest, small), 4u);
}

TEST(Replies, CycleTimeIsTwoSignedLittleEndian32BitValues) {
    const auto cycle = sensorlink::DecodeCycleTime(Bytes{0xE8, 0x03, 0, 0, 0x64, 0, 0, 0});
    ASSERT_TRUE(cycle);
    EXPECT_EQ(cycle->scans, 1000);
    EXPECT_EQ(cycle->window, 100);
    EXPECT_DOUBLE_EQ(sensorlink::ScanFrequency(*cycle), 1000.0);

    const auto order =
        sensorlink::DecodeCycleTime(Bytes{0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(order);
    EXPECT_EQ(order->scans, 0x01020304);
    EXPECT_EQ(order->window, -2);

    EXPECT_DOUBLE_EQ(sensorlink::ScanFrequency({500, 0}), 0.0);  // not infinite
    EXPECT_FALSE(sensorlink::DecodeCycleTime(Bytes(7, 0)));
}

}  // namespace
