// velorax-cli publish as a process of its own against a real Mosquitto broker started here on
// 127.0.0.1 at a free port, the in-process simulated sensor, and mosquitto_sub as the
// subscriber: what a line's dashboards see, through the faults a line has.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <map>

#include "cli_fixture.h"
#include "wait_for.h"

namespace {

using clitest::Sensor;
using clitest::Transport;
using testing_support::WaitFor;

QString Program(const char* name) {
    const QString path = QStandardPaths::findExecutable(
        name, {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin"});
    if (path.isEmpty())
        ADD_FAILURE() << name << " is not installed: scripts/install-deps installs mosquitto "
                      << "and mosquitto-clients";
    return path;
}

// A Mosquitto broker on 127.0.0.1 that keeps its sessions across a restart (a subscriber's
// queued QoS 1 messages) and queues without limit.
struct Broker {
    explicit Broker(const QString& extra = "allow_anonymous true\n") {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
        QFile conf(dir.filePath("mosquitto.conf"));
        conf.open(QIODevice::WriteOnly);
        // As root the broker would turn into the user mosquitto, who cannot read this folder.
        const QString user = ::geteuid() == 0 ? "user root\n" : "";
        conf.write(QString("listener %1 127.0.0.1\npersistence true\npersistence_location %2/\n"
                           "max_queued_messages 0\n%3%4")
                       .arg(port)
                       .arg(dir.path(), user, extra)
                       .toUtf8());
        conf.close();
        Start();
    }
    ~Broker() { Stop(); }
    void Start() {
        process.start(Program("mosquitto"), {"-c", dir.filePath("mosquitto.conf")});
        ASSERT_TRUE(WaitFor(
            [&] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, port);
                return s.waitForConnected(200);
            },
            10000))
            << process.readAllStandardError().toStdString();
    }
    void Stop() {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        process.waitForFinished(5000);
    }
    std::string Url() const { return "mqtt://127.0.0.1:" + std::to_string(port); }
    QTemporaryDir dir;
    quint16 port = 0;
    QProcess process;
};

// mosquitto_sub on PREFIX/#: every message as "topic payload", in the order it came.
struct Subscriber {
    Subscriber(const Broker& broker, const std::string& prefix, const QString& id = {}) {
        QStringList args{"-h", "127.0.0.1", "-p", QString::number(broker.port),         "-v",
                         "-q", "1",         "-t", QString::fromStdString(prefix) + "/#"};
        if (!id.isEmpty())
            args << "-c"
                 << "-i" << id;  // a session the broker keeps
        process.start(Program("mosquitto_sub"), args);
    }
    ~Subscriber() {
        process.terminate();
        process.waitForFinished(2000);
    }
    // The payloads of one topic so far.
    std::vector<std::string> Of(const std::string& topic) {
        text += process.readAllStandardOutput().toStdString();
        std::vector<std::string> found;
        std::size_t at = 0;
        for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
            const std::string line = text.substr(at, end - at);
            if (line.starts_with(topic + " ")) found.push_back(line.substr(topic.size() + 1));
        }
        return found;
    }
    std::string Last(const std::string& topic) {
        const auto all = Of(topic);
        return all.empty() ? std::string() : all.back();
    }
    QProcess process;
    std::string text;
};

struct Publisher {
    explicit Publisher(const std::vector<std::string>& args) {
        QStringList list;
        for (const auto& a : args) list << QString::fromStdString(a);
        process.start(QStringLiteral(VELORAX_CLI_EXE), list);
    }
    ~Publisher() {
        process.kill();
        process.waitForFinished(2000);
    }
    void Signal(int sig) { ::kill(static_cast<pid_t>(process.processId()), sig); }
    bool Finished() {
        return WaitFor([this] { return process.state() == QProcess::NotRunning; }, 15000);
    }
    QProcess process;
};

std::vector<std::string> PublishArgs(const Sensor& sensor, const Broker& broker,
                                     std::initializer_list<std::string> rest) {
    auto args = clitest::Args(sensor.Link(), {"publish", "--broker", broker.Url(), "--topic",
                                              "line/s1", "--retry-max", "0.2"});
    args.insert(args.end(), rest);
    return args;
}

long Seq(const std::string& frame) {
    const std::size_t at = frame.find("\"seq\":");
    return at == std::string::npos ? -1 : std::stol(frame.substr(at + 6));
}

// Frames numbered one after the other from the first the subscriber saw: none lost, in
// order. QoS 1 is "at least once": a frame the broker took but had not acknowledged when
// it stopped comes again right after itself.
void ExpectUnbroken(const std::vector<std::string>& frames) {
    std::string seqs;
    for (const auto& f : frames) seqs += std::to_string(Seq(f)) + " ";
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const long step = Seq(frames[i]) - Seq(frames[i - 1]);
        ASSERT_TRUE(step == 1 || step == 0) << seqs;
    }
}

TEST(CliPublish, PrefixesThatMakeNoTopicAndPasswordsOnTheCommandLineAreUsageErrors) {
    const std::vector<std::string> link{"--tcp", "127.0.0.1:1"};
    const std::vector<std::vector<std::string>> cases = {
        {"--topic", "line/+/s1"}, {"--topic", "line/#"}, {"--topic", ""},
        {"--id", "s#1"},          {"--password", "x"},   {"--qos", "2"}};
    for (const auto& extra : cases) {
        auto args = clitest::Args(link, {"publish", "--broker", "mqtt://127.0.0.1:1"});
        args.insert(args.end(), extra.begin(), extra.end());
        const clitest::Result r = clitest::RunCli(args);
        EXPECT_EQ(r.status, cli::kExitUsage) << extra[0] << " " << extra[1];
        EXPECT_EQ(r.ErrLines(), 1) << r.err;
    }
    EXPECT_EQ(clitest::RunCli(clitest::Args(link, {"publish"})).status, cli::kExitUsage);
}

// Nobody listening, and a broker that refuses the credentials: one line, status 5, and the
// sensor never asked. The right password from a file gets frames through.
TEST(CliPublish, ABrokerThatNeverTookTheConnectionEndsItWithStatus5) {
    Sensor sensor(Transport::Tcp);
    QTemporaryDir dir;
    const QString passwords = dir.filePath("passwords");
    ASSERT_EQ(
        QProcess::execute(Program("mosquitto_passwd"), {"-b", "-c", passwords, "line", "s3cret"}),
        0);
    Broker broker(QString("allow_anonymous false\npassword_file %1\n").arg(passwords));
    QFile wrong(dir.filePath("wrong")), right(dir.filePath("right"));
    wrong.open(QIODevice::WriteOnly);
    wrong.write("guess\n");
    wrong.close();
    right.open(QIODevice::WriteOnly);
    right.write("s3cret\n");
    right.close();

    auto nobody = PublishArgs(sensor, broker, {});
    nobody[nobody.size() - 5] = "mqtt://127.0.0.1:" + std::to_string(broker.port + 1);
    for (const auto& args :
         {nobody, PublishArgs(sensor, broker, {}),
          PublishArgs(sensor, broker,
                      {"--username", "line", "--password-file", wrong.fileName().toStdString()})}) {
        Publisher p(args);
        ASSERT_TRUE(p.Finished());
        const QByteArray err = p.process.readAllStandardError();
        EXPECT_EQ(p.process.exitCode(), cli::kExitBroker) << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        EXPECT_TRUE(err.startsWith("velorax-cli: the broker mqtt://127.0.0.1:"))
            << err.toStdString();
    }
    EXPECT_EQ(sensor.Traced("PC>SIM "), 0);

    Publisher p(PublishArgs(
        sensor, broker,
        {"--username", "line", "--password-file", right.fileName().toStdString(), "--count", "3"}));
    ASSERT_TRUE(p.Finished());
    EXPECT_EQ(p.process.exitCode(), 0) << p.process.readAllStandardError().toStdString();
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=8 "), 3);
}

// A certificate authority and a server certificate for 127.0.0.1 signed by it, made with
// openssl in `dir`; a second authority that signed nothing here.
void MakeCertificates(const QTemporaryDir& dir) {
    const auto run = [&dir](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral("openssl"), args);
        ASSERT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0)
            << p.readAllStandardError().toStdString();
    };
    for (const char* ca : {"ca", "other-ca"})
        run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
             QString("/CN=%1").arg(ca), "-keyout", QString("%1.key").arg(ca), "-out",
             QString("%1.crt").arg(ca)});
    run({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", "server.key",
         "-out", "server.csr"});
    QFile san(dir.filePath("san.ext"));
    ASSERT_TRUE(san.open(QIODevice::WriteOnly));
    san.write("subjectAltName=IP:127.0.0.1\n");
    san.close();
    run({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
         "-CAcreateserial", "-days", "1", "-extfile", "san.ext", "-out", "server.crt"});
}

// mqtts:// with --cafile: the broker's certificate is checked against that authority; one of
// another authority is a broker that never took the connection (status 5, one line).
TEST(CliPublish, ATlsBrokerIsReachedThroughItsAuthorityAndRefusedThroughAnother) {
    Sensor sensor(Transport::Tcp);
    QTemporaryDir certs;
    MakeCertificates(certs);
    if (::testing::Test::HasFatalFailure()) return;
    Broker broker(QString("allow_anonymous true\ncafile %1\ncertfile %2\nkeyfile %3\n")
                      .arg(certs.filePath("ca.crt"), certs.filePath("server.crt"),
                           certs.filePath("server.key")));
    const std::string url = "mqtts://127.0.0.1:" + std::to_string(broker.port);
    const auto args = [&](const char* ca, const char* count) {
        auto a = PublishArgs(sensor, broker,
                             {"--cafile", certs.filePath(ca).toStdString(), "--count", count});
        a[a.size() - 9] = url;  // the --broker value
        return a;
    };
    Publisher other(args("other-ca.crt", "3"));
    ASSERT_TRUE(other.Finished());
    const QByteArray err = other.process.readAllStandardError();
    EXPECT_EQ(other.process.exitCode(), cli::kExitBroker) << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_EQ(sensor.Traced("PC>SIM "), 0);

    Publisher right(args("ca.crt", "3"));
    ASSERT_TRUE(right.Finished());
    EXPECT_EQ(right.process.exitCode(), 0) << right.process.readAllStandardError().toStdString();
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=8 "), 3);
}

// Frames, colour, identity and status as a dashboard sees them; SIGTERM switches triggered
// sending off and leaves "stopped"; a publisher that dies leaves the broker's "offline".
TEST(CliPublish, PublishesFramesColourIdentityAndStatusAndStopsCleanly) {
    Broker broker;
    Subscriber sub(broker, "line/s1");
    Sensor sensor(Transport::Tcp, 20.0);
    Publisher p(PublishArgs(sensor, broker, {"--triggered", "--id", "s1"}));
    ASSERT_TRUE(WaitFor([&] { return sub.Of("line/s1/frame").size() >= 3; }, 10000))
        << p.process.readAllStandardError().toStdString();
    EXPECT_EQ(sub.Last("line/s1/status"), "online");
    EXPECT_TRUE(sub.Last("line/s1/identity").starts_with("{\"firmware\":\""));
    EXPECT_TRUE(sub.Last("line/s1/identity")
                    .ends_with(",\"link\":\"tcp 127.0.0.1:" +
                               std::to_string(sensor.server.TcpPort()) + "\"}"));
    EXPECT_TRUE(sub.Last("line/s1/colour").starts_with("{\"colorNo\":"));
    ExpectUnbroken(sub.Of("line/s1/frame"));
    EXPECT_NE(sub.Last("line/s1/frame").find("\"id\":\"s1\""), std::string::npos);
    p.Signal(SIGTERM);
    ASSERT_TRUE(p.Finished());
    EXPECT_EQ(p.process.exitCode(), 0) << p.process.readAllStandardError().toStdString();
    EXPECT_TRUE(WaitFor([&] { return sub.Last("line/s1/status") == "stopped"; }));
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=30 par=0 "), 1);

    Publisher dying(PublishArgs(sensor, broker, {}));
    ASSERT_TRUE(WaitFor([&] { return sub.Last("line/s1/status") == "online"; }, 10000));
    dying.Signal(SIGKILL);
    EXPECT_TRUE(WaitFor([&] { return sub.Last("line/s1/status") == "offline"; }, 10000));
}

// A sensor that goes silent, a TCP connection that is lost and a pseudo-terminal that goes
// away: "link down" with the failure, then the sensor identified again and frames again.
// With --triggered, triggered sending is switched on again on the new connection.
TEST(CliPublish, ALostLineIsPublishedAndTriedAgainUntilFramesFlowAgain) {
    struct Case {
        Transport transport;
        const char* fault;  // empty: the pseudo-terminal is closed and made again
        bool triggered = false;
    };
    for (const Case& k : {Case{Transport::Tcp, "silent@8#4"}, Case{Transport::Tcp, "close-after:5"},
                          Case{Transport::Serial, ""}, Case{Transport::Serial, "", true}}) {
        SCOPED_TRACE(std::string(clitest::Name(k.transport)) + " " + k.fault +
                     (k.triggered ? " triggered" : ""));
        Broker broker;
        Subscriber sub(broker, "line/s1");
        Sensor sensor(k.transport, k.triggered ? 20.0 : 0.0);
        if (*k.fault) sensor.Fault(k.fault);
        Publisher p(k.triggered ? PublishArgs(sensor, broker, {"--triggered"})
                                : PublishArgs(sensor, broker, {"--interval", "0.25"}));
        ASSERT_TRUE(WaitFor([&] { return sub.Of("line/s1/frame").size() >= 2; }, 10000));
        if (!*k.fault) {
            sensor.server.Stop();
            ASSERT_TRUE(WaitFor(
                [&] { return sub.Last("line/s1/status").starts_with("link down: "); }, 10000))
                << p.process.readAllStandardError().toStdString();
            sensor.server.StartPty(sensor.dir.filePath("velorax-tty"));
        }
        ASSERT_TRUE(WaitFor([&] { return sub.Of("line/s1/status").size() >= 3; }, 15000))
            << p.process.readAllStandardError().toStdString();
        const auto statuses = sub.Of("line/s1/status");
        EXPECT_EQ(sub.Of("line/s1/identity").size(), 2u);
        EXPECT_EQ(statuses[0], "online");
        EXPECT_TRUE(statuses[1].starts_with("link down: ")) << statuses[1];
        const std::size_t before = sub.Of("line/s1/frame").size();
        ASSERT_TRUE(WaitFor([&] { return sub.Of("line/s1/frame").size() >= before + 2; }, 10000));
        EXPECT_EQ(sub.Last("line/s1/status"), "online");
        EXPECT_GE(sensor.Traced("PC>SIM cmd=7 "), 2);
        if (k.triggered) {
            EXPECT_GE(sensor.Traced("PC>SIM cmd=30 par=1 "), 2);
        }
    }
}

// With --triggered a quiet sensor is asked after a while: one that was switched off and on
// behind a line that stays up sends on its trigger again; one that does not answer is a lost
// line. Before, the publisher waited for frames for ever and said "online".
TEST(CliPublish, AQuietTriggeredSensorIsAskedAndSwitchedOnAgain) {
    for (const bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "answers" : "does not answer");
        Broker broker;
        Subscriber sub(broker, "line/s1");
        Sensor sensor(Transport::Serial, 20.0);
        if (!answers) sensor.Fault("silent@30#2");
        Publisher p(PublishArgs(sensor, broker, {"--triggered"}));
        ASSERT_TRUE(WaitFor([&] { return sub.Of("line/s1/frame").size() >= 2; }, 10000));
        sensor.server.PowerCycle();
        const int asked = answers ? 2 : 3;
        ASSERT_TRUE(WaitFor([&] { return sensor.Traced("PC>SIM cmd=30 par=1 ") >= asked; }, 15000))
            << p.process.readAllStandardError().toStdString();
        const std::size_t before = sub.Of("line/s1/frame").size();
        ASSERT_TRUE(WaitFor([&] { return sub.Of("line/s1/frame").size() >= before + 2; }, 10000));
        EXPECT_EQ(sub.Of("line/s1/identity").size(), answers ? 1u : 2u);
        EXPECT_EQ(sub.Last("line/s1/status"), "online");
        if (!answers) {
            EXPECT_TRUE(sub.Of("line/s1/status")[1].starts_with("link down: "));
        }
    }
}

// The broker stopped for a while and started again: with QoS 1 every frame taken meanwhile
// reaches a subscriber whose session the broker kept, once, in order.
TEST(CliPublish, FramesTakenWhileTheBrokerIsAwayArriveAfterwardsInOrder) {
    Broker broker;
    Sensor sensor(Transport::Tcp);
    Subscriber subscriber(broker, "line/s1", "cli-publish-test");
    Subscriber* sub = &subscriber;
    Publisher p(PublishArgs(sensor, broker, {"--qos", "1", "--interval", "0.25"}));
    ASSERT_TRUE(WaitFor([&] { return sub->Of("line/s1/frame").size() >= 2; }, 10000));
    broker.Stop();
    const int asked = sensor.Traced("PC>SIM cmd=8 ");
    ASSERT_TRUE(WaitFor([&] { return sensor.Traced("PC>SIM cmd=8 ") >= asked + 6; }, 10000));
    broker.Start();
    const long taken = sensor.Traced("PC>SIM cmd=8 ");
    ASSERT_TRUE(WaitFor([&] { return Seq(sub->Last("line/s1/frame")) >= taken; }, 15000))
        << p.process.readAllStandardError().toStdString();
    p.Signal(SIGTERM);
    ASSERT_TRUE(p.Finished());
    const QByteArray err = p.process.readAllStandardError();
    ExpectUnbroken(sub->Of("line/s1/frame"));
    EXPECT_TRUE(err.contains("the broker is back")) << err.toStdString();
}

}  // namespace
