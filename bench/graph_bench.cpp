// Benchmarks of the graph layer, run by scripts/bench (never by ctest), offscreen:
//   - a live chart: N frames, each appending to a four-trace strip chart and moving the
//     current point, with painting coalesced versus a replot on every frame. Once back to
//     back (wall time), once paced at a frame rate a fast link reaches (CPU time of this
//     thread while the loop waits between frames, as the program's loops do);
//   - a 60 000-point scatter cloud: appending the points one frame at a time, then the
//     cost of a cursor move alone (its layer only), of painting one new point into the
//     full cloud (a replot that blits the cloud's image) and of redrawing the whole cloud,
//     and for scale a plain QCustomPlot curve with 3-pixel disc scatters replotting 60 000 points.

#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "bench_clock.h"
#include "ui/graph.h"
#include "ui/wait.h"

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 300;

using bench::ThreadCpuSeconds;

// Sleeps in the program's wait until `done` holds; wakes only for events (timers, paints).
void WaitUntil(const std::function<bool()>& done) {
    ui::EventWait wait;
    wait.WaitUntil(done);
}

void WaitMs(double ms) {
    bool over = false;
    QTimer::singleShot(std::max(1, static_cast<int>(std::lround(ms))), Qt::PreciseTimer,
                       [&] { over = true; });
    WaitUntil([&] { return over; });
}

// Counts the widget's paint events: what reaches the screen.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

struct LiveResult {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    int replots = 0;
    int paints = 0;
};

// One live chart run: `frames` frames; `periodMs` > 0 paces them like a sensor would.
LiveResult RunLive(bool everyFrame, int frames, double periodMs) {
    ui::Graph graph;
    graph.resize(kWidth, kHeight);
    graph.SetStripChart({Qt::red, Qt::green, Qt::blue, Qt::darkCyan}, 100, 0.0);
    graph.SetAxisRange(ui::Axis::Y, 0, 4096);
    const ui::PlotId point = graph.PlotPoint(0, 0, Qt::black);
    PaintCounter counter;
    graph.installEventFilter(&counter);
    graph.show();
    graph.ReplotNow();
    WaitUntil([&] { return !graph.ReplotPending(); });
    QCoreApplication::processEvents();

    const int replots0 = graph.ReplotCount();
    const int paints0 = counter.paints;
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = ThreadCpuSeconds();
    for (int i = 0; i < frames; ++i) {
        const double phase = i * 0.05;
        graph.AppendStrip({2000 + 1500 * std::sin(phase), 2000 + 1500 * std::cos(phase),
                           2000 + 1000 * std::sin(2 * phase), 1000 + (i % 100) * 10.0});
        graph.MovePoint(point, 2000 + 1000 * std::sin(phase), 2000 + 1000 * std::cos(phase));
        if (everyFrame) graph.ReplotNow();
        if (periodMs > 0) {
            const double due = (i + 1) * periodMs;
            const double late = wall.nsecsElapsed() * 1e-6;
            if (due > late) WaitMs(due - late);
        } else {
            QCoreApplication::processEvents();  // the event pass of the link's wait
        }
    }
    WaitUntil([&] { return !graph.ReplotPending(); });
    QCoreApplication::processEvents();
    LiveResult r;
    r.cpuSeconds = ThreadCpuSeconds() - cpu0;
    r.wallSeconds = wall.nsecsElapsed() * 1e-9;
    r.replots = graph.ReplotCount() - replots0;
    r.paints = counter.paints - paints0;
    return r;
}

// The paced loop with no graph at all: what waiting between frames costs by itself.
LiveResult RunPacingOnly(int frames, double periodMs) {
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = ThreadCpuSeconds();
    for (int i = 0; i < frames; ++i) {
        const double due = (i + 1) * periodMs;
        const double late = wall.nsecsElapsed() * 1e-6;
        if (due > late) WaitMs(due - late);
    }
    LiveResult r;
    r.cpuSeconds = ThreadCpuSeconds() - cpu0;
    r.wallSeconds = wall.nsecsElapsed() * 1e-9;
    return r;
}

void LiveChart() {
    constexpr int kBurst = 2000;
    const LiveResult c = RunLive(false, kBurst, 0);
    const LiveResult e = RunLive(true, kBurst, 0);
    std::printf("live chart, %d frames back to back (4 strip traces + current point):\n", kBurst);
    std::printf("  coalesced:    %8.1f us/frame  %5d replots  %5d paints\n",
                c.wallSeconds / kBurst * 1e6, c.replots, c.paints);
    std::printf("  every frame:  %8.1f us/frame  %5d replots  %5d paints\n",
                e.wallSeconds / kBurst * 1e6, e.replots, e.paints);
    std::printf("  every frame / coalesced (wall): %.1fx\n", e.wallSeconds / c.wallSeconds);

    constexpr int kPaced = 1000;
    constexpr double kPeriodMs = 2.0;  // 500 frames per second
    const LiveResult pc = RunLive(false, kPaced, kPeriodMs);
    const LiveResult pe = RunLive(true, kPaced, kPeriodMs);
    const LiveResult idle = RunPacingOnly(kPaced, kPeriodMs);
    std::printf("live chart, %d frames at %.0f frames/s:\n", kPaced, 1000.0 / kPeriodMs);
    std::printf("  coalesced:    %8.1f us CPU/frame  CPU %5.1f %%  %5d replots  %.2f s\n",
                pc.cpuSeconds / kPaced * 1e6, 100.0 * pc.cpuSeconds / pc.wallSeconds, pc.replots,
                pc.wallSeconds);
    std::printf("  every frame:  %8.1f us CPU/frame  CPU %5.1f %%  %5d replots  %.2f s\n",
                pe.cpuSeconds / kPaced * 1e6, 100.0 * pe.cpuSeconds / pe.wallSeconds, pe.replots,
                pe.wallSeconds);
    std::printf("  no graph:     %8.1f us CPU/frame  CPU %5.1f %%  (the paced wait alone)\n",
                idle.cpuSeconds / kPaced * 1e6, 100.0 * idle.cpuSeconds / idle.wallSeconds);
    std::printf("  every frame / coalesced (CPU): %.1fx; graph work alone: %.1fx\n",
                pe.cpuSeconds / pc.cpuSeconds,
                (pe.cpuSeconds - idle.cpuSeconds) / (pc.cpuSeconds - idle.cpuSeconds));
}

void ScatterCloud() {
    constexpr int kPoints = 60000;
    ui::Graph graph;
    graph.resize(kWidth, kHeight);
    graph.SetAxisRange(ui::Axis::X, 0, 4096);
    graph.SetAxisRange(ui::Axis::Y, 0, 4096);
    graph.SetCursors(1);
    const ui::PlotId cloud = graph.NewScatter(Qt::red);
    graph.show();
    graph.ReplotNow();
    QCoreApplication::processEvents();

    // Recording: one point and one cursor move per frame, an event pass after each.
    auto pointOf = [](int i) {
        return QPointF(2048 + 1800 * std::sin(i * 0.001) + (i % 97),
                       2048 + 1800 * std::cos(i * 0.0013) + (i % 89));
    };
    const int replots0 = graph.ReplotCount();
    const int layers0 = graph.LayerRepaintCount();
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < kPoints; ++i) {
        const QPointF p = pointOf(i);
        graph.AppendPoint(cloud, p.x(), p.y());
        graph.SetCursor(1, p.x(), p.y());
        QCoreApplication::processEvents();
    }
    WaitUntil([&] { return !graph.ReplotPending(); });
    const double recordSeconds = wall.nsecsElapsed() * 1e-9;
    std::printf("scatter cloud, %d points appended one per frame with a cursor move:\n", kPoints);
    std::printf("  %.2f s, %.1f us/point, %d full replots, %d layer repaints\n", recordSeconds,
                recordSeconds / kPoints * 1e6, graph.ReplotCount() - replots0,
                graph.LayerRepaintCount() - layers0);

    // One more point into the full cloud: the points layer draws that point only.
    constexpr int kRounds = 50;
    double cpu0 = ThreadCpuSeconds();
    for (int i = 0; i < kRounds; ++i) {
        const QPointF p = pointOf(kPoints + i);
        graph.AppendPoint(cloud, p.x(), p.y());
        WaitUntil([&] { return !graph.ReplotPending(); });
        QCoreApplication::processEvents();
    }
    const double incremental = (ThreadCpuSeconds() - cpu0) / kRounds;
    // A range change redraws the whole cloud.
    cpu0 = ThreadCpuSeconds();
    for (int i = 0; i < kRounds; ++i) {
        graph.SetAxisRange(ui::Axis::Y, 0, 4096 + (i % 2));
        WaitUntil([&] { return !graph.ReplotPending(); });
        QCoreApplication::processEvents();
    }
    const double whole = (ThreadCpuSeconds() - cpu0) / kRounds;
    // A cursor move alone repaints the cursor layer only.
    cpu0 = ThreadCpuSeconds();
    for (int i = 0; i < kRounds; ++i) {
        graph.SetCursor(1, 1000 + 10 * i, 1000 + 10 * i);
        WaitUntil([&] { return !graph.ReplotPending(); });
        QCoreApplication::processEvents();
    }
    const double cursorOnly = (ThreadCpuSeconds() - cpu0) / kRounds;
    std::printf("  move the cursor alone:       %8.1f us CPU\n", cursorOnly * 1e6);
    std::printf("  paint one new point:         %8.1f us CPU\n", incremental * 1e6);
    std::printf("  redraw all %d points:     %8.1f us CPU\n", graph.PointCount(cloud), whole * 1e6);
    std::printf("  whole / new point: %.1fx\n", whole / incremental);

    // For scale: the plot library's own curve with disc scatters.
    QCustomPlot plain;
    plain.resize(kWidth, kHeight);
    auto* curve = new QCPCurve(plain.xAxis, plain.yAxis);
    curve->setLineStyle(QCPCurve::lsNone);
    curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, Qt::red, 3));
    for (int i = 0; i < kPoints; ++i) {
        const QPointF p = pointOf(i);
        curve->addData(p.x(), p.y());
    }
    plain.xAxis->setRange(0, 4096);
    plain.yAxis->setRange(0, 4096);
    plain.show();
    QCoreApplication::processEvents();
    cpu0 = ThreadCpuSeconds();
    for (int i = 0; i < 10; ++i) {
        plain.replot();
        QCoreApplication::processEvents();
    }
    std::printf("  stock curve, full replot:    %8.1f us CPU\n",
                (ThreadCpuSeconds() - cpu0) / 10 * 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("== graph_bench ==\n");
    LiveChart();
    ScatterCloud();
    return 0;
}
