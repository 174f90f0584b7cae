#include "scope_core/scope_core.h"

#include <cmath>
#include <limits>

namespace scope {

Trace RingOrder(const Ring& ring, std::uint16_t triggerIndex, std::uint16_t preTrigger,
                std::uint16_t triggerMode) {
    std::uint16_t start = 0;
    if (triggerMode != kModeSingleShot)
        start = static_cast<std::uint16_t>(kSamples - preTrigger + triggerIndex);
    Trace trace{};
    for (std::size_t i = 0; i < trace.size(); ++i) {
        start &= 0x7F;
        trace[i] = ring[start];
        ++start;
    }
    return trace;
}

BinaryTraces BinaryTracesOf(const Trace& block3) {
    BinaryTraces b;
    for (std::size_t i = 0; i < block3.size(); ++i) {
        b.upper[i] = (block3[i] & 1) + 2;
        b.lower[i] = (block3[i] >> 1) & 1;
    }
    return b;
}

CycleDisplay CycleTimeDisplay(double scanFrequency) {
    CycleDisplay d;
    // Nothing that is no number reaches a display.
    d.scanFrequency = std::isfinite(scanFrequency) ? scanFrequency : 0.0;
    const double f = d.scanFrequency;
    d.frequencyDecimals = f > 1000 ? 0 : f > 1 ? 1 : 2;
    d.cycleDecimals = f > 10000 ? 6 : f > 1 ? 3 : 0;
    d.cycleTime = f > 0 ? 1000.0 / f : f;
    return d;
}

CursorReadout ReadCursors(double x1, double y1, double x2, double y2, std::uint16_t scanRate,
                          double cycleTime) {
    CursorReadout r;
    const double dx = std::abs(std::trunc(x1 - x2));
    r.deltaX = dx * cycleTime * scanRate;
    const double dy = std::abs(std::trunc(y1) - std::trunc(y2));
    r.deltaY = dy < std::numeric_limits<int>::max() ? static_cast<int>(dy) : 0;
    r.volts = 10.0 * r.deltaY / 4096.0;
    r.deltaXDecimals = r.deltaX > 1000 ? 0 : r.deltaX > 1 ? 3 : 6;
    return r;
}

double ScopeAxisMax(std::uint16_t scopeSignal, std::uint16_t calculationMode) {
    return scopeSignal == 1 && (calculationMode == 1 || calculationMode == 3) ? 10000.0 : 4100.0;
}

std::string ScanCsv(const std::array<Trace, 4>& traces) {
    std::string text = "sample,red,green,blue,binary\r\n";
    for (std::size_t i = 0; i < kSamples; ++i) {
        text += std::to_string(i);
        for (const Trace& trace : traces) {
            text += ',';
            text += std::to_string(trace[i]);
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace scope
