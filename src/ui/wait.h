#pragma once
// The program's one way of waiting: a nested event loop that sleeps until something can
// have changed (a device, a timer, a user event), then asks its condition again. The user
// interface stays alive and no CPU is burnt while nothing happens. The sensor link waits
// for bytes with it; the loops of the program (recorder interval, triggered frames, scope
// blocks) wait for their time or their flag with it.
//
// Waits nest: a callback that runs inside a wait may start another one. The innermost
// returns first; outer ones look at their conditions again when they get control back.
//
// QtCore only: the link, which must not depend on widgets, uses it.

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

namespace ui {

// Seconds from any fixed origin; tests inject a clock of their own.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double Seconds() = 0;
};

// The steady clock of the machine.
class SteadyClock final : public Clock {
  public:
    double Seconds() override;
};

inline constexpr double kNoDeadline = -1.0;

enum class WaitEnd {
    Done,      // the condition held
    TimedOut,  // the time ran out first
    Aborted,   // Abort() was called, or the application is quitting
    Destroyed  // the wait object or the guard object went away; touch nothing of theirs
};

class EventWait : public QObject {
    Q_OBJECT
  public:
    explicit EventWait(QObject* parent = nullptr);
    ~EventWait() override;

    // Runs a nested event loop until `done` holds, `timeoutSeconds` pass (negative: no
    // limit), Abort() is called, or `guard` (when given) is destroyed. `done` is asked
    // after every batch of events, before the thread sleeps: keep it cheap and free of side
    // effects. The time-out is the clock's answer, so an injected clock decides it. Bytes
    // that reached a device by the time the deadline fired still count: after the deadline
    // one more pass of events runs and `done` is asked once more.
    // With Destroyed, this object or the guard is gone: the caller must not touch either
    // (pass the object whose members `done` uses as the guard). `done` is never asked once
    // the guard is gone.
    WaitEnd WaitUntil(std::function<bool()> done, double timeoutSeconds = kNoDeadline,
                      QObject* guard = nullptr);

    // Ends every wait now and every later wait at once, with Aborted. The program calls it
    // when it closes; QCoreApplication::quit() or exit() during a wait has the same effect.
    void Abort();
    bool Aborted() const { return aborted_; }

    void SetClock(Clock* clock);  // nullptr: the steady clock
    double Now() { return clock_->Seconds(); }

    // How many waits are on the stack now.
    int Depth() const { return static_cast<int>(waiters_.size()); }

  public slots:
    // Makes every wait look at its condition (and the clock) again; those that are done
    // return. Waits look after each batch of events anyway; this is for a condition that
    // changes without any event (a test moving an injected clock, a device's signal).
    void Wake();

  private:
    struct Waiter;
    static void Quit(Waiter& waiter);
    bool Ready(Waiter& waiter);
    void WakeReady();
    void WakeAll();

    SteadyClock steadyClock_;
    Clock* clock_ = &steadyClock_;
    bool aborted_ = false;
    std::vector<Waiter*> waiters_;
    QMetaObject::Connection idleHook_;
};

}  // namespace ui
