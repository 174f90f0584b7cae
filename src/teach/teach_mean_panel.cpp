#include "teach/teach_mean_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <algorithm>

#include "params_core/texts.h"
#include "teach/teach_page.h"
#include "ui/controls.h"

namespace teach {

namespace {

using P = MeanPanel;
using ui::Field;

constexpr const char* kRingHelp =
    "Choose to which value the tolerance \nshould be set in the TEACH TABLE.";

}  // namespace

const ui::ControlRow<P> P::kControls[] = {
    {"MAINP", "ButtonTeachMean", Field<&P::teachMean>(), "CBF_ButtonTeachMeanVal",
     &P::CBF_ButtonTeachMeanVal, "Opens a panel to teach mean values. "},
    {"MAINP", "LabelNo", Field<&P::labelNo>()},
    {"TEACHP1", "ButtonTP1Capture", Field<&P::capture>(), "CBF_ButtonTP1Capture",
     &P::CBF_ButtonTP1Capture,
     "Get frame of R,G,B,X,Y,INT \nrespectively R,G,B,s,i,M \nand assign to table. "},
    {"TEACHP1", "ButtonTP1Undo", Field<&P::undo>(), "CBF_ButtonTP1Undo", &P::CBF_ButtonTP1Undo,
     "Remove the last frame from table. "},
    {"TEACHP1", "ButtonTP1ResetTable", Field<&P::reset>(), "CBF_ButtonTP1ResetTable",
     &P::CBF_ButtonTP1ResetTable, "Set all table cells to 0."},
    {"TEACHP1", "ButtonTP1Teach", Field<&P::teach>(), "CBF_ButtonTP1Teach", &P::CBF_ButtonTP1Teach,
     "Mean values are assigned to the \nTEACH TABLE row selected \nin the ROW No.: function "
     "field."},
    // Edits are taken by the cell that changed (below), so the row binds help only.
    {"TEACHP1", "GridTP1Values", Field<&P::values>(), "CBF_GridTP1Values", nullptr,
     "Table to list the captured values. ", "Captured values"},
    {"TEACHP1", "GridTP1Mean", Field<&P::meanTable>(), "CBF_GridTP1Mean", nullptr,
     "Table to list the mean values. ", "Mean values"},
    {"TEACHP1", "DispTP1Counter", Field<&P::counter>(), "CBF_DispTP1Counter", nullptr,
     "Displays the amount of captured frames. "},
    {"TEACHP1", "DispTP1MaxDeltaXY", Field<&P::maxDeltaXY>(), "CBF_DispTP1MaxDeltaXY", nullptr,
     "Displays the maximum distance to the mean values."},
    {"TEACHP1", "DispTP1MaxDeltaInt", Field<&P::maxDeltaInt>(), "CBF_DispTP1MaxDeltaInt", nullptr,
     "Displays the maximum intensity distance to mean value."},
    {"TEACHP1", "LabelTP1MaxDeltaXY", Field<&P::labelMaxDeltaXY>()},
    {"TEACHP1", "LabelTP1MaxDeltaInt", Field<&P::labelMaxDeltaInt>()},
    {"TEACHP1", "EditTP1TeachCtoWith", Field<&P::ctoWith>(), "CBF_EditTP1TeachCtoWith", nullptr,
     kRingHelp},
    {"TEACHP1", "EditTP1TeachItoWith", Field<&P::itoWith>(), "CBF_EditTP1TeachItoWith", nullptr,
     kRingHelp},
    {"TEACHP1", "LabelTP1TeachCtoWith", Field<&P::labelCtoWith>()},
    {"TEACHP1", "LabelTP1TeachItoWith", Field<&P::labelItoWith>()},
    {"TEACHP1", "EditTP1ValueCto", Field<&P::valueCto>(), "CBF_EditTP1ValueCto", nullptr,
     "Select CTO respectively siTO respectively TOL. "},
    {"TEACHP1", "EditTP1ValueIto", Field<&P::valueIto>(), "CBF_EditTP1ValueIto", nullptr,
     "Select ITO respectively MTO. "},
    {"TEACHP1", "LabelTP1ValueCto", Field<&P::labelValueCto>()},
    {"TEACHP1", "LabelTP1ValueIto", Field<&P::labelValueIto>()},
    {"TEACHP1", "DispTP1Red", Field<&P::red>()},
    {"TEACHP1", "DispTP1Green", Field<&P::green>()},
    {"TEACHP1", "DispTP1Blue", Field<&P::blue>()},
    {"TEACHP1", "ButtonCloseTeachPanel", Field<&P::close>(), "CBF_ButtonCloseTeachPanel",
     &P::CBF_ButtonCloseTeachPanel, "Close PANEL and return to MAIN PANEL. "},
};

namespace {

constexpr const char* kResetQuestion = params::kResetTableQuestion;
constexpr int kUndoRowsInView = 5;  // rows above the last capture kept in view

void SetText(QLabel* label, const char* text) {
    if (text) label->setText(QString::fromLatin1(text));
}

}  // namespace

MeanPanel::MeanPanel(session::PageContext& context, TeachPage& page) : ctx_(context), page_(page) {}

void MeanPanel::LookUp(ui::Lookup& look) {
    panel = look.PanelOf("TEACHP1");
    ui::AttachControls<P>(look, ctx_.runtime, *this, kControls);
}

void MeanPanel::StartUp() {
    // All six values side by side, the taught X, Y and INT among them, without scrolling
    // sideways; rows as high as their text, so that more captures are in view.
    for (QTableWidget* table : {values, meanTable}) {
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        table->verticalHeader()->setMinimumSectionSize(0);
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    }
    ui::SetColumnRange(values, 1, kCaptureColumns, 0, 0xFFFF);
    for (int c = 1; c <= kCaptureColumns; ++c) ui::SetColumnReadOnly(meanTable, c);
    for (int r = 1; r <= kCaptureRows; ++r)
        for (int c = 1; c <= kCaptureColumns; ++c) ui::SetCell(values, r, c, 0);
    ShowMeans();
    ui::SetButtonColour(reset, ui::kButtonIdle);
    // The program's own writes block the table's signals: this is the user's edit.
    QObject::connect(values, &QTableWidget::cellChanged, &connections_,
                     [this](int row, int column) { CellEdited(row + 1, column + 1); });
    QObject::connect(&S(), &session::Session::ModesChanged, &connections_, [this] {
        page_.ApplyTeachPanelLabels(S().Modes().evaluationMode, S().Modes().calculationMode);
    });
    // The panel's colour displays follow every frame of whichever loop runs, while it is
    // shown (it shows the last frame when it opens).
    S().AddFrameConsumer(session::FrameStage::Teach, [this] {
        if (panel->isVisible()) ShowMeasuredRgb();
    });
}

// --- opening and closing ---------------------------------------------------------------------

void MeanPanel::CBF_ButtonTeachMeanVal(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ctx_.childArea.Show(panel);
    ShowMeasuredRgb();
    page_.ApplyTeachPanelLabels(S().Modes().evaluationMode, S().Modes().calculationMode);
    // A running loop (GO's, say) feeds the panel already: never a second one inside it.
    if (S().LoopRunning()) return;
    ui::BusyScope busy(ctx_.busy);  // SEND and GET wait for the loop's end
    // The tolerance plot is drawn against the table as it stands.
    emit S().TeachTableChanged();
    S().RunLiveLoop();
}

void MeanPanel::CBF_ButtonCloseTeachPanel(ui::Event e) {
    if (e != ui::Event::Commit) return;
    S().StopLoops();   // the loop ends after its pass
    ctx_.childArea.Show(nullptr);  // the data panel
}

// --- labels --------------------------------------------------------------------------------

void MeanPanel::ApplyLabels(std::uint16_t evaluationMode, std::uint16_t calculationMode) {
    const bool threshold = evaluationMode >= kFirstThresholdMode;
    // Thresholds are taught into fixed rows: neither a mean nor a row number applies.
    ui::SetDimmed(teachMean, threshold);
    ui::SetVisible(labelNo, !threshold);
    if (threshold) return;
    // MIN DIST teaches its own colour tolerance.
    const bool minDist = evaluationMode == 2;
    ui::SetDimmed(ctoWith, minDist);
    ui::SetDimmed(valueCto, minDist);

    const TeachPanelLabels* l = TeachPanelLabelsFor(calculationMode);
    if (!l) return;
    for (QTableWidget* table : {values, meanTable})
        for (int i = 0; i < 3; ++i) {
            const QString text = QString::fromLatin1(l->columns[static_cast<std::size_t>(i)]);
            QTableWidgetItem* header = table->horizontalHeaderItem(kCapX - 1 + i);
            if (!header) {
                header = new QTableWidgetItem;
                table->setHorizontalHeaderItem(kCapX - 1 + i, header);
            }
            header->setText(text);
        }
    SetText(labelMaxDeltaXY, l->distance);
    SetText(labelMaxDeltaInt, l->intensityDistance);
    SetText(labelValueCto, l->colourValue);
    SetText(labelCtoWith, l->colourRing);
    SetText(labelValueIto, l->intensityValue);
    SetText(labelItoWith, l->intensityRing);
    // The fourth item of each ring (keep the table's tolerance) keeps its text.
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<std::size_t>(i);
        ctoWith->setItemText(i, QString::fromLatin1(l->colourItems[k]));
        if (l->intensityItems[k])
            itoWith->setItemText(i, QString::fromLatin1(l->intensityItems[k]));
    }
    for (QWidget* w : std::initializer_list<QWidget*>{maxDeltaInt, labelMaxDeltaInt, itoWith,
                                                      labelItoWith, valueIto, labelValueIto})
        ui::SetVisible(w, l->intensityShown);
}

// --- captures ------------------------------------------------------------------------------

void MeanPanel::CBF_ButtonTP1Capture(ui::Event e) {
    if (e == ui::Event::Commit) CaptureFrame();
}

void MeanPanel::CBF_ButtonTP1Undo(ui::Event e) {
    if (e == ui::Event::Commit) UndoCapture();
}

void MeanPanel::CBF_ButtonTP1ResetTable(ui::Event e) {
    if (e != ui::Event::Commit) return;
    // Red while the question is open, so the user sees which table is meant.
    ui::SetButtonColour(reset, ui::kButtonRunning);
    reset->repaint();
    if (S().popups.Confirm(QString::fromLatin1(ui::kAttentionTitle),
                           QString::fromLatin1(kResetQuestion)))
        ResetCapture();
    ui::SetButtonColour(reset, ui::kButtonIdle);
}

void MeanPanel::CaptureFrame() {
    const session::MeasuredValues& m = S().Measured();
    const int row = store_.CaptureFrame({m.red, m.green, m.blue, m.x, m.y, m.intensity});
    ui::SetValue(counter, store_.Count());
    ShowRow(row);
    values->scrollToItem(values->item(row - 1, 0));
    values->setCurrentCell(row - 1, 0);
    ComputeMeans();
}

void MeanPanel::UndoCapture() {
    const int cleared = store_.UndoCapture();
    ui::SetValue(counter, store_.Count());
    ShowRow(cleared);
    const int inView = std::max(store_.Count() - kUndoRowsInView, 1);
    values->scrollToItem(values->item(inView - 1, 0), QAbstractItemView::PositionAtTop);
    values->setCurrentCell(inView - 1, 0);
    ComputeMeans();
}

void MeanPanel::ResetCapture() {
    store_.ResetCapture();
    ui::SetValue(counter, 0);
    for (int r = 1; r <= kCaptureRows; ++r) ShowRow(r);
    values->setCurrentCell(0, 0);
    values->scrollToTop();
    means_ = {};
    ShowMeans();
}

void MeanPanel::ComputeMeans() {
    means_ = store_.ComputeMeans(S().Modes().calculationMode);
    ShowMeans();
}

void MeanPanel::CellEdited(int row, int column) {
    store_.SetCell(
        row, column,
        static_cast<std::uint16_t>(std::clamp(ui::CellValue(values, row, column), 0, 0xFFFF)));
    ShowRow(row);  // what the store holds
    ComputeMeans();
}

// --- TEACH ---------------------------------------------------------------------------------

void MeanPanel::CBF_ButtonTP1Teach(ui::Event e) {
    if (e != ui::Event::Commit) return;
    TeachMeanValues();
}

void MeanPanel::TeachMeanValues() {
    MeanTeach t;
    t.means = means_;
    for (int c = 1; c <= kCaptureColumns; ++c)
        t.means.values[static_cast<std::size_t>(c - 1)] =
            static_cast<std::uint16_t>(ui::CellValue(meanTable, 1, c));
    t.colourChoice = ui::ComboValue(ctoWith);
    t.colourValue = static_cast<std::uint16_t>(valueCto->value());
    t.intensityChoice = ui::ComboValue(itoWith);
    t.intensityValue = static_cast<std::uint16_t>(valueIto->value());
    const session::ModeView& v = S().Modes();
    t.modes = {v.evaluationMode, v.calculationMode, v.powerMode};
    t.teachRowNo = page_.RowNo();
    t.autoIncrement = page_.AutoIncrement();
    t.currentRow = page_.RowCells(t.teachRowNo);
    page_.ApplyTeach(teach::TeachMeanValues(t));
}

// --- displays ------------------------------------------------------------------------------

void MeanPanel::ShowRow(int row) {
    const CaptureRow& r = store_.Row(row);
    for (int c = 1; c <= kCaptureColumns; ++c)
        ui::SetCell(values, row, c, r[static_cast<std::size_t>(c - 1)]);
}

void MeanPanel::ShowMeans() {
    for (int c = 1; c <= kCaptureColumns; ++c)
        ui::SetCell(meanTable, 1, c, means_.values[static_cast<std::size_t>(c - 1)]);
    ui::SetValue(maxDeltaXY, means_.maxDistance);
    ui::SetValue(maxDeltaInt, means_.maxIntensityDistance);
}

void MeanPanel::ShowMeasuredRgb() {
    const session::MeasuredValues& m = S().Measured();
    ui::SetValue(red, m.red);
    ui::SetValue(green, m.green);
    ui::SetValue(blue, m.blue);
}

}  // namespace teach
