// The two transports of the link: a serial port (QSerialPort) and a TCP client
// (QTcpSocket). Both are driven by the event loop only; nothing here blocks.

#include <QFileInfo>
#include <algorithm>

#include "link/commands.h"
#include "link/link.h"
#include "link/link_impl.h"
#include "link/link_texts.h"
#include "link/open_errors.h"

namespace sensorlink {

// --- serial port -------------------------------------------------------------------------

int SerialTransport::LineStatus() const {
    if (error != 0) return error;
    return port && port->isOpen() ? 0 : static_cast<int>(QSerialPort::NotOpenError);
}

void SerialTransport::DropInput() {
    if (!Down()) port->clear(QSerialPort::AllDirections);
}

void SerialTransport::Write(const char* bytes, qint64 count) {
    port->write(bytes, count);
    port->flush();
}

void SerialTransport::OnReadyRead() {
    events_.Arrived(*this);
}

void SerialTransport::OnError(QSerialPort::SerialPortError e) {
    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError) return;
    if (error != 0) return;
    error = static_cast<int>(e);
    // After a hang-up the port keeps reporting read errors on every pass of the event loop;
    // closed, it is quiet, and the exchange that runs (or the next one) reports it once.
    // The port is closed from the event loop, not from inside its own error signal.
    QMetaObject::invokeMethod(
        &context_,
        [p = port] {
            if (p && p->isOpen()) p->close();
        },
        Qt::QueuedConnection);
    events_.Changed();
}

void SerialTransport::Drop() {
    if (!port) return;
    QObject::disconnect(port, nullptr, &context_, nullptr);
    port->close();
    port->deleteLater();
    port = nullptr;
    events_.Changed();
}

int Link::OpenSerialPort(int comPort, std::uint16_t baudIndex) {
    Impl& d = *impl_;
    if (d.Aborted()) return serial_result::kUnknownSystemError;
    CloseSerialPort();
    d.serial.error = 0;

    const QString device = d.ports.Device(comPort);
    if (device.isEmpty()) {
        const OpenFailure failure =
            d.ports.AbsentAdapter(comPort)
                ? OpenFailure{serial_result::kNoSerialPort,
                              QStringLiteral("The USB adapter of port %1 is not plugged in.")
                                  .arg(comPort)}
                : OpenFailure{serial_result::kInvalidPortNumber,
                              QStringLiteral("No serial device has the number %1.").arg(comPort)};
        d.Fail(SerialOpenMessage(failure));
        return failure.result;
    }

    auto* port = new QSerialPort(this);
    port->setPortName(device);
    port->setBaudRate(BaudRate(baudIndex));
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        const QFileInfo file(device);
        const bool accessible = file.exists() && file.isReadable() && file.isWritable();
        const OpenFailure failure =
            SerialOpenFailure(port->error(), device, port->errorString(), accessible);
        delete port;
        d.Fail(SerialOpenMessage(failure));
        return failure.result;
    }
    port->clear(QSerialPort::AllDirections);
    d.assembler.Clear();
    SerialTransport& serial = d.serial;
    connect(port, &QSerialPort::readyRead, this, [&serial] { serial.OnReadyRead(); });
    connect(port, &QSerialPort::errorOccurred, this,
            [&serial](QSerialPort::SerialPortError error) { serial.OnError(error); });
    serial.port = port;
    return 0;
}

void Link::CloseSerialPort() {
    impl_->serial.Drop();
}

bool Link::SerialOpen() const {
    return !impl_->serial.Down();
}

// --- TCP ---------------------------------------------------------------------------------

void TcpTransport::OnConnected() {
    up = true;
    // Frames are small and answered one by one: no waiting for a full segment.
    if (socket) socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    events_.Changed();
}

void TcpTransport::OnReadyRead() {
    if (!socket || draining) return;
    // Into the assembler as much as it has room for; the rest waits in the socket until
    // frames have been taken.
    events_.Arrived(*this);
}

void TcpTransport::OnError(QAbstractSocket::SocketError e) {
    // The drain's look into the socket ends with a time-out "error"; it means nothing.
    if (e == QAbstractSocket::SocketTimeoutError && up) return;
    if (!up) connectFailed = true;
    events_.Changed();
}

void TcpTransport::OnDisconnected() {
    const bool wasUp = up;
    up = false;
    if (!wasUp) {
        events_.Changed();
        return;
    }
    events_.ServerClosed(*this);
}

void TcpTransport::Write(const char* bytes, qint64 count) {
    socket->write(bytes, count);
    socket->flush();
}

void TcpTransport::DropInput() {
    if (!socket) return;
    QPointer<QTcpSocket> s = socket;
    draining = true;
    // Also after the server closed: what it sent before stays readable, and must not be
    // taken for the reply to a request that never went out.
    if (s->isOpen()) s->readAll();
    if (up && s->state() == QAbstractSocket::ConnectedState) {
        // Bytes still in the system's buffer: look without waiting, a bounded number of times.
        for (int pass = 0; pass < 8 && s && s->waitForReadyRead(0); ++pass) s->readAll();
    }
    draining = false;
}

void TcpTransport::Drop() {
    up = false;
    connectFailed = false;
    if (!socket) return;
    QObject::disconnect(socket, nullptr, &context_, nullptr);
    socket->abort();
    socket->deleteLater();
    socket = nullptr;
    events_.Changed();
}

int Link::ConnectTcp(const QString& host, int port) {
    Impl& d = *impl_;
    if (d.Aborted()) return tcp_result::kUnableToRegisterService;
    DisconnectTcp();
    d.closedClaimed = d.closedReports;  // a new connection: an old closure is no excuse

    const QString name = host.trimmed();
    OpenFailure failure;
    if (name.isEmpty()) {
        failure = {tcp_result::kInvalidParameter, QStringLiteral("No server name or address.")};
    } else if (port < 1 || port > 65535) {
        failure = {tcp_result::kInvalidParameter,
                   QStringLiteral("Port number out of range: %1").arg(port)};
    }
    if (failure.result < 0) {
        d.Fail(TcpConnectMessage(failure));
        return failure.result;
    }

    auto* socket = new QTcpSocket(this);
    TcpTransport& tcp = d.tcp;
    tcp.socket = socket;
    connect(socket, &QTcpSocket::connected, this, [&tcp] { tcp.OnConnected(); });
    connect(socket, &QTcpSocket::readyRead, this, [&tcp] { tcp.OnReadyRead(); });
    connect(socket, &QTcpSocket::disconnected, this, [&tcp] { tcp.OnDisconnected(); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [&tcp](QAbstractSocket::SocketError error) { tcp.OnError(error); });
    socket->connectToHost(name, static_cast<quint16>(port));

    QPointer<QTcpSocket> attempt = socket;
    QPointer<Link> guard(this);
    const auto end = d.WaitUntil(
        [&tcp, attempt] {
            return !attempt || tcp.socket != attempt || tcp.up || tcp.connectFailed;
        },
        kConnectTimeoutSeconds);
    if (end == ui::WaitEnd::Destroyed || !guard) return tcp_result::kUnableToRegisterService;
    if (end == ui::WaitEnd::Aborted) {
        if (attempt && tcp.socket == attempt) tcp.Drop();
        return tcp_result::kUnableToRegisterService;
    }
    if (!attempt || tcp.socket != attempt) {
        failure = {tcp_result::kConnectionClosed,
                   QStringLiteral("Connecting to %1:%2 was cancelled.").arg(name).arg(port)};
    } else if (tcp.up) {
        d.assembler.Clear();
        return 0;
    } else if (tcp.connectFailed) {
        failure = TcpConnectFailure(attempt->error(), name, port, attempt->errorString());
        tcp.Drop();
    } else {
        failure = TcpConnectFailure(QAbstractSocket::SocketTimeoutError, name, port, {});
        tcp.Drop();
    }
    d.Fail(TcpConnectMessage(failure));
    return failure.result;
}

void Link::DisconnectTcp() {
    impl_->tcp.Drop();
}

bool Link::TcpConnected() const {
    return !impl_->tcp.Down();
}

}  // namespace sensorlink
