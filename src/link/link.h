#pragma once
// The exchange with the sensor over the open transport (serial port or TCP), and the two
// transports. One request, one reply; the caller is blocked but the user interface stays
// alive: every wait is a nested event loop with a deadline, woken by the transport.
// Failures are put into LinkState::message and handed to the FailureObserver (the shell's
// ReportLinkFailure); the link never touches a widget.
//
// Exchanges use the transport that LinkState::comProtocol names (0 serial, 1 TCP). Do not
// start an exchange from a slot of a device signal: run it from a control's callback or a
// queued call. Waiting costs no CPU: the thread sleeps until the transport, a timer or a
// user event wakes it.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "link/link_state.h"

namespace sensorlink {

class FailureObserver {
public:
    virtual ~FailureObserver() = default;
    virtual void ReportLinkFailure() = 0;
};

// Seconds from any fixed origin; tests inject a clock of their own.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double Seconds() = 0;
};

inline constexpr double kReplyTimeoutSeconds = 3.0;

class SerialPortTable;

class Link : public QObject {
    Q_OBJECT
public:
    Link(LinkState& state, FailureObserver& observer, QObject* parent = nullptr);
    ~Link() override;

    void SetClock(Clock* clock);  // nullptr: the steady clock

    // --- frame protocol -------------------------------------------------------------
    std::uint8_t BuildRequest(std::uint8_t command, std::uint16_t wordCount,
                              std::uint16_t parameter, std::uint16_t length);
    int Transact(int bytesToSend);  // 1 success, -1 failure (already reported)
    int ReceiveReplyHeader();
    int CheckReplyHeader();
    int ReceiveReplyData();
    void UnpackWords();  // reply payload -> state.words
    void UnpackReply();  // reply payload -> state.measurementWords

    // Puts `words` into the word buffer, builds the request and runs Transact.
    int Command(std::uint8_t command, std::uint16_t parameter,
                std::span<const std::uint16_t> words = {});

    // Waits, processing events, until at least `count` bytes are available (serial input
    // queue or the TCP bytes collected in the reply buffer), `keepWaiting` returns false,
    // the transport fails, or `timeoutSeconds` pass (negative: no limit). Returns the
    // bytes available; used by the waits above and by callers that read frames the sensor
    // sends on its own. `keepWaiting` is asked after every batch of events the wait
    // processes, so a flag cleared by a callback ends the wait at once; keep it cheap.
    // Returns -1 when the link was destroyed during the wait.
    int WaitForBytes(int count, double timeoutSeconds, const std::function<bool()>& keepWaiting);

    // Ends every wait at once; this and all later exchanges return -1 without a report.
    // Called when the program closes. QCoreApplication::quit() or exit() during a wait
    // has the same effect.
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
