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

#include "params_core/parameter_file.h"
#include "params_core/parameter_model.h"
#include "params_core/texts.h"
#include "ui/controls.h"
#include "ui/panel_set.h"

namespace params {

namespace {

using ui::Text;

struct WordControl {
    std::size_t word;
    const char* control;   // object name in the panel set; nullptr: the hold table
    const char* callback;  // callback name, also the key of its help text
};

// In word order.
constexpr WordControl kWordControls[kBlockWords] = {
    {kPower, "SlidePower", "CBF_SlidePower"},
    {kPowerMode, "EditPmode", "CBF_EditPmode"},
    {kAverage, "EditAverage", "CBF_EditAverage"},
    {kEvaluationMode, "EditEvalmode", "CBF_EditEvalmode"},
    {kHoldFail, nullptr, "CBF_EditGridHold"},
    {kIntLim, "EditIntlim", "CBF_EditIntlim"},
    {kMaxVecNo, "EditVMaxVecNo", "CBF_EditVMaxVecNo"},
    {kDigitalOutMode, "EditDigOutmode", "CBF_EditDigOutmode"},
    {kTrigger, "EditTrigger", "CBF_EditTrigger"},
    {kExternTeach, "EditExteach", "CBF_EditExteach"},
    {kCalculationMode, "EditCalcmode", "CBF_EditCalcmode"},
    {kDynWinLo, "EditDynWinLo", "CBF_EditDynWinLoHi"},
    {kDynWinHi, "EditDynWinHi", "CBF_EditDynWinLoHi"},
    {kColorGroup, "EditColorGroups", "CBF_EditColorGroups"},
    {kLedMode, "EditLedMode", "CBF_EditLedMode"},
    {kGain, "EditGain", "CBF_EditGain"},
    {kIntegral, "EditIntegral", "CBF_EditIntegral"},
    {kAnalogOutMode, "EditAnaOutmode", "CBF_EditAnaOutmode"},
    {kAnalogOut, "EditAnaOut", "CBF_EditAnaOut"},
    {kAnalogZoom, "EditAnaZoom", "CBF_EditAnaZoom"},
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

}  // namespace

const char* WordControlName(std::size_t word) {
    return word < kBlockWords ? kWordControls[word].control : nullptr;
}

// The controls that are not words of the parameter block.
const ui::ControlRow<P> P::kControls[] = {
    {"MAINP", "NumPower", Field<&P::powerNumber>(), "CBF_SlidePower", &P::PowerTyped, nullptr,
     "POWER value"},
    {"MAINP", "EditGridGroups", Field<&P::groupTable>(), "CBF_EditGridGroups",
     &P::CBF_EditGridGroups, nullptr, "Group table"},
    {"MAINP", "EditGridHold", Field<&P::holdTable>(), "CBF_EditGridHold", &P::CBF_EditGridHold,
     nullptr, "Hold table"},
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
    QObject::connect(&S(), &session::Session::RowColorsChanged, ctx.mainPanel,
                     [this] { PaintRowColors(); });
    QObject::connect(&S(), &session::Session::ParametersChanged, ctx.mainPanel, [this] {
        ShowModel();
        ShowModes();
    });
    QObject::connect(&S(), &session::Session::ModeNotice, ctx.mainPanel,
                     [this](const Notice& notice) { ShowNotice(notice); });
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
        ui::Callback cb = [this, word = wc.word](ui::Event e) { WordEdited(word, e); };
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
    // The controls show the model from the start.
    ShowModel();
    PaintRowColors();
}

void ParameterPanel::PaintRowColors() {
    if (!groupTable) return;  // not looked up yet
    for (std::size_t i = 0; i < kVectorCount; ++i) {
        const auto rgb = static_cast<QRgb>(S().RowColorTable()[i]) & 0xFFFFFFu;
        const int row = static_cast<int>(i) + 1;
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
    prepare(groupTable, {"GROUP", ""}, vectors);
    prepare(holdTable, {"HOLD", ""}, holdRows);

    ui::SetColumnRange(groupTable, 1, 1, 0, kGroupMax);
    ui::SetColumnRange(holdTable, 1, 1, 0, kHoldMax);
    // The indicator columns show colour only.
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
}

// --- controls <-> words -------------------------------------------------------------------

std::uint16_t ParameterPanel::ReadWord(std::size_t word) const {
    if (word == kHoldFail) return static_cast<std::uint16_t>(ui::CellValue(holdTable, 1, 1));
    if (word == kPower) return static_cast<std::uint16_t>(power->value());
    QWidget* c = wordControls[word];
    if (auto* combo = qobject_cast<QComboBox*>(c))
        return static_cast<std::uint16_t>(ui::ComboValue(combo));
    if (auto* spin = qobject_cast<QSpinBox*>(c)) return static_cast<std::uint16_t>(spin->value());
    if (auto* check = qobject_cast<QCheckBox*>(c)) return check->isChecked() ? 1 : 0;
    return 0;
}

bool ParameterPanel::Shows(std::size_t word, std::uint16_t value) const {
    // The check box shows on or off; the word itself stays in the model as it came.
    if (word == kColorGroup) return (ReadWord(word) != 0) == (value != 0);
    return ReadWord(word) == value;
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

void ParameterPanel::ShowModel() {
    const ParameterModel& model = S().Model();
    const ParameterSet& set = model.Set();
    if (TriggerListComplete() != model.TriggerListComplete())
        RebuildTriggerList(!model.TriggerListComplete());
    // Only what differs is written: a spin box being typed into keeps its text.
    for (std::size_t w = 0; w < kBlockWords; ++w)
        if (!Shows(w, set.block[w])) WriteWord(w, set.block[w]);
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const int row = static_cast<int>(v) + 1;
        const TeachVector& t = set.teach[v];
        if (ui::CellValue(groupTable, row, 1) != t.group) ui::SetCell(groupTable, row, 1, t.group);
        if (ui::CellValue(holdTable, row + 1, 1) != t.hold)
            ui::SetCell(holdTable, row + 1, 1, t.hold);
        SetCellColor(groupTable, row, 1, model.GroupMarks()[v] ? kGroupMarked : kGroupAllowed);
    }
}

// --- mode-dependent controls ----------------------------------------------------------------

void ParameterPanel::ShowModes() {
    const ModeOutcome& out = S().Model().Modes();
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
    if (!out.paraSetEnabled) {  // the session selected set 0
        ui::SetValue(selectParaSet0, true);
        ui::SetValue(selectParaSet1, false);
    }
    // Without the digital outputs the evaluation's controls keep the state they last had.
    if (!out.evaluation) return;
    const EvaluationControls& ev = *out.evaluation;
    ui::SetDimmed(wordControls[kMaxVecNo], !ev.maxVecNoEnabled);
    ui::SetDimmed(wordControls[kIntLim], !ev.intLimEnabled);
    ui::SetDimmed(wordControls[kCalculationMode], !ev.calculationModeEnabled);
    for (QWidget* w : ui::Widgets(colorGroup, groupTable, resetGroups))
        ui::SetDimmed(w, !ev.groupControlsEnabled);

    // Rows the sensor checks are labelled green, the others red; the hold table's first
    // row (HOLD FAIL) counts with the first vector.
    for (int row = 1; row <= static_cast<int>(kVectorCount); ++row) {
        const QRgb rgb = row <= ev.activeRows ? kActiveRow : kInactiveRow;
        SetRowLabelColor(groupTable, row, rgb);
        SetRowLabelColor(holdTable, row + 1, rgb);
    }
    if (ev.activeRows >= 1) SetRowLabelColor(holdTable, 1, kActiveRow);
}

void ParameterPanel::ShowNotice(const Notice& notice) {
    if (notice.page == NoticePage::Parameter)
        ui::SetActiveTabPage(ctx.mainTabs, session::kPageParameter);
    else if (notice.page == NoticePage::GroupHold)
        ui::SetActiveTabPage(ctx.mainTabs, session::kPageGroupHold);
    S().popups.Message(Text(notice.title), Text(notice.text));
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
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i] == changed) S().SelectParameterSet(static_cast<std::uint16_t>(i));
    // The buttons show the set the model took (set 1 only while the modes allow it).
    for (std::size_t i = 0; i < buttons.size(); ++i)
        ui::SetValue(buttons[i], S().Transfer().set == i);
}

void ParameterPanel::WordEdited(std::size_t word, ui::Event e) {
    if (e != ui::Event::ValueChanged && e != ui::Event::Commit) return;
    if (Shows(word, S().Parameters().block[word])) return;
    const std::uint16_t value = ReadWord(word);
    S().EditParameters([&](ParameterModel& m) { return m.SetWord(word, value); });
}

void ParameterPanel::PowerTyped(ui::Event e) {
    // The number moved the slider without a signal: the word is the slider's.
    WordEdited(kPower, e);
}

void ParameterPanel::CBF_ButtonResetGroupTable(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (!S().popups.Confirm(Text(kTitleAttention), Text(kResetTableQuestion))) return;
    // The marks of corrected cells go with the numbers.
    S().EditParameters([](ParameterModel& m) { return m.ResetGroups(); });
}

void ParameterPanel::CBF_ButtonResetHoldTable(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (!S().popups.Confirm(Text(kTitleAttention), Text(kResetTableQuestion))) return;
    const auto value = static_cast<std::uint16_t>(resetHold->value());
    S().EditParameters([value](ParameterModel& m) { return m.ResetHolds(value); });
}

void ParameterPanel::CBF_EditGridGroups(ui::Event e) {
    if (e != ui::Event::ValueChanged) return;
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const auto group =
            static_cast<std::uint16_t>(ui::CellValue(groupTable, static_cast<int>(v) + 1, 1));
        if (group != S().Parameters().teach[v].group)
            S().EditParameters([&](ParameterModel& m) { return m.SetGroup(v, group); });
    }
    ui::SetActiveTabPage(ctx.mainTabs, session::kPageGroupHold);
}

void ParameterPanel::CBF_EditGridHold(ui::Event e) {
    if (e != ui::Event::ValueChanged) return;
    const auto fail = static_cast<std::uint16_t>(ui::CellValue(holdTable, 1, 1));
    if (fail != S().Parameters().block.holdFail)
        S().EditParameters([&](ParameterModel& m) { return m.SetWord(kHoldFail, fail); });
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const auto hold =
            static_cast<std::uint16_t>(ui::CellValue(holdTable, static_cast<int>(v) + 2, 1));
        if (hold != S().Parameters().teach[v].hold)
            S().EditParameters([&](ParameterModel& m) { return m.SetHold(v, hold); });
    }
}

}  // namespace params
