#pragma once
// The scope page and its panel SCOPEP: the sensor's cycle time, a scan of 128 samples of
// three signals and a binary word around a trigger (command 110 and the four blocks the
// sensor then sends on its own), BREAK, the traces in time order, two cursors with their
// readout in ms, digits and volts, Ctrl+drag zoom and ZOOM 1:1, and a printed (or PDF)
// record of the panel with the user's comment.
//
// The scan waits for its blocks with Link::ReceiveFrame and no time limit, as a trigger may
// take as long as it likes; BREAK runs its own exchange inside that wait and ends it.

#include <array>
#include <optional>

#include "scope_core/scope_core.h"
#include "session/page.h"
#include "ui/controls.h"
#include "ui/graph.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace scope {

class ScopePage final : public session::Page {
  public:
    explicit ScopePage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;
    void MainPageSelected(int page) override;

    // Command 105: the scan frequency and the cycle time, shown.
    void QueryCycleTime();
    // Command 110 and its four blocks; true when they were stored and drawn.
    bool RunScan();
    // The stored traces into the graphs, as the signal selector asks.
    void DrawTraces();
    // x 0 ... 128, y by the recorded signal and the calculation mode; then the readout.
    void ResetAxes();
    void UpdateReadout();
    // The one-page record: the report, the print dialog, the result.
    void PrintScopeGraph();

    bool ScanActive() const { return scanActive_; }
    const std::array<Trace, 4>& Traces() const { return traces_; }
    double CycleTime() const { return cycleTime_; }
    ui::Graph* ScopeGraph() const { return graph_; }
    ui::Graph* BinaryGraph() const { return binary_; }

  private:
    static const ui::ControlRow<ScopePage> kControls[];

    // --- callbacks ----------------------------------------------------------------------
    void CBF_ButtonGetCycleTime(ui::Event e);
    void CBF_ButtonScan(ui::Event e);
    void CBF_ButtonBreakScan(ui::Event e);
    void CBF_EditTriggerMode(ui::Event e);
    void CBF_EditScopeRecSignal(ui::Event e);
    void CBF_EditScanRate(ui::Event e);
    void CBF_EditScopeComment(ui::Event e);
    void CBF_EditScopeSignal(ui::Event e);
    void CBF_ButtonZoom11(ui::Event e);
    void CBF_ButtonCloseSP(ui::Event e);
    void CBF_ButtonPrintScopeGraph(ui::Event e);

    // Controls.
    QWidget* panel = nullptr;  // SCOPEP
    QComboBox* triggerMode = nullptr;
    QSpinBox* preTrigger = nullptr;
    QSpinBox* triggerLevel = nullptr;
    QSpinBox* scanRate = nullptr;
    QComboBox* recordedSignal = nullptr;
    QLineEdit* scanFrequency = nullptr;
    QLineEdit* cycleTime = nullptr;
    QPushButton* cycleTimeButton = nullptr;
    QPushButton* scan = nullptr;
    QPushButton* breakScan = nullptr;
    QPushButton* print = nullptr;
    QPlainTextEdit* comment = nullptr;
    QComboBox* shownSignal = nullptr;
    QWidget* scopeArea = nullptr;
    QWidget* binaryArea = nullptr;
    QLabel* scanning = nullptr;
    QLineEdit* deltaX = nullptr;
    QLineEdit* deltaY = nullptr;
    QLineEdit* deltaYVolt = nullptr;
    QLabel* labelDeltaYVolt = nullptr;
    QPushButton* zoom11 = nullptr;
    QPushButton* close = nullptr;

    ui::Graph* graph_ = nullptr;
    ui::Graph* binary_ = nullptr;
    std::array<Trace, 4> traces_{};
    bool scanActive_ = false;
    bool scanBroken_ = false;  // BREAK switched the scan off at the sensor
    double cycleTime_ = 0.0;
};

}  // namespace scope
