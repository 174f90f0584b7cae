// The teach page on the real panel set: TEACH DATA TO with its default tolerances, the
// "No.:" advance and the threshold modes, the context menu over selections, the prompt's
// answers, the reset, and a teach of frames from the simulated sensor.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>

#include "measure/measure_page.h"
#include "sim/server/sim_server.h"
#include "teach_fixture.h"

namespace {

using teach_testing::Row;

struct Teach : teach_testing::TeachProgram {
    explicit Teach(const QString& settings = testing_support::NoSensorSettingsText())
        : TeachProgram(settings) {
        QObject::connect(&S(), &session::Session::TeachTableChanged, &S(), [this] { ++changes; });
    }
    void Modes(std::uint16_t evaluation, std::uint16_t calculation, std::uint16_t power) {
        SetModes(evaluation, calculation, power);
    }
    void Frame(std::uint16_t x, std::uint16_t y, std::uint16_t intensity, std::uint16_t red = 0,
               std::uint16_t green = 0, std::uint16_t blue = 0) {
        session::MeasuredValues m = S().Measured();
        m.x = x;
        m.y = y;
        m.intensity = intensity;
        m.red = red;
        m.green = green;
        m.blue = blue;
        S().SetMeasured(m);
    }
    void Select(int top, int left, int height, int width) {
        Table()->clearSelection();
        Table()->setRangeSelected(
            QTableWidgetSelectionRange(top - 1, left - 1, top + height - 2, left + width - 2),
            true);
    }
    void Choose(int item) { MenuItems().at(item)->trigger(); }
    void TeachTo(int rowNo) {
        Control<QSpinBox>("MAINP", "EditNo")->setValue(rowNo);
        Control<QPushButton>("MAINP", "ButtonTeachDataTo")->click();
    }

    int changes = 0;
};

const Row kOnes{1, 1, 1, 1, 1};

}  // namespace

TEST(TeachDataTo, WritesTheFrameWithTheDefaultTolerancesOfTheModes) {
    Teach t;
    t.Modes(1, 0, 1);  // BEST HIT, X Y INT 2D, DYN
    t.Frame(1500, 1200, 2000);
    t.TeachTo(4);
    EXPECT_EQ(t.Cells(5), (Row{1500, 1200, 200, 2000, 100}));
    EXPECT_EQ(t.Words(5), t.Cells(5));  // the parameter set follows the table
    EXPECT_EQ(t.Cells(4), kOnes);
    EXPECT_EQ(t.Cells(6), kOnes);
    EXPECT_GE(t.changes, 1);

    t.Modes(1, 2, 1);  // the same in X Y INT 3D
    t.TeachTo(4);
    EXPECT_EQ(t.Cells(5), (Row{1500, 1200, 2000, 200, 1}));
    EXPECT_EQ(t.Words(5), t.Cells(5));
    EXPECT_TRUE(t.program.popups.History().empty());
}

TEST(TeachDataTo, ToleranceOffLeavesTheToleranceCellsAndTheMenuShowsTheSetting) {
    Teach t;
    QAction* off = t.MenuItems().at(teach::kMenuToleranceOff);
    QAction* on = t.MenuItems().at(teach::kMenuToleranceOn);
    EXPECT_TRUE(off->isEnabled());
    EXPECT_FALSE(on->isEnabled());

    t.Choose(teach::kMenuToleranceOff);
    EXPECT_TRUE(t.page().ToleranceOff());
    EXPECT_FALSE(off->isEnabled());
    EXPECT_TRUE(on->isEnabled());

    t.Modes(1, 0, 1);
    for (int c = 1; c <= 5; ++c) t.Table()->item(4, c - 1)->setData(Qt::EditRole, 9);
    t.Frame(1500, 1200, 2000);
    t.TeachTo(4);
    EXPECT_EQ(t.Cells(5), (Row{1500, 1200, 9, 2000, 9}));
    t.Modes(1, 3, 1);
    t.Frame(11, 12, 13);
    t.TeachTo(4);
    EXPECT_EQ(t.Cells(5), (Row{11, 12, 13, 2000, 9}));

    t.Choose(teach::kMenuToleranceOn);
    EXPECT_FALSE(t.page().ToleranceOff());
    EXPECT_TRUE(off->isEnabled());
    EXPECT_FALSE(on->isEnabled());
    t.TeachTo(4);
    EXPECT_EQ(t.Cells(5), (Row{11, 12, 13, 200, 1}));
}

TEST(TeachDataTo, AutoIncrementAdvancesTheFieldAndStopsAtThirty) {
    Teach t;
    t.Modes(0, 0, 0);
    t.Control<QSpinBox>("MAINP", "EditNo")
        ->setValue(9);  // the field's commit: the row the charts band
    EXPECT_EQ(t.S().TeachRowNo(), 9);

    t.Control<QCheckBox>("MAINP", "RadioInc")->setChecked(true);
    t.Frame(100, 200, 300);
    t.TeachTo(29);
    EXPECT_EQ(t.Cells(30)[0], 100);
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditNo")->value(), 30);
    t.Frame(101, 201, 301);
    t.Control<QPushButton>("MAINP", "ButtonTeachDataTo")->click();
    EXPECT_EQ(t.Cells(31)[0], 101);
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditNo")->value(), 30);  // stays at the last row
    t.Frame(102, 202, 302);
    t.Control<QPushButton>("MAINP", "ButtonTeachDataTo")->click();
    EXPECT_EQ(t.Cells(31), (Row{102, 202, 100, 302, 100}));  // overwritten
    EXPECT_EQ(t.Cells(30)[0], 100);

    t.Control<QCheckBox>("MAINP", "RadioInc")->setChecked(false);
    t.TeachTo(3);
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditNo")->value(), 3);
}

TEST(TeachDataTo, ThresholdModesTeachVectorsZeroAndOne) {
    Teach t;
    t.Modes(5, 0, 0);  // THD Red Blue
    t.Control<QCheckBox>("MAINP", "RadioInc")->setChecked(true);
    t.Frame(1500, 1200, 2000, 700, 800, 900);
    t.TeachTo(12);
    EXPECT_EQ(t.Cells(1), (Row{700, 1, 1, 1, 1}));
    EXPECT_EQ(t.Cells(2), (Row{900, 1, 1, 1, 1}));
    EXPECT_EQ(t.Cells(13), kOnes);
    EXPECT_EQ(t.Words(1)[0], 700);
    EXPECT_EQ(t.Words(2)[0], 900);
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditNo")->value(), 12);  // no advance
}

TEST(TableMenu, IncrementWalksTheSelectionRowByRow) {
    Teach t;
    t.Table()->item(1, 0)->setData(Qt::EditRole, 100);
    t.changes = 0;  // the edit by hand above; from here the menu's
    t.Select(2, 1, 2, 3);
    t.program.popups.AnswerPrompt(QStringLiteral("10"));
    t.Choose(teach::kMenuIncrementSelection);
    EXPECT_EQ(t.Cells(2), (Row{100, 110, 120, 1, 1}));
    EXPECT_EQ(t.Cells(3), (Row{130, 140, 150, 1, 1}));
    EXPECT_EQ(t.Words(3), t.Cells(3));
    EXPECT_EQ(t.changes, 1);
    const auto& shown = t.program.popups.History();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, ui::ScriptedPopups::Kind::Prompt);
    EXPECT_EQ(shown[0].title, "VALUE!");
    EXPECT_EQ(shown[0].text, "Insert a cell value!");

    // A negative step counts down, wrapping below 0.
    t.Table()->item(4, 0)->setData(Qt::EditRole, 3);
    t.Select(5, 1, 1, 3);
    t.program.popups.AnswerPrompt(QStringLiteral("-5"));
    t.Choose(teach::kMenuIncrementSelection);
    EXPECT_EQ(t.Cells(5), (Row{3, 65534, 65529, 1, 1}));
}

TEST(TableMenu, TheColourColumnIsNeverWrittenAndNeverStartsAWalk) {
    Teach t;
    QTableWidgetItem* colour = t.Table()->item(0, teach::kColorColumn - 1);
    ASSERT_NE(colour, nullptr);
    const QColor background = colour->background().color();
    const QVariant data = colour->data(Qt::EditRole);

    t.Select(1, teach::kColorColumn, 3, 1);
    t.Choose(teach::kMenuIncrementSelection);
    EXPECT_TRUE(t.program.popups.History().empty());  // not even asked
    EXPECT_EQ(t.changes, 0);

    t.Select(1, 4, 2, 3);
    t.program.popups.AnswerPrompt(QStringLiteral("77"));
    t.Choose(teach::kMenuSetSelection);
    EXPECT_EQ(t.Cells(1), (Row{1, 1, 1, 77, 77}));
    EXPECT_EQ(t.Cells(2), (Row{1, 1, 1, 77, 77}));
    EXPECT_EQ(t.Cells(3), kOnes);
    EXPECT_EQ(colour->background().color(), background);
    EXPECT_EQ(colour->data(Qt::EditRole), data);

    t.Choose(teach::kMenuResetSelection);
    EXPECT_EQ(t.Cells(1), kOnes);
    EXPECT_EQ(t.Words(2), kOnes);
    EXPECT_EQ(colour->background().color(), background);

    // Nothing selected: nothing asked, nothing changed.
    t.Table()->clearSelection();
    t.program.popups.Clear();
    const int before = t.changes;
    t.Choose(teach::kMenuSetSelection);
    t.Choose(teach::kMenuResetSelection);
    EXPECT_TRUE(t.program.popups.History().empty());
    EXPECT_EQ(t.changes, before);
}

TEST(TableMenu, AnswersThatAreNoCellValueChangeNothing) {
    Teach t;
    t.Select(1, 1, 2, 2);
    const std::optional<QString> refused[] = {std::nullopt, "",      "abc",       "-5",
                                              "70000",      "65536", "999999999", "x12"};
    for (const auto& answer : refused) {
        t.program.popups.AnswerPrompt(answer);
        t.Choose(teach::kMenuSetSelection);
        EXPECT_EQ(t.Cells(1), kOnes) << answer.value_or("(cancelled)").toStdString();
        EXPECT_EQ(t.Cells(2), kOnes);
    }
    t.program.popups.AnswerPrompt(QStringLiteral("abc"));
    t.Choose(teach::kMenuIncrementSelection);
    EXPECT_EQ(t.Cells(1), kOnes);
    EXPECT_EQ(t.changes, 0);

    t.program.popups.AnswerPrompt(QStringLiteral(" 65535 "));
    t.Choose(teach::kMenuSetSelection);
    EXPECT_EQ(t.Cells(2), (Row{65535, 65535, 1, 1, 1}));
    EXPECT_EQ(t.Words(2)[1], 65535);
    EXPECT_EQ(t.changes, 1);
    // The number an answer begins with counts; the prompt takes nine characters at most.
    t.program.popups.AnswerPrompt(QStringLiteral("4.5"));
    t.Choose(teach::kMenuSetSelection);
    EXPECT_EQ(t.Cells(1), (Row{4, 4, 1, 1, 1}));
    t.program.popups.AnswerPrompt(QStringLiteral("12abc"));
    t.Choose(teach::kMenuSetSelection);
    EXPECT_EQ(t.Cells(2), (Row{12, 12, 1, 1, 1}));
    t.program.popups.AnswerPrompt(QStringLiteral("0000000075"));  // "000000007" is typed
    t.Choose(teach::kMenuSetSelection);
    EXPECT_EQ(t.Cells(1), (Row{7, 7, 1, 1, 1}));
}

TEST(TableMenu, HelpShowsTheOperations) {
    Teach t;
    t.Choose(teach::kMenuHelp);
    const auto& shown = t.program.popups.History();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "INFO!");
    EXPECT_TRUE(shown[0].text.startsWith("Change cell value with a left double click or with F2."));
    EXPECT_TRUE(shown[0].text.endsWith("Tolerance will be set automatically to a default value."));
}

TEST(TeachTable, AnEditByTheUserReachesTheParameterSetAndTheCharts) {
    Teach t;
    t.Table()->item(3, 1)->setData(Qt::EditRole, 555);
    EXPECT_EQ(t.Words(4)[1], 555);
    EXPECT_EQ(t.changes, 1);
}

TEST(TeachTable, ResetAsksFirstThenSetsEveryCellToOne) {
    Teach t;
    t.Modes(1, 0, 0);
    t.Frame(1500, 1200, 2000);
    t.TeachTo(7);
    const Row taught = t.Cells(8);
    t.program.popups.Clear();

    t.Control<QPushButton>("MAINP", "ButtonResetTable")->click();  // answered No
    ASSERT_EQ(t.program.popups.History().size(), 1u);
    EXPECT_EQ(t.program.popups.History()[0].kind, ui::ScriptedPopups::Kind::Confirm);
    EXPECT_EQ(t.program.popups.History()[0].title, "ATTENTION!");
    EXPECT_EQ(t.program.popups.History()[0].text, "Do you really want to reset the table?");
    EXPECT_EQ(t.Cells(8), taught);
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditNo")->value(), 7);

    const int before = t.changes;
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonResetTable")->click();
    for (int row = 1; row <= teach::kTableRows; ++row) {
        EXPECT_EQ(t.Cells(row), kOnes) << row;
        EXPECT_EQ(t.Words(row), kOnes) << row;
    }
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditNo")->value(), 0);
    EXPECT_EQ(t.S().TeachRowNo(), 0);
    EXPECT_EQ(t.changes, before + 1);
}

TEST(TeachDataTo, TakesTheLastFrameOfALiveLoop) {
    teach_testing::OnSensor<Teach> t;
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    int frames = 0;
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] {
        if (++frames >= 3) t.S().StopLoops();
    });
    t.program.Control<QPushButton>("MAINP", "ButtonGo")->click();
    ASSERT_EQ(frames, 3);

    const session::MeasuredValues m = t.S().Measured();
    ASSERT_GT(m.x + m.y + m.intensity, 0);
    const auto calculation = t.S().Parameters().block.calculationMode;
    const auto evaluation = t.S().Parameters().block.evaluationMode;
    ASSERT_LT(evaluation, teach::kFirstThresholdMode);
    t.TeachTo(2);
    const Row row = t.Cells(3);
    EXPECT_EQ(row[0], m.x);
    EXPECT_EQ(row[1], m.y);
    EXPECT_EQ(row[static_cast<std::size_t>(teach::LayoutFor(calculation).intensity - 1)],
              m.intensity);
    EXPECT_EQ(
        row[static_cast<std::size_t>(teach::LayoutFor(calculation).colourTolerance - 1)],
        teach::DefaultTolerances(evaluation, calculation, t.S().Parameters().block.powerMode).colour);
}

TEST(TeachDataTo, InAutomaticColourModeTheRowTakesTheDetectedColour) {
    Teach t;
    t.S().SetAutomaticRowColors(true);  // the table attributes page's colour mode
    t.S().SetCurrentColor(0x12AB34);
    t.Control<QSpinBox>("MAINP", "EditNo")->setValue(6);
    t.Control<QPushButton>("MAINP", "ButtonTeachDataTo")->click();
    EXPECT_EQ(t.S().RowColorTable()[6], 0x12AB34);
    // Manual mode leaves the colours alone.
    t.S().SetAutomaticRowColors(false);
    t.S().SetCurrentColor(0x000001);
    t.Control<QSpinBox>("MAINP", "EditNo")->setValue(7);
    const std::int32_t before = t.S().RowColorTable()[7];
    t.Control<QPushButton>("MAINP", "ButtonTeachDataTo")->click();
    EXPECT_EQ(t.S().RowColorTable()[7], before);
}

// The teach page at the default window size: five-digit values in all five value columns,
// the colour beside them, nothing to scroll sideways, and every button as wide as its text.
TEST(TeachTable, FiveDigitValuesShowUncutAtTheDefaultSize) {
    teach_testing::TeachProgram p;
    p.ApplyModes(1, 0);  // the teach table's page is there only with the colour evaluation on
    ui::SetActiveTabPage(p.program.Control<QTabWidget>("MAINP", "TabMain1"),
                         session::kPageTeachTable);
    ASSERT_EQ(p.program->MainPanel()->size(), QSize(790, 548));
    QTableWidget* table = p.Table();
    for (int c = 1; c <= teach::kValueColumns; ++c)
        table->item(0, c - 1)->setData(Qt::EditRole, 65535);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    ASSERT_TRUE(table->isVisible());
    EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0);
    for (int c = 0; c < teach::kValueColumns; ++c)
        EXPECT_GE(table->visualItemRect(table->item(0, c)).width(),
                  teach_testing::UncutWidth(table, "65535"))
            << "column " << c + 1;
    const int colour = teach::kValueColumns;
    EXPECT_GE(table->columnWidth(colour), 10);
    EXPECT_LE(table->columnViewportPosition(colour) + table->columnWidth(colour),
              table->viewport()->width());
    QWidget* page = ui::PageWidget(p.program.Control<QTabWidget>("MAINP", "TabMain1"),
                                   session::kPageTeachTable);
    for (QPushButton* button : page->findChildren<QPushButton*>()) {
        if (!button->isVisible()) continue;
        EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 4)
            << button->text().toStdString();
    }
}
