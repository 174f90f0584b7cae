#pragma once
// Channel: what the TCP client and the pseudo-terminal have in common. Each transport has
// its own sim::Connection of the server's one SensorModel; the Channel feeds it what
// arrives, writes what it hands out once due, and keeps a timer for the next reply that
// waits on latency, a late fault or a sample. The transports differ only in how bytes get
// on and off the line (Write, and for a paced line CatchUp and Reschedule).

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <span>

#include "sim/model/connection.h"

namespace sim {

class SimServer;

// One transport's end of the line: feeds what arrives into its Connection and writes what
// the Connection hands out, at the time it is due.
class Channel : public QObject {
  public:
    Channel(SimServer& server, QString name);

    virtual void Received(std::span<const std::uint8_t> bytes);
    void Pump();

    // A fresh conversation (new client, new pseudo-terminal): nothing carries over.
    void ResetConnection();

  protected:
    // A client that does not read must not make the simulator eat all memory.
    static constexpr qint64 kMaxPendingOutput = 8 * 1024 * 1024;

    // Writes one emission; false when the line was closed and the rest must be dropped.
    virtual bool Write(const Emission& e) = 0;
    // Input and output that have become due by `now` on a paced line.
    virtual void CatchUp(double /*now*/) {}

    virtual void Reschedule();

    SimServer& server_;
    QString name_;
    std::unique_ptr<Connection> connection_;
    QTimer wake_;
};

}  // namespace sim
