// Benchmark of velorax-cli as a process of its own against velorax-sim processes, run by
// scripts/bench (never by ctest). All figures are ratios measured in one run:
//   1. measure --format jsonl > FILE over TCP on 127.0.0.1: frames per second (from the
//      first frame's time stamp to the last's) as a share of the bare command-8 exchange rate
//      of a plain link against the same simulator, and velorax-cli's CPU per frame against
//      the plain link's CPU per exchange;
//   2. frames per second over the simulator's paced pseudo-terminal at 115200 baud as a
//      share of the wire limit, 185.8 exchanges per second;
//   3. resident memory while measuring, and the CPU share of one core while the sensor
//      answers every 200 ms;
//   4. eight velorax-cli against eight simulators at once, each on a paced pseudo-terminal
//      at 115200 baud: each one's rate as a share of the rate of one alone.

#include <signal.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench_sim.h"
#include "bench_stats.h"
#include "link/serial_ports.h"

namespace {

using namespace bench;

constexpr double kWireLimit = 185.8;  // 115200 / (10 bits x 62 bytes)
// The rounds of figure 1: the cost of an exchange follows the machine's load, and many
// rounds steady the median.
constexpr int kTcpRounds = 9;
// The goal of figure 1 in CPU time: the rate goal (0.95 of the bare link's) turned over.
constexpr double kTcpCpuLimit = 1 / 0.95;
constexpr const char* kTcpCpuGoal = "<= 1/0.95 = 1.053";

// velorax-cli with its standard output to a file or /dev/null.
class CliProcess {
  public:
    explicit CliProcess(const QStringList& arguments, const QString& out = {}) {
        process_.setStandardOutputFile(out.isEmpty() ? QProcess::nullDevice() : out);
        process_.setStandardErrorFile(QProcess::nullDevice());
        start_ = WallSeconds();
        process_.start(QStringLiteral(VELORAX_CLI_EXE), arguments);
        process_.waitForStarted(5000);
    }
    ~CliProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
    // Seconds from the start to the end, or a negative number when it did not end well.
    double Finish(double seconds = 60) {
        Wait([this] { return process_.state() == QProcess::NotRunning; }, seconds);
        const double took = WallSeconds() - start_;
        if (process_.state() != QProcess::NotRunning || process_.exitCode() != 0) return -1;
        return took;
    }
    // Whether it ended by itself with status 0 (not killed, not crashed).
    bool EndedWell() const {
        return process_.state() == QProcess::NotRunning &&
               process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    void Interrupt() { ::kill(static_cast<pid_t>(process_.processId()), SIGINT); }
    qint64 Pid() const { return process_.processId(); }
    int ExitCode() const { return process_.exitCode(); }

  private:
    QProcess process_;
    double start_ = 0;
};

QStringList Tcp(int port) {
    return {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(port)};
}

QStringList Serial(const QString& tty) {
    return {QStringLiteral("--serial"), tty, QStringLiteral("--baud"), QStringLiteral("115200")};
}

// Frames per second between the first and the last frame of a JSON-lines file, from their
// time stamps (milliseconds): the start-up of the process is not in it.
double RateOfFile(const QString& path, int* frames = nullptr) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QRegularExpression time(QStringLiteral("T(\\d\\d):(\\d\\d):(\\d\\d\\.\\d\\d\\d)"));
    std::vector<double> stamps;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const auto m = time.match(QString::fromLatin1(line));
        if (!m.hasMatch()) continue;
        stamps.push_back(m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 +
                         m.captured(3).toDouble());
    }
    if (frames) *frames = static_cast<int>(stamps.size());
    if (stamps.size() < 2 || stamps.back() <= stamps.front()) return 0;
    return static_cast<double>(stamps.size() - 1) / (stamps.back() - stamps.front());
}

// One velorax-cli measuring `count` frames over TCP, its standard output into `out`: its CPU (user
// and system, start-up included), or a negative number when it did not end well with every frame.
double MeasuredCpu(int port, const QString& out, int count) {
    // The simulator is the only other child and is not reaped before the end: the reaped
    // children's CPU grows by this velorax-cli's alone.
    const double cpu0 = ReapedChildrenCpuSeconds();
    {
        CliProcess cli(Tcp(port) + QStringList{"measure", "--format", "jsonl", "--count",
                                               QString::number(count)},
                       out);
        cli.Finish();
        if (!cli.EndedWell()) {
            std::printf("  velorax-cli failed (status %d)\n", cli.ExitCode());
            return -1;
        }
    }
    const double used = ReapedChildrenCpuSeconds() - cpu0;
    int frames = 0;
    RateOfFile(out, &frames);
    if (frames != count) {
        std::printf("  velorax-cli ended well with %d frames of %d\n", frames, count);
        return -1;
    }
    return used;
}

// 1. measure over TCP against the bare link's exchange rate and CPU.
void FramesOverTcp() {
    std::printf("1. measure --format jsonl > FILE over TCP 127.0.0.1 against velorax-sim\n");
    SimProcess sim({"--tcp", "127.0.0.1:0"});
    if (!sim.Ok()) return;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("frames.jsonl"));
    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    Observer observer;
    sensorlink::Link link(state, observer);
    // The plain link and velorax-cli take turns, so that both see the same load; the
    // simulator serves the newest client. velorax-cli's rate runs from its first frame to its
    // last (time stamps of the file), so its start-up (seconds, when the machine is busy) is
    // not in it; its CPU per frame is the difference of a long run and a run of one frame.
    // Each long run is held against the mean of the plain link's turns before and after it.
    const auto turn = [&]() -> Slice {
        if (link.ConnectTcp(QStringLiteral("127.0.0.1"), sim.Port()) != 0) {
            std::printf("  bare link cannot connect: %s\n", state.message.c_str());
            return {};
        }
        const Slice slice = BareExchanges(link, 0.5);
        link.DisconnectTcp();
        return slice;
    };
    Slice bare = turn();
    Slice before = bare;
    int frames = 0;
    double seconds = 0;
    double cpu = 0;
    std::vector<double> ratios, cpuRatios;
    for (int round = 0; round < kTcpRounds; ++round) {
        if (before.exchanges == 0) return;
        const double startUp = MeasuredCpu(sim.Port(), out, 1);
        const int count = std::max(5000, 2 * before.exchanges);  // about as long as a turn
        const double whole = MeasuredCpu(sim.Port(), out, count);
        if (startUp < 0 || whole < 0) return;
        const double rate = RateOfFile(out);
        if (rate <= 0) return;
        const Slice after = turn();
        if (after.exchanges == 0) return;
        bare += after;
        Slice around = before;
        around += after;
        before = after;
        frames += count - 1;
        seconds += (count - 1) / rate;
        cpu += whole - startUp;
        ratios.push_back(rate / around.Rate());
        cpuRatios.push_back((whole - startUp) / (count - 1) / around.CpuPerExchange());
    }
    std::printf(
        "  bare link, command 8 exchanges: %8.0f per second (%d in %.2f s, %.1f us CPU "
        "per exchange)\n",
        bare.Rate(), bare.exchanges, bare.seconds, 1e6 * bare.CpuPerExchange());
    std::printf(
        "  velorax-cli measure, jsonl:     %8.0f frames per second (%d in %.2f s, %.1f us "
        "CPU per frame)\n",
        frames / seconds, frames, seconds, 1e6 * cpu / frames);
    FigureOfRounds("measure frames/s / bare exchanges/s", ratios, kWallNotTheGoal);
    VerdictOfRounds("measure CPU per frame / bare CPU per exchange", cpuRatios, kTcpCpuGoal,
                    [](double r) { return r <= kTcpCpuLimit; });
}

// One velorax-cli measuring `count` frames over a paced pseudo-terminal: its rate.
double PacedRate(const QString& tty, const QString& out, int count) {
    CliProcess cli(Serial(tty) + QStringList{"measure", "--format", "jsonl", "--count",
                                             QString::number(count), "-o", out});
    if (cli.Finish() < 0) {
        std::printf("  velorax-cli on %s failed (status %d)\n", qPrintable(tty), cli.ExitCode());
        return 0;
    }
    return RateOfFile(out);
}

// 2. The paced pseudo-terminal at 115200 baud against the wire limit.
double FramesOverPacedTerminal() {
    std::printf("2. measure over velorax-sim's pseudo-terminal, --baud-emulation, 115200 baud\n");
    QTemporaryDir dir;
    const QString tty = dir.filePath("velorax-tty");
    SimProcess sim({"--pty", tty, "--baud-emulation"});
    if (!sim.Ok()) return 0;
    // The plain link and velorax-cli take turns on the line, round by round.
    sensorlink::LinkState state;
    Observer observer;
    sensorlink::Link link(state, observer);
    link.Ports().SetScanner([] { return QList<sensorlink::SystemPort>{}; });
    const int number = link.Ports().AddDevicePath(tty);
    Slice bare;
    double rates = 0;
    std::vector<double> ofWire, ofBare;
    for (int round = 0; round < kRounds; ++round) {
        if (link.OpenSerialPort(number, kBaudIndex115200) != 0) {
            std::printf("  bare link cannot open %s: %s\n", qPrintable(tty), state.message.c_str());
            return 0;
        }
        const Slice slice = BareExchanges(link, 1.0);
        link.CloseSerialPort();
        bare += slice;
        const double rate = PacedRate(tty, dir.filePath(QString("frames%1.jsonl").arg(round)), 200);
        rates += rate / kRounds;
        ofWire.push_back(rate / kWireLimit);
        ofBare.push_back(rate / (slice.exchanges / slice.seconds));
    }
    const double bareRate = bare.exchanges / bare.seconds;
    std::printf("  bare link, command 8 exchanges: %6.1f per second (%.3f of the limit)\n", bareRate,
                bareRate / kWireLimit);
    std::printf("  velorax-cli measure:            %6.1f frames per second (wire limit %.1f)\n",
                rates, kWireLimit);
    VerdictOfRounds("measure frames/s / 185.8", ofWire, ">= 0.95", [](double r) { return r >= 0.95; });
    VerdictOfRounds("measure frames/s / bare link frames/s", ofBare, ">= 0.95",
                    [](double r) { return r >= 0.95; });
    const double rate = rates;
    return rate;
}

// 3. Memory while measuring, and CPU while a slow sensor is awaited.
void MemoryAndCpu() {
    std::printf("3. resident memory while measuring; CPU with a sensor answering every 200 ms\n");
    {
        SimProcess sim({"--tcp", "127.0.0.1:0"});
        if (!sim.Ok()) return;
        CliProcess cli(Tcp(sim.Port()) + QStringList{"measure", "--format", "jsonl"});
        double peak = 0;
        const double until = WallSeconds() + 3.0;
        while (WallSeconds() < until) {
            Wait([] { return false; }, 0.25);
            peak = std::max(peak, ProcessResidentBytes(cli.Pid()));
        }
        cli.Interrupt();
        const bool clean = cli.Finish(10) >= 0;
        const double mb = peak / (1024.0 * 1024.0);
        std::printf("  RSS while measuring back to back for 3 s: %.1f MB (ended by SIGINT: %s)\n",
                    mb, clean ? "status 0" : "NOT CLEAN");
        Verdict("RSS in MB", mb, "<= 20", mb <= 20.0 && clean);
    }
    {
        SimProcess sim({"--tcp", "127.0.0.1:0", "--latency", "200"});
        if (!sim.Ok()) return;
        CliProcess cli(Tcp(sim.Port()) + QStringList{"measure", "--format", "jsonl"});
        // After the start-up: five seconds of frames every 200 ms.
        Wait([] { return false; }, 1.0);
        const double cpu0 = ProcessCpuSeconds(cli.Pid());
        const double wall0 = WallSeconds();
        Wait([] { return false; }, 5.0);
        const double cpu = ProcessCpuSeconds(cli.Pid()) - cpu0;
        const double wall = WallSeconds() - wall0;
        cli.Interrupt();
        cli.Finish(10);
        const double share = cpu / wall;
        std::printf("  CPU over %.1f s: %.1f ms (%.2f %% of a core; the clock ticks are 10 ms)\n",
                    wall, 1e3 * cpu, 100 * share);
        Verdict("CPU share in %", 100 * share, "<= 0.5", 100 * share <= 0.5);
    }
}

// 4. Eight against eight on paced pseudo-terminals, each against the rate of one alone.
void EightSideBySide() {
    constexpr int kPairs = 8;
    std::printf("4. %d velorax-cli against %d velorax-sim at once, paced, 115200 baud\n", kPairs,
                kPairs);
    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int i = 0; i < kPairs; ++i) {
        sims.push_back(std::make_unique<SimProcess>(
            QStringList{"--pty", dir.filePath(QString("tty%1").arg(i)), "--baud-emulation"}));
        if (!sims.back()->Ok()) return;
    }
    // One alone, then eight at once, round by round: each round's worst of eight against
    // that round's one alone.
    std::vector<double> worsts;
    for (int round = 0; round < kRounds; ++round) {
        const double alone =
            PacedRate(dir.filePath("tty0"), dir.filePath(QString("solo%1.jsonl").arg(round)), 300);
        std::vector<std::unique_ptr<CliProcess>> clis;
        for (int i = 0; i < kPairs; ++i)
            clis.push_back(std::make_unique<CliProcess>(
                Serial(dir.filePath(QString("tty%1").arg(i))) +
                QStringList{"measure", "--format", "jsonl", "--count", "300", "-o",
                            dir.filePath(QString("frames%1-%2.jsonl").arg(round).arg(i))}));
        double worst = 1e9;
        for (int i = 0; i < kPairs; ++i) {
            if (clis[static_cast<std::size_t>(i)]->Finish() < 0) {
                std::printf("  velorax-cli %d failed\n", i);
                return;
            }
            const double rate =
                RateOfFile(dir.filePath(QString("frames%1-%2.jsonl").arg(round).arg(i)));
            worst = std::min(worst, rate / alone);
        }
        std::printf("  round %d: one alone %.1f frames per second, the slowest of eight %.3f of it\n",
                    round + 1, alone, worst);
        worsts.push_back(worst);
    }
    VerdictOfRounds("worst rate of eight / rate of one alone", worsts, ">= 0.9",
                    [](double r) { return r >= 0.9; });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList figures = app.arguments().mid(1);
    if (figures.isEmpty()) figures = {"1", "2", "3", "4"};
    std::printf("== cli_bench ==\n");
    if (figures.contains("1")) FramesOverTcp();
    std::fflush(stdout);
    if (figures.contains("2")) FramesOverPacedTerminal();
    std::fflush(stdout);
    if (figures.contains("3")) MemoryAndCpu();
    std::fflush(stdout);
    if (figures.contains("4")) EightSideBySide();
    return 0;
}
