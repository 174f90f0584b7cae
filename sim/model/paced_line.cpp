#include "sim/model/paced_line.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
// A look at exactly the due time must find the byte through, whatever rounding the sums
// of byte times and the clock's conversion picked up (in byte times: far below a
// nanosecond at any rate).
constexpr double kEpsilon = 1e-6;
}  // namespace

double ByteSeconds(std::int32_t baudRate) {
    return static_cast<double>(kBitsPerByte) / static_cast<double>(std::max(baudRate, 1));
}

PacedLine::PacedLine(bool paced, std::int32_t baudRate) : paced_(paced) {
    SetBaudRate(baudRate);
}

void PacedLine::SetBaudRate(std::int32_t baudRate) {
    baudRate_ = baudRate;
    byteSeconds_ = ByteSeconds(baudRate);
}

void PacedLine::Push(Run run) {
    queued_ += run.bytes.size();
    runs_.push_back(std::move(run));
}

void PacedLine::Clear() {
    runs_.clear();
    offset_ = 0;
    queued_ = 0;
    lineFree_.reset();
}

double PacedLine::Start() const {
    const double ready = runs_.front().ready;
    return lineFree_ ? std::max(ready, *lineFree_) : ready;
}

std::size_t PacedLine::RunBytes() const {
    const auto n = static_cast<std::size_t>(std::floor(kRunSeconds / byteSeconds_ + kEpsilon));
    return std::max<std::size_t>(n, 1);
}

std::span<const std::uint8_t> PacedLine::DueBytes(double now) const {
    if (runs_.empty()) return {};
    const Run& run = runs_.front();
    std::size_t n = run.bytes.size() - offset_;
    if (run.singleBytes) n = std::min<std::size_t>(n, 1);
    if (paced_ && n > 0) {
        const double through = (now - Start()) / byteSeconds_ + kEpsilon;
        n = through < 1.0 ? 0 : std::min(n, static_cast<std::size_t>(through));
    }
    return std::span<const std::uint8_t>(run.bytes).subspan(offset_, n);
}

double PacedLine::ThroughAt(std::size_t i) const {
    if (!paced_) return runs_.front().ready;
    return Start() + static_cast<double>(i + 1) * byteSeconds_;
}

void PacedLine::Consume(std::size_t count) {
    if (runs_.empty() || count == 0) return;
    count = std::min(count, runs_.front().bytes.size() - offset_);
    if (paced_) lineFree_ = Start() + static_cast<double>(count) * byteSeconds_;
    offset_ += count;
    queued_ -= count;
}

std::optional<PacedLine::Run> PacedLine::TakeFinished() {
    if (runs_.empty() || offset_ < runs_.front().bytes.size()) return std::nullopt;
    Run run = std::move(runs_.front());
    runs_.pop_front();
    offset_ = 0;
    return run;
}

std::optional<double> PacedLine::NextDue() const {
    if (runs_.empty()) return std::nullopt;
    const Run& run = runs_.front();
    const std::size_t left = run.bytes.size() - offset_;
    if (!paced_ || left == 0) return Start();
    const std::size_t n = run.singleBytes ? 1 : std::min(left, RunBytes());
    return Start() + static_cast<double>(n) * byteSeconds_;
}

}  // namespace sim
