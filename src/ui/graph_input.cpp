// Mouse and keys: cursor drags, Ctrl+drag zoom, the keys that do the same without a mouse,
// and the focus that the keys need.

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "ui/graph.h"

namespace ui {

namespace {

constexpr int kShiftFactor = 10;  // Shift moves a cursor ten times as far

}  // namespace

// Tab stops at a graph only where the keys can do something.
void Graph::UpdateFocusPolicy() {
    const bool keys = zoomEnabled_ || (cursorsMovable_ && cursorCount_ > 0);
    setFocusPolicy(keys ? Qt::StrongFocus : Qt::NoFocus);
}

// --- mouse: cursor drags and Ctrl+drag zoom -------------------------------------------------

void Graph::mousePressEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    if (left && zoomEnabled_ && event->modifiers().testFlag(Qt::ControlModifier)) {
        setSelectionRectMode(QCP::srmCustom);  // our slot on `accepted` does the zoom
        QCustomPlot::mousePressEvent(event);
        return;
    }
    setSelectionRectMode(QCP::srmNone);
    if (left && cursorsMovable_ && cursorCount_ > 0 &&
        axisRect()->rect().contains(event->position().toPoint())) {
        dragging_ = NearestCursor(event->position());
        activeCursor_ = dragging_;
        DragCursorTo(dragging_, event->position());
        event->accept();
        return;
    }
    QCustomPlot::mousePressEvent(event);
}

void Graph::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && event->buttons().testFlag(Qt::LeftButton)) {
        DragCursorTo(dragging_, event->position());
        event->accept();
        return;
    }
    QCustomPlot::mouseMoveEvent(event);
}

void Graph::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        const int cursor = std::exchange(dragging_, 0);
        DragCursorTo(cursor, event->position());
        event->accept();
        emit CursorCommitted(cursor);
        return;
    }
    QCustomPlot::mouseReleaseEvent(event);
}

// --- keys: the same moves without a mouse ---------------------------------------------------

void Graph::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = mods == Qt::ShiftModifier;
    const bool plain = mods == Qt::NoModifier;
    const int key = event->key();
    const bool cursorKeys = cursorsMovable_ && cursorCount_ > 0 && (plain || shift);
    const int step = shift ? kShiftFactor : 1;
    bool done = false;
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (plain || mods == Qt::ControlModifier) {
                emit Activated(mods == Qt::ControlModifier);
                done = true;
            }
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (cursorKeys) done = StepCursor(activeCursor_, key == Qt::Key_Left ? -step : step, 0);
            break;
        case Qt::Key_Down:
        case Qt::Key_Up:
            if (cursorKeys) done = StepCursor(activeCursor_, 0, key == Qt::Key_Down ? -step : step);
            break;
        case Qt::Key_Home:
        case Qt::Key_End:
            if (cursorKeys) done = CursorToEnd(activeCursor_, key == Qt::Key_End);
            break;
        case Qt::Key_Space:
            if (cursorKeys && plain && cursorCount_ > 1) {
                const int previous = std::exchange(activeCursor_, activeCursor_ % cursorCount_ + 1);
                PlaceCursor(previous);
                PlaceCursor(activeCursor_);
                Schedule(kCursors);
                done = true;
            }
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:  // the + key without Shift on many layouts
        case Qt::Key_Minus:
            if (zoomEnabled_ && (plain || shift)) {
                ZoomBy(key == Qt::Key_Minus ? 2.0 : 0.5);
                done = true;
            }
            break;
        case Qt::Key_0:
            if (zoomEnabled_ && plain) {
                ZoomReset();
                emit Zoomed();
                done = true;
            }
            break;
        default:
            break;
    }
    if (done)
        event->accept();
    else
        QCustomPlot::keyPressEvent(event);  // ignored: the parent may take it
}

// --- focus: the keys act on the focused graph, which shows it ------------------------------

void Graph::focusInEvent(QFocusEvent* event) {
    QCustomPlot::focusInEvent(event);
    for (int n = 1; n <= cursorCount_; ++n) PlaceCursor(n);
    Schedule(kCursors);
    update();
}

void Graph::focusOutEvent(QFocusEvent* event) {
    QCustomPlot::focusOutEvent(event);
    for (int n = 1; n <= cursorCount_; ++n) PlaceCursor(n);
    Schedule(kCursors);
    update();
}

// The buffers as painted, and a focus frame around them while the keys act on this graph.
void Graph::paintEvent(QPaintEvent* event) {
    QCustomPlot::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Highlight), 1, Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace ui
