#include "sim/server/pty_channel.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "link/commands.h"
#include "sim/server/sim_server.h"

namespace sim {

PtyChannel::PtyChannel(SimServer& server, bool pacing)
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

PtyChannel::~PtyChannel() {
    Close();
}

bool PtyChannel::Open(QString* error) {
    // Close-on-exec, both sides: a process started later (a test starts the client, a
    // broker, ...) would otherwise hold the line open, and closing it here would hang up
    // nobody.
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
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
    slave_ = ::open(name ? name : "", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
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

void PtyChannel::Close() {
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

void PtyChannel::Received(std::span<const std::uint8_t> bytes) {
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

bool PtyChannel::Write(const Emission& e) {
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

void PtyChannel::CatchUp(double now) {
    if (!pacing_) return;
    TakeInput(now);
    Flush(now);
}

void PtyChannel::Reschedule() {
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

void PtyChannel::SetBaudRate(std::int32_t baudRate) {
    in_.SetBaudRate(baudRate);
    out_.SetBaudRate(baudRate);
}

void PtyChannel::ReadMaster() {
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

void PtyChannel::TakeInput(double now) {
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

void PtyChannel::Flush(double now) {
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

void PtyChannel::Reopen() {
    Close();
    ResetConnection();
    QString error;
    if (Open(&error) && onReopened) onReopened();
}

}  // namespace sim
