#pragma once
// Screen work done at most once per screen refresh, however often it is asked for: a loop
// that takes frames faster than the screen refreshes writes its displays once per refresh,
// not once per frame (a repaint of a few line edits costs more than a whole exchange with
// the sensor over a local network).
//
// A refresh that is due runs kSettleMs later: in a sensor loop that is just after the next
// request went out, while the sensor is busy answering. Not at the very next pass of the
// event loop: the request is then still on its way through this machine (the terminal
// driver's work that hands it on, or the simulated sensor woken to read it), which may wait
// for this core, and a paint before it holds up the reply by as long as it takes. Work asked
// for before its interval has passed is not run by a timer in the middle of an exchange
// (where it would hold up taking the reply and sending the next request): the next request
// for it after the interval, the next frame of a fast loop, brings it forward to kSettleMs
// after that moment. A timer kGraceMs after the interval runs it when no further request
// comes.
//
// Work for a page or panel in the back waits until it is shown (ShownIn): a loop does not
// lay out or paint what nobody sees.

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace ui {

// Calls back each time `area` is shown (a page of a tab control brought to the front, a panel
// opened), for as long as it lives.
class WhenShown {
  public:
    WhenShown(QWidget* area, std::function<void()> shown);
    ~WhenShown();
    WhenShown(const WhenShown&) = delete;
    WhenShown& operator=(const WhenShown&) = delete;

  private:
    QPointer<QWidget> area_;
    std::unique_ptr<QObject> filter_;
};

class Refresh {
  public:
    static constexpr int kIntervalMs = 16;  // about one screen refresh
    static constexpr int kGraceMs = 16;     // the backstop's lateness beyond the interval
    static constexpr int kSettleMs = 1;     // from due to run, for a request just sent

    explicit Refresh(std::function<void()> work);
    ~Refresh();

    // The work writes into `area`: while it is hidden, due work waits for it to be shown.
    void ShownIn(QWidget* area);

    // The work is due: it runs once the interval since its last run has passed.
    void Request();
    // Runs due work now, shown or not (at the end of a loop, before a value is read back).
    void Flush();
    bool Pending() const { return pending_; }
    // Milliseconds until the timer runs due work; -1 when it is not set.
    int DueInMs() const { return timer_.isActive() ? timer_.remainingTime() : -1; }

  private:
    bool Hidden() const { return area_ && !area_->isVisible(); }

    std::function<void()> work_;
    QPointer<QWidget> area_;
    std::unique_ptr<WhenShown> watcher_;
    QTimer timer_;
    // Milliseconds on `clock_`: the last run, and when the timer fires while it is set. A
    // request per frame compares these; asking the timer for its remaining time would look
    // it up among all the thread's timers.
    QElapsedTimer clock_;
    qint64 ranAt_ = -1;
    qint64 firesAt_ = 0;
    bool pending_ = false;
};

}  // namespace ui
