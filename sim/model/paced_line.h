#pragma once
// One direction of the simulated sensor's serial line: runs of bytes in order, each run
// ready at a model time, let through the way a UART at the line's baud rate would.
//
// A byte takes 10 bit times on the wire (start bit, 8 data bits, stop bit). Bytes queue
// behind each other: in a busy stretch that began at S, byte k (counted from 0) is through
// at S + (k + 1) byte times. The schedule is kept in model time, not in the times at which
// the caller happened to look: a caller that looks late writes what has become due since
// and the next byte is still due one byte time after the previous one was, so over a busy
// stretch the line carries exactly its wire rate, never more.
//
// Without pacing a run is due in full as soon as it is queued.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace sim {

inline constexpr int kBitsPerByte = 10;
// Bytes due within this much wire time leave together, in one write: a fast line then
// costs a wake-up per millisecond instead of one per byte, and no byte leaves before it
// would have been through.
inline constexpr double kRunSeconds = 0.001;

// Seconds one byte takes at `baudRate` bits per second.
double ByteSeconds(std::int32_t baudRate);

class PacedLine {
  public:
    struct Run {
        std::vector<std::uint8_t> bytes;
        double ready = 0.0;                     // model time the first byte may go on the wire
        bool singleBytes = false;               // one byte per write (a split reply)
        std::optional<std::int32_t> baudAfter;  // line rate once the whole run went out
        bool hangUp = false;                    // the line closes once the whole run went out
    };

    explicit PacedLine(bool paced, std::int32_t baudRate = 115200);

    bool Paced() const { return paced_; }
    std::int32_t BaudRate() const { return baudRate_; }
    // Bytes not yet through go at the new rate.
    void SetBaudRate(std::int32_t baudRate);

    void Push(Run run);
    bool Empty() const { return runs_.empty(); }
    // Bytes queued and not yet gone out.
    std::size_t QueuedBytes() const { return queued_; }
    // Drops everything queued; the line is idle from then on.
    void Clear();

    // The bytes of the front run that are through by `now` (at most one for single-byte
    // runs); empty when none is, or when the front run has gone out (see TakeFinished).
    std::span<const std::uint8_t> DueBytes(double now) const;
    // The model time at which byte `i` of DueBytes() is through (the run's ready time
    // without pacing).
    double ThroughAt(std::size_t i) const;
    // `count` bytes from the front of DueBytes() have gone out.
    void Consume(std::size_t count);
    // The front run, once all its bytes have gone out: its flags say what happens next.
    std::optional<Run> TakeFinished();

    // When the next write is due: the time the next run of bytes (kRunSeconds of wire time,
    // at least one byte, never past the end of the front run) is through. nullopt when
    // nothing is queued.
    std::optional<double> NextDue() const;

  private:
    double Start() const;  // when the front run's next byte goes on the wire
    std::size_t RunBytes() const;

    bool paced_;
    std::int32_t baudRate_ = 0;
    double byteSeconds_ = 0.0;
    std::deque<Run> runs_;
    std::size_t offset_ = 0;  // bytes of the front run that went out
    std::size_t queued_ = 0;
    // When the last byte that went out was through; nullopt while the line was never busy.
    std::optional<double> lineFree_;
};

}  // namespace sim
