#include "sim/server/tcp_channel.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <span>

namespace sim {

TcpChannel::TcpChannel(SimServer& server, QTcpSocket* socket)
    : Channel(server, "tcp"), socket_(socket) {
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, [this] {
        const QByteArray data = socket_->readAll();
        Received(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                          static_cast<std::size_t>(data.size())));
    });
}

bool TcpChannel::Write(const Emission& e) {
    if (socket_->state() != QAbstractSocket::ConnectedState) return false;
    if (socket_->bytesToWrite() < kMaxPendingOutput) {
        const auto* data = reinterpret_cast<const char*>(e.bytes.data());
        if (e.split) {
            for (std::size_t i = 0; i < e.bytes.size(); ++i) {
                socket_->write(data + i, 1);
                socket_->flush();
            }
        } else if (!e.bytes.empty()) {
            socket_->write(data, static_cast<qint64>(e.bytes.size()));
        }
    }
    if (e.closeAfter) {
        socket_->flush();
        socket_->disconnectFromHost();
        return false;
    }
    return true;
}

}  // namespace sim
