#include "teach/teach_record.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace teach {

GraphPoint Coordinates(RecordGraph graph, const RecordedPoint& point) {
    switch (graph) {
        case RecordGraph::XY:
            return {point.x, point.y};
        case RecordGraph::XInt:
            return {point.x, point.intensity};
        case RecordGraph::YInt:
            return {point.y, point.intensity};
    }
    return {};
}

RecordStore::RecordStore(std::size_t capacity)
    : points_(std::make_unique<RecordedPoint[]>(capacity)), capacity_(capacity) {}

std::optional<RecordedPoint> RecordStore::At(std::size_t index) const {
    if (index >= capacity_) return std::nullopt;
    return points_[index];
}

bool RecordStore::Add(const RecordedPoint& point) {
    if (Full()) return false;
    points_[count_++] = point;
    return true;
}

std::size_t RecordStore::Find(RecordGraph graph, double h, double v) const {
    for (std::size_t i = 0; i < count_; ++i) {
        const GraphPoint p = Coordinates(graph, points_[i]);
        if (p.h == h && p.v == v) return i;
    }
    return 0;
}

AxisSpan GrowAxis(const std::optional<AxisSpan>& axis, double value) {
    if (!std::isfinite(value)) return axis.value_or(AxisSpan{0.0, 2 * kMinAxisMargin});
    if (!axis) return {std::max(0.0, value - kMinAxisMargin), value + kMinAxisMargin};
    AxisSpan out = *axis;
    const double margin = std::max((out.max - out.min) / 4.0, kMinAxisMargin);
    if (value < out.min) out.min = std::max(0.0, value - margin);
    if (value > out.max) out.max = value + margin;
    return out;
}

namespace {

constexpr std::uint32_t kLightGrey = 0xE0E0E0;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kLightCyan = 0x80FFFF;
constexpr std::uint32_t kYellow = 0xFFFF00;

constexpr RecordPanelLabels kXyInt = {
    {"X/Y", "X/INT", "Y/INT"}, {"X", "Y", "INT"}, {kLightGrey, kLightGrey}, {kRed, kGreen}};
constexpr RecordPanelLabels kSiM = {
    {"s/i", "s/M", "i/M"}, {"s", "i", "M"}, {kGreen, kLightCyan}, {kRed, kYellow}};

// Modes 0 and 2 are the X Y INT modes (2D and 3D), 1 and 3 the s i M modes.
constexpr const RecordPanelLabels* kLabels[] = {&kXyInt, &kSiM, &kXyInt, &kSiM};

}  // namespace

const RecordPanelLabels* RecordPanelLabelsFor(std::uint16_t calculationMode) {
    if (calculationMode >= std::size(kLabels)) return nullptr;
    return kLabels[calculationMode];
}

}  // namespace teach
