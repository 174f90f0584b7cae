#pragma once
// PreciseWake: a single-shot wake-up at a model time, to the microsecond, for the paced
// pseudo-terminal. It is a timerfd on the monotonic clock watched by the event loop:
// QTimer counts whole milliseconds, which is coarser than a byte on a fast line (87 us at
// 115200 baud). Arming it again moves the wake-up. Without a timerfd it falls back to a
// millisecond timer rounded up, which still never wakes early.

#include <QObject>
#include <QTimer>
#include <functional>

class QSocketNotifier;

namespace sim {

class SimServer;

class PreciseWake : public QObject {
  public:
    PreciseWake(const SimServer& server, QObject* parent);
    ~PreciseWake() override;

    void StartAt(double modelSeconds);
    void Stop();

    std::function<void()> onFire;

  private:
    const SimServer& server_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer fallback_;
};

}  // namespace sim
