// Exchanges over a real loopback TCP connection against a scripted peer in this process.
// Time-outs use an injected clock, so no test waits the real 3 seconds.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTimer>

#include "link/crc8.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/link_texts.h"
#include "link/serial_ports.h"
#include "test_support.h"

namespace {

using linktest::FakeClock;
using linktest::Frame;
using linktest::RecordingObserver;
using linktest::Step;
using linktest::TcpPeer;
using linktest::WaitFor;

const std::string kTimeout(sensorlink::kTimeoutText);
const std::string kHeader(sensorlink::kHeaderFrameText);
const std::string kData(sensorlink::kDataFrameText);
const std::string kClosed(sensorlink::kServerClosedText);

class TcpExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        state.comProtocol = sensorlink::ComProtocol::Tcp;
        link.SetClock(&clock);
        ASSERT_EQ(link.ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()), 0);
        ASSERT_TRUE(link.TcpConnected());
        ASSERT_TRUE(WaitFor([this] { return peer.HasClient(); }));
    }

    Step Advance(double seconds, QByteArray bytes = {}, int delayMs = 0) {
        return Step{std::move(bytes), delayMs, [this, seconds] { clock.now += seconds; }};
    }

    // A fresh exchange must see only its own reply.
    void ExpectCleanExchange() {
        static std::uint16_t marker = 500;
        ++marker;
        const std::size_t reportsBefore = observer.reports.size();
        peer.AnswerFrame(Frame(sensorlink::cmd::kMeasure, marker, {7, 8, 9}));
        const sensorlink::Exchange reply = link.Command(sensorlink::cmd::kMeasure, 0);
        EXPECT_TRUE(reply.Ok());
        EXPECT_EQ(reply.parameter, marker);
        EXPECT_EQ(linktest::Words(reply), (std::vector<std::uint16_t>{7, 8, 9}));
        EXPECT_EQ(observer.reports.size(), reportsBefore);
    }

    sensorlink::LinkState state;
    RecordingObserver observer{state};
    FakeClock clock;
    sensorlink::Link link{state, observer};
    TcpPeer peer;
};

TEST_F(TcpExchange, RepliesAreReadAndUnpacked) {
    std::vector<std::uint16_t> measurement(23);
    for (std::size_t k = 0; k < measurement.size(); ++k) measurement[k] = 100 * k + 1;
    peer.AnswerFrame(Frame(sensorlink::cmd::kMeasure, 0, measurement));
    const sensorlink::Exchange frame = link.Command(sensorlink::cmd::kMeasure, 0);
    ASSERT_TRUE(frame.Ok());
    EXPECT_EQ(peer.requests.at(0), QByteArray::fromHex("55080000"
                                                       "0000AA76"));
    EXPECT_EQ(linktest::Words(frame), measurement);

    std::vector<std::uint16_t> table(248);
    for (std::size_t k = 0; k < table.size(); ++k) table[k] = static_cast<std::uint16_t>(k * 3);
    peer.AnswerFrame(Frame(sensorlink::cmd::kReadBlock, 0, table));
    const sensorlink::Exchange block = link.Command(sensorlink::cmd::kReadBlock, 2);
    ASSERT_TRUE(block.Ok());
    EXPECT_EQ(linktest::Words(block), table);
    // The reply is the caller's: the next exchange leaves it as it came.
    peer.AnswerFrame(Frame(sensorlink::cmd::kMeasure, 0, {1}));
    ASSERT_TRUE(link.Command(sensorlink::cmd::kMeasure, 0).Ok());
    EXPECT_EQ(linktest::Words(block), table);

    // A header-only reply is complete; its payload checksum is not looked at.
    QByteArray headerOnly = Frame(sensorlink::cmd::kStoreEeprom, 0);
    headerOnly[6] = 0x00;
    headerOnly[7] = static_cast<char>(
        sensorlink::Crc8(reinterpret_cast<const std::uint8_t*>(headerOnly.constData()), 0, 7));
    peer.AnswerFrame(headerOnly);
    EXPECT_TRUE(link.Command(sensorlink::cmd::kStoreEeprom, 0).Frame());

    // Requests with payload go out whole.
    peer.AnswerFrame(Frame(sensorlink::cmd::kWriteCorrection, 0));
    const std::uint16_t values[] = {1024, 1024, 1024};
    EXPECT_TRUE(link.Command(sensorlink::cmd::kWriteCorrection, 0, values).Frame());
    EXPECT_EQ(peer.requests.at(4), QByteArray::fromHex("55650000060073E5000400040004"));
    EXPECT_TRUE(observer.reports.empty());
}

TEST_F(TcpExchange, ErrorRepliesAreReportedButSucceed) {
    peer.AnswerFrame(Frame(0, 1, {0x1111, 0x2222}));
    const sensorlink::Exchange refused = link.Command(99, 0);
    EXPECT_EQ(refused.outcome, sensorlink::Outcome::ErrorReply);
    EXPECT_EQ(refused.parameter, 1);
    EXPECT_EQ(refused.failure, sensorlink::ErrorReplyText(1));
    EXPECT_EQ(linktest::Words(refused), (std::vector<std::uint16_t>{0x1111, 0x2222}));
    peer.AnswerFrame(Frame(0, 2));
    EXPECT_TRUE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    peer.AnswerFrame(Frame(0, 3));  // no text for other codes
    EXPECT_EQ(link.Command(sensorlink::cmd::kMeasure, 0).failure, "");
    ASSERT_EQ(observer.reports.size(), 2u);
    EXPECT_EQ(observer.reports[0], sensorlink::ErrorReplyText(1));
    EXPECT_EQ(observer.reports[1], sensorlink::ErrorReplyText(2));
    ExpectCleanExchange();
}

TEST_F(TcpExchange, TimeOutsFollowTheClock) {
    const QByteArray frame = Frame(sensorlink::cmd::kMeasure, 0, {1, 2, 3});

    // Silence: the clock passes 3.0 s.
    peer.Answer({Advance(3.5)});
    EXPECT_EQ(link.Command(sensorlink::cmd::kMeasure, 0).failure, kTimeout);
    EXPECT_EQ(observer.reports, std::vector<std::string>{kTimeout});
    ExpectCleanExchange();

    // The whole reply arrives in the poll in which the time runs out: accepted, also when
    // the wait is woken before the transport has handed the bytes over.
    peer.Answer({Advance(3.5, frame)});
    EXPECT_TRUE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    peer.Answer({Advance(3.5, frame), Step{{}, 0, [this] { link.Wake(); }}});
    EXPECT_TRUE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());

    // Only part of a header by then: a time-out.
    peer.Answer({Advance(3.5, frame.left(5))});
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    EXPECT_EQ(observer.reports.size(), 2u);
    ExpectCleanExchange();

    // Header and payload each have their own 3.0 s.
    peer.Answer({Advance(2.9, frame.left(8)), Advance(2.9, frame.mid(8), 20)});
    EXPECT_TRUE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());

    // The payload not complete in time: the same time-out text.
    peer.Answer({Step{frame.left(10)}, Advance(3.5, {}, 20)});
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    EXPECT_EQ(observer.reports, (std::vector<std::string>{kTimeout, kTimeout, kTimeout}));
    ExpectCleanExchange();
}

TEST_F(TcpExchange, LateRepliesAreNotTakenForTheNextOne) {
    peer.Answer({Advance(3.5)});
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    // The late reply reaches the reply buffer while the link idles ...
    peer.Send(Frame(sensorlink::cmd::kMeasure, 111, {1}));
    ASSERT_TRUE(WaitFor([this] { return link.BytesWaiting() >= 10; }));
    ExpectCleanExchange();

    peer.Answer({Advance(3.5)});
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    // ... or is still unread in the socket when the next request goes out.
    peer.Send(Frame(sensorlink::cmd::kMeasure, 333, {1}));
    ExpectCleanExchange();
    EXPECT_EQ(observer.reports, (std::vector<std::string>{kTimeout, kTimeout}));
}

TEST_F(TcpExchange, CorruptFramesAreRejected) {
    const QByteArray good = Frame(sensorlink::cmd::kMeasure, 0, {10, 20});

    QByteArray badHeader = good;
    badHeader[7] = static_cast<char>(badHeader[7] ^ 0x40);
    peer.AnswerFrame(badHeader);
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    ExpectCleanExchange();

    QByteArray badStart = good;  // checksum right, start byte not 0x55
    badStart[0] = 0x56;
    badStart[7] = static_cast<char>(
        sensorlink::Crc8(reinterpret_cast<const std::uint8_t*>(badStart.constData()), 0, 7));
    peer.AnswerFrame(badStart);
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    ExpectCleanExchange();

    QByteArray badPayload = good;
    badPayload[9] = static_cast<char>(badPayload[9] ^ 0x01);
    peer.AnswerFrame(badPayload);
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    ExpectCleanExchange();

    peer.AnswerFrame(QByteArray("\x01\x02\x03", 3) + good);  // junk before the reply
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    ExpectCleanExchange();

    EXPECT_EQ(observer.reports, (std::vector<std::string>{kHeader, kHeader, kData, kHeader}));
}

TEST_F(TcpExchange, OversizedPayloadFailsWithoutOverrunningTheBuffer) {
    const std::vector<std::uint8_t> payload(3000, 0x5A);
    const QByteArray frame =
        linktest::Bytes(sensorlink::MakeFrame(sensorlink::cmd::kMeasure, 0, payload));
    peer.AnswerFrame(frame.left(8 + 2100));
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    EXPECT_EQ(observer.reports, std::vector<std::string>{kData});
    ASSERT_TRUE(WaitFor([this] { return link.BytesWaiting() == 2048; }));
    EXPECT_LE(link.BytesWaiting(), 2048u);
    ExpectCleanExchange();
}

TEST_F(TcpExchange, SplitWritesAreJoined) {
    const QByteArray frame = Frame(sensorlink::cmd::kReadCorrection, 0, {1, 2, 3, 4, 5, 6});
    linktest::Script script;
    for (qsizetype i = 0; i < frame.size(); ++i) script.push_back(Step{frame.mid(i, 1), 1});
    peer.Answer(script);
    const sensorlink::Exchange reply = link.Command(sensorlink::cmd::kReadCorrection, 0);
    EXPECT_TRUE(reply.Ok());
    EXPECT_EQ(linktest::Words(reply), (std::vector<std::uint16_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(observer.reports.empty());
}

TEST_F(TcpExchange, ServerClosingIsReportedAtAnyTime) {
    // Mid-frame: the close is reported once, and the exchange ends at once as a line that
    // is gone instead of waiting out its 3 seconds.
    peer.Answer({Step{Frame(sensorlink::cmd::kMeasure, 0, {1}).left(5), 0, {}, true}});
    EXPECT_EQ(link.Command(sensorlink::cmd::kMeasure, 0).outcome, sensorlink::Outcome::LinkDown);
    EXPECT_EQ(observer.reports, (std::vector<std::string>{kClosed}));
    EXPECT_FALSE(link.TcpConnected());
    // No connection: the next exchange fails at once, and says so.
    EXPECT_EQ(link.Command(sensorlink::cmd::kMeasure, 0).outcome, sensorlink::Outcome::LinkDown);
    EXPECT_EQ(observer.reports, (std::vector<std::string>{kClosed, kTimeout}));

    ASSERT_EQ(link.ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()), 0);
    ASSERT_TRUE(WaitFor([this] { return peer.HasClient(); }));
    ExpectCleanExchange();

    // While idle.
    peer.HangUp();
    ASSERT_TRUE(WaitFor([this] { return observer.reports.size() == 3; }));
    EXPECT_EQ(observer.reports.back(), kClosed);
    EXPECT_FALSE(link.TcpConnected());

    // Closing it ourselves is no failure.
    ASSERT_EQ(link.ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()), 0);
    link.DisconnectTcp();
    EXPECT_FALSE(WaitFor([this] { return observer.reports.size() > 4; }, 50));
}

TEST_F(TcpExchange, AConnectionLeftOpenBesideTheSerialLineEndsNothingWhenItCloses) {
    // Connecting over RS-232 leaves the TCP connection open; its server closing it later was
    // reported, and the report ended the loop running on the serial line.
    linktest::PtyPeer serialPeer;
    ASSERT_TRUE(serialPeer.Ok());
    state.comProtocol = sensorlink::ComProtocol::Rs232;
    ASSERT_EQ(link.OpenSerialPort(link.Ports().AddDevicePath(serialPeer.SlavePath()), 4), 0);
    bool closed = false;
    QTimer::singleShot(0, [&] {
        peer.HangUp();
        QTimer::singleShot(20, [&] {
            closed = true;
            serialPeer.Send(Frame(sensorlink::cmd::kTriggeredSend, 0, {1, 2, 3}));
        });
    });
    const sensorlink::Exchange frame = link.ReceiveFrame(5.0, {});
    EXPECT_TRUE(closed);
    EXPECT_EQ(frame.outcome, sensorlink::Outcome::Reply);
    EXPECT_FALSE(link.TcpConnected());
    serialPeer.AnswerFrame(Frame(sensorlink::cmd::kMeasure, 0, {4}));
    EXPECT_TRUE(link.Command(sensorlink::cmd::kMeasure, 0).Ok());
    EXPECT_TRUE(observer.reports.empty()) << observer.reports.front();
}

TEST_F(TcpExchange, BytesLeftBehindByAClosedServerAreNoReply) {
    // More than the link takes in while idle, then a whole frame, then the server closes:
    // the frame is still readable from the socket but answers no request.
    peer.Send(QByteArray(2048, '\x01') + Frame(sensorlink::cmd::kMeasure, 5, {1}));
    peer.HangUp();
    ASSERT_TRUE(WaitFor([this] { return !link.TcpConnected(); }));
    // The close was said when it came; the exchange it spoils adds nothing to it.
    EXPECT_EQ(link.Command(sensorlink::cmd::kMeasure, 0).outcome, sensorlink::Outcome::LinkDown);
    EXPECT_EQ(observer.reports, (std::vector<std::string>{kClosed}));
}

TEST_F(TcpExchange, AbortEndsWaitsWithoutAReport) {
    peer.Answer({Step{{}, 10, [this] { link.Abort(); }}});
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    EXPECT_TRUE(link.Aborted());
    EXPECT_FALSE(link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    EXPECT_EQ(peer.requests.size(), 1);
    EXPECT_TRUE(observer.reports.empty());
}

TEST(LinkLifetime, ApplicationQuitEndsTheWaitLikeAbort) {
    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    RecordingObserver observer(state);
    sensorlink::Link link(state, observer);
    TcpPeer peer;
    ASSERT_EQ(link.ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()), 0);
    peer.Answer({Step{{}, 0, [] { QCoreApplication::quit(); }}});
    auto result = sensorlink::Outcome::Reply;
    QTimer::singleShot(0, [&] { result = link.Command(sensorlink::cmd::kMeasure, 0).outcome; });
    QCoreApplication::exec();
    EXPECT_EQ(result, sensorlink::Outcome::Aborted);
    EXPECT_TRUE(link.Aborted());
    EXPECT_TRUE(observer.reports.empty());
}

TEST(LinkLifetime, DestroyingTheLinkInsideAWaitIsSafe) {
    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    RecordingObserver observer(state);
    auto link = std::make_unique<sensorlink::Link>(state, observer);
    TcpPeer peer;
    ASSERT_EQ(link->ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()), 0);
    peer.Answer({Step{{}, 5, [&link] { link.reset(); }}});
    sensorlink::Link* raw = link.get();
    EXPECT_FALSE(raw->Command(sensorlink::cmd::kMeasure, 0).Frame());
    EXPECT_EQ(link, nullptr);
    EXPECT_TRUE(observer.reports.empty());
}

class TcpConnect : public ::testing::Test {
  protected:
    sensorlink::LinkState state;
    RecordingObserver observer{state};
    FakeClock clock;
    sensorlink::Link link{state, observer};
};

TEST_F(TcpConnect, FailuresGiveTheTableTextAndWhatHappened) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    EXPECT_EQ(link.ConnectTcp(QStringLiteral("127.0.0.1"), port), -4);
    EXPECT_EQ(state.message,
              "FailedToConnect\nConnection refused by 127.0.0.1:" + std::to_string(port));
    EXPECT_FALSE(link.TcpConnected());

    // A name the resolver refuses without asking the network.
    EXPECT_EQ(link.ConnectTcp(QStringLiteral("nosuch..invalid"), 10001), -2);
    EXPECT_EQ(state.message, "UnableToEstablishConnection\nHost name not found: nosuch..invalid");

    EXPECT_EQ(link.ConnectTcp(QString(), 10001), -9);
    EXPECT_EQ(link.ConnectTcp(QStringLiteral("127.0.0.1"), 0), -9);
    EXPECT_EQ(state.message, "InvalidParameter\nPort number out of range: 0");
    EXPECT_EQ(observer.reports.size(), 4u);
}

TEST_F(TcpConnect, AnUnansweredConnectTimesOut) {
    // A listener whose accept queue is full drops further connection requests unanswered.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&address), length), 0);
    const int port = ntohs(address.sin_port);

    link.SetClock(&clock);
    QTimer::singleShot(50, [this] { clock.now += 5.5; });
    EXPECT_EQ(link.ConnectTcp(QStringLiteral("127.0.0.1"), port), -11);
    EXPECT_EQ(state.message,
              "TimeOutError\nNo answer from 127.0.0.1:" + std::to_string(port) + " within 5 s");
    EXPECT_EQ(observer.reports.size(), 1u);
    EXPECT_FALSE(link.TcpConnected());
    ::close(filler);
    ::close(listener);
}

}  // namespace
