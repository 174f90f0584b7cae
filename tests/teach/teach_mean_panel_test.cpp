// The capture-and-mean teach panel on the real panel set: labels by mode, captures and their
// means, the rings at TEACH, undo and reset, a user's edit, and opening and closing it with
// and without a live loop of the simulated sensor.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>

#include "measure/measure_page.h"
#include "params/parameter_panel.h"
#include "sim/server/sim_server.h"
#include "teach_fixture.h"


namespace {

using teach_testing::Row;

struct Mean : teach_testing::TeachProgram {
    using TeachProgram::TeachProgram;
    teach::MeanPanel& panel() { return page().Mean(); }
    void Modes(std::uint16_t evaluation, std::uint16_t calculation) {
        ApplyModes(evaluation, calculation);
    }
    void Capture(std::uint16_t x, std::uint16_t y, std::uint16_t intensity, std::uint16_t red = 0) {
        session::MeasuredValues m = S().Measured();
        m.x = x;
        m.y = y;
        m.intensity = intensity;
        m.red = red;
        S().SetMeasured(m);
        Control<QPushButton>("TEACHP1", "ButtonTP1Capture")->click();
    }
    void ThreeCaptures() {
        Capture(1000, 500, 2000, 10);
        Capture(1010, 500, 2010, 11);
        Capture(1020, 530, 2030, 13);
    }
    Row Values(QTableWidget* table, int row) {
        Row r;
        for (int c = 1; c <= teach::kCaptureColumns; ++c) r.push_back(ui::CellValue(table, row, c));
        return r;
    }
    QString Header(int column) {
        return Control<QTableWidget>("TEACHP1", "GridTP1Values")
            ->horizontalHeaderItem(column - 1)
            ->text();
    }
};

int Number(const QLineEdit* display) {
    return display->text().toInt();
}

}  // namespace

TEST(MeanPanelLabels, FollowTheModesAndTheThresholdModesPutTheMeanTeachOutOfUse) {
    Mean t;
    t.Modes(1, 1);  // s i M 2D
    EXPECT_EQ(t.Header(4), "s");
    EXPECT_EQ(t.Control<QTableWidget>("TEACHP1", "GridTP1Mean")->horizontalHeaderItem(5)->text(),
              "M");
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1MaxDeltaXY")->text(), "d (s/i)");
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1MaxDeltaInt")->text(), "d M");
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1ValueCto")->text(), "VALUE siTO");
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1TeachCtoWith")->text(), "TEACH siTO WITH");
    EXPECT_EQ(t.Control<QComboBox>("TEACHP1", "EditTP1TeachCtoWith")->itemText(2),
              "d (s/i)+VALUE siTO");
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1TeachItoWith")->text(), "TEACH MTO WITH");
    EXPECT_EQ(t.Control<QComboBox>("TEACHP1", "EditTP1TeachItoWith")->itemText(1), "d M");
    EXPECT_TRUE(ui::IsVisible(t.Control<QComboBox>("TEACHP1", "EditTP1TeachItoWith")));
    const QString keep = t.Control<QComboBox>("TEACHP1", "EditTP1TeachCtoWith")->itemText(3);
    EXPECT_FALSE(keep.isEmpty());

    t.Modes(2, 2);  // MIN DIST, X Y INT 3D
    EXPECT_EQ(t.Header(6), "INT");
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1MaxDeltaXY")->text(), "d (X/Y/INT)");
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1MaxDeltaInt")->text(),
              "d M");  // left as it was, and hidden
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1ValueCto")->text(), "VALUE TOL");
    EXPECT_EQ(t.Control<QComboBox>("TEACHP1", "EditTP1TeachCtoWith")->itemText(1), "d (X/Y/INT)");
    EXPECT_EQ(t.Control<QComboBox>("TEACHP1", "EditTP1TeachCtoWith")->itemText(3), keep);
    for (QWidget* w :
         {static_cast<QWidget*>(t.Control<QLineEdit>("TEACHP1", "DispTP1MaxDeltaInt")),
          static_cast<QWidget*>(t.Control<QComboBox>("TEACHP1", "EditTP1TeachItoWith")),
          static_cast<QWidget*>(t.Control<QSpinBox>("TEACHP1", "EditTP1ValueIto")),
          static_cast<QWidget*>(t.Control<QLabel>("TEACHP1", "LabelTP1TeachItoWith"))})
        EXPECT_FALSE(ui::IsVisible(w));
    EXPECT_TRUE(ui::IsDimmed(t.Control<QComboBox>("TEACHP1", "EditTP1TeachCtoWith")));
    EXPECT_TRUE(ui::IsDimmed(t.Control<QSpinBox>("TEACHP1", "EditTP1ValueCto")));

    t.Modes(1, 0);
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1MaxDeltaXY")->text(), "d (X/Y)");
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1MaxDeltaInt")->text(), "d INT");
    EXPECT_EQ(t.Control<QComboBox>("TEACHP1", "EditTP1TeachCtoWith")->itemText(2),
              "d (X/Y)+VALUE CTO");
    EXPECT_EQ(t.Control<QComboBox>("TEACHP1", "EditTP1TeachItoWith")->itemText(2),
              "d INT+VALUE ITO");
    EXPECT_TRUE(ui::IsVisible(t.Control<QSpinBox>("TEACHP1", "EditTP1ValueIto")));
    EXPECT_FALSE(ui::IsDimmed(t.Control<QComboBox>("TEACHP1", "EditTP1TeachCtoWith")));

    // The threshold modes teach into fixed rows: no mean teach, no row number.
    t.page().ApplyTeachPanelLabels(5, 0);
    EXPECT_TRUE(ui::IsDimmed(t.Control<QPushButton>("MAINP", "ButtonTeachMean")));
    EXPECT_FALSE(ui::IsVisible(t.Control<QSpinBox>("MAINP", "EditNo")));
    EXPECT_FALSE(ui::IsVisible(t.Control<QCheckBox>("MAINP", "RadioInc")));
    EXPECT_FALSE(ui::IsVisible(t.Control<QLabel>("MAINP", "LabelNo")));
    t.page().ApplyTeachPanelLabels(0, 9);  // no such calculation mode: the labels stay
    EXPECT_FALSE(ui::IsDimmed(t.Control<QPushButton>("MAINP", "ButtonTeachMean")));
    EXPECT_TRUE(ui::IsVisible(t.Control<QSpinBox>("MAINP", "EditNo")));
    EXPECT_EQ(t.Control<QLabel>("TEACHP1", "LabelTP1MaxDeltaXY")->text(), "d (X/Y)");

    // Help texts on a right-click.
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    QCoreApplication::sendEvent(t.Control<QPushButton>("TEACHP1", "ButtonTP1Undo"), &right);
    ASSERT_FALSE(t.program.popups.History().empty());
    EXPECT_EQ(t.program.popups.History().back().title, "INFO!");
    EXPECT_EQ(t.program.popups.History().back().text, "Remove the last frame from table. ");
    QCoreApplication::sendEvent(t.Control<QPushButton>("MAINP", "ButtonTeachMean"), &right);
    EXPECT_EQ(t.program.popups.History().back().text, "Opens a panel to teach mean values. ");
}

TEST(MeanPanelCapture, ThreeCapturesTheirMeansAndATeachWithFixedValuePlusScatter) {
    Mean t;
    teach::MeanPanel& p = t.panel();
    t.Modes(1, 0);
    t.ThreeCaptures();
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Counter")), 3);
    EXPECT_EQ(t.Values(t.Control<QTableWidget>("TEACHP1", "GridTP1Values"), 3),
              (Row{13, 0, 0, 1020, 530, 2030}));
    EXPECT_EQ(t.Values(t.Control<QTableWidget>("TEACHP1", "GridTP1Mean"), 1),
              (Row{11, 0, 0, 1010, 510, 2013}));
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1MaxDeltaXY")), 22);
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1MaxDeltaInt")), 17);

    ui::SetComboValue(t.Control<QComboBox>("TEACHP1", "EditTP1TeachCtoWith"),
                      teach::kToleranceFixedPlusScatter);
    ui::SetValue(t.Control<QSpinBox>("TEACHP1", "EditTP1ValueCto"), 50);
    ui::SetComboValue(t.Control<QComboBox>("TEACHP1", "EditTP1TeachItoWith"),
                      teach::kToleranceScatter);
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditNo"), 4);
    ui::SetValue(t.Control<QCheckBox>("MAINP", "RadioInc"), true);
    t.page().MenuChosen(teach::kMenuToleranceOff);  // not looked at by this teach
    const std::int32_t colour = t.S().RowColorTable()[4];
    t.S().SetAutomaticRowColors(true);
    t.S().SetCurrentColor(0x123456);
    int changes = 0;
    QObject::connect(&t.S(), &session::Session::TeachTableChanged, &t.S(), [&] { ++changes; });
    t.Control<QPushButton>("TEACHP1", "ButtonTP1Teach")->click();
    EXPECT_EQ(t.Cells(5), (Row{1010, 510, 72, 2013, 17}));
    EXPECT_EQ(t.Words(5), t.Cells(5));  // the parameter set follows
    EXPECT_EQ(t.Cells(4), (Row{1, 1, 1, 1, 1}));
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditNo")->value(), 5);
    EXPECT_EQ(t.S().RowColorTable()[4], colour);  // no row colour
    EXPECT_EQ(changes, 1);

    // MIN DIST teaches 40 whatever the ring says; 3D writes the mean INT into column 3, the
    // tolerance into 4, and leaves column 5.
    t.Modes(2, 0);
    t.Control<QPushButton>("TEACHP1", "ButtonTP1Teach")->click();
    EXPECT_EQ(t.Cells(6), (Row{1010, 510, 40, 2013, 17}));
    t.Modes(1, 2);
    p.ComputeMeans();
    t.Control<QTableWidget>("MAINP", "GridCtt")->item(6, 4)->setData(Qt::EditRole, 9);
    t.Control<QPushButton>("TEACHP1", "ButtonTP1Teach")->click();
    EXPECT_EQ(t.Cells(7), (Row{1010, 510, 2013, 50 + 28, 9}));
    EXPECT_TRUE(t.program.popups.History().empty());
}

TEST(MeanPanelCapture, UndoResetAUserEditAndAFullTable) {
    Mean t;
    teach::MeanPanel& p = t.panel();
    t.Modes(1, 0);
    t.ThreeCaptures();
    t.Control<QPushButton>("TEACHP1", "ButtonTP1Undo")->click();
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Counter")), 2);
    EXPECT_EQ(t.Values(t.Control<QTableWidget>("TEACHP1", "GridTP1Values"), 3),
              (Row{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(t.Values(t.Control<QTableWidget>("TEACHP1", "GridTP1Mean"), 1),
              (Row{10, 0, 0, 1005, 500, 2005}));
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1MaxDeltaXY")), 5);

    // The user types into a cell: the means follow it.
    t.Control<QTableWidget>("TEACHP1", "GridTP1Values")
        ->item(1, teach::kCapX - 1)
        ->setData(Qt::EditRole, 1030);
    EXPECT_EQ(p.Captures().Row(2)[teach::kCapX - 1], 1030);
    EXPECT_EQ(ui::CellValue(t.Control<QTableWidget>("TEACHP1", "GridTP1Mean"), 1, teach::kCapX),
              1015);
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1MaxDeltaXY")), 15);

    // RESET asks first; No keeps the table, Yes clears it. The button is grey again.
    t.Control<QPushButton>("TEACHP1", "ButtonTP1ResetTable")->click();
    ASSERT_EQ(t.program.popups.History().size(), 1u);
    EXPECT_EQ(t.program.popups.History()[0].kind, ui::ScriptedPopups::Kind::Confirm);
    EXPECT_EQ(t.program.popups.History()[0].title, "ATTENTION!");
    EXPECT_EQ(t.program.popups.History()[0].text, "Do you really want to reset the table?");
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Counter")), 2);
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("TEACHP1", "ButtonTP1ResetTable")->click();
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Counter")), 0);
    EXPECT_EQ(t.Values(t.Control<QTableWidget>("TEACHP1", "GridTP1Values"), 1),
              (Row{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(t.Values(t.Control<QTableWidget>("TEACHP1", "GridTP1Mean"), 1),
              (Row{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1MaxDeltaXY")), 0);
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1MaxDeltaInt")), 0);
    EXPECT_TRUE(
        t.Control<QPushButton>("TEACHP1", "ButtonTP1ResetTable")->styleSheet().contains("E0E0E0"));

    // UNDO at nothing captured keeps 0.
    t.Control<QPushButton>("TEACHP1", "ButtonTP1Undo")->click();
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Counter")), 0);

    // 101 captures: 100 rows, the last frame in row 100.
    for (int i = 1; i <= 101; ++i) t.Capture(static_cast<std::uint16_t>(i), 0, 0);
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Counter")), 100);
    EXPECT_EQ(ui::CellValue(t.Control<QTableWidget>("TEACHP1", "GridTP1Values"), 100, teach::kCapX),
              101);
    EXPECT_EQ(ui::CellValue(t.Control<QTableWidget>("TEACHP1", "GridTP1Values"), 99, teach::kCapX),
              99);
    EXPECT_EQ(t.Control<QTableWidget>("TEACHP1", "GridTP1Values")->currentRow(), 99);
}

TEST(MeanPanelLoop, OpeningRunsTheLiveLoopTheColourDisplaysFollowAndCloseEndsIt) {
    teach_testing::OnSensor<Mean> t;
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    teach::MeanPanel& p = t.panel();
    int frames = 0;
    int loops = 0;
    bool sendDimmed = false;
    QObject::connect(&t.S(), &session::Session::LoopStarted, &t.S(), [&] { ++loops; });
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] {
        ++frames;
        if (frames == 2) {
            sendDimmed = ui::IsDimmed(t.Control<QPushButton>("MAINP", "ButtonSend"));
            EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Red")), t.S().Measured().red);
            EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Blue")),
                      t.S().Measured().blue);
            t.Control<QPushButton>("TEACHP1", "ButtonTP1Capture")->click();
            EXPECT_EQ(p.Captures().Row(1)[teach::kCapX - 1], t.S().Measured().x);
            t.Control<QPushButton>("MAINP", "ButtonTeachMean")
                ->click();  // again while its loop runs: only shows the panel
        }
        if (frames == 4) t.Control<QPushButton>("TEACHP1", "ButtonCloseTeachPanel")->click();
        if (frames > 100) t.S().StopLoops();  // a close that never comes
    });
    t.Control<QPushButton>("MAINP", "ButtonTeachMean")->click();
    EXPECT_EQ(frames, 4);
    EXPECT_EQ(loops, 1);
    EXPECT_TRUE(sendDimmed);  // SEND and GET wait for the end of this loop
    EXPECT_FALSE(ui::IsDimmed(t.Control<QPushButton>("MAINP", "ButtonSend")));
    EXPECT_FALSE(t.S().App().loopRunning);
    EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Counter")), 1);
    EXPECT_TRUE(t.program->Panel("DATAP")->isVisible());
    EXPECT_FALSE(t.program->Panel("TEACHP1")->isVisible());
}

TEST(MeanPanelLoop, OpenedDuringGoItStartsNoSecondLoopAndCloseEndsGo) {
    teach_testing::OnSensor<Mean> t;
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    int frames = 0;
    int loops = 0;
    bool shown = false;
    QObject::connect(&t.S(), &session::Session::LoopStarted, &t.S(), [&] { ++loops; });
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] {
        ++frames;
        if (frames == 2) {
            t.Control<QPushButton>("MAINP", "ButtonTeachMean")->click();
            shown = t.program->Panel("TEACHP1")->isVisible();
        }
        if (frames == 3) {
            EXPECT_EQ(Number(t.Control<QLineEdit>("TEACHP1", "DispTP1Green")),
                      t.S().Measured().green);
        }
        if (frames == 5) t.Control<QPushButton>("TEACHP1", "ButtonCloseTeachPanel")->click();
        if (frames > 100) t.S().StopLoops();
    });
    t.program.Control<QPushButton>("MAINP", "ButtonGo")->click();
    EXPECT_TRUE(shown);
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(frames, 5);
    EXPECT_TRUE(t.program->Panel("DATAP")->isVisible());
}

// At the default window size all six columns show side by side (Y and INT, the values taught,
// included) with five-digit values uncut, in both tables.
TEST(MeanPanelLayout, EveryColumnShowsWithoutScrollingSideways) {
    Mean p;
    p.program->ShowChildPanel(p.program->Panel("TEACHP1"));
    ASSERT_EQ(p.program->MainPanel()->size(), QSize(790, 548));
    ui::SetCell(p.Control<QTableWidget>("TEACHP1", "GridTP1Values"), 1, 6, 65535);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    for (QTableWidget* table : {p.Control<QTableWidget>("TEACHP1", "GridTP1Values"),
                                p.Control<QTableWidget>("TEACHP1", "GridTP1Mean")}) {
        ASSERT_TRUE(table->isVisible());
        EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0) << table->objectName().toStdString();
        for (int c = 0; c < table->columnCount(); ++c) {
            EXPECT_LE(table->columnViewportPosition(c) + table->columnWidth(c),
                      table->viewport()->width());
            EXPECT_GE(table->columnWidth(c), teach_testing::UncutWidth(table, "65535"));
        }
    }
    // More than a handful of captures in view.
    EXPECT_GE(
        p.Control<QTableWidget>("TEACHP1", "GridTP1Values")
            ->rowAt(p.Control<QTableWidget>("TEACHP1", "GridTP1Values")->viewport()->height() - 1),
        8);
}
