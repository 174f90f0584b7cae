// SimServer: the listening socket, the link to the pseudo-terminal, the trace file and the
// one SensorModel both transports share. The transports themselves are Channels
// (channel.h, tcp_channel.h, pty_channel.h).
#include "sim/server/sim_server.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>
#include <array>
#include <cerrno>
#include <cstring>

#include "link/frame.h"
#include "sim/server/pty_channel.h"
#include "sim/server/tcp_channel.h"

namespace sim {

namespace {

QString Hex(std::span<const std::uint8_t> bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() * 3));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) text += ' ';
        text += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

// The symbolic link that names the pseudo-terminal belongs to the server: it outlives a
// hang-up, when the link is moved to the fresh terminal.
bool RelinkPty(const QString& linkPath, const QString& device, QString* error) {
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st {};
    if (::lstat(link.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            if (error)
                *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
            return false;
        }
        ::unlink(link.constData());
    }
    if (::symlink(QFile::encodeName(device).constData(), link.constData()) != 0) {
        if (error) *error = QStringLiteral("cannot link %1: %2").arg(linkPath, strerror(errno));
        return false;
    }
    return true;
}

void RemoveLinkIfOurs(const QString& linkPath, const QString& device) {
    if (linkPath.isEmpty()) return;
    const QByteArray link = QFile::encodeName(linkPath);
    std::array<char, 4096> target{};
    const ssize_t n = ::readlink(link.constData(), target.data(), target.size() - 1);
    if (n > 0 &&
        QFile::decodeName(QByteArray(target.data(), static_cast<qsizetype>(n))) == device) {
        ::unlink(link.constData());
    }
}

}  // namespace

SimServer::SimServer(ServerOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), model_(options_.model) {
    clock_.start();
    if (!options_.tracePath.isEmpty()) {
        trace_.setFileName(options_.tracePath);
        if (trace_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            trace_.write(QStringLiteral("# velorax-sim trace, started %1; seconds since start, "
                                        "transport, direction, header fields, bytes\n")
                             .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
                             .toUtf8());
            trace_.flush();
        }
    }
    eepromGeneration_ = model_.EepromGeneration();
}

SimServer::~SimServer() {
    Stop();
}

double SimServer::Now() const {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

bool SimServer::StartTcp(quint16 port, const QHostAddress& host, QString* error) {
    if (!tcpServer_) {
        tcpServer_ = new QTcpServer(this);
        tcpServer_->setMaxPendingConnections(4);
        connect(tcpServer_, &QTcpServer::newConnection, this, &SimServer::OnNewTcpConnection);
    }
    if (tcpServer_->isListening()) tcpServer_->close();
    if (!tcpServer_->listen(host, port)) {
        if (error) *error = tcpServer_->errorString();
        return false;
    }
    return true;
}

quint16 SimServer::TcpPort() const {
    return tcpServer_ ? tcpServer_->serverPort() : 0;
}
QHostAddress SimServer::TcpAddress() const {
    return tcpServer_ ? tcpServer_->serverAddress() : QHostAddress();
}
bool SimServer::TcpClientConnected() const {
    return tcpChannel_ != nullptr;
}

void SimServer::OnNewTcpConnection() {
    while (QTcpSocket* socket = tcpServer_->nextPendingConnection()) {
        if (tcpChannel_) {
            // One client at a time, like the sensor's own server: the newcomer wins.
            auto* old = static_cast<TcpChannel*>(tcpChannel_);
            tcpChannel_ = nullptr;
            old->Socket()->disconnect(this);
            old->Socket()->abort();
            old->deleteLater();
        }
        auto* channel = new TcpChannel(*this, socket);
        tcpChannel_ = channel;
        connect(socket, &QTcpSocket::disconnected, this, [this, channel] {
            if (tcpChannel_ == channel) {
                tcpChannel_ = nullptr;
                emit TcpClientChanged(false);
            }
            channel->deleteLater();
        });
        emit TcpClientChanged(true);
        if (socket->bytesAvailable() > 0) emit socket->readyRead();
    }
}

bool SimServer::StartPty(const QString& linkPath, QString* error) {
    if (ptyChannel_) {
        if (error) *error = QStringLiteral("the pseudo-terminal is already open");
        return false;
    }
    auto* channel = new PtyChannel(*this, options_.baudEmulation);
    if (!channel->Open(error)) {
        delete channel;
        return false;
    }
    if (!RelinkPty(linkPath, channel->Device(), error)) {
        delete channel;
        return false;
    }
    ptyLink_ = linkPath;
    ptyDevice_ = channel->Device();
    channel->onReopened = [this, channel] {
        const QString previous = ptyDevice_;
        ptyDevice_ = channel->Device();
        RemoveLinkIfOurs(ptyLink_, previous);
        RelinkPty(ptyLink_, ptyDevice_, nullptr);
    };
    ptyChannel_ = channel;
    return true;
}

QString SimServer::PtyDevice() const {
    return ptyDevice_;
}
QString SimServer::PtyLink() const {
    return ptyLink_;
}
qint32 SimServer::PtyBaudRate() const {
    return ptyChannel_ ? static_cast<PtyChannel*>(ptyChannel_)->BaudRate() : 0;
}

void SimServer::Stop() {
    if (tcpChannel_) {
        auto* channel = static_cast<TcpChannel*>(tcpChannel_);
        tcpChannel_ = nullptr;
        channel->Socket()->disconnect(this);
        channel->Socket()->abort();
        delete channel;
    }
    if (tcpServer_) tcpServer_->close();
    if (ptyChannel_) {
        delete ptyChannel_;
        ptyChannel_ = nullptr;
        RemoveLinkIfOurs(ptyLink_, ptyDevice_);
        ptyLink_.clear();
        ptyDevice_.clear();
    }
    CheckEeprom();
}

void SimServer::PowerCycle() {
    for (Channel* channel : {tcpChannel_, ptyChannel_})
        if (channel) channel->ResetConnection();
}

void SimServer::CheckEeprom() {
    if (model_.EepromGeneration() == eepromGeneration_) return;
    eepromGeneration_ = model_.EepromGeneration();
    emit EepromChanged();
}

void SimServer::TraceFrame(const QString& transport, TraceDirection direction,
                           std::span<const std::uint8_t> bytes, double now) {
    if (!trace_.isOpen()) return;
    QString line = QStringLiteral("%1 %2 ").arg(now, 11, 'f', 6).arg(transport);
    if (direction == TraceDirection::kSkipped) {
        line += QStringLiteral("SKIP   %1 bytes").arg(bytes.size());
    } else {
        line += direction == TraceDirection::kToSensor ? QStringLiteral("PC>SIM ")
                                                       : QStringLiteral("SIM>PC ");
        if (bytes.size() >= sensorlink::kHeaderSize) {
            const sensorlink::FrameHeader h = sensorlink::ParseHeader(bytes.data());
            line += QStringLiteral("cmd=%1 par=%2 len=%3")
                        .arg(h.command)
                        .arg(h.parameter)
                        .arg(h.length);
        }
    }
    line += QStringLiteral(" | ") + Hex(bytes) + QLatin1Char('\n');
    trace_.write(line.toUtf8());
    trace_.flush();
}

}  // namespace sim
