#pragma once
// How a failed serial open or TCP connect is told to the user: the result code of the
// result tables (link_texts.h) and a line of detail naming what happened.

#include <QAbstractSocket>
#include <QSerialPort>
#include <QString>


namespace sensorlink {

struct OpenFailure {
    int result = 0;
    QString detail;
};

// `deviceAccessible`: the device file may be read and written by this user; Qt reports
// a port locked or held by another program as a permission error too, and this tells the
// two apart.
OpenFailure SerialOpenFailure(QSerialPort::SerialPortError error, const QString& device,
                              const QString& errorString, bool deviceAccessible);
OpenFailure TcpConnectFailure(QAbstractSocket::SocketError error, const QString& host, int port,
                              const QString& errorString);

// Table text of the result, then the detail on a line of its own.
QString SerialOpenMessage(const OpenFailure& failure);
QString TcpConnectMessage(const OpenFailure& failure);

}  // namespace sensorlink
