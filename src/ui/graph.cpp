// Construction: the graph's layers, its refresh, and the graph put into a placeholder. The
// operations live in graph_plots, graph_strip, graph_axes, graph_cursors, graph_input and
// graph_paint.

#include "ui/graph.h"

#include <QVBoxLayout>

namespace ui {

Graph::Graph(QWidget* parent) : QCustomPlot(parent), refresh_([this] { PaintDirty(); }) {
    setAutoAddPlottableToLegend(false);
    // Every buffered layer costs a clear and a blend of a widget-sized pixmap per paint. The
    // zoom's rubber band is rare, so its layer shares the common buffer (while dragging it,
    // the whole graph replots) and a graph without cursors paints from one buffer.
    layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    axes_[0].home = xAxis->range();
    axes_[1].home = yAxis->range();
    // A hidden graph (a tab page in the back) keeps its work until it is shown.
    refresh_.ShownIn(this);
    connect(this, &QCustomPlot::afterReplot, this, [this] { ++replots_; });
    connect(selectionRect(), &QCPSelectionRect::accepted, this,
            [this](const QRect& rect, QMouseEvent*) { ZoomToPixels(rect); });
    connect(selectionRect(), &QCPSelectionRect::canceled, this,
            [this](const QRect&, QInputEvent*) { Schedule(kFull); });
    UpdateFocusPolicy();
}

Graph::~Graph() = default;

Graph* Graph::Into(QWidget* placeholder) {
    if (!placeholder) return nullptr;
    QLayout* layout = placeholder->layout();
    if (!layout) {
        auto* box = new QVBoxLayout(placeholder);
        box->setContentsMargins(0, 0, 0, 0);
        layout = box;
    }
    auto* graph = new Graph(placeholder);
    layout->addWidget(graph);
    return graph;
}

}  // namespace ui
