// measure and triggered: measurement frames as the recorder's record file or as JSON lines,
// to standard output or into a file, until a count or Ctrl-C.

#include <QTimer>
#include <cstdio>

#include "cli/context.h"
#include "link/commands.h"
#include "recorder/record_core.h"
#include "recorder/triggered_sending.h"
#include "ui/wait.h"

namespace cli {

namespace {

// Where the frames go, one whole line each. A file is the recorder's: opened, appended to
// and closed for every line, so a line written is on disk when the next frame is asked for.
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

    // A new file (an old one replaced) with the record file's header, or the header on
    // standard output; JSON lines have none.
    int Open() {
        const bool tsv = c_.options.format == Format::Tsv;
        const std::string header = tsv ? recorder::FileHeader(c_.options.id) : std::string();
        if (path_.empty()) {
            if (!header.empty() && !c_.env.out.Write(header)) return Closed();
            return kExitDone;
        }
        if (const std::string obstacle = WriteObstacle(path_); !obstacle.empty())
            return c_.FileFailed(path_, obstacle);
        bool created = false;
        if (tsv) {
            created = file_.Create(path_, c_.options.id);
        } else {
            std::remove(path_.c_str());  // a new file, as the record file is
            created = file_.Append(path_, std::string_view(""));
        }
        if (!created) return Lost();
        return kExitDone;
    }

    // kExitDone: the line is taken. kExitFile: it could not be written (said). Ended(): no
    // more lines can go out (the reader of standard output went away: no failure).
    int Put(FrameWords words) {
        const Stamp stamp = c_.Now();
        const std::string line =
            c_.options.format == Format::Jsonl ? JsonLine(words, stamp) : RecordLine(words, stamp);
        if (!path_.empty()) return file_.Append(path_, line) ? kExitDone : Lost();
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
    std::string pending_;
    QTimer timer_;
    bool ended_ = false;
    int status_ = kExitDone;
};

// What a frame the loop got comes to: kExitDone to go on (the line is out), or the status
// that ends the loop (`end` set).
int TakeFrame(Context& c, FrameSink& sink, const sensorlink::Exchange& e, bool* end) {
    *end = true;
    if (!e.Frame()) {
        // A wait ended by Ctrl-C leaves no line unfinished: a clean end.
        if (c.stop.Requested()) return kExitDone;
        return c.ExitOf(e.outcome);
    }
    // An error frame's words would be those of the frame before: no line for it.
    if (!e.Ok()) return kExitRefused;
    // A short frame leaves the later words as the frame before left them, as in the program.
    c.link.UnpackReply();
    const int status = sink.Put(c.MeasurementWords());
    *end = sink.Ended();
    return status;
}

}  // namespace

int Measure(Context& c) {
    if (const int status = c.Connect()) return status;
    FrameSink sink(c);
    if (const int status = sink.Open(); status != kExitDone || sink.Ended()) return status;
    c.StopEndsLoop(true);
    ui::EventWait& wait = c.link.Wait();
    const double interval = c.options.interval;
    // The starts keep to a schedule, as the recorder's do: the lateness of each wake-up does
    // not add up, and a start later than a whole interval moves the schedule on.
    double due = wait.Now();
    int status = kExitDone;
    for (int n = 0; c.options.count == 0 || n < c.options.count; ++n) {
        if (c.stop.Requested()) break;
        if (interval > 0) {
            const double start = wait.Now();
            if (start - due > interval) due = start;
            due += interval;
        }
        bool end = false;
        status = TakeFrame(c, sink, c.link.Command(sensorlink::cmd::kMeasure, 0), &end);
        if (end) break;
        const bool last = c.options.count != 0 && n + 1 == c.options.count;
        if (interval > 0 && !last) {
            const double left = due - wait.Now();
            if (left > 0) wait.WaitUntil([&c] { return c.stop.Requested(); }, left, &c.link);
        }
    }
    c.StopEndsLoop(false);
    const int flushed = sink.Flush();
    return status != kExitDone ? status : flushed;
}

int Triggered(Context& c) {
    if (const int status = c.Connect()) return status;
    FrameSink sink(c);
    if (const int status = sink.Open(); status != kExitDone || sink.Ended()) return status;
    c.StopEndsLoop(true);
    int status = kExitDone;
    const sensorlink::Exchange on = recorder::StartTriggeredSending(c.link);
    if (!on.Ok()) {
        status = c.ExitOf(on.outcome);
    } else {
        // No time limit: the sensor sends when it is triggered.
        for (int n = 0; c.options.count == 0 || n < c.options.count; ++n) {
            const sensorlink::Exchange e =
                c.link.ReceiveFrame(ui::kNoDeadline, [&c] { return !c.stop.Requested(); });
            if (e.outcome == sensorlink::Outcome::Stopped) break;
            bool end = false;
            status = TakeFrame(c, sink, e, &end);
            if (end) break;
        }
    }
    const int flushed = sink.Flush();
    if (status == kExitDone) status = flushed;
    // Off again, whatever ended the frames, while the line is there.
    const sensorlink::Exchange off = recorder::StopTriggeredSending(c.link);
    if (status == kExitDone && !off.Ok() && off.outcome != sensorlink::Outcome::LinkDown &&
        !c.link.Aborted())
        status = c.ExitOf(off.outcome);
    c.StopEndsLoop(false);
    return status;
}

}  // namespace cli
