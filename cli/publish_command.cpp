// publish: the sensor's frames, colour, identity and state to an MQTT broker, for a line of
// many sensors whose dashboards, historians and PLC gateways read the broker. Runs
// unattended: the line to the sensor and the broker are both tried again when they fail.
//
//   PREFIX/frame     a JSON object per frame (measure --format jsonl without the line end)
//   PREFIX/colour    {"colorNo":N,"groupNo":N}             retained, when it changes
//   PREFIX/identity  {"firmware":TEXT,"link":TEXT}         retained
//   PREFIX/status    online | link down: TEXT | stopped    retained; offline is the will

#include <QFile>
#include <QMetaObject>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cli/context.h"
#include "cli/mqtt_client.h"
#include "device/loop.h"
#include "device/triggered.h"
#include "link/replies.h"

namespace cli {

namespace {

constexpr double kBrokerAnswerSeconds = 10.0;  // for the first connection
constexpr double kSettleSeconds = 3.0;         // for "stopped" to be taken before we leave
constexpr std::size_t kColorNo = 7;
constexpr std::size_t kGroupNo = 8;

// velorax/ and the sensor's name, or the link's when it has none. Wildcards of a device's
// name would make no topic; they become '_'.
std::string DefaultPrefix(const Options& o) {
    std::string name = o.id;
    if (name.empty())
        name = o.tcp ? o.host + "-" + std::to_string(o.port)
                     : std::filesystem::path(o.device).filename().string();
    for (char& ch : name)
        if (ch == '+' || ch == '#') ch = '_';
    return "velorax/" + name;
}

class Publisher {
  public:
    Publisher(Context& c, MqttClient& mqtt, std::string prefix)
        : c_(c), mqtt_(mqtt), prefix_(std::move(prefix)) {
        mqtt_.changed = [this] { BrokerChanged(); };
    }

    void Status(const std::string& text) {
        PublishFrames();
        status_ = text;
        mqtt_.Publish(prefix_ + "/status", StatusText(), true);
    }

    void Identity(const std::string& firmware) {
        PublishFrames();
        identity_ = "{\"firmware\":";
        AppendJsonString(identity_, firmware);
        identity_ += ",\"link\":";
        AppendJsonString(identity_, c_.LinkText());
        identity_ += '}';
        mqtt_.Publish(prefix_ + "/identity", identity_, true);
    }

    // The frame is taken now (its time, its number) and published on the next pass of the
    // event loop: that is the wait for the next reply, since the loop asks the sensor again
    // straight after this. The write to the broker and the broker's wake-up then never stand
    // between one frame and the next request, where they would slow the line.
    void Frame(FrameWords words) {
        Taken& t = frames_.emplace_back();
        std::copy(words.begin(), words.end(), t.words.begin());
        t.stamp = c_.Now();
        t.seq = ++seq_;
        if (frames_.size() == 1)
            QMetaObject::invokeMethod(
                &mqtt_, [this] { PublishFrames(); }, Qt::QueuedConnection);
    }

    // What Frame took, in order; before anything else is published.
    void PublishFrames() {
        for (const Taken& t : frames_) {
            std::string line = JsonLine(t.words, t.stamp, c_.options.id, t.seq);
            line.pop_back();  // the line end of a JSON line
            mqtt_.Publish(prefix_ + "/frame", line, false);
            std::string colour = "{\"colorNo\":" + std::to_string(t.words[kColorNo]) +
                                 ",\"groupNo\":" + std::to_string(t.words[kGroupNo]) + "}";
            if (colour != colour_) {
                colour_ = std::move(colour);
                mqtt_.Publish(prefix_ + "/colour", colour_, true);
            }
        }
        frames_.clear();
    }

  private:
    // "online" tells what the queue's bound (or QoS 0) dropped while the broker was away.
    std::string StatusText() const {
        if (status_ != "online" || mqtt_.Dropped() == 0) return status_;
        return status_ + " (" + std::to_string(mqtt_.Dropped()) +
               " frames dropped while the broker was away)";
    }

    // What is retained is said again on every connection: a broker that restarted without
    // its store has forgotten it.
    void BrokerChanged() {
        if (!mqtt_.Connected()) {
            c_.Say("the broker went away (" + mqtt_.Error() + "); trying again");
            return;
        }
        const std::uint64_t dropped = mqtt_.TakeDropped();
        c_.Say("the broker is back" +
               (dropped ? "; " + std::to_string(dropped) + " frames were dropped while it was away"
                        : std::string()));
        if (!identity_.empty()) mqtt_.Publish(prefix_ + "/identity", identity_, true);
        if (!colour_.empty()) mqtt_.Publish(prefix_ + "/colour", colour_, true);
        if (!status_.empty()) mqtt_.Publish(prefix_ + "/status", StatusText(), true);
    }

    Context& c_;
    MqttClient& mqtt_;
    std::string prefix_;
    std::string status_;
    std::string identity_;
    std::string colour_;
    std::uint64_t seq_ = 0;
    struct Taken {
        std::array<std::uint16_t, sensorlink::kMeasurementWords> words{};
        Stamp stamp;
        std::uint64_t seq = 0;
    };
    std::vector<Taken> frames_;
};

// One run over an identified line: frames until Ctrl-C, --count or a failure.
Attempt Frames(Context& c, Publisher& p, int& taken) {
    const Options& o = c.options;
    if (o.triggered) {
        const sensorlink::Exchange on = device::StartTriggeredSending(c.link);
        if (!on.Ok()) return {!c.stop.Requested(), kExitDone};
    }
    std::array<std::uint16_t, sensorlink::kMeasurementWords> words{};
    device::Loop loop;
    // As in the recorder, a frame without measured values (an error frame, said on standard
    // error, or a short frame) is published as none; the frames after it go on.
    loop.measurementsOnly = true;
    loop.passes = o.count > 0 ? o.count - taken : 0;
    loop.pace = o.triggered      ? device::Pace::SensorSends
                : o.interval > 0 ? device::Pace::Schedule
                                 : device::Pace::AtOnce;
    loop.period = o.interval;
    if (o.triggered) CheckQuietLine(c, loop);
    loop.frame = [&](const sensorlink::Exchange& e) {
        sensorlink::UnpackMeasurement(e.payload, words);
        p.Frame(words);
        ++taken;
        return true;
    };
    const device::LoopEnd end =
        device::RunLoop(c.link, c.link.Wait(), loop, [&c] { return !c.stop.Requested(); });
    if (o.triggered) device::StopTriggeredSending(c.link);
    const bool failed = end == device::LoopEnd::Failed || end == device::LoopEnd::LinkEnded ||
                        end == device::LoopEnd::Gone;
    return {failed && !c.stop.Requested(), kExitDone};
}

// The password: the first line of --password-file, or VELORAX_MQTT_PASSWORD.
int Password(Context& c, std::string& password) {
    const std::string& path = c.options.passwordFile;
    if (path.empty()) {
        if (const char* env = std::getenv("VELORAX_MQTT_PASSWORD")) password = env;
        return kExitDone;
    }
    if (const std::string obstacle = ReadObstacle(path); !obstacle.empty())
        return c.FileFailed(path, obstacle);
    std::ifstream file(path, std::ios::binary);
    std::getline(file, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return kExitDone;
}

}  // namespace

int Publish(Context& c) {
    const Options& o = c.options;
    MqttSettings settings;
    if (const int status = Password(c, settings.password)) return status;
    const std::string prefix = o.topic.empty() ? DefaultPrefix(o) : o.topic;
    settings.host = o.brokerHost;
    settings.port = o.brokerPort;
    settings.tls = o.tls;
    settings.cafile = o.cafile;
    settings.username = o.username;
    settings.qos = o.qos;
    settings.willTopic = prefix + "/status";
    settings.willPayload = "offline";
    settings.retryMax = o.retryMax;
    settings.queueLimit = o.queueLimit;
    MqttClient mqtt(settings);

    c.StopEndsLoop(true);
    const std::string broker = std::string(o.tls ? "mqtts://" : "mqtt://") + o.brokerHost + ":" +
                               std::to_string(o.brokerPort);
    if (mqtt.Start())
        c.link.Wait().WaitUntil(
            [&] { return mqtt.Connected() || mqtt.Failed() || c.stop.Requested(); },
            kBrokerAnswerSeconds);
    if (!mqtt.Connected()) {
        if (c.stop.Requested()) return kExitDone;
        c.Say("the broker " + broker + ": " +
              (mqtt.Error().empty() ? "no answer within 10 s" : mqtt.Error()));
        return kExitBroker;
    }

    Publisher p(c, mqtt, prefix);
    int taken = 0;
    const int status = KeepLink(
        c,
        [&](const std::string& firmware) {
            p.Identity(firmware);
            p.Status("online");
            return Frames(c, p, taken);
        },
        [&](const std::string& failure) { p.Status("link down: " + failure); },
        [&] { return o.count == 0 || taken < o.count; });
    p.Status("stopped");
    c.link.Wait().WaitUntil([&] { return mqtt.Settled() || !mqtt.Connected(); }, kSettleSeconds);
    mqtt.Disconnect();
    c.StopEndsLoop(false);
    return status;
}

}  // namespace cli
