#pragma once
// Cuts the byte stream from the sensor into frames, whatever pieces the transport hands
// over: a frame split over many reads, several frames in one read, a read that ends inside
// a header. Frames have the layout of frame.h:
//
//   | 0x55 | cmd | param lo hi | len lo hi | dataCrc | headerCrc | len payload bytes ... |
//   |<------------------- 8-byte header ------------------------->|<-- at most 2040 -->|
//
// What lies at the front of the stream decides, in this order:
//   fewer than 8 bytes                       Incomplete
//   start byte not 0x55, or header CRC != 0  BadHeader
//   length above 2040                        TooLong (the reply buffer could not hold it)
//   fewer than 8 + length bytes              Incomplete
//   payload CRC differs from byte 6          BadPayload (not compared when length is 0)
//   otherwise                                Frame
//
// Junk and bad headers are not skipped: the assembler never hunts for the next 0x55. The
// frame has no escaping, so 0x55 is common inside payloads (every measurement word of 85
// or 21760); one candidate in 256 passes the 8-bit header check by chance, and its payload
// CRC one time in 256 more. Resynchronising would therefore now and then turn a broken
// stream into a frame of made-up values, and on a line at the wrong baud rate it would
// discard everything in silence, without any deadline when the caller waits for frames the
// sensor sends on its own. Failing at once gives the user a reason ("HEADER FRAME IS
// INCORRECT") and costs nothing: nothing is retried anyway, and the next request starts
// from an emptied stream. An error stays at the front until Clear(): the caller decides
// what to drop.
//
// The buffer is fixed: it holds at most one largest frame (2048 bytes). Feed() takes what
// fits and leaves the rest to the caller (the transports leave it in the device), so a
// flood of bytes costs no memory here and a whole frame always fits once the frames in
// front of it have been taken.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/frame.h"

namespace sensorlink {

class FrameAssembler {
  public:
    static constexpr std::size_t kCapacity = kBufferSize;

    enum class Status { Incomplete, Frame, BadHeader, TooLong, BadPayload };

    // Appends as many of `bytes` as fit; returns how many were taken.
    std::size_t Feed(std::span<const std::uint8_t> bytes);
    // The free space, for reading a device straight into it; then Commit what was written.
    std::span<std::uint8_t> Space();
    void Commit(std::size_t count);

    Status Front() const;
    bool HasHeader() const { return size_ >= kHeaderSize; }
    FrameHeader Header() const;  // the front header's fields; only with HasHeader()
    // The bytes of the front frame: header and payload, clamped to what is buffered.
    std::span<const std::uint8_t> FrontBytes() const;

    void Pop();    // drops the front frame (after Front() == Frame)
    void Clear();  // drops everything
    std::size_t Buffered() const { return size_; }
    std::size_t Room() const { return kCapacity - size_; }
    // Changes whenever bytes are dropped: a wait can tell that its frame was taken from it.
    std::uint32_t Generation() const { return generation_; }

  private:
    std::array<std::uint8_t, kCapacity> buffer_{};
    std::size_t size_ = 0;
    std::uint32_t generation_ = 0;
};

}  // namespace sensorlink
