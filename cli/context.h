#pragma once
// Inside velorax-cli: what a running command has (its options, outputs, the link, the stop
// request) and the commands themselves. Not part of the library's interface.

#include <QTimer>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/cli.h"
#include "cli/options.h"
#include "device/loop.h"
#include "ini/ini.h"
#include "link/link.h"
#include "link/link_state.h"

namespace cli {

class Context : public sensorlink::FailureObserver {
  public:
    Context(const Options& options, Environment& env, Stop& stop);
    ~Context() override;

    // Opens the transport the options name: 0, or kExitLink (the failure said).
    int Connect();
    // Closes it again (after a failure, before the next Connect).
    void Disconnect();
    // The link as a text: "tcp 127.0.0.1:10001", "serial /dev/ttyUSB0 115200".
    std::string LinkText() const;
    // The last failure the link reported, on one line (empty: none since the last call).
    std::string TakeFailure();

    // One line on standard error: "velorax-cli: " and the text.
    void Say(std::string_view text);
    int Said() const { return said_; }
    // "velorax-cli: PATH: reason"; returns kExitFile.
    int FileFailed(const std::string& path, const std::string& reason);
    // The status of an exchange that did not end with a reply.
    int ExitOf(sensorlink::Outcome outcome) const;
    // What standard output could not take; returns kExitFile, or kExitDone when the reader
    // went away (a closed pipe ends the output, not the run, in error).
    int OutputFailed();

    Stamp Now() const { return env.now ? env.now() : LocalStamp(); }

    // While a loop runs, Ctrl-C only wakes it (the loop ends after the frame in hand); a
    // second Ctrl-C, or one outside a loop, ends every wait of the link at once.
    void StopEndsLoop(bool loop);

    void ReportLinkFailure(std::string_view text) override;
    void ReportRefused(std::string_view text) override;
    void NoteErrorCode(std::uint16_t code) override;

    const Options& options;
    Environment& env;
    Stop& stop;
    sensorlink::LinkState state;
    sensorlink::Link link;

  private:
    int said_ = 0;
    std::string failure_;
    std::optional<std::uint16_t> notedCode_;  // the error code said last
};

// A limit for the waits that have none of their own (frames the sensor sends when it is
// triggered): once the seconds have passed since Start, Over() is true and the link's waits
// are woken to look. Zero seconds: no limit.
class Deadline {
  public:
    Deadline(Context& c, double seconds);
    void Start();
    void Stop() { timer_.stop(); }
    bool Over() const { return over_; }
    // The limit as the line on standard error gives it: "0.2 s".
    std::string Text() const;

  private:
    void Arm();
    Context& c_;
    double seconds_;
    double end_ = 0;
    bool over_ = false;
    QTimer timer_;
};

// The commands; each returns its exit status.
int Identify(Context& c);
int Get(Context& c);
int Send(Context& c);
int Measure(Context& c);
int Triggered(Context& c);
int Calibration(Context& c);
int Offsets(Context& c);
int HwInfo(Context& c);
int Scan(Context& c);
int Publish(Context& c);

// Triggered frames under --reconnect and publish: a sensor quiet for 5 s is asked to send on
// its trigger again (device::Loop::quiet). Between two triggers a sensor is silent, and so is
// a pulled cable or a sensor switched off and on (which has forgotten triggered sending): its
// answer tells them apart and switches sending on again; no answer is a lost line. `last`
// takes the check's outcome.
void CheckQuietLine(Context& c, device::Loop& loop, sensorlink::Outcome* last = nullptr);

// What one run over an open, identified line ended with: the line was lost (a failed
// exchange, a line gone; it is tried again), or the command's status.
struct Attempt {
    bool lost = false;
    int status = kExitDone;
};
// Keeps a line to the sensor: opens it, identifies the sensor and runs `session` over it;
// when the line fails (also the first opening) it tells `down` the failure text, closes the
// line, waits a pause that doubles from 0.1 s up to --retry-max (Ctrl-C ends the wait) and
// starts again. Returns the status of the session that did not lose its line, or kExitDone
// after Ctrl-C.
// `more` (may be empty) false ends the tries as well (a duration over, a count reached).
int KeepLink(Context& c, const std::function<Attempt(const std::string& firmware)>& session,
             const std::function<void(const std::string& failure)>& down,
             const std::function<bool()>& more = {});

// --- files ------------------------------------------------------------------------------
// Why `path` cannot be written now, or empty when it looks writable: the target is no
// directory or special file, and its folder exists. Asked before the sensor is, so that a
// wrong path costs no exchange.
std::string WriteObstacle(const std::string& path);
// Why `path` cannot be read as a file, or empty.
std::string ReadObstacle(const std::string& path);
// An INI file the program's way (ini::IniObject::WriteToFile: a unique temporary file
// beside the target, renamed over it): kExitDone, or kExitFile with the path and reason.
int WriteIni(Context& c, const ini::IniObject& file, const std::string& path);
// The bytes into `path` whole or not at all: a unique temporary file beside it, renamed
// over it. Empty on success, else the reason.
std::string WriteWhole(const std::string& path, std::string_view bytes);

}  // namespace cli
