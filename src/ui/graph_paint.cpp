// When the graph paints: data operations only mark it dirty, and one replot (or a repaint
// of the cursor layer alone) runs at most once per screen refresh, none while the graph is
// hidden.

#include <algorithm>
#include <utility>

#include "ui/graph.h"

namespace ui {

void Graph::Schedule(unsigned what) {
    dirty_ |= what;
    // A hidden graph keeps its work for showEvent; a pending flush takes this with it.
    if (!isVisible()) return;
    qint64 wait = 0;
    if (sinceFlush_.isValid())
        wait = std::max<qint64>(0, kMinReplotIntervalMs - sinceFlush_.elapsed());
    // A refresh that is due runs at the next pass of the event loop: in a live loop that is
    // right after the next request went out, while the sensor is busy answering, instead of
    // a timer that happens to fire just before a reply arrives.
    if (flushTimer_.isActive() && (wait > 0 || flushTimer_.remainingTime() == 0)) return;
    flushTimer_.start(static_cast<int>(wait));
}

void Graph::Flush() {
    flushTimer_.stop();
    if (!dirty_ || !isVisible()) return;
    PlaceUnplacedCursors();
    if (ApplyRanges()) dirty_ |= kFull;
    const unsigned what = std::exchange(dirty_, 0u);
    sinceFlush_.start();
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
    flushTimer_.stop();
    PlaceUnplacedCursors();
    ApplyRanges();
    dirty_ = 0;
    sinceFlush_.start();
    replot(rpQueuedRefresh);
}

// The plot's size is known only once laid out; an equal scale follows it, and the ticks
// and margins follow the ranges (a few rounds at most: tick labels change the margins).
void Graph::updateLayout() {
    QCustomPlot::updateLayout();
    constexpr int kRounds = 3;
    for (int round = 0; equalScale_ && round < kRounds && ApplyRanges(); ++round)
        QCustomPlot::updateLayout();
}

void Graph::showEvent(QShowEvent* event) {
    QCustomPlot::showEvent(event);
    if (dirty_) Schedule(0);
}

}  // namespace ui
