// The line that is tried again: publish, and measure and triggered with --reconnect. The
// program's own TRY TO CONNECT does not do this; a process that runs unattended must.

#include <algorithm>

#include "cli/context.h"
#include "device/sensor.h"
#include "device/triggered.h"

namespace cli {

namespace {

constexpr double kFirstPause = 0.1;  // seconds; doubles up to --retry-max
constexpr double kQuietSeconds = 5.0;  // without a triggered frame, before the line is checked

}  // namespace

void CheckQuietLine(Context& c, device::Loop& loop, sensorlink::Outcome* last) {
    loop.quietSeconds = kQuietSeconds;
    loop.quiet = [&c, last] {
        const sensorlink::Exchange e = device::ConfirmTriggeredSending(c.link);
        if (last) *last = e.outcome;
        return e.Ok();
    };
}

int KeepLink(Context& c, const std::function<Attempt(const std::string& firmware)>& session,
             const std::function<void(const std::string& failure)>& down,
             const std::function<bool()>& more) {
    double pause = 0;
    while (!c.stop.Requested() && (!more || more())) {
        c.TakeFailure();
        if (c.Connect() == kExitDone) {
            // Frames only after the sensor said who it is: after a power cycle or another
            // sensor on the line, the identity is said again before anything else.
            const device::Identity id = device::Identify(c.link);
            if (id.Ok()) {
                pause = 0;
                const Attempt attempt = session(id.firmware);
                if (!attempt.lost) return attempt.status;
            }
        }
        if (c.stop.Requested() || (more && !more())) break;
        std::string text = c.TakeFailure();
        if (text.empty()) text = "the link to the sensor failed";
        down(text);
        c.Disconnect();
        pause = pause <= 0 ? kFirstPause : pause * 2;
        pause = std::min(pause, c.options.retryMax);
        c.link.Wait().WaitUntil([&c] { return c.stop.Requested(); }, pause);
    }
    return kExitDone;
}

}  // namespace cli
