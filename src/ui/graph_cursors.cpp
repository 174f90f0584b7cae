// The two cursors: their lines on a buffered layer of their own, placing them, snapping
// onto the points of a plot while dragged, and the steps the keys move them by.

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "ui/graph_internal.h"

namespace ui {

namespace {

constexpr double kKeySteps = 100.0;  // an arrow key moves a cursor 1/100 of the range

}  // namespace

QCPLayer* Graph::CursorLayer() {
    if (!cursorLayer_) {
        addLayer(QStringLiteral("cursors"), layer(QStringLiteral("overlay")), limAbove);
        cursorLayer_ = layer(QStringLiteral("cursors"));
        cursorLayer_->setMode(QCPLayer::lmBuffered);
    }
    return cursorLayer_;
}

void Graph::SetCursors(int count, CursorStyle style) {
    static const std::array<QColor, kMaxCursors> kDefaultColours = {QColor(0x20, 0x20, 0x20),
                                                                    QColor(0xC0, 0x00, 0xC0)};
    count = std::clamp(count, 0, kMaxCursors);
    cursorStyle_ = style;
    for (int i = 0; i < kMaxCursors; ++i) {
        CursorItem& c = cursors_[static_cast<std::size_t>(i)];
        if (i < count && !c.vertical) {
            if (!c.colour.isValid()) c.colour = kDefaultColours[static_cast<std::size_t>(i)];
            // Vertical line: x in plot coordinates, y across the whole axis rect; the
            // horizontal line the other way round. No y range can then make them vanish.
            c.vertical = new QCPItemStraightLine(this);
            c.horizontal = new QCPItemStraightLine(this);
            for (QCPItemStraightLine* line : {c.vertical, c.horizontal}) {
                line->setLayer(CursorLayer());
                line->setSelectable(false);
                line->setAntialiased(false);  // a crisp one-pixel line at any position
                for (QCPItemPosition* p : {line->point1, line->point2}) {
                    p->setAxes(xAxis, yAxis);
                    p->setAxisRect(axisRect());
                }
            }
            for (QCPItemPosition* p : {c.vertical->point1, c.vertical->point2}) {
                p->setTypeX(QCPItemPosition::ptPlotCoords);
                p->setTypeY(QCPItemPosition::ptAxisRectRatio);
            }
            for (QCPItemPosition* p : {c.horizontal->point1, c.horizontal->point2}) {
                p->setTypeX(QCPItemPosition::ptAxisRectRatio);
                p->setTypeY(QCPItemPosition::ptPlotCoords);
            }
        } else if (i >= count && c.vertical) {
            removeItem(c.vertical);
            removeItem(c.horizontal);
            c.vertical = nullptr;
            c.horizontal = nullptr;
        }
        if (c.vertical) PlaceCursor(i + 1);
    }
    cursorCount_ = count;
    if (dragging_ > count) dragging_ = 0;
    activeCursor_ = std::clamp(activeCursor_, 1, std::max(1, count));
    UpdateFocusPolicy();
    Schedule(kFull);
}

void Graph::SetCursorsMovable(bool movable) {
    cursorsMovable_ = movable;
    UpdateFocusPolicy();
}

void Graph::PlaceCursor(int cursor) {
    CursorItem& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    if (!c.vertical) return;
    // The cursor the keys move is drawn bold while the graph has the focus.
    const QPen pen(c.colour, hasFocus() && cursor == activeCursor_ ? 2 : 1);
    c.vertical->setPen(pen);
    // Dashed: a trace that runs along the line still shows between its dashes.
    QPen dashed = pen;
    dashed.setStyle(Qt::DashLine);
    c.horizontal->setPen(dashed);
    c.vertical->point1->setCoords(c.pos.x(), 0.0);
    c.vertical->point2->setCoords(c.pos.x(), 1.0);
    c.horizontal->point1->setCoords(0.0, c.pos.y());
    c.horizontal->point2->setCoords(1.0, c.pos.y());
    c.horizontal->setVisible(cursorStyle_ == CursorStyle::Crosshair);
}

void Graph::SetCursorToPoint(int cursor, int index) {
    if (cursor < 1 || cursor > cursorCount_) return;
    const PlotId snap = cursors_[static_cast<std::size_t>(cursor - 1)].snap;
    if (snap == kNoPlot || snap == kAnyPlot) return;
    const std::optional<QPointF> p = PointAt(snap, index);
    if (!p) return;
    SetCursor(cursor, p->x(), p->y());
    cursors_[static_cast<std::size_t>(cursor - 1)].keyIndex = index;
}

int Graph::CursorPointIndex(int cursor) const {
    if (cursor < 1 || cursor > cursorCount_) return -1;
    const CursorItem& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    if (c.keyIndex < 0) return -1;
    const std::optional<QPointF> p = PointAt(c.snap, c.keyIndex);
    return p && p->x() == c.pos.x() && p->y() == c.pos.y() ? c.keyIndex : -1;
}

void Graph::SetCursor(int cursor, double x, double y) {
    if (cursor < 1 || cursor > cursorCount_ || !Finite(x, y)) return;
    cursors_[static_cast<std::size_t>(cursor - 1)].pos = QPointF(x, y);
    cursors_[static_cast<std::size_t>(cursor - 1)].keyIndex = -1;
    // A hidden graph (a chart page in the back) places its cursors when it is painted.
    if (isVisible())
        PlaceCursor(cursor);
    else
        cursorsUnplaced_ = true;
    Schedule(kCursors);
}

void Graph::PlaceUnplacedCursors() {
    if (!std::exchange(cursorsUnplaced_, false)) return;
    for (int n = 1; n <= cursorCount_; ++n) PlaceCursor(n);
}

QPointF Graph::CursorPosition(int cursor) const {
    if (cursor < 1 || cursor > cursorCount_) return {};
    return cursors_[static_cast<std::size_t>(cursor - 1)].pos;
}

void Graph::SetCursorSnap(int cursor, PlotId plot) {
    if (cursor < 1 || cursor > kMaxCursors) return;
    cursors_[static_cast<std::size_t>(cursor - 1)].snap = plot;
}

void Graph::SetCursorColour(int cursor, const QColor& colour) {
    if (cursor < 1 || cursor > kMaxCursors) return;
    cursors_[static_cast<std::size_t>(cursor - 1)].colour = colour;
    if (cursor <= cursorCount_) {
        PlaceCursor(cursor);
        Schedule(kCursors);
    }
}

CursorDelta Graph::CursorsDelta() const {
    if (cursorCount_ < 2) return {};
    const QPointF d = cursors_[1].pos - cursors_[0].pos;
    return {d.x(), d.y()};
}

int Graph::NearestCursor(QPointF pixel) const {
    int best = 1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int n = 1; n <= cursorCount_; ++n) {
        const QPointF& p = cursors_[static_cast<std::size_t>(n - 1)].pos;
        double d = std::abs(xAxis->coordToPixel(p.x()) - pixel.x());
        if (cursorStyle_ == CursorStyle::Crosshair)
            d = std::min(d, std::abs(yAxis->coordToPixel(p.y()) - pixel.y()));
        if (d < bestDistance) {
            bestDistance = d;
            best = n;
        }
    }
    return best;
}

void Graph::DragCursorTo(int cursor, QPointF pixel) {
    if (cursor < 1 || cursor > cursorCount_) return;
    // The mouse may leave the plot while dragging; the cursor stays at the edge.
    const QRect area = axisRect()->rect();
    pixel.setX(std::clamp<double>(pixel.x(), area.left(), area.right()));
    pixel.setY(std::clamp<double>(pixel.y(), area.top(), area.bottom()));
    CursorItem& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    QPointF pos(xAxis->pixelToCoord(pixel.x()), yAxis->pixelToCoord(pixel.y()));
    if (c.snap != kNoPlot) {
        if (auto point = NearestPoint(c.snap, pos)) pos = *point;
    }
    if (!Finite(pos.x(), pos.y())) return;
    c.pos = pos;
    c.keyIndex = -1;
    PlaceCursor(cursor);
    Schedule(kCursors);
    emit CursorMoved(cursor);
}

bool Graph::StepCursor(int cursor, int dx, int dy) {
    if (cursor < 1 || cursor > cursorCount_) return false;
    const CursorItem& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    if (c.snap != kNoPlot && c.snap != kAnyPlot && Find(c.snap)) {
        // Through the plot's points in their order: the next recorded frame, not the next
        // one to the right, which in a cloud may be any frame.
        const int count = PointCount(c.snap);
        if (count <= 0) return true;
        // A cursor off the plot's points (placed by the program) goes onto the nearest.
        const QPointF on = NearestPoint(c.snap, c.pos).value_or(c.pos);
        const bool onPoint = on.x() == c.pos.x() && on.y() == c.pos.y();
        int at = -1;
        if (const auto p = PointAt(c.snap, c.keyIndex);
            p && onPoint && p->x() == c.pos.x() && p->y() == c.pos.y()) {
            at = c.keyIndex;  // where the last key left it, not an earlier equal point
        } else {
            int i = 0;
            ForEachPoint(*Find(c.snap), [&](double x, double y) {
                if (at < 0 && x == on.x() && y == on.y()) at = i;
                ++i;
            });
        }
        const int next = std::clamp(onPoint ? at + dx + dy : at, 0, count - 1);
        if (auto p = PointAt(c.snap, next)) MoveCursorByKey(cursor, *p, next);
        return true;
    }
    const QCPRange xr = xAxis->range();
    const QCPRange yr = yAxis->range();
    QPointF pos = c.pos;
    pos.rx() = std::clamp(pos.x() + dx * xr.size() / kKeySteps, xr.lower, xr.upper);
    if (cursorStyle_ == CursorStyle::Crosshair)
        pos.ry() = std::clamp(pos.y() + dy * yr.size() / kKeySteps, yr.lower, yr.upper);
    else if (dx == 0)
        return false;  // a vertical line has no y to move
    if (c.snap == kAnyPlot) {
        if (auto p = NearestPoint(kAnyPlot, pos)) pos = *p;
    }
    MoveCursorByKey(cursor, pos);
    return true;
}

bool Graph::CursorToEnd(int cursor, bool last) {
    if (cursor < 1 || cursor > cursorCount_) return false;
    const CursorItem& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    if (c.snap != kNoPlot && c.snap != kAnyPlot && Find(c.snap)) {
        const int index = last ? PointCount(c.snap) - 1 : 0;
        if (auto p = PointAt(c.snap, index)) MoveCursorByKey(cursor, *p, index);
        return true;
    }
    const QCPRange xr = xAxis->range();
    MoveCursorByKey(cursor, QPointF(last ? xr.upper : xr.lower, c.pos.y()));
    return true;
}

void Graph::MoveCursorByKey(int cursor, QPointF pos, int index) {
    if (!Finite(pos.x(), pos.y())) return;
    CursorItem& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    c.pos = pos;
    c.keyIndex = index;
    PlaceCursor(cursor);
    Schedule(kCursors);
    emit CursorMoved(cursor);
    emit CursorCommitted(cursor);
}

}  // namespace ui
