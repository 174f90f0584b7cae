#include "measure/charts.h"

#include <QColor>
#include <QMouseEvent>
#include <algorithm>
#include <functional>
#include <utility>

#include "ui/graph.h"
#include "ui/runtime.h"

namespace measure {

namespace {

const QColor kRed(0xFF, 0x00, 0x00);
const QColor kGreen(0x00, 0xA0, 0x00);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kTrace(0x00, 0x00, 0x80);
const QColor kBand(0x40, 0x80, 0x80);
constexpr double kFullScale = 4096;
constexpr int kFewTicks = 2;

constexpr const char* kHelpRgb =
    "Displays RED, GREEN, BLUE. \nLeft double click starts zooming. \nLeft click stops zooming.";
constexpr const char* kHelpInt =
    "Displays intensity INT. \nLeft double click starts zooming. \nLeft click stops zooming.";
constexpr const char* kHelp2D = "The two graphs diplay the color and the intensity.";
constexpr const char* kHelp3D =
    "The four graphs display a 3 sides view of the 3 dimensional color/intensity sphere \nplus "
    "the intensity of RED, GREEN, BLUE in an extra graph.";

QColor RowColour(std::int32_t value) {
    return QColor::fromRgb(static_cast<QRgb>(value) & 0xFFFFFFu);
}

void SetWindow(ui::Graph* graph, const ViewWindow& w) {
    graph->SetAxisRange(ui::Axis::X, w.horizontal.min, w.horizontal.max);
    graph->SetAxisRange(ui::Axis::Y, w.vertical.min, w.vertical.max);
}

// What a left click and a double click on a graph (or their keys) mean.
void OnClicks(ui::Graph* graph, std::function<void(bool)> clicked) {
    QObject::connect(graph, &QCustomPlot::mousePress, graph, [clicked](QMouseEvent* e) {
        if (e->button() == Qt::LeftButton && !(e->modifiers() & Qt::ControlModifier))
            clicked(false);
    });
    QObject::connect(graph, &QCustomPlot::mouseDoubleClick, graph, [clicked](QMouseEvent* e) {
        if (e->button() == Qt::LeftButton) clicked(true);
    });
    // Return and Ctrl+Return on the focused graph.
    QObject::connect(graph, &ui::Graph::Activated, graph, clicked);
}

}  // namespace

void Charts::Fix(ui::Graph* graph, double min, double max) {
    graph->SetAxisRange(ui::Axis::Y, min, max);
}

void Charts::Build(const Places& p, ui::Runtime& runtime) {
    rgb_ = ui::Graph::Into(p.rgb);
    x_ = ui::Graph::Into(p.x);
    y_ = ui::Graph::Into(p.y);
    int_ = ui::Graph::Into(p.intensity);
    plane_ = ui::Graph::Into(p.plane);
    intensityBar_ = ui::Graph::Into(p.intensityBar);
    xy_ = ui::Graph::Into(p.xy);
    xInt_ = ui::Graph::Into(p.xInt);
    yInt_ = ui::Graph::Into(p.yInt);
    rgb3d_ = ui::Graph::Into(p.rgb3d);

    for (ui::Graph* strip : {rgb_, rgb3d_}) {
        strip->SetStripChart({kRed, kGreen, kBlue}, static_cast<int>(kHistorySamples), 0.0);
        Fix(strip, 0, kFullScale);
    }
    for (ui::Graph* strip : {x_, y_, int_}) {
        strip->SetStripChart({kTrace}, static_cast<int>(kHistorySamples), 0.0);
        Fix(strip, 0, kFullScale);
    }
    // The time axis of a strip chart is "the last 100 frames"; frame numbers say nothing.
    for (ui::Graph* strip : {rgb_, rgb3d_, x_, y_, int_}) strip->xAxis->setTickLabels(false);
    // The low charts of the coordinate page and the quarter-size graphs of the 3D page have
    // room for a few labels each, not for a label every 500.
    for (ui::Graph* strip : {x_, y_, int_, rgb3d_}) strip->SetTickCount(ui::Axis::Y, kFewTicks);
    for (ui::Graph* view : {xy_, xInt_, yInt_}) {
        view->SetTickCount(ui::Axis::X, kFewTicks);
        view->SetTickCount(ui::Axis::Y, kFewTicks);
    }
    for (ui::Graph* view : {plane_, xy_, xInt_, yInt_}) {
        view->SetCursors(1, ui::CursorStyle::Crosshair);
        view->SetCursorsMovable(false);
        SetWindow(view, {{-25, 10025}, {-25, 10025}});
    }
    // X against Y: a tolerance circle shows round.
    for (ui::Graph* plane : {plane_, xy_}) plane->SetEqualScale(true);
    intensityBar_->SetCursors(1, ui::CursorStyle::VerticalLine);
    intensityBar_->SetCursorsMovable(false);
    intensityBar_->SetAxisRange(ui::Axis::X, 0, kFullScale);
    intensityBar_->SetAxisRange(ui::Axis::Y, 0, 100);
    intensityBar_->yAxis->setTicks(false);

    runtime.Bind(rgb_, "CBF_GraphRGB", {}, kHelpRgb);
    for (ui::Graph* g : {x_, y_, int_}) runtime.Bind(g, "CBF_GraphINT1", {}, kHelpInt);
    for (ui::Graph* g : {plane_, intensityBar_}) runtime.Bind(g, "CBF_Graph2D", {}, kHelp2D);
    for (ui::Graph* g : {xy_, xInt_, yInt_, rgb3d_}) runtime.Bind(g, "CBF_Graph3D", {}, kHelp3D);
    // A screen reader meets the chart, not the place it fills: it takes the place's name.
    const std::pair<ui::Graph*, QWidget*> places[] = {
        {rgb_, p.rgb},       {x_, p.x},         {y_, p.y},
        {int_, p.intensity}, {plane_, p.plane}, {intensityBar_, p.intensityBar},
        {xy_, p.xy},         {xInt_, p.xInt},   {yInt_, p.yInt},
        {rgb3d_, p.rgb3d}};
    for (auto [graph, place] : places) {
        graph->setAccessibleName(place->accessibleName());
        graph->setAccessibleDescription(runtime.HelpText(graph).simplified());
    }
    OnClicks(rgb_, [this](bool twice) { CBF_GraphRGB(twice); });
    for (ui::Graph* g : {x_, y_, int_})
        OnClicks(g, [this](bool twice) { CBF_GraphINT1(twice, calculationMode_); });
}

void Charts::AppendChartHistory(const session::MeasuredValues& m) {
    history_.Append(m.red, m.green, m.blue, m.x, m.y, m.intensity);
    for (ui::Graph* strip : {rgb_, rgb3d_})
        strip->AppendStrip({double(m.red), double(m.green), double(m.blue)});
    x_->AppendStrip({double(m.x)});
    y_->AppendStrip({double(m.y)});
    int_->AppendStrip({double(m.intensity)});
}

void Charts::UpdateCharts(const session::MeasuredValues& m, std::uint16_t calculationMode) {
    // The strip charts follow the history as it grows; the views follow the current point.
    const PlotExtents& e = extents_;
    if (calculationMode < 2) {
        SetWindow(plane_, ComputeView(m.x, e.xMin, e.xMax, m.y, e.yMin, e.yMax));
        plane_->SetCursor(1, m.x, m.y);
        const bool siM = calculationMode == 1;
        const double intensity = siM && m.intensity > 1200 ? 1200 : m.intensity;
        intensityBar_->SetCursor(1, intensity, 50);
    } else {
        SetWindow(xy_, ComputeView(m.x, e.xMin, e.xMax, m.y, e.yMin, e.yMax));
        xy_->SetCursor(1, m.x, m.y);
        SetWindow(xInt_, ComputeView(m.x, e.xMin, e.xMax, m.intensity, e.iMin, e.iMax));
        xInt_->SetCursor(1, m.x, m.intensity);
        SetWindow(yInt_, ComputeView(m.y, e.yMin, e.yMax, m.intensity, e.iMin, e.iMax));
        yInt_->SetCursor(1, m.y, m.intensity);
    }
}

void Charts::DrawTolerancePlot(const params::ParameterSet& set, std::uint16_t calculationMode,
                               const session::RowColors& colors, int teachRowNo) {
    DrawIntensityBand(set, calculationMode, teachRowNo);
    for (ui::Graph* view : {plane_, xy_, xInt_, yInt_}) view->DeleteAllPlots();
    const QColor none(Qt::transparent);
    for (std::size_t v = 0; v < params::kVectorCount; ++v) {
        const VectorGeometry g = Geometry(set.teach[v], calculationMode);
        const QColor colour = RowColour(colors[v]);
        plane_->PlotEllipse(g.x, g.y, g.r, g.r, colour, none);
        xy_->PlotEllipse(g.x, g.y, g.r, g.r, colour, none);
        xInt_->PlotEllipse(g.x, g.i, g.r, g.t, colour, none);
        yInt_->PlotEllipse(g.y, g.i, g.r, g.t, colour, none);
    }
    extents_ = ComputeExtents(set, calculationMode);
}

void Charts::DrawIntensityBand(const params::ParameterSet& set, std::uint16_t calculationMode,
                               int teachRowNo) {
    const std::size_t row = static_cast<std::size_t>(
        std::clamp(teachRowNo, 0, static_cast<int>(params::kVectorCount) - 1));
    const std::size_t column = static_cast<std::size_t>(IntensityColumn(calculationMode)) - 1;
    const auto& cells = set.teach[row].cell;
    const AxisWindow band = IntensityBand(cells[column], cells[column + 1]);
    intensityBar_->DeleteAllPlots();
    intensityBar_->PlotRectangle(band.min, 0, band.max, 100, kBand, kBand);
}

void Charts::SetCalculationMode(std::uint16_t calculationMode) {
    calculationMode_ = calculationMode;
    ApplyCoordinateAxes(calculationMode);
}

void Charts::ApplyCoordinateAxes(std::uint16_t calculationMode) {
    if (int_->AutoScale(ui::Axis::Y)) return;
    const bool siM = calculationMode == 1 || calculationMode == 3;
    Fix(x_, 0, siM ? 10000 : kFullScale);
    Fix(y_, 0, siM ? 5000 : kFullScale);
    Fix(int_, 0, siM ? 1200 : kFullScale);
}

void Charts::CBF_GraphRGB(bool doubleClick) {
    if (doubleClick)
        rgb_->SetAutoScale(ui::Axis::Y);
    else
        Fix(rgb_, 0, kFullScale);
}

void Charts::CBF_GraphINT1(bool doubleClick, std::uint16_t calculationMode) {
    if (doubleClick) {
        for (ui::Graph* g : {x_, y_, int_}) g->SetAutoScale(ui::Axis::Y);
        return;
    }
    // Fixed again: the ranges of the calculation mode.
    for (ui::Graph* g : {x_, y_, int_}) Fix(g, 0, kFullScale);
    ApplyCoordinateAxes(calculationMode);
}

}  // namespace measure
