// Frames the sensor sends on its own (triggered frames, scope blocks), and exchanges that
// callbacks start inside a running wait. Every case runs over TCP loopback and over a
// pseudo-terminal: both transports feed the same frame assembler.

#include <gtest/gtest.h>

#include <QTimer>
#include <functional>

#include "link/commands.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/link_texts.h"
#include "link/replies.h"
#include "link/serial_ports.h"
#include "test_support.h"

namespace {

using linktest::FakeClock;
using linktest::Frame;
using linktest::RecordingObserver;
using linktest::Step;
using linktest::WaitFor;

const std::string kTimeout(sensorlink::kTimeoutText);
const std::string kHeader(sensorlink::kHeaderFrameText);
const std::string kData(sensorlink::kDataFrameText);
const std::string kClosed(sensorlink::kServerClosedText);
const std::string kRefused(sensorlink::kExchangeRunningText);

struct TcpTransport {
    static constexpr bool kTcp = true;
    linktest::TcpPeer peer;
    bool Open(sensorlink::Link& link, sensorlink::LinkState& state) {
        state.comProtocol = sensorlink::ComProtocol::Tcp;
        return link.ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()) == 0 &&
               WaitFor([this] { return peer.HasClient(); });
    }
};

struct SerialTransport {
    static constexpr bool kTcp = false;
    linktest::PtyPeer peer;
    bool Open(sensorlink::Link& link, sensorlink::LinkState& state) {
        state.comProtocol = sensorlink::ComProtocol::Rs232;
        return peer.Ok() &&
               link.OpenSerialPort(link.Ports().AddDevicePath(peer.SlavePath()), 4) == 0;
    }
};

// Runs `work` from a timer: inside the wait that runs when it fires. The timer dies with
// `context`, so a test that fails early leaves nothing behind for the next one.
void Inside(QObject* context, std::function<void()> work) {
    QTimer::singleShot(0, context, std::move(work));
}

QByteArray Payload(std::size_t bytes, std::uint8_t seed) {
    QByteArray out(static_cast<qsizetype>(bytes), 0);
    for (qsizetype i = 0; i < out.size(); ++i) out[i] = static_cast<char>(seed + 7 * i);
    return out;
}

QByteArray RawFrame(std::uint8_t command, std::uint16_t parameter, const QByteArray& payload) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(payload.constData());
    return linktest::Bytes(sensorlink::MakeFrame(
        command, parameter, {bytes, static_cast<std::size_t>(payload.size())}));
}

template <class Transport>
class ReceiveFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        link.SetClock(&clock);
        ASSERT_TRUE(transport.Open(link, state)) << state.message;
        peer().requests.clear();
        // Should a test go wrong, exchanges still end: every 2 real seconds the clock jumps
        // past any reply time-out. Passing tests are done long before.
        safetyClock.callOnTimeout(&context, [this] {
            clock.now += 100.0;
            link.Wake();
        });
        safetyClock.start(2000);
    }

    linktest::ScriptedPeer& peer() { return transport.peer; }

    // ReceiveFrame without a time limit, as the loops call it, ended by `stop` or, should
    // the test go wrong, by a real 5-second safety deadline instead of hanging.
    int Receive(const bool* stop = nullptr, double timeout = -1) {
        bool expired = false;
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, [&expired] { expired = true; });
        safety.start(5000);
        const sensorlink::Exchange e =
            link.ReceiveFrame(timeout, [&expired, stop] { return !expired && !(stop && *stop); });
        EXPECT_FALSE(expired) << "the safety deadline ended the wait";
        last = e;
        // 1 a frame, 0 called off, -1 failed.
        return e.Frame() ? 1 : e.outcome == sensorlink::Outcome::Stopped ? 0 : -1;
    }

    // The peer's bytes have reached the link (the assembler holds `count` bytes).
    void Arrived(int count) {
        ASSERT_TRUE(WaitFor([this, count] { return link.BytesWaiting() == std::size_t(count); }))
            << link.BytesWaiting() << " of " << count;
    }

    // The words of the frame the last Receive took.
    std::vector<std::uint16_t> Words() const { return linktest::Words(last); }

    void Inside(std::function<void()> work) { ::Inside(&context, std::move(work)); }

    sensorlink::LinkState state;
    RecordingObserver observer{state};
    FakeClock clock;
    sensorlink::Link link{state, observer};
    sensorlink::Exchange last;  // what the last Receive took
    Transport transport;
    QObject context;
    QTimer safetyClock;
};

using Transports = ::testing::Types<TcpTransport, SerialTransport>;
class TransportNames {
  public:
    template <class T>
    static std::string GetName(int) {
        return T::kTcp ? "Tcp" : "Serial";
    }
};
TYPED_TEST_SUITE(ReceiveFrame, Transports, TransportNames);

TYPED_TEST(ReceiveFrame, AFrameSplitAtEveryByteIsJoined) {
    const QByteArray frame = Frame(sensorlink::cmd::kMeasure, 0x1234, {1, 2, 3, 0x5555, 5, 6});
    for (qsizetype cut = 1; cut < frame.size(); ++cut) {
        this->peer().Send(frame.left(cut));
        this->Arrived(static_cast<int>(cut));
        this->Inside([this, &frame, cut] { this->peer().Send(frame.mid(cut)); });
        ASSERT_EQ(this->Receive(), 1) << "cut after byte " << cut;
        EXPECT_EQ(this->last.command, sensorlink::cmd::kMeasure);
        EXPECT_EQ(this->last.parameter, 0x1234);
        EXPECT_EQ(this->Words(), (std::vector<std::uint16_t>{1, 2, 3, 0x5555, 5, 6}));
    }
    EXPECT_TRUE(this->observer.reports.empty());
}

TYPED_TEST(ReceiveFrame, FramesInOneWriteAreTakenOneByOne) {
    // An acknowledgement and four scope blocks in one write, as after a scan request: the
    // exchange takes the acknowledgement, the blocks stay for the frame waits.
    std::vector<std::uint16_t> settings{0, 20, 1000, 1, 0};
    QByteArray burst = Frame(sensorlink::cmd::kScopeScan, 0);
    for (std::uint16_t block = 0; block < 4; ++block) {
        std::vector<std::uint16_t> words(129);
        for (std::uint16_t i = 0; i < 128; ++i)
            words[i] = static_cast<std::uint16_t>(block * 1000 + i);
        words[128] = static_cast<std::uint16_t>(block + 5);
        burst += Frame(sensorlink::cmd::kScopeScan, block, words);
    }
    this->peer().AnswerFrame(burst);
    const sensorlink::Exchange ack = this->link.Command(sensorlink::cmd::kScopeScan, 1, settings);
    ASSERT_TRUE(ack.Ok());
    EXPECT_TRUE(ack.payload.empty());
    for (std::uint16_t block = 0; block < 4; ++block) {
        ASSERT_EQ(this->Receive(), 1);
        EXPECT_EQ(this->last.parameter, block);
        const auto decoded = sensorlink::DecodeScopeBlock(this->last.payload);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->ring[127], block * 1000 + 127);
        EXPECT_EQ(decoded->triggerIndex, block + 5);
    }

    // More than the reply buffer holds in one write: three frames of 1000 payload bytes and
    // one of the largest size. What does not fit waits in the device until frames are taken.
    QByteArray big;
    for (std::uint8_t k = 0; k < 3; ++k) big += RawFrame(8, k, Payload(1000, k));
    big += RawFrame(8, 3, Payload(sensorlink::kMaxPayload, 3));
    this->peer().Send(big);
    for (std::uint8_t k = 0; k < 4; ++k) {
        ASSERT_EQ(this->Receive(), 1) << "frame " << int(k);
        EXPECT_EQ(this->last.parameter, k);
        const auto& payload = this->last.payload;
        const QByteArray expected = Payload(k < 3 ? 1000 : sensorlink::kMaxPayload, k);
        ASSERT_EQ(payload.size(), static_cast<std::size_t>(expected.size()));
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(),
                               reinterpret_cast<const std::uint8_t*>(expected.constData())));
    }
    EXPECT_TRUE(this->observer.reports.empty());
}

TYPED_TEST(ReceiveFrame, BrokenFramesFailWithTheExchangeTexts) {
    const QByteArray good = Frame(sensorlink::cmd::kMeasure, 77, {10, 20});
    auto expectFailure = [this, &good](const QByteArray& bytes, const std::string& text) {
        const std::size_t before = this->observer.reports.size();
        this->peer().Send(bytes);
        EXPECT_EQ(this->Receive(), -1);
        ASSERT_EQ(this->observer.reports.size(), before + 1);
        EXPECT_EQ(this->observer.reports.back(), text);
        // Whatever was left of the broken stream is dropped; the next frame is read whole.
        this->peer().Send(good);
        EXPECT_EQ(this->Receive(), 1);
        EXPECT_EQ(this->last.parameter, 77);
        EXPECT_EQ(this->observer.reports.size(), before + 1);
    };

    // Junk in front of a frame is not skipped: the stream is out of step.
    expectFailure(QByteArray("\x01\x02\x03", 3) + good, kHeader);
    QByteArray badHeader = good;
    badHeader[2] = static_cast<char>(badHeader[2] ^ 0x10);
    expectFailure(badHeader, kHeader);
    QByteArray badPayload = good;
    badPayload[9] = static_cast<char>(badPayload[9] ^ 0x01);
    expectFailure(badPayload, kData);
    // A length the buffer cannot hold: refused from the header, nothing past it is read.
    expectFailure(RawFrame(8, 0, Payload(sensorlink::kMaxPayload + 1, 9)), kData);
    expectFailure(RawFrame(8, 0, Payload(3000, 9)), kData);

    // The payload gets 3.0 s once its header is in.
    this->peer().Send(good.left(10));
    this->Arrived(10);
    this->Inside([this] {
        this->clock.now += 3.5;
        this->link.Wake();
    });
    EXPECT_EQ(this->Receive(), -1);
    EXPECT_EQ(this->observer.reports.back(), kTimeout);
    // The header as long as the caller allows.
    this->Inside([this] {
        this->clock.now += 10.5;
        this->link.Wake();
    });
    EXPECT_EQ(this->Receive(nullptr, 10.0), -1);
    EXPECT_EQ(this->observer.reports.back(), kTimeout);
    this->peer().Send(good);
    EXPECT_EQ(this->Receive(nullptr, 10.0), 1);
}

TYPED_TEST(ReceiveFrame, AClearedFlagEndsTheWaitQuietlyAndKeepsAFrameInProgress) {
    bool stop = false;
    this->Inside([&stop] { stop = true; });
    EXPECT_EQ(this->Receive(&stop), 0);
    EXPECT_EQ(this->Receive(&stop), 0);  // already cleared: at once

    // Half a frame when the flag clears: nothing of it is taken, the next call finishes it.
    const QByteArray frame = Frame(sensorlink::cmd::kMeasure, 5, {4, 5, 6, 7});
    this->peer().Send(frame.left(11));
    this->Arrived(11);
    stop = false;
    this->Inside([&stop] { stop = true; });
    EXPECT_EQ(this->Receive(&stop), 0);
    EXPECT_EQ(this->link.BytesWaiting(), 11u);
    this->peer().Send(frame.mid(11));
    EXPECT_EQ(this->Receive(), 1);
    EXPECT_EQ(this->Words(), (std::vector<std::uint16_t>{4, 5, 6, 7}));

    // A frame that is there already is taken even when the flag is clear.
    this->peer().Send(frame);
    this->Arrived(static_cast<int>(frame.size()));
    EXPECT_EQ(this->Receive(&stop), 1);
    EXPECT_TRUE(this->observer.reports.empty());
}

TYPED_TEST(ReceiveFrame, AHangUpMidFrameFails) {
    this->peer().Send(Frame(sensorlink::cmd::kMeasure, 0, {1, 2, 3}).left(9));
    this->Arrived(9);
    this->Inside([this] { this->peer().HangUp(); });
    EXPECT_EQ(this->Receive(), -1);
    if (TypeParam::kTcp) {
        EXPECT_EQ(this->observer.reports, (std::vector<std::string>{kClosed}));
        EXPECT_FALSE(this->link.TcpConnected());
    } else {
        EXPECT_EQ(this->observer.reports, std::vector<std::string>{kTimeout});
        EXPECT_FALSE(this->link.SerialOpen());
    }
    // A transport that is down fails the next wait at once. A serial line in error says so
    // without "NO DATA RECEIVED!": the wait was for a frame the sensor sends on its own.
    EXPECT_EQ(this->Receive(), -1);
    EXPECT_EQ(this->observer.reports.back(),
              TypeParam::kTcp ? kTimeout : std::string(sensorlink::kFrameWaitLineText));
}

TYPED_TEST(ReceiveFrame, AnExchangeInsideTheWaitWorks) {
    // The scope's Break: while the scan waits for its blocks, command 110 with parameter 0
    // runs as a whole exchange, then the scan's flag clears.
    bool scanBroken = false;
    sensorlink::Outcome breakResult = sensorlink::Outcome::Failed;
    this->peer().Send(
        Frame(sensorlink::cmd::kScopeScan, 0, std::vector<std::uint16_t>(129, 1)).left(40));
    this->Arrived(40);
    this->Inside([&] {
        this->peer().AnswerFrame(Frame(sensorlink::cmd::kScopeScan, 0));
        breakResult = this->link.Command(sensorlink::cmd::kScopeScan, 0).outcome;
        scanBroken = true;
    });
    EXPECT_EQ(this->Receive(&scanBroken), 0);
    EXPECT_EQ(breakResult, sensorlink::Outcome::Reply);
    EXPECT_EQ(this->peer().requests.size(), 1);
    EXPECT_EQ(this->peer().requests.at(0), Frame(sensorlink::cmd::kScopeScan, 0));

    // With the flag still set the wait goes on with the frames that come after the exchange.
    this->peer().Send(Frame(sensorlink::cmd::kMeasure, 1, {1, 2, 3}).left(12));
    this->Arrived(12);
    this->Inside([&] {
        this->peer().AnswerFrame(Frame(sensorlink::cmd::kTriggeredSend, 0));
        breakResult = this->link.Command(sensorlink::cmd::kTriggeredSend, 0).outcome;
        this->Inside([this] { this->peer().Send(Frame(sensorlink::cmd::kMeasure, 42, {8, 9})); });
    });
    EXPECT_EQ(this->Receive(), 1);
    EXPECT_EQ(breakResult, sensorlink::Outcome::Reply);
    EXPECT_EQ(this->last.parameter, 42);
    EXPECT_EQ(this->Words(), (std::vector<std::uint16_t>{8, 9}));
    EXPECT_TRUE(this->observer.reports.empty());
    EXPECT_TRUE(this->observer.refusals.empty());
}

TYPED_TEST(ReceiveFrame, ACommandAmidFramesPassesOverABegunFrameAndTheNextUntilItsReply) {
    // Triggered sending is switched off while a triggered frame is half way in.
    const QByteArray triggered =
        Frame(sensorlink::cmd::kTriggeredSend, 0, std::vector<std::uint16_t>(23, 7));
    this->peer().Send(triggered.left(20));
    this->Arrived(20);
    this->peer().Answer({Step{triggered.mid(20) + triggered + Frame(sensorlink::cmd::kTriggeredSend, 0)}});
    int passedOver = 0;
    const sensorlink::Exchange result = this->link.CommandAmidFrames(
        sensorlink::cmd::kTriggeredSend, 0, [&](const sensorlink::Exchange& frame) {
            const bool reply = frame.payload.empty();
            if (!reply) ++passedOver;
            return reply;
        });
    EXPECT_EQ(result.outcome, sensorlink::Outcome::Reply);
    EXPECT_EQ(passedOver, 2);
    EXPECT_EQ(result.command, sensorlink::cmd::kTriggeredSend);
    ASSERT_EQ(this->peer().requests.size(), 1);
    EXPECT_EQ(this->peer().requests.at(0), Frame(sensorlink::cmd::kTriggeredSend, 0));
    EXPECT_TRUE(this->observer.reports.empty());

    // A plain command would have dropped the begun frame and stumbled over its rest.
    this->peer().Send(triggered.left(20));
    this->Arrived(20);
    this->peer().Answer({Step{triggered.mid(20) + Frame(sensorlink::cmd::kTriggeredSend, 0)}});
    EXPECT_FALSE(this->link.Command(sensorlink::cmd::kTriggeredSend, 0).Frame());
    EXPECT_FALSE(this->observer.reports.empty());
}

TYPED_TEST(ReceiveFrame, AnExchangeInsideAnotherIsRefusedAndChangesNothing) {
    auto& s = this->state;
    s.message = "earlier text";
    auto nested = sensorlink::Outcome::Reply;
    auto nestedReceive = sensorlink::Outcome::Reply;
    bool same = false;
    const auto snapshot = [this, &s] {
        return std::make_tuple(s.message, s.comProtocol, this->link.BytesWaiting(),
                               this->link.StrayFrames());
    };
    const QByteArray reply = Frame(sensorlink::cmd::kMeasure, 31, {3, 1});
    // While the exchange waits for its reply, a callback tries to talk to the sensor.
    this->peer().Answer({Step{reply, 20}});
    this->Inside([&] {
        const auto before = snapshot();
        const std::uint16_t words[] = {1, 2, 3};
        nested = this->link.Command(sensorlink::cmd::kWriteCorrection, 0, words).outcome;
        nestedReceive = this->link.ReceiveFrame(-1, [] { return false; }).outcome;
        same = snapshot() == before;
    });
    const sensorlink::Exchange outer = this->link.Command(sensorlink::cmd::kMeasure, 0);
    EXPECT_EQ(nested, sensorlink::Outcome::Refused);
    EXPECT_EQ(nestedReceive, sensorlink::Outcome::Refused);
    EXPECT_TRUE(same);
    EXPECT_EQ(this->observer.refusals, (std::vector<std::string>{kRefused, kRefused}));
    EXPECT_TRUE(this->observer.reports.empty());
    EXPECT_EQ(outer.parameter, 31);
    EXPECT_EQ(linktest::Words(outer), (std::vector<std::uint16_t>{3, 1}));
    // Nothing of the refused request reached the sensor.
    EXPECT_FALSE(WaitFor([this] { return this->peer().requests.size() > 1; }, 30));
    EXPECT_EQ(this->peer().requests.at(0), Frame(sensorlink::cmd::kMeasure, 0));

    // Once the exchange is over the next one runs.
    this->peer().AnswerFrame(Frame(sensorlink::cmd::kMeasure, 32));
    EXPECT_TRUE(this->link.Command(sensorlink::cmd::kMeasure, 0).Frame());
    EXPECT_FALSE(this->link.Busy());
}

TEST(LinkLifetime, ALinkDestroyedInsideAFrameWaitOfASharedWaitIsLeftAlone) {
    // The program's wait outlives the link; the link's wait has the link as its guard.
    ui::EventWait shared;
    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    RecordingObserver observer(state);
    auto link = std::make_unique<sensorlink::Link>(state, observer, &shared);
    linktest::TcpPeer peer;
    ASSERT_EQ(link->ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()), 0);
    QObject context;
    Inside(&context, [&link] { link.reset(); });
    sensorlink::Link* raw = link.get();
    EXPECT_FALSE(raw->ReceiveFrame(-1, {}).Frame());
    EXPECT_EQ(link, nullptr);
    EXPECT_EQ(shared.Depth(), 0);
    EXPECT_FALSE(shared.Aborted());
    EXPECT_TRUE(observer.reports.empty());

    // Aborting the shared wait ends the link's waits and stops its exchanges.
    sensorlink::Link other(state, observer, &shared);
    ASSERT_EQ(other.ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()), 0);
    Inside(&context, [&shared] { shared.Abort(); });
    EXPECT_FALSE(other.ReceiveFrame(-1, {}).Frame());
    EXPECT_TRUE(other.Aborted());
    EXPECT_TRUE(observer.reports.empty());
}

// Bytes that have reached the system by the time a wait runs out still count: the header's
// wait and the payload's, also right after a receive that timed out on junk (whose bytes the
// next exchange must drop, not take for the start of its reply).
TYPED_TEST(ReceiveFrame, BytesThatArrivedWhenTheTimeRanOutAreTaken) {
    testing_support::JumpingClock jumping;
    this->link.SetClock(&jumping);
    const auto answer = [&jumping](QByteArray bytes) {
        return Step{std::move(bytes), 0, [&jumping] { jumping.running = true; }};
    };
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        jumping.running = false;
        this->peer().Send(QByteArray("A."));
        jumping.running = true;
        EXPECT_EQ(this->Receive(nullptr, 3.0), -1);
        EXPECT_EQ(this->observer.reports.back(), kTimeout);

        jumping.running = false;
        this->peer().Answer({answer(Frame(sensorlink::cmd::kMeasure, 40 + round, {1, 2, 3}))});
        EXPECT_EQ(this->link.Command(sensorlink::cmd::kMeasure, 0).parameter, 40 + round);

        // The payload's own wait, too.
        jumping.running = false;
        const QByteArray frame = Frame(sensorlink::cmd::kMeasure, 50 + round, {4, 5, 6});
        this->peer().Answer({Step{frame.left(8)}, answer(frame.mid(8))});
        EXPECT_EQ(this->link.Command(sensorlink::cmd::kMeasure, 0).parameter, 50 + round);
    }
    EXPECT_EQ(this->observer.reports.size(), 4u);
    this->link.SetClock(&this->clock);
}

}  // namespace

TYPED_TEST(ReceiveFrame, OnlyAFrameOfTheRequestsCommandOrAnErrorFrameIsItsReply) {
    namespace cmd = sensorlink::cmd;
    // A sensor left sending on its own, and a late measurement: neither answers the read of
    // the correction values, whose words SEND CF would write into the EEPROM.
    const QByteArray triggered =
        Frame(cmd::kTriggeredSend, 0, std::vector<std::uint16_t>(23, 4000));
    const QByteArray late = Frame(cmd::kMeasure, 0, {4000, 4001, 4002});
    this->peer().Answer(
        {Step{triggered + late}, Step{Frame(cmd::kReadCorrection, 0, {1, 2, 3, 4, 5, 6}), 5}});
    sensorlink::Exchange e = this->link.Command(cmd::kReadCorrection, 0);
    EXPECT_EQ(e.outcome, sensorlink::Outcome::Reply);
    EXPECT_EQ(e.command, cmd::kReadCorrection);
    EXPECT_EQ(linktest::Words(e), (std::vector<std::uint16_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(this->link.StrayFrames(), 2u);

    // An error frame answers any request.
    this->peer().Answer({Step{triggered + Frame(0, 3)}});
    EXPECT_EQ(this->link.Command(cmd::kReadBlock, 0).outcome, sensorlink::Outcome::ErrorReply);
    EXPECT_EQ(this->link.StrayFrames(), 3u);
    EXPECT_TRUE(this->observer.reports.empty());

    // Frames keep coming but none answers: a time-out within the one reply time.
    this->peer().Answer({Step{triggered}, Step{triggered, 5, [this] {
                                                   this->clock.now += 3.5;
                                                   this->link.Wake();
                                               }}});
    e = this->link.Command(cmd::kFirmware, 0);
    EXPECT_EQ(e.outcome, sensorlink::Outcome::Failed);
    EXPECT_EQ(this->observer.reports, std::vector<std::string>{kTimeout});
}
