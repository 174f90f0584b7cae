// The plot registry and its shapes: traces, points, clouds, lines, ellipses, rectangles;
// deleting and hiding them, their points and bounds, and the point nearest to a place.

#include <algorithm>
#include <limits>
#include <numeric>

#include "ui/graph_internal.h"

namespace ui {

namespace {

// Pixels per data unit along an axis of `pixels` length; before the first layout the
// axis has no length, and the range alone decides.
double Scale(const QCPAxis* axis, int pixels) {
    const double size = axis->range().size();
    if (!(size > 0.0)) return 1.0;
    return pixels > 0 ? pixels / size : 1.0 / size;
}

void SetPlotCoords(QCPItemPosition* position, QCPAxis* x, QCPAxis* y, double px, double py) {
    position->setType(QCPItemPosition::ptPlotCoords);
    position->setAxes(x, y);
    position->setCoords(px, py);
}

QRectF ItemBox(const QCPItemPosition* a, const QCPItemPosition* b) {
    return QRectF(a->coords(), b->coords()).normalized();
}

}  // namespace

void DataBounds::Extend(double x, double y) {
    if (!Finite(x, y)) return;
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
}

void DataBounds::Extend(const DataBounds& other) {
    if (other.Empty()) return;
    Extend(other.x0, other.y0);
    Extend(other.x1, other.y1);
}

PlotId Graph::Add(Plot plot) {
    const PlotId id = nextId_;
    nextId_ = nextId_ == std::numeric_limits<PlotId>::max() ? 1 : nextId_ + 1;
    plots_.insert_or_assign(id, plot);
    Schedule(kFull);
    return id;
}

Graph::Plot* Graph::Find(PlotId id) {
    auto it = plots_.find(id);
    return it == plots_.end() ? nullptr : &it->second;
}

const Graph::Plot* Graph::Find(PlotId id) const {
    auto it = plots_.find(id);
    return it == plots_.end() ? nullptr : &it->second;
}

PointCloud* Graph::Cloud(PlotId id) {
    Plot* plot = Find(id);
    return plot && plot->kind == Kind::Cloud ? static_cast<PointCloud*>(plot->plottable) : nullptr;
}

PlotId Graph::PlotXY(std::span<const double> x, std::span<const double> y, const QColor& colour) {
    const std::size_t n = std::min(x.size(), y.size());
    auto* curve = new QCPCurve(xAxis, yAxis);
    curve->setPen(QPen(colour));
    curve->setSelectable(QCP::stNone);
    curve->setData(QVector<double>(x.begin(), x.begin() + n),
                   QVector<double>(y.begin(), y.begin() + n));
    Plot plot(Kind::Line, curve);
    for (std::size_t i = 0; i < n; ++i) plot.bounds.Extend(x[i], y[i]);
    return Add(plot);
}

PlotId Graph::PlotY(std::span<const double> y, const QColor& colour) {
    std::vector<double> x(y.size());
    std::iota(x.begin(), x.end(), 0.0);
    return PlotXY(x, y, colour);
}

PlotId Graph::PlotPoint(double x, double y, const QColor& colour, PointStyle style, int size) {
    auto* cloud = new PointCloud(xAxis, yAxis, colour, style, size);
    cloud->Append(x, y);
    Plot plot(Kind::Cloud, cloud);
    plot.bounds.Extend(x, y);
    return Add(plot);
}

bool Graph::MovePoint(PlotId point, double x, double y) {
    PointCloud* cloud = Cloud(point);
    if (!cloud) return false;
    cloud->SetOnly(x, y);
    Plot* plot = Find(point);
    plot->bounds = {};
    plot->bounds.Extend(x, y);
    Schedule(kFull);
    return true;
}

PlotId Graph::PlotEllipse(double cx, double cy, double rx, double ry, const QColor& outline,
                          const QColor& fill) {
    if (!Finite(cx, cy) || !Finite(rx, ry)) return kNoPlot;
    rx = std::abs(rx);
    ry = std::abs(ry);
    auto* ellipse = new QCPItemEllipse(this);
    ellipse->setSelectable(false);
    SetPlotCoords(ellipse->topLeft, xAxis, yAxis, cx - rx, cy + ry);
    SetPlotCoords(ellipse->bottomRight, xAxis, yAxis, cx + rx, cy - ry);
    ellipse->setPen(QPen(outline));
    ellipse->setBrush(fill.alpha() == 0 ? QBrush(Qt::NoBrush) : QBrush(fill));
    Plot plot(Kind::Ellipse, ellipse);
    plot.bounds.Extend(cx - rx, cy - ry);
    plot.bounds.Extend(cx + rx, cy + ry);
    return Add(plot);
}

PlotId Graph::PlotRectangle(double x1, double y1, double x2, double y2, const QColor& outline,
                            const QColor& fill) {
    if (!Finite(x1, y1) || !Finite(x2, y2)) return kNoPlot;
    auto* rect = new QCPItemRect(this);
    rect->setSelectable(false);
    SetPlotCoords(rect->topLeft, xAxis, yAxis, std::min(x1, x2), std::max(y1, y2));
    SetPlotCoords(rect->bottomRight, xAxis, yAxis, std::max(x1, x2), std::min(y1, y2));
    rect->setPen(QPen(outline));
    rect->setBrush(fill.alpha() == 0 ? QBrush(Qt::NoBrush) : QBrush(fill));
    Plot plot(Kind::Rectangle, rect);
    plot.bounds.Extend(x1, y1);
    plot.bounds.Extend(x2, y2);
    return Add(plot);
}

PlotId Graph::NewScatter(const QColor& colour, PointStyle style, int size) {
    return Add(Plot(Kind::Cloud, new PointCloud(xAxis, yAxis, colour, style, size)));
}

PlotId Graph::NewLine(const QColor& colour) {
    auto* curve = new QCPCurve(xAxis, yAxis);
    curve->setPen(QPen(colour));
    curve->setSelectable(QCP::stNone);
    return Add(Plot(Kind::Line, curve));
}

bool Graph::AppendPoint(PlotId id, double x, double y) {
    Plot* plot = Find(id);
    if (!plot) return false;
    if (plot->kind == Kind::Cloud) {
        auto* cloud = static_cast<PointCloud*>(plot->plottable);
        cloud->Append(x, y);
        Schedule(kFull);
    } else if (plot->kind == Kind::Line) {
        static_cast<QCPCurve*>(plot->plottable)->addData(x, y);
        Schedule(kFull);
    } else {
        return false;
    }
    plot->bounds.Extend(x, y);
    return true;
}

bool Graph::ReservePoints(PlotId id, std::size_t count) {
    PointCloud* cloud = Cloud(id);
    if (!cloud) return false;
    cloud->Reserve(count);
    return true;
}

bool Graph::DeletePlot(PlotId id) {
    auto it = plots_.find(id);
    if (it == plots_.end()) return false;
    if (it->second.plottable)
        removePlottable(it->second.plottable);
    else
        removeItem(it->second.item);
    plots_.erase(it);
    Schedule(kFull);
    return true;
}

void Graph::DeleteAllPlots() {
    for (auto& [id, plot] : plots_) {
        if (plot.plottable)
            removePlottable(plot.plottable);
        else
            removeItem(plot.item);
    }
    plots_.clear();
    Schedule(kFull);
}

bool Graph::SetPlotVisible(PlotId id, bool visible) {
    Plot* plot = Find(id);
    if (!plot) return false;
    if (plot->plottable)
        plot->plottable->setVisible(visible);
    else
        plot->item->setVisible(visible);
    plot->visible = visible;
    Schedule(kFull);
    return true;
}

bool Graph::HasPlot(PlotId id) const {
    return Find(id) != nullptr;
}

int Graph::PlotCount() const {
    return static_cast<int>(plots_.size());
}

int Graph::PointCount(PlotId id) const {
    const Plot* plot = Find(id);
    if (!plot) return 0;
    if (plot->kind == Kind::Cloud)
        return static_cast<int>(static_cast<const PointCloud*>(plot->plottable)->Points().size());
    if (plot->kind == Kind::Line) return static_cast<const QCPCurve*>(plot->plottable)->dataCount();
    return 0;
}

std::vector<QPointF> Graph::Points(PlotId id) const {
    const Plot* plot = Find(id);
    if (!plot) return {};
    if (plot->kind == Kind::Cloud) return static_cast<const PointCloud*>(plot->plottable)->Points();
    std::vector<QPointF> out;
    if (plot->kind == Kind::Line) {
        const auto data = static_cast<const QCPCurve*>(plot->plottable)->data();
        out.reserve(static_cast<std::size_t>(data->size()));
        for (auto it = data->constBegin(); it != data->constEnd(); ++it)
            out.emplace_back(it->key, it->value);
    }
    return out;
}

std::optional<QRectF> Graph::PlotBounds(PlotId id) const {
    const Plot* plot = Find(id);
    if (!plot) return std::nullopt;
    // Ellipses and rectangles answer from what the plot library holds, not from our copy.
    if (const auto* ellipse = qobject_cast<const QCPItemEllipse*>(plot->item))
        return ItemBox(ellipse->topLeft, ellipse->bottomRight);
    if (const auto* rect = qobject_cast<const QCPItemRect*>(plot->item))
        return ItemBox(rect->topLeft, rect->bottomRight);
    if (plot->bounds.Empty()) return std::nullopt;
    const DataBounds& b = plot->bounds;
    return QRectF(QPointF(b.x0, b.y0), QPointF(b.x1, b.y1));
}

std::optional<QPointF> Graph::PointAt(PlotId id, int index) const {
    const Plot* plot = Find(id);
    if (!plot || index < 0) return std::nullopt;
    const auto i = static_cast<std::size_t>(index);
    if (plot->kind == Kind::Cloud) {
        const auto& points = static_cast<const PointCloud*>(plot->plottable)->Points();
        if (i < points.size()) return points[i];
    } else if (plot->kind == Kind::Line) {
        const auto data = static_cast<const QCPCurve*>(plot->plottable)->data();
        if (index < data->size()) {
            const auto it = data->constBegin() + index;
            return QPointF(it->key, it->value);
        }
    }
    return std::nullopt;
}

std::optional<QPointF> Graph::NearestPoint(PlotId id, QPointF near) const {
    const double sx = Scale(xAxis, axisRect()->width());
    const double sy = Scale(yAxis, axisRect()->height());
    std::optional<QPointF> best;
    double bestDistance = std::numeric_limits<double>::infinity();
    auto consider = [&](double x, double y) {
        if (!Finite(x, y)) return;
        const double dx = (x - near.x()) * sx;
        const double dy = (y - near.y()) * sy;
        const double d = dx * dx + dy * dy;
        if (d < bestDistance) {  // strict: of equal points the earliest stays
            bestDistance = d;
            best = QPointF(x, y);
        }
    };
    auto visit = [&](const Plot& plot) { ForEachPoint(plot, consider); };
    if (id == kAnyPlot) {
        for (const auto& [plotId, plot] : plots_)
            if (plot.visible) visit(plot);
    } else if (const Plot* plot = Find(id)) {
        visit(*plot);
    }
    return best;
}

}  // namespace ui
