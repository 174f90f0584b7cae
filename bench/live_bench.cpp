// Benchmark of the live loop of the whole program (every page, the panel set, the main
// panel with the data panel and a chart page shown), run by scripts/bench (never by ctest)
// against velorax-sim as a process of its own:
//   1. frames per second over TCP on 127.0.0.1, as a share of the bare command-8 exchange
//      rate of a plain link against the same simulator in the same run;
//   2. frames per second over the simulator's pseudo-terminal with baud emulation at
//      115200 baud, as a share of the wire limit of one exchange (request, reply header,
//      measurement payload at 10 bits a byte);
//   3. CPU time of the program's thread while the sensor answers every 200 ms, as a share
//      of one core;
//   4. how much the resident memory grows from frame 1 000 to frame 100 000.
// On the offscreen platform unless a display is there (scripts/bench may provide Xvfb).

#include <QApplication>
#include <cstdio>
#include <optional>
#include <vector>

#include "bench_program.h"

namespace {

using namespace bench;

constexpr double kRunSeconds = 3.0;
constexpr int kRounds = 3;  // turns of the plain link and the program in figure 1

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
        }
        return result;
    }
    static constexpr double kCounted = 100e-6;
    double refreshSeconds = 0;
    int refreshes = 0;

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
    // load of the machine. The simulator serves the newest client: each side connects anew
    // for its turn.
    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    Observer observer;
    sensorlink::Link link(state, observer);
    Slice bare;
    BenchProgram::Loop live;
    for (int round = 0; round < kRounds; ++round) {
        if (link.ConnectTcp(QStringLiteral("127.0.0.1"), sim.Port()) != 0) {
            std::printf("  bare link cannot connect: %s\n", state.message.c_str());
            return;
        }
        bare += BareExchanges(link, kRunSeconds / kRounds);
        link.DisconnectTcp();
        if (!program.Reconnect()) {
            std::printf("  program not connected again: %s\n", qPrintable(program.Message()));
            return;
        }
        live += program.Go(kRunSeconds / kRounds);
    }
    const double bareRate = bare.exchanges / bare.seconds;
    const double fps = live.frames / live.wall;
    std::printf("  bare link, command 8 exchanges:  %8.0f per second (%d in %.2f s)\n", bareRate,
                bare.exchanges, bare.seconds);
    std::printf(
        "  live loop, whole program:        %8.0f frames per second (%d in %.2f s, "
        "%.1f us CPU per frame)\n",
        fps, live.frames, live.wall, 1e6 * live.cpu / std::max(live.frames, 1));
    Verdict("live-loop frames/s / bare exchanges/s", fps / bareRate, ">= 0.7",
            fps / bareRate >= 0.7);
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
    double bare = 0;
    {
        sensorlink::LinkState state;
        Observer observer;
        sensorlink::Link link(state, observer);
        link.Ports().SetScanner([] { return QList<sensorlink::SystemPort>{}; });
        const int number = link.Ports().AddDevicePath(tty);
        if (link.OpenSerialPort(number, kBaudIndex115200) != 0) {
            std::printf("  bare link cannot open %s: %s\n", qPrintable(tty), state.message.c_str());
            return;
        }
        const Slice slice = BareExchanges(link, kRunSeconds);
        bare = slice.exchanges / slice.seconds;
        link.CloseSerialPort();
    }
    BenchProgram program(SerialSettings(tty));
    if (!program.Ok()) {
        std::printf("  program not connected: %s\n", qPrintable(program.Message()));
        return;
    }
    program.Go(0.5);
    // When each frame was taken, and how much refresh work ran meanwhile.
    std::vector<double> taken;
    taken.reserve(1000);
    program.onFrame = [&taken](int) { taken.push_back(WallSeconds()); };
    const double refresh0 = App()->refreshSeconds;
    const int refreshes0 = App()->refreshes;
    const double simCpu0 = sim.CpuSeconds();
    const auto loop = program.Go(kRunSeconds);
    const double simCpu = sim.CpuSeconds() - simCpu0;
    const double refreshSeconds = App()->refreshSeconds - refresh0;
    const int refreshes = App()->refreshes - refreshes0;
    const double fps = loop.frames / loop.wall;
    std::printf("  %s\n", qPrintable(program.Shown()));
    std::printf("  wire limit: 115200 / (10 bits x %d bytes) = %.1f exchanges per second\n",
                kExchangeBytes, wireLimit);
    std::printf("  bare link, command 8 exchanges:  %6.1f per second (%.3f of the limit)\n", bare,
                bare / wireLimit);
    std::printf(
        "  live loop, whole program:        %6.1f frames per second (%d in %.2f s, CPU "
        "%.1f %% of a core)\n",
        fps, loop.frames, loop.wall, 100.0 * loop.cpu / loop.wall);
    // Frames that took clearly longer than the bare link's exchanges: what was lost there.
    const double usual = 1.0 / bare;
    int late = 0;
    double lost = 0;
    for (std::size_t i = 1; i < taken.size(); ++i) {
        const double interval = taken[i] - taken[i - 1];
        if (interval > usual + 0.25e-3) {
            ++late;
            lost += interval - usual;
        }
    }
    std::printf("  refresh work (timers and paints over %.1f ms): %.0f per second, %.2f ms each\n",
                1e3 * TimingApplication::kCounted, refreshes / loop.wall,
                1e3 * refreshSeconds / std::max(refreshes, 1));
    std::printf(
        "  frames later than a bare exchange by over 0.25 ms: %d of %zu, %.1f ms lost "
        "per second\n",
        late, taken.size(), 1e3 * lost / loop.wall);
    std::printf("  velorax-sim pacing both directions: %.1f %% of a core\n",
                100.0 * simCpu / loop.wall);
    Verdict("live-loop frames/s / wire limit", fps / wireLimit, ">= 0.98", fps / wireLimit >= 0.98);
}

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
    const auto loop = program.Go(kRunSeconds);
    const double share = loop.cpu / loop.wall;
    std::printf("  %d frames in %.2f s, %.1f ms CPU (%.2f ms per frame)\n", loop.frames, loop.wall,
                1e3 * loop.cpu, 1e3 * loop.cpu / std::max(loop.frames, 1));
    Verdict("CPU share of one core", share, "< 0.02", share < 0.02);
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    // Figure numbers on the command line run only those (for profiling one of them).
    QStringList figures = app.arguments().mid(1);
    if (figures.isEmpty()) figures = {"1", "2", "3", "4"};
    std::printf("== live_bench (%s platform) ==\n", qPrintable(QApplication::platformName()));
    const std::pair<const char*, void (*)()> runs[] = {{"1", FramesOverTcp},
                                                       {"2", FramesOverPacedTerminal},
                                                       {"3", CpuWithASlowSensor},
                                                       {"4", MemoryOverManyFrames}};
    for (const auto& [number, run] : runs) {
        if (!figures.contains(QLatin1String(number))) continue;
        std::fflush(stdout);
        run();
    }
    return 0;
}
