// When the graph paints. Data operations only mark it dirty; its Refresh (the same
// throttle the pages' displays use) runs one replot, or a repaint of the cursor layer
// alone, at most once per screen refresh, and none while the graph is hidden.

#include <utility>

#include "ui/graph.h"

namespace ui {

void Graph::Schedule(unsigned what) {
    dirty_ |= what;
    refresh_.Request();
}

// The refresh's work: what is dirty, painted.
void Graph::PaintDirty() {
    PlaceUnplacedCursors();
    if (ApplyRanges()) dirty_ |= kFull;
    const unsigned what = std::exchange(dirty_, 0u);
    // Layers alone only while every buffer is still valid; otherwise QCPLayer::replot would
    // replot the whole graph once per layer.
    if ((what & kFull) || hasInvalidatedPaintBuffers()) {
        replot(rpQueuedRefresh);
        return;
    }
    if ((what & kCursors) && cursorLayer_) cursorLayer_->replot();
    ++layerRepaints_;
}

void Graph::ReplotNow() {
    // Due at once and run at once, shown or not; the next refresh counts from here.
    Schedule(kFull);
    refresh_.Flush();
}

// The plot's size is known only once laid out; an equal scale follows it, and the ticks
// and margins follow the ranges (a few rounds at most: tick labels change the margins).
void Graph::updateLayout() {
    QCustomPlot::updateLayout();
    constexpr int kRounds = 3;
    for (int round = 0; equalScale_ && round < kRounds && ApplyRanges(); ++round)
        QCustomPlot::updateLayout();
}

}  // namespace ui
