// The data panel's layout at the default size: the coordinate charts tall enough for their
// labels, the tick labels of the 3D page's quarter graphs apart, the colour planes on one
// scale for X and Y.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QTabWidget>
#include <string>

#include "measure/measure_page.h"
#include "program_fixture.h"
#include "ui/graph.h"

using testing_support::TestProgram;

namespace {

// The data panel of a program at the default size with `page` of its tab control in front,
// laid out and painted.
void ShowDataPage(TestProgram& p, int page) {
    measure::MeasurePage& m = p.Page<measure::MeasurePage>();
    ui::SetActiveTabPage(p.Control<QTabWidget>("DATAP", "TabDataP1"), page);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const measure::Charts& c = m.ChartSet();
    for (ui::Graph* g : {c.Rgb(), c.Plane(), c.IntensityBar(), c.XY(), c.XInt(), c.YInt()})
        if (g->isVisible()) g->ReplotNow();
    for (ui::Graph* g : c.Coordinates())
        if (g->isVisible()) g->ReplotNow();
}

// Neighbouring tick labels of `axis` do not touch: along x each needs its text's width, along
// y its font's height.
void ExpectTickLabelsApart(const QCPAxis* axis, const std::string& graph) {
    const QFontMetrics metrics(axis->tickLabelFont());
    const bool across = axis->orientation() == Qt::Horizontal;
    QVector<double> ticks;
    QVector<QString> labels;
    for (int i = 0; i < axis->tickVector().size(); ++i) {
        if (!axis->range().contains(axis->tickVector()[i])) continue;
        ticks << axis->tickVector()[i];
        labels << axis->tickVectorLabels()[i];
    }
    ASSERT_GE(ticks.size(), 2) << graph;
    for (int i = 1; i < ticks.size(); ++i) {
        const double apart =
            std::abs(axis->coordToPixel(ticks[i]) - axis->coordToPixel(ticks[i - 1]));
        const double needed = across ? (metrics.horizontalAdvance(labels[i]) +
                                        metrics.horizontalAdvance(labels[i - 1])) /
                                               2.0 +
                                           metrics.averageCharWidth()
                                     : metrics.height();
        EXPECT_GE(apart, needed) << graph << ": " << labels[i - 1].toStdString() << " and "
                                 << labels[i].toStdString();
    }
}

}  // namespace

TEST(DataPanelLayout, TheCoordinateChartsAreTallEnoughForTheirLabels) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    ASSERT_EQ(p->MainPanel()->size(), QSize(790, 548));
    ShowDataPage(p, measure::kPageCoord);
    const char* names[] = {"X", "Y", "INT"};
    int i = 0;
    for (ui::Graph* chart : p.Page<measure::MeasurePage>().ChartSet().Coordinates()) {
        ASSERT_TRUE(chart->isVisible());
        EXPECT_GE(chart->height(), 60) << names[i];
        ExpectTickLabelsApart(chart->yAxis, names[i++]);
    }
}

TEST(DataPanelLayout, TheQuarterGraphsOfThe3DPageKeepTheirTickLabelsApart) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    measure::MeasurePage& m = p.Page<measure::MeasurePage>();
    ui::SetTabPageVisible(p.Control<QTabWidget>("DATAP", "TabDataP1"), measure::kPage3D, true);
    ShowDataPage(p, measure::kPage3D);
    const std::pair<ui::Graph*, const char*> views[] = {
        {m.ChartSet().XY(), "X/Y"}, {m.ChartSet().XInt(), "X/INT"}, {m.ChartSet().YInt(), "Y/INT"}};
    for (auto [graph, name] : views) {
        ASSERT_TRUE(graph->isVisible());
        ExpectTickLabelsApart(graph->xAxis, name);
        ExpectTickLabelsApart(graph->yAxis, name);
    }
}

// Tolerance circles show round: on the colour plane, of the 2D page and of the 3D page, a
// unit of X is as long as a unit of Y, and the window the taught vectors ask for is in view.
TEST(DataPanelLayout, TheColourPlanesKeepOneScaleForXAndY) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    session::Session& s = p.Session();
    measure::MeasurePage& m = p.Page<measure::MeasurePage>();
    {
        params::ParameterSet edited = s.Parameters();
        edited.teach[0].cell = {1000, 800, 100, 2000, 300};
        s.SetParameters(edited);
    }
    for (auto [mode, page] : {std::pair{0, measure::kPage2D}, std::pair{2, measure::kPage3D}}) {
        session::ModeView modes = s.Modes();
        modes.calculationMode = static_cast<std::uint16_t>(mode);
        s.SetModes(modes);
        ui::SetTabPageVisible(p.Control<QTabWidget>("DATAP", "TabDataP1"), page, true);
        m.DrawTolerancePlot();
        {
            session::MeasuredValues m = s.Measured();
            m.x = 1500;
            m.y = 800;
            s.SetMeasured(m);
        }
        m.UpdateCharts();
        ShowDataPage(p, page);
        ui::Graph* plane = mode == 0 ? m.ChartSet().Plane() : m.ChartSet().XY();
        ASSERT_TRUE(plane->isVisible());
        EXPECT_GE(plane->height(), 80);
        const double perX = plane->xAxis->coordToPixel(1) - plane->xAxis->coordToPixel(0);
        const double perY = plane->yAxis->coordToPixel(0) - plane->yAxis->coordToPixel(1);
        EXPECT_NEAR(perX / perY, 1.0, 0.01) << "calculation mode " << mode;
        for (ui::Axis axis : {ui::Axis::X, ui::Axis::Y}) {
            const QCPRange window = plane->RequestedRange(axis);
            const QCPRange shown =
                axis == ui::Axis::X ? plane->xAxis->range() : plane->yAxis->range();
            EXPECT_LE(shown.lower, window.lower);
            EXPECT_GE(shown.upper, window.upper);
        }
    }
}
