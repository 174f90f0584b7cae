#include "params/parameter_panel.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "params/parameter_file.h"
#include "params/texts.h"
#include "ui/controls.h"
#include "ui/panel_set.h"

namespace params {

namespace {

using ui::Text;

struct WordControl {
    std::size_t word;
    const char* control;   // object name in the panel set; nullptr: the hold table
    const char* callback;  // callback name, also the key of its help text
    bool modeControl;      // a commit re-runs the mode rules
};

// In word order, as ReadControls and WriteControls walk them.
constexpr WordControl kWordControls[kBlockWords] = {
    {kPower, "SlidePower", "CBF_SlidePower", false},
    {kPowerMode, "EditPmode", "CBF_EditPmode", true},
    {kAverage, "EditAverage", "CBF_EditAverage", false},
    {kEvaluationMode, "EditEvalmode", "CBF_EditEvalmode", true},
    {kHoldFail, nullptr, "CBF_EditGridHold", false},
    {kIntLim, "EditIntlim", "CBF_EditIntlim", false},
    {kMaxVecNo, "EditVMaxVecNo", "CBF_EditVMaxVecNo", true},
    {kDigitalOutMode, "EditDigOutmode", "CBF_EditDigOutmode", true},
    {kTrigger, "EditTrigger", "CBF_EditTrigger", true},
    {kExternTeach, "EditExteach", "CBF_EditExteach", true},
    {kCalculationMode, "EditCalcmode", "CBF_EditCalcmode", false},
    {kDynWinLo, "EditDynWinLo", "CBF_EditDynWinLoHi", false},
    {kDynWinHi, "EditDynWinHi", "CBF_EditDynWinLoHi", false},
    {kColorGroup, "EditColorGroups", "CBF_EditColorGroups", true},
    {kLedMode, "EditLedMode", "CBF_EditLedMode", true},
    {kGain, "EditGain", "CBF_EditGain", false},
    {kIntegral, "EditIntegral", "CBF_EditIntegral", false},
    {kAnalogOutMode, "EditAnaOutmode", "CBF_EditAnaOutmode", true},
    {kAnalogOut, "EditAnaOut", "CBF_EditAnaOut", true},
    {kAnalogZoom, "EditAnaZoom", "CBF_EditAnaZoom", false},
};

using session::TransferTarget;
using P = ParameterPanel;
using ui::Field;

// What a control offers the user to type; values from the sensor or a file may lie outside
// and are shown as they are.
template <class Control>  // a slider or a spin box
void ShowExactly(Control* control, int min, int max, int value) {
    QSignalBlocker block(control);
    control->setRange(std::min(min, value), std::max(max, value));
    control->setValue(value);
}

// Colours of the row labels and cells, 0xRRGGBB.
constexpr QRgb kActiveRow = 0x008000;
constexpr QRgb kInactiveRow = 0xFF0000;
constexpr QRgb kGroupMarked = 0xFF0000;
constexpr QRgb kGroupAllowed = 0xFFFFFF;
constexpr QRgb kSpareTeachRows = 0xE0E0E0;
constexpr int kFirstSpareTeachRow = 4;

// The cell at 1-based row and column, made if the table has none there yet.
QTableWidgetItem* Cell(QTableWidget* table, int row, int column) {
    QTableWidgetItem* item = table->item(row - 1, column - 1);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(row - 1, column - 1, item);
    }
    return item;
}

// Colours never count as an edit: the table's value-changed callback stays silent.
void SetCellColor(QTableWidget* table, int row, int column, QRgb rgb) {
    QSignalBlocker block(table);
    Cell(table, row, column)->setBackground(QColor(rgb));
}

void SetRowLabelColor(QTableWidget* table, int row, QRgb rgb) {
    QSignalBlocker block(table);
    QTableWidgetItem* label = table->verticalHeaderItem(row - 1);
    if (!label) {
        label = new QTableWidgetItem(table->model()->headerData(row - 1, Qt::Vertical).toString());
        table->setVerticalHeaderItem(row - 1, label);
    }
    label->setBackground(QColor(rgb));
}

// A check box shows on or off; the word it came from is kept beside it, so a GET followed
// by a SEND gives the sensor back what it had unless the user clicked the box.
constexpr const char* kRawWord = "veloraxRawWord";

}  // namespace

const char* WordControlName(std::size_t word) {
    return word < kBlockWords ? kWordControls[word].control : nullptr;
}

// The controls that are not words of the parameter block.
const ui::ControlRow<P> P::kControls[] = {
    {"MAINP", "NumPower", Field<&P::powerNumber>(), "CBF_SlidePower", nullptr, nullptr,
     "POWER value"},
    {"MAINP", "EditGridGroups", Field<&P::groupTable>(), "CBF_EditGridGroups",
     &P::CBF_EditGridGroups, nullptr, "Group table"},
    {"MAINP", "EditGridHold", Field<&P::holdTable>(), "CBF_EditGridHold", nullptr, nullptr,
     "Hold table"},
    {"MAINP", "GridCtt", Field<&P::teachTable>(), "CBF_GridCtt", nullptr, nullptr, "Teach table"},
    {"MAINP", "EditResetHold", Field<&P::resetHold>(), "CBF_EditResetHold"},
    {"MAINP", "ButtonResetGroupTable", Field<&P::resetGroups>(), "CBF_ButtonResetGroupTable",
     &P::CBF_ButtonResetGroupTable, "Reset the GROUP TABLE. \nAll cells are set to 0.",
     "Reset group table"},
    {"MAINP", "ButtonResetHoldTable", Field<&P::resetHolds>(), "CBF_ButtonResetHoldTable",
     &P::CBF_ButtonResetHoldTable,
     "Reset the HOLD TABLE. \nAll cells are set the value \nin the Edit Box.", "Reset hold table"},
    {"MAINP", "ButtonSend", Field<&P::send>(), "CBF_ButtonSend", &P::CBF_ButtonSend},
    {"MAINP", "ButtonGet", Field<&P::get>(), "CBF_ButtonGet", &P::CBF_ButtonGet},
    {"MAINP", "SelectRam", Field<&P::selectRam>(), "CBF_SelectMem", &P::CBF_SelectMem},
    {"MAINP", "SelectEeprom", Field<&P::selectEeprom>(), "CBF_SelectMem", &P::CBF_SelectMem},
    {"MAINP", "SelectFile", Field<&P::selectFile>(), "CBF_SelectMem", &P::CBF_SelectMem},
    {"MAINP", "SelectParaSet0", Field<&P::selectParaSet0>(), "CBF_SelectParaSet",
     &P::CBF_SelectParaSet, nullptr, "Parameter set 0"},
    {"MAINP", "SelectParaSet1", Field<&P::selectParaSet1>(), "CBF_SelectParaSet",
     &P::CBF_SelectParaSet, nullptr, "Parameter set 1"},
};

ParameterPanel::ParameterPanel(session::PageContext& context) : Page(context) {
    S().SetParameterAccess(this);
    QObject::connect(&S(), &session::Session::RowColorsChanged, ctx.mainPanel,
                     [this] { PaintRowColors(); });
}

void ParameterPanel::LookUp(ui::Lookup& look) {
    ui::Runtime& rt = ctx.runtime;
    ui::AttachControls<P>(look, rt, *this, kControls, &ParameterHelpText);
    for (const WordControl& wc : kWordControls) {
        if (!wc.control) continue;
        // Selectors must be of the kind their word needs.
        const bool selector = !ValueItems(wc.word).empty() && wc.word != kColorGroup;
        const QMetaObject* type = selector                 ? &QComboBox::staticMetaObject
                                  : wc.word == kPower      ? &QSlider::staticMetaObject
                                  : wc.word == kColorGroup ? &QCheckBox::staticMetaObject
                                                           : &QSpinBox::staticMetaObject;
        QWidget* c = ui::LookUpControl(look, "MAINP", wc.control, type);
        if (!c) continue;
        wordControls[wc.word] = c;
        ui::Callback cb;
        if (wc.word == kCalculationMode)
            cb = [this](ui::Event e) { CBF_EditCalcmode(e); };
        else if (wc.modeControl)
            cb = [this](ui::Event e) { ModeChanged(e); };
        ui::AttachControl(rt, c, wc.callback, cb, QString::fromUtf8(ParameterHelpText(wc.callback)),
                          nullptr);
    }
    power = qobject_cast<QSlider*>(wordControls[kPower]);
    colorGroup = qobject_cast<QCheckBox*>(wordControls[kColorGroup]);
    if (!look.Ok()) return;
    rt.AddShortcut(ctx.mainPanel, Qt::Key_F9, send);
    rt.AddShortcut(ctx.mainPanel, Qt::Key_F10, get);
    PrepareControls();
}

void ParameterPanel::RegisterBusy(ui::Busy& busy) {
    for (QWidget* w : ui::Widgets(send, get, selectRam, selectEeprom, selectFile))
        busy.Register(w, ui::BusyRole::Transfer);
}

void ParameterPanel::StartUp() {
    // The parameter set takes the values the controls were loaded with.
    ReadControls();
    teachLayoutMode_ = S().Parameters().block.calculationMode;
    PaintRowColors();
    // The rows beyond the few a sensor usually checks are set off in grey.
    for (int row = kFirstSpareTeachRow; row <= static_cast<int>(kVectorCount); ++row)
        for (int c = 1; c <= kTeachColumns; ++c) SetCellColor(teachTable, row, c, kSpareTeachRows);
}

void ParameterPanel::PaintRowColors() {
    if (!teachTable) return;  // not looked up yet
    for (std::size_t i = 0; i < kVectorCount; ++i) {
        const auto rgb = static_cast<QRgb>(S().RowColorTable()[i]) & 0xFFFFFFu;
        const int row = static_cast<int>(i) + 1;
        SetCellColor(teachTable, row, kTeachColumns + 1, rgb);
        SetCellColor(groupTable, row, 2, rgb);
        SetCellColor(holdTable, row + 1, 2, rgb);
    }
}

void ParameterPanel::PrepareTables() {
    auto prepare = [](QTableWidget* table, const QStringList& columns, const QStringList& rows) {
        QSignalBlocker block(table);
        table->setHorizontalHeaderLabels(columns);
        table->setVerticalHeaderLabels(rows);
        table->verticalHeader()->setDefaultSectionSize(20);
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        table->horizontalHeader()->setSectionResizeMode(table->columnCount() - 1,
                                                        QHeaderView::Fixed);
        table->horizontalHeader()->resizeSection(table->columnCount() - 1, 18);
        table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    };
    QStringList vectors;
    for (std::size_t v = 0; v < kVectorCount; ++v) vectors << QString::number(v);
    QStringList holdRows = QStringList{"FAIL"} + vectors;
    QStringList teachColumns;
    for (const char* label : TeachColumnLabels(0, 0)) teachColumns << label;
    teachColumns << QString();  // the row colour
    prepare(teachTable, teachColumns, vectors);
    prepare(groupTable, {"GROUP", ""}, vectors);
    prepare(holdTable, {"HOLD", ""}, holdRows);

    // Five 16-bit columns and the colour beside them fill the narrow page only when each
    // is as wide as a five-digit value, not a share of the width.
    ui::FitColumnsTo(teachTable, 1, kTeachColumns, QString::number(kCellMax));
    ui::SetColumnRange(teachTable, 1, kTeachColumns, 0, kCellMax);
    ui::SetColumnRange(groupTable, 1, 1, 0, kGroupMax);
    ui::SetColumnRange(holdTable, 1, 1, 0, kHoldMax);
    // The indicator columns show colour only.
    ui::SetColumnReadOnly(teachTable, kTeachColumns + 1);
    ui::SetColumnReadOnly(groupTable, 2);
    ui::SetColumnReadOnly(holdTable, 2);
}

void ParameterPanel::PrepareControls() {
    PrepareTables();
    // Selectors list the values of their word; spin boxes take their word's range.
    for (std::size_t w = 0; w < kBlockWords; ++w) {
        QWidget* c = wordControls[w];
        if (auto* combo = qobject_cast<QComboBox*>(c)) {
            QList<QPair<QString, int>> items;
            for (const ValueItem& item : ValueItems(w))
                items.append({Text(item.label), item.value});
            ui::SetComboItems(combo, items);
        } else if (auto* spin = qobject_cast<QSpinBox*>(c)) {
            spin->setRange(kParameters[w].minValue, kParameters[w].maxValue);
        }
    }
    power->setRange(kParameters[kPower].minValue, kParameters[kPower].maxValue);
    powerNumber->setRange(kParameters[kPower].minValue, kParameters[kPower].maxValue);
    resetHold->setRange(0, kHoldMax);
    // Slider and number show the same POWER.
    QObject::connect(power, &QSlider::valueChanged, powerNumber, [this](int v) {
        ShowExactly(powerNumber, powerNumber->minimum(), powerNumber->maximum(), v);
    });
    QObject::connect(powerNumber, &QSpinBox::valueChanged, power,
                     [this](int v) { ShowExactly(power, power->minimum(), power->maximum(), v); });
    // A click on the box is the user's: the word it came with no longer counts.
    QObject::connect(colorGroup, &QCheckBox::toggled, colorGroup,
                     [this] { colorGroup->setProperty(kRawWord, QVariant()); });
}

// --- controls <-> words -------------------------------------------------------------------

std::uint16_t ParameterPanel::ReadWord(std::size_t word) const {
    if (word == kHoldFail) return static_cast<std::uint16_t>(ui::CellValue(holdTable, 1, 1));
    if (word == kPower) return static_cast<std::uint16_t>(power->value());
    QWidget* c = wordControls[word];
    if (auto* combo = qobject_cast<QComboBox*>(c))
        return static_cast<std::uint16_t>(ui::ComboValue(combo));
    if (auto* spin = qobject_cast<QSpinBox*>(c)) return static_cast<std::uint16_t>(spin->value());
    if (auto* check = qobject_cast<QCheckBox*>(c)) {
        const QVariant raw = check->property(kRawWord);
        if (raw.isValid()) return static_cast<std::uint16_t>(raw.toUInt());
        return check->isChecked() ? 1 : 0;
    }
    return 0;
}

void ParameterPanel::WriteWord(std::size_t word, std::uint16_t value) {
    if (word == kHoldFail) {
        ui::SetCell(holdTable, 1, 1, value);
        return;
    }
    const ParameterInfo& info = kParameters[word];
    if (word == kPower) {
        ShowExactly(power, info.minValue, info.maxValue, value);
        ShowExactly(powerNumber, info.minValue, info.maxValue, value);
        return;
    }
    QWidget* c = wordControls[word];
    if (auto* combo = qobject_cast<QComboBox*>(c)) {
        // A value the list does not know is shown as it is rather than silently replaced.
        if (combo->findData(value) < 0) {
            QSignalBlocker block(combo);
            combo->addItem(QString::number(value), value);
        }
        ui::SetComboValue(combo, value);
    } else if (auto* spin = qobject_cast<QSpinBox*>(c)) {
        ShowExactly(spin, info.minValue, info.maxValue, value);
    } else if (auto* check = qobject_cast<QCheckBox*>(c)) {
        ui::SetValue(check, value != 0);
        check->setProperty(kRawWord, QVariant(static_cast<uint>(value)));
    }
}

void ParameterPanel::RebuildTriggerList(bool contAndSelfOnly) {
    auto* trigger = qobject_cast<QComboBox*>(wordControls[kTrigger]);
    QList<QPair<QString, int>> items;
    for (const ValueItem& item : ValueItems(kTrigger)) {
        if (contAndSelfOnly && item.value > mode::kSelf) continue;
        items.append({Text(item.label), item.value});
    }
    ui::SetComboItems(trigger, items);
}

bool ParameterPanel::TriggerListComplete() const {
    const auto* trigger = qobject_cast<const QComboBox*>(wordControls[kTrigger]);
    for (const ValueItem& item : ValueItems(kTrigger))
        if (trigger->findData(item.value) < 0) return false;
    return true;
}

void ParameterPanel::ReadControls() {
    ParameterSet set = S().Parameters();
    for (std::size_t w = 0; w < kBlockWords; ++w) set.block[w] = ReadWord(w);
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const int row = static_cast<int>(v) + 1;
        TeachVector& t = set.teach[v];
        t.group = static_cast<std::uint16_t>(ui::CellValue(groupTable, row, 1));
        t.hold = static_cast<std::uint16_t>(ui::CellValue(holdTable, row + 1, 1));
        for (int c = 0; c < kTeachColumns; ++c)
            t.cell[static_cast<std::size_t>(c)] =
                static_cast<std::uint16_t>(ui::CellValue(teachTable, row, c + 1));
    }
    S().SetParameters(set);
}

void ParameterPanel::WriteTeachCells() {
    for (std::size_t v = 0; v < kVectorCount; ++v)
        for (int c = 0; c < kTeachColumns; ++c)
            ui::SetCell(teachTable, static_cast<int>(v) + 1, c + 1,
                        S().Parameters().teach[v].cell[static_cast<std::size_t>(c)]);
}

void ParameterPanel::WriteControls() {
    const ParameterSet& set = S().Parameters();
    // EXT1 ... PARA exist only while EXTERN TEACH is OFF; with the list to match, a TRIGGER
    // above SELF can be shown.
    WriteWord(kExternTeach, set.block.externTeach);
    RebuildTriggerList(set.block.externTeach != mode::kTeachOff);
    for (std::size_t w = 0; w < kBlockWords; ++w) WriteWord(w, set.block[w]);
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const int row = static_cast<int>(v) + 1;
        const TeachVector& t = set.teach[v];
        ui::SetCell(groupTable, row, 1, t.group);
        ui::SetCell(holdTable, row + 1, 1, t.hold);
    }
    WriteTeachCells();
    teachLayoutMode_ = set.block.calculationMode;
}

void ParameterPanel::ConvertTeachCells(std::uint16_t fromMode, std::uint16_t toMode) {
    ParameterSet cells;
    for (std::size_t v = 0; v < kVectorCount; ++v)
        for (int c = 0; c < kTeachColumns; ++c)
            cells.teach[v].cell[static_cast<std::size_t>(c)] = static_cast<std::uint16_t>(
                ui::CellValue(teachTable, static_cast<int>(v) + 1, c + 1));
    ConvertTeachVectors(cells, fromMode, toMode);
    for (std::size_t v = 0; v < kVectorCount; ++v)
        for (int c = 0; c < kTeachColumns; ++c)
            ui::SetCell(teachTable, static_cast<int>(v) + 1, c + 1,
                        cells.teach[v].cell[static_cast<std::size_t>(c)]);
}

// --- mode-dependent controls ----------------------------------------------------------------

void ParameterPanel::UpdateModeControls() {
    ModeInput in;
    for (std::size_t w = 0; w < kBlockWords; ++w) in.words[w] = ReadWord(w);
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const int row = static_cast<int>(v) + 1;
        in.groups[v] = static_cast<std::uint16_t>(ui::CellValue(groupTable, row, 1));
        const QTableWidgetItem* cell = groupTable->item(row - 1, 0);
        in.groupMarked[v] = cell && cell->background().color() == QColor(kGroupMarked);
    }
    in.triggerListComplete = TriggerListComplete();
    const ModeOutcome out = ApplyModeRules(in);

    // Forced values go into the controls; the parameter set follows at the next ReadControls.
    for (std::size_t w = 0; w < kBlockWords; ++w)
        if (out.words[w] != in.words[w]) WriteWord(w, out.words[w]);
    // A calculation mode forced into the other dimension takes the teach cells along, as a
    // change by hand does; otherwise they would be read in the wrong layout.
    const std::uint16_t calculation = out.words.calculationMode;
    if (Is3D(teachLayoutMode_) != Is3D(calculation)) {
        ConvertTeachCells(teachLayoutMode_, calculation);
        emit S().TeachTableChanged();
    }
    teachLayoutMode_ = calculation;

    ui::SetVisible(wordControls[kAnalogOut], out.analogOutVisible);
    ui::SetVisible(wordControls[kAnalogZoom], out.analogZoomVisible);
    ui::SetDimmed(wordControls[kTrigger], !out.triggerEnabled);
    ui::SetDimmed(wordControls[kExternTeach], !out.externTeachEnabled);
    ui::SetDimmed(wordControls[kPowerMode], !out.powerModeEnabled);
    ui::SetDimmed(power, !out.powerEnabled);
    ui::SetDimmed(powerNumber, !out.powerEnabled);
    ui::SetDimmed(wordControls[kDynWinLo], !out.dynWinEnabled);
    ui::SetDimmed(wordControls[kDynWinHi], !out.dynWinEnabled);

    // Pages that are taken away must not stay in front: the parameter page, where the
    // change was made, comes forward instead.
    const int active = ui::ActiveTabPage(ctx.mainTabs);
    if (!out.evaluationVisible &&
        (active == session::kPageGroupHold || active == session::kPageTeachTable))
        ui::SetActiveTabPage(ctx.mainTabs, session::kPageParameter);
    ui::SetTabPageVisible(ctx.mainTabs, session::kPageGroupHold, out.evaluationVisible);
    ui::SetTabPageVisible(ctx.mainTabs, session::kPageTeachTable, out.evaluationVisible);
    for (std::size_t w :
         {kMaxVecNo, kIntLim, kEvaluationMode, kCalculationMode, kExternTeach, kTrigger})
        ui::SetVisible(wordControls[w], out.evaluationVisible);

    ui::SetDimmed(selectParaSet0, !out.paraSetEnabled);
    ui::SetDimmed(selectParaSet1, !out.paraSetEnabled);
    if (!out.paraSetEnabled) {
        ui::SetValue(selectParaSet0, true);
        ui::SetValue(selectParaSet1, false);
        S().SelectParameterSet(0);
    }

    if (out.evaluation) ApplyEvaluation(out);

    for (const Notice& notice : out.notices) {
        if (notice.page == NoticePage::Parameter)
            ui::SetActiveTabPage(ctx.mainTabs, session::kPageParameter);
        else if (notice.page == NoticePage::GroupHold)
            ui::SetActiveTabPage(ctx.mainTabs, session::kPageGroupHold);
        S().popups.Message(Text(notice.title), Text(notice.text));
    }
    PublishModes();
}

void ParameterPanel::ApplyEvaluation(const ModeOutcome& out) {
    const EvaluationControls& ev = *out.evaluation;
    ui::SetDimmed(wordControls[kMaxVecNo], !ev.maxVecNoEnabled);
    ui::SetDimmed(wordControls[kIntLim], !ev.intLimEnabled);
    ui::SetDimmed(wordControls[kCalculationMode], !ev.calculationModeEnabled);
    for (QWidget* w : ui::Widgets(colorGroup, groupTable, resetGroups))
        ui::SetDimmed(w, !ev.groupControlsEnabled);

    teachTable->setColumnHidden(2, ev.hiddenTeachColumn == 3);
    teachTable->setColumnHidden(3, ev.hiddenTeachColumn == 4);
    for (int c = 0; c < kTeachColumns; ++c) {
        QSignalBlocker block(teachTable);
        const QString label = Text(ev.teachLabels[static_cast<std::size_t>(c)]);
        if (QTableWidgetItem* header = teachTable->horizontalHeaderItem(c))
            header->setText(label);
        else
            teachTable->setHorizontalHeaderItem(c, new QTableWidgetItem(label));
    }

    if (ev.triggerList != TriggerList::Keep) {
        RebuildTriggerList(ev.triggerList == TriggerList::ContAndSelf);
        // A value no item names (from a file or the sensor) is shown as it came.
        WriteWord(kTrigger, out.words.trigger);
    }

    if (ev.groupMarked) {
        for (std::size_t v = 0; v < kVectorCount; ++v) {
            const int row = static_cast<int>(v) + 1;
            if (out.groups[v] != ui::CellValue(groupTable, row, 1))
                ui::SetCell(groupTable, row, 1, out.groups[v]);
            SetCellColor(groupTable, row, 1, (*ev.groupMarked)[v] ? kGroupMarked : kGroupAllowed);
        }
    }

    // Rows the sensor checks are labelled green, the others red; the hold table's first
    // row (HOLD FAIL) counts with the first vector.
    for (int row = 1; row <= static_cast<int>(kVectorCount); ++row) {
        const QRgb rgb = row <= ev.activeRows ? kActiveRow : kInactiveRow;
        SetRowLabelColor(teachTable, row, rgb);
        SetRowLabelColor(groupTable, row, rgb);
        SetRowLabelColor(holdTable, row + 1, rgb);
    }
    if (ev.activeRows >= 1) SetRowLabelColor(holdTable, 1, kActiveRow);
}

void ParameterPanel::PublishModes() {
    session::ModeView view;
    view.digitalOutMode = ReadWord(kDigitalOutMode);
    view.evaluationMode = ReadWord(kEvaluationMode);
    view.calculationMode = ReadWord(kCalculationMode);
    view.analogOutMode = ReadWord(kAnalogOutMode);
    view.analogOut = ReadWord(kAnalogOut);
    view.externTeach = ReadWord(kExternTeach);
    view.trigger = ReadWord(kTrigger);
    view.colorGroup = ReadWord(kColorGroup) != 0 ? 1 : 0;  // as the switch shows it
    view.maxVecNo = ReadWord(kMaxVecNo);
    view.powerMode = ReadWord(kPowerMode);
    S().SetModes(view);
}

// --- callbacks ----------------------------------------------------------------------------

void ParameterPanel::CBF_ButtonSend(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (S().LoopRunning()) {
        S().AskLoopToSend();
        return;
    }
    ui::BusyScope busy(ctx.busy);
    S().SendParameters();
}

void ParameterPanel::CBF_ButtonGet(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (S().LoopRunning()) {
        S().AskLoopToGet();
        return;
    }
    ui::BusyScope busy(ctx.busy);
    S().GetParameters();
}

void ParameterPanel::CBF_SelectMem(ui::Event e) {
    if (e != ui::Event::ValueChanged) return;
    QWidget* changed = ctx.runtime.Sender();
    const std::array<QPushButton*, 3> buttons = {selectRam, selectEeprom, selectFile};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        ui::SetValue(buttons[i], buttons[i] == changed);
        if (buttons[i] == changed) S().SelectTransferTarget(static_cast<TransferTarget>(i + 1));
    }
}

void ParameterPanel::CBF_SelectParaSet(ui::Event e) {
    if (e != ui::Event::ValueChanged) return;
    QWidget* changed = ctx.runtime.Sender();
    const std::array<QPushButton*, 2> buttons = {selectParaSet0, selectParaSet1};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        ui::SetValue(buttons[i], buttons[i] == changed);
        if (buttons[i] == changed) S().SelectParameterSet(static_cast<std::uint16_t>(i));
    }
}

void ParameterPanel::ModeChanged(ui::Event e) {
    if (e == ui::Event::Commit) S().UpdateModeControls();
}

void ParameterPanel::CBF_EditCalcmode(ui::Event e) {
    if (e != ui::Event::Commit) return;
    // The layout of the cells, not the parameter set: the mode rules may have changed the
    // mode since the set was last read.
    const std::uint16_t previous = teachLayoutMode_;
    ReadControls();
    const std::uint16_t now = S().Parameters().block.calculationMode;
    if (Is3D(previous) != Is3D(now)) {
        ParameterSet set = S().Parameters();
        ConvertTeachVectors(set, previous, now);
        S().SetParameters(set);
        WriteTeachCells();
        emit S().TeachTableChanged();
    }
    teachLayoutMode_ = now;
    S().UpdateModeControls();
    ReadControls();
}

// The group and hold tables' resets change the controls only; the next ReadControls takes
// them into the parameter set.
void ParameterPanel::CBF_ButtonResetGroupTable(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (!S().popups.Confirm(Text(kTitleAttention), Text(kResetTableQuestion))) return;
    for (int row = 1; row <= static_cast<int>(kVectorCount); ++row) {
        ui::SetCell(groupTable, row, 1, 0);
        SetCellColor(groupTable, row, 1, kGroupAllowed);  // clears the marks of corrected cells
    }
}

void ParameterPanel::CBF_ButtonResetHoldTable(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (!S().popups.Confirm(Text(kTitleAttention), Text(kResetTableQuestion))) return;
    const int value = resetHold->value();
    for (int row = 1; row <= static_cast<int>(kVectorCount) + 1; ++row)
        ui::SetCell(holdTable, row, 1, value);
}

void ParameterPanel::CBF_EditGridGroups(ui::Event e) {
    if (e != ui::Event::ValueChanged) return;
    S().UpdateModeControls();
    ui::SetActiveTabPage(ctx.mainTabs, session::kPageGroupHold);
}

}  // namespace params
