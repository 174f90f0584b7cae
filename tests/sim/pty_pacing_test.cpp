// Baud emulation on the pseudo-terminal: requests are taken and replies leave no earlier
// than a line at the sensor's rate would allow. Only lower bounds on the time are checked
// (a slow machine may always be later), against the server's own clock, at 9600 baud where
// a byte takes over a millisecond.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <optional>
#include <vector>

#include "link/commands.h"
#include "sim/model/faults.h"
#include "sim/server/sim_server.h"
#include "sim_test_util.h"
#include "wait_for.h"

namespace {

using simtest::Request;
using testing_support::WaitFor;
namespace cmd = sensorlink::cmd;

constexpr double kByte9600 = 10.0 / 9600.0;
constexpr double kByte115200 = 10.0 / 115200.0;
constexpr std::size_t kRequestBytes = 8;
constexpr std::size_t kMeasureReplyBytes = 8 + 46;

// A paced simulator on a pseudo-terminal and a raw client on its slave.
struct PacedTerminal {
    explicit PacedTerminal(std::uint16_t baudIndex) : server(Options()) {
        server.Model().SetBaudIndex(baudIndex);
        QString error;
        EXPECT_TRUE(server.StartPty(dir.filePath("tty"), &error)) << error.toStdString();
        Open();
    }
    // Opens the device the link points at, raw.
    void Open() {
        if (fd >= 0) ::close(fd);
        fd = ::open(QFile::encodeName(dir.filePath("tty")).constData(),
                    O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        termios tio{};
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        received.clear();
        firstSeen.reset();
        lastSeen.reset();
    }
    ~PacedTerminal() {
        if (fd >= 0) ::close(fd);
        server.Stop();
    }
    static sim::ServerOptions Options() {
        sim::ServerOptions options;
        options.baudEmulation = true;
        return options;
    }

    // Writes all of `bytes`, as fast as the terminal takes them; the server's time when
    // the first write was made.
    double Send(const std::vector<std::uint8_t>& bytes) {
        const double start = server.Now();
        std::size_t done = 0;
        EXPECT_TRUE(WaitFor([&] {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            return done == bytes.size();
        }));
        return start;
    }

    // Reads until `count` bytes have come; notes the server's time at which the first one
    // and the last one were seen.
    bool Receive(std::size_t count) {
        return WaitFor([&] {
            std::array<std::uint8_t, 4096> buffer{};
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n > 0) {
                if (received.empty()) firstSeen = server.Now();
                received.insert(received.end(), buffer.begin(), buffer.begin() + n);
                if (received.size() >= count && !lastSeen) lastSeen = server.Now();
            }
            return received.size() >= count;
        });
    }

    QTemporaryDir dir;
    sim::SimServer server;
    int fd = -1;
    std::vector<std::uint8_t> received;
    std::optional<double> firstSeen;
    std::optional<double> lastSeen;
};

TEST(PacedPseudoTerminal, AnExchangeTakesTheWireTimeOfBothDirections) {
    PacedTerminal t(0);  // 9600 baud
    ASSERT_EQ(t.server.PtyBaudRate(), 9600);
    const double sent = t.Send(Request(cmd::kMeasure));
    ASSERT_TRUE(t.Receive(kMeasureReplyBytes));
    const auto frames = simtest::Frames(t.received);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].headerOk && frames[0].payloadOk);
    EXPECT_EQ(frames[0].header.command, cmd::kMeasure);
    EXPECT_EQ(frames[0].header.length, 46);

    // The request is taken once its 8 bytes are through; the first reply byte then needs
    // its own byte time, and the whole reply 54 of them.
    ASSERT_TRUE(t.firstSeen && t.lastSeen);
    EXPECT_GE(*t.firstSeen - sent, (kRequestBytes + 1) * kByte9600);
    EXPECT_GE(*t.lastSeen - sent, (kRequestBytes + kMeasureReplyBytes) * kByte9600);
}

TEST(PacedPseudoTerminal, RequestsAndRepliesQueueBackToBack) {
    PacedTerminal t(0);
    // Two requests in one write: the second is taken 8 byte times after the first, and its
    // reply waits until the first reply has gone out.
    std::vector<std::uint8_t> two = Request(cmd::kMeasure);
    const auto second = Request(cmd::kFirmware);
    two.insert(two.end(), second.begin(), second.end());
    const double sent = t.Send(two);
    constexpr std::size_t kFirmwareReplyBytes = 8 + 28;
    ASSERT_TRUE(t.Receive(kMeasureReplyBytes + kFirmwareReplyBytes));
    const auto frames = simtest::Frames(t.received);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].header.command, cmd::kMeasure);
    EXPECT_EQ(frames[1].header.command, cmd::kFirmware);
    ASSERT_TRUE(t.lastSeen);
    EXPECT_GE(*t.lastSeen - sent,
              (kRequestBytes + kMeasureReplyBytes + kFirmwareReplyBytes) * kByte9600);
}

TEST(PacedPseudoTerminal, TheNewRateHoldsOnceTheAckOfCommand190IsOut) {
    PacedTerminal t(4);  // 115200 baud
    ASSERT_EQ(t.server.PtyBaudRate(), 115200);
    const double ackSent = t.Send(Request(cmd::kBaudRate, 0));
    ASSERT_TRUE(t.Receive(8));
    EXPECT_EQ(simtest::Single(t.received).header.command, cmd::kBaudRate);
    EXPECT_GE(*t.lastSeen - ackSent, 16 * kByte115200);
    ASSERT_TRUE(WaitFor([&] { return t.server.PtyBaudRate() == 9600; }));

    // Both directions run at 9600 now.
    t.received.clear();
    t.firstSeen.reset();
    t.lastSeen.reset();
    const double sent = t.Send(Request(cmd::kMeasure));
    ASSERT_TRUE(t.Receive(kMeasureReplyBytes));
    EXPECT_EQ(simtest::Single(t.received).header.command, cmd::kMeasure);
    EXPECT_GE(*t.firstSeen - sent, (kRequestBytes + 1) * kByte9600);
    EXPECT_GE(*t.lastSeen - sent, (kRequestBytes + kMeasureReplyBytes) * kByte9600);
}

TEST(PacedPseudoTerminal, AClientWritingFasterThanTheWireIsHeldBack) {
    PacedTerminal t(4);
    // More junk than the simulator queues, then a request: everything is taken in order at
    // the line's rate, and the request is still answered.
    std::vector<std::uint8_t> flood(6000, 0x00);
    const auto request = Request(cmd::kMeasure);
    flood.insert(flood.end(), request.begin(), request.end());
    const double sent = t.Send(flood);
    ASSERT_TRUE(t.Receive(kMeasureReplyBytes));
    EXPECT_EQ(simtest::Single(t.received).header.command, cmd::kMeasure);
    EXPECT_GE(*t.lastSeen - sent, (flood.size() + kMeasureReplyBytes) * kByte115200);
}

TEST(PacedPseudoTerminal, AHangUpComesAfterTheLastByteAndAFreshTerminalIsPaced) {
    PacedTerminal t(0);
    t.server.Model().Faults().Add(*sim::ParseFault("close-after:1@4"));
    const QString before = t.server.PtyDevice();
    const double sent = t.Send(Request(cmd::kLoadEeprom));
    std::optional<double> relinked;
    ASSERT_TRUE(WaitFor([&] {
        if (t.server.PtyDevice() != before && !relinked) relinked = t.server.Now();
        return relinked.has_value();
    }));
    // The 8-byte reply went out whole before the line was dropped.
    EXPECT_GE(*relinked - sent, 16 * kByte9600);

    // The new terminal starts idle, at the rate the sensor runs at.
    t.Open();
    EXPECT_EQ(t.server.PtyBaudRate(), 9600);
    const double again = t.Send(Request(cmd::kMeasure));
    ASSERT_TRUE(t.Receive(kMeasureReplyBytes));
    EXPECT_EQ(simtest::Single(t.received).header.command, cmd::kMeasure);
    EXPECT_GE(*t.lastSeen - again, (kRequestBytes + kMeasureReplyBytes) * kByte9600);
}

}  // namespace
