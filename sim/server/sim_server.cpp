#include "sim/server/sim_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <QDateTime>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>

#include "link/frame.h"
#include "sim/model/paced_line.h"

namespace sim {

// One transport's end of the line: feeds what arrives into its Connection and writes what
// the Connection hands out, at the time it is due.
class Channel : public QObject {
  public:
    Channel(SimServer& server, QString name)
        : QObject(&server), server_(server), name_(std::move(name)) {
        connection_ = std::make_unique<Connection>(server.model_);
        connection_->SetTraceHook([this](TraceDirection d, std::span<const std::uint8_t> b,
                                         double now) { server_.TraceFrame(name_, d, b, now); });
        wake_.setSingleShot(true);
        wake_.setTimerType(Qt::PreciseTimer);
        connect(&wake_, &QTimer::timeout, this, [this] { Pump(); });
    }

    virtual void Received(std::span<const std::uint8_t> bytes) {
        connection_->Feed(bytes, server_.Now());
        Pump();
    }

    void Pump() {
        const double now = server_.Now();
        // Whatever the line has let through by now goes first, so the Connection never
        // sees a time earlier than one it was already asked at.
        CatchUp(now);
        for (Emission& e : connection_->TakeDue(now)) {
            if (!Write(e)) break;
        }
        server_.CheckEeprom();
        Reschedule();
    }

    // A fresh conversation (new client, new pseudo-terminal): nothing carries over.
    void ResetConnection() {
        auto hook = [this](TraceDirection d, std::span<const std::uint8_t> b, double now) {
            server_.TraceFrame(name_, d, b, now);
        };
        connection_ = std::make_unique<Connection>(server_.model_);
        connection_->SetTraceHook(hook);
        wake_.stop();
    }

  protected:
    // Writes one emission; false when the line was closed and the rest must be dropped.
    virtual bool Write(const Emission& e) = 0;
    // Input and output that have become due by `now` on a paced line.
    virtual void CatchUp(double /*now*/) {}

    virtual void Reschedule() {
        const double now = server_.Now();
        const auto wake = connection_->NextWakeup(now);
        if (!wake) {
            wake_.stop();
            return;
        }
        const double ms = std::ceil((*wake - now) * 1000.0);
        wake_.start(static_cast<int>(std::clamp(ms, 0.0, 3600e3)));
    }

    SimServer& server_;
    QString name_;
    std::unique_ptr<Connection> connection_;
    QTimer wake_;
};

namespace {

// A client that does not read must not make the simulator eat all memory.
constexpr qint64 kMaxPendingOutput = 8 * 1024 * 1024;

class TcpChannel : public Channel {
  public:
    TcpChannel(SimServer& server, QTcpSocket* socket) : Channel(server, "tcp"), socket_(socket) {
        socket_->setParent(this);
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket_, &QTcpSocket::readyRead, this, [this] {
            const QByteArray data = socket_->readAll();
            Received(std::span<const std::uint8_t>(
                reinterpret_cast<const std::uint8_t*>(data.constData()),
                static_cast<std::size_t>(data.size())));
        });
    }
    QTcpSocket* Socket() const { return socket_; }

  protected:
    bool Write(const Emission& e) override {
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

  private:
    QTcpSocket* socket_;
};

// A single-shot wake-up at a model time, to the microsecond: a timerfd on the monotonic
// clock watched by the event loop. QTimer counts whole milliseconds, which is coarser than
// a byte on a fast line (87 us at 115200 baud). Arming it again moves the wake-up.
class PreciseWake : public QObject {
  public:
    PreciseWake(const SimServer& server, QObject* parent) : QObject(parent), server_(server) {
        fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd_ >= 0) {
            notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
            connect(notifier_, &QSocketNotifier::activated, this, [this] {
                std::uint64_t expirations = 0;
                [[maybe_unused]] const auto n = ::read(fd_, &expirations, sizeof expirations);
                if (onFire) onFire();
            });
        } else {
            // No timerfd: the millisecond timer, rounded up, still never wakes early.
            fallback_.setSingleShot(true);
            fallback_.setTimerType(Qt::PreciseTimer);
            connect(&fallback_, &QTimer::timeout, this, [this] {
                if (onFire) onFire();
            });
        }
    }
    ~PreciseWake() override {
        if (notifier_) notifier_->setEnabled(false);
        if (fd_ >= 0) ::close(fd_);
    }

    void StartAt(double modelSeconds) {
        if (fd_ < 0) {
            const double ms = std::ceil((modelSeconds - server_.Now()) * 1000.0);
            fallback_.start(static_cast<int>(std::clamp(ms, 0.0, 3600e3)));
            return;
        }
        // Rounded up by a microsecond: at the wake-up the model time is past the due time,
        // whatever the conversion between the two clocks rounded.
        timespec monotonic{};
        ::clock_gettime(CLOCK_MONOTONIC, &monotonic);
        const double ahead = std::clamp(modelSeconds - server_.Now(), 0.0, 3600.0);
        const std::int64_t ns = static_cast<std::int64_t>(monotonic.tv_sec) * 1000000000 +
                                monotonic.tv_nsec + static_cast<std::int64_t>(ahead * 1e9) + 1000;
        itimerspec spec{};
        spec.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
        spec.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
        ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &spec, nullptr);
    }

    void Stop() {
        if (fd_ < 0) {
            fallback_.stop();
            return;
        }
        itimerspec none{};
        ::timerfd_settime(fd_, 0, &none, nullptr);
    }

    std::function<void()> onFire;

  private:
    const SimServer& server_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer fallback_;
};

// The pseudo-terminal. With baud emulation both directions run through a PacedLine: a
// request is taken once its last byte would have come through at the current rate, and
// reply bytes leave no earlier than the wire would let them through. One precise wake-up
// serves both directions and the Connection's own timers.
class PtyChannel : public Channel {
  public:
    PtyChannel(SimServer& server, bool pacing)
        : Channel(server, "pty"),
          pacing_(pacing),
          in_(pacing),
          out_(pacing),
          preciseWake_(server, this) {
        preciseWake_.onFire = [this] { Pump(); };
        retryRead_.setSingleShot(true);
        retryRead_.setInterval(100);
        connect(&retryRead_, &QTimer::timeout, this, [this] {
            if (readNotifier_) readNotifier_->setEnabled(true);
        });
    }
    ~PtyChannel() override { Close(); }

    bool Open(QString* error) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            if (error)
                *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(strerror(errno));
            Close();
            return false;
        }
        const char* name = ::ptsname(master_);
        device_ = name ? QString::fromLocal8Bit(name) : QString();
        // Holding the slave open keeps the master readable while no client is attached
        // (otherwise reads fail with EIO between two clients).
        slave_ = ::open(name ? name : "", O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (slave_ < 0) {
            if (error) *error = QStringLiteral("cannot open %1: %2").arg(device_, strerror(errno));
            Close();
            return false;
        }
        termios tio{};
        if (::tcgetattr(slave_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::cfsetispeed(&tio, B115200);
            ::cfsetospeed(&tio, B115200);
            ::tcsetattr(slave_, TCSANOW, &tio);
        }
        readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
        connect(readNotifier_, &QSocketNotifier::activated, this, [this] { ReadMaster(); });
        writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
        writeNotifier_->setEnabled(false);
        connect(writeNotifier_, &QSocketNotifier::activated, this, [this] {
            writeNotifier_->setEnabled(false);
            if (pacing_) {
                Pump();
            } else {
                Flush(server_.Now());
            }
        });
        SetBaudRate(sensorlink::BaudRate(server_.Model().CurrentBaudIndex()));
        return true;
    }

    void Close() {
        // The notifiers may be the ones whose signal is running right now: let the event
        // loop delete them.
        for (QSocketNotifier* n : {readNotifier_, writeNotifier_}) {
            if (!n) continue;
            n->setEnabled(false);
            n->deleteLater();
        }
        readNotifier_ = writeNotifier_ = nullptr;
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
        master_ = slave_ = -1;
        in_.Clear();
        out_.Clear();
        inputHeld_ = false;
        preciseWake_.Stop();
    }

    const QString& Device() const { return device_; }
    qint32 BaudRate() const { return out_.BaudRate(); }
    std::function<void()> onReopened;

    void Received(std::span<const std::uint8_t> bytes) override {
        if (!pacing_) {
            Channel::Received(bytes);
            return;
        }
        // Bytes read together arrived together: they follow each other on the wire.
        PacedLine::Run run;
        run.bytes.assign(bytes.begin(), bytes.end());
        run.ready = server_.Now();
        in_.Push(std::move(run));
        Pump();
    }

  protected:
    bool Write(const Emission& e) override {
        if (master_ < 0) return false;
        PacedLine::Run run;
        run.bytes = e.bytes;
        run.ready = e.due;
        run.singleBytes = e.split;
        run.baudAfter = e.baudAfter;
        run.hangUp = e.closeAfter;
        if (out_.QueuedBytes() + run.bytes.size() > static_cast<std::size_t>(kMaxPendingOutput)) {
            run.bytes.clear();  // nobody reads the terminal: drop rather than grow
        }
        out_.Push(std::move(run));
        Flush(server_.Now());
        return !e.closeAfter;
    }

    void CatchUp(double now) override {
        if (!pacing_) return;
        TakeInput(now);
        Flush(now);
    }

    void Reschedule() override {
        if (!pacing_) {
            Channel::Reschedule();
            return;
        }
        std::optional<double> wake = connection_->NextWakeup(server_.Now());
        const auto consider = [&wake](std::optional<double> due) {
            if (due && (!wake || *due < *wake)) wake = due;
        };
        consider(in_.NextDue());
        // A full terminal wakes us through the write notifier instead.
        const bool blocked = writeNotifier_ && writeNotifier_->isEnabled();
        if (!blocked) consider(out_.NextDue());
        if (wake) {
            preciseWake_.StartAt(*wake);
        } else {
            preciseWake_.Stop();
        }
    }

  private:
    // Input queued beyond this (more than any request) stays in the terminal until the
    // line has taken what came before: a client that writes faster than the wire is held
    // back as by a real port.
    static constexpr std::size_t kMaxQueuedInput = 4096;

    void SetBaudRate(std::int32_t baudRate) {
        in_.SetBaudRate(baudRate);
        out_.SetBaudRate(baudRate);
    }

    void ReadMaster() {
        std::array<std::uint8_t, 4096> buffer{};
        for (;;) {
            if (pacing_ && in_.QueuedBytes() >= kMaxQueuedInput) {
                if (readNotifier_) readNotifier_->setEnabled(false);
                inputHeld_ = true;
                return;
            }
            const ssize_t n = ::read(master_, buffer.data(), buffer.size());
            if (n > 0) {
                Received(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
                if (master_ < 0) return;
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
            // EIO or end: no slave side at the moment; look again a little later instead
            // of spinning on a notifier that stays active.
            if (readNotifier_) readNotifier_->setEnabled(false);
            retryRead_.start();
            return;
        }
    }

    // Hands the Connection each byte the line has let through by `now`, at the model time
    // it was through, so a request counts from the moment its last byte arrived.
    void TakeInput(double now) {
        for (;;) {
            const auto due = in_.DueBytes(now);
            if (due.empty()) {
                if (!in_.TakeFinished()) break;
                continue;
            }
            for (std::size_t i = 0; i < due.size(); ++i) {
                connection_->Feed(due.subspan(i, 1), in_.ThroughAt(i));
            }
            in_.Consume(due.size());
        }
        if (inputHeld_ && in_.QueuedBytes() < kMaxQueuedInput / 2 && readNotifier_) {
            inputHeld_ = false;
            readNotifier_->setEnabled(true);
        }
    }

    // Writes what is due by `now`.
    void Flush(double now) {
        while (master_ >= 0) {
            if (auto done = out_.TakeFinished()) {
                if (done->baudAfter) SetBaudRate(*done->baudAfter);
                if (done->hangUp) {
                    Reopen();
                    return;
                }
                continue;
            }
            const auto due = out_.DueBytes(now);
            if (due.empty()) return;
            const ssize_t written = ::write(master_, due.data(), due.size());
            if (written < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    writeNotifier_->setEnabled(true);
                    return;
                }
                out_.Clear();
                return;
            }
            out_.Consume(static_cast<std::size_t>(written));
        }
    }

    // A hang-up: the client's device goes away; a fresh terminal takes the link's place.
    void Reopen() {
        Close();
        ResetConnection();
        QString error;
        if (Open(&error) && onReopened) onReopened();
    }

    bool pacing_;
    int master_ = -1;
    int slave_ = -1;
    QString device_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QTimer retryRead_;
    PacedLine in_;
    PacedLine out_;
    bool inputHeld_ = false;
    PreciseWake preciseWake_;
};

QString Hex(std::span<const std::uint8_t> bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() * 3));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) text += ' ';
        text += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

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
