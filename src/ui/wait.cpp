#include "ui/wait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace ui {

double SteadyClock::Seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// One wait on the stack. Waits nest when a callback that runs inside one starts another.
struct EventWait::Waiter {
    QEventLoop loop;
    std::function<bool()> done;
    QPointer<QObject> guard;
    bool guarded = false;
    double start = 0;
    double timeout = kNoDeadline;
    bool woken = false;  // quit by this object in this pass, not by QCoreApplication::exit()
    bool held = false;   // `done` said yes once: it is not asked again
    bool Done() {
        if (!held) held = done();
        return held;
    }

    bool GuardGone() const { return guarded && !guard; }
};

EventWait::EventWait(QObject* parent) : QObject(parent) {}

EventWait::~EventWait() {
    // Waits still on the stack (this object destroyed from a callback inside one) return at
    // once with Destroyed and touch nothing of ours.
    WakeAll();
    QObject::disconnect(idleHook_);
}

void EventWait::Quit(Waiter& waiter) {
    // Only once per pass: quitting a loop interrupts the event dispatcher, and doing it again
    // while a nested loop runs above this one would keep that loop from ever sleeping.
    if (waiter.woken) return;
    waiter.woken = true;
    waiter.loop.quit();
}

bool EventWait::Ready(Waiter& waiter) {
    // The guard first: `done` may use what the guard owns.
    if (aborted_ || waiter.GuardGone()) return true;
    if (waiter.Done()) return true;
    return waiter.timeout >= 0 && Now() - waiter.start > waiter.timeout;
}

void EventWait::WakeReady() {
    // By index: a condition must not start or end waits, but the list stays valid if it does.
    for (std::size_t i = 0; i < waiters_.size(); ++i) {
        Waiter* waiter = waiters_[i];
        if (!waiter->woken && Ready(*waiter)) Quit(*waiter);
    }
}

void EventWait::WakeAll() {
    for (Waiter* waiter : waiters_) Quit(*waiter);
}

void EventWait::Wake() {
    WakeReady();
}

void EventWait::Abort() {
    aborted_ = true;
    WakeAll();
}

void EventWait::SetClock(Clock* clock) {
    clock_ = clock ? clock : &steadyClock_;
}

WaitEnd EventWait::WaitUntil(std::function<bool()> done, double timeoutSeconds, QObject* guard) {
    QPointer<EventWait> self(this);
    Waiter waiter;
    waiter.done = std::move(done);
    waiter.guard = guard;
    waiter.guarded = guard != nullptr;
    waiter.start = Now();
    waiter.timeout = timeoutSeconds >= 0 ? timeoutSeconds : kNoDeadline;  // NaN: no limit

    // The deadline only wakes the loop; whether the time is up is the clock's answer, so an
    // injected clock decides it.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &waiter.loop, [&waiter] { Quit(waiter); });
    if (guard) {
        QObject::connect(guard, &QObject::destroyed, &waiter.loop, [&waiter] { Quit(waiter); });
    }

    waiters_.push_back(&waiter);
    if (waiters_.size() == 1) {
        // After every batch of events, before the thread sleeps: a callback may have cleared
        // the caller's flag or moved the clock without any signal of ours.
        if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
            idleHook_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                                         [this] { WakeReady(); });
        }
    }
    const auto leave = [&](WaitEnd end) {
        std::erase(waiters_, &waiter);
        if (waiters_.empty()) QObject::disconnect(idleHook_);
        return end;
    };

    for (;;) {
        if (aborted_) return leave(WaitEnd::Aborted);
        if (waiter.GuardGone()) return leave(WaitEnd::Destroyed);
        if (waiter.Done()) return leave(WaitEnd::Done);
        if (waiter.timeout >= 0) {
            const double elapsed = Now() - waiter.start;
            if (elapsed > waiter.timeout) {
                // Bytes that reached a device by the pass in which the time ran out still
                // count: take in what is pending, then look once more.
                QCoreApplication::processEvents();
                if (!self) return WaitEnd::Destroyed;
                if (waiter.GuardGone()) return leave(WaitEnd::Destroyed);
                if (aborted_) return leave(WaitEnd::Aborted);
                return leave(waiter.Done() ? WaitEnd::Done : WaitEnd::TimedOut);
            }
            const double remainingMs = std::ceil((waiter.timeout - elapsed) * 1000.0);
            deadline.start(static_cast<int>(std::min(remainingMs, 1.0e9)) + 1);
        }
        waiter.woken = false;
        waiter.loop.exec();
        if (!self) return WaitEnd::Destroyed;
        deadline.stop();
        if (!waiter.woken) {
            // QCoreApplication::exit() ends every nested loop: the program is closing.
            aborted_ = true;
            WakeAll();
            return leave(WaitEnd::Aborted);
        }
    }
}

}  // namespace ui
