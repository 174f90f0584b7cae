// Long runs of the whole program's live loop against velorax-sim over TCP on 127.0.0.1, run
// by scripts/soak (never by ctest or CI):
//   1. FRAMES frames (1 000 000 by default) without a fault: the resident memory at frame
//      10 000 and at the end, the CPU of the program's thread per frame, the exchanges
//      that did not bring a frame (each one is a reported failure), and the frames the
//      simulator's trace shows sent against the frames the program took;
//   2. FAULTED frames (100 000 by default) with a fault every 1 000 frames, in turn a bad
//      header checksum, a reply that never comes, and a hang-up; after each the loop has
//      ended with its report, and TRY TO CONNECT and GO go on. The same figures, and the
//      reports counted against the faults injected;
//   3. a serial line that goes away during GO: the report, the port, and the CPU of the
//      program's thread in the second after;
//   4. REPEATS faults (1 500 by default), a bad header checksum after every 100 frames and
//      TRY TO CONNECT after each: the resident memory every 250 faults, which must level
//      off (what grows is bounded: Qt's pixmap cache, 10 MB, and the message box, 5 000
//      lines).
//
// The program's rules are checked on the way (no report without a fault, one report per
// fault, no frame lost, a pulled line reported once and its port closed, TRY TO CONNECT
// working after each fault); the exit status is 1 when one of them failed, so that a short
// run (CI runs `soak 2000 3000 10`) tells. The timing and memory figures only say "met" or
// "MISSED": they are goals, measured, not rules.
//
//   soak [FRAMES [FAULTED [REPEATS]]]

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "bench_program.h"

namespace {

using namespace bench;

constexpr int kEarly = 10000;
constexpr int kFaultEvery = 1000;

int broken = 0;  // rules of the program that a run found broken

void Rule(const char* rule, bool kept) {
    if (kept) return;
    ++broken;
    std::printf("  BROKEN: %s\n", rule);
}

double Megabytes(double bytes) {
    return bytes / (1024.0 * 1024.0);
}

// The measurement frames a trace of the simulator shows sent.
long long FramesSent(const QString& trace) {
    QFile file(trace);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    long long sent = 0;
    while (!file.atEnd())
        if (file.readLine().contains("SIM>PC cmd=8 ")) ++sent;
    return sent;
}

void Clean(int frames) {
    std::printf("1. %d frames, no fault\n", frames);
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    auto sim = std::make_unique<SimProcess>(QStringList{"--tcp", "127.0.0.1:0", "--trace", trace});
    Rule("velorax-sim starts", sim->Ok());
    if (!sim->Ok()) return;
    BenchProgram program(TcpSettings(sim->Port()));
    Rule("the program connects", program.Ok());
    if (!program.Ok()) return;
    int failures = 0;
    QObject::connect(&program.S(), &session::Session::LinkFailed, &program.S(),
                     [&](const QString&) { ++failures; });
    double early = 0;
    program.onFrame = [&](int n) {
        if (n == kEarly) early = ResidentBytes();
        if (n >= frames) program.S().StopLoops();
    };
    const auto loop = program.Go(0);
    const double late = ResidentBytes();
    std::printf("  %d frames in %.0f s (%.0f per second), %.1f us CPU per frame\n", program.frames,
                loop.wall, program.frames / loop.wall,
                1e6 * loop.cpu / std::max(program.frames, 1));
    std::printf("  RSS %.1f MB at frame %d, %.1f MB at frame %d: %+.2f MB\n", Megabytes(early),
                kEarly, Megabytes(late), program.frames, Megabytes(late - early));
    std::printf("  exchanges without a frame (reported failures): %d\n", failures);
    // (Counted before the simulator ends: its going is reported, rightly.)
    Rule("no report without a fault", failures == 0);
    sim.reset();  // its trace is complete once it has ended
    const long long sent = FramesSent(trace);
    std::printf("  frames sent (simulator's trace) %lld, taken by the program %d: %lld lost\n",
                sent, program.frames, sent - program.frames);
    Rule("every frame sent is taken", sent == program.frames);
}

void Faulted(int frames) {
    std::printf("2. %d frames, a fault every %d (bad header checksum, silence, hang-up in turn)\n",
                frames, kFaultEvery);
    // The simulator counts the measurement requests it answers; every 1 000th gets the fault.
    // A hang-up after every 3 000th; a bad header at 1 000, 4 000, ...; silence at 2 000, 5 000,
    // ...
    QStringList arguments = {"--tcp", "127.0.0.1:0", "--fault",
                             QStringLiteral("close-after:%1@8").arg(3 * kFaultEvery)};
    for (int n = kFaultEvery; n <= frames + frames / kFaultEvery; n += 3 * kFaultEvery) {
        arguments << "--fault" << QStringLiteral("badcrc-header@8#%1").arg(n);
        arguments << "--fault" << QStringLiteral("silent@8#%1").arg(n + kFaultEvery);
    }
    SimProcess sim(arguments);
    Rule("velorax-sim starts", sim.Ok());
    if (!sim.Ok()) return;
    BenchProgram program(TcpSettings(sim.Port()));
    Rule("the program connects", program.Ok());
    if (!program.Ok()) return;
    int failures = 0;
    QObject::connect(&program.S(), &session::Session::LinkFailed, &program.S(),
                     [&](const QString& text) {
                         if (++failures <= 4)
                             std::printf("  report at frame %d: %s\n", program.frames,
                                         qPrintable(QString(text).simplified()));
                     });
    double early = 0;
    program.onFrame = [&](int n) {
        if (n == kEarly) early = ResidentBytes();
        if (n >= frames) program.S().StopLoops();
    };
    BenchProgram::Loop total;
    int restarts = 0;
    while (program.frames < frames) {
        total += program.Go(0);
        if (program.frames >= frames) break;
        // The loop ended on a fault: one report, then TRY TO CONNECT as the user would.
        if (!program.Reconnect()) {
            std::printf("  TRY TO CONNECT failed after %d frames: %s\n", program.frames,
                        qPrintable(program.Message()));
            Rule("TRY TO CONNECT works after a fault", false);
            break;
        }
        ++restarts;
    }
    const double late = ResidentBytes();
    std::printf("  %d frames in %.0f s, %.1f us CPU per frame; %d restarts by TRY TO CONNECT\n",
                program.frames, total.wall, 1e6 * total.cpu / std::max(program.frames, 1),
                restarts);
    std::printf("  RSS %.1f MB at frame %d, %.1f MB at the end: %+.2f MB\n", Megabytes(early),
                kEarly, Megabytes(late), Megabytes(late - early));
    // Each fault is reported once, a hang-up too: the closed connection and the exchange it
    // cut short are one failure of the link.
    const int hangUps = restarts / 3;
    std::printf(
        "  reports %d for %d faults reached, %d of them hang-ups (one report per fault, "
        "none for a healthy exchange): %s\n",
        failures, restarts, hangUps, failures == restarts ? "yes" : "NO");
    Rule("one report per fault", failures == restarts);
    Rule("the faults were reached", restarts >= frames / kFaultEvery - 1);
}

// 3. A serial adapter pulled out during GO: the simulator's pseudo-terminal goes away.
void Unplugged() {
    std::printf("3. the serial line goes away during GO (velorax-sim's pseudo-terminal closes)\n");
    QTemporaryDir dir;
    const QString tty = dir.filePath(QStringLiteral("velorax-tty"));
    auto sim = std::make_unique<SimProcess>(QStringList{"--pty", tty});
    Rule("velorax-sim starts", sim->Ok());
    if (!sim->Ok()) return;
    BenchProgram program(SerialSettings(tty));
    if (!program.Ok()) {
        std::printf("  program not connected: %s\n", qPrintable(program.Message()));
        Rule("the program connects", false);
        return;
    }
    int reports = 0;
    double reportedAt = 0;
    QObject::connect(&program.S(), &session::Session::LinkFailed, &program.S(),
                     [&](const QString&) {
                         if (++reports == 1) reportedAt = WallSeconds();
                     });
    QTimer::singleShot(1000, [&] { sim.reset(); });  // the adapter goes
    const double pulled = WallSeconds() + 1.0;
    program.Go(0);
    // The second after the report: what the program's thread spends with a dead line.
    const double cpu0 = ThreadCpuSeconds();
    const double wall0 = WallSeconds();
    Wait([] { return false; }, 1.0);
    const double share = (ThreadCpuSeconds() - cpu0) / (WallSeconds() - wall0);
    std::printf("  %d frames; %d report(s), the first %.0f ms after the line went; port %s\n",
                program.frames, reports, 1e3 * (reportedAt - pulled),
                program.S().Link().SerialOpen() ? "still open" : "closed");
    Verdict("CPU share of one core in the second after the report", share, "< 0.02", share < 0.02);
    Rule("a pulled line is reported once", reports == 1);
    Rule("the port of a pulled line is closed", !program.S().Link().SerialOpen());
}

void Repeated(int faults) {
    constexpr int kFramesBetween = 100;
    std::printf("4. %d faults, one after every %d frames, TRY TO CONNECT after each\n", faults,
                kFramesBetween);
    QStringList arguments{"--tcp", "127.0.0.1:0"};
    for (int n = kFramesBetween; n <= kFramesBetween * (faults + 1); n += kFramesBetween)
        arguments << "--fault" << QStringLiteral("badcrc-header@8#%1").arg(n);
    SimProcess sim(arguments);
    Rule("velorax-sim starts", sim.Ok());
    if (!sim.Ok()) return;
    BenchProgram program(TcpSettings(sim.Port()));
    Rule("the program connects", program.Ok());
    if (!program.Ok()) return;
    QStringList samples;
    double third = 0;
    for (int n = 0; n <= faults; ++n) {
        if (n % 250 == 0)
            samples << QStringLiteral("%1: %2").arg(n).arg(Megabytes(ResidentBytes()), 0, 'f', 1);
        if (n == faults * 2 / 3) third = ResidentBytes();
        if (n == faults) break;
        program.Go(0);  // ends at the next fault
        if (!program.Reconnect()) {
            std::printf("  TRY TO CONNECT failed after %d faults: %s\n", n,
                        qPrintable(program.Message()));
            Rule("TRY TO CONNECT works after a fault", false);
            return;
        }
    }
    std::printf("  RSS in MB after so many faults: %s\n", qPrintable(samples.join(", ")));
    std::printf("  growth over the last third: %+.2f MB\n", Megabytes(ResidentBytes() - third));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int frames = args.size() > 1 ? args[1].toInt() : 1000000;
    const int faulted = args.size() > 2 ? args[2].toInt() : 100000;
    const int repeats = args.size() > 3 ? args[3].toInt() : 1500;
    std::printf("== soak (%s platform) ==\n", qPrintable(QApplication::platformName()));
    std::fflush(stdout);
    if (frames > 0) Clean(frames);
    std::fflush(stdout);
    if (faulted > 0) Faulted(faulted);
    std::fflush(stdout);
    Unplugged();
    std::fflush(stdout);
    if (repeats > 0) Repeated(repeats);
    std::printf("soak: %s\n", broken ? "rules BROKEN (see above)" : "every rule kept");
    return broken ? 1 : 0;
}
