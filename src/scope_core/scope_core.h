#pragma once
// The arithmetic of the scope, free of Qt: a block's ring buffer put into time order around
// the trigger, the two binary traces of block 3, the cycle-time query's displays, the cursor
// readout and the y axis for the recorded signal.

#include <array>
#include <cstdint>
#include <string>

namespace scope {

inline constexpr int kSamples = 128;  // samples of a ring, and of a trace
using Ring = std::array<std::uint16_t, kSamples>;
using Trace = std::array<std::uint16_t, kSamples>;

inline constexpr std::uint16_t kModeSingleShot = 0;  // trigger modes 0 ... 4
inline constexpr std::uint16_t kModeRising = 1;
inline constexpr std::uint16_t kModeFalling = 2;
inline constexpr std::uint16_t kModeColour0 = 3;
inline constexpr std::uint16_t kModeIn0 = 4;

// The ring in time order: the trigger sample (ring entry `triggerIndex`) at index
// `preTrigger`. Single shot keeps the ring's stored order. The start is computed in 16 bits
// and every index taken modulo 128, so no value of either word reads outside the ring.
Trace RingOrder(const Ring& ring, std::uint16_t triggerIndex, std::uint16_t preTrigger,
                std::uint16_t triggerMode);

// Bit 0 of each block-3 word, lifted by 2, and bit 1: both binary signals in one graph.
struct BinaryTraces {
    std::array<double, kSamples> upper{};
    std::array<double, kSamples> lower{};
};
BinaryTraces BinaryTracesOf(const Trace& block3);

// The four traces of a scan as CSV text: a header line "sample,red,green,blue,binary", then
// one line per sample index 0 ... 127 with the red, green and blue traces (drawn in those
// colours) and the binary word of block 3; CR LF after every line, as all of the program's
// text files.
std::string ScanCsv(const std::array<Trace, 4>& traces);

// The cycle-time query shown: the scan frequency (0.0 after a failed query), the cycle time
// in ms (0.0 unless the frequency is positive), and the decimals of both displays.
struct CycleDisplay {
    double scanFrequency = 0.0;
    double cycleTime = 0.0;
    int frequencyDecimals = 2;
    int cycleDecimals = 0;
};
CycleDisplay CycleTimeDisplay(double scanFrequency);

// The cursors' distance: delta X in ms (the sample distance times the cycle time times the
// scan rate) and its decimals, delta Y in digits and volts (4096 digits = 10 V).
struct CursorReadout {
    double deltaX = 0.0;
    int deltaXDecimals = 6;
    int deltaY = 0;
    double volts = 0.0;
};
CursorReadout ReadCursors(double x1, double y1, double x2, double y2, std::uint16_t scanRate,
                          double cycleTime);

// The y axis of the scope graph: 0 ... 10000 for the calculated signals of the s i M modes,
// otherwise 0 ... 4100.
double ScopeAxisMax(std::uint16_t scopeSignal, std::uint16_t calculationMode);
inline constexpr double kScopeAxisX = 128.0;

}  // namespace scope
