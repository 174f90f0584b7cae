#pragma once
// The tests' one way to wait for something the event loop brings: events are processed,
// sleeping until one arrives, until `condition` holds or `timeoutMs` pass. True when it
// held. Never a fixed sleep.

#include <functional>

#include "ui/wait.h"

namespace testing_support {

// A clock that moves only when a test moves it: waits with deadlines end when the test says
// the time has come (move it, then wake the wait), never by the machine's speed.
class ManualClock : public ui::Clock {
  public:
    double Seconds() override { return now; }
    double now = 1000.0;
};

// A clock that stands until `running` is set and then says, whenever it is asked, that ten
// seconds have passed: every wait with a deadline ends in its first pass after that (the
// pass still takes in what had arrived).
class JumpingClock : public ui::Clock {
  public:
    double Seconds() override {
        if (running) now += 10.0;
        return now;
    }
    double now = 1000.0;
    bool running = false;
};

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

}  // namespace testing_support
