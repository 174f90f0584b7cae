#include "ui/refresh.h"

#include <algorithm>
#include <utility>

namespace ui {

Refresh::Refresh(std::function<void()> work) : work_(std::move(work)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Flush(); });
}

void Refresh::Request() {
    pending_ = true;
    const qint64 wait =
        since_.isValid() ? std::max<qint64>(0, kIntervalMs - since_.elapsed()) : 0;
    if (timer_.isActive() && (wait > 0 || timer_.remainingTime() == 0)) return;
    timer_.start(static_cast<int>(wait));
}

void Refresh::Flush() {
    if (!pending_) return;
    pending_ = false;
    timer_.stop();
    since_.start();
    work_();
}

}  // namespace ui
