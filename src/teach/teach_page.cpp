#include "teach/teach_page.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "params/texts.h"
#include "ui/controls.h"

namespace teach {

namespace {

using T = TeachPage;
using ui::Field;

constexpr const char* kTeachDataToHelp =
    "Current measured values (X,Y,INT respectively s,i,M) are assigned \nto the TEACH TABLE row "
    "selected in the No.: function field.";
constexpr const char* kEditNoHelp =
    "Select the current number of a row in the TEACH TABLE for TEACH DATA TO.";
constexpr const char* kRadioIncHelp = "Auto increment of Edit Field No.:";
constexpr const char* kResetTableHelp = "Reset the TEACH TABLE. \nAll cells are set to 1.";

constexpr const char* kMenuHelpText =
    "Change cell value with a left double click or with F2. \n\nSelect a range of cells by "
    "holding down the left mouse button and dragging the mouse over the cells to select. "
    "\n\nSet selection to: Set the selection to an adjustable value. \nIncrement selection "
    "with: Selected cells will be incremented with an adjustable value beginning with the "
    "first cell. \nReset selection: Reset the selected range.\nTeach tolerance off: Tolerance "
    "will not be changed. \nTeach tolerance on: Tolerance will be set automatically to a "
    "default value.";

constexpr const char* kValueTitle = "VALUE!";
constexpr const char* kValueText = "Insert a cell value!";
constexpr int kValueMaxLength = 9;
constexpr const char* kResetQuestion = params::kResetTableQuestion;

}  // namespace

// The teach table is bound by the parameter page, whose words its cells are; this page adds
// the menu and what the table's edits set off.
const ui::ControlRow<T> T::kControls[] = {
    {"MAINP", "GridCtt", Field<&T::teachTable>(), nullptr, nullptr, nullptr, "Teach table"},
    {"MAINP", "ButtonTeachDataTo", Field<&T::teachDataTo>(), "CBF_ButtonTeachDataTo",
     &T::CBF_ButtonTeachDataTo, kTeachDataToHelp},
    {"MAINP", "EditNo", Field<&T::editNo>(), "CBF_EditNo", &T::CBF_EditNo, kEditNoHelp},
    {"MAINP", "RadioInc", Field<&T::radioInc>(), "CBF_RadioInc", nullptr, kRadioIncHelp,
     "Auto increment"},
    {"MAINP", "ButtonResetTable", Field<&T::resetTable>(), "CBF_ButtonResetTable",
     &T::CBF_ButtonResetTable, kResetTableHelp, "Reset teach table"},
};

namespace {

const QStringList kTeachMenuItems = {"Help",
                                     "",
                                     "Set selection to",
                                     "Increment selection with",
                                     "Reset selection",
                                     "",
                                     "Teach tolerance off",
                                     "Teach tolerance on"};

// The answer of the value prompt; nothing when it was cancelled.
std::optional<std::string> AskValue(ui::Popups& popups) {
    const std::optional<QString> answer = popups.Prompt(
        QString::fromLatin1(kValueTitle), QString::fromLatin1(kValueText), kValueMaxLength);
    if (!answer) return std::nullopt;
    return answer->toStdString();
}

}  // namespace

TeachPage::TeachPage(session::PageContext& context)
    : Page(context), meanPanel(context, *this), recordPanel(context, *this) {}

void TeachPage::LookUp(ui::Lookup& look) {
    ui::AttachControls<T>(look, ctx.runtime, *this, kControls);
    meanPanel.LookUp(look);
    recordPanel.LookUp(look);
}

void TeachPage::RegisterBusy(ui::Busy& busy) {
    recordPanel.RegisterBusy(busy);
}

void TeachPage::StartUp() {
    teachMenu = ctx.runtime.AttachTableMenu(teachTable, kTeachMenuItems,
                                            [this](int item) { MenuChosen(item); });
    const QList<QAction*> items = teachMenu->actions();  // separators included
    toleranceOffItem = items.at(kMenuToleranceOff);
    toleranceOnItem = items.at(kMenuToleranceOn);
    SetToleranceOff(false);
    // An edit by the user: the program's own writes block the table's signals.
    QObject::connect(teachTable, &QTableWidget::cellChanged, &connections_,
                     [this](int, int) { TableChanged(); });
    meanPanel.StartUp();
    recordPanel.StartUp();
}

// --- TEACH DATA TO ------------------------------------------------------------------------

void TeachPage::CBF_ButtonTeachDataTo(ui::Event e) {
    if (e != ui::Event::Commit) return;
    // The teach takes the last frame: the displays show nothing else.
    S().SetTeachRowNo(static_cast<std::uint16_t>(editNo->value()));
    TeachCurrentValues();
    TableChanged();
}

void TeachPage::TeachCurrentValues() {
    const session::MeasuredValues& m = S().Measured();
    TeachValues(Sample{m.x, m.y, m.intensity, m.red, m.green, m.blue});
}

void TeachPage::TeachValues(const Sample& sample) {
    const session::ModeView& v = S().Modes();
    const Modes modes{v.evaluationMode, v.calculationMode, v.powerMode};
    const TeachOutcome out =
        TeachCells(sample, modes, S().TeachRowNo(), toleranceOff_, AutoIncrement());
    for (const CellWrite& c : out.cells) ui::SetCell(teachTable, c.row, c.column, c.value);
    // In automatic colour mode the row just taught takes the colour the sensor sees (also
    // in the threshold modes, whose values went elsewhere).
    if (S().AutomaticRowColors() && S().TeachRowNo() < session::kRows) {
        session::RowColors colors = S().RowColorTable();
        colors[S().TeachRowNo()] = static_cast<std::int32_t>(S().CurrentColor());
        S().SetRowColors(colors);
    }
    // The field moves on; the row follows when the next teach reads the field.
    if (out.nextRowNo) ui::SetValue(editNo, *out.nextRowNo);
}

int TeachPage::RowNo() const {
    return editNo->value();
}

bool TeachPage::AutoIncrement() const {
    return radioInc->isChecked();
}

std::array<std::uint16_t, kValueColumns> TeachPage::RowCells(int rowNo) const {
    std::array<std::uint16_t, kValueColumns> cells{};
    if (rowNo < 0 || rowNo > kLastRowNo) return cells;
    for (int c = 1; c <= kValueColumns; ++c)
        cells[static_cast<std::size_t>(c - 1)] =
            static_cast<std::uint16_t>(ui::CellValue(teachTable, rowNo + 1, c));
    return cells;
}

void TeachPage::ApplyTeach(const TeachOutcome& out) {
    for (const CellWrite& c : out.cells) ui::SetCell(teachTable, c.row, c.column, c.value);
    if (out.nextRowNo) ui::SetValue(editNo, *out.nextRowNo);
}

void TeachPage::ApplyTeachPanelLabels(std::uint16_t evaluationMode, std::uint16_t calculationMode) {
    // Thresholds are taught into fixed rows: neither a recording nor a row number applies.
    const bool threshold = evaluationMode >= kFirstThresholdMode;
    recordPanel.SetAvailable(!threshold);
    ui::SetVisible(editNo, !threshold);
    ui::SetVisible(radioInc, !threshold);
    meanPanel.ApplyLabels(evaluationMode, calculationMode);
    if (!threshold) recordPanel.ApplyLabels(calculationMode);
}

void TeachPage::CBF_EditNo(ui::Event e) {
    if (e != ui::Event::Commit) return;
    S().SetTeachRowNo(static_cast<std::uint16_t>(editNo->value()));
    // The intensity band follows the row.
    emit S().TeachTableChanged();
}

// --- resets -------------------------------------------------------------------------------

void TeachPage::CBF_ButtonResetTable(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (!S().popups.Confirm(QString::fromLatin1(ui::kAttentionTitle),
                            QString::fromLatin1(kResetQuestion)))
        return;
    ResetTeachTable();
    // The parameter set and the charts follow at once, so the views never show circles of
    // a table that no longer exists.
    TableChanged();
}

void TeachPage::ResetTeachTable() {
    ui::SetValue(editNo, 0);
    S().SetTeachRowNo(0);
    for (int row = 1; row <= kTableRows; ++row)
        for (int column = 1; column <= kValueColumns; ++column)
            ui::SetCell(teachTable, row, column, kResetValue);
}

// --- the context menu -----------------------------------------------------------------------

void TeachPage::MenuChosen(int item) {
    switch (item) {
        case kMenuHelp:
            ctx.runtime.ShowHelp(QString::fromLatin1(kMenuHelpText));
            break;
        case kMenuSetSelection:
            SetSelectionTo();
            break;
        case kMenuIncrementSelection:
            IncrementSelectionWith();
            break;
        case kMenuResetSelection: {
            const Selection s = TableSelection();
            if (!s.Empty()) WriteCells(FillSelection(s, kResetValue));
            break;
        }
        case kMenuToleranceOff:
            SetToleranceOff(true);
            break;
        case kMenuToleranceOn:
            SetToleranceOff(false);
            break;
        default:
            break;
    }
}

Selection TeachPage::TableSelection() const {
    const QList<QTableWidgetSelectionRange> ranges = teachTable->selectedRanges();
    if (ranges.isEmpty()) return {};
    // The table selects one rectangle at a time.
    const QTableWidgetSelectionRange& r = ranges.first();
    return {r.topRow() + 1, r.leftColumn() + 1, r.rowCount(), r.columnCount()};
}

void TeachPage::SetSelectionTo() {
    const Selection s = TableSelection();
    if (s.Empty()) return;
    const auto answer = AskValue(S().popups);
    if (!answer) return;
    const auto value = CellValueFromAnswer(*answer);
    if (!value) return;
    WriteCells(FillSelection(s, *value));
}

void TeachPage::IncrementSelectionWith() {
    const Selection s = TableSelection();
    if (s.Empty() || !IsValueColumn(s.left)) return;
    const auto start = static_cast<std::uint16_t>(ui::CellValue(teachTable, s.top, s.left));
    const auto answer = AskValue(S().popups);
    if (!answer) return;
    const auto step = StepFromAnswer(*answer);
    if (!step) return;
    WriteCells(IncrementSelection(s, start, *step));
}

void TeachPage::SetToleranceOff(bool off) {
    toleranceOff_ = off;
    // The dimmed item is the setting in force.
    toleranceOffItem->setEnabled(!off);
    toleranceOnItem->setEnabled(off);
}

// --- after a change -------------------------------------------------------------------------

void TeachPage::WriteCells(const std::vector<CellWrite>& cells) {
    for (const CellWrite& c : cells) ui::SetCell(teachTable, c.row, c.column, c.value);
    TableChanged();
}

void TeachPage::TableChanged() {
    S().ReadControls();
    emit S().TeachTableChanged();
}

}  // namespace teach
