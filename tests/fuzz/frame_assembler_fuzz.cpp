// The program's frame assembler on hostile input: any bytes, handed over in any pieces, as
// the serial port or the TCP socket might. Every frame it yields must carry right checksums
// and fit the reply buffer; nothing may read past a buffer (the decoders behind it have
// replies_fuzz). The first input byte picks one of two streams:
//   even: the input itself is the stream (junk, cut frames, wrong checksums, any length);
//   odd:  the input describes valid frames, some of them then damaged on purpose; every
//         frame before the first damaged one must come out whole and in order.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/crc8.h"
#include "link/frame.h"
#include "link/frame_assembler.h"

namespace {

using sensorlink::FrameAssembler;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Made-up payload bytes: the harness's own work, kept out of the coverage the fuzzer steers by
// (and out of its time).
__attribute__((no_sanitize("coverage"))) void Fill(std::vector<std::uint8_t>& payload,
                                                   std::uint32_t& fill, std::uint8_t flags) {
    for (auto& byte : payload) {
        fill = fill * 1664525u + 1013904223u + flags;
        byte = static_cast<std::uint8_t>(fill >> 24);
    }
}

struct Expected {
    std::vector<std::uint8_t> frame;
    bool damaged = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool framed = (data[0] & 1) != 0;
    std::span<const std::uint8_t> input(data + 1, size - 1);

    std::vector<std::uint8_t> stream;
    std::vector<Expected> expected;
    if (!framed) {
        stream.assign(input.begin(), input.end());
    } else {
        // Two bytes per frame, so that short inputs make long streams: a length byte (the
        // payload has length * 8 bytes, at most 2040, of made-up content) and a flags byte
        // (command, and whether and where to damage the frame).
        // At most kMaxStream bytes, two buffers full: longer streams reach nothing new in the
        // assembler and would cost the fuzzer most of its runs.
        constexpr std::size_t kMaxStream = 2 * sensorlink::kBufferSize;
        std::uint32_t fill = 0x9E3779B9u;
        for (std::size_t i = 0; i + 2 <= input.size() && stream.size() < kMaxStream; i += 2) {
            const std::uint8_t flags = input[i + 1];
            std::vector<std::uint8_t> payload(input[i] * std::size_t{8});
            Fill(payload, fill, flags);
            Expected e;
            e.frame = sensorlink::MakeFrame(flags >> 1, static_cast<std::uint16_t>(i), payload);
            if (flags & 1) {
                e.frame[flags % e.frame.size()] ^= static_cast<std::uint8_t>(1 + (flags >> 4));
                e.damaged = true;
            }
            stream.insert(stream.end(), e.frame.begin(), e.frame.end());
            expected.push_back(std::move(e));
        }
    }

    // Pieces whose sizes follow from the input, as reads of a device would.
    FrameAssembler assembler;
    std::size_t at = 0;
    std::size_t nextExpected = 0;
    bool broken = false;  // a damaged frame came first: the rest cannot be compared
    std::uint32_t seed = static_cast<std::uint32_t>(size) * 2654435761u;
    std::size_t guard = 0;
    while (at < stream.size() && ++guard < 100000) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t piece = std::min<std::size_t>(1 + (seed >> 16) % 700, stream.size() - at);
        const std::size_t room = assembler.Room();
        const std::size_t took = assembler.Feed({stream.data() + at, piece});
        Check(took == std::min(piece, room));
        Check(assembler.Buffered() <= FrameAssembler::kCapacity);
        at += took;

        for (;;) {
            const FrameAssembler::Status status = assembler.Front();
            if (status == FrameAssembler::Status::Incomplete) {
                // Incomplete with a full buffer would be a frame that can never fit.
                Check(assembler.Room() > 0);
                break;
            }
            if (status != FrameAssembler::Status::Frame) {
                // Only a damaged frame may be refused.
                if (framed && !broken) {
                    Check(nextExpected < expected.size() && expected[nextExpected].damaged);
                }
                // What the link does: report and drop everything.
                assembler.Clear();
                broken = true;
                break;
            }
            const auto bytes = assembler.FrontBytes();
            Check(bytes.size() >= sensorlink::kHeaderSize);
            Check(sensorlink::HeaderValid(bytes.data()));
            const auto header = sensorlink::ParseHeader(bytes.data());
            Check(header.length <= sensorlink::kMaxPayload);
            Check(bytes.size() == sensorlink::kHeaderSize + header.length);
            if (header.length > 0) {
                Check(sensorlink::Crc8(bytes.data(), sensorlink::kHeaderSize, header.length) ==
                      header.dataChecksum);
            }
            if (framed && !broken) {
                // Frames before the first damaged one come out exactly as they went in.
                Check(nextExpected < expected.size());
                const Expected& e = expected[nextExpected++];
                if (e.damaged) {
                    broken = true;  // a damage that still checks out; compare no further
                } else {
                    Check(std::equal(bytes.begin(), bytes.end(), e.frame.begin(), e.frame.end()));
                }
            }
            assembler.Pop();
        }
    }
    if (framed && !broken) {
        Check(nextExpected == expected.size());  // every undamaged frame came out
        Check(assembler.Buffered() == 0);
    }
    return 0;
}
