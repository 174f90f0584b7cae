#pragma once
// Inside of sensorlink::Link, shared by the exchange (link.cpp) and the transports
// (link_transports.cpp). Not part of the link's interface.

#include <QAbstractSocket>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QTcpSocket>
#include <functional>
#include <string_view>
#include <vector>

#include "link/link.h"
#include "link/serial_ports.h"

namespace sensorlink {

inline constexpr double kConnectTimeoutSeconds = 5.0;

class SteadyClock final : public Clock {
  public:
    double Seconds() override;
};

struct Link::Impl {
    // One wait in progress. Waits nest when a callback that runs inside a wait starts
    // another one (the scope's Break button).
    struct Waiter {
        QEventLoop loop;
        std::function<bool()> done;
        double start = 0;
        double timeout = -1;  // negative: no limit
        bool woken = false;   // quit by the link, not by QCoreApplication::exit()
    };
    enum class WaitEnd { Done, TimedOut, Aborted, Destroyed };

    Impl(Link& owner, LinkState& state, FailureObserver& observer);

    double Now() { return clock->Seconds(); }
    bool Ready(Waiter& waiter);
    static void Quit(Waiter& waiter);
    void WakeReady();
    void WakeAll();
    // Runs a nested event loop until `done` holds, the time runs out, the link is aborted
    // or destroyed. With Destroyed the Impl is gone and must not be touched.
    WaitEnd WaitUntil(std::function<bool()> done, double timeoutSeconds);

    // Message buffer = text, then the observer; nothing after Abort.
    void Fail(std::string_view text);
    void Fail(const QString& text);

    bool UsingTcp() const { return state.comProtocol == 1; }
    int Available();
    bool TransportDown() const;
    bool TcpDown() const;

    // serial port
    int SerialStatus() const;
    void ReadSerial(std::size_t offset, std::size_t count);
    void OnSerialError(QSerialPort::SerialPortError error);
    void DropSerial();

    // TCP
    void OnTcpConnected();
    void OnTcpReadyRead();
    void OnTcpError(QAbstractSocket::SocketError error);
    void OnTcpDisconnected();
    void DrainTcp();
    void DropTcp();

    Link& owner;
    LinkState& state;
    FailureObserver& observer;
    SteadyClock steadyClock;
    Clock* clock = &steadyClock;
    bool aborted = false;
    std::vector<Waiter*> waiters;
    QMetaObject::Connection idleHook;

    SerialPortTable ports;
    // Guarded: a callback that runs inside a wait may close the port or drop the socket.
    QPointer<QSerialPort> serial;
    int serialError = 0;  // first error since the port was opened (QSerialPort code)

    QPointer<QTcpSocket> tcp;
    bool tcpUp = false;
    bool tcpConnectFailed = false;
    bool tcpDraining = false;
};

}  // namespace sensorlink
