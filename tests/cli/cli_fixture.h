#pragma once
// What the velorax-cli tests share: the simulated sensor in this process on one transport
// (TCP on 127.0.0.1 or its pseudo-terminal), velorax-cli run in this process against it,
// and a look into the sensor's trace of frames.

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "sim/model/faults.h"
#include "sim/server/sim_server.h"

namespace clitest {

enum class Transport { Tcp, Serial };

inline const char* Name(Transport t) {
    return t == Transport::Tcp ? "Tcp" : "Serial";
}

inline sim::ServerOptions TracingOptions(const QTemporaryDir& dir, double triggerRate = 0) {
    sim::ServerOptions options;
    options.tracePath = dir.filePath("trace.txt");
    options.model.triggerRate = triggerRate;
    return options;
}

// The simulated sensor, tracing every frame.
struct Sensor {
    explicit Sensor(Transport t, double triggerRate = 0)
        : transport(t), server(TracingOptions(dir, triggerRate)) {
        if (t == Transport::Tcp) {
            server.StartTcp(0);
        } else {
            server.StartPty(dir.filePath("velorax-tty"));
        }
    }
    // The link options that reach it.
    std::vector<std::string> Link() const {
        if (transport == Transport::Tcp)
            return {"--tcp", "127.0.0.1:" + std::to_string(server.TcpPort())};
        return {"--serial", server.PtyLink().toStdString()};
    }
    void Fault(const std::string& spec) { server.Model().Faults().Add(*sim::ParseFault(spec)); }
    int Traced(const QByteArray& what) const {
        QFile f(dir.filePath("trace.txt"));
        f.open(QIODevice::ReadOnly);
        return static_cast<int>(f.readAll().count(what));
    }
    QByteArray Trace() const {
        QFile f(dir.filePath("trace.txt"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    sim::SensorModel& Model() { return server.Model(); }

    QTemporaryDir dir;
    Transport transport;
    sim::SimServer server;
};

struct Result {
    int status = -1;
    std::string out;
    std::string err;
    // Lines on standard error.
    int ErrLines() const {
        int n = 0;
        for (char ch : err) n += ch == '\n';
        return n;
    }
};

inline cli::Stamp FixedStamp() {
    cli::Stamp s;
    s.local = {2026, 12, 7, 14, 30, 5};
    s.millisecond = 250;
    s.utcOffsetSeconds = 3600;
    return s;
}

inline Result RunCli(const std::vector<std::string>& arguments, cli::Stop* stop = nullptr) {
    cli::StringOutput out;
    cli::StringOutput err;
    cli::Environment env{out, err, stop, FixedStamp};
    Result r;
    r.status = cli::Run(arguments, env);
    r.out = out.text;
    r.err = err.text;
    return r;
}

// The link options, then the command and its options.
inline std::vector<std::string> Args(const std::vector<std::string>& link,
                                     std::initializer_list<std::string> rest) {
    std::vector<std::string> all = link;
    all.insert(all.end(), rest);
    return all;
}

inline std::string ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

}  // namespace clitest
