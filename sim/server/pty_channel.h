#pragma once
// PtyChannel: the pseudo-terminal, master side, opened in raw mode with the slave held open
// so reads do not fail between two clients. With baud emulation both directions run
// through a PacedLine: a request is taken once its last byte would have come through at
// the current rate, and reply bytes leave no earlier than the wire would let them through.
// One PreciseWake serves both directions and the Connection's own timers. A hang-up opens
// a fresh terminal; the server moves its link to it (onReopened).

#include <QString>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "sim/model/paced_line.h"
#include "sim/server/channel.h"
#include "sim/server/precise_wake.h"

class QSocketNotifier;

namespace sim {

class PtyChannel : public Channel {
  public:
    PtyChannel(SimServer& server, bool pacing);
    ~PtyChannel() override;

    bool Open(QString* error);
    void Close();

    const QString& Device() const { return device_; }
    qint32 BaudRate() const { return out_.BaudRate(); }
    std::function<void()> onReopened;

    void Received(std::span<const std::uint8_t> bytes) override;

  protected:
    bool Write(const Emission& e) override;
    void CatchUp(double now) override;
    void Reschedule() override;

  private:
    // Input queued beyond this (more than any request) stays in the terminal until the
    // line has taken what came before: a client that writes faster than the wire is held
    // back as by a real port.
    static constexpr std::size_t kMaxQueuedInput = 4096;

    void SetBaudRate(std::int32_t baudRate);
    void ReadMaster();
    // Hands the Connection each byte the line has let through by `now`, at the model time
    // it was through, so a request counts from the moment its last byte arrived.
    void TakeInput(double now);
    // Writes what is due by `now`.
    void Flush(double now);
    // A hang-up: the client's device goes away; a fresh terminal takes the link's place.
    void Reopen();

    bool pacing_;
    int master_ = -1;
    int slave_ = -1;
    QString device_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QTimer retryRead_;
    PacedLine in_;
    PacedLine out_;
    bool inputHeld_ = false;
    PreciseWake preciseWake_;
};

}  // namespace sim
