#pragma once
// The recorder page: measurement frames into a tab-separated record file, one line per
// frame with date and time, in four modes: a number of frames at an interval, frames at an
// interval until STOP, one frame per click, and one frame per sensor trigger until STOP.
// The loops share the live loop's run flag and wait with the session's one wait, so STOP,
// a mode change or a tab change end them and no CPU is spent between frames. Each line is
// appended with the file opened and closed; lines that cannot be written are counted and
// reported at the end instead of the success text.

#include <functional>

#include "recorder/record_core.h"
#include "recorder/record_graph.h"
#include "session/page.h"
#include "ui/controls.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace recorder {

class RecorderPage final : public session::Page {
  public:
    explicit RecorderPage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;
    void ReadSettings(const ini::IniObject& file) override;
    void MainPageSelected(int page) override;

    // Shows the controls of the selected mode and hides the others.
    void ApplyRecordMode();
    // The record time of count mode from the interval and the number of values; an interval
    // below 0.25 s is written back as 0.25.
    void ComputeRecordTime();
    // The header of a new record file at `path`, which becomes the record path. False (and
    // said) when the file cannot be written.
    bool CreateRecordFile(const QString& path);
    int RecordedCount() const { return recordedCount_; }
    int Mode() const;

    // The local date and time of a data line: the machine's clock unless a test sets a
    // fixed one.
    void SetClock(std::function<DateTime()> now) { now_ = std::move(now); }
    // The record graph panel, as it stands.
    const RecordGraph& GraphPanel() const { return graph; }
    // Writes the counters and the record graph's displays now (they follow once per screen
    // refresh while frames come).
    void FlushDisplays();

  private:
    static const ui::ControlRow<RecorderPage> kControls[];

    // --- callbacks ----------------------------------------------------------------------
    void CBF_ButtonSelRecFile(ui::Event e);
    void CBF_ButtonStartRecord(ui::Event e);
    void CBF_ButtonStartTrigRec(ui::Event e);
    void CBF_ButtonStopRecord(ui::Event e);
    void CBF_ButtonManualRecord(ui::Event e);
    void CBF_EditSelectDataRec(ui::Event e);
    void CBF_EditInterval(ui::Event e);
    void CBF_EditRecVal(ui::Event e);
    void CBF_ButtonShowGraph(ui::Event e);

    // Controls.
    QPushButton* fileSelect = nullptr;
    QComboBox* mode = nullptr;
    QPushButton* start = nullptr;
    QPushButton* stop = nullptr;
    QPushButton* startTriggered = nullptr;
    QPushButton* manual = nullptr;
    QPushButton* showGraph = nullptr;
    QLineEdit* path = nullptr;
    QLineEdit* identification = nullptr;
    QDoubleSpinBox* interval = nullptr;
    QSpinBox* valueCount = nullptr;
    QLineEdit* days = nullptr;
    QLineEdit* hours = nullptr;
    QLineEdit* minutes = nullptr;
    QLineEdit* seconds = nullptr;
    QLineEdit* recorded = nullptr;
    QLineEdit* remaining = nullptr;
    QLineEdit* frameCounter = nullptr;
    QLabel *labelInterval = nullptr, *labelValues = nullptr, *labelTime = nullptr,
           *labelRecorded = nullptr, *labelRemaining = nullptr, *labelFrames = nullptr;
    QWidget* timeUnits = nullptr;  // the d, h, min, s labels go with the record time

    RecordGraph graph;
    std::function<DateTime()> now_;

    // The interval loop of count and continuous mode, after the questions.
    void RunIntervalLoop();
    // Frames the sensor sends on its triggers until STOP.
    void RunTriggeredLoop();
    // A frame with a whole measurement into displays, graph and file (the loops hand over
    // no other: a line of one would repeat the previous frame's words).
    void TakeMeasurement(const sensorlink::Exchange& e);
    // The frame just taken: graph, line, counters.
    void RecordFrame();
    void AppendLine(const session::MeasuredValues& m);
    void ShowEnd(int frames);
    void SetIndicatorMode(bool running);
    std::string PathBytes();

    RecordFile file_;
    int recordedCount_ = 0;  // count mode's frames, and manual records
    double frames_ = 0.0;    // the frame counter of continuous and triggered mode
    int unmeasured_ = 0;     // frames of this recording that carried no measurement
    ui::Refresh counters_;
};

}  // namespace recorder
