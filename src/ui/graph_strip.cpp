// The strip chart: traces over a window of the last N samples, one value per trace per
// frame, scrolling without copying.

#include <algorithm>
#include <limits>
#include <numeric>

#include "ui/graph.h"

namespace ui {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

void Graph::SetStripChart(const std::vector<QColor>& traceColours, int window,
                          std::optional<double> fill) {
    for (QCPGraph* trace : strip_.traces) removePlottable(trace);
    strip_.traces.clear();
    strip_.data.clear();
    strip_.window = std::max(1, window);
    for (const QColor& colour : traceColours) {
        auto* trace = new QCPGraph(xAxis, yAxis);
        trace->setPen(QPen(colour));
        trace->setSelectable(QCP::stNone);
        strip_.traces.push_back(trace);
        strip_.data.push_back(trace->data());
    }
    ClearStrip(fill);
}

void Graph::ClearStrip(std::optional<double> fill) {
    strip_.next = 0.0;
    for (QCPGraph* trace : strip_.traces) trace->data()->clear();
    if (fill && !strip_.traces.empty()) {
        QVector<double> keys(strip_.window);
        std::iota(keys.begin(), keys.end(), 0.0);
        const QVector<double> values(strip_.window, *fill);
        for (QCPGraph* trace : strip_.traces) trace->setData(keys, values, true);
        strip_.next = strip_.window;
    }
    Schedule(kFull);
}

void Graph::AppendStrip(std::span<const double> values) {
    if (strip_.traces.empty()) return;
    const double key = strip_.next;
    strip_.next += 1.0;
    for (std::size_t i = 0; i < strip_.data.size(); ++i) {
        QCPGraphDataContainer& data = *strip_.data[i];
        data.add(QCPGraphData(key, i < values.size() ? values[i] : kNaN));
        // Dropping the oldest sample only moves the container's start; nothing is copied.
        data.removeBefore(key - strip_.window + 1);
    }
    Schedule(kFull);
}

void Graph::SetTraceVisible(int trace, bool visible) {
    if (trace < 0 || trace >= StripTraceCount()) return;
    strip_.traces[static_cast<std::size_t>(trace)]->setVisible(visible);
    Schedule(kFull);
}

void Graph::SetTraceColour(int trace, const QColor& colour) {
    if (trace < 0 || trace >= StripTraceCount()) return;
    strip_.traces[static_cast<std::size_t>(trace)]->setPen(QPen(colour));
    Schedule(kFull);
}

std::vector<double> Graph::StripValues(int trace) const {
    if (trace < 0 || trace >= StripTraceCount()) return {};
    const auto data = strip_.traces[static_cast<std::size_t>(trace)]->data();
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(data->size()));
    for (auto it = data->constBegin(); it != data->constEnd(); ++it) out.push_back(it->value);
    return out;
}

QCPRange Graph::StripKeyRange() const {
    const double lower = std::max(0.0, strip_.next - strip_.window);
    return QCPRange(lower, lower + std::max(strip_.window - 1, 1));
}

}  // namespace ui
