#pragma once
// The two ways to the sensor behind one interface: a serial port (QSerialPort) and a TCP
// client (QTcpSocket). Inside of the link, not part of its interface: the exchange talks to
// the transport in use through Transport alone, and hears from both through
// TransportEvents. Both are driven by the event loop only; nothing here blocks.

#include <QAbstractSocket>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QTcpSocket>

namespace sensorlink {

// One way to the sensor as the exchange sees it: a serial port or a TCP connection. The
// exchange talks to the transport in use (Link::Impl::Active) through this alone; the other
// one, should it be open as well, is never read for a reply and never reports into a loop.
class Transport {
  public:
    virtual ~Transport() = default;
    // Not open or not connected, or its line failed.
    virtual bool Down() const = 0;
    // The device its bytes are read from while they may be taken; null otherwise.
    virtual QIODevice* Source() const = 0;
    // Drops all pending input, what the system still holds included.
    virtual void DropInput() = 0;
    virtual void Write(const char* bytes, qint64 count) = 0;
    // The line's error status: > 0 when the line failed (a serial port's first error since
    // it was opened). A TCP connection has none: its failures show as Down().
    virtual int LineStatus() const = 0;
};

// What a transport tells the exchange, from the signals of its device.
class TransportEvents {
  public:
    virtual ~TransportEvents() = default;
    virtual void Arrived(Transport& transport) = 0;  // bytes to read
    virtual void Changed() = 0;                      // connected, failed, closed: look again
    virtual void ServerClosed(Transport& transport) = 0;
};

class SerialTransport final : public Transport {
  public:
    // `context` owns the port and its connections (the link).
    SerialTransport(QObject& context, TransportEvents& events)
        : context_(context), events_(events) {}
    bool Down() const override { return !port || !port->isOpen() || error != 0; }
    QIODevice* Source() const override { return port.data(); }
    void DropInput() override;
    void Write(const char* bytes, qint64 count) override;
    int LineStatus() const override;

    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError e);
    void Drop();

    // Guarded: a callback that runs inside a wait may close the port.
    QPointer<QSerialPort> port;
    int error = 0;  // first error since the port was opened (QSerialPort code)

  private:
    QObject& context_;
    TransportEvents& events_;
};

class TcpTransport final : public Transport {
  public:
    TcpTransport(QObject& context, TransportEvents& events) : context_(context), events_(events) {}
    bool Down() const override {
        return !socket || !up || socket->state() != QAbstractSocket::ConnectedState;
    }
    QIODevice* Source() const override { return draining ? nullptr : socket.data(); }
    void DropInput() override;
    void Write(const char* bytes, qint64 count) override;
    int LineStatus() const override { return 0; }

    void OnConnected();
    void OnReadyRead();
    void OnError(QAbstractSocket::SocketError e);
    void OnDisconnected();
    void Drop();

    // Guarded: a callback that runs inside a wait may drop the connection.
    QPointer<QTcpSocket> socket;
    bool up = false;
    bool connectFailed = false;
    bool draining = false;

  private:
    QObject& context_;
    TransportEvents& events_;
};

}  // namespace sensorlink
