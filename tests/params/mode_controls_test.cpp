// The mode rules on the real parameter page: forced values in the controls, what is shown
// and operable, labels and colours, the messages and what the session is told.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "params/parameter_panel.h"
#include "params_core/parameter_set.h"
#include "program_fixture.h"

using testing_support::TestProgram;

namespace {

constexpr const char* kAnalogText =
    "ATTENTION! \nIf DIGITAL OUTMODE and ANALOG OUTMODE are enabled, \neither X Y INT or s i M "
    "can be calculated. \nANALOG OUTMODE will be set depending of CALCULATION MODE.";
constexpr const char* kMaxColText =
    "ATTENTION! \n\nMAXCOL-No. is too high. \n\nIf color group is disabled and OUMODE=DIRECT LO "
    "or \nDIRECT HI, the maximum number is 2. \nIf OUTMODE=BINARY, the maximum number is 3. "
    "\n\nIf color group is enabled, the maximum number is 31. \n\nMAXCOL-No. will be set to "
    "maximum value.";
constexpr const char* kGroupText =
    "ATTENTION! \nIf OUTMODE=DIRECT HI or DIRECT LO: \n2 groups are possible! GROUP 0 and 1. "
    "\nIf OUTMODE=BINARY: \n3 groups are possible. GROUP 0,1,2. \n\n Cell will be set to 0.";

constexpr QRgb kGreen = 0x008000;
constexpr QRgb kRed = 0xFF0000;
constexpr QRgb kWhite = 0xFFFFFF;

// A set with the digital outputs on and nothing that the rules would correct.
params::ParameterSet Evaluating() {
    params::ParameterSet set;
    set.block.digitalOutMode = 1;
    set.block.evaluationMode = 1;
    set.block.analogOutMode = 1;
    set.block.maxVecNo = 2;
    return set;
}

struct Page {
    Page() {
        program->StartUp();
        program.popups.Clear();
    }
    params::ParameterPanel& panel() { return program.Page<params::ParameterPanel>(); }
    session::Session& S() { return program.Session(); }
    QTabWidget* tabs() { return program.Control<QTabWidget>("MAINP", "TabMain1"); }
    QWidget* control(std::size_t word) {
        const char* name = params::WordControlName(word);
        return name ? program.Control("MAINP", name) : nullptr;
    }
    QComboBox* combo(std::size_t word) { return qobject_cast<QComboBox*>(control(word)); }

    // What GET or a file load does.
    void Load(const params::ParameterSet& set) { S().SetParameters(set); }
    // The user picks a value from a selector.
    void Choose(std::size_t word, int value) {
        QComboBox* c = combo(word);
        ASSERT_GE(c->findData(value), 0) << word << ' ' << value;
        c->setCurrentIndex(c->findData(value));
        emit c->activated(c->currentIndex());
    }
    // The mode rules once more over the model as it stands.
    void RunRulesAgain() {
        S().EditParameters([](params::ParameterModel& m) { return m.SetTeachCells({}); });
    }
    std::uint16_t Word(std::size_t word) { return S().Parameters().block[word]; }
    int Group(int row) {
        return ui::CellValue(program.Control<QTableWidget>("MAINP", "EditGridGroups"), row, 1);
    }
    QStringList Messages() { return program.popups.Messages(); }

    TestProgram program{testing_support::NoSensorSettingsText()};
};

QRgb RowLabel(QTableWidget* table, int row) {
    const QTableWidgetItem* label = table->verticalHeaderItem(row - 1);
    return label ? label->background().color().rgb() & 0xFFFFFF : 0;
}

QRgb CellColor(QTableWidget* table, int row, int column) {
    const QTableWidgetItem* cell = table->item(row - 1, column - 1);
    return cell ? cell->background().color().rgb() & 0xFFFFFF : 0;
}

bool FormLabelVisible(QWidget* control) {
    auto* form = qobject_cast<QFormLayout*>(control->parentWidget()->layout());
    return form && form->labelForField(control) && !form->labelForField(control)->isHidden();
}

QStringList Items(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

// Everything the rules may touch on the page, for comparing two runs.
QString Snapshot(Page& t) {
    QStringList s;
    for (std::size_t w = 0; w < params::kBlockWords; ++w) {
        s << QString::number(t.S().Parameters().block[w]);
        if (QWidget* c = t.control(w)) s << QString("%1%2").arg(c->isEnabled()).arg(c->isHidden());
    }
    s << QString("%1%2")
             .arg(t.program.Control<QSlider>("MAINP", "SlidePower")->isEnabled())
             .arg(t.program.Control<QSpinBox>("MAINP", "NumPower")->isEnabled());
    s << Items(t.combo(params::kTrigger));
    for (QWidget* w :
         {static_cast<QWidget*>(t.program.Control<QCheckBox>("MAINP", "EditColorGroups")),
          static_cast<QWidget*>(t.program.Control<QTableWidget>("MAINP", "EditGridGroups")),
          static_cast<QWidget*>(t.program.Control<QPushButton>("MAINP", "ButtonResetGroupTable")),
          static_cast<QWidget*>(t.program.Control<QPushButton>("MAINP", "SelectParaSet0")),
          static_cast<QWidget*>(t.program.Control<QPushButton>("MAINP", "SelectParaSet1"))})
        s << QString::number(w->isEnabled());
    s << QString("%1%2%3")
             .arg(t.program.Control<QPushButton>("MAINP", "SelectParaSet0")->isChecked())
             .arg(t.program.Control<QPushButton>("MAINP", "SelectParaSet1")->isChecked())
             .arg(t.S().Transfer().set);
    for (int c = 0; c < params::kTeachColumns; ++c)
        s << t.program.Control<QTableWidget>("MAINP", "GridCtt")->horizontalHeaderItem(c)->text()
          << QString::number(
                 t.program.Control<QTableWidget>("MAINP", "GridCtt")->isColumnHidden(c));
    for (int r = 1; r <= 31; ++r) {
        s << QString::number(RowLabel(t.program.Control<QTableWidget>("MAINP", "GridCtt"), r))
          << QString::number(
                 RowLabel(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), r))
          << QString::number(
                 CellColor(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), r, 1));
        for (int c = 1; c <= 5; ++c)
            s << QString::number(
                ui::CellValue(t.program.Control<QTableWidget>("MAINP", "GridCtt"), r, c));
    }
    for (int r = 1; r <= 32; ++r)
        s << QString::number(RowLabel(t.program.Control<QTableWidget>("MAINP", "EditGridHold"), r));
    s << QString("%1%2%3")
             .arg(ui::TabPageVisible(t.tabs(), session::kPageGroupHold))
             .arg(ui::TabPageVisible(t.tabs(), session::kPageTeachTable))
             .arg(ui::ActiveTabPage(t.tabs()));
    return s.join(',');
}

TEST(ModeControls, RunningTwiceGivesTheSamePanel) {
    // Sets that make the rules correct something, each with its messages.
    std::vector<params::ParameterSet> sets;
    sets.push_back(Evaluating());
    auto& analog = sets.emplace_back(Evaluating());
    analog.block.analogOutMode = 5;  // siM REF against X Y INT
    analog.block.maxVecNo = 3;
    auto& groups = sets.emplace_back(Evaluating());
    groups.block.colorGroup = 1;
    groups.teach[4].group = 2;
    auto& teach = sets.emplace_back(Evaluating());
    teach.block.externTeach = 2;  // STAT1, but EXT1 takes the teach input
    teach.block.trigger = 2;
    auto& threshold = sets.emplace_back(Evaluating());
    threshold.block.evaluationMode = 5;
    threshold.block.calculationMode = 3;
    auto& off = sets.emplace_back(Evaluating());
    off.block.digitalOutMode = 0;
    off.block.ledMode = 2;
    off.block.externTeach = 3;

    for (const auto& set : sets) {
        Page t;
        t.Load(set);
        const QString first = Snapshot(t);
        const qsizetype shown = t.Messages().size();
        t.RunRulesAgain();
        EXPECT_EQ(Snapshot(t), first);
        EXPECT_EQ(t.Messages().size(), shown) << "a second run repeats no message";
    }
}

TEST(ModeControls, WithoutDigitalOutputsTheEvaluationGoesAway) {
    Page t;
    params::ParameterSet set = Evaluating();
    set.block.digitalOutMode = 2;
    set.block.maxVecNo = 3;
    set.block.externTeach = 1;
    set.block.trigger = 1;
    t.Load(set);
    ui::SetActiveTabPage(t.tabs(), session::kPageTeachTable);
    ASSERT_EQ(Items(t.combo(params::kTrigger)), (QStringList{"CONT", "SELF"}));

    t.Choose(params::kDigitalOutMode, 0);
    EXPECT_FALSE(ui::TabPageVisible(t.tabs(), session::kPageGroupHold));
    EXPECT_FALSE(ui::TabPageVisible(t.tabs(), session::kPageTeachTable));
    EXPECT_EQ(ui::ActiveTabPage(t.tabs()), session::kPageParameter);  // not a vanished page
    EXPECT_EQ(t.Word(params::kTrigger), 0);
    EXPECT_EQ(t.Word(params::kExternTeach), 0);
    for (std::size_t w : {params::kMaxVecNo, params::kIntLim, params::kEvaluationMode,
                          params::kCalculationMode, params::kExternTeach, params::kTrigger}) {
        EXPECT_FALSE(ui::IsVisible(t.control(w))) << params::kParameters[w].label;
        EXPECT_FALSE(FormLabelVisible(t.control(w))) << params::kParameters[w].label;
    }
    // The evaluation steps did not run: row colours and the trigger list stay as they were.
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "GridCtt"), 3), kGreen);
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "GridCtt"), 4), kRed);
    EXPECT_EQ(t.combo(params::kTrigger)->count(), 2);

    t.Choose(params::kDigitalOutMode, 1);
    EXPECT_TRUE(ui::TabPageVisible(t.tabs(), session::kPageGroupHold));
    EXPECT_TRUE(ui::TabPageVisible(t.tabs(), session::kPageTeachTable));
    EXPECT_TRUE(ui::IsVisible(t.control(params::kTrigger)));
    EXPECT_TRUE(FormLabelVisible(t.control(params::kTrigger)));
    EXPECT_EQ(Items(t.combo(params::kTrigger)),
              (QStringList{"CONT", "SELF", "EXT1", "EXT2", "EXT3", "TRANS", "PARA"}));
    EXPECT_EQ(t.Word(params::kMaxVecNo), 2);  // DIRECT outputs: at most 2
    EXPECT_EQ(t.Messages(), QStringList{kMaxColText});
}

TEST(ModeControls, MaxVecNoAboveWhatTheOutputsSignal) {
    Page t;
    t.Load(Evaluating());
    ui::SetActiveTabPage(t.tabs(), session::kPageRecorder);
    qobject_cast<QSpinBox*>(t.control(params::kMaxVecNo))->setValue(3);  // the user types 3
    EXPECT_EQ(t.Word(params::kMaxVecNo), 2);
    ASSERT_EQ(t.program.popups.History().size(), 1u);
    EXPECT_EQ(t.program.popups.History()[0].title, "INFO!");
    EXPECT_EQ(t.program.popups.History()[0].text, kMaxColText);
    EXPECT_EQ(ui::ActiveTabPage(t.tabs()), session::kPageParameter);
    EXPECT_EQ(t.S().Modes().maxVecNo, 2);

    // Rows 1 and 2 active; the hold table counts HOLD FAIL with them.
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "GridCtt"), 2), kGreen);
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "GridCtt"), 3), kRed);
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), 2), kGreen);
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), 31), kRed);
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "EditGridHold"), 1), kGreen);
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "EditGridHold"), 3), kGreen);
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "EditGridHold"), 4), kRed);
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "EditGridHold"), 32), kRed);

    // BINARY outputs take three rows; with colour groups all 31.
    t.program.popups.Clear();
    params::ParameterSet set = Evaluating();
    set.block.digitalOutMode = 2;
    set.block.maxVecNo = 3;
    t.Load(set);
    EXPECT_EQ(t.Word(params::kMaxVecNo), 3);
    set.block.colorGroup = 1;
    set.block.maxVecNo = 31;
    t.Load(set);
    EXPECT_EQ(t.Word(params::kMaxVecNo), 31);
    EXPECT_EQ(RowLabel(t.program.Control<QTableWidget>("MAINP", "EditGridHold"), 32), kGreen);
    EXPECT_TRUE(t.Messages().isEmpty());
}

TEST(ModeControls, GroupNumbersAboveWhatTheOutputsSignal) {
    Page t;
    params::ParameterSet set = Evaluating();
    set.block.colorGroup = 1;
    set.teach[9].group = 1;
    t.Load(set);
    ui::SetActiveTabPage(t.tabs(), session::kPageParameter);

    // The user types 2 into row 5, with DIRECT outputs.
    t.program.Control<QTableWidget>("MAINP", "EditGridGroups")
        ->item(4, 0)
        ->setData(Qt::EditRole, 2);
    EXPECT_EQ(t.Group(5), 0);
    EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), 5, 1), kRed);
    EXPECT_EQ(t.Group(10), 1);
    EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), 10, 1), kWhite);
    EXPECT_EQ(t.Messages(), QStringList{kGroupText});
    EXPECT_EQ(ui::ActiveTabPage(t.tabs()), session::kPageGroupHold);

    // Several cells at once: one message after all rows were checked.
    t.program.popups.Clear();
    set.teach[0].group = 2;
    set.teach[30].group = 7;
    t.Load(set);
    EXPECT_EQ(t.Group(1), 0);
    EXPECT_EQ(t.Group(31), 0);
    EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), 31, 1), kRed);
    EXPECT_EQ(t.Messages(), QStringList{kGroupText});

    // The mark stays while the cell keeps its 0, and goes when the user types a number.
    t.RunRulesAgain();
    EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), 31, 1), kRed);
    t.program.Control<QTableWidget>("MAINP", "EditGridGroups")
        ->item(30, 0)
        ->setData(Qt::EditRole, 1);
    EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), 31, 1), kWhite);
    EXPECT_EQ(t.Messages().size(), 1);

    // BINARY outputs signal groups 0 to 2.
    set.block.digitalOutMode = 2;
    set.teach[0].group = 2;
    set.teach[1].group = 3;
    t.Load(set);
    EXPECT_EQ(t.Group(1), 2);
    EXPECT_EQ(t.Group(2), 0);
}

TEST(ModeControls, Col2AndThresholdModesForceTheirValues) {
    Page t;
    params::ParameterSet set = Evaluating();
    set.block.colorGroup = 1;
    set.block.maxVecNo = 7;
    set.block.intLim = 300;
    set.block.calculationMode = 2;
    t.Load(set);

    t.Choose(params::kEvaluationMode, 3);  // COL2
    EXPECT_FALSE(t.program.Control<QCheckBox>("MAINP", "EditColorGroups")->isChecked());
    EXPECT_EQ(t.Word(params::kColorGroup), 0);
    EXPECT_EQ(t.Word(params::kMaxVecNo), 2);
    EXPECT_EQ(t.Word(params::kDigitalOutMode), 2);
    EXPECT_EQ(t.Word(params::kIntLim), 300);
    EXPECT_EQ(t.Word(params::kCalculationMode), 2);
    EXPECT_FALSE(t.program.Control<QCheckBox>("MAINP", "EditColorGroups")->isEnabled());
    EXPECT_FALSE(t.program.Control<QTableWidget>("MAINP", "EditGridGroups")->isEnabled());
    EXPECT_FALSE(t.program.Control<QPushButton>("MAINP", "ButtonResetGroupTable")->isEnabled());
    EXPECT_FALSE(t.control(params::kMaxVecNo)->isEnabled());
    EXPECT_TRUE(t.control(params::kIntLim)->isEnabled());
    EXPECT_TRUE(t.control(params::kCalculationMode)->isEnabled());
    EXPECT_TRUE(t.Messages().isEmpty());

    t.Choose(params::kEvaluationMode, 4);  // THD Red Green
    EXPECT_EQ(t.Word(params::kIntLim), 0);
    EXPECT_FALSE(t.control(params::kIntLim)->isEnabled());
    EXPECT_FALSE(t.control(params::kCalculationMode)->isEnabled());
    EXPECT_FALSE(t.control(params::kTrigger)->isEnabled());
    EXPECT_EQ(t.program.Control<QTableWidget>("MAINP", "GridCtt")->horizontalHeaderItem(0)->text(),
              "THD");
    for (int c = 1; c < params::kTeachColumns; ++c)
        EXPECT_EQ(
            t.program.Control<QTableWidget>("MAINP", "GridCtt")->horizontalHeaderItem(c)->text(),
            "");

    t.Choose(params::kEvaluationMode, 0);
    EXPECT_TRUE(t.program.Control<QCheckBox>("MAINP", "EditColorGroups")->isEnabled());
    EXPECT_TRUE(t.control(params::kMaxVecNo)->isEnabled());
    EXPECT_TRUE(t.control(params::kCalculationMode)->isEnabled());
    EXPECT_TRUE(t.control(params::kTrigger)->isEnabled());
    EXPECT_EQ(t.program.Control<QTableWidget>("MAINP", "GridCtt")->horizontalHeaderItem(2)->text(),
              "CTO");
}

TEST(ModeControls, TeachTableColumnsFollowTheModes) {
    Page t;
    t.Load(Evaluating());
    const QStringList expected[4] = {
        {"X", "Y", "CTO", "INT", "ITO"},
        {"s", "i", "siTO", "M", "MTO"},
        {"X", "Y", "INT", "TOL", ""},
        {"s", "i", "M", "TOL", ""},
    };
    for (int calc : {1, 2, 3, 0}) {
        t.Choose(params::kCalculationMode, calc);
        QStringList labels;
        for (int c = 0; c < params::kTeachColumns; ++c)
            labels << t.program.Control<QTableWidget>("MAINP", "GridCtt")
                          ->horizontalHeaderItem(c)
                          ->text();
        EXPECT_EQ(labels, expected[calc]) << calc;
    }
    // MIN DIST has no use for the colour tolerance.
    t.Choose(params::kEvaluationMode, 2);
    EXPECT_TRUE(t.program.Control<QTableWidget>("MAINP", "GridCtt")->isColumnHidden(2));
    EXPECT_FALSE(t.program.Control<QTableWidget>("MAINP", "GridCtt")->isColumnHidden(3));
    t.Choose(params::kCalculationMode, 3);
    EXPECT_FALSE(t.program.Control<QTableWidget>("MAINP", "GridCtt")->isColumnHidden(2));
    EXPECT_TRUE(t.program.Control<QTableWidget>("MAINP", "GridCtt")->isColumnHidden(3));
    t.Choose(params::kEvaluationMode, 1);
    EXPECT_FALSE(t.program.Control<QTableWidget>("MAINP", "GridCtt")->isColumnHidden(3));
}

TEST(ModeControls, ForcedCalculationModeTakesTheTeachCellsAlong) {
    Page t;
    params::ParameterSet set = Evaluating();
    set.block.analogOutMode = 2;
    set.block.calculationMode = 2;
    set.teach[3].cell = {1200, 1300, 2000, 150, 1};  // X, Y, INT, TOL
    t.Load(set);
    auto cells = [&] {
        std::array<int, 5> c{};
        for (int i = 0; i < 5; ++i)
            c[static_cast<std::size_t>(i)] =
                ui::CellValue(t.program.Control<QTableWidget>("MAINP", "GridCtt"), 4, i + 1);
        return c;
    };
    int changes = 0;
    QObject::connect(&t.S(), &session::Session::TeachTableChanged, [&] { ++changes; });

    // A threshold mode calculates in 2D: the cells are rearranged, as a change by hand does.
    t.Choose(params::kEvaluationMode, 4);
    EXPECT_EQ(t.Word(params::kCalculationMode), 0);
    EXPECT_EQ(cells(), (std::array<int, 5>{1200, 1300, 150, 2000, 150}));
    EXPECT_EQ(changes, 1);

    t.Choose(params::kEvaluationMode, 1);
    t.Choose(params::kCalculationMode, 2);
    EXPECT_EQ(cells(), (std::array<int, 5>{1200, 1300, 2000, 150, 1}));
    EXPECT_EQ(changes, 2);
}

TEST(ModeControls, LedOffTakesThePowerAndDynamicTeachingAway) {
    Page t;
    params::ParameterSet set = Evaluating();
    set.block.externTeach = 3;  // DYN1
    set.block.power = 800;
    t.Load(set);
    t.Choose(params::kLedMode, 2);
    EXPECT_EQ(t.Word(params::kExternTeach), 0);
    EXPECT_EQ(t.program.Control<QSlider>("MAINP", "SlidePower")->value(), 0);
    EXPECT_EQ(t.program.Control<QSpinBox>("MAINP", "NumPower")->value(), 0);
    EXPECT_FALSE(t.program.Control<QSlider>("MAINP", "SlidePower")->isEnabled());
    EXPECT_FALSE(t.program.Control<QSpinBox>("MAINP", "NumPower")->isEnabled());
    EXPECT_FALSE(t.control(params::kPowerMode)->isEnabled());
    EXPECT_FALSE(t.control(params::kDynWinHi)->isEnabled());
}

TEST(ModeControls, TriggerDecidesTeachingAndTheParameterSet) {
    Page t;
    params::ParameterSet set = Evaluating();
    set.block.trigger = 6;  // PARA
    t.Load(set);
    t.program.Control<QPushButton>("MAINP", "SelectParaSet1")->click();
    EXPECT_EQ(t.S().Transfer().set, 1);

    t.Choose(params::kTrigger, 1);  // SELF
    EXPECT_EQ(t.S().Transfer().set, 0);
    EXPECT_TRUE(t.program.Control<QPushButton>("MAINP", "SelectParaSet0")->isChecked());
    EXPECT_FALSE(t.program.Control<QPushButton>("MAINP", "SelectParaSet1")->isChecked());
    EXPECT_FALSE(t.program.Control<QPushButton>("MAINP", "SelectParaSet1")->isEnabled());

    t.Choose(params::kExternTeach, 1);  // ON: the teach input is taken
    EXPECT_EQ(Items(t.combo(params::kTrigger)), (QStringList{"CONT", "SELF"}));
    EXPECT_EQ(t.Word(params::kTrigger), 1);
    t.Choose(params::kExternTeach, 0);
    EXPECT_EQ(t.combo(params::kTrigger)->count(), 7);
}

TEST(ModeControls, ModesChangedCarriesTheFinalWords) {
    Page t;
    std::vector<session::ModeView> seen;
    QObject::connect(&t.S(), &session::Session::ModesChanged, [&] { seen.push_back(t.S().Modes()); });
    params::ParameterSet set = Evaluating();
    set.block.analogOutMode = 5;  // siM REF, but the evaluation calculates X Y INT
    set.block.analogOut = 1;
    set.block.evaluationMode = 3;  // COL2
    set.block.colorGroup = 1;
    set.block.trigger = 1;
    t.Load(set);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(t.Messages(), QStringList{kAnalogText});
    const session::ModeView& v = seen[0];
    EXPECT_EQ(v.analogOutMode, 2);
    EXPECT_EQ(v.analogOut, 0);
    EXPECT_EQ(v.digitalOutMode, 2);
    EXPECT_EQ(v.evaluationMode, 3);
    EXPECT_EQ(v.calculationMode, 0);
    EXPECT_EQ(v.colorGroup, 0);
    EXPECT_EQ(v.maxVecNo, 2);
    EXPECT_EQ(v.trigger, 0);  // siM REF fixed it before the output was corrected
    EXPECT_EQ(v.externTeach, 0);
    // The controls say the same.
    for (auto [word, value] : {std::pair{params::kAnalogOutMode, v.analogOutMode},
                               {params::kAnalogOut, v.analogOut},
                               {params::kDigitalOutMode, v.digitalOutMode},
                               {params::kColorGroup, v.colorGroup},
                               {params::kMaxVecNo, v.maxVecNo}})
        EXPECT_EQ(t.Word(word), value) << params::kParameters[word].label;
    EXPECT_FALSE(ui::IsVisible(t.control(params::kAnalogZoom)));
    EXPECT_TRUE(ui::IsVisible(t.control(params::kAnalogOut)));
}

TEST(ModeControls, IndicatorColumnsShowTheRowColours) {
    Page t;
    // Start-up sets off the teach rows beyond the third.
    EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "GridCtt"), 4, 1), 0xE0E0E0u);
    EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "GridCtt"), 31, 5), 0xE0E0E0u);
    EXPECT_NE(CellColor(t.program.Control<QTableWidget>("MAINP", "GridCtt"), 3, 1), 0xE0E0E0u);

    session::RowColors colors{};
    for (std::size_t i = 0; i < colors.size(); ++i)
        colors[i] = static_cast<std::int32_t>(0x010203 * (i + 1));
    t.S().SetRowColors(colors);
    for (int i : {0, 17, 30}) {
        const QRgb rgb = static_cast<QRgb>(colors[static_cast<std::size_t>(i)]);
        EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "GridCtt"), i + 1, 6), rgb)
            << i;
        EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "EditGridGroups"), i + 1, 2),
                  rgb)
            << i;
        EXPECT_EQ(CellColor(t.program.Control<QTableWidget>("MAINP", "EditGridHold"), i + 2, 2),
                  rgb)
            << i;
    }
    EXPECT_TRUE(t.Messages().isEmpty());  // painting is no edit of the group table
}

}  // namespace
