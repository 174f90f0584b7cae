#pragma once
// velorax-cli's command line: the link, one command and its options, and the help texts.
// Free of Qt.
//
//   velorax-cli (--tcp HOST[:PORT] | --serial DEVICE [--baud RATE]) COMMAND [OPTIONS]

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/scan.h"

namespace cli {

enum class Command {
    None,
    Identify,
    Get,
    Send,
    Measure,
    Triggered,
    Calibration,
    Offsets,
    HwInfo,
    Scan,
    Publish,
};

enum class Format { Tsv, Jsonl };

inline constexpr int kDefaultTcpPort = 10001;
inline constexpr std::uint16_t kDefaultBaudIndex = 4;  // 115200
inline constexpr double kMinInterval = 0.25;           // seconds, as the recorder's
inline constexpr int kDefaultMqttPort = 1883;
inline constexpr int kDefaultMqttsPort = 8883;

struct Options {
    bool help = false;
    bool version = false;  // --version
    Command command = Command::None;

    // The link: exactly one of the two.
    bool tcp = false;
    std::string host;
    int port = kDefaultTcpPort;
    bool serial = false;
    std::string device;
    std::uint16_t baudIndex = kDefaultBaudIndex;

    std::string output;         // -o; empty: standard output
    bool append = false;        // -o adds to an existing record file
    std::string file;           // send FILE
    bool eeprom = false;        // --from eeprom, --to eeprom
    std::uint16_t paraSet = 0;  // --set 0|1 of get, send, hwinfo
    bool force = false;         // send: a file of another type or version anyway
    int count = 0;              // frames; 0: until Ctrl-C
    double interval = 0.0;      // seconds from one request to the next; 0: back to back
    double duration = 0.0;      // measure: seconds of frames; 0: no limit
    double timeout = 0.0;       // triggered: the longest wait for a frame; scan: for the
                                // scan's blocks; 0: no limit
    Format format = Format::Tsv;
    std::string id;  // the record file's PANEL ID, the JSON lines' id; no control characters
    std::optional<std::array<std::uint16_t, 3>> values;  // --set R G B
    device::ScanSettings scan{scope::kModeSingleShot, 0, 2048, 1, 0};

    // A lost line is retried (measure, triggered with --reconnect; publish always), after a
    // pause that grows up to retryMax seconds.
    bool reconnect = false;
    double retryMax = 5.0;

    // publish
    std::string brokerHost;  // --broker mqtt://HOST[:PORT] or mqtts://
    int brokerPort = kDefaultMqttPort;
    bool tls = false;
    std::string cafile;
    std::string username;
    std::string passwordFile;  // empty: VELORAX_MQTT_PASSWORD, if set
    std::string topic;         // the prefix; empty: velorax/ and the sensor's name
    int qos = 0;
    bool triggered = false;          // publish the frames the sensor sends on its trigger
    std::size_t queueLimit = 10000;  // QoS 1 frames kept while the broker is away
};

struct Parsed {
    Options options;
    std::string error;  // not empty: a usage error, said in one line
};

// The arguments without the program's name.
Parsed ParseArguments(const std::vector<std::string>& arguments);

// The help of the whole (Command::None) or of one command.
std::string HelpText(Command command);
// What --version prints.
std::string VersionText();

}  // namespace cli
