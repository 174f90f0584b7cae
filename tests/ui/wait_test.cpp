// The shared wait on a bare QCoreApplication: nesting, abort, the injected clock, guards,
// and the application quitting. Timers run the "callbacks" inside the waits; no test
// sleeps, and time-outs are driven by a clock the test moves.

#include "ui/wait.h"
#include "wait_for.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using FakeClock = testing_support::ManualClock;

// Runs `work` from a timer, i.e. inside whatever wait is running when it fires.
void Later(std::function<void()> work, int ms = 0) {
    QTimer::singleShot(ms, std::move(work));
}

TEST(EventWait, NestedWaitsReturnInnermostFirst) {
    ui::EventWait wait;
    std::vector<std::string> order;
    bool outerDone = false;
    bool innerDone = false;
    int depthInside = 0;

    Later([&] {
        depthInside = wait.Depth();
        Later([&] { innerDone = true; });
        EXPECT_EQ(wait.WaitUntil([&] { return innerDone; }), ui::WaitEnd::Done);
        order.push_back("inner");
        // The outer wait looks at its condition again when it gets control back, without any
        // further event.
        outerDone = true;
    });
    EXPECT_EQ(wait.Depth(), 0);
    EXPECT_EQ(wait.WaitUntil([&] { return outerDone; }), ui::WaitEnd::Done);
    order.push_back("outer");

    EXPECT_EQ(depthInside, 1);
    EXPECT_EQ(order, (std::vector<std::string>{"inner", "outer"}));
    EXPECT_EQ(wait.Depth(), 0);

    // A condition that already holds returns at once.
    EXPECT_EQ(wait.WaitUntil([] { return true; }, 0.0), ui::WaitEnd::Done);
}

TEST(EventWait, TheInjectedClockDecidesTheTimeOut) {
    ui::EventWait wait;
    FakeClock clock;
    wait.SetClock(&clock);

    // Moved within the limit: still waiting; moved past it: timed out. No Wake() needed,
    // the wait asks again after the batch of events in which the clock moved.
    bool checkedWithin = false;
    Later([&] {
        clock.now += 1.9;
        Later([&] {
            checkedWithin = true;
            clock.now += 0.2;
        });
    });
    EXPECT_EQ(wait.WaitUntil([] { return false; }, 2.0), ui::WaitEnd::TimedOut);
    EXPECT_TRUE(checkedWithin);

    // What arrives in the pass in which the time runs out still counts.
    bool arrived = false;
    Later([&] {
        clock.now += 5.0;
        QMetaObject::invokeMethod(
            qApp, [&] { arrived = true; }, Qt::QueuedConnection);
        wait.Wake();
    });
    EXPECT_EQ(wait.WaitUntil([&] { return arrived; }, 2.0), ui::WaitEnd::Done);

    // Negative: no limit, whatever the clock says.
    bool flag = false;
    Later([&] {
        clock.now += 1e6;
        Later([&] { flag = true; });
    });
    EXPECT_EQ(wait.WaitUntil([&] { return flag; }, ui::kNoDeadline), ui::WaitEnd::Done);
}

TEST(EventWait, AbortEndsEveryWaitAndAllLaterOnes) {
    ui::EventWait wait;
    ui::WaitEnd inner = ui::WaitEnd::Done;
    Later([&] {
        Later([&] { wait.Abort(); });
        inner = wait.WaitUntil([] { return false; });
    });
    EXPECT_EQ(wait.WaitUntil([] { return false; }), ui::WaitEnd::Aborted);
    EXPECT_EQ(inner, ui::WaitEnd::Aborted);
    EXPECT_TRUE(wait.Aborted());
    EXPECT_EQ(wait.WaitUntil([] { return true; }), ui::WaitEnd::Aborted);
    EXPECT_EQ(wait.Depth(), 0);

    // Another wait object is not affected.
    ui::EventWait other;
    EXPECT_EQ(other.WaitUntil([] { return true; }), ui::WaitEnd::Done);
}

// An object whose member the condition reads: once it is gone the condition must not run.
class Owner : public QObject {
  public:
    std::unique_ptr<int> value = std::make_unique<int>(0);
};

TEST(EventWait, AGuardDestroyedDuringTheWaitEndsItUntouched) {
    ui::EventWait wait;
    auto* owner = new Owner;
    Later([owner] { delete owner; });
    EXPECT_EQ(wait.WaitUntil([owner] { return *owner->value == 1; }, ui::kNoDeadline, owner),
              ui::WaitEnd::Destroyed);
    // The wait object itself lives on and waits as before.
    EXPECT_EQ(wait.Depth(), 0);
    bool flag = false;
    Later([&] { flag = true; });
    EXPECT_EQ(wait.WaitUntil([&] { return flag; }), ui::WaitEnd::Done);

    // The wait object destroyed from inside its own wait.
    auto* doomed = new ui::EventWait;
    Later([doomed] { delete doomed; });
    EXPECT_EQ(doomed->WaitUntil([] { return false; }), ui::WaitEnd::Destroyed);
}

TEST(EventWait, ApplicationQuitEndsNestedWaitsLikeAbort) {
    ui::EventWait wait;
    std::vector<ui::WaitEnd> ends;
    Later([&] {
        Later([&] {
            Later([] { QCoreApplication::quit(); });
            ends.push_back(wait.WaitUntil([] { return false; }));
        });
        ends.push_back(wait.WaitUntil([] { return false; }));
    });
    QCoreApplication::exec();
    EXPECT_EQ(ends, (std::vector<ui::WaitEnd>{ui::WaitEnd::Aborted, ui::WaitEnd::Aborted}));
    EXPECT_TRUE(wait.Aborted());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
