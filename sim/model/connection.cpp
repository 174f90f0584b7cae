#include "sim/model/connection.h"

#include <algorithm>
#include <cmath>

#include "link/crc8.h"

namespace sim {
namespace {

constexpr std::uint16_t kScopeModeSingle = 0;
constexpr std::uint16_t kScopeModeRising = 1;
constexpr std::uint16_t kScopeModeFalling = 2;
constexpr std::uint16_t kScopeModeColor0 = 3;
constexpr std::uint16_t kScopeModeIn0 = 4;
constexpr std::uint16_t kRingSize = 128;

}  // namespace

Connection::Connection(SensorModel& model) : model_(model) {}

void Connection::Trace(TraceDirection direction, std::span<const std::uint8_t> bytes, double now) {
    if (trace_ && !bytes.empty()) trace_(direction, bytes, now);
}

std::vector<std::uint8_t> Connection::Receive(std::span<const std::uint8_t> bytes, double now) {
    Feed(bytes, now);
    return Poll(now);
}

std::vector<std::uint8_t> Connection::Poll(double now) {
    std::vector<std::uint8_t> out;
    for (const Emission& e : TakeDue(now)) out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    return out;
}

void Connection::Feed(std::span<const std::uint8_t> bytes, double now) {
    Advance(now);
    DropStaleInput(now);
    if (bytes.empty()) return;
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    lastInput_ = now;
    Parse(now);
}

void Connection::DropStaleInput(double now) {
    if (input_.empty() || now - lastInput_ <= kStaleInputSeconds) return;
    Trace(TraceDirection::kSkipped, input_, now);
    input_.clear();
}

void Connection::Parse(double now) {
    std::size_t pos = 0;
    std::size_t skipFrom = 0;
    auto flushSkipped = [&](std::size_t upTo) {
        if (upTo > skipFrom) {
            Trace(TraceDirection::kSkipped,
                  std::span<const std::uint8_t>(input_.data() + skipFrom, upTo - skipFrom), now);
        }
        skipFrom = upTo;
    };
    while (pos < input_.size()) {
        if (input_[pos] != sensorlink::kStartByte) {
            ++pos;
            continue;
        }
        if (input_.size() - pos < sensorlink::kHeaderSize) break;
        if (!sensorlink::HeaderValid(&input_[pos])) {
            ++pos;
            continue;
        }
        const sensorlink::FrameHeader header = sensorlink::ParseHeader(&input_[pos]);
        if (header.length > sensorlink::kMaxPayload) {
            // No request is that long: answer as a damaged frame and resynchronise after
            // the header rather than swallow what follows.
            flushSkipped(pos);
            Trace(TraceDirection::kToSensor,
                  std::span<const std::uint8_t>(&input_[pos], sensorlink::kHeaderSize), now);
            pos += sensorlink::kHeaderSize;
            skipFrom = pos;
            Enqueue(header.command, ErrorReply(sensorlink::kErrorCommunication), now, false);
            continue;
        }
        const std::size_t frameSize = sensorlink::kHeaderSize + header.length;
        if (input_.size() - pos < frameSize) break;
        flushSkipped(pos);
        const std::span<const std::uint8_t> frame(&input_[pos], frameSize);
        Trace(TraceDirection::kToSensor, frame, now);
        const auto payload = frame.subspan(sensorlink::kHeaderSize);
        pos += frameSize;
        skipFrom = pos;
        if (!payload.empty() &&
            sensorlink::Crc8(payload.data(), 0, payload.size()) != header.dataChecksum) {
            Enqueue(header.command, ErrorReply(sensorlink::kErrorCommunication), now, false);
            continue;
        }
        Handle(header, payload, now);
    }
    // Keep only what may still become a frame: an unfinished frame from its start byte.
    std::size_t keep = pos;
    if (keep > input_.size()) keep = input_.size();
    flushSkipped(keep);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(keep));
}

void Connection::Handle(const sensorlink::FrameHeader& header, std::span<const std::uint8_t> payload,
                        double now) {
    namespace cmd = sensorlink::cmd;
    switch (header.command) {
        case cmd::kTriggeredSend:
            if (header.parameter > 1) {
                Enqueue(header.command, ErrorReply(sensorlink::kErrorUnknownCommand), now, false);
                return;
            }
            triggeredOn_ = header.parameter == 1;
            if (triggeredOn_) {
                const double rate = model_.Options().triggerRate;
                nextTrigger_ =
                    rate > 0
                        ? static_cast<std::uint64_t>(std::floor(std::max(0.0, now) * rate + 1e-9)) +
                              1
                        : 0;
            }
            Enqueue(header.command, sensorlink::MakeFrame(cmd::kTriggeredSend, 0), now, false);
            return;
        case cmd::kScopeScan:
            Enqueue(header.command, StartScope(header, payload, now), now, false);
            return;
        case cmd::kBaudRate:
            model_.SetBaudIndex(header.parameter);
            Enqueue(header.command, sensorlink::MakeFrame(cmd::kBaudRate, 0), now, false,
                    sensorlink::BaudRate(header.parameter));
            return;
        default:
            Enqueue(header.command, model_.Execute(header, payload, now), now, false);
            return;
    }
}

std::vector<std::uint8_t> Connection::StartScope(const sensorlink::FrameHeader& header,
                                                 std::span<const std::uint8_t> payload,
                                                 double now) {
    if (header.parameter == 0) {
        scope_.reset();
        return sensorlink::MakeFrame(sensorlink::cmd::kScopeScan, 0);
    }
    if (header.parameter != 1) return ErrorReply(sensorlink::kErrorUnknownCommand);
    if (payload.size() != sensorlink::kScopeRequestWords * 2) {
        return ErrorReply(sensorlink::kErrorCommunication);
    }
    std::array<std::uint16_t, sensorlink::kScopeRequestWords> w{};
    sensorlink::UnpackWordsInto(payload.data(), payload.size(), w.data(), w.size());
    if (w[0] > kScopeModeIn0 || w[4] > 2) return ErrorReply(sensorlink::kErrorUnknownCommand);
    ScopeScan scan;
    scan.mode = w[0];
    scan.preTrigger = std::min<std::uint16_t>(w[1], kRingSize - 1);
    scan.level = w[2];
    scan.rate = std::max<std::uint16_t>(w[3], 1);
    scan.signal = w[4];
    scan.start = now;
    scan.dt = scan.rate / model_.ScanFrequency();
    scope_ = scan;
    return sensorlink::MakeFrame(sensorlink::cmd::kScopeScan, 0);
}

void Connection::Advance(double now) {
    AdvanceTriggered(now);
    AdvanceScope(now);
}

void Connection::AdvanceTriggered(double now) {
    const double rate = model_.Options().triggerRate;
    if (!triggeredOn_ || !(rate > 0)) return;
    const double last = std::floor(now * rate + 1e-9);
    if (last < static_cast<double>(nextTrigger_)) return;
    // A sensor left alone for long would have flooded the line; keep the latest frames.
    const auto lastIndex = static_cast<std::uint64_t>(last);
    if (lastIndex - nextTrigger_ + 1 > kMaxBacklogFrames) {
        nextTrigger_ = lastIndex + 1 - kMaxBacklogFrames;
    }
    for (; nextTrigger_ <= lastIndex; ++nextTrigger_) {
        const double t = static_cast<double>(nextTrigger_) / rate;
        const auto words = model_.MeasurementFrame(t);
        Enqueue(sensorlink::cmd::kTriggeredSend, sensorlink::MakeWordFrame(sensorlink::cmd::kTriggeredSend, 0, words),
                t, true);
    }
}

void Connection::AdvanceScope(double now) {
    if (!scope_) return;
    ScopeScan& s = *scope_;
    if (!s.trigger && s.mode != kScopeModeSingle &&
        now - s.SampleTime(s.next) > kMaxScopeBacklogSeconds) {
        // Nobody looked for a long time: start the ring afresh close to now. (A single
        // shot fires on its first sample, so it never gets here and stays in ring order.)
        s.next = static_cast<std::uint64_t>(
            std::max(0.0, std::ceil((now - kScopeCheckSeconds * 5 - s.start) / s.dt)));
        s.filled = 0;
        s.havePrevious = false;
    }
    while (s.SampleTime(s.next) <= now) {
        const std::uint64_t k = s.next;
        const double t = s.SampleTime(k);
        const Scan scan = model_.Measure(t, true);
        const params::ParameterBlock& p = model_.Ram()[scan.activeSet].block;
        std::array<std::uint16_t, 3> values{};
        if (s.signal == 0) {
            values = scan.raw;
        } else if (s.signal == 2) {
            values = scan.calibrated;
        } else if (p.calculationMode % 2 == 1) {
            values = {scan.coords.s, scan.coords.i, scan.coords.m};
        } else {
            values = {scan.coords.x, scan.coords.y, scan.coords.intensity};
        }
        const std::uint16_t colorNo = scan.evaluation.colorNo;
        const bool patternMode = p.evaluationMode >= 3;
        const bool recognised = colorNo != kNoColor && (!patternMode || colorNo != 0);
        const auto slot = static_cast<std::size_t>(k % kRingSize);
        for (std::size_t c = 0; c < 3; ++c) s.ring[c][slot] = values[c];
        s.ring[3][slot] = static_cast<std::uint16_t>((scan.in0 ? 1 : 0) | (recognised ? 2 : 0));

        if (!s.trigger) {
            bool fire = false;
            const std::uint16_t blue = values[2];
            switch (s.mode) {
                case kScopeModeSingle:
                    fire = true;
                    break;
                case kScopeModeRising:
                    fire = s.havePrevious && s.previousBlue <= s.level && blue > s.level;
                    break;
                case kScopeModeFalling:
                    fire = s.havePrevious && s.previousBlue >= s.level && blue < s.level;
                    break;
                case kScopeModeColor0:
                    fire = patternMode ? (colorNo != kNoColor && (colorNo & 1) != 0) : colorNo == 0;
                    break;
                default:  // kScopeModeIn0
                    fire = s.havePrevious && !s.previousIn0 && scan.in0;
                    break;
            }
            // The pre-trigger part of the ring must hold real samples of this scan.
            const bool armed = s.mode == kScopeModeSingle || s.filled >= s.preTrigger;
            if (fire && armed) {
                s.trigger = k;
                s.end = k + kRingSize - 1 - (s.mode == kScopeModeSingle ? 0 : s.preTrigger);
            }
            s.previousBlue = blue;
            s.previousIn0 = scan.in0;
            s.havePrevious = true;
        }
        ++s.filled;
        ++s.next;
        if (s.trigger && k == s.end) {
            const auto index = static_cast<std::uint16_t>(*s.trigger % kRingSize);
            for (std::size_t b = 0; b < 4; ++b) {
                std::array<std::uint16_t, sensorlink::kScopeBlockWords> words{};
                std::copy(s.ring[b].begin(), s.ring[b].end(), words.begin());
                words[kRingSize] = index;
                Enqueue(sensorlink::cmd::kScopeScan, sensorlink::MakeWordFrame(sensorlink::cmd::kScopeScan, 0, words),
                        t, true);
            }
            scope_.reset();
            return;
        }
    }
}

void Connection::Enqueue(std::uint8_t command, std::vector<std::uint8_t> frame, double due,
                         bool unsolicited, std::optional<std::int32_t> baudAfter) {
    const FaultPlan plan = model_.Faults().Match(command, unsolicited);
    Emission e;
    e.closeAfter = plan.closeAfter;
    if (!plan.silent) {
        e.bytes = model_.Junk(plan.junkBytes);
        e.junkBytes = e.bytes.size();
        const auto bytes = ApplyPlan(plan, std::move(frame));
        e.bytes.insert(e.bytes.end(), bytes.begin(), bytes.end());
        // A sensor that refuses a new rate keeps its line as it was.
        if (!plan.errorCode) e.baudAfter = baudAfter;
    }
    if (e.bytes.empty() && !e.closeAfter) return;
    e.split = plan.split;
    if (!unsolicited) due += model_.Options().replyLatency;
    due += plan.delay;
    // One line, one sender: nothing overtakes a frame that is still held back.
    e.due = std::max(due, lastDue_);
    lastDue_ = e.due;
    outbox_.push_back(std::move(e));
}

std::vector<Emission> Connection::TakeDue(double now) {
    Advance(now);
    DropStaleInput(now);
    std::vector<Emission> due;
    while (!outbox_.empty() && outbox_.front().due <= now) {
        Emission& e = outbox_.front();
        const std::span<const std::uint8_t> all(e.bytes);
        Trace(TraceDirection::kSkipped, all.first(e.junkBytes), now);
        Trace(TraceDirection::kFromSensor, all.subspan(e.junkBytes), now);
        due.push_back(std::move(e));
        outbox_.pop_front();
    }
    return due;
}

std::optional<double> Connection::NextWakeup(double now) const {
    std::optional<double> wake;
    auto consider = [&wake](double t) {
        if (!wake || t < *wake) wake = t;
    };
    if (!outbox_.empty()) consider(outbox_.front().due);
    const double rate = model_.Options().triggerRate;
    if (triggeredOn_ && rate > 0) consider(static_cast<double>(nextTrigger_) / rate);
    if (scope_) {
        consider(scope_->trigger ? scope_->SampleTime(scope_->end) : now + kScopeCheckSeconds);
    }
    if (!input_.empty()) consider(lastInput_ + kStaleInputSeconds + 1e-3);
    return wake;
}

}  // namespace sim
