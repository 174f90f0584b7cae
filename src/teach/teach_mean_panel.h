#pragma once
// The capture-and-mean teach panel (TEACHP1): frames captured while a loop runs, their means
// and scatter, and TEACH of the means into the "No.:" row with tolerances from a fixed
// value, the scatter, both, or the table itself. The captures live in a CaptureStore; the
// values table shows it and a user edit of a cell goes back into it. The panel belongs to
// the teach page, whose table, "No.:" field and auto-increment switch it writes.

#include <QObject>

#include "session/page.h"
#include "teach/teach_core.h"
#include "ui/controls.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace teach {

class TeachPage;

class MeanPanel {
  public:
    MeanPanel(session::PageContext& context, TeachPage& page);

    void LookUp(ui::Lookup& look);
    void StartUp();

    // The labels of the panel for the modes; in the threshold modes the teach page's mean
    // and row controls go out of use instead.
    void ApplyLabels(std::uint16_t evaluationMode, std::uint16_t calculationMode);
    void CaptureFrame();
    void UndoCapture();
    void ResetCapture();
    void ComputeMeans();
    void TeachMeanValues();

    const CaptureStore& Captures() const { return store_; }
    const Means& LastMeans() const { return means_; }

  private:
    static const ui::ControlRow<MeanPanel> kControls[];

    // --- callbacks ----------------------------------------------------------------------
    void CBF_ButtonTeachMeanVal(ui::Event e);
    void CBF_ButtonTP1Capture(ui::Event e);
    void CBF_ButtonTP1Undo(ui::Event e);
    void CBF_ButtonTP1ResetTable(ui::Event e);
    void CBF_ButtonTP1Teach(ui::Event e);
    void CBF_ButtonCloseTeachPanel(ui::Event e);

    // Controls.
    QWidget* panel = nullptr;
    QPushButton* teachMean = nullptr;  // on the teach table page
    QLabel* labelNo = nullptr;         // on the teach table page
    QTableWidget* values = nullptr;
    QTableWidget* meanTable = nullptr;
    QLineEdit* counter = nullptr;
    QLineEdit* maxDeltaXY = nullptr;
    QLineEdit* maxDeltaInt = nullptr;
    QLabel* labelMaxDeltaXY = nullptr;
    QLabel* labelMaxDeltaInt = nullptr;
    QComboBox* ctoWith = nullptr;
    QComboBox* itoWith = nullptr;
    QLabel* labelCtoWith = nullptr;
    QLabel* labelItoWith = nullptr;
    QSpinBox* valueCto = nullptr;
    QSpinBox* valueIto = nullptr;
    QLabel* labelValueCto = nullptr;
    QLabel* labelValueIto = nullptr;
    QLineEdit *red = nullptr, *green = nullptr, *blue = nullptr;
    QPushButton* capture = nullptr;
    QPushButton* undo = nullptr;
    QPushButton* reset = nullptr;
    QPushButton* teach = nullptr;
    QPushButton* close = nullptr;

    session::Session& S() { return ctx_.session; }
    void ShowRow(int row);
    void ShowMeans();
    void ShowMeasuredRgb();
    void CellEdited(int row, int column);

    session::PageContext& ctx_;
    TeachPage& page_;
    CaptureStore store_;
    Means means_;
    QObject connections_;
};

}  // namespace teach
