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

TEST(Frame, ExampleRequestsByteForByte) {
    EXPECT_EQ(sensorlink::MakeFrame(sensorlink::cmd::kFirmware, 0),
              (std::vector<std::uint8_t>{0x55, 0x07, 0, 0, 0, 0, 0xAA, 0x52}));
    EXPECT_EQ(sensorlink::MakeFrame(sensorlink::cmd::kMeasure, 0),
              (std::vector<std::uint8_t>{0x55, 0x08, 0, 0, 0, 0, 0xAA, 0x76}));
    const std::vector<std::uint16_t> factors{1024, 1024, 1024};
    EXPECT_EQ(sensorlink::MakeWordFrame(sensorlink::cmd::kWriteCorrection, 0, factors),
              (std::vector<std::uint8_t>{0x55, 0x65, 0x00, 0x00, 0x06, 0x00, 0x73, 0xE5, 0x00, 0x04,
                                         0x00, 0x04, 0x00, 0x04}));
}

TEST(Frame, WordsAreLowByteFirstAndAnOddByteIsDropped) {
    const std::uint8_t payload[] = {0x34, 0x12, 0xFF, 0x00, 0x77};
    std::uint16_t words[3] = {0, 0, 0xAAAA};
    EXPECT_EQ(sensorlink::UnpackWordsInto(payload, sizeof payload, words, 3), 2u);
    EXPECT_EQ(words[0], 0x1234);
    EXPECT_EQ(words[1], 0x00FF);
    EXPECT_EQ(words[2], 0xAAAA);
    EXPECT_EQ(sensorlink::UnpackWordsInto(payload, sizeof payload, words, 1), 1u);
}

TEST(Frame, HeadersAreCheckedByStartByteAndChecksum) {
    auto frame = sensorlink::MakeWordFrame(sensorlink::cmd::kReadCorrection, 0x0102,
                                           std::vector<std::uint16_t>{1, 2, 3});
    ASSERT_TRUE(sensorlink::HeaderValid(frame.data()));
    const sensorlink::FrameHeader header = sensorlink::ParseHeader(frame.data());
    EXPECT_EQ(header.command, sensorlink::cmd::kReadCorrection);
    EXPECT_EQ(header.parameter, 0x0102);
    EXPECT_EQ(header.length, 6);
    EXPECT_EQ(header.dataChecksum, frame[6]);

    frame[7] ^= 0x01;  // checksum wrong, start byte right
    EXPECT_FALSE(sensorlink::HeaderValid(frame.data()));
    frame[0] = 0x54;  // start byte wrong, checksum made right
    frame[7] = sensorlink::Crc8(frame.data(), 0, 7);
    EXPECT_FALSE(sensorlink::HeaderValid(frame.data()));
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
