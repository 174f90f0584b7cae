#include "sim/server/channel.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "sim/server/sim_server.h"

namespace sim {

Channel::Channel(SimServer& server, QString name)
    : QObject(&server), server_(server), name_(std::move(name)) {
    connection_ = std::make_unique<Connection>(server.model_);
    connection_->SetTraceHook([this](TraceDirection d, std::span<const std::uint8_t> b,
                                     double now) { server_.TraceFrame(name_, d, b, now); });
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, [this] { Pump(); });
}

void Channel::Received(std::span<const std::uint8_t> bytes) {
    connection_->Feed(bytes, server_.Now());
    Pump();
}

void Channel::Pump() {
    const double now = server_.Now();
    // Whatever the line has let through by now goes first, so the Connection never
    // sees a time earlier than one it was already asked at.
    CatchUp(now);
    for (Emission& e : connection_->TakeDue(now)) {
        if (!Write(e)) break;
    }
    server_.CheckEeprom();
    Reschedule();
}

void Channel::ResetConnection() {
    auto hook = [this](TraceDirection d, std::span<const std::uint8_t> b, double now) {
        server_.TraceFrame(name_, d, b, now);
    };
    connection_ = std::make_unique<Connection>(server_.model_);
    connection_->SetTraceHook(hook);
    wake_.stop();
}

void Channel::Reschedule() {
    const double now = server_.Now();
    const auto wake = connection_->NextWakeup(now);
    if (!wake) {
        wake_.stop();
        return;
    }
    const double ms = std::ceil((*wake - now) * 1000.0);
    wake_.start(static_cast<int>(std::clamp(ms, 0.0, 3600e3)));
}

}  // namespace sim
