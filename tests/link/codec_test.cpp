// The frame codec, the request builder, unpacking and the fixed-text tables; no transport.

#include <gtest/gtest.h>

#include <cstring>

#include "link/crc8.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/link_texts.h"
#include "link/open_errors.h"
#include "test_support.h"

namespace {

using linktest::RecordingObserver;

std::vector<std::uint8_t> Request(const sensorlink::LinkState& state, std::size_t count) {
    return {state.request.begin(), state.request.begin() + static_cast<std::ptrdiff_t>(count)};
}

TEST(Crc8, CheckValues) {
    const auto* digits = reinterpret_cast<const std::uint8_t*>("123456789");
    const auto* abc = reinterpret_cast<const std::uint8_t*>("abc");
    EXPECT_EQ(sensorlink::Crc8(digits, 0, 9), 0x6D);
    EXPECT_EQ(sensorlink::Crc8(abc, 0, 3), 0xDE);
    EXPECT_EQ(sensorlink::Crc8(digits, 0, 0), 0xAA);
    // Over a header carrying its own checksum the CRC is 0 exactly when it is right.
    std::uint8_t header[8] = {0x55, 0x07, 0, 0, 0, 0, 0xAA, 0x52};
    EXPECT_EQ(sensorlink::Crc8(header, 0, 8), 0);
    header[7] ^= 1;
    EXPECT_NE(sensorlink::Crc8(header, 0, 8), 0);
}

TEST(BuildRequest, ExampleFramesByteForByte) {
    sensorlink::LinkState state;
    RecordingObserver observer(state);
    sensorlink::Link link(state, observer);

    link.BuildRequest(sensorlink::cmd::kFirmware, 0, 0, 0);
    EXPECT_EQ(Request(state, 8), (std::vector<std::uint8_t>{0x55, 0x07, 0, 0, 0, 0, 0xAA, 0x52}));
    link.BuildRequest(sensorlink::cmd::kMeasure, 0, 0, 0);
    EXPECT_EQ(Request(state, 8), (std::vector<std::uint8_t>{0x55, 0x08, 0, 0, 0, 0, 0xAA, 0x76}));

    const std::vector<std::uint8_t> correction{0x55, 0x65, 0x00, 0x00, 0x06, 0x00, 0x73,
                                               0xE5, 0x00, 0x04, 0x00, 0x04, 0x00, 0x04};
    state.words[0] = state.words[1] = state.words[2] = 1024;
    EXPECT_EQ(link.BuildRequest(sensorlink::cmd::kWriteCorrection, 3, 0, 6), 0xE5);
    EXPECT_EQ(Request(state, 14), correction);
    // The correction writes copy 20 words but declare 6 bytes: only those belong to the frame.
    for (std::size_t k = 3; k < 20; ++k) state.words[k] = 0xBEEF;
    link.BuildRequest(sensorlink::cmd::kWriteCorrection, 20, 0, 6);
    EXPECT_EQ(Request(state, 14), correction);
    EXPECT_TRUE(observer.reports.empty());
}

TEST(Unpack, WordsAreLowByteFirstAndAnOddByteIsDropped) {
    sensorlink::LinkState state;
    RecordingObserver observer(state);
    sensorlink::Link link(state, observer);
    const std::uint8_t payload[] = {0x34, 0x12, 0xFF, 0x00, 0x77};
    std::memcpy(state.reply.data() + 8, payload, sizeof payload);
    state.replyLength = 5;
    state.words[2] = 0xAAAA;
    link.UnpackWords();
    EXPECT_EQ(state.words[0], 0x1234);
    EXPECT_EQ(state.words[1], 0x00FF);
    EXPECT_EQ(state.words[2], 0xAAAA);
    link.UnpackReply();
    EXPECT_EQ(state.measurementWords[0], 0x1234);
    EXPECT_EQ(state.measurementWords[1], 0x00FF);
    EXPECT_EQ(state.measurementWords[2], 0);
}

TEST(CheckReplyHeader, AcceptsRightHeadersAndRejectsWrongOnes) {
    sensorlink::LinkState state;
    RecordingObserver observer(state);
    sensorlink::Link link(state, observer);

    auto frame = sensorlink::MakeWordFrame(sensorlink::cmd::kReadCorrection, 0x0102,
                                     std::vector<std::uint16_t>{1, 2, 3});
    std::copy(frame.begin(), frame.end(), state.reply.begin());
    EXPECT_EQ(link.CheckReplyHeader(), 1);
    EXPECT_EQ(state.replyCommand, sensorlink::cmd::kReadCorrection);
    EXPECT_EQ(state.replyParameter, 0x0102);
    EXPECT_EQ(state.replyLength, 6);
    EXPECT_EQ(state.replyDataChecksum, frame[6]);

    state.reply[7] ^= 0x01;  // checksum wrong, start byte right
    EXPECT_EQ(link.CheckReplyHeader(), -1);
    state.reply[0] = 0x54;  // start byte wrong, checksum made right
    state.reply[7] = sensorlink::Crc8(state.reply.data(), 0, 7);
    EXPECT_EQ(link.CheckReplyHeader(), -1);
    EXPECT_EQ(observer.reports, (std::vector<std::string>(2, std::string(sensorlink::kHeaderFrameText))));
}

TEST(LinkTexts, TablesAndCatchAlls) {
    EXPECT_EQ(sensorlink::ErrorReplyText(1), "INVALIDE ORDER NUMBER!\nVERIFY PC AND SENSOR SOFTWARE!");
    EXPECT_EQ(sensorlink::ErrorReplyText(2),
              "COMMUNICATION ERROR ON CONTROL UNIT!\nYOU MAY HAVE TO REDUCE THE BAUDRATE!");
    EXPECT_TRUE(sensorlink::ErrorReplyText(3).empty());
    EXPECT_EQ(sensorlink::SerialOpenResultText(-4), "Unknown I/0 error");
    EXPECT_EQ(sensorlink::SerialOpenResultText(-6), "No serial port found");
    EXPECT_EQ(sensorlink::SerialOpenResultText(-5), "RS-232 error!");
    EXPECT_TRUE(sensorlink::SerialOpenResultText(0).empty());
    EXPECT_EQ(sensorlink::TcpConnectResultText(-11), "TimeOutError");
    EXPECT_EQ(sensorlink::TcpConnectResultText(-20), "InfoNotAvailable");
    EXPECT_EQ(sensorlink::TcpConnectResultText(-21), "Connection to server failed");
}

TEST(OpenErrors, SerialFailuresExplainThemselves) {
    const auto denied = sensorlink::SerialOpenFailure(QSerialPort::PermissionError, "/dev/ttyS0",
                                                "Permission denied", false);
    EXPECT_EQ(sensorlink::SerialOpenMessage(denied).toStdString(),
              "Cannot open port\nPermission denied on /dev/ttyS0: add your user to the dialout "
              "group.");
    // Qt reports a port locked by another program as a permission error too.
    const auto locked = sensorlink::SerialOpenFailure(QSerialPort::PermissionError, "/dev/ttyUSB0",
                                                "Permission error while locking the device", true);
    EXPECT_EQ(sensorlink::SerialOpenMessage(locked).toStdString(),
              "Cannot open port\n/dev/ttyUSB0 is busy or locked by another program.");
    const auto missing =
        sensorlink::SerialOpenFailure(QSerialPort::DeviceNotFoundError, "/dev/ttyUSB7", "", false);
    EXPECT_EQ(missing.result, -6);
    EXPECT_EQ(sensorlink::SerialOpenFailure(QSerialPort::UnknownError, "x", "odd", true).result, -1);

    const auto refused = sensorlink::TcpConnectFailure(QAbstractSocket::ConnectionRefusedError,
                                                 "127.0.0.1", 10002, "refused");
    EXPECT_EQ(sensorlink::TcpConnectMessage(refused).toStdString(),
              "FailedToConnect\nConnection refused by 127.0.0.1:10002");
    EXPECT_EQ(sensorlink::TcpConnectFailure(QAbstractSocket::ProxyNotFoundError, "h", 1, "").result, -4);
}

}  // namespace
