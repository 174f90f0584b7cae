#pragma once
// The graphs of the data panel: strip charts of the last 100 frames (RGB page, coordinate
// page, 3D page) and the colour views with the taught tolerance circles and the current
// point as a cursor (2D page, 3D page). The tolerance circles are drawn when the teach
// table, the modes or the row colours change, never per frame; per frame only the strip
// charts, the axis windows and the cursors move, and the graphs repaint at most once per
// screen refresh.

#include <QObject>
#include <array>
#include <cstdint>

#include "measure/chart_math.h"
#include "session/measured_values.h"
#include "session/session.h"

namespace ui {
class Graph;
class Runtime;
}  // namespace ui

namespace measure {

class Charts : public QObject {
    Q_OBJECT
  public:
    // The placeholders of the panel set, in this order.
    struct Places {
        QWidget* rgb = nullptr;
        QWidget* x = nullptr;
        QWidget* y = nullptr;
        QWidget* intensity = nullptr;
        QWidget* plane = nullptr;  // 2D page: X against Y
        QWidget* intensityBar = nullptr;
        QWidget* xy = nullptr;  // 3D page
        QWidget* xInt = nullptr;
        QWidget* yInt = nullptr;
        QWidget* rgb3d = nullptr;
    };
    void Build(const Places& places, ui::Runtime& runtime);

    // Every frame: history, strip charts, view windows and cursors.
    void AppendChartHistory(const session::MeasuredValues& m);
    void UpdateCharts(const session::MeasuredValues& m, std::uint16_t calculationMode);

    // The tolerance circles of all 31 vectors and the extents the views scale to.
    void DrawTolerancePlot(const params::ParameterSet& set, std::uint16_t calculationMode,
                           const session::RowColors& colors, int teachRowNo);
    void DrawIntensityBand(const params::ParameterSet& set, std::uint16_t calculationMode,
                           int teachRowNo);

    // CALCULATION MODE as the mode rules last left it: the coordinate page's y axes follow
    // it while they are fixed, at once and when a click fixes them again.
    void SetCalculationMode(std::uint16_t calculationMode);

    const ChartHistory& History() const { return history_; }
    const PlotExtents& Extents() const { return extents_; }
    ui::Graph* Plane() const { return plane_; }
    ui::Graph* IntensityBar() const { return intensityBar_; }
    ui::Graph* XY() const { return xy_; }
    ui::Graph* XInt() const { return xInt_; }
    ui::Graph* YInt() const { return yInt_; }
    ui::Graph* Rgb() const { return rgb_; }
    std::array<ui::Graph*, 3> Coordinates() const { return {x_, y_, int_}; }

  private:
    static void Fix(ui::Graph* graph, double min, double max);
    void ApplyCoordinateAxes(std::uint16_t calculationMode);

    // Graph callbacks: a left click fixes the y axes, a double click scales them to the
    // data.
    void CBF_GraphRGB(bool doubleClick);
    void CBF_GraphINT1(bool doubleClick, std::uint16_t calculationMode);

    std::uint16_t calculationMode_ = 0;

    ChartHistory history_;
    PlotExtents extents_;
    ui::Graph* rgb_ = nullptr;
    ui::Graph* x_ = nullptr;
    ui::Graph* y_ = nullptr;
    ui::Graph* int_ = nullptr;
    ui::Graph* plane_ = nullptr;
    ui::Graph* intensityBar_ = nullptr;
    ui::Graph* xy_ = nullptr;
    ui::Graph* xInt_ = nullptr;
    ui::Graph* yInt_ = nullptr;
    ui::Graph* rgb3d_ = nullptr;
};

}  // namespace measure
