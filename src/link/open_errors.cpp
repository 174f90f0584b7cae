#include "link/open_errors.h"

#include <array>

#include "link/link_texts.h"

namespace sensorlink {
namespace {

// %1 device or host, %2 port, %3 the system's own words.
struct SerialRow {
    QSerialPort::SerialPortError error;
    int result;
    const char* detail;
};

constexpr std::array kSerialRows{
    SerialRow{QSerialPort::DeviceNotFoundError, serial_result::kNoSerialPort,
              "Device not found: %1"},
    SerialRow{QSerialPort::PermissionError, serial_result::kCannotOpenPort,
              "Permission denied on %1: add your user to the dialout group."},
    SerialRow{QSerialPort::OpenError, serial_result::kCannotOpenPort,
              "%1 is busy or locked by another program."},
    SerialRow{QSerialPort::UnsupportedOperationError, serial_result::kInvalidBaudrate,
              "%1 does not accept the line settings: %3"},
    SerialRow{QSerialPort::NotOpenError, serial_result::kPortNotOpen, "%1: %3"},
    SerialRow{QSerialPort::ResourceError, serial_result::kUnknownIoError, "%1: %3"},
    SerialRow{QSerialPort::ReadError, serial_result::kUnknownIoError, "%1: %3"},
    SerialRow{QSerialPort::WriteError, serial_result::kUnknownIoError, "%1: %3"},
    SerialRow{QSerialPort::TimeoutError, serial_result::kTimeout, "%1: %3"},
};
constexpr SerialRow kSerialOtherRow{QSerialPort::UnknownError, serial_result::kUnknownSystemError,
                                    "%1: %3"};

struct TcpRow {
    QAbstractSocket::SocketError error;
    int result;
    const char* detail;
};

constexpr std::array kTcpRows{
    TcpRow{QAbstractSocket::ConnectionRefusedError, tcp_result::kFailedToConnect,
           "Connection refused by %1:%2"},
    TcpRow{QAbstractSocket::HostNotFoundError, tcp_result::kUnableToEstablishConnection,
           "Host name not found: %1"},
    TcpRow{QAbstractSocket::SocketTimeoutError, tcp_result::kTimeOutError,
           "No answer from %1:%2 within 5 s"},
    TcpRow{QAbstractSocket::RemoteHostClosedError, tcp_result::kConnectionClosed,
           "Connection closed by %1:%2"},
    TcpRow{QAbstractSocket::NetworkError, tcp_result::kUnableToEstablishConnection,
           "Network error on the way to %1:%2: %3"},
    TcpRow{QAbstractSocket::SocketAccessError, tcp_result::kUnableToRegisterService,
           "Not allowed to connect to %1:%2: %3"},
    TcpRow{QAbstractSocket::SocketResourceError, tcp_result::kOutOfMemory, "%3"},
    TcpRow{QAbstractSocket::UnsupportedSocketOperationError, tcp_result::kInvalidParameter,
           "%1:%2: %3"},
    TcpRow{QAbstractSocket::SocketAddressNotAvailableError, tcp_result::kInvalidParameter,
           "%1:%2: %3"},
};
constexpr TcpRow kTcpOtherRow{QAbstractSocket::UnknownSocketError, tcp_result::kFailedToConnect,
                              "%1:%2: %3"};

template <typename Row, std::size_t N, typename Error>
const Row& FindRow(const std::array<Row, N>& rows, Error error, const Row& otherwise) {
    for (const Row& row : rows) {
        if (row.error == error) return row;
    }
    return otherwise;
}

QString Detail(const char* pattern, const QString& where, int port, const QString& said) {
    QString text = QString::fromLatin1(pattern);
    text.replace(QLatin1String("%1"), where);
    text.replace(QLatin1String("%2"), QString::number(port));
    text.replace(QLatin1String("%3"), said);
    return text;
}

QString Join(std::string_view tableText, const QString& detail) {
    QString message = QString::fromUtf8(tableText.data(), static_cast<qsizetype>(tableText.size()));
    if (!detail.isEmpty()) message += QLatin1Char('\n') + detail;
    return message;
}

}  // namespace

OpenFailure SerialOpenFailure(QSerialPort::SerialPortError error, const QString& device,
                              const QString& errorString, bool deviceAccessible) {
    if (error == QSerialPort::PermissionError && deviceAccessible) error = QSerialPort::OpenError;
    const SerialRow& row = FindRow(kSerialRows, error, kSerialOtherRow);
    return {row.result, Detail(row.detail, device, 0, errorString)};
}

OpenFailure TcpConnectFailure(QAbstractSocket::SocketError error, const QString& host, int port,
                              const QString& errorString) {
    const TcpRow& row = FindRow(kTcpRows, error, kTcpOtherRow);
    return {row.result, Detail(row.detail, host, port, errorString)};
}

QString SerialOpenMessage(const OpenFailure& failure) {
    return Join(SerialOpenResultText(failure.result), failure.detail);
}

QString TcpConnectMessage(const OpenFailure& failure) {
    return Join(TcpConnectResultText(failure.result), failure.detail);
}

}  // namespace sensorlink
