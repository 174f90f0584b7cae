#pragma once
// The exchange with the sensor over the open transport (serial port or TCP), and the two
// transports. One request, one reply; the caller is blocked but the user interface stays
// alive: every wait is a ui::EventWait (a nested event loop with a deadline), woken by the
// transport. Both transports feed the bytes they receive into one FrameAssembler, which
// cuts them into frames the same way for serial and TCP. Failures are put into
// LinkState::message and handed to the FailureObserver (the session's ReportLinkFailure);
// the link never touches a widget.
//
// Exchanges use the transport that LinkState::comProtocol names. Do not
// start an exchange from a slot of a device signal: run it from a control's callback or a
// queued call. Waiting costs no CPU: the thread sleeps until the transport, a timer or a
// user event wakes it.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_state.h"
#include "ui/wait.h"

namespace sensorlink {

class FailureObserver {
  public:
    virtual ~FailureObserver() = default;
    // A failure, with the text the user sees (also left in LinkState::message).
    virtual void ReportLinkFailure(std::string_view text) = 0;
    // An exchange was refused because a Command of the same link still waits for its
    // reply. Nothing was sent and nothing changed (not the message either): only say it.
    virtual void ReportRefused(std::string_view /*text*/) {}
    // An error frame whose code has no text: nothing is reported for it, but an observer
    // that must say why a command failed (velorax-cli) learns the code.
    virtual void NoteErrorCode(std::uint16_t /*code*/) {}
};

// Seconds from any fixed origin; tests inject a clock of their own.
using Clock = ui::Clock;

// How an exchange ended.
enum class Outcome : std::uint8_t {
    Reply,       // a whole frame: the reply, or the frame the sensor sent on its own
    ErrorReply,  // the sensor's error frame (command 0); a code with a text was reported,
                 // and the frame is still taken with its payload
    Failed,      // time-out, bad header or bad payload: reported
    LinkDown,    // the line is gone (hang-up, port closed, server closed): reported once
    Refused,     // another exchange still waits for its reply: nothing sent, only said
    Aborted,     // the program closes (or the link went away): nothing reported
    Stopped,     // a wait for a frame the sensor sends was called off: nothing reported
};

// One exchange: how it ended and, for a frame, its header fields and its payload, which the
// exchange owns: it stays valid whatever the link does next.
struct Exchange {
    Exchange() = default;
    explicit Exchange(Outcome ended) : outcome(ended) {}

    Outcome outcome = Outcome::Failed;
    std::uint8_t command = 0;
    std::uint16_t parameter = 0;  // a plausibility count, a cycle time, an error code
    std::vector<std::uint8_t> payload;
    // What the user was told of it: the failure's text, an error frame's where its code has
    // one. Empty when nothing was said (a reply, a refused, aborted or stopped wait, an error
    // code without a text).
    std::string failure;

    // A frame came: a reply or an error frame, its payload there to be taken.
    bool Frame() const { return outcome == Outcome::Reply || outcome == Outcome::ErrorReply; }
    // The sensor did what was asked.
    bool Ok() const { return outcome == Outcome::Reply; }
    // Nothing can succeed on this link any more until it is connected again.
    bool LinkEnded() const { return outcome == Outcome::LinkDown || outcome == Outcome::Aborted; }
};

inline constexpr double kReplyTimeoutSeconds = 3.0;

// Among frames the sensor sends on its own after `command` (triggered frames, scope blocks),
// the reply to that command once more: the acknowledgement, which carries no payload, or
// an error frame. (Frames of other commands never get this far: they answer nothing.)
inline bool IsAckOf(const Exchange& frame, std::uint8_t command) {
    return frame.command != command || frame.payload.empty();
}

class SerialPortTable;

class Link : public QObject {
    Q_OBJECT
  public:
    // `state` names the transport the exchanges use and takes the text of every failure.
    // `wait` is the wait the link's exchanges run in; the program shares one between the
    // link and its loops, and it must outlive the link. nullptr: the link has its own.
    Link(LinkState& state, FailureObserver& observer, ui::EventWait* wait = nullptr,
         QObject* parent = nullptr);
    ~Link() override;

    ui::EventWait& Wait();
    void SetClock(Clock* clock);  // the wait's clock; nullptr: the steady clock

    // --- frame protocol -------------------------------------------------------------
    // Sends `command` with `parameter` and `words` as its payload (at most 1020 words), and
    // waits for one whole reply frame: 3.0 s for its header, 3.0 s more for its payload.
    // Whatever input is pending is dropped first (a late reply is never taken for this
    // one's). Only a frame of the request's command or an error frame (command 0) is its
    // reply; any other frame is dropped and counted (StrayFrames), and the wait goes on
    // within the same 3.0 s.
    Exchange Command(std::uint8_t command, std::uint16_t parameter,
                     std::span<const std::uint16_t> words = {});

    // A command (no payload) while the sensor may still be sending frames on its own:
    // switching triggered sending off, breaking a scope scan. Nothing received is dropped;
    // frames that come first, also one that had already begun, are taken and passed over
    // until `isReply` says the frame is the reply. All of it has the reply time-out of one
    // exchange.
    Exchange CommandAmidFrames(std::uint8_t command, std::uint16_t parameter,
                               const std::function<bool(const Exchange&)>& isReply);

    // Waits for the next whole frame the sensor sends on its own (triggered measurement
    // frames after command 30, scope blocks after command 110). Frames that arrived before
    // the call are taken first, in order; the header may take `timeoutSeconds` (negative:
    // no limit), the payload then 3.0 s. `keepWaiting` (may be empty) is asked after every
    // batch of events: once it says false the call ends Stopped without a report, leaving a
    // frame that is still coming for the next call.
    // A frame ends as after Command (Reply, or ErrorReply, reported where its code has a
    // text). A failure is reported with the texts of Command (a line error before the
    // header with its own); all input received until then is dropped, since where the next
    // frame starts is unknown (junk and bad headers are not skipped: see frame_assembler.h).
    // An exchange (Command) may run inside this wait, from a callback: it drops
    // the pending input as always, and this wait then goes on with what comes after.
    Exchange ReceiveFrame(double timeoutSeconds, const std::function<bool()>& keepWaiting);

    // While a Command waits for its reply, Command, CommandAmidFrames and ReceiveFrame
    // started from a callback inside that wait end Refused at once: nothing is sent and
    // nothing changes; the refusal goes to FailureObserver::ReportRefused.
    bool Busy() const;

    // Frames dropped since the link was made because they answered no request: a frame
    // the sensor sent on its own, or a late reply, while an exchange waited for its reply.
    std::uint64_t StrayFrames() const;
    // Bytes received that no exchange has taken yet (a frame that came early, a part of one).
    std::size_t BytesWaiting() const;

    // The transport is open (serial) or connected (TCP).
    bool Up() const;

    // A failure of the caller's own (a reply too short for its layout, say), reported as the
    // link reports its own: the text into the message buffer, then the observer. Nothing
    // after Abort.
    void Report(std::string_view text);
    // A reply whose parameter word says that the sensor replaced that many implausible
    // values by its defaults: "INFO!\n", the count and `tail` reported. True when it was
    // reported; an error frame, whose word is its code, never is.
    bool ReportPlausibility(const Exchange& reply, std::string_view tail);
    // An error frame that ends an operation, whose code has no text of its own (the link
    // reports those with a text as they come): reported with its code. True when reported.
    bool ReportRefusal(const Exchange& reply);

    // Ends every wait of the link's wait object at once; this and all later exchanges
    // end Aborted without a report. Called when the program closes.
    // QCoreApplication::quit() or exit() during a wait has the same effect.
    void Abort();
    bool Aborted() const;

    // --- transports -----------------------------------------------------------------
    // Each returns openResult (>= 0 success). On failure the message buffer holds the text
    // of the result table (plus a line of detail where the platform knows more) and the
    // failure has been reported. A TCP connection closed by the server is reported with
    // "SERVER HAS CLOSED CONNECTION!" whenever it happens; TcpConnected() is false by then.
    int OpenSerialPort(int comPort, std::uint16_t baudIndex);
    void CloseSerialPort();
    bool SerialOpen() const;
    int ConnectTcp(const QString& host, int port);
    void DisconnectTcp();
    bool TcpConnected() const;

    SerialPortTable& Ports();

  public slots:
    // Makes every wait look at its condition again (the clock, the caller's flag). Waits
    // also look after each batch of events they process, so this is only needed when the
    // condition changes without any event, e.g. a test moving an injected clock.
    void Wake();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace sensorlink
