// Exchanges over a real pseudo-terminal: the link opens the slave through a typed device
// path, the test plays the sensor on the master side.

#include <gtest/gtest.h>

#include <QSerialPort>

#include "link/frame.h"
#include "link/link.h"
#include "link/link_texts.h"
#include "link/serial_ports.h"
#include "test_support.h"

namespace {

using linktest::FakeClock;
using linktest::Frame;
using linktest::PtyPeer;
using linktest::RecordingObserver;
using linktest::Step;

const std::string kTimeout(sensorlink::kTimeoutText);

class SerialExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok());
        link.SetClock(&clock);
        number = link.Ports().AddDevicePath(peer.SlavePath());
        ASSERT_EQ(link.OpenSerialPort(number, 4), 0) << state.message;
        ASSERT_TRUE(link.SerialOpen());
    }

    Step Advance(double seconds, QByteArray bytes = {}) {
        return Step{std::move(bytes), 0, [this, seconds] { clock.now += seconds; }};
    }

    void ExpectCleanExchange() {
        static std::uint16_t marker = 700;
        ++marker;
        const std::size_t reportsBefore = observer.reports.size();
        peer.AnswerFrame(Frame(sensorlink::cmd::kMeasure, marker, {1, 2}));
        EXPECT_EQ(link.Command(sensorlink::cmd::kMeasure, 0).parameter, marker);
        EXPECT_EQ(observer.reports.size(), reportsBefore);
    }

    sensorlink::LinkState state;  // comProtocol 0: RS-232
    RecordingObserver observer{state};
    FakeClock clock;
    sensorlink::Link link{state, observer};
    PtyPeer peer;
    int number = 0;
};

TEST_F(SerialExchange, IdentificationAndFailureRows) {
    EXPECT_GE(number, sensorlink::SerialPortTable::kFirstUserNumber);
    const char text[] = "VELORAX3 KVT-ANA V1.0";
    const std::vector<std::uint8_t> firmware(text, text + sizeof text);
    peer.AnswerFrame(linktest::Bytes(sensorlink::MakeFrame(sensorlink::cmd::kFirmware, 0, firmware)));
    const sensorlink::Exchange id = link.Command(sensorlink::cmd::kFirmware, 0);
    ASSERT_TRUE(id.Ok());
    EXPECT_EQ(peer.requests.at(0), QByteArray::fromHex("550700000000AA52"));
    EXPECT_EQ(id.payload, firmware);

    const QByteArray frame = Frame(sensorlink::cmd::kMeasure, 0, {1, 2, 3});
    peer.Answer({Advance(3.5)});
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    ExpectCleanExchange();
    // Complete in the poll in which the time runs out.
    peer.Answer({Advance(3.5, frame)});
    EXPECT_TRUE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    peer.Answer({Advance(3.5, frame), Step{{}, 0, [this] { link.Wake(); }}});
    EXPECT_TRUE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());

    QByteArray badHeader = frame;
    badHeader[3] = 0x01;
    peer.AnswerFrame(badHeader);
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    ExpectCleanExchange();

    QByteArray badPayload = frame;
    badPayload[12] = 0x7F;
    peer.AnswerFrame(badPayload);
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    ExpectCleanExchange();

    const std::vector<std::uint8_t> huge(2100, 0x11);
    peer.AnswerFrame(linktest::Bytes(sensorlink::MakeFrame(sensorlink::cmd::kMeasure, 0, huge)));
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    ExpectCleanExchange();

    peer.AnswerFrame(Frame(0, 2, {9}));
    const sensorlink::Exchange refused = link.Command(sensorlink::cmd::kMeasure, 0);
    EXPECT_TRUE(refused.Frame());
    EXPECT_EQ(linktest::Words(refused), std::vector<std::uint16_t>{9});

    EXPECT_EQ(observer.reports,
              (std::vector<std::string>{
                  kTimeout, std::string(sensorlink::kHeaderFrameText), std::string(sensorlink::kDataFrameText),
                  std::string(sensorlink::kDataFrameText), std::string(sensorlink::ErrorReplyText(2))}));
}

TEST_F(SerialExchange, QueuesAreFlushedBeforeEachRequest) {
    peer.Answer({Advance(3.5)});
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    peer.Send(Frame(sensorlink::cmd::kMeasure, 111, {1}));  // the late reply
    ExpectCleanExchange();
    EXPECT_EQ(observer.reports.size(), 1u);
}

TEST_F(SerialExchange, AHangUpClosesThePortAndIsReportedOnce) {
    peer.Answer({Step{Frame(sensorlink::cmd::kMeasure, 0, {1}).left(4), 0, {}, true}});
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    EXPECT_EQ(observer.reports, std::vector<std::string>{kTimeout});
    EXPECT_FALSE(link.SerialOpen());
    EXPECT_FALSE(linktest::WaitFor([this] { return observer.reports.size() > 1; }, 50));
    // The closed port fails the next exchange at once.
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    EXPECT_EQ(observer.reports.size(), 2u);
}

TEST_F(SerialExchange, OpenFailuresExplainThemselves) {
    const int missing = link.Ports().AddDevicePath(QStringLiteral("/nonexistent/velorax-tty"));
    EXPECT_EQ(link.OpenSerialPort(missing, 4), -6);
    EXPECT_EQ(state.message, "No serial port found\nDevice not found: /nonexistent/velorax-tty");
    EXPECT_FALSE(link.SerialOpen());

    EXPECT_EQ(link.OpenSerialPort(999, 4), -2);
    EXPECT_EQ(state.message, "Invalid port number\nNo serial device has the number 999.");

    QSerialPort other(peer.SlavePath());
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));
    EXPECT_EQ(link.OpenSerialPort(number, 4), -7);
    EXPECT_EQ(state.message, "Cannot open port\n" + peer.SlavePath().toStdString() +
                                 " is busy or locked by another program.");
    EXPECT_EQ(observer.reports.size(), 3u);
    other.close();
    EXPECT_EQ(link.OpenSerialPort(number, 0), 0);
}

}  // namespace
