// The simulated sensor's frame receiver on arbitrary bytes from the PC side: junk, cut
// frames, wrong checksums, any length. It must answer or stay silent, never crash, and
// every frame it sends back must carry right checksums.

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/crc8.h"
#include "link/frame.h"
#include "sim/model/connection.h"
#include "sim/model/sensor_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sim::SensorModel model;
    sim::Connection connection(model);
    double now = 0.0;
    // Feed the input in pieces whose sizes come from the input itself.
    std::size_t i = 0;
    std::vector<std::uint8_t> out;
    while (i < size) {
        const std::size_t piece = 1 + data[i] % 64;
        const std::size_t n = std::min(piece, size - i);
        auto reply = connection.Receive(std::span(data + i, n), now);
        out.insert(out.end(), reply.begin(), reply.end());
        auto due = connection.Poll(now);
        out.insert(out.end(), due.begin(), due.end());
        i += n;
        now += 0.01;
    }
    // Replies are whole frames: walk them and check both checksums.
    std::size_t at = 0;
    while (at + sensorlink::kHeaderSize <= out.size()) {
        if (!sensorlink::HeaderValid(&out[at])) __builtin_trap();
        const auto header = sensorlink::ParseHeader(&out[at]);
        if (at + sensorlink::kHeaderSize + header.length > out.size()) __builtin_trap();
        if (header.length > 0 &&
            sensorlink::Crc8(out.data(), at + sensorlink::kHeaderSize, header.length) != header.dataChecksum)
            __builtin_trap();
        at += sensorlink::kHeaderSize + header.length;
    }
    return 0;
}
