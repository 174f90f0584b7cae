// Benchmarks of the sensor link, run by scripts/bench (never by ctest):
//   - round trips per second of bare command-8 exchanges against a trivial peer, over TCP
//     loopback and over a pseudo-terminal, and the CPU of this program's thread per
//     exchange (the peer's thread not in it);
//   - CPU time of this program's thread while a slow peer (200 ms per answer) or a silent
//     one is awaited, and while a frame wait without a time limit sees no frame, as a share
//     of the wall time. A polling wait would be near 100 %.
// The peers run in threads of their own with plain blocking I/O, so they do not share the
// event loop with the link.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench_clock.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/serial_ports.h"

namespace {

using bench::ThreadCpuSeconds;
using bench::WallSeconds;

class CountingObserver : public sensorlink::FailureObserver {
  public:
    void ReportLinkFailure(std::string_view) override { ++failures; }
    int failures = 0;
};

bool ReadAll(int fd, std::uint8_t* out, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, out + done, count - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

// Answers every request on `fd` with a 23-word measurement frame after `delayMs`, or never
// when `silent`; ends when the other side closes.
void Serve(int fd, int delayMs, bool silent) {
    std::vector<std::uint16_t> words(sensorlink::kMeasurementWords, 1234);
    const auto reply = sensorlink::MakeWordFrame(sensorlink::cmd::kMeasure, 0, words);
    std::uint8_t header[sensorlink::kHeaderSize];
    std::vector<std::uint8_t> payload;
    while (ReadAll(fd, header, sizeof header)) {
        payload.resize(sensorlink::ReadWord(header + 4));
        if (!payload.empty() && !ReadAll(fd, payload.data(), payload.size())) return;
        if (silent) continue;
        if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        WriteAll(fd, reply);
    }
}

// A one-connection TCP peer on loopback, in its own thread.
class TcpPeer {
  public:
    TcpPeer(int delayMs, bool silent) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, delayMs, silent] {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            Serve(fd, delayMs, silent);
            ::close(fd);
        });
    }
    ~TcpPeer() {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }
    int Port() const { return port_; }

  private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// A pseudo-terminal whose master side is served by a thread.
class PtyPeer {
  public:
    PtyPeer() {
        char name[256] = {};
        openpty(&master_, &slave_, name, nullptr, nullptr);
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        path_ = QString::fromLocal8Bit(name);
        thread_ = std::thread([this] { Serve(master_, 0, false); });
    }
    ~PtyPeer() {
        ::close(slave_);  // with no slave left open the master's read fails: the thread ends
        thread_.join();
        ::close(master_);
    }
    QString Path() const { return path_; }
    int Slave() const { return slave_; }

  private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    std::thread thread_;
};

struct Run {
    int exchanges = 0;
    int ok = 0;
    double wall = 0;
    double cpu = 0;
};

Run Exchanges(sensorlink::Link& link, int count, double maxSeconds) {
    Run run;
    const double wall0 = WallSeconds();
    const double cpu0 = ThreadCpuSeconds();
    while (run.exchanges < count && WallSeconds() - wall0 < maxSeconds) {
        ++run.exchanges;
        if (link.Command(sensorlink::cmd::kMeasure, 0).Frame()) ++run.ok;
    }
    run.wall = WallSeconds() - wall0;
    run.cpu = ThreadCpuSeconds() - cpu0;
    return run;
}

void RoundTripsTcp() {
    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    CountingObserver observer;
    sensorlink::Link link(state, observer);
    TcpPeer peer(0, false);
    if (link.ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()) != 0) {
        std::printf("tcp round trips: cannot connect (%s)\n", state.message.c_str());
        return;
    }
    Exchanges(link, 200, 1.0);  // warm-up
    const Run run = Exchanges(link, 200000, 3.0);
    std::printf(
        "tcp loopback, command 8 (46-byte reply): %d exchanges, %d ok, %.0f round trips/s,"
        " %.1f us each, %.1f us CPU\n",
        run.exchanges, run.ok, run.exchanges / run.wall, 1e6 * run.wall / run.exchanges,
        1e6 * run.cpu / run.exchanges);
    link.DisconnectTcp();
}

void RoundTripsPty() {
    sensorlink::LinkState state;
    CountingObserver observer;
    sensorlink::Link link(state, observer);
    PtyPeer peer;
    const int number = link.Ports().AddDevicePath(peer.Path());
    if (link.OpenSerialPort(number, 4) != 0) {
        std::printf("pty round trips: cannot open (%s)\n", state.message.c_str());
        return;
    }
    Exchanges(link, 200, 1.0);
    const Run run = Exchanges(link, 200000, 3.0);
    std::printf(
        "pseudo-terminal, command 8: %d exchanges, %d ok, %.0f round trips/s, %.1f us each,"
        " %.1f us CPU (no baud-rate pacing)\n",
        run.exchanges, run.ok, run.exchanges / run.wall, 1e6 * run.wall / run.exchanges,
        1e6 * run.cpu / run.exchanges);
    link.CloseSerialPort();
}

void CpuWhileWaiting(int delayMs, bool silent, int count) {
    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    CountingObserver observer;
    sensorlink::Link link(state, observer);
    TcpPeer peer(delayMs, silent);
    if (link.ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()) != 0) return;
    const Run run = Exchanges(link, count, 30.0);
    if (silent) {
        std::printf(
            "silent peer: %d exchange(s) timed out (%d reported) in %.2f s wall, "
            "%.2f ms CPU: %.3f %% of a core\n",
            run.exchanges, observer.failures, run.wall, 1e3 * run.cpu, 100.0 * run.cpu / run.wall);
    } else {
        std::printf(
            "peer answering after %d ms: %d exchanges (%d ok) in %.2f s wall, %.2f ms CPU:"
            " %.3f %% of a core\n",
            delayMs, run.exchanges, run.ok, run.wall, 1e3 * run.cpu, 100.0 * run.cpu / run.wall);
    }
    link.DisconnectTcp();
}

// The recorder's triggered mode while no trigger comes: a frame wait without a time limit
// on a silent sensor, ended by the caller's flag after 2 s.
void CpuWhileWaitingForFrames() {
    sensorlink::LinkState state;
    state.comProtocol = sensorlink::ComProtocol::Tcp;
    CountingObserver observer;
    sensorlink::Link link(state, observer);
    TcpPeer peer(0, true);
    if (link.ConnectTcp(QStringLiteral("127.0.0.1"), peer.Port()) != 0) return;
    bool keep = true;
    QTimer::singleShot(2000, [&keep] { keep = false; });
    const double wall0 = WallSeconds();
    const double cpu0 = ThreadCpuSeconds();
    const bool result = link.ReceiveFrame(-1, [&keep] { return keep; }).Frame();
    const double wall = WallSeconds() - wall0;
    const double cpu = ThreadCpuSeconds() - cpu0;
    std::printf(
        "frame wait on a silent sensor: result %d after %.2f s wall, %.2f ms CPU: %.3f %% of a "
        "core\n",
        result, wall, 1e3 * cpu, 100.0 * cpu / wall);
    link.DisconnectTcp();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("== link_bench ==\n");
    RoundTripsTcp();
    RoundTripsPty();
    CpuWhileWaiting(200, false, 15);
    CpuWhileWaiting(0, true, 1);
    CpuWhileWaitingForFrames();
    return 0;
}
