// The record-based teach panel on the real panel set: labels by mode, points into the three
// graphs, a cursor that marks the same frame in all of them, TEACH of the displayed point,
// RESET, and recordings of the simulated sensor (store full, STOP, a link failure).

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "measure/measure_page.h"
#include "params/parameter_panel.h"
#include "sim/model/faults.h"
#include "sim/server/sim_server.h"
#include "teach_fixture.h"

using teach::RecordGraph;
using teach::RecordedPoint;

namespace {

using teach_testing::Row;

struct Record : teach_testing::TeachProgram {
    explicit Record(const QString& settings = testing_support::NoSensorSettingsText())
        : TeachProgram(settings) {
        ApplyModes(1, 0);  // X Y INT 2D
    }
    teach::RecordPanel& panel() { return page().Recording(); }
    ui::Graph* graph(RecordGraph g) { return panel().GraphOf(g); }
    std::vector<QPointF> points(RecordGraph g) {
        return graph(g)->Points(panel().CloudOf(g));
    }
    Row Shown() {
        panel().FlushDisplays();
        return {Control<QLineEdit>("TEACHP2", "DispTP2X")->text().toInt(),
                Control<QLineEdit>("TEACHP2", "DispTP2Y")->text().toInt(),
                Control<QLineEdit>("TEACHP2", "DispTP2Int")->text().toInt()};
    }
    QPointF Cursor(RecordGraph g) { return graph(g)->CursorPosition(1); }
    int Counter() {
        panel().FlushDisplays();
        return Control<QLineEdit>("TEACHP2", "DispTP2Counter")->text().toInt();
    }
};

}  // namespace

TEST(RecordPanelLabels, OpenShowsThePanelLabelledForTheModeAndThresholdModesDimTheButton) {
    Record t;
    t.SetModes(1, 1);  // s i M 2D
    t.Control<QPushButton>("MAINP", "ButtonTeachRecVal")->click();
    EXPECT_TRUE(t.program->Panel("TEACHP2")->isVisibleTo(t.program->Panel("MAINP")));
    EXPECT_FALSE(t.program->Panel("DATAP")->isVisibleTo(t.program->Panel("MAINP")));
    EXPECT_EQ(t.Control<QLabel>("TEACHP2", "LabelTP2GraphXY")->text(), "s/i");
    EXPECT_EQ(t.Control<QLabel>("TEACHP2", "LabelTP2GraphXInt")->text(), "s/M");
    EXPECT_EQ(t.Control<QLabel>("TEACHP2", "LabelTP2GraphYInt")->text(), "i/M");
    EXPECT_EQ(t.Control<QLabel>("TEACHP2", "LabelTP2X")->text(), "s");
    EXPECT_EQ(t.Control<QLabel>("TEACHP2", "LabelTP2Int")->text(), "M");
    EXPECT_TRUE(t.Control<QLineEdit>("TEACHP2", "DispTP2Y")
                    ->styleSheet()
                    .contains("#80ffff", Qt::CaseInsensitive));
    EXPECT_TRUE(t.Control<QLineEdit>("TEACHP2", "DispTP2Y")
                    ->styleSheet()
                    .contains("#ffff00", Qt::CaseInsensitive));
    // The capture-and-mean panel is labelled by the same call.
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1MaxDeltaXY")->text(), "d (s/i)");

    // The mode rules relabel it too.
    {
        params::ParameterSet edited = t.S().Parameters();
        edited.block.calculationMode = 2;
        t.S().SetParameters(edited);
    }
    EXPECT_EQ(t.Control<QLabel>("TEACHP2", "LabelTP2GraphYInt")->text(), "Y/INT");
    EXPECT_EQ(t.Control<QLabel>("TEACHP2", "LabelTP2Y")->text(), "Y");
    EXPECT_TRUE(t.Control<QLineEdit>("TEACHP2", "DispTP2X")
                    ->styleSheet()
                    .contains("#e0e0e0", Qt::CaseInsensitive));
    EXPECT_TRUE(t.Control<QLineEdit>("TEACHP2", "DispTP2X")
                    ->styleSheet()
                    .contains("#ff0000", Qt::CaseInsensitive));

    t.page().ApplyTeachPanelLabels(4, 1);  // a threshold mode
    EXPECT_TRUE(ui::IsDimmed(t.Control<QPushButton>("MAINP", "ButtonTeachRecVal")));
    EXPECT_EQ(t.Control<QLabel>("TEACHP2", "LabelTP2GraphXY")->text(), "X/Y");  // left as they were
    t.page().ApplyTeachPanelLabels(1, 0);
    EXPECT_FALSE(ui::IsDimmed(t.Control<QPushButton>("MAINP", "ButtonTeachRecVal")));

    // Help on a right-click, for the graphs too.
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    QCoreApplication::sendEvent(t.Control<QPushButton>("MAINP", "ButtonTeachRecVal"), &right);
    ASSERT_FALSE(t.program.popups.History().empty());
    EXPECT_EQ(t.program.popups.History().back().title, "INFO!");
    EXPECT_EQ(t.program.popups.History().back().text,
              "Opens a panel to teach, with help \nfrom a graph, recorded values. ");
    QWidget* graph = t.graph(RecordGraph::XInt);
    QContextMenuEvent onGraph(QContextMenuEvent::Mouse, QPoint(2, 2), graph->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(graph, &onGraph);
    EXPECT_EQ(t.program.popups.History().back().text,
              "Display for recorded values. \nMove cursor to select a position \nwhich should be "
              "teached to the table.");

    // CLOSE: back to the data panel.
    t.Control<QPushButton>("TEACHP2", "ButtonCloseTP2")->click();
    EXPECT_TRUE(t.program->Panel("DATAP")->isVisibleTo(t.program->Panel("MAINP")));
}

TEST(RecordPanelPoints, CursorOnTheThirdPointMarksThatFrameEverywhereAndTeachWritesItsValues) {
    Record t;
    teach::RecordPanel& p = t.panel();
    const std::vector<RecordedPoint> frames = {
        {1000, 2000, 3000}, {1100, 2100, 3100}, {1200, 2200, 3300}, {1300, 2200, 3300},
        {1200, 2200, 3300}};  // the fifth is identical to the third
    for (const RecordedPoint& f : frames) p.AddPoint(f);
    EXPECT_EQ(t.Counter(), 5);
    EXPECT_EQ(p.Store().Count(), 5u);
    for (std::size_t n = 0; n < frames.size(); ++n) EXPECT_EQ(p.Store().At(n), frames[n]);
    EXPECT_EQ(t.points(RecordGraph::XInt).size(), 5u);
    EXPECT_EQ(t.points(RecordGraph::YInt)[1], QPointF(2100, 3100));
    // The last frame is shown and marked.
    EXPECT_EQ(t.Shown(), (Row{1200, 2200, 3300}));
    EXPECT_EQ(t.Cursor(RecordGraph::XY), QPointF(1200, 2200));

    // The user drags the X-INT cursor onto the third point: it snaps onto it, and the other
    // two graphs mark that same frame.
    ui::Graph* g = t.graph(RecordGraph::XInt);
    g->resize(300, 300);
    g->ReplotNow();
    p.AddPoint({1050, 2050, 3050});  // the cursor moves off the third point
    g->ReplotNow();
    const QPointF near(g->xAxis->coordToPixel(1203), g->yAxis->coordToPixel(3297));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, near, g->mapToGlobal(near), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(g, &event);
    }
    EXPECT_EQ(t.Cursor(RecordGraph::XInt), QPointF(1200, 3300));
    EXPECT_EQ(t.Cursor(RecordGraph::XY), QPointF(1200, 2200));
    EXPECT_EQ(t.Cursor(RecordGraph::YInt), QPointF(2200, 3300));
    EXPECT_EQ(t.Shown(), (Row{1200, 2200, 3300}));

    // Y/INT (2200, 3300) belongs to frames 3, 4 and 5: the earliest, the third, is taken.
    t.graph(RecordGraph::YInt)->SetCursor(1, 2200, 3300);
    emit t.graph(RecordGraph::YInt)->CursorCommitted(1);
    EXPECT_EQ(t.Cursor(RecordGraph::XY), QPointF(1200, 2200));
    // A cursor on no recorded point takes the first frame.
    t.graph(RecordGraph::XY)->SetCursor(1, 1234.5, 2000);
    emit t.graph(RecordGraph::XY)->CursorCommitted(1);
    EXPECT_EQ(t.Shown(), (Row{1000, 2000, 3000}));
    EXPECT_EQ(t.Cursor(RecordGraph::XInt), QPointF(1000, 3000));

    // TEACH writes the displayed point, not the last frame received, into the "No.:" row.
    t.graph(RecordGraph::XY)->SetCursor(1, 1100, 2100);
    emit t.graph(RecordGraph::XY)->CursorCommitted(1);
    session::MeasuredValues m = t.S().Measured();
    m.x = 4000;
    m.y = 4000;
    m.intensity = 4000;
    t.S().SetMeasured(m);
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditNo"), 7);
    int changes = 0;
    QObject::connect(&t.S(), &session::Session::TeachTableChanged, &t.S(), [&] { ++changes; });
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Teach")->click();
    const Row taught = t.Cells(8);
    EXPECT_EQ(taught[0], 1100);
    EXPECT_EQ(taught[1], 2100);
    EXPECT_EQ(taught[3], 3100);  // INT in column 4 of the 2D modes
    EXPECT_EQ(t.S().Parameters().teach[7].cell[0], 1100);  // the parameter set follows
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(t.program.popups.History().empty());
    // The last frame stays what the sensor sent: a manual record after the teach must not
    // write the picked coordinates beside that frame's colour.
    EXPECT_EQ(m.x, 4000);
    EXPECT_EQ(m.y, 4000);
    EXPECT_EQ(m.intensity, 4000);
}

// Frames that lie on the same place of a graph are still frames of their own: the keys
// step through the recording in order and every graph marks the frame stepped onto.
TEST(RecordPanelPoints, KeysStepThroughRepeatedPointsInRecordedOrder) {
    Record t;
    teach::RecordPanel& p = t.panel();
    const std::vector<RecordedPoint> frames = {{1000, 2000, 3000}, {1000, 2000, 3001},
                                               {1000, 2000, 3002}, {1100, 2100, 3100},
                                               {1000, 2000, 3003}, {1000, 2000, 3003}};
    for (const RecordedPoint& f : frames) p.AddPoint(f);
    ui::Graph* xy = t.graph(RecordGraph::XY);
    xy->resize(300, 300);
    xy->ReplotNow();
    QTest::keyClick(xy, Qt::Key_Home);
    EXPECT_EQ(t.Shown(), (Row{1000, 2000, 3000}));
    for (std::size_t n = 1; n < frames.size(); ++n) {
        QTest::keyClick(xy, Qt::Key_Right);
        SCOPED_TRACE(n);
        EXPECT_EQ(t.Shown(), (Row{static_cast<int>(frames[n].x), static_cast<int>(frames[n].y),
                                  static_cast<int>(frames[n].intensity)}));
        EXPECT_EQ(xy->CursorPointIndex(1), static_cast<int>(n));
        // The other graphs mark the same frame, and their keys go on from it.
        EXPECT_EQ(t.graph(RecordGraph::XInt)->CursorPointIndex(1), static_cast<int>(n));
    }
    QTest::keyClick(xy, Qt::Key_Right);  // stays on the last frame
    EXPECT_EQ(xy->CursorPointIndex(1), 5);
    ui::Graph* xInt = t.graph(RecordGraph::XInt);
    xInt->resize(300, 300);
    xInt->ReplotNow();
    for (int back = 4; back >= 0; --back) {
        QTest::keyClick(xInt, Qt::Key_Left);
        EXPECT_EQ(xy->CursorPointIndex(1), back);
    }
    EXPECT_EQ(t.Shown(), (Row{1000, 2000, 3000}));
}

TEST(RecordPanelPoints, ResetAsksThenClearsGraphsAndCounterButNotTheStore) {
    Record t;
    teach::RecordPanel& p = t.panel();
    p.AddPoint({10, 20, 30});
    p.AddPoint({11, 21, 31});
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Reset")->click();
    ASSERT_EQ(t.program.popups.History().size(), 1u);
    EXPECT_EQ(t.program.popups.History()[0].title, "ATTENTION!");
    EXPECT_EQ(t.program.popups.History()[0].text, "Do you really want to reset the table?");
    EXPECT_EQ(t.Counter(), 2);  // No
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Reset")->click();
    EXPECT_EQ(t.Counter(), 0);
    for (RecordGraph g : teach::kRecordGraphs) EXPECT_TRUE(t.points(g).empty());
    EXPECT_EQ(p.Store().At(1), (RecordedPoint{11, 21, 31}));
    // The next recording starts at entry 0 again.
    p.AddPoint({50, 60, 70});
    EXPECT_EQ(p.Store().At(0), (RecordedPoint{50, 60, 70}));
    EXPECT_EQ(t.points(RecordGraph::XY).size(), 1u);
}

TEST(RecordPanelLoop, RecordsTheSimulatedSensorUntilTheStoreIsFull) {
    teach_testing::OnSensor<Record> t;
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    teach::RecordPanel& p = t.panel();
    p.SetCapacity(40);
    t.Control<QPushButton>("MAINP", "ButtonTeachRecVal")->click();

    int loops = 0;
    int frames = 0;  // frames handed to the live loop's consumers: none here
    bool dimmed = false;
    QObject::connect(&t.S(), &session::Session::LoopStarted, &t.S(), [&] {
        ++loops;
        dimmed = ui::IsDimmed(t.Control<QPushButton>("MAINP", "ButtonSend")) &&
                 ui::IsDimmed(t.Control<QPushButton>("TEACHP2", "ButtonTP2Start"));
    });
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] { ++frames; });
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Start")->click();
    EXPECT_EQ(loops, 1);
    EXPECT_TRUE(dimmed);
    EXPECT_EQ(frames, 0);
    EXPECT_FALSE(t.S().App().loopRunning);
    EXPECT_FALSE(ui::IsDimmed(t.Control<QPushButton>("TEACHP2", "ButtonTP2Start")));
    EXPECT_FALSE(ui::IsDimmed(t.Control<QPushButton>("MAINP", "ButtonSend")));
    EXPECT_EQ(t.Counter(), 40);
    ASSERT_EQ(p.Store().Count(), 40u);
    // Each graph holds what the store holds, in order; the last frame is the measured one.
    const auto xy = t.points(RecordGraph::XY);
    const auto yint = t.points(RecordGraph::YInt);
    ASSERT_EQ(xy.size(), 40u);
    for (std::size_t n = 0; n < 40; ++n) {
        const RecordedPoint r = *p.Store().At(n);
        EXPECT_EQ(xy[n], QPointF(r.x, r.y));
        EXPECT_EQ(yint[n], QPointF(r.y, r.intensity));
    }
    EXPECT_EQ(p.Store().At(39)->x, t.S().Measured().x);
    EXPECT_EQ(t.Shown()[2], t.S().Measured().intensity);
    EXPECT_EQ(t.Cursor(RecordGraph::XInt), QPointF(t.S().Measured().x, t.S().Measured().intensity));

    // Start with a full store: no request goes out (one would get an error reply), the run
    // ends at once.
    t.server.Model().Faults().Add(*sim::ParseFault("error:5@8"));
    QString reported;
    QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(),
                     [&](const QString& message) { reported = message; });
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Start")->click();
    EXPECT_TRUE(reported.isEmpty()) << reported.toStdString();
    EXPECT_EQ(loops, 2);
    EXPECT_EQ(t.Counter(), 40);
    EXPECT_TRUE(t.program.popups.History().empty());
}

TEST(RecordPanelLoop, StopEndsARecordingAndTheNextStartAddsToIt) {
    teach_testing::OnSensor<Record> t;
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    teach::RecordPanel& p = t.panel();
    QPushButton* stop = t.program.Control<QPushButton>("MAINP", "ButtonStop");
    t.Control<QPushButton>("MAINP", "ButtonTeachRecVal")->click();

    // STOP is pressed once five points are there; the check runs inside the link's waits.
    QTimer watch;
    watch.setInterval(0);
    auto first5 = QObject::connect(&watch, &QTimer::timeout, [&] {
        if (p.Store().Count() >= 5) stop->click();
    });
    watch.start();
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Start")->click();
    watch.stop();
    QObject::disconnect(first5);
    const std::size_t first = p.Store().Count();
    EXPECT_GE(first, 5u);
    EXPECT_LT(first, 1000u);
    EXPECT_EQ(static_cast<std::size_t>(t.Counter()), first);

    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (p.Store().Count() >= first + 3)
            t.Control<QPushButton>("TEACHP2", "ButtonCloseTP2")->click();  // CLOSE ends it too
    });
    watch.start();
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Start")->click();
    watch.stop();
    EXPECT_GE(p.Store().Count(), first + 3);
    EXPECT_EQ(t.points(RecordGraph::XInt).size(), p.Store().Count());
    EXPECT_FALSE(t.S().App().loopRunning);
}

TEST(RecordPanelLoop, AFrameWithoutMeasuredValuesIsNoPoint) {
    // Error frames have no words: each gave a point copying the previous frame's.
    teach_testing::OnSensor<Record> t;
    teach::RecordPanel& p = t.panel();
    t.Control<QPushButton>("MAINP", "ButtonTeachRecVal")->click();
    t.server.Model().Faults().Add(*sim::ParseFault("error:3@8"));
    const double start = t.server.Now();
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (t.server.Now() > start + 0.2)
            t.program.Control<QPushButton>("MAINP", "ButtonStop")->click();
    });
    watch.start();
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Start")->click();
    EXPECT_EQ(p.Store().Count(), 0u);
    EXPECT_EQ(t.Counter(), 0);
}

TEST(RecordPanelLoop, ALinkFailureEndsTheRecordingAndKeepsItsPoints) {
    teach_testing::OnSensor<Record> t;
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    teach::RecordPanel& p = t.panel();
    // The seventh measurement reply of the recording comes with a bad header checksum.
    t.server.Model().Faults().Add(*sim::ParseFault("badcrc-header@8#7"));
    QString reported;
    QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(),
                     [&](const QString& message) { reported = message; });
    t.Control<QPushButton>("TEACHP2", "ButtonTP2Start")->click();
    EXPECT_FALSE(reported.isEmpty());
    EXPECT_FALSE(t.S().App().loopRunning);
    EXPECT_EQ(p.Store().Count(), 6u);
    EXPECT_EQ(t.Counter(), 6);
    EXPECT_EQ(t.points(RecordGraph::XY).size(), 6u);
    EXPECT_FALSE(ui::IsDimmed(t.Control<QPushButton>("TEACHP2", "ButtonTP2Start")));
}
