// The real velorax-cli as a process of its own against the in-process simulated sensor:
// SIGINT, SIGTERM, SIGHUP and SIGQUIT during measure and triggered end it cleanly (a whole
// file, triggered sending off, status 0), a file that cannot grow, processes side by side,
// and the executable without a display.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstring>
#include <functional>
#include <memory>

#include "cli_fixture.h"
#include "wait_for.h"

namespace {

using clitest::ReadAll;
using clitest::Sensor;
using clitest::Transport;
using testing_support::WaitFor;

QStringList Strings(const std::vector<std::string>& args) {
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    return list;
}

// velorax-cli started with no display and no platform to find.
struct CliProcess {
    // `child` runs in the child before velorax-cli starts (async-signal-safe calls only).
    explicit CliProcess(const std::vector<std::string>& args,
                        const std::function<void()>& child = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(env);
        if (child) process.setChildProcessModifier(child);
        process.start(QStringLiteral(VELORAX_CLI_EXE), Strings(args));
    }
    ~CliProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    void Signal(int sig) { ::kill(static_cast<pid_t>(process.processId()), sig); }
    bool Finished(int timeoutMs = 10000) {
        return WaitFor([this] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    }
    QProcess process;
};

int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(CliSignals, SigintDuringMeasureLeavesAWholeRecordFile) {
    Sensor sensor(Transport::Tcp);
    QTemporaryDir dir;
    const QString file = dir.filePath("record.dat");
    CliProcess cli(
        clitest::Args(sensor.Link(), {"measure", "--interval", "0.25", "-o", file.toStdString()}));
    // The header has five lines; wait for three frames after it.
    ASSERT_TRUE(WaitFor([&] { return Lines(ReadAll(file)) >= 8; }, 10000));
    cli.Signal(SIGINT);
    ASSERT_TRUE(cli.Finished());
    EXPECT_EQ(cli.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.process.exitCode(), 0) << cli.process.readAllStandardError().toStdString();
    const std::string written = ReadAll(file);
    ASSERT_GE(Lines(written), 8);
    EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
    const QStringList lines = QString::fromStdString(written).split("\r\n", Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(3)) EXPECT_EQ(line.count('\t'), 12) << line.toStdString();
    // The port was closed: the sensor has no client any more.
    EXPECT_TRUE(WaitFor([&] { return !sensor.server.TcpClientConnected(); }));
}

// A closed terminal or ssh session (SIGHUP) and SIGQUIT end it as SIGTERM does.
TEST(CliSignals, TerminatingSignalsDuringTriggeredSwitchTriggeredSendingOff) {
    const std::pair<Transport, int> cases[] = {{Transport::Tcp, SIGTERM},
                                               {Transport::Serial, SIGTERM},
                                               {Transport::Tcp, SIGHUP},
                                               {Transport::Serial, SIGQUIT}};
    for (const auto& [transport, sig] : cases) {
        SCOPED_TRACE(std::string(clitest::Name(transport)) + " " + strsignal(sig));
        Sensor sensor(transport, 20.0);
        CliProcess cli(clitest::Args(sensor.Link(), {"triggered", "--format", "jsonl"}));
        QByteArray out;
        ASSERT_TRUE(WaitFor(
            [&] {
                out += cli.process.readAllStandardOutput();
                return out.count('\n') >= 2;
            },
            10000));
        cli.Signal(sig);
        ASSERT_TRUE(cli.Finished());
        out += cli.process.readAllStandardOutput();
        EXPECT_EQ(cli.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.process.exitCode(), 0) << cli.process.readAllStandardError().toStdString();
        EXPECT_TRUE(out.endsWith("}\n"));
        // Switched off, and the sensor acknowledged it.
        EXPECT_EQ(sensor.Traced("PC>SIM cmd=30 par=0 "), 1);
        const QByteArray trace = sensor.Trace();
        const qsizetype off = trace.lastIndexOf("PC>SIM cmd=30 par=0 ");
        EXPECT_GT(trace.indexOf("SIM>PC cmd=30 par=0 len=0 ", off), off);
    }
}

// A disk that fills up in the middle of a record file (here a file size limit, its signal
// ignored as a shell's ulimit -f leaves it): the file ends on its last whole line, status 4.
TEST(CliFiles, AWriteErrorInTheMiddleOfMeasureLeavesNoHalfLine) {
    Sensor sensor(Transport::Tcp);
    QTemporaryDir dir;
    const QString file = dir.filePath("record.dat");
    CliProcess cli(clitest::Args(sensor.Link(), {"measure", "-o", file.toStdString()}), [] {
        const rlimit limit{700, 700};  // the header and a few lines
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
    });
    ASSERT_TRUE(cli.Finished());
    EXPECT_EQ(cli.process.exitCode(), 4);
    EXPECT_TRUE(cli.process.readAllStandardError().contains("File too large"));
    const std::string written = ReadAll(file);
    ASSERT_GT(Lines(written), 5);
    EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
    const QStringList lines = QString::fromStdString(written).split("\r\n", Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(3)) EXPECT_EQ(line.count('\t'), 12) << line.toStdString();
}

TEST(CliSignals, ProcessesSideBySideEachWithItsOwnSensorAndFile) {
    constexpr int kProcesses = 3;
    std::vector<std::unique_ptr<Sensor>> sensors;
    std::vector<std::unique_ptr<CliProcess>> clis;
    QTemporaryDir dir;
    for (int i = 0; i < kProcesses; ++i) {
        sensors.push_back(std::make_unique<Sensor>(Transport::Tcp));
        const std::string file = dir.filePath(QString("sensor%1.ini").arg(i)).toStdString();
        clis.push_back(std::make_unique<CliProcess>(
            clitest::Args(sensors.back()->Link(), {"get", "--from", "eeprom", "-o", file})));
    }
    for (int i = 0; i < kProcesses; ++i) {
        ASSERT_TRUE(clis[i]->Finished());
        EXPECT_EQ(clis[i]->process.exitCode(), 0)
            << clis[i]->process.readAllStandardError().toStdString();
        EXPECT_EQ(sensors[i]->Traced("PC>SIM cmd=4 "), 1);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), kProcesses);
}

}  // namespace
