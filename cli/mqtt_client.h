#pragma once
// velorax-cli's client of an MQTT broker: libmosquitto on the Qt event loop of the one
// thread, without a thread of the library's own. The socket is watched by QSocketNotifiers
// (read, and write while libmosquitto has bytes waiting) and a timer runs its keep-alive;
// libmosquitto's callbacks therefore run inside mosquitto_loop_read on this thread, where
// they only note what happened. A connection that is lost after it once stood is made again
// by itself, after a pause that grows up to `retryMax`. libmosquitto's own connect blocks
// (name look-up, TCP, up to the system's time-out for a host that does not answer), so the
// broker is first reached with a QTcpSocket on the event loop: only a broker that answered
// is connected to, and a host gone from the network costs the sensor's loop nothing. While there is
// no connection, messages of QoS 1 wait in a queue of at most `queueLimit` (the oldest give way to
// the newest, and are counted); QoS 0 ones are dropped and counted too.

#include <QObject>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

struct mosquitto;
struct mosquitto_message;

namespace cli {

struct MqttSettings {
    std::string host;
    int port = 1883;
    bool tls = false;
    std::string cafile;  // with tls; empty: the system's certificates
    std::string username;
    std::string password;
    std::string clientId;
    int qos = 0;
    std::string willTopic;  // empty: no will
    std::string willPayload;
    double retryMax = 5.0;  // seconds: the longest pause between two connection attempts
    std::size_t queueLimit = 10000;
};

class MqttClient : public QObject {
  public:
    explicit MqttClient(MqttSettings settings);
    ~MqttClient() override;
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Starts the first connection. False when it could not even begin (Error() says why).
    // Connected() or Failed() tell later how it went (the broker's answer comes through the
    // event loop).
    bool Start();
    bool Connected() const { return connected_; }
    // The first connection was refused or could not be made: Error() says why. Once a
    // connection stood, a lost one is retried and this stays false.
    bool Failed() const { return failed_; }
    bool EverConnected() const { return everConnected_; }
    const std::string& Error() const { return error_; }

    // Hands a message to the broker, or to the queue while there is no connection.
    void Publish(const std::string& topic, const std::string& payload, bool retain);
    // Messages the queue's bound or QoS 0 without a connection dropped since the last call.
    std::uint64_t TakeDropped();
    std::uint64_t Dropped() const { return dropped_; }
    std::size_t Queued() const { return queue_.size(); }
    // Messages handed to libmosquitto that the broker has not acknowledged yet (QoS 1).
    int Unacknowledged() const { return unacked_; }
    // Connected, and everything handed over has been written and (QoS 1) acknowledged.
    bool Settled() const;

    // Leaves the broker politely (no will); the retained status said before stays.
    void Disconnect();

    // Told after every change of the connection (made, lost, refused).
    std::function<void()> changed;

  private:
    struct Message {
        std::string topic;
        std::string payload;
        bool retain = false;
    };

    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);

    void Connected(int rc);
    void Lost(int rc);
    void Watch();
    void Unwatch();
    void Readable();
    void Writable();
    void Misc();
    // After a call into libmosquitto's loop: a failure that closed its socket unannounced.
    void AfterLoop(int rc);
    void UpdateWrite();
    void Retry();
    void ScheduleRetry();
    void Probe(std::function<void()> reached);
    void ProbeFailed(const std::string& text);
    void Connect(bool again);
    void Flush();
    bool Send(const Message& message);
    void Tell();

    MqttSettings s_;
    mosquitto* mosq_ = nullptr;
    std::unique_ptr<QSocketNotifier> read_;
    std::unique_ptr<QSocketNotifier> write_;
    QTimer misc_;
    QTimer retry_;
    std::unique_ptr<QTcpSocket> probe_;
    QTimer probeTimer_;
    double pause_ = 0;
    bool connected_ = false;
    bool failed_ = false;
    bool everConnected_ = false;
    bool leaving_ = false;
    std::string error_;
    std::deque<Message> queue_;
    std::uint64_t dropped_ = 0;
    std::uint64_t droppedTaken_ = 0;
    int unacked_ = 0;
};

}  // namespace cli
