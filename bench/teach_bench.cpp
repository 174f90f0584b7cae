// Benchmark of the record-based teach panel (TEACHP2) of the whole program, run by
// scripts/bench (never by ctest) against velorax-sim over TCP on 127.0.0.1:
//   1. the cost of one recorded frame (request, three points, three cursors, coalesced
//      paint) while the graphs hold 58 000 to 60 000 points, divided by its cost while they
//      hold 1 000 to 3 000;
//   2. points per second of the whole recording (0 to the full store of 60 000) as a share
//      of the bare command-8 exchange rate of a plain link in the same run;
//   3. the memory of the 60 000 recorded points: the store and the graphs' point lists, as
//      allocated and as the resident memory grew while recording.
// The recording is watched by a 1 ms timer that notes the point counter, the wall clock
// and the thread's CPU time; its cost is the same at every count.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <vector>

#include "bench_program.h"
#include "teach/teach_page.h"

namespace {

using namespace bench;

constexpr double kBareSeconds = 1.0;

struct Sample {
    std::size_t count;
    double wall;
    double cpu;
};

// Wall and CPU seconds per frame between two counts, from the samples around them.
struct Cost {
    double wall = 0;
    double cpu = 0;
};
Cost CostBetween(const std::vector<Sample>& samples, std::size_t from, std::size_t to) {
    const Sample* a = nullptr;
    const Sample* b = nullptr;
    for (const Sample& s : samples) {
        if (!a && s.count >= from) a = &s;
        if (s.count <= to) b = &s;
    }
    if (!a || !b || b->count <= a->count) return {};
    const double frames = static_cast<double>(b->count - a->count);
    return {(b->wall - a->wall) / frames, (b->cpu - a->cpu) / frames};
}

double Megabytes(double bytes) {
    return bytes / (1024.0 * 1024.0);
}

void RecordingFigures() {
    std::printf("TEACHP2 recording over TCP 127.0.0.1 against velorax-sim, store of %zu points\n",
                teach::kRecordCapacity);
    SimProcess sim({"--tcp", "127.0.0.1:0"});
    if (!sim.Ok()) return;

    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    Observer observer;
    sensorlink::Link link(state, observer);
    auto bare = [&]() -> Slice {
        if (link.ConnectTcp(QStringLiteral("127.0.0.1"), sim.Port()) != 0) return {};
        const Slice slice = BareExchanges(link, kBareSeconds);
        link.DisconnectTcp();
        return slice;
    };
    Slice bareSlices = bare();

    BenchProgram program(TcpSettings(sim.Port()));
    auto* page = program.Page<teach::TeachPage>();
    if (!program.Ok() || !page) {
        std::printf("  program not connected: %s\n", qPrintable(program.Message()));
        return;
    }
    teach::RecordPanel& panel = page->Recording();
    program.Control<QPushButton>("MAINP", "ButtonTeachRecVal")->click();
    std::printf("  TEACHP2 %s\n",
                program.Program().Panel("TEACHP2")->isVisible() ? "shown" : "hidden");
    const double rss0 = ResidentBytes();

    std::vector<Sample> samples;
    samples.reserve(100000);
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        samples.push_back({panel.Store().Count(), WallSeconds(), ThreadCpuSeconds()});
    });
    watch.start();
    const double wall0 = WallSeconds();
    const double cpu0 = ThreadCpuSeconds();
    program.Control<QPushButton>("TEACHP2", "ButtonTP2Start")->click();
    const double wall = WallSeconds() - wall0;
    const double cpu = ThreadCpuSeconds() - cpu0;
    watch.stop();
    const double rss1 = ResidentBytes();
    const std::size_t points = panel.Store().Count();
    if (points < teach::kRecordCapacity) {
        std::printf("  the recording ended at %zu points: %s\n", points,
                    qPrintable(program.Message()));
        return;
    }
    bareSlices += bare();

    // 1. Cost of a frame, late against early.
    const Cost early = CostBetween(samples, 1000, 3000);
    const Cost late = CostBetween(samples, 58000, 60000);
    std::printf("  frame cost with  1 000 ..  3 000 points: %6.1f us wall, %6.1f us CPU\n",
                1e6 * early.wall, 1e6 * early.cpu);
    std::printf("  frame cost with 58 000 .. 60 000 points: %6.1f us wall, %6.1f us CPU\n",
                1e6 * late.wall, 1e6 * late.cpu);
    const double graphs = static_cast<double>(panel.GraphOf(teach::RecordGraph::XY)->ReplotCount() +
                                              panel.GraphOf(teach::RecordGraph::XInt)->ReplotCount() +
                                              panel.GraphOf(teach::RecordGraph::YInt)->ReplotCount());
    std::printf("  replots of the three graphs: %.0f in %.2f s (%.0f per second per graph)\n",
                graphs, wall, graphs / wall / 3.0);
    if (early.wall > 0) {
        const double ratio = late.wall / early.wall;
        Verdict("frame cost at 60 000 / at 1 000 points (wall)", ratio, "<= 1.5", ratio <= 1.5);
        std::printf("     (CPU ratio %.3f)\n", early.cpu > 0 ? late.cpu / early.cpu : 0.0);
    }

    // 2. Points per second against the bare link.
    const double rate = static_cast<double>(points) / wall;
    const double bareRate = bareSlices.exchanges / bareSlices.seconds;
    std::printf("  bare link, command 8 exchanges: %8.0f per second (%d in %.2f s)\n", bareRate,
                bareSlices.exchanges, bareSlices.seconds);
    std::printf("  recording: %zu points in %.2f s = %8.0f per second, %.1f us CPU per point\n",
                points, wall, rate, 1e6 * cpu / static_cast<double>(points));
    Verdict("recorded points/s / bare exchanges/s", rate / bareRate, ">= 0.7",
            rate / bareRate >= 0.7);

    // 3. Memory.
    const double store = static_cast<double>(teach::kRecordCapacity * sizeof(teach::RecordedPoint));
    const double lists = 3.0 * static_cast<double>(teach::kRecordCapacity * sizeof(QPointF));
    std::printf("  store: %zu x %zu bytes = %.2f MB, allocated once at start-up\n",
                teach::kRecordCapacity, sizeof(teach::RecordedPoint), Megabytes(store));
    std::printf("  graphs: 3 x %zu x %zu bytes = %.2f MB, reserved once per reset\n",
                teach::kRecordCapacity, sizeof(QPointF), Megabytes(lists));
    std::printf("  RSS %.1f MB before recording, %.1f MB after %zu points: %.2f MB more\n",
                Megabytes(rss0), Megabytes(rss1), points, Megabytes(rss1 - rss0));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("== teach_bench (%s platform) ==\n", qPrintable(QApplication::platformName()));
    std::fflush(stdout);
    RecordingFigures();
    return 0;
}
