// The graph layer: coalesced painting, strip charts, scatter clouds, shapes, cursors with
// snapping and readout, Ctrl+drag zoom and its reset, the keys for all of it, manual and
// automatic axes.
#include "ui/graph.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>
#include <memory>

namespace {

using ui::Axis;
using ui::Graph;
using ui::PlotId;

constexpr int kDeadlineMs = 5000;

class GraphTest : public ::testing::Test {
  protected:
    void SetUp() override {
        graph = std::make_unique<Graph>();
        graph->resize(400, 300);
        graph->show();
        Settle();
    }

    // Paints everything pending, including the replot the plot library queues itself.
    void Settle() {
        graph->ReplotNow();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    bool WaitForPaint() {
        return QTest::qWaitFor([&] { return !graph->ReplotPending(); }, kDeadlineMs);
    }

    QPointF Pixel(double x, double y) const {
        return {graph->xAxis->coordToPixel(x), graph->yAxis->coordToPixel(y)};
    }

    QColor ColourAt(double x, double y) const {
        const QPointF p = Pixel(x, y);
        return graph->grab().toImage().pixelColor(qRound(p.x()), qRound(p.y()));
    }

    // True when some pixel within one pixel of (x, y) passes `test`: outlines are
    // antialiased.
    template <class Test>
    bool NearPixel(double x, double y, Test test) const {
        const QImage image = graph->grab().toImage();
        const QPointF p = Pixel(x, y);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (test(image.pixelColor(qRound(p.x()) + dx, qRound(p.y()) + dy))) return true;
        return false;
    }

    void Mouse(QEvent::Type type, QPointF pos, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event(type, pos, graph->mapToGlobal(pos), Qt::LeftButton, buttons, modifiers);
        QApplication::sendEvent(graph.get(), &event);
    }
    void Drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseMove, to, Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseButtonRelease, to, Qt::NoButton, modifiers);
    }

    // The scope's layout: 128 samples, 12-bit values, two vertical cursors at 20 and 100.
    void TwoScopeCursors() {
        graph->SetAxisRange(Axis::X, 0, 128);
        graph->SetAxisRange(Axis::Y, 0, 4100);
        graph->SetCursors(2, ui::CursorStyle::VerticalLine);
        graph->SetCursor(1, 20, 0);
        graph->SetCursor(2, 100, 0);
        Settle();
    }

    std::unique_ptr<Graph> graph;
};

TEST(GraphInto, FillsThePlaceholderAndStacksFurtherGraphs) {
    QWidget placeholder;
    Graph* first = Graph::Into(&placeholder);
    Graph* second = Graph::Into(&placeholder);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(placeholder.layout(), nullptr);
    EXPECT_EQ(first->parentWidget(), &placeholder);
    EXPECT_EQ(placeholder.layout()->count(), 2);
    EXPECT_EQ(placeholder.layout()->indexOf(second), 1);
    EXPECT_EQ(Graph::Into(nullptr), nullptr);
}

TEST_F(GraphTest, PaintingIsCoalescedAndNeverSynchronous) {
    graph->SetStripChart({Qt::red, Qt::green, Qt::blue, Qt::black}, 100);
    const PlotId point = graph->PlotPoint(0, 0, Qt::red);
    Settle();
    const int before = graph->ReplotCount();

    for (int i = 0; i < 1000; ++i) {
        const double v = i;
        graph->AppendStrip({v, v + 1, v + 2, v + 3});
        graph->MovePoint(point, v, v);
    }
    EXPECT_EQ(graph->ReplotCount(), before);
    EXPECT_TRUE(graph->ReplotPending());
    ASSERT_TRUE(WaitForPaint());
    EXPECT_EQ(graph->ReplotCount(), before + 1);
    EXPECT_EQ(graph->AxisRange(Axis::Y), graph->yAxis->range());

    // Work done while hidden (a tab page in the back) is painted when the graph shows.
    graph->hide();
    graph->AppendStrip({5000.0, 0, 0, 0});
    graph->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return graph->ReplotCount() > before + 1; }, kDeadlineMs));
    EXPECT_DOUBLE_EQ(graph->yAxis->range().upper, 5000.0);
}

TEST_F(GraphTest, CursorMovesRepaintOnlyTheirLayer) {
    graph->SetAxisRange(Axis::X, 0, 100);
    graph->SetAxisRange(Axis::Y, 0, 100);
    graph->SetCursors(1);
    graph->SetCursorColour(1, QColor(255, 0, 0));
    Settle();
    const int full = graph->ReplotCount();
    const int layers = graph->LayerRepaintCount();

    for (int i = 0; i <= 30; ++i) graph->SetCursor(1, i, i);
    ASSERT_TRUE(WaitForPaint());
    EXPECT_EQ(graph->ReplotCount(), full);
    EXPECT_EQ(graph->LayerRepaintCount(), layers + 1);
    EXPECT_EQ(ColourAt(30, 77), QColor(255, 0, 0));  // the vertical line at its new place
    EXPECT_NE(ColourAt(0, 77), QColor(255, 0, 0));   // and gone from the old one
}

TEST_F(GraphTest, StripChartScrollsAFixedWindow) {
    graph->SetStripChart({Qt::red, Qt::green, Qt::blue}, 5);
    EXPECT_EQ(graph->StripTraceCount(), 3);
    for (int k = 1; k <= 8; ++k) graph->AppendStrip({1.0 * k, 10.0 * k, 100.0 * k});
    EXPECT_EQ(graph->StripValues(0), (std::vector<double>{4, 5, 6, 7, 8}));
    EXPECT_EQ(graph->StripValues(2), (std::vector<double>{400, 500, 600, 700, 800}));
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(3, 7));  // sample keys 3 ... 7
    EXPECT_EQ(graph->AxisRange(Axis::Y), QCPRange(4, 800));

    graph->SetTraceVisible(2, false);  // hidden traces do not scale the axis
    EXPECT_EQ(graph->AxisRange(Axis::Y), QCPRange(4, 80));

    graph->AppendStrip({9.0});  // a frame short of values leaves gaps, never garbage
    EXPECT_TRUE(std::isnan(graph->StripValues(1).back()));

    graph->SetStripChart({Qt::red}, 4, 0.0);  // starts full of zeros, like a fresh history
    graph->AppendStrip({1.0});
    graph->AppendStrip({2.0});
    EXPECT_EQ(graph->StripTraceCount(), 1);
    EXPECT_EQ(graph->StripValues(0), (std::vector<double>{0, 0, 1, 2}));
    EXPECT_EQ(graph->plottableCount(), 1);  // the old traces are gone
}

TEST_F(GraphTest, ScatterCloudGrowsAndPaintsNewPointsOverTheOld) {
    graph->SetAxisRange(Axis::X, 0, 1000);
    graph->SetAxisRange(Axis::Y, 0, 1000);
    const PlotId cloud = graph->NewScatter(QColor(255, 0, 0));
    for (int i = 0; i < 60000; ++i) graph->AppendPoint(cloud, i % 1000, (i / 1000) * 10);
    EXPECT_EQ(graph->PointCount(cloud), 60000);
    EXPECT_EQ(graph->PlotBounds(cloud), QRectF(QPointF(0, 0), QPointF(999, 590)));
    Settle();
    const int full = graph->ReplotCount();

    graph->AppendPoint(cloud, 500, 800);  // in the empty upper part
    ASSERT_TRUE(WaitForPaint());
    EXPECT_EQ(graph->ReplotCount(), full + 1);
    EXPECT_EQ(ColourAt(500, 800), QColor(255, 0, 0));
    EXPECT_EQ(ColourAt(123, 300), QColor(255, 0, 0));  // drawn before, still there
    EXPECT_NE(ColourAt(500, 900), QColor(255, 0, 0));

    // A change of range redraws the whole cloud at the new scale.
    graph->SetAxisRange(Axis::Y, 0, 2000);
    ASSERT_TRUE(WaitForPaint());
    EXPECT_EQ(ColourAt(500, 800), QColor(255, 0, 0));
    EXPECT_EQ(ColourAt(123, 300), QColor(255, 0, 0));

    // Printing draws every point itself, without the screen's image of the cloud.
    const QImage printed = graph->toPixmap(graph->width(), graph->height()).toImage();
    const QPointF at = Pixel(123, 300);
    EXPECT_EQ(printed.pixelColor(qRound(at.x()), qRound(at.y())), QColor(255, 0, 0));

    // Hostile values neither crash the painting nor poison the bounds.
    constexpr double kHuge = 1e300;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    for (double v : {kHuge, -kHuge, std::nan(""), kInf}) graph->AppendPoint(cloud, v, v);
    graph->ReplotNow();
    graph->grab();
    EXPECT_EQ(graph->PointCount(cloud), 60005);
}

TEST_F(GraphTest, EllipsesAndRectanglesLandWhereAsked) {
    graph->SetAxisRange(Axis::X, 0, 100);
    graph->SetAxisRange(Axis::Y, 0, 100);
    const PlotId ellipse = graph->PlotEllipse(53, 47, 17, -8, QColor(0, 0, 255));
    const PlotId rect = graph->PlotRectangle(90, 80, 70, 60, Qt::black, QColor(0x408080));
    EXPECT_EQ(graph->PlotBounds(ellipse), QRectF(36, 39, 34, 16));
    EXPECT_EQ(graph->PlotBounds(rect), QRectF(70, 60, 20, 20));
    EXPECT_EQ(graph->PlotEllipse(NAN, 0, 1, 1, Qt::red), ui::kNoPlot);

    graph->ReplotNow();
    auto blue = [](const QColor& c) { return c.blue() > c.red() + 60; };  // blended or not
    EXPECT_TRUE(NearPixel(70, 47, blue));            // right end of the outline
    EXPECT_TRUE(NearPixel(53, 39, blue));            // bottom of the outline
    EXPECT_EQ(ColourAt(53, 47), QColor(Qt::white));  // tolerance circles are not filled
    EXPECT_EQ(ColourAt(75, 75), QColor(0x408080));
}

TEST_F(GraphTest, DeletingPlotsKeepsStripAndCursors) {
    graph->SetStripChart({Qt::red}, 10);
    graph->AppendStrip({1.0});
    graph->SetCursors(2);
    const PlotId line = graph->PlotY(std::vector<double>{1, 2, 3}, Qt::red);
    const PlotId ellipse = graph->PlotEllipse(0, 0, 1, 1, Qt::red);
    const PlotId cloud = graph->NewScatter(Qt::red);
    const int items = graph->itemCount();

    EXPECT_TRUE(graph->DeletePlot(ellipse));
    EXPECT_FALSE(graph->DeletePlot(ellipse));
    EXPECT_FALSE(graph->HasPlot(ellipse));
    EXPECT_EQ(graph->PlotCount(), 2);
    EXPECT_EQ(graph->itemCount(), items - 1);

    graph->DeleteAllPlots();
    EXPECT_EQ(graph->PlotCount(), 0);
    EXPECT_FALSE(graph->AppendPoint(cloud, 1, 1));
    EXPECT_EQ(graph->plottableCount(), 1);  // the strip trace
    EXPECT_EQ(graph->StripValues(0), std::vector<double>{1.0});
    EXPECT_EQ(graph->CursorCount(), 2);

    // Ids are not reused, so a stale one cannot delete a newer plot.
    const PlotId fresh = graph->PlotPoint(1, 1, Qt::red);
    EXPECT_NE(fresh, line);
    EXPECT_FALSE(graph->DeletePlot(line));
    EXPECT_TRUE(graph->HasPlot(fresh));
}

TEST_F(GraphTest, CursorsSetGetAndReadout) {
    graph->SetCursors(2, ui::CursorStyle::VerticalLine);
    QSignalSpy moved(graph.get(), &Graph::CursorMoved);
    graph->SetCursor(1, 10.7, 5);
    graph->SetCursor(2, 3.2, 9);
    graph->SetCursor(3, 1, 1);    // no third cursor
    graph->SetCursor(1, NAN, 1);  // refused
    EXPECT_EQ(graph->CursorPosition(1), QPointF(10.7, 5));
    EXPECT_EQ(graph->CursorPosition(3), QPointF());
    EXPECT_DOUBLE_EQ(graph->CursorsDelta().dx, 3.2 - 10.7);
    EXPECT_DOUBLE_EQ(graph->CursorsDelta().dy, 4);
    EXPECT_EQ(moved.count(), 0);  // the program's writes are silent

    graph->SetCursors(1);
    EXPECT_EQ(graph->CursorsDelta().dx, 0.0);
    EXPECT_EQ(graph->CursorPosition(2), QPointF());
}

TEST_F(GraphTest, DraggedCursorSnapsExactlyOntoRecordedPoints) {
    graph->SetAxisRange(Axis::X, 0, 100);
    graph->SetAxisRange(Axis::Y, 0, 100);
    const PlotId cloud = graph->NewScatter(Qt::red);
    graph->AppendPoint(cloud, 10.25, 20.5);
    graph->AppendPoint(cloud, 60.125, 70.75);
    graph->SetCursors(1);
    graph->SetCursorSnap(1, cloud);
    Settle();
    QSignalSpy moved(graph.get(), &Graph::CursorMoved);
    QSignalSpy committed(graph.get(), &Graph::CursorCommitted);

    Mouse(QEvent::MouseButtonPress, Pixel(58, 68), Qt::LeftButton);
    EXPECT_EQ(graph->CursorPosition(1), QPointF(60.125, 70.75));
    Mouse(QEvent::MouseMove, Pixel(13, 18), Qt::LeftButton);
    EXPECT_EQ(committed.count(), 0);
    Mouse(QEvent::MouseButtonRelease, Pixel(13, 18), Qt::NoButton);
    const QPointF at = graph->CursorPosition(1);
    EXPECT_EQ(at.x(), 10.25);  // bit-exact, so an equality search finds the record
    EXPECT_EQ(at.y(), 20.5);
    EXPECT_GE(moved.count(), 2);
    ASSERT_EQ(committed.count(), 1);
    EXPECT_EQ(committed.at(0).at(0).toInt(), 1);

    // Without a snap target the cursor follows the mouse.
    graph->SetCursorSnap(1, ui::kNoPlot);
    Drag(Pixel(40, 40), Pixel(45, 55));
    EXPECT_NEAR(graph->CursorPosition(1).x(), 45, 0.5);
    EXPECT_NEAR(graph->CursorPosition(1).y(), 55, 0.5);
}

TEST_F(GraphTest, NearestPointIsNearestOnScreen) {
    graph->SetAxisRange(Axis::X, 0, 1000);
    graph->SetAxisRange(Axis::Y, 0, 1);
    Settle();
    const PlotId a = graph->PlotPoint(500, 0.9, Qt::red);
    const PlotId b = graph->PlotPoint(600, 0.5, Qt::red);
    // In data units the first is far nearer; on screen the second is.
    EXPECT_EQ(graph->NearestPoint(ui::kAnyPlot, {500, 0.5}), QPointF(600, 0.5));
    EXPECT_EQ(graph->NearestPoint(a, {500, 0.5}), QPointF(500, 0.9));
    graph->SetPlotVisible(b, false);
    EXPECT_EQ(graph->NearestPoint(ui::kAnyPlot, {500, 0.5}), QPointF(500, 0.9));
    EXPECT_FALSE(graph->NearestPoint(12345, {0, 0}).has_value());
}

TEST_F(GraphTest, PressGrabsTheNearerOfTwoCursors) {
    TwoScopeCursors();
    QSignalSpy committed(graph.get(), &Graph::CursorCommitted);
    Drag(Pixel(95, 2000), Pixel(90, 2000));
    EXPECT_DOUBLE_EQ(graph->CursorPosition(1).x(), 20);
    EXPECT_NEAR(graph->CursorPosition(2).x(), 90, 0.5);
    ASSERT_EQ(committed.count(), 1);
    EXPECT_EQ(committed.at(0).at(0).toInt(), 2);
}

TEST_F(GraphTest, CtrlDragZoomsAndResetReturnsToTheFullRange) {
    graph->SetAxisRange(Axis::X, 0, 128);
    graph->SetAxisRange(Axis::Y, 0, 4100);
    graph->SetCursors(2);
    graph->SetCursor(1, 10, 10);
    Settle();
    QSignalSpy zoomed(graph.get(), &Graph::Zoomed);

    Drag(Pixel(32, 3000), Pixel(96, 1000), Qt::ControlModifier);
    ASSERT_EQ(zoomed.count(), 1);
    EXPECT_TRUE(graph->IsZoomed());
    const double xTol = 128.0 / graph->axisRect()->width() * 2;
    const double yTol = 4100.0 / graph->axisRect()->height() * 2;
    EXPECT_NEAR(graph->AxisRange(Axis::X).lower, 32, xTol);
    EXPECT_NEAR(graph->AxisRange(Axis::X).upper, 96, xTol);
    EXPECT_NEAR(graph->AxisRange(Axis::Y).lower, 1000, yTol);
    EXPECT_NEAR(graph->AxisRange(Axis::Y).upper, 3000, yTol);
    EXPECT_EQ(graph->CursorPosition(1), QPointF(10, 10));  // a zoom drag moves no cursor

    // A Ctrl+click without a drag is no zoom.
    const QCPRange before = graph->AxisRange(Axis::X);
    Drag(Pixel(50, 2000), Pixel(50, 2000), Qt::ControlModifier);
    EXPECT_EQ(zoomed.count(), 1);
    EXPECT_EQ(graph->AxisRange(Axis::X), before);

    graph->ZoomReset();
    EXPECT_FALSE(graph->IsZoomed());
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(0, 128));
    EXPECT_EQ(graph->AxisRange(Axis::Y), QCPRange(0, 4100));
    ASSERT_TRUE(WaitForPaint());
    EXPECT_EQ(graph->xAxis->range(), QCPRange(0, 128));

    // Automatic axes hold still while zoomed and take in new data after the reset.
    graph->SetAutoScale();
    const PlotId line = graph->NewLine(Qt::red);
    graph->AppendPoint(line, 0, 0);
    graph->AppendPoint(line, 100, 100);
    Settle();
    Drag(Pixel(20, 80), Pixel(60, 20), Qt::ControlModifier);
    const QCPRange zoomedX = graph->AxisRange(Axis::X);
    graph->AppendPoint(line, 300, 300);
    EXPECT_EQ(graph->AxisRange(Axis::X), zoomedX);
    graph->ZoomReset();
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(0, 300));

    // Setting a manual range ends the zoom of that axis.
    Drag(Pixel(20, 80), Pixel(60, 20), Qt::ControlModifier);
    graph->SetAxisRange(Axis::X, 0, 128);
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(0, 128));
}

// The keys do what the mouse does, for a user without one.
TEST_F(GraphTest, KeysMoveCursorsThroughRecordedPointsAndZoom) {
    graph->SetAxisRange(Axis::X, 0, 100);
    graph->SetAxisRange(Axis::Y, 0, 100);
    const PlotId cloud = graph->NewScatter(Qt::red);
    // Recorded order is not left-to-right order: the keys follow the recording.
    const std::vector<QPointF> recorded = {{50, 50}, {10.25, 90}, {90, 10.5}, {10.25, 90}, {70, 30}};
    for (const QPointF& p : recorded) graph->AppendPoint(cloud, p.x(), p.y());
    graph->SetCursors(1);
    graph->SetCursorSnap(1, cloud);
    graph->SetCursor(1, 49, 51);  // near the first point, not on it
    Settle();
    EXPECT_EQ(graph->focusPolicy(), Qt::StrongFocus);
    QSignalSpy moved(graph.get(), &Graph::CursorMoved);
    QSignalSpy committed(graph.get(), &Graph::CursorCommitted);

    auto at = [&] { return graph->CursorPosition(1); };
    auto exactly = [](QPointF a, QPointF b) { return a.x() == b.x() && a.y() == b.y(); };
    QTest::keyClick(graph.get(), Qt::Key_Right);  // first onto the nearest point
    EXPECT_TRUE(exactly(at(), recorded[0]));
    QTest::keyClick(graph.get(), Qt::Key_Right);
    QTest::keyClick(graph.get(), Qt::Key_Right);
    EXPECT_TRUE(exactly(at(), recorded[2]));
    QTest::keyClick(graph.get(), Qt::Key_Right);  // equal to point 1, yet point 3 comes next
    QTest::keyClick(graph.get(), Qt::Key_Right);
    EXPECT_TRUE(exactly(at(), recorded[4]));
    QTest::keyClick(graph.get(), Qt::Key_Right);  // stays on the last
    EXPECT_TRUE(exactly(at(), recorded[4]));
    QTest::keyClick(graph.get(), Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_TRUE(exactly(at(), recorded[0]));
    QTest::keyClick(graph.get(), Qt::Key_End);
    EXPECT_TRUE(exactly(at(), recorded[4]));
    EXPECT_EQ(moved.count(), 8);  // every key move is a drag and its release
    EXPECT_EQ(committed.count(), 8);

    // Without a snap target: a hundredth of the shown range per key, kept inside it.
    graph->SetCursorSnap(1, ui::kNoPlot);
    graph->SetCursor(1, 50, 50);
    QTest::keyClick(graph.get(), Qt::Key_Left);
    QTest::keyClick(graph.get(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(at().x(), 49);
    EXPECT_DOUBLE_EQ(at().y(), 60);
    QTest::keyClick(graph.get(), Qt::Key_Home);
    EXPECT_DOUBLE_EQ(at().x(), 0);
    for (int i = 0; i < 12; ++i) QTest::keyClick(graph.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(at().y(), 0);

    // Zoom in twice around the cursor, out again, and 0 for 1:1.
    QSignalSpy zoomed(graph.get(), &Graph::Zoomed);
    graph->SetCursor(1, 20, 80);
    QTest::keyClick(graph.get(), Qt::Key_Plus);
    QTest::keyClick(graph.get(), Qt::Key_Plus);
    EXPECT_TRUE(graph->IsZoomed());
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(7.5, 32.5));
    EXPECT_EQ(graph->AxisRange(Axis::Y), QCPRange(67.5, 92.5));
    QTest::keyClick(graph.get(), Qt::Key_Minus);
    QTest::keyClick(graph.get(), Qt::Key_Minus);  // as wide as the full range: 1:1 again
    EXPECT_FALSE(graph->IsZoomed());
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(0, 100));
    QTest::keyClick(graph.get(), Qt::Key_Plus);
    QTest::keyClick(graph.get(), Qt::Key_0);
    EXPECT_FALSE(graph->IsZoomed());
    EXPECT_EQ(zoomed.count(), 6);

    // Return and Ctrl+Return are the click and the double-click.
    QSignalSpy activated(graph.get(), &Graph::Activated);
    QTest::keyClick(graph.get(), Qt::Key_Return);
    QTest::keyClick(graph.get(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    ASSERT_EQ(activated.count(), 2);
    EXPECT_FALSE(activated.at(0).at(0).toBool());
    EXPECT_TRUE(activated.at(1).at(0).toBool());
}

TEST_F(GraphTest, SpaceChoosesTheCursorAndKeysLeaveAFixedGraphAlone) {
    TwoScopeCursors();
    QSignalSpy committed(graph.get(), &Graph::CursorCommitted);
    QTest::keyClick(graph.get(), Qt::Key_Space);
    EXPECT_EQ(graph->ActiveCursor(), 2);
    QTest::keyClick(graph.get(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(graph->CursorPosition(2).x(), 100 + 12.8);
    EXPECT_DOUBLE_EQ(graph->CursorPosition(1).x(), 20);
    QTest::keyClick(graph.get(), Qt::Key_Up);  // a vertical line has no y
    ASSERT_EQ(committed.count(), 1);
    EXPECT_EQ(committed.at(0).at(0).toInt(), 2);
    // A mouse press makes the cursor it grabs the active one.
    Drag(Pixel(25, 2000), Pixel(30, 2000));
    EXPECT_EQ(graph->ActiveCursor(), 1);

    // A graph that only shows (no movable cursors, no zoom) is no stop for Tab, and the
    // keys pass on to the window.
    graph->SetCursorsMovable(false);
    graph->SetZoomEnabled(false);
    EXPECT_EQ(graph->focusPolicy(), Qt::NoFocus);
    const QPointF before = graph->CursorPosition(1);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QCoreApplication::sendEvent(graph.get(), &key);
    EXPECT_FALSE(key.isAccepted());
    EXPECT_EQ(graph->CursorPosition(1), before);
}

TEST_F(GraphTest, AxesScaleAutomaticallyOrManuallyPerAxis) {
    const PlotId line =
        graph->PlotXY(std::vector<double>{1, 2, 3}, std::vector<double>{10, 20, 40}, Qt::red);
    EXPECT_TRUE(graph->AutoScale(Axis::X));
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(1, 3));
    EXPECT_EQ(graph->AxisRange(Axis::Y), QCPRange(10, 40));

    EXPECT_TRUE(graph->SetAxisRange(Axis::Y, 0, 100));
    graph->AppendPoint(line, 7, 500);
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(1, 7));    // still automatic
    EXPECT_EQ(graph->AxisRange(Axis::Y), QCPRange(0, 100));  // manual holds
    ASSERT_TRUE(WaitForPaint());
    EXPECT_EQ(graph->xAxis->range(), QCPRange(1, 7));

    graph->SetPlotVisible(line, false);  // nothing visible: the range stays where it was
    graph->PlotPoint(4, 4, Qt::red);
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(3.5, 4.5));  // one point: widened

    EXPECT_TRUE(graph->SetAxisRange(Axis::X, 5, 1));
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(1, 5));
    EXPECT_TRUE(graph->SetAxisRange(Axis::X, 3, 3));
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(2.5, 3.5));
    EXPECT_FALSE(graph->SetAxisRange(Axis::X, 0, std::numeric_limits<double>::infinity()));
    EXPECT_EQ(graph->AxisRange(Axis::X), QCPRange(2.5, 3.5));
    EXPECT_FALSE(graph->AutoScale(Axis::X));
}

// A tolerance circle on a wide or a tall graph: the same pixels per unit on both axes, the
// window asked for in view, whatever the size, after a zoom and back at 1:1.
TEST_F(GraphTest, EqualScaleKeepsCirclesRoundAtEverySizeAndZoom) {
    graph->SetEqualScale(true);
    graph->SetAxisRange(Axis::X, 875, 1125);
    graph->SetAxisRange(Axis::Y, 675, 925);
    const PlotId circle = graph->PlotEllipse(1000, 800, 100, 100, Qt::red);
    const auto expectRound = [&](const QCPRange& x, const QCPRange& y, const char* when) {
        Settle();
        const double perX = graph->xAxis->coordToPixel(1) - graph->xAxis->coordToPixel(0);
        const double perY = graph->yAxis->coordToPixel(0) - graph->yAxis->coordToPixel(1);
        EXPECT_NEAR(perX / perY, 1.0, 0.01) << when;
        EXPECT_TRUE(graph->xAxis->range().contains(x.lower) &&
                    graph->xAxis->range().contains(x.upper))
            << when;
        EXPECT_TRUE(graph->yAxis->range().contains(y.lower) &&
                    graph->yAxis->range().contains(y.upper))
            << when;
        // The window widens only along the longer side of the plot.
        EXPECT_TRUE(graph->xAxis->range().size() < x.size() * 1.01 ||
                    graph->yAxis->range().size() < y.size() * 1.01)
            << when;
    };
    expectRound({875, 1125}, {675, 925}, "wide");
    graph->resize(200, 500);
    expectRound({875, 1125}, {675, 925}, "tall");
    graph->resize(400, 300);
    expectRound({875, 1125}, {675, 925}, "wide again");

    Drag(Pixel(900, 900), Pixel(1000, 850), Qt::ControlModifier);
    ASSERT_TRUE(graph->IsZoomed());
    expectRound({900, 1000}, {850, 900}, "zoomed");
    graph->resize(300, 300);
    expectRound({900, 1000}, {850, 900}, "zoomed, resized");
    graph->ZoomReset();
    expectRound({875, 1125}, {675, 925}, "1:1");
    // A circle drawn with equal radii shows as wide as it is high.
    const QRectF box = *graph->PlotBounds(circle);
    EXPECT_NEAR(Pixel(box.right(), 0).x() - Pixel(box.left(), 0).x(),
                Pixel(0, box.top()).y() - Pixel(0, box.bottom()).y(), 1.0);
}

}  // namespace
