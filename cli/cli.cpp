#include "cli/cli.h"

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "cli/context.h"
#include "link/link_texts.h"
#include "link/serial_ports.h"

namespace cli {

namespace {

constexpr std::string_view kPrefix = "velorax-cli: ";

// What a status says when nothing was said before it.
constexpr std::string_view kLinkFailedText = "the link to the sensor failed";
constexpr std::string_view kRefusedText = "the sensor answered with an error reply";
constexpr std::string_view kInterruptedText = "interrupted";

int Dispatch(Context& c) {
    switch (c.options.command) {
        case Command::Identify:
            return Identify(c);
        case Command::Get:
            return Get(c);
        case Command::Send:
            return Send(c);
        case Command::Measure:
            return Measure(c);
        case Command::Triggered:
            return Triggered(c);
        case Command::Calibration:
            return Calibration(c);
        case Command::Offsets:
            return Offsets(c);
        case Command::HwInfo:
            return HwInfo(c);
        case Command::Scan:
            return Scan(c);
        case Command::Publish:
            return Publish(c);
        case Command::None:
            break;
    }
    return kExitUsage;
}

std::string Reason(int error) {
    return std::strerror(error);
}

}  // namespace

// --- the context ------------------------------------------------------------------------------

Context::Context(const Options& options_, Environment& env_, Stop& stop_)
    : options(options_), env(env_), stop(stop_), link(state, *this) {
    StopEndsLoop(false);
}

Context::~Context() {
    stop.SetHandler({});
}

int Context::Connect() {
    if (options.tcp) {
        state.comProtocol = sensorlink::ComProtocol::Tcp;
        return link.ConnectTcp(QString::fromStdString(options.host), options.port) < 0 ? kExitLink
                                                                                       : kExitDone;
    }
    state.comProtocol = sensorlink::ComProtocol::Rs232;
    // The device named and nothing else: no port of the machine is looked at.
    link.Ports().SetScanner([] { return QList<sensorlink::SystemPort>{}; });
    const int number = link.Ports().AddDevicePath(QFile::decodeName(options.device.c_str()));
    return link.OpenSerialPort(number, options.baudIndex) < 0 ? kExitLink : kExitDone;
}

void Context::Disconnect() {
    if (options.tcp)
        link.DisconnectTcp();
    else
        link.CloseSerialPort();
}

std::string Context::LinkText() const {
    if (options.tcp) return "tcp " + options.host + ":" + std::to_string(options.port);
    static constexpr const char* kRates[] = {"9600", "19200", "38400", "57600", "115200"};
    return "serial " + options.device + " " + kRates[std::min<int>(options.baudIndex, 4)];
}

std::string Context::TakeFailure() {
    return std::exchange(failure_, {});
}

void Context::Say(std::string_view text) {
    std::string line(kPrefix);
    line += text;
    line += '\n';
    env.err.Write(line);
    ++said_;
}

int Context::FileFailed(const std::string& path, const std::string& reason) {
    Say(path + ": " + reason);
    return kExitFile;
}

int Context::ExitOf(sensorlink::Outcome outcome) const {
    using sensorlink::Outcome;
    switch (outcome) {
        case Outcome::Reply:
            return kExitDone;
        case Outcome::ErrorReply:
        case Outcome::Refused:
            return kExitRefused;
        case Outcome::Failed:
        case Outcome::LinkDown:
            return kExitLink;
        case Outcome::Aborted:
        case Outcome::Stopped:
            break;
    }
    return kExitInterrupted;
}

int Context::OutputFailed() {
    if (errno == EPIPE) return kExitDone;
    return FileFailed("standard output", Reason(errno));
}

void Context::StopEndsLoop(bool loop) {
    if (loop) {
        stop.SetHandler([this](int requests) {
            if (requests > 1)
                link.Abort();
            else
                link.Wake();
        });
    } else {
        stop.SetHandler([this](int) { link.Abort(); });
    }
}

void Context::ReportLinkFailure(std::string_view text) {
    // A refusal reported after its code was said is the same failure: one line.
    if (notedCode_ && text == sensorlink::RefusalText(*notedCode_)) return;
    failure_ = OneLine(text);
    Say(failure_);
}

void Context::ReportRefused(std::string_view text) {
    Say(OneLine(text));
}

void Context::NoteErrorCode(std::uint16_t code) {
    // A sensor that refuses every frame of a loop says its code once, not once a frame.
    if (notedCode_ == code) return;
    notedCode_ = code;
    Say("the sensor answered with an error reply of code " + std::to_string(code));
}

// --- the deadline ----------------------------------------------------------------------------

Deadline::Deadline(Context& c, double seconds) : c_(c), seconds_(seconds) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Arm(); });
}

void Deadline::Start() {
    over_ = false;
    if (seconds_ <= 0) return;
    end_ = c_.link.Wait().Now() + seconds_;
    Arm();
}

void Deadline::Arm() {
    const double left = end_ - c_.link.Wait().Now();
    if (left <= 0) {
        over_ = true;
        c_.link.Wake();
        return;
    }
    // A timer's interval is an int of milliseconds: a long limit is reached in steps.
    constexpr double kStep = 86400.0;
    timer_.start(static_cast<int>(std::ceil(std::min(left, kStep) * 1000.0)));
}

std::string Deadline::Text() const {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds_);
    return text;
}

// --- files ---------------------------------------------------------------------------------

std::string WriteObstacle(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target(path);
    const fs::file_status status = fs::status(target, error);
    if (fs::exists(status)) {
        if (fs::is_directory(status)) return Reason(EISDIR);
        if (!fs::is_regular_file(status)) return "not a regular file";
        return {};
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    const fs::file_status folderStatus = fs::status(folder, error);
    if (!fs::exists(folderStatus)) return Reason(ENOENT);
    if (!fs::is_directory(folderStatus)) return Reason(ENOTDIR);
    return {};
}

std::string ReadObstacle(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(path), error);
    if (!fs::exists(status)) return Reason(ENOENT);
    if (fs::is_directory(status)) return Reason(EISDIR);
    if (!fs::is_regular_file(status)) return "not a regular file";
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return Reason(errno);
    std::fclose(file);
    return {};
}

int WriteIni(Context& c, const ini::IniObject& file, const std::string& path) {
    errno = 0;
    if (file.WriteToFile(path)) return kExitDone;
    const int error = errno;
    std::string reason = WriteObstacle(path);
    if (reason.empty()) reason = error != 0 ? Reason(error) : "cannot be written";
    return c.FileFailed(path, reason);
}

std::string WriteWhole(const std::string& path, std::string_view bytes) {
    if (std::string obstacle = WriteObstacle(path); !obstacle.empty()) return obstacle;
    QSaveFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !file.commit())
        return file.errorString().toStdString();
    return {};
}

// --- the run ---------------------------------------------------------------------------------

int Run(const std::vector<std::string>& arguments, Environment& env) {
    const Parsed parsed = ParseArguments(arguments);
    if (!parsed.error.empty()) {
        env.err.Write(std::string(kPrefix) + parsed.error + "; velorax-cli --help tells more\n");
        return kExitUsage;
    }
    if (parsed.options.help) {
        env.out.Write(HelpText(parsed.options.command));
        return kExitDone;
    }
    if (parsed.options.version) {
        env.out.Write(VersionText());
        return kExitDone;
    }
    Stop none;
    Context c(parsed.options, env, env.stop ? *env.stop : none);
    int status = Dispatch(c);
    if (status != kExitDone && c.stop.Requested() && c.link.Aborted()) status = kExitInterrupted;
    // Every failure says something, also one whose cause had no text of its own (an
    // interrupted wait).
    if (status != kExitDone && c.Said() == 0) {
        if (status == kExitLink) c.Say(kLinkFailedText);
        if (status == kExitRefused) c.Say(kRefusedText);
        if (status == kExitInterrupted) c.Say(kInterruptedText);
    }
    return status;
}

}  // namespace cli
