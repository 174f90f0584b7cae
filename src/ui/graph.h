#pragma once
// The program's graphs, written once over QCustomPlot: strip charts, XY traces, growing
// scatter clouds and lines, single points, ellipses and rectangles, two cursors with a
// delta readout, Ctrl+drag zoom with a reset to the full range, and manual or automatic
// axis scaling per axis.
//
// Everything the mouse does has keys, for a graph that has the focus (Tab reaches every
// graph with movable cursors or zoom):
//   Left/Right, Up/Down   move the active cursor by a hundredth of the shown range
//                         (Shift: a tenth); a cursor that snaps onto a plot steps to the
//                         previous/next point of that plot in the order they were added
//                         (Shift: ten points)
//   Home/End              the first/last point, or the left/right edge
//   Space                 the other cursor becomes the active one (it is drawn bold)
//   + and -               zoom in/out by two around the active cursor; 0 back to 1:1
//   Return, Ctrl+Return   what a click and a double-click on the graph do (Activated)
// A key move is a whole drag: CursorMoved, then CursorCommitted.
//
// Painting is coalesced. No data operation repaints: each marks the graph dirty, and one
// replot runs at most every kMinReplotIntervalMs, so a sensor that sends frames faster
// than the screen refreshes costs one paint per refresh, not one per frame. Cursors sit
// on a buffered layer of their own: moving one repaints that layer only. A scatter cloud
// keeps the points it has drawn in an image and draws only the new ones, until the axes
// or the size change. Every other layer shares one buffer, since each buffer costs a
// blend of a widget-sized pixmap on every paint. A hidden graph (a tab page in the back)
// keeps its work until it is shown. Do not call replot() directly; use ReplotNow().
//
// Values written by the program never emit signals; only the user's drags and zooms do.

#include <qcustomplot.h>

#include <array>
#include <initializer_list>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "ui/refresh.h"

namespace ui {

// Names a plot of one graph; 0 never names one, so a failed Plot... call can be kept and
// passed to DeletePlot harmlessly.
using PlotId = int;
inline constexpr PlotId kNoPlot = 0;
// A cursor snap target: the nearest point of any line or cloud of the graph.
inline constexpr PlotId kAnyPlot = -1;

enum class Axis { X, Y };
enum class PointStyle { Dot, Circle, Cross };
enum class CursorStyle { Crosshair, VerticalLine };

// From cursor 1 to cursor 2, signed: dx = x2 - x1, dy = y2 - y1.
struct CursorDelta {
    double dx = 0.0;
    double dy = 0.0;
};

// Bounding box of finite data; empty until the first finite point.
struct DataBounds {
    double x0 = std::numeric_limits<double>::infinity();
    double x1 = -std::numeric_limits<double>::infinity();
    double y0 = std::numeric_limits<double>::infinity();
    double y1 = -std::numeric_limits<double>::infinity();

    bool Empty() const { return x0 > x1; }
    void Extend(double x, double y);
    void Extend(const DataBounds& other);
};

class PointCloud;

class Graph : public QCustomPlot {
    Q_OBJECT
  public:
    // About one screen refresh: the graph paints through a Refresh like the displays do.
    static constexpr int kMinReplotIntervalMs = Refresh::kIntervalMs;
    static constexpr int kMaxCursors = 2;

    explicit Graph(QWidget* parent = nullptr);
    ~Graph() override;

    // A graph filling a placeholder of the panel set: added to the placeholder's layout,
    // which is created (no margins) when it has none, so several graphs stack in one
    // placeholder. nullptr for a missing placeholder.
    static Graph* Into(QWidget* placeholder);

    // --- plots ---------------------------------------------------------------------------
    // A connected trace through the points in the given order; the shorter length counts.
    PlotId PlotXY(std::span<const double> x, std::span<const double> y, const QColor& colour);
    // The same with x = 0, 1, 2, ...
    PlotId PlotY(std::span<const double> y, const QColor& colour);
    // One marker; MovePoint shifts it (the current measured point, once per frame).
    PlotId PlotPoint(double x, double y, const QColor& colour,
                     PointStyle style = PointStyle::Circle, int size = 7);
    bool MovePoint(PlotId point, double x, double y);
    // An ellipse outline around (cx, cy) with radii rx, ry: a tolerance circle when equal.
    PlotId PlotEllipse(double cx, double cy, double rx, double ry, const QColor& outline,
                       const QColor& fill = Qt::transparent);
    // A rectangle between two opposite corners, in any order.
    PlotId PlotRectangle(double x1, double y1, double x2, double y2, const QColor& outline,
                         const QColor& fill = Qt::transparent);
    // Plots that grow one point at a time without copying what they hold: a scatter cloud
    // (tens of thousands of points) and a connected line (the record graph).
    PlotId NewScatter(const QColor& colour, PointStyle style = PointStyle::Dot, int size = 3);
    PlotId NewLine(const QColor& colour);
    bool AppendPoint(PlotId plot, double x, double y);
    // Room for `count` points of a cloud at once, so that growing it never reallocates.
    bool ReservePoints(PlotId plot, std::size_t count);

    bool DeletePlot(PlotId plot);
    // Every plot made above; the strip chart and the cursors stay.
    void DeleteAllPlots();
    bool SetPlotVisible(PlotId plot, bool visible);
    bool HasPlot(PlotId plot) const;
    int PlotCount() const;
    int PointCount(PlotId plot) const;
    std::vector<QPointF> Points(PlotId plot) const;  // lines and clouds, in order
    std::optional<QRectF> PlotBounds(PlotId plot) const;
    // The point of `plot` (or kAnyPlot) nearest to `near` as the eye sees it (distance in
    // screen pixels); of equally near points the earliest. The coordinates are the stored
    // ones, exactly.
    std::optional<QPointF> NearestPoint(PlotId plot, QPointF near) const;

    // --- strip chart ---------------------------------------------------------------------
    // One trace per colour over the last `window` samples, newest at the right. With
    // `fill` the window starts full of that value, otherwise empty.
    void SetStripChart(const std::vector<QColor>& traceColours, int window,
                       std::optional<double> fill = std::nullopt);
    // One value per trace for one frame; missing values leave a gap, extra ones are ignored.
    void AppendStrip(std::span<const double> values);
    void AppendStrip(std::initializer_list<double> values) {
        AppendStrip(std::span<const double>(values.begin(), values.size()));
    }
    void ClearStrip(std::optional<double> fill = std::nullopt);
    void SetTraceVisible(int trace, bool visible);
    void SetTraceColour(int trace, const QColor& colour);
    int StripTraceCount() const { return static_cast<int>(strip_.traces.size()); }
    int StripWindow() const { return strip_.window; }
    std::vector<double> StripValues(int trace) const;  // oldest first

    // --- axes ----------------------------------------------------------------------------
    // Manual scaling. Bounds in either order; equal bounds are widened by 0.5 each way;
    // non-finite bounds are refused.
    bool SetAxisRange(Axis axis, double min, double max);
    // Automatic scaling to the visible data (the strip chart's x axis follows its window).
    void SetAutoScale(Axis axis);
    void SetAutoScale() {
        SetAutoScale(Axis::X);
        SetAutoScale(Axis::Y);
    }
    bool AutoScale(Axis axis) const { return axes_[Index(axis)].autoScale; }
    // About how many labelled ticks an axis shows (fewer for a narrow graph).
    void SetTickCount(Axis axis, int count);
    // A fixed room left of the plot for the y axis, so that graphs stacked above each other
    // put the same x at the same place on screen.
    void SetLeftMargin(int pixels);
    // One unit of x as long on screen as one unit of y, so that a circle shows round: of the
    // ranges asked for (manual, automatic or zoomed) one is widened around its middle to
    // the shape of the plot, again on every resize.
    void SetEqualScale(bool equal);
    bool EqualScale() const { return equalScale_; }
    // The range shown once pending work is painted.
    QCPRange AxisRange(Axis axis) const;
    // The range asked for (manual, automatic or zoomed); AxisRange before the equal scale.
    QCPRange RequestedRange(Axis axis) const;

    // --- cursors (numbered 1 and 2, as the panels name them) ----------------------------
    void SetCursors(int count, CursorStyle style = CursorStyle::Crosshair);
    int CursorCount() const { return cursorCount_; }
    void SetCursor(int cursor, double x, double y);
    // Puts the cursor on point `index` of the plot it snaps to; the keys step on from that
    // point, also where other points lie at the same place.
    void SetCursorToPoint(int cursor, int index);
    QPointF CursorPosition(int cursor) const;
    // The point of its snap plot the cursor sits on, in the plot's order, when the keys or
    // the program put it there; -1 otherwise (dragged, or placed by coordinates).
    int CursorPointIndex(int cursor) const;
    // While the user drags the cursor it sits on the nearest point of `plot` (kNoPlot:
    // wherever the mouse is).
    void SetCursorSnap(int cursor, PlotId plot);
    void SetCursorColour(int cursor, const QColor& colour);
    void SetCursorsMovable(bool movable);
    CursorDelta CursorsDelta() const;
    // The cursor the keys move: the one dragged last, or chosen with Space.
    int ActiveCursor() const { return activeCursor_; }

    // --- zoom ----------------------------------------------------------------------------
    // Ctrl + left drag zooms into the dragged rectangle.
    void SetZoomEnabled(bool enabled);
    bool IsZoomed() const { return axes_[0].zoomed || axes_[1].zoomed; }
    // Back to the full range: the manual range last set, or the automatic one ("Zoom 1:1").
    void ZoomReset();

    // --- painting ------------------------------------------------------------------------
    // A full replot at once (before printing or grabbing), visible or not.
    void ReplotNow();
    bool ReplotPending() const { return dirty_ != 0; }
    // Full replots done (whoever caused them) and repaints of the buffered layers alone.
    int ReplotCount() const { return replots_; }
    int LayerRepaintCount() const { return layerRepaints_; }

  signals:
    // The user drags a cursor (value changed) and lets it go (commit).
    void CursorMoved(int cursor);
    void CursorCommitted(int cursor);
    // The user zoomed with Ctrl+drag or the keys.
    void Zoomed();
    // Return (false) or Ctrl+Return (true) on the focused graph: the keys for a click and a
    // double-click.
    void Activated(bool twice);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void updateLayout() override;

  private:
    enum Dirty : unsigned { kFull = 1, kCursors = 2 };
    enum class Kind { Line, Cloud, Ellipse, Rectangle };
    struct Plot {
        Plot(Kind k, QCPAbstractPlottable* p) : kind(k), plottable(p) {}
        Plot(Kind k, QCPAbstractItem* i) : kind(k), item(i) {}
        Kind kind;
        QCPAbstractPlottable* plottable = nullptr;  // Line: QCPCurve, Cloud: PointCloud
        QCPAbstractItem* item = nullptr;            // Ellipse, Rectangle
        DataBounds bounds;
        bool visible = true;
    };
    struct AxisState {
        bool autoScale = true;
        bool zoomed = false;
        QCPRange home{0.0, 10.0};  // the manual range, where Zoom 1:1 returns
        QCPRange zoom{0.0, 10.0};  // the range zoomed into, while zoomed
    };
    struct Strip {
        std::vector<QCPGraph*> traces;
        // Each trace's data, held here: a frame appends to every trace, and asking a trace for
        // its data hands out a shared pointer, two atomic counts per trace and frame.
        std::vector<QSharedPointer<QCPGraphDataContainer>> data;
        int window = 0;
        double next = 0.0;  // key of the next sample
    };
    struct CursorItem {
        QPointF pos;
        PlotId snap = kNoPlot;
        int keyIndex = -1;  // the point of `snap` the keys put it on (points may repeat)
        QColor colour;
        QCPItemStraightLine* vertical = nullptr;
        QCPItemStraightLine* horizontal = nullptr;
    };

    static int Index(Axis axis) { return axis == Axis::X ? 0 : 1; }
    QCPAxis* AxisOf(Axis axis) const { return axis == Axis::X ? xAxis : yAxis; }
    PlotId Add(Plot plot);
    Plot* Find(PlotId id);
    const Plot* Find(PlotId id) const;
    PointCloud* Cloud(PlotId id);
    QCPLayer* CursorLayer();

    // Marks `what` dirty and asks the refresh for a paint.
    void Schedule(unsigned what);
    void PaintDirty();  // the refresh's work
    bool ApplyRanges();
    std::optional<QCPRange> DataRange(Axis axis) const;
    QCPRange FullRange(Axis axis) const;  // the range shown when not zoomed
    QCPRange StripKeyRange() const;

    void PlaceCursor(int cursor);
    void PlaceUnplacedCursors();
    int NearestCursor(QPointF pixel) const;
    void DragCursorTo(int cursor, QPointF pixel);
    void ZoomToPixels(const QRect& rect);
    void UpdateFocusPolicy();
    template <typename F>
    void ForEachPoint(const Plot& plot, F&& visit) const;
    std::optional<QPointF> PointAt(PlotId plot, int index) const;
    bool StepCursor(int cursor, int dx, int dy);
    bool CursorToEnd(int cursor, bool last);
    void MoveCursorByKey(int cursor, QPointF pos, int index = -1);
    void ZoomBy(double factor);

    std::map<PlotId, Plot> plots_;
    PlotId nextId_ = 1;
    Strip strip_;
    std::array<AxisState, 2> axes_{};
    std::array<CursorItem, kMaxCursors> cursors_{};
    int cursorCount_ = 0;
    CursorStyle cursorStyle_ = CursorStyle::Crosshair;
    bool cursorsMovable_ = true;
    bool zoomEnabled_ = true;
    bool equalScale_ = false;
    int dragging_ = 0;  // cursor number under the mouse, 0 when none
    int activeCursor_ = 1;
    bool cursorsUnplaced_ = false;  // SetCursor on a hidden graph: positions not yet placed

    QCPLayer* cursorLayer_ = nullptr;
    unsigned dirty_ = 0;
    int replots_ = 0;
    int layerRepaints_ = 0;
    // Runs PaintDirty. Declared last, so destroyed first: its timer never paints members
    // that are gone.
    Refresh refresh_;
};

}  // namespace ui
