#pragma once
// Small helpers shared by the simulator tests: building requests and cutting reply bytes
// back into frames.

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "link/crc8.h"
#include "link/frame.h"
#include "sim/model/sensor_model.h"

namespace simtest {

inline sim::ModelOptions Options(std::uint64_t seed, double triggerRate,
                                 std::optional<sim::Scene> scene = std::nullopt) {
    sim::ModelOptions options;
    options.seed = seed;
    options.triggerRate = triggerRate;
    options.scene = std::move(scene);
    return options;
}

struct Frame {
    sensorlink::FrameHeader header;
    std::vector<std::uint8_t> payload;
    bool headerOk = false;
    bool payloadOk = false;

    std::vector<std::uint16_t> Words() const {
        std::vector<std::uint16_t> w(payload.size() / 2);
        sensorlink::UnpackWordsInto(payload.data(), payload.size(), w.data(), w.size());
        return w;
    }
};

inline std::vector<std::uint8_t> Request(std::uint8_t command, std::uint16_t parameter = 0,
                                         std::span<const std::uint16_t> words = {}) {
    return sensorlink::MakeWordFrame(command, parameter, words);
}

// Cuts a byte stream of well-formed frames apart (stops at anything it cannot frame).
inline std::vector<Frame> Frames(std::span<const std::uint8_t> bytes) {
    std::vector<Frame> out;
    std::size_t pos = 0;
    while (bytes.size() - pos >= sensorlink::kHeaderSize) {
        Frame f;
        f.headerOk = sensorlink::HeaderValid(&bytes[pos]);
        f.header = sensorlink::ParseHeader(&bytes[pos]);
        const std::size_t end = pos + sensorlink::kHeaderSize + f.header.length;
        if (end > bytes.size()) break;
        f.payload.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos + sensorlink::kHeaderSize),
                         bytes.begin() + static_cast<std::ptrdiff_t>(end));
        f.payloadOk = f.payload.empty() ? true
                                        : sensorlink::Crc8(f.payload.data(), 0, f.payload.size()) ==
                                              f.header.dataChecksum;
        out.push_back(std::move(f));
        pos = end;
    }
    return out;
}

inline Frame Single(std::span<const std::uint8_t> bytes) {
    auto frames = Frames(bytes);
    return frames.size() == 1 ? frames[0] : Frame{};
}

}  // namespace simtest
