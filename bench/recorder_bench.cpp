// Benchmark of the recorder of the whole program against velorax-sim over TCP on
// 127.0.0.1, run by scripts/bench (never by ctest):
//   1. count mode, interval 0.25 s, 400 frames: the mean interval between frames on the
//      program's clock (taken when each frame arrives) against 0.25 s, and its drift (the
//      mean of the last 100 intervals against the first 100); the CPU of the program's thread
//      over the run, almost all of it spent waiting between frames;
//   2. triggered mode waiting for a trigger that does not come: CPU of the program's thread;
//   3. triggered mode at the simulator's highest trigger rate: frames recorded per second
//      against the frames the simulator sent (from its trace), and every sent frame up to the
//      last one recorded found in the file once, in order (none lost, none doubled).
// The program writes into a record file in a temporary folder.

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench_program.h"
#include "link/frame.h"
#include "recorder/recorder_page.h"

namespace {

using namespace bench;

constexpr int kCountFrames = 400;
constexpr double kInterval = 0.25;
constexpr double kTriggerRate = 10000;  // the simulator's highest
constexpr double kTriggeredSeconds = 3.0;

struct Run {
    double wall = 0;
    double cpu = 0;
};

// A recording started with the page's button, the questions answered yes.
template <class Start>
Run Record(BenchProgram& program, Start start) {
    program.Popups().AnswerConfirm(true);
    const double wall0 = WallSeconds();
    const double cpu0 = ThreadCpuSeconds();
    start();
    return {WallSeconds() - wall0, ThreadCpuSeconds() - cpu0};
}

recorder::RecorderPage* Prepare(BenchProgram& program, const QString& file, int mode) {
    auto* page = program.Page<recorder::RecorderPage>();
    if (!page) return nullptr;
    page->CreateRecordFile(file);
    BenchProgram::Choose(program.Control<QComboBox>("MAINP", "EditRecMode"), mode);
    return page;
}

void CountMode() {
    std::printf("1. count mode, %d frames at %.2f s over TCP 127.0.0.1\n", kCountFrames, kInterval);
    SimProcess sim({"--tcp", "127.0.0.1:0"});
    if (!sim.Ok()) return;
    BenchProgram program(TcpSettings(sim.Port()));
    QTemporaryDir dir;
    auto* page = Prepare(program, dir.filePath("count.dat"), recorder::kModeCount);
    if (!program.Ok() || !page) {
        std::printf("  program not connected: %s\n", qPrintable(program.Message()));
        return;
    }
    program.Control<QDoubleSpinBox>("MAINP", "EditInterval")->setValue(kInterval);
    program.Control<QSpinBox>("MAINP", "EditRecVal")->setValue(kCountFrames);
    std::vector<double> taken;
    taken.reserve(kCountFrames);
    program.onFrame = [&](int) { taken.push_back(program.S().Wait().Now()); };
    const Run run =
        Record(program, [&] { program.Control<QPushButton>("MAINP", "ButtonRecStart")->click(); });
    if (static_cast<int>(taken.size()) != kCountFrames) {
        std::printf("  %zu frames instead of %d: %s\n", taken.size(), kCountFrames,
                    qPrintable(program.Message()));
        return;
    }
    const double mean = (taken.back() - taken.front()) / (kCountFrames - 1);
    auto meanOf = [&](std::size_t from, std::size_t count) {
        return (taken[from + count] - taken[from]) / static_cast<double>(count);
    };
    const double first = meanOf(0, 100);
    const double last = meanOf(kCountFrames - 101, 100);
    double longest = 0;
    for (std::size_t i = 1; i < taken.size(); ++i) longest = std::max(longest, taken[i] - taken[i - 1]);
    std::printf("  %d frames in %.2f s; mean interval %.5f s, first 100 %.5f s, last 100 %.5f s, "
                "longest %.4f s\n",
                kCountFrames, run.wall, mean, first, last, longest);
    const double error = std::abs(mean - kInterval) / kInterval;
    Verdict("|mean interval - 0.25 s| / 0.25 s", error, "<= 0.01", error <= 0.01);
    const double drift = std::abs(last - first) / kInterval;
    Verdict("|last 100 - first 100| / 0.25 s (drift)", drift, "<= 0.01", drift <= 0.01);
    const double share = run.cpu / run.wall;
    std::printf("  CPU %.2f s over %.1f s\n", run.cpu, run.wall);
    Verdict("CPU share of one core while recording", share, "< 0.02", share < 0.02);
}

void TriggeredIdle() {
    std::printf("2. triggered mode waiting for a trigger that does not come\n");
    SimProcess sim({"--tcp", "127.0.0.1:0", "--trigger-rate", "0"});
    if (!sim.Ok()) return;
    BenchProgram program(TcpSettings(sim.Port()));
    QTemporaryDir dir;
    auto* page = Prepare(program, dir.filePath("idle.dat"), recorder::kModeTriggered);
    if (!program.Ok() || !page) return;
    QTimer::singleShot(static_cast<int>(kTriggeredSeconds * 1000),
                       [&] { program.Control<QPushButton>("MAINP", "ButtonRecStop")->click(); });
    const Run run = Record(program, [&] {
        program.Control<QPushButton>("MAINP", "ButtonRecStartTriggered")->click();
    });
    std::printf("  %.1f ms CPU in %.2f s\n", 1e3 * run.cpu, run.wall);
    Verdict("CPU share of one core while waiting", run.cpu / run.wall, "< 0.02",
            run.cpu / run.wall < 0.02);
}

// The eleven recorded words of each triggered frame the simulator's trace shows sent.
std::vector<QByteArray> SentFrames(const QString& trace) {
    QFile file(trace);
    std::vector<QByteArray> frames;
    if (!file.open(QIODevice::ReadOnly)) return frames;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.contains("SIM>PC cmd=30 par=0 len=46")) continue;
        const QByteArray bytes = QByteArray::fromHex(line.mid(line.indexOf('|') + 1).trimmed().replace(' ', ""));
        if (bytes.size() < 8 + 22) continue;
        QList<QByteArray> words;
        for (int i = 0; i < 11; ++i) {
            const auto lo = static_cast<std::uint8_t>(bytes[8 + 2 * i]);
            const auto hi = static_cast<std::uint8_t>(bytes[8 + 2 * i + 1]);
            int value = lo | (hi << 8);
            if (i == 6) value = static_cast<std::int16_t>(value);
            words << QByteArray::number(value);
        }
        frames.push_back(words.join('\t'));
    }
    return frames;
}

std::vector<QByteArray> RecordedFrames(const QString& path) {
    QFile file(path);
    std::vector<QByteArray> frames;
    if (!file.open(QIODevice::ReadOnly)) return frames;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split('\t');
        if (fields.size() != 13 || fields[0] == "DATE") continue;
        frames.push_back(fields.mid(2).join('\t'));
    }
    return frames;
}

void TriggeredFlood() {
    std::printf("3. triggered mode at %.0f triggers per second over TCP 127.0.0.1\n", kTriggerRate);
    QTemporaryDir dir;
    const QString trace = dir.filePath("trace.txt");
    SimProcess sim({"--tcp", "127.0.0.1:0", "--trigger-rate", QString::number(kTriggerRate),
                    "--trace", trace});
    if (!sim.Ok()) return;
    BenchProgram program(TcpSettings(sim.Port()));
    const QString file = dir.filePath("flood.dat");
    auto* page = Prepare(program, file, recorder::kModeTriggered);
    if (!program.Ok() || !page) return;
    QTimer::singleShot(static_cast<int>(kTriggeredSeconds * 1000),
                       [&] { program.Control<QPushButton>("MAINP", "ButtonRecStop")->click(); });
    const Run run = Record(program, [&] {
        program.Control<QPushButton>("MAINP", "ButtonRecStartTriggered")->click();
    });
    const std::vector<QByteArray> sent = SentFrames(trace);
    const std::vector<QByteArray> recorded = RecordedFrames(file);
    // Frames sent after STOP, before the sensor took the command to stop, are not recorded.
    std::size_t matched = 0;
    while (matched < recorded.size() && matched < sent.size() && recorded[matched] == sent[matched])
        ++matched;
    std::printf("  sent %zu, recorded %zu in %.2f s (%.1f us CPU per frame); %zu recorded in order "
                "before the first difference\n",
                sent.size(), recorded.size(), run.wall, 1e6 * run.cpu / std::max<std::size_t>(recorded.size(), 1),
                matched);
    const double ratio = sent.empty() ? 0 : static_cast<double>(recorded.size()) / sent.size();
    Verdict("frames recorded / frames sent", ratio, ">= 0.99", ratio >= 0.99);
    const bool exact = matched == recorded.size();
    std::printf("  => every recorded frame is the next one sent (none lost, none doubled): %s\n",
                exact ? "yes" : "NO");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList figures = app.arguments().mid(1);
    if (figures.isEmpty()) figures = {"1", "2", "3"};
    std::printf("== recorder_bench (%s platform) ==\n", qPrintable(QApplication::platformName()));
    const std::pair<const char*, void (*)()> runs[] = {{"1", CountMode}, {"2", TriggeredIdle},
                                                       {"3", TriggeredFlood}};
    for (const auto& [number, run] : runs) {
        if (!figures.contains(QLatin1String(number))) continue;
        std::fflush(stdout);
        run();
        std::fflush(stdout);
    }
    return 0;
}
