#include "cli/stop.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <iterator>

namespace cli {

void Stop::Request() {
    ++requests_;
    if (handler_) handler_(requests_);
}

namespace {

int gSignalPipe = -1;  // the write end; the only thing the signal handler touches

extern "C" void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (gSignalPipe >= 0) {
        const ssize_t n = ::write(gSignalPipe, &byte, 1);  // a full pipe has enough bytes
        (void)n;
    }
    errno = saved;
}

// The signals that end a command: Ctrl-C, kill, a closed terminal or ssh session, the quit
// key.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

}  // namespace

struct SignalStop::Impl {
    int fds[2] = {-1, -1};
    QSocketNotifier* notifier = nullptr;
    struct sigaction old[std::size(kStopSignals)]{};
    struct sigaction oldPipe {};
};

SignalStop::SignalStop(Stop& stop) : impl_(new Impl) {
    if (::pipe2(impl_->fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    gSignalPipe = impl_->fds[1];
    impl_->notifier = new QSocketNotifier(impl_->fds[0], QSocketNotifier::Read);
    const int readEnd = impl_->fds[0];
    QObject::connect(impl_->notifier, &QSocketNotifier::activated, impl_->notifier,
                     [readEnd, &stop] {
                         char bytes[16];
                         ssize_t n = 0;
                         while ((n = ::read(readEnd, bytes, sizeof bytes)) > 0) {
                             for (ssize_t i = 0; i < n; ++i) stop.Request();
                         }
                     });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &action, &impl_->old[i]);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &impl_->oldPipe);
}

SignalStop::~SignalStop() {
    if (impl_->fds[0] >= 0) {
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
            ::sigaction(kStopSignals[i], &impl_->old[i], nullptr);
        ::sigaction(SIGPIPE, &impl_->oldPipe, nullptr);
        gSignalPipe = -1;
        delete impl_->notifier;
        ::close(impl_->fds[0]);
        ::close(impl_->fds[1]);
    }
    delete impl_;
}

}  // namespace cli
