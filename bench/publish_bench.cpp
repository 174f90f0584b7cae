// Benchmark of velorax-cli publish as processes of their own against velorax-sim processes, a
// Mosquitto broker on 127.0.0.1 and mosquitto_sub, run by scripts/bench (never by ctest).
// All figures are ratios measured in one run:
//   1. sixteen publishers against sixteen simulators on paced pseudo-terminals at 115200
//      baud, one broker, one subscriber: the frames per second the subscriber received as a
//      share of 16 x the wire limit (185.8/s), and each publisher's rate as a share of
//      measure alone on the same line;
//   2. QoS 1 across a 5 s broker restart: frames lost within the queue's bound;
//   3. CPU of one publisher while the sensor answers every 200 ms, and its resident memory.
//   publish_bench [--short] [1] [2] [3]

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "bench_sim.h"

namespace {

using namespace bench;

constexpr double kWireLimit = 185.8;  // 115200 / (10 bits x 62 bytes)
bool shortRun = false;

QProcess* StartProcess(const QString& program, const QStringList& args, const QString& out = {}) {
    auto* p = new QProcess;
    p->setStandardOutputFile(out.isEmpty() ? QProcess::nullDevice() : out);
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(program, args);
    p->waitForStarted(5000);
    return p;
}

void End(QProcess* p, int sig = SIGTERM) {
    if (p->state() != QProcess::NotRunning) ::kill(static_cast<pid_t>(p->processId()), sig);
    if (!p->waitForFinished(10000)) p->kill();
    p->waitForFinished(2000);
    delete p;
}

bool Listening(quint16 port) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    return s.waitForConnected(200);
}

// Mosquitto on 127.0.0.1 at a free port, keeping sessions across a restart.
struct Broker {
    Broker() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
        QFile conf(dir.filePath("mosquitto.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(QString("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                           "persistence_location %2/\nmax_queued_messages 0\n%3")
                       .arg(port)
                       .arg(dir.path(), ::geteuid() == 0 ? "user root\n" : "")
                       .toUtf8());
    }
    ~Broker() {
        if (process) End(process);
    }
    bool Start() {
        process = StartProcess(QStringLiteral("/usr/sbin/mosquitto"),
                               {"-c", dir.filePath("mosquitto.conf")});
        Wait([this] { return Listening(port); }, 10);
        return Listening(port);
    }
    void Stop() {
        End(process);
        process = nullptr;
    }
    QString Url() const { return QString("mqtt://127.0.0.1:%1").arg(port); }
    QTemporaryDir dir;
    quint16 port = 0;
    QProcess* process = nullptr;
};

QProcess* Subscribe(const Broker& b, const QString& out, const QString& id = {}) {
    QStringList args{"-h", "127.0.0.1",       "-p", QString::number(b.port), "-q", "1",
                     "-t", "velorax/+/frame", "-v"};
    if (!id.isEmpty())
        args << "-c"
             << "-i" << id;
    QProcess* p = StartProcess(QStringLiteral("mosquitto_sub"), args, out);
    Wait([] { return false; }, 0.3);
    return p;
}

// Each sensor's frames in a subscriber's file: its time stamps in seconds, and its seqs.
struct Frames {
    std::vector<double> stamps;
    std::set<long> seqs;
    double Rate() const {
        if (stamps.size() < 2 || stamps.back() <= stamps.front()) return 0;
        return static_cast<double>(stamps.size() - 1) / (stamps.back() - stamps.front());
    }
};
std::map<QString, Frames> ReadFrames(const QString& path) {
    std::map<QString, Frames> all;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return all;
    const QRegularExpression line(
        QStringLiteral("^(?:velorax/([^/]+)/frame "
                       ")?\\{.*\"seq\":(\\d+),\"time\":\"[^T]*T(\\d\\d):(\\d\\d):(\\d\\d\\.\\d+)"));
    for (const QByteArray& text : file.readAll().split('\n')) {
        const auto m = line.match(QString::fromUtf8(text));
        if (!m.hasMatch()) continue;
        Frames& f = all[m.captured(1)];
        f.seqs.insert(m.captured(2).toLong());
        f.stamps.push_back(m.captured(3).toDouble() * 3600 + m.captured(4).toDouble() * 60 +
                           m.captured(5).toDouble());
    }
    return all;
}

QStringList Serial(const QString& tty) {
    return {"--serial", tty, "--baud", "115200"};
}

// 1. Sixteen publishers, one broker, one subscriber.
void Sixteen() {
    const int n = shortRun ? 4 : 16;
    const int count = shortRun ? 200 : 1000;
    std::printf(
        "1. %d publishers against %d velorax-sim, paced 115200 baud, one broker, one "
        "subscriber\n",
        n, n);
    Broker broker;
    if (!broker.Start()) return std::printf("  mosquitto did not start\n"), void();
    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int i = 0; i < n; ++i) {
        sims.push_back(std::make_unique<SimProcess>(
            QStringList{"--pty", dir.filePath(QString("tty%1").arg(i)), "--baud-emulation"}));
        if (!sims.back()->Ok()) return std::printf("  velorax-sim did not start\n"), void();
    }
    // measure alone on each line, one after the other: the rate to compare with.
    std::vector<double> alone(n);
    for (int i = 0; i < n; ++i) {
        const QString out = dir.filePath(QString("alone%1.jsonl").arg(i));
        QProcess* m = StartProcess(QStringLiteral(VELORAX_CLI_EXE),
                                   Serial(dir.filePath(QString("tty%1").arg(i))) +
                                       QStringList{"measure", "--format", "jsonl", "--count", "300",
                                                   "--id", QString("s%1").arg(i), "-o", out});
        Wait([m] { return m->state() == QProcess::NotRunning; }, 30);
        End(m);
        alone[i] = ReadFrames(out)[QString()].Rate();  // JSON lines: no topic
    }
    // The same sixteen lines measured all at once, without a broker: what the machine
    // gives sixteen lines at a time, to tell the broker's cost from the machine's load.
    std::vector<QProcess*> measures;
    for (int i = 0; i < n; ++i)
        measures.push_back(StartProcess(
            QStringLiteral(VELORAX_CLI_EXE),
            Serial(dir.filePath(QString("tty%1").arg(i))) +
                QStringList{"measure", "--format", "jsonl", "--count", QString::number(count), "-o",
                            dir.filePath(QString("together%1.jsonl").arg(i))}));
    double together = 0;
    for (int i = 0; i < n; ++i) {
        Wait([p = measures[i]] { return p->state() == QProcess::NotRunning; }, 60);
        End(measures[i]);
        together += ReadFrames(dir.filePath(QString("together%1.jsonl").arg(i)))[QString()].Rate();
    }
    std::printf(
        "  %d measure at once: %.1f frames per second in all (%.3f of %d x the wire "
        "limit)\n",
        n, together, together / (n * kWireLimit), n);
    const QString received = dir.filePath("received.txt");
    QProcess* sub = Subscribe(broker, received);
    std::vector<QProcess*> pubs;
    for (int i = 0; i < n; ++i)
        pubs.push_back(StartProcess(
            QStringLiteral(VELORAX_CLI_EXE),
            Serial(dir.filePath(QString("tty%1").arg(i))) +
                QStringList{"publish", "--broker", broker.Url(), "--id", QString("s%1").arg(i),
                            "--count", QString::number(count)}));
    for (QProcess* p : pubs) {
        Wait([p] { return p->state() == QProcess::NotRunning; }, 60);
        End(p);
    }
    Wait([] { return false; }, 0.5);
    End(sub);
    const auto frames = ReadFrames(received);
    double total = 0, worst = 1e9;
    int got = 0;
    for (int i = 0; i < n; ++i) {
        const auto it = frames.find(QString("s%1").arg(i));
        const double rate = it == frames.end() ? 0 : it->second.Rate();
        got += it == frames.end() ? 0 : static_cast<int>(it->second.seqs.size());
        total += rate;
        worst = std::min(worst, alone[i] > 0 ? rate / alone[i] : 0);
    }
    double aloneSum = 0;
    for (const double a : alone) aloneSum += a;
    std::printf(
        "  measure alone, one line after the other: %.1f frames per second on average "
        "(%.3f of the wire limit)\n",
        aloneSum / n, aloneSum / n / kWireLimit);
    std::printf("  frames received %d of %d; %.1f per second in all (wire limit %d x %.1f)\n", got,
                n * count, total, n, kWireLimit);
    Verdict("received frames/s / (n x 185.8)", total / (n * kWireLimit), ">= 0.95",
            total / (n * kWireLimit) >= 0.95);
    Verdict("slowest publisher / measure alone on its line", worst, ">= 0.95", worst >= 0.95);
    std::printf("  (received frames/s / %d measure at once: %.3f)\n", n,
                together > 0 ? total / together : 0);
}

// 2. QoS 1 across a 5 s broker restart.
void Restart() {
    const double away = shortRun ? 1.0 : 5.0;
    std::printf("2. QoS 1 across a %.0f s broker restart, paced 115200 baud, back to back\n", away);
    Broker broker;
    if (!broker.Start()) return std::printf("  mosquitto did not start\n"), void();
    QTemporaryDir dir;
    SimProcess sim({"--pty", dir.filePath("tty"), "--baud-emulation"});
    if (!sim.Ok()) return;
    const QString received = dir.filePath("received.txt");
    QProcess* sub = Subscribe(broker, received, "publish-bench");
    QProcess* pub = StartProcess(
        QStringLiteral(VELORAX_CLI_EXE),
        Serial(dir.filePath("tty")) + QStringList{"publish", "--broker", broker.Url(), "--id", "r",
                                                  "--qos", "1", "--retry-max", "0.5"});
    Wait([] { return false; }, 2.0);
    broker.Stop();
    Wait([] { return false; }, away);
    broker.Start();
    Wait([] { return false; }, 3.0);
    End(pub);
    Wait([] { return false; }, 1.0);
    End(sub);
    const Frames f = ReadFrames(received)["r"];
    const long last = f.seqs.empty() ? 0 : *f.seqs.rbegin();
    const long lost = last - static_cast<long>(f.seqs.size()) - (*f.seqs.begin() - 1);
    const double span = f.stamps.size() > 1 ? f.stamps.back() - f.stamps.front() : 0;
    std::printf(
        "  frames %ld to %ld received, %zu distinct, taken over %.1f s; about %.0f taken "
        "while away\n",
        f.seqs.empty() ? 0 : *f.seqs.begin(), last, f.seqs.size(), span, away * kWireLimit);
    Verdict("frames lost within the bound", static_cast<double>(lost), "== 0",
            lost == 0 && last > 0);
}

// 3. CPU with a sensor answering every 200 ms, and memory.
void CpuAndMemory() {
    std::printf("3. one publisher, the sensor answering every 200 ms: CPU and resident memory\n");
    Broker broker;
    if (!broker.Start()) return std::printf("  mosquitto did not start\n"), void();
    SimProcess sim({"--tcp", "127.0.0.1:0", "--latency", "200"});
    if (!sim.Ok()) return;
    QProcess* pub = StartProcess(QStringLiteral(VELORAX_CLI_EXE),
                                 {"--tcp", QString("127.0.0.1:%1").arg(sim.Port()), "publish",
                                  "--broker", broker.Url(), "--qos", "1"});
    Wait([] { return false; }, 1.0);
    const double cpu0 = ProcessCpuSeconds(pub->processId());
    const double wall0 = WallSeconds();
    double peak = 0;
    const double until = wall0 + (shortRun ? 2.0 : 10.0);
    while (WallSeconds() < until) {
        Wait([] { return false; }, 0.25);
        peak = std::max(peak, ProcessResidentBytes(pub->processId()));
    }
    const double share = (ProcessCpuSeconds(pub->processId()) - cpu0) / (WallSeconds() - wall0);
    End(pub);
    std::printf("  CPU %.2f %% of a core (the clock ticks are 10 ms); RSS %.1f MB\n", 100 * share,
                peak / (1024.0 * 1024.0));
    Verdict("CPU share in %", 100 * share, "<= 0.5", 100 * share <= 0.5);
    Verdict("RSS in MB", peak / (1024.0 * 1024.0), "<= 20", peak <= 20.0 * 1024 * 1024);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList figures = app.arguments().mid(1);
    shortRun = figures.removeAll("--short") > 0;
    if (figures.isEmpty()) figures = {"1", "2", "3"};
    std::printf("== publish_bench%s ==\n", shortRun ? " (short: the figures mean nothing)" : "");
    if (figures.contains("1")) Sixteen();
    std::fflush(stdout);
    if (figures.contains("2")) Restart();
    std::fflush(stdout);
    if (figures.contains("3")) CpuAndMemory();
    return 0;
}
