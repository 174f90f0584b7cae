#include "cli/mqtt_client.h"

#include <mosquitto.h>

#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>

namespace cli {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kMiscMs = 1000;
constexpr double kFirstPause = 0.1;
constexpr int kProbeMs = 5000;  // the longest wait for the broker's TCP answer

std::string ErrorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO) return std::strerror(errno);
    return mosquitto_strerror(rc);
}

}  // namespace

MqttClient::MqttClient(MqttSettings settings) : s_(std::move(settings)) {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
    misc_.setInterval(kMiscMs);
    QObject::connect(&misc_, &QTimer::timeout, this, [this] { Misc(); });
    retry_.setSingleShot(true);
    QObject::connect(&retry_, &QTimer::timeout, this, [this] { Retry(); });
    probeTimer_.setSingleShot(true);
    QObject::connect(&probeTimer_, &QTimer::timeout, this, [this] {
        ProbeFailed("no answer within " + std::to_string(kProbeMs / 1000) + " s");
    });
}

MqttClient::~MqttClient() {
    Unwatch();
    if (mosq_) mosquitto_destroy(mosq_);
}

bool MqttClient::Start() {
    mosq_ = mosquitto_new(s_.clientId.empty() ? nullptr : s_.clientId.c_str(), true, this);
    if (!mosq_) {
        error_ = std::strerror(errno);
        failed_ = true;
        return false;
    }
    mosquitto_connect_callback_set(mosq_, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnect);
    mosquitto_publish_callback_set(mosq_, &MqttClient::OnPublish);
    int rc = MOSQ_ERR_SUCCESS;
    if (!s_.username.empty())
        rc = mosquitto_username_pw_set(mosq_, s_.username.c_str(),
                                       s_.password.empty() ? nullptr : s_.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !s_.willTopic.empty())
        rc =
            mosquitto_will_set(mosq_, s_.willTopic.c_str(), static_cast<int>(s_.willPayload.size()),
                               s_.willPayload.data(), 1, true);
    if (rc == MOSQ_ERR_SUCCESS && s_.tls) {
        rc = s_.cafile.empty()
                 ? mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                 : mosquitto_tls_set(mosq_, s_.cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        error_ = ErrorText(rc);
        failed_ = true;
        return false;
    }
    misc_.start();
    Probe([this] { Connect(false); });
    return true;
}

void MqttClient::Connect(bool again) {
    const int rc = again ? mosquitto_reconnect(mosq_)
                         : mosquitto_connect(mosq_, s_.host.c_str(), s_.port, kKeepAliveSeconds);
    if (rc == MOSQ_ERR_SUCCESS) return Watch();
    error_ = ErrorText(rc);
    if (everConnected_) return ScheduleRetry();
    failed_ = true;
    Tell();
}

// --- reaching the broker without blocking ------------------------------------------------------

void MqttClient::Probe(std::function<void()> reached) {
    probe_ = std::make_unique<QTcpSocket>();
    QTcpSocket* socket = probe_.get();
    QObject::connect(socket, &QTcpSocket::connected, this, [this, reached] {
        probeTimer_.stop();
        probe_->disconnect(this);
        probe_->abort();
        probe_.release()->deleteLater();
        reached();
    });
    QObject::connect(socket, &QTcpSocket::errorOccurred, this, [this] {
        if (probe_) ProbeFailed(probe_->errorString().toStdString());
    });
    probeTimer_.start(kProbeMs);
    socket->connectToHost(QString::fromStdString(s_.host), static_cast<quint16>(s_.port));
}

void MqttClient::ProbeFailed(const std::string& text) {
    if (!probe_) return;
    probeTimer_.stop();
    probe_->disconnect(this);
    probe_->abort();
    probe_.release()->deleteLater();
    error_ = text;
    if (everConnected_) return ScheduleRetry();
    failed_ = true;
    Tell();
}

// --- libmosquitto's callbacks: inside mosquitto_loop_read on this thread; they note and
// hand the rest to the event loop, since the library is in the middle of its work.

void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    static_cast<MqttClient*>(self)->Connected(rc);
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    static_cast<MqttClient*>(self)->Lost(rc);
}

void MqttClient::OnPublish(mosquitto*, void* self, int) {
    auto* client = static_cast<MqttClient*>(self);
    if (client->unacked_ > 0 && client->s_.qos > 0) --client->unacked_;
}

void MqttClient::Connected(int rc) {
    if (rc != 0) {
        // The broker answered and said no (credentials, identifier): before any connection
        // stood that is the answer; afterwards, a broker that comes back wrongly set up is
        // asked again.
        error_ = mosquitto_connack_string(rc);
        if (!everConnected_) failed_ = true;
        return;
    }
    connected_ = true;
    everConnected_ = true;
    pause_ = 0;
    error_.clear();
    // The queue goes out after what libmosquitto sends again of its own (its unacknowledged
    // messages, sent right after this callback), so the order stays.
    QMetaObject::invokeMethod(
        this,
        [this] {
            Flush();
            Tell();
        },
        Qt::QueuedConnection);
}

void MqttClient::Lost(int rc) {
    const bool was = connected_;
    connected_ = false;
    // libmosquitto has closed the socket already: no poll of it may follow.
    for (auto* n : {read_.get(), write_.get()})
        if (n) n->setEnabled(false);
    if (rc != 0 && error_.empty()) error_ = ErrorText(rc);
    QMetaObject::invokeMethod(
        this,
        [this, was] {
            Unwatch();
            if (leaving_) return;
            if (!everConnected_) {
                failed_ = true;
                if (error_.empty()) error_ = "the broker closed the connection";
            } else {
                ScheduleRetry();
            }
            if (was || failed_) Tell();
        },
        Qt::QueuedConnection);
}

// --- the socket on the event loop -------------------------------------------------------------

void MqttClient::Watch() {
    Unwatch();
    const int fd = mosquitto_socket(mosq_);
    if (fd < 0) return;
    read_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(read_.get(), &QSocketNotifier::activated, this, [this] { Readable(); });
    write_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    QObject::connect(write_.get(), &QSocketNotifier::activated, this, [this] { Writable(); });
    UpdateWrite();
}

void MqttClient::Unwatch() {
    // A notifier may be the one whose signal is being delivered: it goes later.
    for (auto* n : {&read_, &write_}) {
        if (!*n) continue;
        (*n)->setEnabled(false);
        n->release()->deleteLater();
    }
}

void MqttClient::Readable() {
    if (!mosq_ || !read_) return;
    AfterLoop(mosquitto_loop_read(mosq_, 1));
    UpdateWrite();
}

void MqttClient::Writable() {
    if (!mosq_ || !write_) return;
    AfterLoop(mosquitto_loop_write(mosq_, 1));
    UpdateWrite();
}

void MqttClient::Misc() {
    if (!mosq_) return;
    AfterLoop(mosquitto_loop_misc(mosq_));
    UpdateWrite();
}

void MqttClient::AfterLoop(int rc) {
    // A TLS handshake that fails on the broker's certificate ends in libmosquitto with its
    // socket closed but without the disconnect callback: the same as a lost connection, or
    // the wait for the broker's answer would never end and the closed socket stay watched.
    if (rc == MOSQ_ERR_SUCCESS || !read_ || !read_->isEnabled()) return;
    if (mosquitto_socket(mosq_) < 0) Lost(rc);
}

void MqttClient::UpdateWrite() {
    if (write_ && write_->isEnabled() != mosquitto_want_write(mosq_))
        write_->setEnabled(mosquitto_want_write(mosq_));
}

// --- connecting again -------------------------------------------------------------------------

void MqttClient::ScheduleRetry() {
    pause_ = pause_ <= 0 ? kFirstPause : std::min(pause_ * 2, s_.retryMax);
    pause_ = std::min(pause_, s_.retryMax);
    retry_.start(static_cast<int>(std::ceil(pause_ * 1000.0)));
}

void MqttClient::Retry() {
    if (leaving_ || connected_) return;
    Probe([this] { Connect(true); });
}

// --- messages -------------------------------------------------------------------------------

bool MqttClient::Send(const Message& m) {
    int mid = 0;
    const int rc =
        mosquitto_publish(mosq_, &mid, m.topic.c_str(), static_cast<int>(m.payload.size()),
                          m.payload.data(), s_.qos, m.retain);
    if (rc != MOSQ_ERR_SUCCESS) return false;
    if (s_.qos > 0) ++unacked_;
    return true;
}

void MqttClient::Publish(const std::string& topic, const std::string& payload, bool retain) {
    Message m{topic, payload, retain};
    if (connected_ && queue_.empty()) {
        if (Send(m)) {
            UpdateWrite();
            return;
        }
    }
    // Retained messages are said again on every connection: only frames wait.
    if (retain) return;
    if (s_.qos == 0) {
        ++dropped_;
        return;
    }
    if (queue_.size() >= s_.queueLimit) {
        queue_.pop_front();
        ++dropped_;
    }
    queue_.push_back(std::move(m));
}

void MqttClient::Flush() {
    while (connected_ && !queue_.empty()) {
        if (!Send(queue_.front())) break;
        queue_.pop_front();
    }
    UpdateWrite();
}

std::uint64_t MqttClient::TakeDropped() {
    const std::uint64_t n = dropped_ - droppedTaken_;
    droppedTaken_ = dropped_;
    return n;
}

void MqttClient::Disconnect() {
    leaving_ = true;
    retry_.stop();
    probeTimer_.stop();
    if (probe_) {
        probe_->disconnect(this);
        probe_.release()->deleteLater();
    }
    misc_.stop();
    if (connected_) {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_write(mosq_, 1);
    }
    connected_ = false;
    Unwatch();
}

bool MqttClient::Settled() const {
    return connected_ && queue_.empty() && unacked_ == 0 && !mosquitto_want_write(mosq_);
}

void MqttClient::Tell() {
    if (changed) changed();
}

}  // namespace cli
