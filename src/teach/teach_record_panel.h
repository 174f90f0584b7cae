#pragma once
// The record-based teach panel (TEACHP2): frames requested back to back, each one a point in
// three scatter graphs (X/Y, X/INT, Y/INT), then a graph cursor put on one recorded point
// (the same frame is marked in all three graphs) and TEACH of that point into the "No.:"
// row. Points go into a RecordStore of fixed size; the graphs draw only the new point of a
// frame onto what they have drawn, and everything again only when an axis widens. The
// panel belongs to the teach page, whose table, "No.:" field and TeachCurrentValues it uses.

#include <QObject>
#include <array>
#include <optional>

#include "session/page.h"
#include "teach/teach_record.h"
#include "ui/controls.h"
#include "ui/graph.h"
#include "ui/refresh.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace teach {

class TeachPage;

class RecordPanel {
  public:
    RecordPanel(session::PageContext& context, TeachPage& page);

    void LookUp(ui::Lookup& look);
    void RegisterBusy(ui::Busy& busy);
    void StartUp();

    // The panel's graph titles, value labels and display colours for a calculation mode.
    void ApplyLabels(std::uint16_t calculationMode);
    // Frames until STOP, a failure or a full store; the caller dims and undims.
    void RunRecordingLoop();
    // One frame's point: displays, graphs, cursors, store and counter.
    void AddPoint(const RecordedPoint& point);
    // The recorded frame under cursor 1 of `graph`, marked in all three graphs and shown.
    void SelectAtCursor(RecordGraph graph);
    // Graphs cleared, counter 0; the store's entries stay until overwritten.
    void ResetRecord();
    // The three displayed values into the "No.:" row.
    void TeachDisplayedPoint();
    // The displays of the point and the counter are written once per screen refresh while
    // frames come in; this writes what is due now.
    void FlushDisplays() { displays_.Flush(); }

    const RecordStore& Store() const { return store_; }
    // A store of another size in place of the 60 000 points (tests reach its end quickly);
    // what was recorded is gone, as after Reset.
    void SetCapacity(std::size_t capacity);
    ui::Graph* GraphOf(RecordGraph graph) const { return graphs_[Index(graph)]; }
    ui::PlotId CloudOf(RecordGraph graph) const { return clouds_[Index(graph)]; }
    // TEACH RECORD usable or dimmed: the threshold modes have no recording.
    void SetAvailable(bool available);

  private:
    static const ui::ControlRow<RecordPanel> kControls[];

    // --- callbacks ----------------------------------------------------------------------
    void CBF_ButtonTeachRecVal(ui::Event e);
    void CBF_ButtonTP2Start(ui::Event e);
    void CBF_ButtonTP2Reset(ui::Event e);
    void CBF_ButtonTP2Teach(ui::Event e);
    void CBF_ButtonCloseTP2(ui::Event e);
    void CBF_GraphXYTP2(ui::Event e);
    void CBF_GraphXIntTP2(ui::Event e);
    void CBF_GraphYIntTP2(ui::Event e);

    // Controls.
    QWidget* panel = nullptr;
    QPushButton* open = nullptr;  // on the teach table page
    QPushButton* start = nullptr;
    QPushButton* reset = nullptr;
    QPushButton* teach = nullptr;
    QPushButton* close = nullptr;
    QWidget* graphXY = nullptr;  // placeholders of the three graphs
    QWidget* graphXInt = nullptr;
    QWidget* graphYInt = nullptr;
    QLabel* labelXY = nullptr;
    QLabel* labelXInt = nullptr;
    QLabel* labelYInt = nullptr;
    QLineEdit* dispX = nullptr;
    QLineEdit* dispY = nullptr;
    QLineEdit* dispInt = nullptr;
    QLabel* labelX = nullptr;
    QLabel* labelY = nullptr;
    QLabel* labelInt = nullptr;
    QLineEdit* counter = nullptr;

    static std::size_t Index(RecordGraph graph) { return static_cast<std::size_t>(graph); }
    session::Session& S() { return ctx_.session; }
    void NewClouds();
    void ShowPoint(const RecordedPoint& point);
    void WriteDisplays();
    void MarkPoint(const RecordedPoint& point);
    // The cursors of the three graphs onto recorded frame `index`.
    void MarkFrame(std::size_t index);
    void WidenAxes(const RecordedPoint& point);

    session::PageContext& ctx_;
    TeachPage& page_;
    RecordStore store_;
    std::array<ui::Graph*, 3> graphs_{};
    std::array<ui::PlotId, 3> clouds_{};
    // The axes as the recorded points have widened them: X, Y, INT.
    std::array<std::optional<AxisSpan>, 3> axes_{};
    RecordedPoint shown_;  // the point the displays show, or will at the next refresh
    ui::Refresh displays_{[this] { WriteDisplays(); }};
    QObject connections_;
};

}  // namespace teach
