// measure and triggered: measurement frames as the recorder's record file or as JSON lines,
// to standard output or into a file, until a count or Ctrl-C.

#include <sys/stat.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <array>
#include <fstream>
#include <string_view>

#include "cli/context.h"
#include "device/loop.h"
#include "device/sensor.h"
#include "device/triggered.h"
#include "link/replies.h"
#include "recorder/record_core.h"
#include "ui/wait.h"

namespace cli {

namespace {

// Where the frames go, one whole line each. A file is the recorder's: appended to line by
// line, opened and closed for every line, so a line written is on disk when the next frame
// is asked for. It is made (an old one replaced) only with the first line, header and line
// at once through a temporary file: a command that ends before any frame leaves an old
// file as it was. With --append the lines go onto the end of a record file of the same
// format instead. A line that cannot be written whole (a full disk) is cut off again, so
// the file always ends on a whole line.
// Lines for standard output gather for at most 50 ms (or 4 KiB): frames that come back to
// back cost one write for many, and a line still goes out within 50 ms of its frame, also
// while the next exchange waits. Only whole lines are ever written.
class FrameSink {
  public:
    explicit FrameSink(Context& c) : c_(c), path_(c.options.output) {
        timer_.setSingleShot(true);
        timer_.setInterval(kGatherMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Flush(); });
    }

    // The header on standard output (JSON lines have none); a file is only looked at.
    int Open() {
        if (path_.empty()) {
            const std::string header = Header();
            if (!header.empty() && !c_.env.out.Write(header)) return Closed();
            return kExitDone;
        }
        if (const std::string obstacle = WriteObstacle(path_); !obstacle.empty())
            return c_.FileFailed(path_, obstacle);
        if (c_.options.append) {
            std::ifstream file(path_, std::ios::binary);
            std::string head(kRecordStart.size(), '\0');
            file.read(head.data(), static_cast<std::streamsize>(head.size()));
            head.resize(static_cast<std::size_t>(file.gcount()));
            // A missing or empty file is made as a new one.
            made_ = !head.empty();
            const bool tsv = c_.options.format == Format::Tsv;
            if (made_ && (tsv ? head != kRecordStart : head.front() != '{'))
                return c_.FileFailed(path_, "not a record file to append to");
        }
        return kExitDone;
    }

    // kExitDone: the line is taken. kExitFile: it could not be written (said). Ended(): no
    // more lines can go out (the reader of standard output went away: no failure).
    int Put(FrameWords words) {
        const Stamp stamp = c_.Now();
        ++seq_;
        const std::string line = c_.options.format == Format::Jsonl
                                     ? JsonLine(words, stamp, c_.options.id, seq_)
                                     : RecordLine(words, stamp);
        if (!path_.empty()) return ToFile(line);
        if (ended_) return status_;
        pending_ += line;
        if (pending_.size() >= kGatherBytes) return Flush();
        if (!timer_.isActive()) timer_.start();
        return kExitDone;
    }

    // The lines gathered so far onto standard output.
    int Flush() {
        timer_.stop();
        if (pending_.empty() || ended_) return status_;
        const bool written = c_.env.out.Write(pending_);
        pending_.clear();
        return written ? kExitDone : Closed();
    }

    bool Ended() const { return ended_; }

  private:
    static constexpr int kGatherMs = 50;
    static constexpr std::size_t kGatherBytes = 4096;
    // How every record file begins, whatever its PANEL ID.
    static constexpr std::string_view kRecordStart = "\nRECORD RESULTS OF: ";

    std::string Header() const {
        return c_.options.format == Format::Tsv ? recorder::FileHeader(c_.options.id)
                                                : std::string();
    }

    int ToFile(const std::string& line) {
        if (!made_) {
            made_ = true;
            if (const std::string reason = WriteWhole(path_, Header() + line); !reason.empty()) {
                ended_ = true;
                status_ = c_.FileFailed(path_, reason);
            }
            return status_;
        }
        struct stat before {};
        const bool sized = ::stat(path_.c_str(), &before) == 0;
        if (file_.Append(path_, line)) return kExitDone;
        // What part of the line went out is cut off again (the reason is kept already).
        if (sized) {
            const int cut = ::truncate(path_.c_str(), before.st_size);
            (void)cut;  // if even that fails, the failure said is still the write's
        }
        return Lost();
    }

    int Closed() {
        status_ = c_.OutputFailed();
        ended_ = true;
        return status_;
    }
    int Lost() {
        c_.Say(file_.LastError());
        ended_ = true;
        status_ = kExitFile;
        return status_;
    }

    Context& c_;
    std::string path_;
    recorder::RecordFile file_;
    bool made_ = false;
    std::uint64_t seq_ = 0;
    std::string pending_;
    QTimer timer_;
    bool ended_ = false;
    int status_ = kExitDone;
};

// The loop of `measure` and `triggered`: the device layer's runner, with what velorax-cli does
// with a frame. It takes the frames the program's recorder takes: a frame without measured
// values (an error frame, a short frame) writes no line, and is counted and said at the end
// (status 3: the sensor refused some). Runs while no Ctrl-C came and `more` (may be empty)
// holds.
struct FrameLoop {
    FrameLoop(Context& context, FrameSink& frameSink) : c(context), sink(frameSink) {
        loop.passes = c.options.count;
        loop.measurementsOnly = true;
        loop.unmeasured = [this](const sensorlink::Exchange&) { ++unmeasured; };
        loop.frame = [this](const sensorlink::Exchange& e) {
            sensorlink::UnpackMeasurement(e.payload, words);
            status = sink.Put(words);
            ++taken;
            return status == kExitDone && !sink.Ended();
        };
        loop.passDone = [this](const sensorlink::Exchange& e) { last = e.outcome; };
    }

    // The status the loop ended with.
    int Run(const std::function<bool()>& more) {
        const device::LoopEnd end = device::RunLoop(
            c.link, c.link.Wait(), loop, [&] { return !c.stop.Requested() && (!more || more()); });
        if (unmeasured > 0) {
            c.Say(OneLine(recorder::UnmeasuredText(unmeasured)));
            if (status == kExitDone) status = kExitRefused;
        }
        switch (end) {
            case device::LoopEnd::Finished:
            case device::LoopEnd::NotRunning:
                return status;
            case device::LoopEnd::Failed:
            case device::LoopEnd::LinkEnded:
            case device::LoopEnd::Gone:
                // A wait ended by Ctrl-C leaves no line unfinished: a clean end.
                lost = !c.stop.Requested();
                return c.stop.Requested() ? kExitDone : c.ExitOf(last);
        }
        return status;
    }

    Context& c;
    FrameSink& sink;
    device::Loop loop;
    std::array<std::uint16_t, sensorlink::kMeasurementWords> words{};  // the last frame's
    int status = kExitDone;
    int unmeasured = 0;  // frames without measured values
    sensorlink::Outcome last = sensorlink::Outcome::Reply;
    bool lost = false;  // a failed exchange or a line gone ended it
    int taken = 0;
};

// --count over all the runs of --reconnect.
int Left(const Context& c, int taken) {
    return c.options.count > 0 ? c.options.count - taken : 0;
}

// With --reconnect, each line lost is said on standard error (the failure's own line) and
// the frames go on into the same output; without, the one run over the line opened by the
// caller is the command.
int Runs(Context& c, const std::function<Attempt()>& run, const std::function<bool()>& more) {
    if (!c.options.reconnect) return run().status;
    return KeepLink(
        c, [&](const std::string&) { return run(); },
        [&c](const std::string&) { c.Say("the line is tried again"); }, more);
}

// One run of triggered over an open line: on, frames, off.
Attempt TriggeredRun(Context& c, FrameSink& sink, int& taken, const std::function<bool()>& more) {
    int status = kExitDone;
    bool lost = false;
    const sensorlink::Exchange on = device::StartTriggeredSending(c.link);
    if (!on.Ok()) {
        status = c.ExitOf(on.outcome);
        lost = status == kExitLink;
    } else {
        // The sensor sends when it is triggered: no time limit but --timeout's, for each
        // frame.
        FrameLoop frames(c, sink);
        frames.loop.pace = device::Pace::SensorSends;
        frames.loop.passes = Left(c, taken);
        if (c.options.reconnect) CheckQuietLine(c, frames.loop, &frames.last);
        Deadline deadline(c, c.options.timeout);
        frames.loop.beforePass = [&deadline] { deadline.Start(); };
        const auto passDone = frames.loop.passDone;
        frames.loop.passDone = [&](const sensorlink::Exchange& e) {
            deadline.Stop();
            passDone(e);
        };
        status = frames.Run([&deadline] { return !deadline.Over(); });
        taken += frames.taken;
        lost = frames.lost;
        if (deadline.Over() && !c.stop.Requested()) {
            c.Say("no frame came within " + deadline.Text());
            status = kExitLink;
        }
    }
    const int flushed = sink.Flush();
    if (status == kExitDone) status = flushed;
    // Off again, whatever ended the frames, while the line is there.
    const sensorlink::Exchange off = device::StopTriggeredSending(c.link);
    if (status == kExitDone && !off.Ok() && off.outcome != sensorlink::Outcome::LinkDown &&
        !c.link.Aborted())
        status = c.ExitOf(off.outcome);
    return {lost && c.options.reconnect && !c.stop.Requested() && more(), status};
}

}  // namespace

int Measure(Context& c) {
    // With --reconnect the line is opened (and opened again) by Runs.
    if (!c.options.reconnect)
        if (const int status = c.Connect()) return status;
    FrameSink sink(c);
    if (const int status = sink.Open(); status != kExitDone || sink.Ended()) return status;
    c.StopEndsLoop(true);
    // --duration: no request starts after it; the frame in hand is finished.
    Deadline duration(c, c.options.duration);
    duration.Start();
    int taken = 0;
    const auto more = [&] {
        return !duration.Over() && !sink.Ended() &&
               (c.options.count == 0 || taken < c.options.count);
    };
    const int status = Runs(
        c,
        [&]() -> Attempt {
            FrameLoop frames(c, sink);
            // The starts keep to a schedule, as the recorder's do.
            frames.loop.pace =
                c.options.interval > 0 ? device::Pace::Schedule : device::Pace::AtOnce;
            frames.loop.period = c.options.interval;
            frames.loop.passes = Left(c, taken);
            const int end = frames.Run([&duration] { return !duration.Over(); });
            taken += frames.taken;
            return {frames.lost && c.options.reconnect && more(), end};
        },
        more);
    c.StopEndsLoop(false);
    const int flushed = sink.Flush();
    return status != kExitDone ? status : flushed;
}

int Triggered(Context& c) {
    if (!c.options.reconnect)
        if (const int status = c.Connect()) return status;
    FrameSink sink(c);
    if (const int status = sink.Open(); status != kExitDone || sink.Ended()) return status;
    c.StopEndsLoop(true);
    int taken = 0;
    const auto more = [&] {
        return !sink.Ended() && (c.options.count == 0 || taken < c.options.count);
    };
    const int status = Runs(
        c, [&] { return TriggeredRun(c, sink, taken, more); }, more);
    c.StopEndsLoop(false);
    return status;
}
}  // namespace cli
