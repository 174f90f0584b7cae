#pragma once
// The teach table page: TEACH DATA TO into the row of the "No.:" field with the default
// tolerances of the selected modes, the table's context menu (set, increment and reset a
// selection, tolerance teaching off and on), the table reset, and the redraws that follow
// every change. The table shows the teach vectors of the session's parameter model, and
// every write and edit of a cell goes into the model.

#include <QColor>
#include <QObject>
#include <vector>

#include "session/page.h"
#include "teach/teach_core.h"
#include "teach/teach_mean_panel.h"
#include "teach/teach_record_panel.h"
#include "ui/controls.h"

class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace teach {

// Items of the teach table's context menu, by their place in the menu.
enum MenuItem : int {
    kMenuHelp = 0,
    kMenuSetSelection = 2,
    kMenuIncrementSelection = 3,
    kMenuResetSelection = 4,
    kMenuToleranceOff = 6,
    kMenuToleranceOn = 7,
};

class TeachPage final : public session::Page {
  public:
    explicit TeachPage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;

    // The last frame into the row S().TeachRowNo() (or the threshold rows) with the modes of
    // the parameter set as they are; the parameter set is not read back here.
    void TeachCurrentValues();
    // The same with the values given (a point picked in a recording), never from `measured`:
    // that holds only frames the sensor sent.
    void TeachValues(const Sample& sample);
    // "No.:" to 0 and every value cell to 1.
    void ResetTeachTable();
    // --- what the teach panels use --------------------------------------------------------
    int RowNo() const;         // the "No.:" field: the row a teach writes
    bool AutoIncrement() const;  // INC: the field moves on after a teach
    // The value cells of teach-table row `rowNo` (0 ... 30) as the table shows them.
    std::array<std::uint16_t, kValueColumns> RowCells(int rowNo) const;
    // A teach's cells into the table, and the field moved on where it says so.
    void ApplyTeach(const TeachOutcome& out);
    // Both teach panels labelled for the modes; the threshold modes have no row number,
    // no recording and no mean.
    void ApplyTeachPanelLabels(std::uint16_t evaluationMode, std::uint16_t calculationMode);

    // A context-menu item, as if the user chose it.
    void MenuChosen(int item);
    // The selected rectangle of the table, 1-based; empty when nothing is selected.
    Selection TableSelection() const;

    // "Teach tolerance off" is in force: a teach leaves the tolerance cells as they are.
    bool ToleranceOff() const { return toleranceOff_; }

    // The capture-and-mean teach panel, opened by TEACH MEAN.
    MeanPanel& Mean() { return meanPanel; }
    // The record-based teach panel, opened by TEACH RECORD.
    RecordPanel& Recording() { return recordPanel; }

  private:
    static const ui::ControlRow<TeachPage> kControls[];

    // --- callbacks ----------------------------------------------------------------------
    void CBF_ButtonTeachDataTo(ui::Event e);
    void CBF_EditNo(ui::Event e);
    void CBF_ButtonResetTable(ui::Event e);

    void SetToleranceOff(bool off);
    void SetSelectionTo();
    void IncrementSelectionWith();
    // Cells into the model; the table and the charts follow.
    void WriteCells(const std::vector<CellWrite>& cells);
    // The user edited the table: its cells into the model.
    void TableChanged();
    void PrepareTable();
    void ShowCells();
    void ShowModes();  // labels, hidden column and row labels per the mode rules
    void PaintRowColors();
    void SetCellColor(int row, int column, QRgb rgb);

    // Controls.
    QTableWidget* teachTable = nullptr;
    QPushButton* teachDataTo = nullptr;
    QSpinBox* editNo = nullptr;
    QCheckBox* radioInc = nullptr;
    QPushButton* resetTable = nullptr;
    QMenu* teachMenu = nullptr;
    QAction* toleranceOffItem = nullptr;
    QAction* toleranceOnItem = nullptr;

    MeanPanel meanPanel;
    RecordPanel recordPanel;
    // Context of the connections to the table and the session: they end with the page.
    QObject connections_;
    bool toleranceOff_ = false;
};

}  // namespace teach
