#include "cli/options.h"

#include <charconv>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>

#include "params_core/program_title.h"

namespace cli {

namespace {

// What a command accepts besides the link.
enum Accepts : unsigned {
    kOutput = 1u << 0,      // -o FILE
    kFrom = 1u << 1,        // --from ram|eeprom
    kTo = 1u << 2,          // --to ram|eeprom
    kParaSet = 1u << 3,     // --set 0|1
    kValues = 1u << 4,      // --set R G B
    kForce = 1u << 5,       // --force
    kCount = 1u << 6,       // --count N
    kInterval = 1u << 7,    // --interval SECONDS
    kFormat = 1u << 8,      // --format tsv|jsonl
    kId = 1u << 9,          // --id TEXT
    kScan = 1u << 10,       // --mode, --pre, --level, --rate, --signal
    kAppend = 1u << 11,     // --append
    kDuration = 1u << 12,   // --duration SECONDS
    kTimeout = 1u << 13,    // --timeout SECONDS
    kReconnect = 1u << 14,  // --reconnect, --retry-max SECONDS
    kBroker = 1u << 15,     // --broker, --cafile, --username, --password-file, --topic, --qos,
                            // --triggered, --queue
};

struct CommandInfo {
    Command command;
    const char* name;
    unsigned accepts;
    const char* help;
};

constexpr const char* kLinkUsage = "(--tcp HOST[:PORT] | --serial DEVICE [--baud RATE])";

const CommandInfo kCommands[] = {
    {Command::Identify, "identify", 0,
     "identify\n\n"
     "Prints the sensor's identification text (its firmware) and a line feed.\n"},
    {Command::Get, "get", kOutput | kFrom | kParaSet,
     "get [--from ram|eeprom] [--set 0|1] [-o FILE]\n\n"
     "Reads the parameter block and the teach table of one parameter set from the sensor's\n"
     "RAM and writes them as a parameter file, the file velorax-scope writes; to standard\n"
     "output without -o. With --from eeprom the sensor first loads its EEPROM into RAM.\n\n"
     "  --from ram|eeprom   where the set comes from (ram)\n"
     "  --set 0|1           which of the sensor's two parameter sets (0)\n"
     "  -o FILE             the parameter file; replaced whole or not at all\n"},
    {Command::Send, "send", kTo | kParaSet | kForce,
     "send FILE [--to ram|eeprom] [--set 0|1] [--force]\n\n"
     "Loads a parameter file as velorax-scope does (its file type and version are checked;\n"
     "items that are missing get their defaults and are listed on standard error) and sends\n"
     "it into the sensor's RAM; with --to eeprom the sensor then stores RAM into its EEPROM.\n"
     "Prints the plausibility count of each block the sensor took: how many values it found\n"
     "implausible and replaced by its defaults (any but 0 ends with status 3).\n\n"
     "  --to ram|eeprom     where the set goes (ram)\n"
     "  --set 0|1           which of the sensor's two parameter sets (0)\n"
     "  --force             send a file of another type or scope version all the same\n"},
    {Command::Measure, "measure",
     kOutput | kAppend | kCount | kInterval | kDuration | kFormat | kId | kReconnect,
     "measure [--count N] [--interval SECONDS] [--duration SECONDS] [--format tsv|jsonl]\n"
     "        [--id TEXT] [-o FILE [--append]] [--reconnect [--retry-max SECONDS]]\n\n"
     "Asks the sensor for measurement frames (command 8), back to back or one every\n"
     "SECONDS, until N frames were taken, the duration is over or Ctrl-C. tsv is the record\n"
     "file of velorax-scope's recorder, header and lines, byte for byte; jsonl one JSON\n"
     "object per frame with the fields red, green, blue, x, y, int, deltaC, colorNo,\n"
     "groupNo, trigger, temperature, rawRed, rawGreen, rawBlue, rgbMinMax, extra, id (with\n"
     "--id), seq (1 for the first frame of the run) and time. Lines go to standard output,\n"
     "or with -o into FILE, each line on disk once it is written. Ctrl-C or SIGTERM ends\n"
     "after the frame in hand: the last line is whole, and the status is 0.\n\n"
     "  --count N           frames to take (default: until Ctrl-C)\n"
     "  --interval SECONDS  from the start of one request to the start of the next, at\n"
     "                      least 0.25 (default: back to back)\n"
     "  --duration SECONDS  no request after that many seconds; ends as Ctrl-C does\n"
     "  --format tsv|jsonl  (tsv)\n"
     "  --id TEXT           the sensor's name for the record file's \"PANEL ID: \" line and\n"
     "                      the id of each JSON line (none without it)\n"
     "  -o FILE             a new file of that name once the first frame is there; an old\n"
     "                      one is replaced then, and stays if no frame comes\n"
     "  --append            add the lines to FILE, a record file of the same format (made\n"
     "                      as a new one if there is none)\n"
     "  --reconnect         a failed exchange or a lost line does not end the command: it\n"
     "                      is said on standard error, the line is opened again after a\n"
     "                      pause, the sensor identified, and the frames go on into the\n"
     "                      same output\n"
     "  --retry-max SECONDS the longest pause between two tries; the pause doubles from\n"
     "                      0.1 s up to it (5)\n"},
    {Command::Triggered, "triggered",
     kOutput | kAppend | kCount | kTimeout | kFormat | kId | kReconnect,
     "triggered [--count N] [--timeout SECONDS] [--format tsv|jsonl] [--id TEXT]\n"
     "          [-o FILE [--append]] [--reconnect [--retry-max SECONDS]]\n\n"
     "Switches the sensor's triggered sending on (command 30, parameter 1), writes each frame\n"
     "the sensor sends on its trigger as measure does, and switches it off again (command\n"
     "30, parameter 0) after N frames, on Ctrl-C or SIGTERM, and after a failure while the\n"
     "line is still there. With --reconnect (and in publish --triggered) a sensor that sent\n"
     "nothing for 5 s is asked to send on its trigger again: no answer is a lost line, and a\n"
     "sensor that was switched off and on sends again.\n\n"
     "  --count N           frames to take (default: until Ctrl-C)\n"
     "  --timeout SECONDS   the longest wait for the next frame; after it the command ends\n"
     "                      with status 2 (default: no limit)\n"
     "  --format, --id, -o, --append, --reconnect, --retry-max  as for measure\n"},
    {Command::Calibration, "calibration", kValues,
     "calibration [--set RED GREEN BLUE]\n\n"
     "Prints the sensor's calibration factors, red, green and blue on one line (1024 is a\n"
     "gain of 1). With --set the three factors are first written to the sensor's EEPROM;\n"
     "factors the sensor finds implausible are replaced by its defaults (status 3).\n"},
    {Command::Offsets, "offsets", kValues,
     "offsets [--set RED GREEN BLUE]\n\n"
     "Prints the sensor's offsets, red, green and blue on one line. With --set the three\n"
     "offsets are first written to the sensor's EEPROM.\n"},
    {Command::HwInfo, "hwinfo", kOutput | kParaSet,
     "hwinfo -o FILE [--set 0|1]\n\n"
     "Writes the hardware information file as velorax-scope writes it for the supplier: the\n"
     "identification, the sensor's 256 hardware data words, the correction values and the\n"
     "parameter set in the sensor's RAM.\n\n"
     "  --set 0|1           which of the sensor's two parameter sets (0)\n"
     "  -o FILE             the file; replaced whole or not at all\n"},
    {Command::Scan, "scan", kOutput | kScan | kTimeout,
     "scan [--mode MODE] [--pre N] [--level N] [--rate N] [--signal N] [--timeout SECONDS]\n"
     "     -o FILE.csv\n\n"
     "Runs one scope scan and writes its four traces in time order around the trigger as\n"
     "CSV: sample, red, green, blue and the binary word, 128 lines. The sensor sends when it\n"
     "has triggered, without a limit unless --timeout gives one; Ctrl-C breaks the scan off\n"
     "(command 110, parameter 0), writes nothing and ends with status 130, a time-out the\n"
     "same with status 2.\n\n"
     "  --mode MODE         single, rising, falling, colour0 or in0 (single)\n"
     "  --pre N             samples before the trigger sample (0)\n"
     "  --level N           the level the blue trace passes in rising and falling (2048)\n"
     "  --rate N            a sample every N scans (1)\n"
     "  --signal 0|1|2      which signals the sensor records (0)\n"
     "  --timeout SECONDS   the longest wait for the scan (default: no limit)\n"
     "  -o FILE.csv         the file; replaced whole or not at all\n"},
    {Command::Publish, "publish", kCount | kInterval | kId | kBroker | kReconnect,
     "publish --broker mqtt[s]://HOST[:PORT] [--topic PREFIX] [--qos 0|1]\n"
     "        [--interval SECONDS | --triggered] [--id TEXT] [--username NAME\n"
     "        [--password-file FILE]] [--cafile FILE] [--queue N] [--retry-max SECONDS]\n"
     "        [--count N]\n\n"
     "Takes frames as measure (or as triggered with --triggered) and publishes them to an\n"
     "MQTT broker, running unattended: a failed exchange or a lost line is published as\n"
     "'link down', and the line is opened again after a growing pause and the sensor\n"
     "identified before frames flow again; with --triggered a sensor that sent nothing for\n"
     "5 s is asked to send on its trigger again (no answer is a lost line). A broker that\n"
     "goes away is connected again the same way. Topics under PREFIX:\n"
     "  PREFIX/frame     one JSON object per frame, the fields of measure --format jsonl\n"
     "  PREFIX/colour    {\"colorNo\":N,\"groupNo\":N}, retained, when it changes\n"
     "  PREFIX/identity  {\"firmware\":TEXT,\"link\":TEXT}, retained\n"
     "  PREFIX/status    retained: online, link down: TEXT, stopped; offline (the broker's\n"
     "                   last will) when the publisher dies. 'online' gets the number of\n"
     "                   frames dropped while the broker was away, if any, in brackets.\n"
     "Ctrl-C or SIGTERM switches triggered sending off, publishes stopped and ends with\n"
     "status 0. A broker that cannot be reached, or refuses, before any connection stood\n"
     "ends it with status 5.\n\n"
     "  --broker URL        mqtt://HOST[:PORT] (1883) or mqtts://HOST[:PORT] (8883, TLS)\n"
     "  --topic PREFIX      (velorax/ and --id, or the link: velorax/HOST-PORT, the device's\n"
     "                      name); no + or #, not empty\n"
     "  --qos 0|1           for the frames (0); with 1, frames taken while the broker is\n"
     "                      away wait in a queue and are delivered afterwards\n"
     "  --queue N           the queue's bound (10000); the oldest give way, and are counted\n"
     "  --username NAME     the password from --password-file FILE (its first line) or\n"
     "                      the environment variable VELORAX_MQTT_PASSWORD\n"
     "  --cafile FILE       the certificate authority of mqtts:// (default: the system's)\n"
     "  --interval, --count, --id  as for measure; --triggered: frames as triggered takes\n"
     "  --retry-max SECONDS the longest pause between two tries (5)\n"},
};

constexpr const char* kWholeHelp =
    "The VELORAX3 colour sensor from the command line: the same exchanges and files as\n"
    "velorax-scope, for scripts and for lines of many sensors. Results go to standard\n"
    "output or a file, failures as one line to standard error.\n\n"
    "Link:\n"
    "  --tcp HOST[:PORT]   the sensor's TCP server (port 10001 when none is given)\n"
    "  --serial DEVICE     a serial device: /dev/ttyUSB0, a simulator's pseudo-terminal\n"
    "  --baud RATE         9600, 19200, 38400, 57600 or 115200 (115200)\n\n"
    "Commands:\n"
    "  identify      print the sensor's identification text\n"
    "  get           read a parameter set into a parameter file\n"
    "  send          send a parameter file to the sensor\n"
    "  measure       measurement frames as a record file or JSON lines\n"
    "  triggered     the frames the sensor sends on its trigger\n"
    "  calibration   read (and write) the calibration factors\n"
    "  offsets       read (and write) the offsets\n"
    "  hwinfo        write the hardware information file\n"
    "  scan          one scope scan as CSV\n"
    "  publish       frames, colour and state to an MQTT broker, unattended\n\n"
    "velorax-cli COMMAND --help tells more of each; velorax-cli --version its version.\n\n"
    "Exit status: 0 done; 1 usage; 2 the link failed; 3 the sensor refused (an error reply,\n"
    "a plausibility count); 4 a file could not be read or written; 5 the MQTT broker could\n"
    "not be reached or refused the connection (publish); 130 interrupted before there was\n"
    "a result.\n";

const CommandInfo* FindCommand(std::string_view name) {
    for (const CommandInfo& info : kCommands)
        if (name == info.name) return &info;
    return nullptr;
}

const CommandInfo* InfoOf(Command command) {
    for (const CommandInfo& info : kCommands)
        if (info.command == command) return &info;
    return nullptr;
}

bool WholeNumber(std::string_view text, long min, long max, long* value) {
    long v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc() || end != text.data() + text.size() || v < min || v > max)
        return false;
    *value = v;
    return true;
}

// The bytes below a blank and DEL: a tab or line end in a name would break the line of the
// record file's header and the JSON line it goes into.
bool HasControlCharacter(std::string_view text) {
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7f) return true;
    }
    return false;
}

bool Seconds(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !(v >= 0) || v > 86400.0 * 365) return false;
    *value = v;
    return true;
}

// HOST, HOST:PORT, [IPv6]:PORT; an address with several colons and no brackets is a host.
bool HostPort(const std::string& text, std::string* host, int* port) {
    const std::string_view t = text;
    std::optional<std::string_view> portText;
    if (!t.empty() && t.front() == '[') {
        const std::size_t close = t.find(']');
        if (close == std::string_view::npos) return false;
        *host = std::string(t.substr(1, close - 1));
        const std::string_view rest = t.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return false;
            portText = rest.substr(1);
        }
    } else {
        const std::size_t colon = t.find(':');
        if (colon != std::string_view::npos && t.find(':', colon + 1) == std::string_view::npos) {
            *host = std::string(t.substr(0, colon));
            portText = t.substr(colon + 1);
        } else {
            *host = text;
        }
    }
    if (host->empty()) return false;
    if (portText) {
        long value = 0;
        if (!WholeNumber(*portText, 1, 65535, &value)) return false;
        *port = static_cast<int>(value);
    }
    return true;
}

constexpr std::pair<const char*, std::uint16_t> kBaudRates[] = {
    {"9600", 0}, {"19200", 1}, {"38400", 2}, {"57600", 3}, {"115200", 4}};

constexpr std::pair<const char*, std::uint16_t> kTriggerModes[] = {
    {"single", scope::kModeSingleShot},
    {"rising", scope::kModeRising},
    {"falling", scope::kModeFalling},
    {"colour0", scope::kModeColour0},
    {"in0", scope::kModeIn0}};

class Parser {
  public:
    explicit Parser(const std::vector<std::string>& arguments) : args_(arguments) {}

    Parsed Run() {
        while (at_ < args_.size() && error_.empty()) Next();
        if (error_.empty() && !o_.help && !o_.version) Check();
        return {o_, error_};
    }

  private:
    void Fail(std::string text) {
        if (error_.empty()) error_ = std::move(text);
    }

    // The value after option `name`, or nothing (and a usage error).
    std::optional<std::string> Value(const std::string& name) {
        if (at_ >= args_.size()) {
            Fail(name + " needs a value");
            return std::nullopt;
        }
        return args_[at_++];
    }

    std::uint16_t Word(const std::string& name, long min, long max) {
        const auto v = Value(name);
        long value = 0;
        if (v && !WholeNumber(*v, min, max, &value))
            Fail(name + " takes a whole number from " + std::to_string(min) + " to " +
                 std::to_string(max) + ", not '" + *v + "'");
        return static_cast<std::uint16_t>(value);
    }

    bool Accepts(unsigned what, const std::string& name) {
        if (info_ && (info_->accepts & what)) return true;
        Fail(info_ ? std::string(info_->name) + " takes no option " + name
                   : "unknown option " + name);
        return false;
    }

    bool Memory(const std::string& name) {
        const auto v = Value(name);
        if (!v) return false;
        if (*v != "ram" && *v != "eeprom") Fail(name + " takes ram or eeprom, not '" + *v + "'");
        return *v == "eeprom";
    }

    void Next() {
        const std::string a = args_[at_++];
        if (a == "--help" || a == "-h") {
            o_.help = true;
        } else if (a == "--version" && !info_) {
            o_.version = true;
        } else if (a == "--tcp") {
            const auto v = Value(a);
            o_.tcp = true;
            if (v && !HostPort(*v, &o_.host, &o_.port))
                Fail("--tcp takes HOST or HOST:PORT with a port from 1 to 65535, not '" + *v + "'");
        } else if (a == "--serial") {
            const auto v = Value(a);
            o_.serial = true;
            if (v) o_.device = *v;
            if (v && v->empty()) Fail("--serial needs a device");
        } else if (a == "--baud") {
            const auto v = Value(a);
            baudGiven_ = true;
            bool known = false;
            for (const auto& [rate, index] : kBaudRates)
                if (v && *v == rate) {
                    o_.baudIndex = index;
                    known = true;
                }
            if (v && !known)
                Fail("--baud takes 9600, 19200, 38400, 57600 or 115200, not '" + *v + "'");
        } else if (a == "-o" || a == "--output") {
            if (!Accepts(kOutput, a)) return;
            const auto v = Value(a);
            if (v) o_.output = *v;
            if (v && v->empty()) Fail(a + " needs a file name");
        } else if (a == "--from" || a == "--to") {
            if (Accepts(a == "--from" ? kFrom : kTo, a)) o_.eeprom = Memory(a);
        } else if (a == "--set") {
            if (info_ && (info_->accepts & kValues)) {
                std::array<std::uint16_t, 3> values{};
                for (std::uint16_t& v : values) v = Word(a, 0, 65535);
                o_.values = values;
            } else if (Accepts(kParaSet, a)) {
                o_.paraSet = Word(a, 0, 1);
            }
        } else if (a == "--force") {
            if (Accepts(kForce, a)) o_.force = true;
        } else if (a == "--count") {
            if (!Accepts(kCount, a)) return;
            const auto v = Value(a);
            long count = 0;
            if (v && !WholeNumber(*v, 1, 1000000000, &count))
                Fail("--count takes a whole number from 1 to 1000000000, not '" + *v + "'");
            o_.count = static_cast<int>(count);
        } else if (a == "--interval") {
            if (!Accepts(kInterval, a)) return;
            const auto v = Value(a);
            if (v && (!Seconds(*v, &o_.interval) || o_.interval < kMinInterval))
                Fail("--interval takes seconds from 0.25 on, not '" + *v + "'");
        } else if (a == "--format") {
            if (!Accepts(kFormat, a)) return;
            const auto v = Value(a);
            if (v && *v == "jsonl")
                o_.format = Format::Jsonl;
            else if (v && *v != "tsv")
                Fail("--format takes tsv or jsonl, not '" + *v + "'");
        } else if (a == "--duration" || a == "--timeout") {
            if (!Accepts(a == "--duration" ? kDuration : kTimeout, a)) return;
            const auto v = Value(a);
            double& seconds = a == "--duration" ? o_.duration : o_.timeout;
            if (v && (!Seconds(*v, &seconds) || seconds <= 0))
                Fail(a + " takes seconds above 0, not '" + *v + "'");
        } else if (a == "--reconnect") {
            if (Accepts(kReconnect, a)) o_.reconnect = true;
        } else if (a == "--retry-max") {
            if (!Accepts(kReconnect | kBroker, a)) return;
            const auto v = Value(a);
            if (v && (!Seconds(*v, &o_.retryMax) || o_.retryMax <= 0 || o_.retryMax > 3600))
                Fail("--retry-max takes seconds above 0 up to 3600, not '" + *v + "'");
        } else if (a == "--broker") {
            if (!Accepts(kBroker, a)) return;
            const auto v = Value(a);
            if (v && !Broker(*v))
                Fail("--broker takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not '" + *v + "'");
        } else if (a == "--cafile" || a == "--username" || a == "--password-file" ||
                   a == "--topic") {
            if (!Accepts(kBroker, a)) return;
            const auto v = Value(a);
            if (!v) return;
            if (a == "--cafile") o_.cafile = *v;
            if (a == "--username") o_.username = *v;
            if (a == "--password-file") o_.passwordFile = *v;
            if (a == "--topic") {
                o_.topic = *v;
                topicGiven_ = true;
            }
            if (a != "--topic" && v->empty()) Fail(a + " needs a value");
        } else if (a == "--password") {
            Fail(
                "--password is not taken on the command line (others can read it there): use "
                "--password-file FILE or VELORAX_MQTT_PASSWORD");
        } else if (a == "--qos") {
            if (Accepts(kBroker, a)) o_.qos = Word(a, 0, 1);
        } else if (a == "--queue") {
            if (Accepts(kBroker, a)) o_.queueLimit = Word(a, 1, 65535) * 1u;
        } else if (a == "--triggered") {
            if (Accepts(kBroker, a)) o_.triggered = true;
        } else if (a == "--append") {
            if (Accepts(kAppend, a)) o_.append = true;
        } else if (a == "--id") {
            if (!Accepts(kId, a)) return;
            if (const auto v = Value(a)) o_.id = *v;
            if (HasControlCharacter(o_.id))
                Fail("--id takes no control characters (tab, line end)");
        } else if (a == "--mode") {
            if (!Accepts(kScan, a)) return;
            const auto v = Value(a);
            bool known = false;
            for (const auto& [name, mode] : kTriggerModes)
                if (v && *v == name) {
                    o_.scan.triggerMode = mode;
                    known = true;
                }
            if (v && !known)
                Fail("--mode takes single, rising, falling, colour0 or in0, not '" + *v + "'");
        } else if (a == "--pre") {
            if (Accepts(kScan, a)) o_.scan.preTrigger = Word(a, 0, 127);
        } else if (a == "--level") {
            if (Accepts(kScan, a)) o_.scan.triggerLevel = Word(a, 0, 65535);
        } else if (a == "--rate") {
            if (Accepts(kScan, a)) o_.scan.scanRate = Word(a, 1, 65535);
        } else if (a == "--signal") {
            if (Accepts(kScan, a)) o_.scan.signal = Word(a, 0, 2);
        } else if (a.size() > 1 && a.front() == '-') {
            Fail(info_ ? std::string(info_->name) + " takes no option " + a
                       : "unknown option " + a);
        } else if (!info_ && a == "help") {
            o_.help = true;
        } else if (!info_) {
            info_ = FindCommand(a);
            if (!info_) Fail("unknown command '" + a + "'");
            if (info_) o_.command = info_->command;
        } else if (o_.command == Command::Send && !fileGiven_) {
            o_.file = a;
            fileGiven_ = true;
        } else {
            Fail("unexpected argument '" + a + "'");
        }
    }

    void Check() {
        if (o_.command == Command::None) return Fail("no command given");
        if (!o_.tcp && !o_.serial)
            return Fail("no link: give --tcp HOST[:PORT] or --serial DEVICE");
        if (o_.tcp && o_.serial) return Fail("--tcp and --serial exclude each other");
        if (o_.tcp && baudGiven_) return Fail("--baud goes with --serial");
        if (o_.command == Command::Send && o_.file.empty()) return Fail("send needs a FILE");
        if ((o_.command == Command::HwInfo || o_.command == Command::Scan) && o_.output.empty())
            return Fail(std::string(info_->name) + " needs -o FILE");
        if (o_.append && o_.output.empty()) return Fail("--append goes with -o FILE");
        if (o_.command == Command::Publish) CheckPublish();
    }

    bool Broker(const std::string& url) {
        std::string rest;
        if (url.starts_with("mqtt://")) {
            rest = url.substr(7);
        } else if (url.starts_with("mqtts://")) {
            rest = url.substr(8);
            o_.tls = true;
            o_.brokerPort = kDefaultMqttsPort;
        } else {
            return false;
        }
        if (!rest.empty() && rest.back() == '/') rest.pop_back();
        return rest.find('/') == std::string::npos &&
               HostPort(rest, &o_.brokerHost, &o_.brokerPort);
    }

    void CheckPublish() {
        if (o_.brokerHost.empty()) return Fail("publish needs --broker mqtt://HOST[:PORT]");
        if (o_.triggered && o_.interval > 0)
            return Fail("--interval and --triggered exclude each other");
        if (!o_.cafile.empty() && !o_.tls) return Fail("--cafile goes with mqtts://");
        if (!o_.passwordFile.empty() && o_.username.empty())
            return Fail("--password-file goes with --username");
        // A topic with a wildcard cannot be published to; an empty level list neither.
        const std::string& name = topicGiven_ ? o_.topic : o_.id;
        const char* what = topicGiven_ ? "--topic" : "--id (the topic prefix)";
        if (topicGiven_ && o_.topic.empty()) return Fail("--topic needs a prefix");
        if (name.find_first_of("+#") != std::string::npos)
            return Fail(std::string(what) + " takes no MQTT wildcard (+ or #)");
        if (HasControlCharacter(name) || name.find('\0') != std::string::npos)
            return Fail(std::string(what) + " takes no control characters");
        if (topicGiven_ && (o_.topic.front() == '/' || o_.topic.back() == '/'))
            return Fail("--topic takes a prefix without a leading or trailing /");
    }

    const std::vector<std::string>& args_;
    std::size_t at_ = 0;
    Options o_;
    std::string error_;
    const CommandInfo* info_ = nullptr;
    bool baudGiven_ = false;
    bool fileGiven_ = false;
    bool topicGiven_ = false;
};

}  // namespace

Parsed ParseArguments(const std::vector<std::string>& arguments) {
    return Parser(arguments).Run();
}

std::string HelpText(Command command) {
    const std::string usage = std::string("Usage: velorax-cli ") + kLinkUsage + " ";
    if (const CommandInfo* info = InfoOf(command)) return usage + info->help;
    return usage + "COMMAND [OPTIONS]\n\n" + kWholeHelp;
}

std::string VersionText() {
    return std::string("velorax-cli ") + VELORAX_VERSION + " (files of " + velorax::kProgramTitle +
           ")\n";
}

}  // namespace cli
