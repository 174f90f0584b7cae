#pragma once
// Inside of sensorlink::Link, shared by the exchange (link.cpp) and the transports
// (link_transports.cpp). Not part of the link's interface.

#include <QAbstractSocket>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QTcpSocket>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "link/frame_assembler.h"
#include "link/link.h"
#include "link/link_texts.h"
#include "link/serial_ports.h"
#include "link/transport.h"
#include "ui/wait.h"

namespace sensorlink {

inline constexpr double kConnectTimeoutSeconds = 5.0;

struct Link::Impl final : TransportEvents {
    Impl(Link& owner, LinkState& state, FailureObserver& observer, ui::EventWait* wait);

    bool Aborted() const { return wait->Aborted(); }
    // Runs `done` in the link's wait with the link as guard: Destroyed means the link is
    // gone and nothing of it may be touched.
    ui::WaitEnd WaitUntil(std::function<bool()> done, double timeoutSeconds);

    // Message buffer = text, then the observer; nothing after Abort.
    void Fail(std::string_view text);
    void Fail(const QString& text);
    // True (and said through the observer) while a Command waits.
    bool Refuse();

    // --- receiving ------------------------------------------------------------------
    // Result of one frame wait; with Gone the link was destroyed during it.
    enum class Got { Frame, Stopped, Failed, Quiet, Gone };
    // `headerLineText` reports a line error before the header is taken: a frame the sensor
    // sends on its own has no request that could have gone unanswered.
    Got Receive(double headerTimeout, const std::function<bool()>& keepWaiting,
                std::string_view headerLineText = kTimeoutText);
    Got Failed(std::string_view text);  // report, mark the stream broken
    // The reply to `command`, within one reply time-out from now. A frame of another command
    // (a measurement the sensor sent on its own, a late reply, a scope block) answers
    // nothing that was asked: it is dropped and counted, and the wait goes on. Frames of
    // the command that `isReply` (may be empty) turns down are passed over the same way,
    // uncounted: the sensor's own frames of a command that starts them.
    Got ReceiveReply(std::uint8_t command, const std::function<bool(const Exchange&)>& isReply);
    // What a caller learns of a Receive that ended with `got` (for a frame, the one
    // `header` and `payload` hold); never touches anything after Gone (the link is
    // destroyed then).
    Exchange Result(Got got) const;
    // Input of the active transport -> assembler, as much as fits; the rest stays in the
    // device until frames are taken.
    void Pull();
    // Drops all pending input: the device's and the assembler's.
    void DiscardInput();
    // The request onto the line.
    void Send(std::span<const std::uint8_t> request);
    // Sends a request and waits for its reply (see Link::Command); `isReply` as for
    // ReceiveReply. `dropPending`: whatever came before is no reply to this request.
    Exchange Request(std::span<const std::uint8_t> request, bool dropPending,
                     const std::function<bool(const Exchange&)>& isReply);

    // The transport the exchanges use: the one LinkState::comProtocol names.
    Transport& Active();
    const Transport& Active() const;
    bool IsActive(const Transport& transport) const { return &Active() == &transport; }
    bool TransportDown() const { return Active().Down(); }
    // Bytes on `transport`: taken when it is the one in use, else nobody's reply.
    void Arrived(Transport& transport) override;
    void Changed() override;
    // A server that closes a connection the exchanges do not use ends nothing.
    void ServerClosed(Transport& transport) override;

    Link& owner;
    LinkState& state;
    FailureObserver& observer;
    std::unique_ptr<ui::EventWait> ownWait;  // when no wait was given
    ui::EventWait* wait = nullptr;

    FrameAssembler assembler;
    // The last frame taken: its header and payload.
    FrameHeader header;
    std::vector<std::uint8_t> payload;
    // A request failed: the rest of its reply may still come, so a frame wait that
    // follows begins by dropping what is pending (the next Command does anyway).
    bool streamBroken = false;
    // Reports of a server that closed the connection, and how many of them an exchange that
    // failed for it has taken as its own report.
    std::uint32_t closedReports = 0;
    std::uint32_t closedClaimed = 0;
    int transacting = 0;            // requests waiting for their reply (at most one)
    std::uint64_t strayFrames = 0;  // frames dropped for answering no request

    SerialPortTable ports;
    SerialTransport serial{owner, *this};
    TcpTransport tcp{owner, *this};
};

}  // namespace sensorlink
