// Axes and zoom: manual and automatic ranges, ticks, margins, the equal scale, and the
// zoom by Ctrl+drag, by the keys and back to 1:1. What is shown is worked out from these
// at paint time (ApplyRanges).

#include <algorithm>
#include <array>
#include <utility>

#include "ui/graph_internal.h"

namespace ui {

namespace {

constexpr int kMinZoomPixels = 4;  // a Ctrl+click without a drag does not zoom

}  // namespace

bool Graph::SetAxisRange(Axis axis, double min, double max) {
    if (!Finite(min, max)) return false;
    if (min > max) std::swap(min, max);
    if (min == max) {
        min -= 0.5;
        max += 0.5;
    }
    if (!QCPRange::validRange(min, max)) return false;
    AxisState& state = axes_[Index(axis)];
    state.autoScale = false;
    state.zoomed = false;
    state.home = QCPRange(min, max);
    // The colour plane sets its window every frame; an unchanged window costs nothing.
    if (AxisOf(axis)->range() != state.home) Schedule(kFull);
    return true;
}

void Graph::SetAutoScale(Axis axis) {
    AxisState& state = axes_[Index(axis)];
    state.autoScale = true;
    state.zoomed = false;
    Schedule(kFull);
}

void Graph::SetTickCount(Axis axis, int count) {
    AxisOf(axis)->ticker()->setTickCount(std::max(1, count));
    Schedule(kFull);
}

void Graph::SetLeftMargin(int pixels) {
    axisRect()->setAutoMargins(QCP::msRight | QCP::msTop | QCP::msBottom);
    QMargins margins = axisRect()->margins();
    margins.setLeft(std::max(0, pixels));
    axisRect()->setMargins(margins);
    Schedule(kFull);
}

void Graph::SetEqualScale(bool equal) {
    equalScale_ = equal;
    Schedule(kFull);
}

QCPRange Graph::RequestedRange(Axis axis) const {
    const AxisState& state = axes_[Index(axis)];
    return state.zoomed ? state.zoom : FullRange(axis);
}

QCPRange Graph::AxisRange(Axis axis) const {
    const QCPRange asked = RequestedRange(axis);
    const QRect plot = axisRect()->rect();
    if (!equalScale_ || plot.width() <= 0 || plot.height() <= 0) return asked;
    // The larger of the two units per pixel holds for both axes: everything asked for stays
    // in view.
    const double perPixel = std::max(RequestedRange(Axis::X).size() / plot.width(),
                                     RequestedRange(Axis::Y).size() / plot.height());
    const double size = perPixel * (axis == Axis::X ? plot.width() : plot.height());
    const double centre = asked.center();
    return QCPRange(centre - size / 2.0, centre + size / 2.0);
}

QCPRange Graph::FullRange(Axis axis) const {
    const AxisState& state = axes_[Index(axis)];
    if (!state.autoScale) return state.home;
    if (axis == Axis::X && !strip_.traces.empty()) return StripKeyRange();
    if (auto range = DataRange(axis)) return *range;
    return AxisOf(axis)->range();
}

std::optional<QCPRange> Graph::DataRange(Axis axis) const {
    DataBounds bounds;
    for (const auto& [id, plot] : plots_)
        if (plot.visible) bounds.Extend(plot.bounds);
    for (const QCPGraph* trace : strip_.traces) {
        if (!trace->visible()) continue;
        for (auto it = trace->data()->constBegin(); it != trace->data()->constEnd(); ++it)
            bounds.Extend(it->key, it->value);
    }
    if (bounds.Empty()) return std::nullopt;
    double lower = axis == Axis::X ? bounds.x0 : bounds.y0;
    double upper = axis == Axis::X ? bounds.x1 : bounds.y1;
    if (lower == upper) {
        lower -= 0.5;
        upper += 0.5;
    }
    if (!QCPRange::validRange(lower, upper)) return std::nullopt;
    return QCPRange(lower, upper);
}

bool Graph::ApplyRanges() {
    bool changed = false;
    for (Axis axis : {Axis::X, Axis::Y}) {
        const QCPRange target = AxisRange(axis);
        QCPAxis* a = AxisOf(axis);
        if (a->range() != target) {
            a->setRange(target);
            changed = true;
        }
    }
    return changed;
}

// --- zoom ----------------------------------------------------------------------------------

void Graph::SetZoomEnabled(bool enabled) {
    zoomEnabled_ = enabled;
    UpdateFocusPolicy();
}

// Halves (0.5) or doubles (2) the shown ranges around the active cursor, or around the
// middle where it is out of sight. Zooming out past the full range is Zoom 1:1.
void Graph::ZoomBy(double factor) {
    const QPointF focus = cursorCount_ > 0
                              ? cursors_[static_cast<std::size_t>(activeCursor_ - 1)].pos
                              : QPointF(xAxis->range().center(), yAxis->range().center());
    std::array<QCPRange, 2> next;
    bool pastFull = true;
    for (Axis axis : {Axis::X, Axis::Y}) {
        const QCPRange now = AxisOf(axis)->range();
        double centre = axis == Axis::X ? focus.x() : focus.y();
        if (!now.contains(centre) || (axis == Axis::Y && cursorStyle_ == CursorStyle::VerticalLine))
            centre = now.center();
        const double half = now.size() * factor / 2.0;
        next[Index(axis)] = QCPRange(centre - half, centre + half);
        if (next[Index(axis)].size() < FullRange(axis).size()) pastFull = false;
    }
    if (factor > 1.0 && pastFull) {
        ZoomReset();
    } else {
        for (Axis axis : {Axis::X, Axis::Y}) {
            const QCPRange& r = next[Index(axis)];
            if (!QCPRange::validRange(r)) return;  // as deep as numbers go
        }
        for (Axis axis : {Axis::X, Axis::Y}) {
            axes_[Index(axis)].zoom = next[Index(axis)];
            axes_[Index(axis)].zoomed = true;
        }
        ApplyRanges();
        Schedule(kFull);
    }
    emit Zoomed();
}

void Graph::ZoomToPixels(const QRect& dragged) {
    Schedule(kFull);  // the overlay still shows the rubber band
    const QRect rect = dragged.normalized().intersected(axisRect()->rect());
    if (rect.width() < kMinZoomPixels || rect.height() < kMinZoomPixels) return;
    QCPRange x(xAxis->pixelToCoord(rect.left()), xAxis->pixelToCoord(rect.right()));
    QCPRange y(yAxis->pixelToCoord(rect.bottom()), yAxis->pixelToCoord(rect.top()));
    x.normalize();
    y.normalize();
    if (!QCPRange::validRange(x) || !QCPRange::validRange(y)) return;
    axes_[0].zoom = x;
    axes_[1].zoom = y;
    axes_[0].zoomed = true;
    axes_[1].zoomed = true;
    ApplyRanges();
    emit Zoomed();
}

void Graph::ZoomReset() {
    axes_[0].zoomed = false;
    axes_[1].zoomed = false;
    Schedule(kFull);
}

}  // namespace ui
