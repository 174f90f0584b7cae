#include "device/loop.h"

#include <QPointer>
#include <QTimer>
#include <cmath>

#include "device/sensor.h"
#include "link/replies.h"

namespace device {

LoopEnd RunLoop(sensorlink::Link& link, ui::EventWait& wait, const Loop& loop,
                const std::function<bool()>& running, QObject* guard) {
    using sensorlink::Outcome;
    QPointer<QObject> watched(guard);
    const auto gone = [&] { return guard && !watched; };
    double due = wait.Now();
    // Set when the sensor has sent nothing for quietSeconds: the wait for a frame ends then.
    bool quietDue = false;
    QTimer quietTimer;
    quietTimer.setSingleShot(true);
    quietTimer.setInterval(static_cast<int>(std::ceil(loop.quietSeconds * 1000.0)));
    QObject::connect(&quietTimer, &QTimer::timeout, [&quietDue] { quietDue = true; });
    const bool checkQuiet = loop.pace == Pace::SensorSends && loop.quietSeconds > 0 && loop.quiet;
    const auto waiting = [&] { return running() && !quietDue; };
    for (int pass = 0; loop.passes == 0 || pass < loop.passes; ++pass) {
        if (!running()) return LoopEnd::NotRunning;
        if (loop.goOn && !loop.goOn()) return LoopEnd::Finished;
        if (loop.beforePass) {
            loop.beforePass();
            if (gone()) return LoopEnd::Gone;
            if (!running()) return LoopEnd::NotRunning;
        }
        const double start = wait.Now();
        if (loop.pace == Pace::Schedule) {
            // The starts keep to a schedule, so the lateness of every wake-up does not add
            // up over a long recording; a start more than a period late (a slow reply, a
            // long pop-up) moves the schedule on instead of catching up.
            if (start - due > loop.period) due = start;
            due += loop.period;
        }
        sensorlink::Exchange e;
        for (;;) {
            quietDue = false;
            if (checkQuiet) quietTimer.start();
            e = loop.pace == Pace::SensorSends ? link.ReceiveFrame(ui::kNoDeadline, waiting)
                                               : Measure(link);
            if (checkQuiet) quietTimer.stop();
            if (gone()) return LoopEnd::Gone;
            if (e.outcome != Outcome::Stopped || !quietDue || !running()) break;
            // Quiet for a while: the line is checked, and the pass waits on.
            const bool fine = loop.quiet();
            if (gone()) return LoopEnd::Gone;
            if (!fine) return LoopEnd::Failed;
        }
        LoopEnd end = LoopEnd::Finished;
        bool goOn = true;
        bool ended = false;
        const bool measured =
            e.outcome == Outcome::Reply && sensorlink::CarriesMeasurement(e.payload);
        if (loop.measurementsOnly && e.Frame() && !measured) {
            if (loop.unmeasured) loop.unmeasured(e);
            if (gone()) return LoopEnd::Gone;
        } else if (e.outcome == Outcome::ErrorReply && loop.errorFrames == ErrorFrames::Skip) {
            // No frame: the pass counts as done.
        } else if (e.Frame()) {
            if (loop.frame) goOn = loop.frame(e);
            if (gone()) return LoopEnd::Gone;
        } else if (e.LinkEnded()) {
            end = LoopEnd::LinkEnded;
            ended = true;
        } else if (e.outcome == Outcome::Stopped) {
            end = LoopEnd::NotRunning;
            ended = true;
        } else if (!loop.skipFailedPasses || e.outcome == Outcome::Refused) {
            // Reported (which cleared the flag); a refused exchange is not, and must not
            // turn into a loop that never waits.
            end = LoopEnd::Failed;
            ended = true;
        }
        if (loop.passDone) {
            loop.passDone(e);
            if (gone()) return LoopEnd::Gone;
        }
        if (ended) return end;
        if (!goOn) return LoopEnd::Finished;
        if (!running()) return LoopEnd::NotRunning;
        const bool last = loop.passes != 0 && pass + 1 == loop.passes;
        if (loop.pace == Pace::Schedule && !last) {
            const double left = due - wait.Now();
            if (left > 0) {
                const ui::WaitEnd waited =
                    wait.WaitUntil([&running] { return !running(); }, left, guard);
                if (waited == ui::WaitEnd::Destroyed) return LoopEnd::Gone;
                if (waited == ui::WaitEnd::Aborted) return LoopEnd::LinkEnded;
            }
        }
    }
    return LoopEnd::Finished;
}

}  // namespace device
