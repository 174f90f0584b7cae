// The sensor on the Qt event loop: a real TCP client and a real pseudo-terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <functional>

#include "link/commands.h"
#include "sim/server/sim_server.h"
#include "sim_test_util.h"
#include "wait_for.h"

namespace {

using simtest::Request;
namespace cmd = sensorlink::cmd;

using testing_support::WaitFor;

QByteArray Bytes(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

std::span<const std::uint8_t> Span(const QByteArray& a) {
    return {reinterpret_cast<const std::uint8_t*>(a.constData()),
            static_cast<std::size_t>(a.size())};
}

TEST(SimServer, TcpClientGetsReplies) {
    QTemporaryDir dir;
    sim::ServerOptions options;
    options.tracePath = dir.filePath("trace.txt");
    sim::SimServer server(options);
    ASSERT_TRUE(server.StartTcp(0));
    ASSERT_NE(server.TcpPort(), 0);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.TcpPort());
    ASSERT_TRUE(WaitFor([&] { return client.state() == QAbstractSocket::ConnectedState; }));
    client.write(Bytes(Request(cmd::kFirmware)));
    QByteArray reply;
    ASSERT_TRUE(WaitFor([&] {
        reply += client.readAll();
        return reply.size() >= 36;
    }));
    const auto frame = simtest::Single(Span(reply));
    EXPECT_TRUE(frame.headerOk && frame.payloadOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(frame.payload.data())), sim::kFirmwareText);

    // A reply split into single bytes still arrives whole; junk in between is skipped.
    server.Model().Faults().Add(*sim::ParseFault("split@8"));
    QByteArray request("\x01\x02\x03", 3);
    request += Bytes(Request(cmd::kMeasure));
    client.write(request);
    reply.clear();
    ASSERT_TRUE(WaitFor([&] {
        reply += client.readAll();
        return reply.size() >= 54;
    }));
    EXPECT_EQ(simtest::Single(Span(reply)).header.length, 46);

    // A second client replaces the first.
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, server.TcpPort());
    ASSERT_TRUE(WaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    ASSERT_TRUE(WaitFor([&] { return second.state() == QAbstractSocket::ConnectedState; }));
    second.write(Bytes(Request(cmd::kReadBlock, 2)));
    reply.clear();
    ASSERT_TRUE(WaitFor([&] {
        reply += second.readAll();
        return reply.size() >= 504;
    }));

    // close-after hangs up once the frame is out.
    server.Model().Faults().Add(*sim::ParseFault("close-after:1@4"));
    second.write(Bytes(Request(cmd::kLoadEeprom)));
    ASSERT_TRUE(WaitFor([&] { return second.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(second.readAll().size(), 8);

    server.Stop();
    QFile trace(options.tracePath);
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(trace.readAll());
    EXPECT_TRUE(text.contains("tcp PC>SIM cmd=7 par=0 len=0 | 55 07 00 00 00 00 AA 52"));
    EXPECT_TRUE(text.contains("tcp SIM>PC cmd=7 par=0 len=28 | 55 07 00 00 1C 00 52 15"));
    EXPECT_TRUE(text.contains("SKIP   3 bytes | 01 02 03"));
}

TEST(SimServer, PseudoTerminalAnswersOnItsSlave) {
    QTemporaryDir dir;
    const QString linkPath = dir.filePath("velorax-tty");
    sim::SimServer server;
    QString error;
    ASSERT_TRUE(server.StartPty(linkPath, &error)) << error.toStdString();
    EXPECT_EQ(QFile::symLinkTarget(linkPath), server.PtyDevice());

    const int fd = ::open(QFile::encodeName(linkPath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);

    auto exchange = [&](const std::vector<std::uint8_t>& request, std::size_t expected) {
        EXPECT_EQ(::write(fd, request.data(), request.size()),
                  static_cast<ssize_t>(request.size()));
        std::vector<std::uint8_t> got;
        EXPECT_TRUE(WaitFor([&] {
            std::array<std::uint8_t, 1024> buffer{};
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n > 0) got.insert(got.end(), buffer.begin(), buffer.begin() + n);
            return got.size() >= expected;
        }));
        return got;
    };
    const auto reply = exchange(Request(cmd::kFirmware), 36);
    EXPECT_EQ(simtest::Single(reply).header.command, cmd::kFirmware);

    // The baud rate changes once the reply to command 190 has gone out.
    EXPECT_EQ(server.PtyBaudRate(), 115200);
    const auto ack = exchange(Request(cmd::kBaudRate, 1), 8);
    EXPECT_EQ(simtest::Single(ack).header.command, cmd::kBaudRate);
    EXPECT_TRUE(WaitFor([&] { return server.PtyBaudRate() == 19200; }));

    ::close(fd);
    server.Stop();
    EXPECT_FALSE(QFile::exists(linkPath));
    EXPECT_FALSE(QFileInfo(linkPath).isSymLink());
}

TEST(SimServer, RefusesToReplaceAFileWithTheLink) {
    QTemporaryDir dir;
    const QString path = dir.filePath("not-a-link");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    sim::SimServer server;
    QString error;
    EXPECT_FALSE(server.StartPty(path, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(path).isFile());
}

}  // namespace
