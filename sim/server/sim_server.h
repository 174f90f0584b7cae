#pragma once
// The simulated sensor on the Qt event loop: a TCP server (one client at a time, a new
// connection replaces the old one) and a pseudo-terminal whose slave device is linked at a
// chosen path, both at once if wanted. Each transport talks to its own sim::Connection of
// one shared SensorModel. Nothing here blocks: replies that are due later (latency, late
// faults, samples still to be taken) wait on timers, and the pseudo-terminal can pace both
// directions at the sensor's baud rate.

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include "sim/model/connection.h"
#include "sim/model/sensor_model.h"

class QTcpServer;

namespace sim {

struct ServerOptions {
    ModelOptions model;
    // Pace the pseudo-terminal at the baud rate, 10 bits per byte: a request is taken once
    // its last byte would have come through, reply bytes leave no earlier than the wire
    // would let them through (see sim/model/paced_line.h).
    bool baudEmulation = false;
    QString tracePath;  // every frame in both directions; empty = no trace
};

class Channel;

class SimServer : public QObject {
    Q_OBJECT
  public:
    explicit SimServer(ServerOptions options = {}, QObject* parent = nullptr);
    ~SimServer() override;

    // Port 0 picks a free port; TcpPort() tells which.
    bool StartTcp(quint16 port, const QHostAddress& host = QHostAddress::LocalHost,
                  QString* error = nullptr);
    quint16 TcpPort() const;
    QHostAddress TcpAddress() const;
    bool TcpClientConnected() const;

    // Opens a pseudo-terminal in raw mode and puts a symbolic link to its slave device at
    // `linkPath` (an old link there is replaced; any other file is left alone and refused).
    bool StartPty(const QString& linkPath, QString* error = nullptr);
    QString PtyDevice() const;
    QString PtyLink() const;

    // Closes both transports and removes the link.
    void Stop();

    // The sensor switched off and on while its lines stay as they are (a serial line is not
    // hung up by it): every conversation starts afresh, with triggered sending and scans off
    // and a frame on its way cut off.
    void PowerCycle();

    SensorModel& Model() { return model_; }
    // Model time: seconds since the server was made.
    double Now() const;
    // Line rate of the pseudo-terminal (changes after the reply to command 190).
    qint32 PtyBaudRate() const;

  signals:
    void EepromChanged();
    void TcpClientChanged(bool connected);

  private:
    friend class Channel;
    void OnNewTcpConnection();
    void CheckEeprom();
    void TraceFrame(const QString& transport, TraceDirection direction,
                    std::span<const std::uint8_t> bytes, double now);

    ServerOptions options_;
    SensorModel model_;
    QElapsedTimer clock_;
    QFile trace_;
    QTcpServer* tcpServer_ = nullptr;
    Channel* tcpChannel_ = nullptr;  // children of this object
    Channel* ptyChannel_ = nullptr;
    std::uint64_t eepromGeneration_ = 0;
    QString ptyLink_;
    QString ptyDevice_;
};

}  // namespace sim
