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

int Link::Impl::SerialStatus() const {
    if (serialError != 0) return serialError;
    return serial && serial->isOpen() ? 0 : static_cast<int>(QSerialPort::NotOpenError);
}

void Link::Impl::OnSerialReadyRead() {
    // Input of a transport that is not in use is nobody's reply.
    if (UsingTcp()) {
        if (serial) serial->readAll();
        return;
    }
    Pull();
    wait->Wake();
}

void Link::Impl::OnSerialError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
    if (serialError != 0) return;
    serialError = static_cast<int>(error);
    // After a hang-up the port keeps reporting read errors on every pass of the event loop;
    // closed, it is quiet, and the exchange that runs (or the next one) reports it once.
    // The port is closed from the event loop, not from inside its own error signal.
    QMetaObject::invokeMethod(
        &owner,
        [port = serial] {
            if (port && port->isOpen()) port->close();
        },
        Qt::QueuedConnection);
    wait->Wake();
}

void Link::Impl::DropSerial() {
    if (!serial) return;
    QObject::disconnect(serial, nullptr, &owner, nullptr);
    serial->close();
    serial->deleteLater();
    serial = nullptr;
    wait->Wake();
}

int Link::OpenSerialPort(int comPort, std::uint16_t baudIndex) {
    Impl& d = *impl_;
    if (d.Aborted()) return serial_result::kUnknownSystemError;
    CloseSerialPort();
    d.serialError = 0;

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
    connect(port, &QSerialPort::readyRead, this, [&d] { d.OnSerialReadyRead(); });
    connect(port, &QSerialPort::errorOccurred, this,
            [&d](QSerialPort::SerialPortError error) { d.OnSerialError(error); });
    d.serial = port;
    return 0;
}

void Link::CloseSerialPort() {
    impl_->DropSerial();
}

bool Link::SerialOpen() const {
    return impl_->serial && impl_->serial->isOpen() && impl_->serialError == 0;
}

// --- TCP ---------------------------------------------------------------------------------

void Link::Impl::OnTcpConnected() {
    tcpUp = true;
    // Frames are small and answered one by one: no waiting for a full segment.
    if (tcp) tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    wait->Wake();
}

void Link::Impl::OnTcpReadyRead() {
    if (!tcp || tcpDraining) return;
    if (!UsingTcp()) {
        tcp->readAll();
        return;
    }
    // Into the assembler as much as it has room for; the rest waits in the socket until
    // frames have been taken.
    Pull();
    wait->Wake();
}

void Link::Impl::OnTcpError(QAbstractSocket::SocketError error) {
    // The drain's look into the socket ends with a time-out "error"; it means nothing.
    if (error == QAbstractSocket::SocketTimeoutError && tcpUp) return;
    if (!tcpUp) tcpConnectFailed = true;
    wait->Wake();
}

void Link::Impl::OnTcpDisconnected() {
    const bool wasUp = tcpUp;
    tcpUp = false;
    wait->Wake();
    if (!wasUp) return;
    ++closedReports;
    Fail(kServerClosedText);
}

void Link::Impl::DrainTcp() {
    if (!tcp) return;
    QPointer<QTcpSocket> socket = tcp;
    tcpDraining = true;
    // Also after the server closed: what it sent before stays readable, and must not be
    // taken for the reply to a request that never went out.
    if (socket->isOpen()) socket->readAll();
    if (tcpUp && socket->state() == QAbstractSocket::ConnectedState) {
        // Bytes still in the system's buffer: look without waiting, a bounded number of times.
        for (int pass = 0; pass < 8 && socket && socket->waitForReadyRead(0); ++pass) {
            socket->readAll();
        }
    }
    tcpDraining = false;
}

void Link::Impl::DropTcp() {
    tcpUp = false;
    tcpConnectFailed = false;
    if (!tcp) return;
    QObject::disconnect(tcp, nullptr, &owner, nullptr);
    tcp->abort();
    tcp->deleteLater();
    tcp = nullptr;
    wait->Wake();
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
    d.tcp = socket;
    connect(socket, &QTcpSocket::connected, this, [&d] { d.OnTcpConnected(); });
    connect(socket, &QTcpSocket::readyRead, this, [&d] { d.OnTcpReadyRead(); });
    connect(socket, &QTcpSocket::disconnected, this, [&d] { d.OnTcpDisconnected(); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [&d](QAbstractSocket::SocketError error) { d.OnTcpError(error); });
    socket->connectToHost(name, static_cast<quint16>(port));

    QPointer<QTcpSocket> attempt = socket;
    QPointer<Link> guard(this);
    const auto end = d.WaitUntil(
        [&d, attempt] { return !attempt || d.tcp != attempt || d.tcpUp || d.tcpConnectFailed; },
        kConnectTimeoutSeconds);
    if (end == ui::WaitEnd::Destroyed || !guard) return tcp_result::kUnableToRegisterService;
    if (end == ui::WaitEnd::Aborted) {
        if (attempt && d.tcp == attempt) d.DropTcp();
        return tcp_result::kUnableToRegisterService;
    }
    if (!attempt || d.tcp != attempt) {
        failure = {tcp_result::kConnectionClosed,
                   QStringLiteral("Connecting to %1:%2 was cancelled.").arg(name).arg(port)};
    } else if (d.tcpUp) {
        d.assembler.Clear();
        return 0;
    } else if (d.tcpConnectFailed) {
        failure = TcpConnectFailure(attempt->error(), name, port, attempt->errorString());
        d.DropTcp();
    } else {
        failure = TcpConnectFailure(QAbstractSocket::SocketTimeoutError, name, port, {});
        d.DropTcp();
    }
    d.Fail(TcpConnectMessage(failure));
    return failure.result;
}

void Link::DisconnectTcp() {
    impl_->DropTcp();
}

bool Link::TcpConnected() const {
    return !impl_->TcpDown();
}

}  // namespace sensorlink
