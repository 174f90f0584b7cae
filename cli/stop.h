#pragma once
// Ctrl-C, SIGTERM, SIGHUP and SIGQUIT as velorax-cli sees them: a request to stop that the
// running command looks at. A command that loops (measure, triggered, scan) sets a handler
// that only wakes its wait, finishes the frame in hand and ends cleanly; otherwise a
// request ends every wait of the link at once. The process's signals reach it through SignalStop
// (main.cpp); tests call Request themselves.

#include <functional>

namespace cli {

class Stop {
  public:
    // The first request, a second one: the handler gets the number of requests so far.
    void Request();
    int Requests() const { return requests_; }
    bool Requested() const { return requests_ > 0; }
    // The handler of the running command; empty: none.
    void SetHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }

  private:
    int requests_ = 0;
    std::function<void(int)> handler_;
};

// SIGINT, SIGTERM, SIGHUP (the terminal or ssh session went away) and SIGQUIT of this
// process become Stop::Request, delivered from the event loop (the signal handler only
// writes a byte into a pipe). SIGPIPE is ignored: a reader that went away shows as a
// failed write. One per process.
class SignalStop {
  public:
    explicit SignalStop(Stop& stop);
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

  private:
    struct Impl;
    Impl* impl_;
};

}  // namespace cli
