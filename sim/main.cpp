// velorax-sim: the simulated VELORAX3 KVT-ANA colour sensor as a program of its own.
// It serves the sensor's link protocol over TCP and/or a pseudo-terminal until SIGINT or
// SIGTERM, keeping its EEPROM in a file if asked to.

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>

#include "sim/model/eeprom_file.h"
#include "sim/model/faults.h"
#include "sim/server/sim_server.h"

namespace {

constexpr char kHelp[] = R"(Usage: velorax-sim [options]

The simulated VELORAX3 KVT-ANA colour sensor. It answers the sensor's fifteen commands
over TCP and/or a pseudo-terminal, makes measurement frames from a scene of colour
patches, and can inject faults. Stop it with Ctrl-C or SIGTERM.

Options:
  --tcp [HOST:]PORT    Listen for one TCP client at HOST (default 127.0.0.1) and PORT
                       (0 = any free port). A new client replaces the previous one.
                       Without --tcp and --pty: --tcp 127.0.0.1:10001.
  --pty PATH           Open a pseudo-terminal and put a symbolic link to its device at
                       PATH (e.g. ./velorax-tty); an old link there is replaced. Point the
                       program's serial port at PATH. Works together with --tcp.
  --seed N             Seed of the noise (default 1); equal seeds repeat a run exactly.
  --latency MS         Delay every reply by MS milliseconds (default 0).
  --baud-emulation     Pace the pseudo-terminal in both directions at the sensor's baud
                       rate (10 bits per byte): a request is taken once its bytes would
                       have come through, reply bytes leave no faster than the line
                       carries them. Command 190 switches the rate after its reply.
  --trigger-rate HZ    Pulses per second on the trigger input IN0 (default 2; 0 = none).
                       While triggered sending (command 30) is on, each pulse sends a
                       measurement frame; IN0 also drives the scope's EXTERNAL IN0 mode.
  --scene FILE         Colour patches to look at instead of the built-in loop (white, red,
                       green, blue, yellow, cyan, magenta, dark grey, 3 s each). One patch
                       per line: "name R G B seconds", reflectances 0..1, '#' comments.
  --eeprom FILE        Keep the EEPROM (both parameter sets, calibration factors, offsets,
                       baud rate) in FILE: loaded at start, saved after every EEPROM write
                       (commands 3, 100, 101) and at exit.
  --taught-scene       Start with every patch of the scene taught into parameter set 0 in
                       RAM (colour evaluation on), so the program's colour views show
                       the tolerance circles and the sensor recognises each patch.
  --fault FAULT        Inject a fault; repeatable. Syntax below.
  --trace FILE         Write every frame in both directions, with a time stamp, to FILE.
  --help               Show this text.

Faults:
)";

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}

struct Settings {
    std::optional<QString> tcp;
    std::optional<QString> pty;
    sim::ServerOptions server;
    std::vector<sim::Fault> faults;
    QString eepromPath;
    bool taughtScene = false;
};

void Fail(const QString& message) {
    std::cerr << "velorax-sim: " << message.toStdString() << "\n(see velorax-sim --help)\n";
}

bool ParseNumber(const QString& text, double min, double& out) {
    bool ok = false;
    out = text.toDouble(&ok);
    return ok && out >= min;
}

// Returns 0 to go on, otherwise the exit code.
int ParseArguments(const QStringList& args, Settings& s) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& opt = args[i];
        auto value = [&](QString& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        static const QStringList kWithValue{"--tcp",     "--pty",          "--seed",
                                            "--latency", "--trigger-rate", "--scene",
                                            "--eeprom",  "--fault",        "--trace"};
        QString v;
        if (opt != "--help" && opt != "-h" && opt != "--baud-emulation" &&
            opt != "--taught-scene" && !kWithValue.contains(opt)) {
            Fail("unknown option " + opt);
            return 2;
        }
        if (opt == "--help" || opt == "-h") {
            std::cout << kHelp << sim::FaultSyntaxHelp();
            return -1;
        } else if (opt == "--baud-emulation") {
            s.server.baudEmulation = true;
        } else if (opt == "--taught-scene") {
            s.taughtScene = true;
        } else if (!value(v)) {
            Fail(opt + " needs a value");
            return 2;
        } else if (opt == "--tcp") {
            s.tcp = v;
        } else if (opt == "--pty") {
            s.pty = v;
        } else if (opt == "--seed") {
            bool ok = false;
            s.server.model.seed = v.toULongLong(&ok);
            if (!ok) return Fail("--seed needs a whole number"), 2;
        } else if (opt == "--latency") {
            double ms = 0;
            if (!ParseNumber(v, 0, ms)) return Fail("--latency needs milliseconds >= 0"), 2;
            s.server.model.replyLatency = ms / 1000.0;
        } else if (opt == "--trigger-rate") {
            double hz = 0;
            if (!ParseNumber(v, 0, hz) || hz > 10000) {
                return Fail("--trigger-rate needs 0..10000 pulses per second"), 2;
            }
            s.server.model.triggerRate = hz;
        } else if (opt == "--scene") {
            std::string error;
            auto scene = sim::Scene::Load(v.toStdString(), &error);
            if (!scene) return Fail("--scene " + v + ": " + QString::fromStdString(error)), 2;
            s.server.model.scene = std::move(*scene);
        } else if (opt == "--eeprom") {
            s.eepromPath = v;
        } else if (opt == "--fault") {
            std::string error;
            auto fault = sim::ParseFault(v.toStdString(), &error);
            if (!fault) return Fail(QString::fromStdString(error)), 2;
            s.faults.push_back(*fault);
        } else if (opt == "--trace") {
            s.server.tracePath = v;
        } else {
            Fail("unknown option " + opt);
            return 2;
        }
    }
    if (!s.tcp && !s.pty) s.tcp = QStringLiteral("127.0.0.1:10001");
    return 0;
}

bool ParseTcp(const QString& text, QHostAddress& host, quint16& port) {
    QString portText = text;
    host = QHostAddress(QHostAddress::LocalHost);
    const int colon = text.lastIndexOf(':');
    if (colon >= 0) {
        const QString hostText = text.left(colon);
        portText = text.mid(colon + 1);
        if (hostText == "*" || hostText.isEmpty()) {
            host = QHostAddress(QHostAddress::Any);
        } else if (hostText == "localhost") {
            host = QHostAddress(QHostAddress::LocalHost);
        } else if (!host.setAddress(hostText)) {
            return false;
        }
    }
    bool ok = false;
    const uint value = portText.toUInt(&ok);
    if (!ok || value > 65535) return false;
    port = static_cast<quint16>(value);
    return true;
}

void SaveEeprom(const QString& path, const sim::SensorModel& model) {
    if (path.isEmpty()) return;
    std::string error;
    if (!sim::SaveEepromFile(path.toStdString(), model.EepromImage(), &error)) {
        std::cerr << "velorax-sim: " << error << '\n';
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Settings settings;
    if (const int rc = ParseArguments(app.arguments(), settings); rc != 0) return rc < 0 ? 0 : rc;

    std::optional<sim::Eeprom> stored;
    if (!settings.eepromPath.isEmpty()) {
        std::string error;
        stored = sim::LoadEepromFile(settings.eepromPath.toStdString(), &error);
        if (!stored && !error.empty()) {
            // Refuse rather than overwrite a file we cannot read.
            std::cerr << "velorax-sim: " << error << '\n';
            return 2;
        }
    }

    sim::SimServer server(settings.server);
    if (stored) server.Model().PowerUp(*stored);
    if (settings.taughtScene) server.Model().TeachScene();
    for (const sim::Fault& f : settings.faults) server.Model().Faults().Add(f);
    QObject::connect(&server, &sim::SimServer::EepromChanged, &server,
                     [&] { SaveEeprom(settings.eepromPath, server.Model()); });

    if (settings.tcp) {
        QHostAddress host;
        quint16 port = 0;
        if (!ParseTcp(*settings.tcp, host, port)) {
            Fail("--tcp needs [HOST:]PORT, not " + *settings.tcp);
            return 2;
        }
        QString error;
        if (!server.StartTcp(port, host, &error)) {
            std::cerr << "velorax-sim: cannot listen on " << settings.tcp->toStdString() << ": "
                      << error.toStdString() << '\n';
            return 1;
        }
        std::cout << "velorax-sim: listening on tcp "
                  << server.TcpAddress().toString().toStdString() << ':' << server.TcpPort()
                  << '\n';
    }
    if (settings.pty) {
        QString error;
        if (!server.StartPty(*settings.pty, &error)) {
            std::cerr << "velorax-sim: " << error.toStdString() << '\n';
            server.Stop();
            return 1;
        }
        std::cout << "velorax-sim: pty " << server.PtyDevice().toStdString() << " linked at "
                  << settings.pty->toStdString() << '\n';
    }
    std::cout.flush();

    // Signals reach the event loop through a socket pair, so the exit runs in order:
    // transports closed, link removed, EEPROM saved.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return 1;
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(signalPipe[0], &byte, 1);
        app.quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const int rc = app.exec();
    server.Stop();
    SaveEeprom(settings.eepromPath, server.Model());
    return rc;
}
