#include "sim/server/precise_wake.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "sim/server/sim_server.h"

namespace sim {

PreciseWake::PreciseWake(const SimServer& server, QObject* parent)
    : QObject(parent), server_(server) {
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

PreciseWake::~PreciseWake() {
    if (notifier_) notifier_->setEnabled(false);
    if (fd_ >= 0) ::close(fd_);
}

void PreciseWake::StartAt(double modelSeconds) {
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
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
    expiry.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
    ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &expiry, nullptr);
}

void PreciseWake::Stop() {
    if (fd_ < 0) {
        fallback_.stop();
        return;
    }
    itimerspec none{};
    ::timerfd_settime(fd_, 0, &none, nullptr);
}

}  // namespace sim
