// The link itself over a real line, with the sensor's side a peer in this process that
// answers each request with bytes of the input. Two targets from this file:
//   link_fuzz      TCP on 127.0.0.1 (one connection, made again only after a hang-up)
//   link_pty_fuzz  the serial transport over a pseudo-terminal pair made in the process: no
//                  connection to make, so the runs go to the exchange (LINK_OVER_PTY)
// Slower than the pure targets (every run goes through the event loop), they cover what
// those cannot: the exchange's reading in pieces, the time-outs, the dropping of late bytes,
// a frame that comes unasked, and a hang-up.
//
// The input is a list of records: a kind byte, a length of two bytes (low byte first), then that
// many bytes.
//   kind % 5 == 0  a measurement request answered with the bytes
//            1     a block read answered with the bytes
//            2     the bytes sent unasked, then the next frame waited for (triggered frames)
//            3     a command amid frames (switching triggered sending off) answered with them
//            4     the bytes, then the peer hangs up
// Once the bytes are out, the clock runs (ten seconds each time the link asks it), so a reply
// that is incomplete or absent ends in a time-out at once; the wait's last pass after its
// time ran out still takes in the bytes that had arrived. Whatever came, the link
// must stay sane, and a well-formed exchange right after must see only its own reply.

#include <QCoreApplication>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "link/commands.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/link_state.h"
#include "link/serial_ports.h"
#include "test_support.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

#if LINK_OVER_PTY
struct Rig {
    Rig() {
        state.comProtocol = sensorlink::ComProtocol::Rs232;
        link.SetClock(&clock);
    }
    // A fresh pair after a hang-up: the peer closed its end for good.
    bool Connect() {
        if (peer && !hungUp && link.SerialOpen()) return true;
        link.CloseSerialPort();
        peer = std::make_unique<linktest::PtyPeer>();
        hungUp = false;
        if (!peer->Ok()) return false;
        return link.OpenSerialPort(link.Ports().AddDevicePath(peer->SlavePath()), 4) == 0;
    }
    bool Up() const { return !hungUp && link.SerialOpen(); }
#else
struct Rig {
    Rig() {
        state.comProtocol = sensorlink::ComProtocol::Tcp;
        link.SetClock(&clock);
    }
    bool Connect() {
        if (link.TcpConnected() && peer->HasClient()) return true;
        link.DisconnectTcp();
        hungUp = false;
        if (link.ConnectTcp(QStringLiteral("127.0.0.1"), peer->Port()) != 0) return false;
        return testing_support::WaitFor([this] { return peer->HasClient(); });
    }
    bool Up() const { return link.TcpConnected(); }
#endif
    // The peer's answer: the bytes, and the clock set going.
    linktest::Step Answer(QByteArray bytes, bool hangUp = false) {
        if (hangUp) hungUp = true;
        return linktest::Step{std::move(bytes), 0, [this] { clock.running = true; }, hangUp};
    }

    sensorlink::LinkState state;
    linktest::RecordingObserver observer{state};
    testing_support::JumpingClock clock;  // runs once the peer's answer is out
    sensorlink::Link link{state, observer};
#if LINK_OVER_PTY
    std::unique_ptr<linktest::PtyPeer> peer;
#else
    std::unique_ptr<linktest::TcpPeer> peer = std::make_unique<linktest::TcpPeer>();
#endif
    bool hungUp = false;
};

Rig* rig = nullptr;

// `command`: the request's (0: a frame the sensor sends on its own, any command).
void CheckReply(const sensorlink::Exchange& exchange, std::uint8_t command) {
    Check(!rig->link.Busy());
    if (!exchange.Frame()) return;
    Check(exchange.payload.size() <= sensorlink::kMaxPayload);
    Check(command == 0 || exchange.command == command || exchange.command == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    static Rig theRig;
    rig = &theRig;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Check(rig->Connect());
    std::size_t at = 0;
    int records = 0;
    while (at + 3 <= size && ++records <= 8) {
        const std::uint8_t kind = data[at] % 5;
        const std::size_t length =
            std::min<std::size_t>(data[at + 1] | (data[at + 2] << 8), size - at - 3);
        const QByteArray bytes(reinterpret_cast<const char*>(data + at + 3),
                               static_cast<qsizetype>(length));
        at += 3 + length;

        rig->clock.running = false;
        sensorlink::Exchange exchange;
        std::uint8_t command = sensorlink::cmd::kMeasure;
        switch (kind) {
            case 0:
                rig->peer->Answer({rig->Answer(bytes)});
                exchange = rig->link.Command(sensorlink::cmd::kMeasure, 0);
                break;
            case 1:
                rig->peer->Answer({rig->Answer(bytes)});
                command = sensorlink::cmd::kReadBlock;
                exchange = rig->link.Command(command, 2);
                break;
            case 2:
                rig->peer->Send(bytes);
                rig->clock.running = true;
                command = 0;
                exchange = rig->link.ReceiveFrame(3.0, {});
                break;
            case 3:
                rig->peer->Answer({rig->Answer(bytes)});
                command = sensorlink::cmd::kTriggeredSend;
                exchange = rig->link.CommandAmidFrames(
                    sensorlink::cmd::kTriggeredSend, 0, [](const sensorlink::Exchange& e) {
                        return sensorlink::IsAckOf(e, sensorlink::cmd::kTriggeredSend);
                    });
                break;
            default:
                rig->peer->Answer({rig->Answer(bytes, true)});
                exchange = rig->link.Command(sensorlink::cmd::kMeasure, 0);
                break;
        }
        CheckReply(exchange, command);
        if (kind == 4 || !rig->Up()) break;
    }
    rig->clock.running = false;
    for (const std::string& report : rig->observer.reports) Check(!report.empty());
    rig->observer.reports.clear();
    rig->observer.refusals.clear();

    // Whatever was left over, a fresh exchange sees its own reply only.
    Check(rig->Connect());
    rig->peer->Forget();
    static std::uint16_t marker = 0;
    ++marker;
    rig->peer->Answer({rig->Answer(linktest::Frame(sensorlink::cmd::kMeasure, marker, {7, 8, 9}))});
    const sensorlink::Exchange clean = rig->link.Command(sensorlink::cmd::kMeasure, 0);
    Check(clean.Frame());
    Check(clean.parameter == marker && clean.payload.size() == 6);
    rig->clock.running = false;
    rig->observer.reports.clear();
    rig->peer->requests.clear();
    return 0;
}
