// Benchmark of the shared wait, run by scripts/bench (never by ctest): the CPU time this
// thread spends while an EventWait waits idle, as a share of the wall time. A wait that
// polled would be near 100 %; one that sleeps until a timer or a device wakes it stays
// near 0.
//   - no deadline, a flag cleared by a timer after 2 s;
//   - a deadline of 2 s that runs out;
//   - two nested waits: the outer one is done but must wait for the inner one (2 s), the
//     case where waking the outer loop more than once per pass would keep the thread busy.

#include <time.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "bench_clock.h"
#include "ui/wait.h"

namespace {

using bench::ThreadCpuSeconds;
using bench::WallSeconds;

const char* EndName(ui::WaitEnd end) {
    switch (end) {
        case ui::WaitEnd::Done:
            return "done";
        case ui::WaitEnd::TimedOut:
            return "timed out";
        case ui::WaitEnd::Aborted:
            return "aborted";
        case ui::WaitEnd::Destroyed:
            return "destroyed";
    }
    return "?";
}

template <class Run>
void Measure(const char* what, Run run) {
    const double wall0 = WallSeconds();
    const double cpu0 = ThreadCpuSeconds();
    const ui::WaitEnd end = run();
    const double wall = WallSeconds() - wall0;
    const double cpu = ThreadCpuSeconds() - cpu0;
    std::printf("%s: %s after %.3f s wall, %.3f ms CPU: %.3f %% of a core\n", what, EndName(end),
                wall, 1e3 * cpu, 100.0 * cpu / wall);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("== wait_bench ==\n");
    ui::EventWait wait;

    Measure("idle wait, no deadline, flag cleared by a timer after 2 s", [&wait] {
        bool keep = true;
        QTimer::singleShot(2000, [&keep] { keep = false; });
        return wait.WaitUntil([&keep] { return !keep; });
    });

    Measure("idle wait with a deadline of 2 s",
            [&wait] { return wait.WaitUntil([] { return false; }, 2.0); });

    Measure("outer wait done, inner wait of 2 s on top of it", [&wait] {
        bool outerDone = false;
        QTimer::singleShot(0, [&] {
            outerDone = true;
            bool keep = true;
            QTimer::singleShot(2000, [&keep] { keep = false; });
            wait.WaitUntil([&keep] { return !keep; });
        });
        return wait.WaitUntil([&outerDone] { return outerDone; });
    });
    return 0;
}
