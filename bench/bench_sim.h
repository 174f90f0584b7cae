#pragma once
// What every benchmark against velorax-sim shares, QtCore and the link only: velorax-sim as a
// child process, the resident memory and CPU time of a process, a plain link's bare exchange
// rate to measure against, and the verdict line. Header-only.

#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench_clock.h"
#include "link/commands.h"
#include "link/link.h"
#include "ui/wait.h"

namespace bench {

inline constexpr int kBaudIndex115200 = 4;

inline void Wait(const std::function<bool()>& done, double seconds = ui::kNoDeadline) {
    ui::EventWait wait;
    wait.WaitUntil(done, seconds);
}

// Resident memory of this process, from /proc/self/statm.
inline double ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2) return 0;
    return fields[1].toDouble() * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

// CPU seconds (user and system) that process `pid` has used so far, from /proc/PID/stat.
inline double ProcessCpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return 0;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();  // utime, stime
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Resident memory of process `pid`, from /proc/PID/statm.
inline double ProcessResidentBytes(qint64 pid) {
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
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
    // CPU time the simulator has used so far.
    double CpuSeconds() const { return ProcessCpuSeconds(process_.processId()); }

  private:
    QProcess process_;
    bool ok_ = false;
    int port_ = 0;
};

class Observer : public sensorlink::FailureObserver {
  public:
    void ReportLinkFailure(std::string_view) override { ++failures; }
    int failures = 0;
};

// Exchanges counted over a stretch of time, and the CPU this process spent on them.
struct Slice {
    int exchanges = 0;
    double seconds = 0;
    double cpu = 0;
    Slice& operator+=(const Slice& other) {
        exchanges += other.exchanges;
        seconds += other.seconds;
        cpu += other.cpu;
        return *this;
    }
    double Rate() const { return exchanges / seconds; }
    double CpuPerExchange() const { return cpu / exchanges; }
};

// Bare command-8 exchanges of a plain link for `seconds`, after a short warm-up, with the CPU
// of this process meanwhile (velorax-sim being another process, the client's alone); with
// `ended`, the time each exchange ended is added to it.
inline Slice BareExchanges(sensorlink::Link& link, double seconds,
                           std::vector<double>* ended = nullptr) {
    for (int i = 0; i < 50; ++i) link.Command(sensorlink::cmd::kMeasure, 0);
    Slice slice;
    const double wall0 = WallSeconds();
    const double cpu0 = SelfCpuSeconds();
    while (WallSeconds() - wall0 < seconds) {
        if (link.Command(sensorlink::cmd::kMeasure, 0).Frame()) {
            ++slice.exchanges;
            if (ended) ended->push_back(WallSeconds());
        }
    }
    slice.seconds = WallSeconds() - wall0;
    slice.cpu = SelfCpuSeconds() - cpu0;
    return slice;
}

inline void Verdict(const char* figure, double value, const char* goal, bool met) {
    std::printf("  => %s = %.3f (goal %s): %s\n", figure, value, goal, met ? "met" : "MISSED");
}

}  // namespace bench
