#pragma once
// The record graph panel (GRAPHP): the seven recorded signals (RED, GREEN, BLUE, X s, Y i,
// INT M, TEMP) against the frame index, one trace each, of which the signal selector shows
// one; the seven values of the last recorded frame; the close button. Part of the recorder
// page.

#include <QObject>
#include <array>

#include "recorder/record_core.h"
#include "session/page.h"
#include "ui/controls.h"
#include "ui/graph.h"
#include "ui/refresh.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace recorder {

inline constexpr int kGraphSignals = 7;

class RecordGraph {
  public:
    explicit RecordGraph(session::PageContext& context);

    void LookUp(ui::Lookup& look);
    void StartUp();

    // One recorded frame: its values into the displays (once per screen refresh) and one
    // more point on every trace.
    void Update(const RecordWords& words);
    // Every trace emptied; the index starts at 0 again.
    void Reset();
    // The coordinate names of the modes on the selector and the value labels.
    void ApplyModes(const session::ModeView& modes);
    // Shows the trace the selector names (any other value: RED).
    void SelectSignal(int signal);
    int Index() const { return index_; }
    ui::Graph* Graph() const { return graph_; }
    ui::PlotId Trace(int signal) const { return traces_[static_cast<std::size_t>(signal)]; }
    void FlushDisplays() { displays_.Flush(); }
    // The panel in the child area, in front of the data panel.
    void Show();

  private:
    static const ui::ControlRow<RecordGraph> kControls[];

    // --- callbacks ----------------------------------------------------------------------
    void CBF_ButtonGpClose(ui::Event e);
    void CBF_EditSignal(ui::Event e);

    void WriteDisplays();

    // Controls.
    QWidget* panel = nullptr;
    QWidget* area = nullptr;
    QComboBox* signal = nullptr;
    QPushButton* close = nullptr;
    std::array<QLineEdit*, kGraphSignals> values{};

    session::PageContext& ctx_;
    ui::Graph* graph_ = nullptr;
    std::array<QLabel*, 3> labels_{};  // the value labels of the three coordinates
    std::array<ui::PlotId, kGraphSignals> traces_{};
    int shownSignal_ = 0;
    int index_ = 0;  // x of the next point
    std::array<std::uint16_t, kGraphSignals> last_{};
    ui::Refresh displays_{[this] { WriteDisplays(); }};
};

}  // namespace recorder
