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

#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "bench_clock.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/serial_ports.h"
#include "measure/measure_page.h"
#include "shell/connection_page.h"
#include "shell/page_list.h"
#include "shell/program.h"
#include "ui/panel_set.h"
#include "ui/popups.h"
#include "ui/runtime.h"
#include "ui/wait.h"

namespace {

using bench::ThreadCpuSeconds;
using bench::WallSeconds;

constexpr double kRunSeconds = 3.0;
constexpr int kRounds = 3;  // turns of the plain link and the program in figure 1
constexpr int kBaudIndex115200 = 4;

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

void Wait(const std::function<bool()>& done, double seconds = ui::kNoDeadline) {
    ui::EventWait wait;
    wait.WaitUntil(done, seconds);
}

// Resident memory of this process, from /proc/self/statm.
double ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2) return 0;
    return fields[1].toDouble() * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

// velorax-sim as a child process; the constructor returns once it listens.
class SimProcess {
  public:
    explicit SimProcess(const QStringList& arguments) {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral(VELORAX_SIM_EXE), arguments);
        QByteArray said;
        Wait(
            [&] {
                said += process_.readAll();
                return said.contains('\n') || process_.state() == QProcess::NotRunning;
            },
            10.0);
        const QRegularExpression tcp(QStringLiteral("listening on tcp [0-9.]+:([0-9]+)"));
        const auto match = tcp.match(QString::fromLocal8Bit(said));
        if (match.hasMatch()) port_ = match.captured(1).toInt();
        ok_ = process_.state() == QProcess::Running && said.contains("velorax-sim: ");
        if (!ok_) std::printf("velorax-sim did not start: %s\n", said.constData());
    }
    ~SimProcess() {
        process_.terminate();
        Wait([&] { return process_.state() == QProcess::NotRunning; }, 10.0);
        if (process_.state() != QProcess::NotRunning) process_.kill();
        process_.waitForFinished(1000);
    }
    bool Ok() const { return ok_; }
    int Port() const { return port_; }
    // CPU time the simulator has used so far, from /proc/PID/stat.
    double CpuSeconds() const {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process_.processId()));
        if (!stat.open(QIODevice::ReadOnly)) return 0;
        const QByteArray text = stat.readAll();
        // Fields after the command name, which is in parentheses and may hold spaces.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13) return 0;
        const double ticks = fields[11].toDouble() + fields[12].toDouble();  // utime, stime
        return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

  private:
    QProcess process_;
    bool ok_ = false;
    int port_ = 0;
};

QString Lines(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString TcpSettings(int port) {
    return Lines({"[GENERAL INFO]", "FILE TYPE: = \"Panel Settings\"", "",
                  "[COMMUNICATION SETTINGS]", "COMPROTOCOL = 1", "IP ADRESS = \"127.0.0.1\"",
                  QStringLiteral("PORT NUMBER = \"%1\"").arg(port), ""});
}

// Serial port 1001 is the first device path the settings file lists.
QString SerialSettings(const QString& device) {
    return Lines({"[GENERAL INFO]", "FILE TYPE: = \"Panel Settings\"", "",
                  "[COMMUNICATION SETTINGS]", "COMPROTOCOL = 0", "COMPORT = 1001",
                  QStringLiteral("BAUDRATE = %1").arg(kBaudIndex115200), "", "[SERIAL DEVICES]",
                  QStringLiteral("DEVICE 1 = \"%1\"").arg(device), ""});
}

// The whole program in a temporary program folder, started and connected.
class BenchProgram {
  public:
    explicit BenchProgram(const QString& settings) {
        QFile::copy(QStringLiteral(VELORAX_UIR_PATH),
                    dir_.filePath(QString::fromLatin1(ui::kPanelSetFile)));
        QFile file(dir_.filePath(QStringLiteral("PanelSettings.cfg")));
        if (file.open(QIODevice::WriteOnly)) file.write(settings.toUtf8());
        file.close();
        shell::ProgramOptions options;
        options.pages = shell::AllPages();
        // The machine's own serial ports stay out of it.
        options.session.portScanner = [] { return QList<sensorlink::SystemPort>{}; };
        QString error;
        program_ = shell::Program::Create(dir_.path(), popups_, options, &error);
        if (!program_) {
            std::printf("program not created: %s\n", qPrintable(error));
            return;
        }
        program_->quitUserInterface = [] {};
        program_->StartUp();
        for (const auto& page : program_->Pages())
            if (auto* m = dynamic_cast<measure::MeasurePage*>(page.get())) measure_ = m;
        QObject::connect(&program_->Session(), &session::Session::FrameTaken, &program_->Session(),
                         [this] {
                             ++frames;
                             if (onFrame) onFrame(frames);
                         });
    }
    ~BenchProgram() {
        if (program_) program_->Shutdown();
    }
    BenchProgram(const BenchProgram&) = delete;
    BenchProgram& operator=(const BenchProgram&) = delete;

    bool Ok() const { return program_ && measure_ && program_->Session().linkState.linkOk; }
    QString Message() const {
        return program_ ? QString::fromStdString(program_->Session().linkState.message)
                        : QStringLiteral("no program");
    }
    session::Session& S() { return program_->Session(); }

    struct Loop {
        int frames = 0;
        double wall = 0;
        double cpu = 0;
        Loop& operator+=(const Loop& other) {
            frames += other.frames;
            wall += other.wall;
            cpu += other.cpu;
            return *this;
        }
    };

    // TRY TO CONNECT after another client took the simulator over, then back to the
    // parameter page the program shows after start-up.
    bool Reconnect() {
        program_->Connection().CBF_ButtonTryToConnect(ui::Event::Commit);
        ui::SetActiveTabPage(program_->tabMain, session::kPageParameter);
        return Ok();
    }

    // GO, ended after `seconds` by a timer that clears loopRunning (or earlier by onFrame).
    Loop Go(double seconds) {
        const int frames0 = frames;
        QTimer stop;
        stop.setSingleShot(true);
        stop.setTimerType(Qt::PreciseTimer);
        QObject::connect(&stop, &QTimer::timeout, [this] { S().app.loopRunning = false; });
        if (seconds > 0) stop.start(static_cast<int>(seconds * 1000));
        const double wall0 = WallSeconds();
        const double cpu0 = ThreadCpuSeconds();
        measure_->CBF_ButtonGo(ui::Event::Commit);
        const bool stoppedByTimer = seconds > 0 && !stop.isActive();
        Loop loop;
        loop.cpu = ThreadCpuSeconds() - cpu0;
        loop.wall = WallSeconds() - wall0;
        loop.frames = frames - frames0;
        if (seconds > 0 && !stoppedByTimer)
            std::printf("  the loop ended before its time: %s\n", qPrintable(Message()));
        return loop;
    }

    // What is on screen while the loop runs.
    QString Shown() const {
        QTabWidget* tabs = measure_->tabData;
        return QStringLiteral("data panel %1, data page \"%2\"")
            .arg(measure_->dataPanel->isVisible() ? "shown" : "hidden",
                 tabs->tabText(tabs->currentIndex()));
    }

    int frames = 0;
    std::function<void(int)> onFrame;

  private:
    QTemporaryDir dir_;
    ui::ScriptedPopups popups_;
    std::unique_ptr<shell::Program> program_;
    measure::MeasurePage* measure_ = nullptr;
};

class Observer : public sensorlink::FailureObserver {
  public:
    void ReportLinkFailure() override { ++failures; }
    int failures = 0;
};

// Exchanges counted over a stretch of time.
struct Slice {
    int exchanges = 0;
    double seconds = 0;
    Slice& operator+=(const Slice& other) {
        exchanges += other.exchanges;
        seconds += other.seconds;
        return *this;
    }
};

// Bare command-8 exchanges of a plain link for `seconds`, after a short warm-up.
Slice BareExchanges(sensorlink::Link& link, double seconds) {
    for (int i = 0; i < 50; ++i) link.Command(sensorlink::cmd::kMeasure, 0);
    Slice slice;
    const double wall0 = WallSeconds();
    while (WallSeconds() - wall0 < seconds) {
        if (link.Command(sensorlink::cmd::kMeasure, 0) == 1) ++slice.exchanges;
    }
    slice.seconds = WallSeconds() - wall0;
    return slice;
}

void Verdict(const char* figure, double value, const char* goal, bool met) {
    std::printf("  => %s = %.3f (goal %s): %s\n", figure, value, goal, met ? "met" : "MISSED");
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
            program.S().app.loopRunning = false;
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
