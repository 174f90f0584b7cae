#pragma once
// The one loop runner of the program and velorax-cli, free of widgets: a loop that polls the
// sensor is a declaration (how it paces, when it stops, what it does with a frame and with
// an error frame), and this runner asks, waits and applies the one failure policy:
// - a frame goes to `frame`; an error frame (its code reported where it has a text) as
//   `errorFrames` says: taken as any frame, or skipped; a loop that
//   takes `measurementsOnly` hands a frame without a whole measurement to `unmeasured`;
// - a failed exchange (time-out, bad frame) ends the loop, except with `skipFailedPasses`,
//   where the pass counts as done and the next one follows;
// - a line that is gone (hang-up, closed port or connection) or a closing program ends
//   every loop at once, the skipping one too;
// - `running` turning false (STOP, a flag, Ctrl-C, a time limit) ends it.
// The session runs it for the pages (with its flag and signals), velorax-cli for itself.

#include <QObject>
#include <functional>

#include "link/link.h"
#include "ui/wait.h"

namespace device {

enum class Pace {
    AtOnce,       // the next request as soon as a frame is taken (the live loop)
    Schedule,     // one request per period, from the start of one to the start of the next
    SensorSends,  // frames the sensor sends on its own (trigger, scope blocks): no request
};

// What an error frame (command 0) is to a loop.
enum class ErrorFrames {
    Take,  // handed to `frame` as any frame (its payload, if any, read as the sensor sent it)
    Skip,  // no frame: the pass counts as done
};

struct Loop {
    Pace pace = Pace::AtOnce;
    double period = 0.0;  // Schedule: seconds
    int passes = 0;       // at most this many passes; 0: no limit
    ErrorFrames errorFrames = ErrorFrames::Take;
    // What a recording takes: only a frame that carries a whole measurement goes to `frame`.
    // An error frame or a shorter frame is none (its missing words would be an earlier
    // frame's): the pass counts as done and the frame goes to `unmeasured`, whatever
    // `errorFrames` says.
    bool measurementsOnly = false;
    std::function<void(const sensorlink::Exchange&)> unmeasured;
    bool skipFailedPasses = false;
    // Asked before every pass: false ends the loop (a count reached, a full store).
    std::function<bool()> goOn;
    // Before the request of every pass (the live loop serves SEND and GET there).
    std::function<void()> beforePass;
    // A frame. False ends the loop.
    std::function<bool(const sensorlink::Exchange&)> frame;
    // After every pass, whatever its exchange gave.
    std::function<void(const sensorlink::Exchange&)> passDone;
    // SensorSends: after `quietSeconds` without a frame (0: never), `quiet` checks the line;
    // false (its failure reported) ends the loop as Failed. A sensor between two triggers
    // is silent, and so is a pulled cable: a process that runs unattended asks.
    double quietSeconds = 0.0;
    std::function<bool()> quiet;
};

// Why a loop ended.
enum class LoopEnd {
    Finished,    // its passes, its count or its frame handler ended it
    NotRunning,  // `running` turned false
    Failed,      // a failure (reported) ended it
    LinkEnded,   // the line is gone or the program closes
    Gone,        // `guard` was destroyed during a wait: nothing of the caller may be touched
};

// Runs `loop` over `link`, waiting in `wait`, while `running()` holds (asked before every
// pass and while waiting). `guard` (may be null) is an object whose end during a wait ends
// the loop at once with Gone.
LoopEnd RunLoop(sensorlink::Link& link, ui::EventWait& wait, const Loop& loop,
                const std::function<bool()>& running, QObject* guard = nullptr);

}  // namespace device
