#include "teach/teach_page.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "params_core/mode_rules.h"
#include "params_core/parameter_model.h"
#include "params_core/texts.h"
#include "session/session.h"
#include "ui/controls.h"

namespace teach {

namespace {

using T = TeachPage;
using ui::Field;

// Colours of the row labels and of the rows a sensor seldom checks, 0xRRGGBB.
constexpr QRgb kActiveRow = 0x008000;
constexpr QRgb kInactiveRow = 0xFF0000;
constexpr QRgb kSpareRows = 0xE0E0E0;
constexpr int kFirstSpareRow = 4;

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

// The teach table shows the teach vectors of the session's parameter model; its edits go
// into the model.
const ui::ControlRow<T> T::kControls[] = {
    {"MAINP", "GridCtt", Field<&T::teachTable>(), "CBF_GridCtt", nullptr, nullptr, "Teach table"},
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
    ui::AttachControls<T>(look, ctx.runtime, *this, kControls, &params::ParameterHelpText);
    if (look.Ok()) PrepareTable();
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
    QObject::connect(&S(), &session::Session::ParametersChanged, &connections_, [this] {
        ShowCells();
        ShowModes();
    });
    QObject::connect(&S(), &session::Session::RowColorsChanged, &connections_,
                     [this] { PaintRowColors(); });
    ShowCells();
    PaintRowColors();
    // The rows beyond the few a sensor usually checks are set off in grey.
    for (int row = kFirstSpareRow; row <= kTableRows; ++row)
        for (int c = 1; c <= kValueColumns; ++c) SetCellColor(row, c, kSpareRows);
    meanPanel.StartUp();
    recordPanel.StartUp();
}

// --- TEACH DATA TO ------------------------------------------------------------------------

void TeachPage::CBF_ButtonTeachDataTo(ui::Event e) {
    if (e != ui::Event::Commit) return;
    // The teach takes the last frame: the displays show nothing else.
    S().SetTeachRowNo(static_cast<std::uint16_t>(editNo->value()));
    TeachCurrentValues();  // the model tells the charts
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
    WriteCells(out.cells);
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
    const auto& cell = ctx.session.Parameters().teach[static_cast<std::size_t>(rowNo)].cell;
    for (std::size_t c = 0; c < cells.size(); ++c) cells[c] = cell[c];
    return cells;
}

void TeachPage::ApplyTeach(const TeachOutcome& out) {
    WriteCells(out.cells);
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
    std::vector<CellWrite> cells;
    for (int row = 1; row <= kTableRows; ++row)
        for (int column = 1; column <= kValueColumns; ++column)
            cells.push_back({row, column, kResetValue});
    WriteCells(cells);
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
    std::vector<params::TeachCell> into;
    for (const CellWrite& c : cells)
        if (c.row >= 1 && c.row <= kTableRows && IsValueColumn(c.column))
            into.push_back({static_cast<std::size_t>(c.row - 1),
                            static_cast<std::size_t>(c.column - 1), c.value});
    S().EditParameters([&into](params::ParameterModel& m) { return m.SetTeachCells(into); });
}

void TeachPage::TableChanged() {
    // What the user typed into a cell goes into the model; the charts follow.
    std::vector<CellWrite> typed;
    for (int row = 1; row <= kTableRows; ++row)
        for (int c = 1; c <= kValueColumns; ++c) {
            const auto value = static_cast<std::uint16_t>(ui::CellValue(teachTable, row, c));
            if (value != S().Parameters().teach[row - 1].cell[c - 1])
                typed.push_back({row, c, value});
        }
    WriteCells(typed);
}

// --- showing the model ------------------------------------------------------------------------

void TeachPage::PrepareTable() {
    QSignalBlocker block(teachTable);
    QStringList columns;
    for (const char* label : params::TeachColumnLabels(0, 0)) columns << label;
    columns << QString();  // the row colour
    QStringList rows;
    for (int r = 0; r < kTableRows; ++r) rows << QString::number(r);
    teachTable->setHorizontalHeaderLabels(columns);
    teachTable->setVerticalHeaderLabels(rows);
    teachTable->verticalHeader()->setDefaultSectionSize(20);
    QHeaderView* header = teachTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setSectionResizeMode(kValueColumns, QHeaderView::Fixed);
    header->resizeSection(kValueColumns, 18);
    teachTable->setSelectionMode(QAbstractItemView::ContiguousSelection);
    // Five 16-bit columns and the colour beside them fill the narrow page only when each
    // is as wide as a five-digit value, not a share of the width.
    ui::FitColumnsTo(teachTable, 1, kValueColumns, QString::number(params::kCellMax));
    ui::SetColumnRange(teachTable, 1, kValueColumns, 0, params::kCellMax);
    ui::SetColumnReadOnly(teachTable, kValueColumns + 1);  // the row colour only
}

void TeachPage::ShowCells() {
    for (int row = 1; row <= kTableRows; ++row)
        for (int c = 1; c <= kValueColumns; ++c) {
            const int value = S().Parameters().teach[row - 1].cell[c - 1];
            if (ui::CellValue(teachTable, row, c) != value) ui::SetCell(teachTable, row, c, value);
        }
}

void TeachPage::ShowModes() {
    const auto& ev = S().Model().Modes().evaluation;
    // Without the digital outputs the table keeps the labels it last had.
    if (!ev) return;
    teachTable->setColumnHidden(2, ev->hiddenTeachColumn == 3);
    teachTable->setColumnHidden(3, ev->hiddenTeachColumn == 4);
    QSignalBlocker block(teachTable);
    for (int c = 0; c < kValueColumns; ++c) {
        const QString label = QString::fromLatin1(ev->teachLabels[static_cast<std::size_t>(c)]);
        if (QTableWidgetItem* item = teachTable->horizontalHeaderItem(c))
            item->setText(label);
        else
            teachTable->setHorizontalHeaderItem(c, new QTableWidgetItem(label));
    }
    // Rows the sensor checks are labelled green, the others red.
    for (int row = 1; row <= kTableRows; ++row) {
        QTableWidgetItem* label = teachTable->verticalHeaderItem(row - 1);
        if (!label) {
            label = new QTableWidgetItem(QString::number(row - 1));
            teachTable->setVerticalHeaderItem(row - 1, label);
        }
        label->setBackground(QColor(row <= ev->activeRows ? kActiveRow : kInactiveRow));
    }
}

void TeachPage::PaintRowColors() {
    for (int row = 1; row <= kTableRows; ++row)
        SetCellColor(row, kValueColumns + 1,
                     static_cast<QRgb>(S().RowColorTable()[row - 1]) & 0xFFFFFFu);
}

// Colours never count as an edit: the table's signals stay silent.
void TeachPage::SetCellColor(int row, int column, QRgb rgb) {
    QSignalBlocker block(teachTable);
    QTableWidgetItem* item = teachTable->item(row - 1, column - 1);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        teachTable->setItem(row - 1, column - 1, item);
    }
    item->setBackground(QColor(rgb));
}

}  // namespace teach
