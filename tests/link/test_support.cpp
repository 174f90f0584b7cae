#include "test_support.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "link/frame.h"
#include "ui/wait.h"

namespace linktest {

QByteArray Bytes(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

std::vector<std::uint16_t> Words(const sensorlink::Exchange& reply) {
    std::vector<std::uint16_t> words(reply.payload.size() / 2);
    sensorlink::UnpackWordsInto(reply.payload.data(), reply.payload.size(), words.data(),
                                words.size());
    return words;
}

QByteArray Frame(std::uint8_t command, std::uint16_t parameter,
                 const std::vector<std::uint16_t>& words) {
    return Bytes(sensorlink::MakeWordFrame(command, parameter, words));
}

void ScriptedPeer::Feed(const QByteArray& incoming) {
    pending_ += incoming;
    while (pending_.size() >= static_cast<qsizetype>(sensorlink::kHeaderSize)) {
        const auto* header = reinterpret_cast<const std::uint8_t*>(pending_.constData());
        const qsizetype size =
            static_cast<qsizetype>(sensorlink::kHeaderSize) + sensorlink::ReadWord(header + 4);
        if (pending_.size() < size) return;
        requests.append(pending_.left(size));
        pending_.remove(0, size);
        if (!scripts_.empty()) {
            auto script = std::make_shared<Script>(std::move(scripts_.front()));
            scripts_.pop_front();
            Play(script, 0);
        }
    }
}

void ScriptedPeer::Play(std::shared_ptr<Script> script, std::size_t index) {
    if (index >= script->size()) return;
    const Step& step = (*script)[index];
    auto run = [this, script, index] {
        const Step& s = (*script)[index];
        if (s.before) s.before();
        if (!s.bytes.isEmpty()) Send(s.bytes);
        if (s.hangUp) HangUp();
        Play(script, index + 1);
    };
    if (step.delayMs == 0) {
        run();
    } else {
        QTimer::singleShot(step.delayMs, &context_, run);
    }
}

// --- TCP ---------------------------------------------------------------------------------

struct TcpPeer::State {
    QTcpServer server;
    QPointer<QTcpSocket> client;
};

TcpPeer::TcpPeer() : state_(std::make_unique<State>()) {
    state_->server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&state_->server, &QTcpServer::newConnection, &context_, [this] {
        while (QTcpSocket* socket = state_->server.nextPendingConnection()) {
            if (state_->client) state_->client->abort();
            state_->client = socket;
            // Each write goes out at once, as a sensor sends: a small write after another
            // would otherwise wait for the first one's acknowledgement.
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            QObject::connect(socket, &QTcpSocket::readyRead, &context_,
                             [this, socket] { Feed(socket->readAll()); });
        }
    });
}

TcpPeer::~TcpPeer() {
    if (state_->client) state_->client->abort();
}

quint16 TcpPeer::Port() const {
    return state_->server.serverPort();
}

bool TcpPeer::HasClient() const {
    return state_->client && state_->client->state() == QAbstractSocket::ConnectedState;
}

void TcpPeer::Send(const QByteArray& bytes) {
    if (!state_->client) return;
    state_->client->write(bytes);
    state_->client->flush();  // into the system's buffer now, not on the next event pass
}

void TcpPeer::HangUp() {
    if (state_->client) state_->client->disconnectFromHost();
}

// --- pseudo-terminal ---------------------------------------------------------------------

struct PtyPeer::State {
    int master = -1;
    int slave = -1;  // kept open so that the master never sees a hang-up of its own
    QString slavePath;
    std::unique_ptr<QSocketNotifier> notifier;
};

PtyPeer::PtyPeer() : state_(std::make_unique<State>()) {
    char name[256] = {};
    if (openpty(&state_->master, &state_->slave, name, nullptr, nullptr) != 0) return;
    termios raw{};
    tcgetattr(state_->slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(state_->slave, TCSANOW, &raw);
    fcntl(state_->master, F_SETFL, fcntl(state_->master, F_GETFL) | O_NONBLOCK);
    state_->slavePath = QString::fromLocal8Bit(name);
    state_->notifier = std::make_unique<QSocketNotifier>(state_->master, QSocketNotifier::Read);
    QObject::connect(state_->notifier.get(), &QSocketNotifier::activated, &context_, [this] {
        char buffer[4096];
        const ssize_t got = ::read(state_->master, buffer, sizeof buffer);
        if (got > 0) {
            Feed(QByteArray(buffer, static_cast<qsizetype>(got)));
        } else if (got == 0 || errno != EAGAIN) {
            state_->notifier->setEnabled(false);
        }
    });
}

PtyPeer::~PtyPeer() {
    state_->notifier.reset();
    if (state_->master >= 0) ::close(state_->master);
    if (state_->slave >= 0) ::close(state_->slave);
}

bool PtyPeer::Ok() const {
    return state_->master >= 0;
}

QString PtyPeer::SlavePath() const {
    return state_->slavePath;
}

void PtyPeer::Send(const QByteArray& bytes) {
    if (state_->master < 0) return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(state_->master, bytes.constData() + done,
                                  static_cast<std::size_t>(bytes.size() - done));
        if (n <= 0) break;
        done += n;
    }
}

void PtyPeer::HangUp() {
    state_->notifier.reset();
    if (state_->master >= 0) ::close(state_->master);
    state_->master = -1;
}

}  // namespace linktest
