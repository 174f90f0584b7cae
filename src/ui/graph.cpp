#include "ui/graph.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace ui {

namespace {

constexpr int kMinZoomPixels = 4;        // a Ctrl+click without a drag does not zoom
constexpr double kKeySteps = 100.0;      // an arrow key moves a cursor 1/100 of the range
constexpr int kShiftFactor = 10;         // ... and ten times that with Shift
constexpr std::size_t kCacheFrom = 512;  // smaller clouds are drawn directly every time
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool Finite(double a, double b) {
    return std::isfinite(a) && std::isfinite(b);
}

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

// A cloud of points that grows at its end. Points are kept in arrival order in one
// vector (an append never copies the others). On screen the points already drawn live in
// an image of the axis rect; a repaint blits it and draws only the points added since, so
// the cost of a repaint does not grow with the cloud. A change of axis range, size or
// pixel ratio starts the image afresh. Exports (printing) draw every point directly.
class PointCloud : public QCPAbstractPlottable {
  public:
    PointCloud(QCPAxis* keyAxis, QCPAxis* valueAxis, const QColor& colour, PointStyle style,
               int size)
        : QCPAbstractPlottable(keyAxis, valueAxis),
          colour_(colour),
          style_(style),
          size_(std::clamp(size, 1, 64)) {
        setPen(QPen(colour));
        setBrush(Qt::NoBrush);
        setSelectable(QCP::stNone);
    }

    void Append(double x, double y) { points_.emplace_back(x, y); }
    void Reserve(std::size_t count) { points_.reserve(count); }
    void SetOnly(double x, double y) {
        points_.assign(1, QPointF(x, y));
        cacheValid_ = false;
    }
    const std::vector<QPointF>& Points() const { return points_; }

    double selectTest(const QPointF&, bool, QVariant*) const override { return -1.0; }
    QCPRange getKeyRange(bool& foundRange, QCP::SignDomain) const override {
        return Range(true, foundRange);
    }
    QCPRange getValueRange(bool& foundRange, QCP::SignDomain, const QCPRange&) const override {
        return Range(false, foundRange);
    }

  protected:
    void draw(QCPPainter* painter) override {
        if (!mKeyAxis || !mValueAxis || points_.empty()) return;
        const QRect area = clipRect();
        if (area.isEmpty()) return;
        const bool exporting = painter->modes().testFlag(QCPPainter::pmNoCaching) ||
                               painter->modes().testFlag(QCPPainter::pmVectorized);
        if (exporting || points_.size() < kCacheFrom) {
            DrawPoints(*painter, 0, points_.size());
            return;
        }
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const CacheKey key{mKeyAxis->range(), mValueAxis->range(), area, ratio};
        if (!cacheValid_ || !(key == cacheKey_) || cached_ > points_.size()) {
            cache_ =
                QImage((QSizeF(area.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
            cache_.setDevicePixelRatio(ratio);
            cache_.fill(Qt::transparent);
            cacheKey_ = key;
            cacheValid_ = true;
            cached_ = 0;
        }
        if (cached_ < points_.size()) {
            QPainter onCache(&cache_);
            onCache.translate(-area.topLeft());
            DrawPoints(onCache, cached_, points_.size());
            cached_ = points_.size();
        }
        painter->drawImage(area.topLeft(), cache_);
    }

    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override {
        painter->fillRect(
            QRectF(rect.center() - QPointF(size_ / 2.0, size_ / 2.0), QSizeF(size_, size_)),
            colour_);
    }

  private:
    struct CacheKey {
        QCPRange x;
        QCPRange y;
        QRect area;
        qreal ratio;
        bool operator==(const CacheKey&) const = default;
    };

    QCPRange Range(bool keys, bool& found) const {
        DataBounds b;
        for (const QPointF& p : points_) b.Extend(p.x(), p.y());
        found = !b.Empty();
        if (!found) return QCPRange();
        return keys ? QCPRange(b.x0, b.x1) : QCPRange(b.y0, b.y1);
    }

    void DrawPoints(QPainter& painter, std::size_t from, std::size_t to) const {
        // Points far outside the axis rect are skipped before rounding to pixels: a value
        // of 1e300 must not reach an int.
        const QRectF area = QRectF(clipRect()).adjusted(-size_, -size_, size_, size_);
        const int half = size_ / 2;
        painter.setRenderHint(QPainter::Antialiasing, style_ == PointStyle::Circle);
        painter.setPen(style_ == PointStyle::Dot ? QPen(Qt::NoPen) : QPen(colour_, 1));
        painter.setBrush(Qt::NoBrush);
        for (std::size_t i = from; i < to; ++i) {
            const double px = mKeyAxis->coordToPixel(points_[i].x());
            const double py = mValueAxis->coordToPixel(points_[i].y());
            if (!(px >= area.left() && px <= area.right() && py >= area.top() &&
                  py <= area.bottom()))
                continue;
            const int ix = qRound(px);
            const int iy = qRound(py);
            switch (style_) {
                case PointStyle::Dot:
                    painter.fillRect(ix - half, iy - half, size_, size_, colour_);
                    break;
                case PointStyle::Circle:
                    painter.drawEllipse(QPointF(px, py), size_ / 2.0, size_ / 2.0);
                    break;
                case PointStyle::Cross:
                    painter.drawLine(ix - half, iy, ix + half, iy);
                    painter.drawLine(ix, iy - half, ix, iy + half);
                    break;
            }
        }
    }

    std::vector<QPointF> points_;
    QColor colour_;
    PointStyle style_;
    int size_;
    QImage cache_;
    CacheKey cacheKey_{};
    bool cacheValid_ = false;
    std::size_t cached_ = 0;
};

// --- construction ---------------------------------------------------------------------------

Graph::Graph(QWidget* parent) : QCustomPlot(parent) {
    setAutoAddPlottableToLegend(false);
    // Every buffered layer costs a clear and a blend of a widget-sized pixmap per paint. The
    // zoom's rubber band is rare, so its layer shares the common buffer (while dragging it,
    // the whole graph replots) and a graph without cursors paints from one buffer.
    layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    axes_[0].home = xAxis->range();
    axes_[1].home = yAxis->range();
    flushTimer_.setSingleShot(true);
    connect(&flushTimer_, &QTimer::timeout, this, &Graph::Flush);
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

QCPLayer* Graph::CursorLayer() {
    if (!cursorLayer_) {
        addLayer(QStringLiteral("cursors"), layer(QStringLiteral("overlay")), limAbove);
        cursorLayer_ = layer(QStringLiteral("cursors"));
        cursorLayer_->setMode(QCPLayer::lmBuffered);
    }
    return cursorLayer_;
}

// --- plots ----------------------------------------------------------------------------------

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

template <typename F>
void Graph::ForEachPoint(const Plot& plot, F&& visit) const {
    if (plot.kind == Kind::Cloud) {
        for (const QPointF& p : static_cast<const PointCloud*>(plot.plottable)->Points())
            visit(p.x(), p.y());
    } else if (plot.kind == Kind::Line) {
        const auto data = static_cast<const QCPCurve*>(plot.plottable)->data();
        for (auto it = data->constBegin(); it != data->constEnd(); ++it) visit(it->key, it->value);
    }
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

// --- strip chart ----------------------------------------------------------------------------

void Graph::SetStripChart(const std::vector<QColor>& traceColours, int window,
                          std::optional<double> fill) {
    for (QCPGraph* trace : strip_.traces) removePlottable(trace);
    strip_.traces.clear();
    strip_.window = std::max(1, window);
    for (const QColor& colour : traceColours) {
        auto* trace = new QCPGraph(xAxis, yAxis);
        trace->setPen(QPen(colour));
        trace->setSelectable(QCP::stNone);
        strip_.traces.push_back(trace);
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
    for (std::size_t i = 0; i < strip_.traces.size(); ++i) {
        QCPGraph* trace = strip_.traces[i];
        trace->addData(key, i < values.size() ? values[i] : kNaN);
        // Dropping the oldest sample only moves the container's start; nothing is copied.
        trace->data()->removeBefore(key - strip_.window + 1);
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

// --- axes -----------------------------------------------------------------------------------

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

// --- cursors --------------------------------------------------------------------------------

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

void Graph::SetZoomEnabled(bool enabled) {
    zoomEnabled_ = enabled;
    UpdateFocusPolicy();
}

// Tab stops at a graph only where the keys can do something.
void Graph::UpdateFocusPolicy() {
    const bool keys = zoomEnabled_ || (cursorsMovable_ && cursorCount_ > 0);
    setFocusPolicy(keys ? Qt::StrongFocus : Qt::NoFocus);
}

void Graph::PlaceCursor(int cursor) {
    CursorItem& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    if (!c.vertical) return;
    // The cursor the keys move is drawn bold while the graph has the focus.
    const QPen pen(c.colour, hasFocus() && cursor == activeCursor_ ? 2 : 1);
    c.vertical->setPen(pen);
    c.horizontal->setPen(pen);
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
        if (const auto p = PointAt(c.snap, c.keyIndex); p && onPoint && p->x() == c.pos.x() && p->y() == c.pos.y()) {
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

// --- painting -------------------------------------------------------------------------------

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
