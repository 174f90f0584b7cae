// Benchmark of the live loop of the whole program (every page, the panel set, the main
// panel with the data panel and a chart page shown), run by scripts/bench (never by ctest)
// against velorax-sim as a process of its own:
//   1. frames per second over TCP on 127.0.0.1, as a share of the bare command-8 exchange
//      rate of a plain link against the same simulator in the same run, and the program's
//      CPU per frame against the plain link's CPU per exchange;
//   2. frames per second over the simulator's pseudo-terminal with baud emulation at
//      115200 baud, as a share of the wire limit of one exchange (request, reply header,
//      measurement payload at 10 bits a byte), and CPU per frame as in 1;
//   3. CPU time of the program's thread while the sensor answers every 200 ms, as a share
//      of one core; for scale, in alternate turns, what plain Qt widgets take for the same
//      screen work alone;
//   4. how much the resident memory grows from frame 1 000 to frame 100 000;
//   5. start-up: from creating the program (panel set loaded, pages built) to connected, the
//      parameters read from the sensor and the parameter page painted.
// On the offscreen platform unless a display is there (scripts/bench may provide Xvfb).

#include <QApplication>
#include <QGridLayout>
#include <QLineEdit>
#include <qcustomplot.h>
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bench_program.h"
#include "bench_stats.h"

namespace {

using namespace bench;

constexpr double kTurnSeconds = 1.0;  // one side's turn in a round
// Over TCP the cost of an exchange follows the machine's load from second to second (when
// the simulator, the client and other work share the two cores, every exchange waits for a
// core, and each wake-up costs CPU too): short turns keep both sides of a round under the same
// load, and many rounds steady the median.
constexpr double kTcpTurnSeconds = 0.25;
constexpr int kTcpRounds = 25;
// The goal over TCP in CPU time: the rate goal (0.95 of the bare link's) turned over, a frame
// of the whole program (the exchange, the values handed to every page, the displays and the
// chart written, paints coalesced) costing at most 1 / 0.95 of a bare exchange's CPU. It is
// the stricter of the two: the rate's time per exchange also holds the simulator's part.
constexpr double kTcpCpuLimit = 1 / 0.95;
constexpr const char* kTcpCpuGoal = "<= 1/0.95 = 1.053";

// Bytes of one live-loop exchange on the wire: the request (a header alone), the reply's
// header and its 23 measurement words.
constexpr int kExchangeBytes = static_cast<int>(sensorlink::kHeaderSize) +
                               static_cast<int>(sensorlink::kHeaderSize) +
                               2 * sensorlink::kMeasurementWords;

// Times the work that timers and window updates do (display refreshes, graph flushes,
// paints): what runs inside the link's waits besides the link itself.
class TimingApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (depth_ > 0 || (type != QEvent::Timer && type != QEvent::UpdateRequest))
            return QApplication::notify(receiver, event);
        ++depth_;
        const double start = WallSeconds();
        const bool result = QApplication::notify(receiver, event);
        const double took = WallSeconds() - start;
        --depth_;
        // Timers that do nothing worth counting (deadlines of waits) take microseconds.
        if (took > kCounted) {
            refreshSeconds += took;
            ++refreshes;
            if (keepRuns) {
                const char* what = type == QEvent::UpdateRequest
                                       ? "paint"
                                       : receiver->metaObject()->className();
                runs.push_back({start, start + took, what});
            }
        }
        return result;
    }
    static constexpr double kCounted = 100e-6;
    double refreshSeconds = 0;
    int refreshes = 0;
    // Each counted run, while keepRuns is set: when, and what ran (a paint, or the class of
    // the timer's receiver).
    struct Run {
        double start;
        double end;
        const char* what;
    };
    bool keepRuns = false;
    std::vector<Run> runs;

  private:
    int depth_ = 0;
};

TimingApplication* App() {
    return static_cast<TimingApplication*>(QCoreApplication::instance());
}

// 1. The program's live loop over TCP against the bare link's exchange rate.
void FramesOverTcp() {
    std::printf("1. live loop over TCP 127.0.0.1 against velorax-sim\n");
    SimProcess sim({"--tcp", "127.0.0.1:0"});
    if (!sim.Ok()) return;
    BenchProgram program(TcpSettings(sim.Port()));
    if (!program.Ok()) {
        std::printf("  program not connected: %s\n", qPrintable(program.Message()));
        return;
    }
    program.Go(0.5);  // warm-up: first paints, caches
    std::printf("  %s\n", qPrintable(program.Shown()));

    // The plain link and the program take turns, a second each, so that both see the same
    // load of the machine; each round gives one ratio. The simulator serves the newest
    // client: each side connects anew for its turn.
    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    Observer observer;
    sensorlink::Link link(state, observer);
    Slice bare;
    BenchProgram::Loop live;
    std::vector<double> ratios, cpuRatios;
    // Where the two sides' time goes, frame by frame: the spans between consecutive frames
    // (exchanges) of each turn.
    std::vector<double> bareSpans, liveSpans;
    std::vector<double> ended;
    program.onFrame = [&ended](int) { ended.push_back(WallSeconds()); };
    const auto spansOf = [&ended](std::vector<double>& spans) {
        for (std::size_t i = 1; i < ended.size(); ++i) spans.push_back(ended[i] - ended[i - 1]);
        ended.clear();
    };
    double refreshSeconds = 0;
    int refreshes = 0;
    for (int round = 0; round < kTcpRounds; ++round) {
        if (link.ConnectTcp(QStringLiteral("127.0.0.1"), sim.Port()) != 0) {
            std::printf("  bare link cannot connect: %s\n", state.message.c_str());
            return;
        }
        const Slice b = BareExchanges(link, kTcpTurnSeconds, &ended);
        spansOf(bareSpans);
        link.DisconnectTcp();
        if (!program.Reconnect()) {
            std::printf("  program not connected again: %s\n", qPrintable(program.Message()));
            return;
        }
        ended.clear();
        const double refresh0 = App()->refreshSeconds;
        const int refreshes0 = App()->refreshes;
        const BenchProgram::Loop l = program.Go(kTcpTurnSeconds);
        refreshSeconds += App()->refreshSeconds - refresh0;
        refreshes += App()->refreshes - refreshes0;
        spansOf(liveSpans);
        bare += b;
        live += l;
        if (l.steadyFrames == 0 || b.exchanges == 0) continue;
        ratios.push_back(l.SteadyRate() / b.Rate());
        cpuRatios.push_back(l.CpuPerFrame() / b.CpuPerExchange());
    }
    program.onFrame = nullptr;
    std::printf(
        "  bare link, command 8 exchanges:  %8.0f per second (%d in %.2f s, %.1f us CPU "
        "per exchange)\n",
        bare.Rate(), bare.exchanges, bare.seconds, 1e6 * bare.CpuPerExchange());
    std::printf(
        "  live loop, whole program:        %8.0f frames per second (%d in %.2f s, "
        "%.1f us CPU per frame; first frame to STOP of each turn)\n",
        live.SteadyRate(), live.steadyFrames, live.steadyWall, 1e6 * live.CpuPerFrame());
    // A typical frame against a typical exchange, and the time spent in frames that took over
    // twice the typical one (those that waited for a refresh, in the program's case).
    const double bareTypical = Summarise(bareSpans).median;
    const double liveTypical = Summarise(liveSpans).median;
    const auto longOnes = [](const std::vector<double>& spans, double typical) {
        double lost = 0;
        int count = 0;
        for (double span : spans)
            if (span > 2 * typical) {
                lost += span - typical;
                ++count;
            }
        return std::pair{count, lost};
    };
    const auto [bareLong, bareLost] = longOnes(bareSpans, bareTypical);
    const auto [liveLong, liveLost] = longOnes(liveSpans, liveTypical);
    std::printf(
        "  typical span (median): bare %.1f us, live loop %.1f us (%.1f %% longer); over twice "
        "that: bare %d, %.1f %% of its time, live loop %d, %.1f %%\n",
        1e6 * bareTypical, 1e6 * liveTypical, 100.0 * (liveTypical / bareTypical - 1), bareLong,
        100.0 * bareLost / bare.seconds, liveLong, 100.0 * liveLost / live.wall);
    // The screen work inside the loop's waits, which the bare link does not do.
    std::printf(
        "  refresh work (timers and paints over %.1f ms): %.0f per second, %.2f ms each, "
        "%.1f %% of the loop's time\n",
        1e3 * TimingApplication::kCounted, refreshes / live.wall,
        1e3 * refreshSeconds / std::max(refreshes, 1), 100.0 * refreshSeconds / live.wall);
    FigureOfRounds("live-loop frames/s / bare exchanges/s", ratios, kWallNotTheGoal);
    VerdictOfRounds("live-loop CPU per frame / bare CPU per exchange", cpuRatios, kTcpCpuGoal,
                    [](double r) { return r <= kTcpCpuLimit; });
}

// 2. The live loop over the emulated serial line at 115200 baud against its wire limit.
void FramesOverPacedTerminal() {
    std::printf(
        "2. live loop over velorax-sim's pseudo-terminal, --baud-emulation, 115200 "
        "baud\n");
    QTemporaryDir dir;
    const QString tty = dir.filePath(QStringLiteral("velorax-tty"));
    SimProcess sim({"--pty", tty, "--baud-emulation"});
    if (!sim.Ok()) return;
    const double wireLimit = 115200.0 / (10.0 * kExchangeBytes);
    BenchProgram program(SerialSettings(tty));
    if (!program.Ok()) {
        std::printf("  program not connected: %s\n", qPrintable(program.Message()));
        return;
    }
    program.Go(0.5);
    std::printf("  %s\n", qPrintable(program.Shown()));

    // The plain link and the program take turns on the line, as in figure 1: the program lets
    // go of the port for the plain link's turn and connects again for its own.
    sensorlink::LinkState state;
    Observer observer;
    sensorlink::Link link(state, observer);
    link.Ports().SetScanner([] { return QList<sensorlink::SystemPort>{}; });
    const int number = link.Ports().AddDevicePath(tty);
    // When each frame was taken, and how much refresh work ran meanwhile.
    std::vector<double> taken;
    taken.reserve(1000);
    double lateLost = 0;
    int late = 0;
    program.onFrame = [&taken](int) { taken.push_back(WallSeconds()); };
    Slice bare;
    BenchProgram::Loop live;
    std::vector<double> ofWire;
    std::vector<double> ofBare;
    std::vector<double> cpuOfBare;
    double refreshSeconds = 0;
    int refreshes = 0;
    double simCpu = 0;
    // Per kind of refresh work: in how many late frames and how many on-time frames it ran.
    std::map<std::string, std::pair<int, int>> ranIn;
    // When that work began after the frame before, and how long before the next frame it ended.
    std::vector<double> lateStarts, otherStarts, lateEnds, otherEnds;
    int onTime = 0;
    App()->keepRuns = true;
    for (int round = 0; round < kRounds; ++round) {
        program.S().Link().CloseSerialPort();
        if (link.OpenSerialPort(number, kBaudIndex115200) != 0) {
            std::printf("  bare link cannot open %s: %s\n", qPrintable(tty), state.message.c_str());
            return;
        }
        const Slice b = BareExchanges(link, kTurnSeconds);
        link.CloseSerialPort();
        if (!program.Reconnect()) {
            std::printf("  program not connected again: %s\n", qPrintable(program.Message()));
            return;
        }
        taken.clear();
        App()->runs.clear();
        const double refresh0 = App()->refreshSeconds;
        const int refreshes0 = App()->refreshes;
        const double simCpu0 = sim.CpuSeconds();
        const BenchProgram::Loop l = program.Go(kTurnSeconds);
        simCpu += sim.CpuSeconds() - simCpu0;
        refreshSeconds += App()->refreshSeconds - refresh0;
        refreshes += App()->refreshes - refreshes0;
        bare += b;
        live += l;
        const double bareRate = b.Rate();
        if (l.steadyFrames > 0 && b.exchanges > 0) {
            ofWire.push_back(l.SteadyRate() / wireLimit);
            ofBare.push_back(l.SteadyRate() / bareRate);
            cpuOfBare.push_back(l.CpuPerFrame() / b.CpuPerExchange());
        }
        // Frames that took clearly longer than the bare link's exchanges: what was lost there.
        const double usual = 1.0 / bareRate;
        const auto& runs = App()->runs;
        std::size_t first = 0;
        for (std::size_t i = 1; i < taken.size(); ++i) {
            const double interval = taken[i] - taken[i - 1];
            const bool isLate = interval > usual + 0.25e-3;
            if (isLate) {
                ++late;
                lateLost += interval - usual;
            } else {
                ++onTime;
            }
            // The work that ran between the two frames (each kind counted once per frame).
            while (first < runs.size() && runs[first].end < taken[i - 1]) ++first;
            std::set<std::string> kinds;
            for (std::size_t r = first; r < runs.size() && runs[r].start < taken[i]; ++r) {
                kinds.insert(runs[r].what);
                (isLate ? lateStarts : otherStarts).push_back(runs[r].start - taken[i - 1]);
                (isLate ? lateEnds : otherEnds).push_back(taken[i] - runs[r].end);
            }
            for (const std::string& kind : kinds)
                (isLate ? ranIn[kind].first : ranIn[kind].second) += 1;
        }
    }
    App()->keepRuns = false;
    const double bareRate = bare.exchanges / bare.seconds;
    const double fps = live.frames / live.wall;
    std::printf("  wire limit: 115200 / (10 bits x %d bytes) = %.1f exchanges per second\n",
                kExchangeBytes, wireLimit);
    std::printf(
        "  bare link, command 8 exchanges:  %6.1f per second (%.3f of the limit, %.1f us "
        "CPU per exchange)\n",
        bareRate, bareRate / wireLimit, 1e6 * bare.CpuPerExchange());
    std::printf(
        "  live loop, whole program:        %6.1f frames per second (%d in %.2f s, CPU "
        "%.1f %% of a core, %.1f us per frame from the first frame to STOP)\n",
        fps, live.frames, live.wall, 100.0 * live.cpu / live.wall, 1e6 * live.CpuPerFrame());
    std::printf("  refresh work (timers and paints over %.1f ms): %.0f per second, %.2f ms each\n",
                1e3 * TimingApplication::kCounted, refreshes / live.wall,
                1e3 * refreshSeconds / std::max(refreshes, 1));
    std::printf(
        "  frames later than a bare exchange by over 0.25 ms: %d of %d, %.1f ms lost "
        "per second\n",
        late, live.frames, 1e3 * lateLost / live.wall);
    std::printf("  velorax-sim pacing both directions: %.1f %% of a core\n",
                100.0 * simCpu / live.wall);
    const auto median = [](const std::vector<double>& v) { return Summarise(v).median; };
    std::printf("    refresh work in late frames: began %.2f ms after the frame before, ended %.2f ms "
                "before the next (medians); in the others %.2f and %.2f ms\n",
                1e3 * median(lateStarts), 1e3 * median(lateEnds), 1e3 * median(otherStarts),
                1e3 * median(otherEnds));
    for (const auto& [kind, counts] : ranIn)
        std::printf("    %-28s ran in %5.1f %% of the late frames, %5.1f %% of the others\n",
                    kind.c_str(), 100.0 * counts.first / std::max(late, 1),
                    100.0 * counts.second / std::max(onTime, 1));
    VerdictOfRounds("live-loop frames/s / wire limit", ofWire, ">= 0.98",
                    [](double r) { return r >= 0.98; });
    VerdictOfRounds("live-loop frames/s / bare link frames/s", ofBare, ">= 0.995",
                    [](double r) { return r >= 0.995; });
    FigureOfRounds("live-loop CPU per frame / bare CPU per exchange", cpuOfBare);
}

// For scale beside figure 3: the screen work of one slow frame done by plain Qt widgets,
// without the program, its loop or a sensor. Twelve read-only line edits of the data
// panel's sizes (three in its large bold font) each given a new number, and a plain
// QCustomPlot strip chart of the chart's size (three traces over a window of 100 points,
// the x axis scrolling) given a point and replotted, by a timer every 200 ms. What these
// widgets cost on this machine when woken five times a second with cold caches.
class PlainScreen {
  public:
    static constexpr int kWindow = 100;

    PlainScreen() {
        auto* grid = new QGridLayout(&window_);
        for (int i = 0; i < 12; ++i) {
            auto* edit = new QLineEdit(&window_);
            edit->setReadOnly(true);
            edit->setFocusPolicy(Qt::NoFocus);
            edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (i < 3) {
                QFont font = edit->font();
                font.setPointSize(12);
                font.setBold(true);
                edit->setFont(font);
            }
            edit->setFixedSize(i < 6 ? 167 : 70, i < 3 ? 27 : 22);
            grid->addWidget(edit, i % 6, i / 6);
            edits_.push_back(edit);
        }
        plot_ = new QCustomPlot(&window_);
        plot_->setFixedSize(484, 186);
        grid->addWidget(plot_, 6, 0, 1, 2);
        for (const QColor& colour : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) {
            QCPGraph* trace = plot_->addGraph();
            trace->setPen(QPen(colour));
            for (int k = 0; k < kWindow; ++k) trace->addData(k, 0);
        }
        next_ = kWindow;
        plot_->yAxis->setRange(0, 4095);
        window_.show();
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(200);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }

    // Ticks for `seconds`; CPU seconds of this thread per tick, from the first to the last.
    double Run(double seconds) {
        marks_.clear();
        timer_.start();
        ui::EventWait wait;
        wait.WaitUntil([] { return false; }, seconds);
        timer_.stop();
        if (marks_.size() < 2) return 0;
        return (marks_.back() - marks_.front()) / static_cast<double>(marks_.size() - 1);
    }

  private:
    void Tick() {
        marks_.push_back(ThreadCpuSeconds());
        // Values that change every time, as a sensor's last digits do.
        for (std::size_t i = 0; i < edits_.size(); ++i)
            edits_[i]->setText(QString::number(2000 + (next_ * 37 + static_cast<int>(i) * 11) % 97));
        for (int g = 0; g < plot_->graphCount(); ++g) {
            plot_->graph(g)->addData(next_, 1000 + 500 * g + (next_ * 53) % 200);
            plot_->graph(g)->data()->removeBefore(next_ - kWindow + 1);
        }
        plot_->xAxis->setRange(next_ - kWindow + 1, next_);
        ++next_;
        plot_->replot(QCustomPlot::rpQueuedRefresh);
    }

    QWidget window_;
    std::vector<QLineEdit*> edits_;
    QCustomPlot* plot_ = nullptr;
    QTimer timer_;
    std::vector<double> marks_;
    int next_ = 0;
};

// 3. CPU of the program's thread while a slow sensor is awaited.
void CpuWithASlowSensor() {
    std::printf("3. CPU of the program's thread, live loop, sensor answering after 200 ms\n");
    SimProcess sim({"--tcp", "127.0.0.1:0", "--latency", "200"});
    if (!sim.Ok()) return;
    BenchProgram program(TcpSettings(sim.Port()));
    if (!program.Ok()) {
        std::printf("  program not connected: %s\n", qPrintable(program.Message()));
        return;
    }
    program.Go(0.5);
    // The loop as it runs, from its first frame to its last: GO and STOP (dimming the buttons
    // and back, their repaint, the last write of every display) cost 5 to 6 ms once per loop,
    // 0.3 % of a two-second turn, and are shown apart.
    struct Mark {
        double wall;
        double cpu;
    };
    std::vector<Mark> marks;
    program.onFrame = [&marks](int) { marks.push_back({WallSeconds(), ThreadCpuSeconds()}); };
    BenchProgram::Loop all;
    std::vector<double> shares;
    double steadyCpu = 0;
    double steadyWall = 0;
    int steadyFrames = 0;
    PlainScreen plain;
    std::vector<double> plainShares;
    std::vector<double> ofPlain;  // the program's whole frame / plain widgets' screen work
    for (int round = 0; round < kRounds; ++round) {
        plainShares.push_back(plain.Run(2 * kTurnSeconds) / 0.2);
        marks.clear();
        const auto loop = program.Go(2 * kTurnSeconds);
        all += loop;
        if (marks.size() < 2) continue;
        const double cpu = marks.back().cpu - marks.front().cpu;
        const double wall = marks.back().wall - marks.front().wall;
        steadyCpu += cpu;
        steadyWall += wall;
        steadyFrames += static_cast<int>(marks.size()) - 1;
        shares.push_back(cpu / wall);
        if (plainShares.back() > 0) ofPlain.push_back(shares.back() / plainShares.back());
    }
    program.onFrame = nullptr;
    std::printf(
        "  whole turns (GO to the end of STOP): %d frames in %.2f s, %.1f ms CPU, %.2f %% of a "
        "core\n",
        all.frames, all.wall, 1e3 * all.cpu, 100.0 * all.cpu / all.wall);
    std::printf(
        "  first to last frame of each turn: %d frames in %.2f s, %.1f ms CPU (%.2f ms per "
        "frame)\n",
        steadyFrames, steadyWall, 1e3 * steadyCpu, 1e3 * steadyCpu / std::max(steadyFrames, 1));
    VerdictOfRounds("CPU share of one core, first to last frame", shares, "<= 0.01",
                    [](double r) { return r <= 0.01; });
    const Spread p = Summarise(plainShares);
    std::printf("  for scale, the same screen work in plain Qt widgets (twelve line edits given new "
                "numbers, a strip chart given a point, every 200 ms, no program): median %.2f %% of a "
                "core (%.2f .. %.2f), %.2f ms per tick\n",
                100 * p.median, 100 * p.min, 100 * p.max, 200 * p.median);
    const Spread r = Summarise(ofPlain);
    std::printf("  the program's whole frame / plain widgets' screen work alone: median %.2f (%.2f .. "
                "%.2f, %d rounds)\n",
                r.median, r.min, r.max, r.rounds);
}

// 4. Resident memory from frame 1 000 to frame 100 000.
void MemoryOverManyFrames() {
    constexpr int kEarly = 1000;
    constexpr int kLate = 100000;
    std::printf("4. resident memory, live loop over TCP, frame %d to frame %d\n", kEarly, kLate);
    SimProcess sim({"--tcp", "127.0.0.1:0"});
    if (!sim.Ok()) return;
    BenchProgram program(TcpSettings(sim.Port()));
    if (!program.Ok()) {
        std::printf("  program not connected: %s\n", qPrintable(program.Message()));
        return;
    }
    double early = 0;
    double late = 0;
    program.onFrame = [&](int n) {
        if (n == kEarly) early = ResidentBytes();
        if (n == kLate) {
            late = ResidentBytes();
            program.S().StopLoops();
        }
    };
    const auto loop = program.Go(0);
    if (program.frames < kLate) {
        std::printf("  the loop ended after %d frames: %s\n", program.frames,
                    qPrintable(program.Message()));
        return;
    }
    const double grown = (late - early) / (1024.0 * 1024.0);
    std::printf("  RSS %.1f MB at frame %d, %.1f MB at frame %d (%.1f s)\n",
                early / (1024.0 * 1024.0), kEarly, late / (1024.0 * 1024.0), kLate, loop.wall);
    Verdict("RSS growth in MB", grown, "within 2", grown <= 2.0);
}

// 5. From nothing to a program connected, its parameters got and shown.
void StartUpToParameters() {
    std::printf("5. start-up to the parameter page with the sensor's parameters, TCP 127.0.0.1\n");
    SimProcess sim({"--tcp", "127.0.0.1:0"});
    if (!sim.Ok()) return;
    // A start takes some 45 ms, and the machine's wake-ups move one by several ms: three times
    // the usual rounds steady the median, at under a second in all.
    constexpr int kStarts = 3 * kRounds;
    std::vector<double> seconds;
    for (int round = 0; round < kStarts; ++round) {
        const double wall0 = WallSeconds();
        BenchProgram program(TcpSettings(sim.Port()));
        if (!program.Ok()) {
            std::printf("  program not connected: %s\n", qPrintable(program.Message()));
            return;
        }
        program.Program().MainPanel()->repaint();  // painted, not only due
        seconds.push_back(WallSeconds() - wall0);
    }
    const Spread s = Summarise(seconds);
    std::printf("  %.3f s median (%.3f .. %.3f) over %d starts\n", s.median, s.min, s.max,
                s.rounds);
    VerdictOfRounds("seconds from start to the parameters shown", seconds, "<= 0.5",
                    [](double v) { return v <= 0.5; });
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    // Figure numbers on the command line run only those (for profiling one of them).
    QStringList figures = app.arguments().mid(1);
    if (figures.isEmpty()) figures = {"1", "2", "3", "4", "5"};
    std::printf("== live_bench (%s platform) ==\n", qPrintable(QApplication::platformName()));
    const std::pair<const char*, void (*)()> runs[] = {{"1", FramesOverTcp},
                                                       {"2", FramesOverPacedTerminal},
                                                       {"3", CpuWithASlowSensor},
                                                       {"4", MemoryOverManyFrames},
                                                       {"5", StartUpToParameters}};
    for (const auto& [number, run] : runs) {
        if (!figures.contains(QLatin1String(number))) continue;
        std::fflush(stdout);
        run();
    }
    return 0;
}
