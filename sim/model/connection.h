#pragma once
// One conversation with the simulated sensor over a byte stream (a TCP connection or the
// pseudo-terminal). It cuts the incoming bytes into request frames, skipping junk until the
// next valid header, answers them through the SensorModel, and produces the frames the
// sensor sends on its own: measurement frames on each trigger while triggered sending
// (command 30) is on, and the four scope blocks (command 110) once a scan has triggered.
//
// Outgoing bytes leave in order; each Emission is due at a model time (reply latency,
// late-reply faults, samples still to be taken) and is handed out by TakeDue once due.
//
// Scope block payload (129 words):  words 0..127 ring buffer, word 128 ring index of the
// trigger sample. Blocks 0..2 hold the chosen signal set (0 raw R G B, 1 X Y INT or
// s i M by CALCULATION MODE, 2 calibrated R G B); block 3 holds per sample bit 0 = IN0,
// bit 1 = a colour is recognised.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "sim/model/sensor_model.h"

namespace sim {

struct Emission {
    std::vector<std::uint8_t> bytes;  // junk bytes first (junkBytes of them), then a frame
    std::size_t junkBytes = 0;
    double due = 0.0;
    bool split = false;                     // write one byte per write
    bool closeAfter = false;                // close the connection once written
    std::optional<std::int32_t> baudAfter;  // line rate to use once written
};

enum class TraceDirection {
    kToSensor,    // a request frame as received
    kFromSensor,  // a frame as sent (faults applied)
    kSkipped,     // bytes dropped: junk, stale fragments, junk sent before a reply
};
using TraceHook = std::function<void(TraceDirection, std::span<const std::uint8_t>, double)>;

class Connection {
  public:
    explicit Connection(SensorModel& model);

    // Feeds request bytes and returns the bytes already due (the replies without delay).
    std::vector<std::uint8_t> Receive(std::span<const std::uint8_t> bytes, double now);
    // Returns the bytes that have become due by `now` (unsolicited and delayed frames).
    std::vector<std::uint8_t> Poll(double now);

    // The same with the framing and write instructions kept.
    void Feed(std::span<const std::uint8_t> bytes, double now);
    std::vector<Emission> TakeDue(double now);

    // When something may next become due; nullopt when nothing is pending.
    std::optional<double> NextWakeup(double now) const;

    bool TriggeredSending() const { return triggeredOn_; }
    bool ScopeRunning() const { return scope_.has_value(); }
    void SetTraceHook(TraceHook hook) { trace_ = std::move(hook); }

    // Bytes of an unfinished frame older than this are dropped (inter-byte time-out).
    static constexpr double kStaleInputSeconds = 0.5;
    static constexpr double kScopeCheckSeconds = 0.02;
    static constexpr std::size_t kMaxBacklogFrames = 1000;
    static constexpr double kMaxScopeBacklogSeconds = 2.0;

  private:
    struct ScopeScan {
        std::uint16_t mode = 0, preTrigger = 0, level = 0, rate = 1, signal = 0;
        double start = 0.0, dt = 0.0;
        std::uint64_t next = 0;    // index of the next sample to take
        std::uint64_t filled = 0;  // samples taken since the last restart of the ring
        std::array<std::array<std::uint16_t, 128>, 4> ring{};
        std::optional<std::uint64_t> trigger;
        std::uint64_t end = 0;
        bool havePrevious = false;
        std::uint16_t previousBlue = 0;
        bool previousIn0 = false;
        double SampleTime(std::uint64_t k) const { return start + static_cast<double>(k) * dt; }
    };

    void DropStaleInput(double now);
    void Parse(double now);
    void Handle(const sensorlink::FrameHeader& header, std::span<const std::uint8_t> payload, double now);
    std::vector<std::uint8_t> StartScope(const sensorlink::FrameHeader& header,
                                         std::span<const std::uint8_t> payload, double now);
    void Advance(double now);
    void AdvanceTriggered(double now);
    void AdvanceScope(double now);
    void Enqueue(std::uint8_t command, std::vector<std::uint8_t> frame, double due,
                 bool unsolicited, std::optional<std::int32_t> baudAfter = std::nullopt);
    void Trace(TraceDirection direction, std::span<const std::uint8_t> bytes, double now);

    SensorModel& model_;
    TraceHook trace_;
    std::vector<std::uint8_t> input_;
    double lastInput_ = 0.0;
    std::deque<Emission> outbox_;
    double lastDue_ = 0.0;

    bool triggeredOn_ = false;
    std::uint64_t nextTrigger_ = 0;  // index of the next IN0 rising edge (time = index/rate)
    std::optional<ScopeScan> scope_;
};

}  // namespace sim
