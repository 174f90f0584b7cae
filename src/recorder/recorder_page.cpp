#include "recorder/recorder_page.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "device/triggered.h"
#include "link/replies.h"
#include "ui/controls.h"

namespace recorder {

using ui::Text;

using R = RecorderPage;
using ui::Field;

const ui::ControlRow<R> R::kControls[] = {
    {"MAINP", "ButtonRecFileSelect", Field<&R::fileSelect>(), "CBF_ButtonSelRecFile",
     &R::CBF_ButtonSelRecFile, "Select a record file for data save. ", "Select record file"},
    {"MAINP", "DispRecPath", Field<&R::path>(), "CBF_DispRecFile", nullptr,
     "Shows the path of the record file. "},
    {"MAINP", "DispRecId", Field<&R::identification>(), nullptr, nullptr, nullptr,
     "Sensor identification"},
    {"MAINP", "ButtonRecStart", Field<&R::start>(), "CBF_ButtonStartRecord",
     &R::CBF_ButtonStartRecord, "Start data record.", "Start recording"},
    {"MAINP", "ButtonRecStop", Field<&R::stop>(), "CBF_ButtonStopRecord", &R::CBF_ButtonStopRecord,
     "Stop data record.", "Stop recording"},
    {"MAINP", "ButtonRecStartTriggered", Field<&R::startTriggered>(), "CBF_ButtonStartTrigRec",
     &R::CBF_ButtonStartTrigRec, "Start data record."},
    {"MAINP", "ButtonManualRecord", Field<&R::manual>(), "CBF_ButtonManualRecord",
     &R::CBF_ButtonManualRecord, "Record one frame manually \nand append to existing file. "},
    {"MAINP", "EditRecMode", Field<&R::mode>(), "CBF_EditSelectDataRec", &R::CBF_EditSelectDataRec,
     "Select how to record data frame. "},
    {"MAINP", "EditInterval", Field<&R::interval>(), "CBF_EditInterval", &R::CBF_EditInterval,
     "Choose a interval in secondes for recording. \nMinimum interval is 0,25 second."},
    {"MAINP", "EditRecVal", Field<&R::valueCount>(), "CBF_EditRecVal", &R::CBF_EditRecVal,
     "Choose how many data frames should be recorded. "},
    {"MAINP", "DispRecordDays", Field<&R::days>(), "CBF_DispRecordTime", nullptr,
     "Displays the time for recording \nwhen all VALUES will be recorded.", "Record time, days"},
    {"MAINP", "DispRecordHours", Field<&R::hours>(), "CBF_DispRecordTime", nullptr,
     "Displays the time for recording \nwhen all VALUES will be recorded.", "Record time, hours"},
    {"MAINP", "DispRecordMinutes", Field<&R::minutes>(), "CBF_DispRecordTime", nullptr,
     "Displays the time for recording \nwhen all VALUES will be recorded.", "Record time, minutes"},
    {"MAINP", "DispRecordSeconds", Field<&R::seconds>(), "CBF_DispRecordTime", nullptr,
     "Displays the time for recording \nwhen all VALUES will be recorded.", "Record time, seconds"},
    {"MAINP", "DispRecordedValues", Field<&R::recorded>(), "CBF_DispRecordedValues", nullptr,
     "Displays how many values are already recorded."},
    {"MAINP", "DispRemaining", Field<&R::remaining>(), "CBF_DispRemaining", nullptr,
     "Displays how many values remain to be recorded."},
    {"MAINP", "DispRecFrameCounter", Field<&R::frameCounter>(), nullptr, nullptr, nullptr},
    {"MAINP", "ButtonShowGraph", Field<&R::showGraph>(), "CBF_ButtonShowGraph",
     &R::CBF_ButtonShowGraph, "Switch to a graphical display for each signal."},
    {"MAINP", "LabelRecInterval", Field<&R::labelInterval>()},
    {"MAINP", "LabelRecValues", Field<&R::labelValues>()},
    {"MAINP", "LabelRecTime", Field<&R::labelTime>()},
    {"MAINP", "LabelRecRecorded", Field<&R::labelRecorded>()},
    {"MAINP", "LabelRecRemaining", Field<&R::labelRemaining>()},
    {"MAINP", "LabelRecFrames", Field<&R::labelFrames>()},
};

namespace {

constexpr const char* kRightFileQuestion =
    "Are you sure, that you have selected the right file name?";
constexpr const char* kNotOpenWarning =
    " Make sure, that the file is not opened by any other program. \n Otherwise it can not be "
    "saved.";
constexpr const char* kNoFileSelected = "No filename was selected! \nRecording will not be done! ";
constexpr const char* kFileExists = "File already exist! \nDo you want to select existing file?";
constexpr const char* kCannotCreate = "The record file could not be written! \n";
constexpr const char* kDefaultName = "RecordFile.dat";
constexpr const char* kFilter = "*.dat";
constexpr const char* kDialogTitle = "FILENAME!";

RecordWords WordsOf(const session::MeasuredValues& m) {
    return {m.red,
            m.green,
            m.blue,
            m.x,
            m.y,
            m.intensity,
            static_cast<std::uint16_t>(m.deltaC),
            m.colorNo,
            m.groupNo,
            m.triggered,
            m.temperature};
}

DateTime LocalNow() {
    const QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(),  t.date().month(),   t.date().day(),
            t.time().hour(), t.time().minute(), t.time().second()};
}

}  // namespace

RecorderPage::RecorderPage(session::PageContext& context)
    : Page(context), graph(context), now_(LocalNow), counters_([this] {
          ui::SetValue(recorded, QString::number(recordedCount_));
          if (Mode() == kModeCount)
              ui::SetValue(remaining, QString::number(valueCount->value() - recordedCount_));
          ui::SetValue(frameCounter, QString::number(frames_, 'f', 0));
      }) {
    QObject::connect(&S(), &session::Session::IdentificationChanged, ctx.mainPanel,
                     [this](const QString& text) { ui::SetValue(identification, text); });
}

void RecorderPage::FlushDisplays() {
    counters_.Flush();
    graph.FlushDisplays();
}

void RecorderPage::LookUp(ui::Lookup& look) {
    ui::AttachControls<R>(look, ctx.runtime, *this, kControls);
    graph.LookUp(look);
}

void RecorderPage::RegisterBusy(ui::Busy& busy) {
    for (QWidget* w : ui::Widgets(fileSelect, mode, start, startTriggered))
        busy.Register(w, ui::BusyRole::Transaction);
}

void RecorderPage::StartUp() {
    graph.StartUp();
    timeUnits = days->parentWidget();
    ApplyRecordMode();
    ComputeRecordTime();
    ui::SetButtonColour(start, ui::kButtonIdle);
    ui::SetButtonColour(startTriggered, ui::kButtonIdle);
}

void RecorderPage::ReadSettings(const ini::IniObject&) {
    // The remembered record path was read with the other paths.
    ui::SetPath(path, QDir::toNativeSeparators(S().Paths().recordPath));
}

void RecorderPage::MainPageSelected(int page) {
    if (page != session::kPageRecorder) return;
    ApplyRecordMode();
    if (Mode() == kModeCount) ComputeRecordTime();
}

int RecorderPage::Mode() const {
    return ui::ComboValue(mode);
}

std::string RecorderPage::PathBytes() {
    return QFile::encodeName(S().Paths().recordPath).toStdString();
}

// --- modes ---------------------------------------------------------------------------------

void RecorderPage::ApplyRecordMode() {
    const int m = Mode();
    const bool count = m == kModeCount;
    const bool interval = count || m == kModeContinuous;
    const bool counted = count || m == kModeManual;
    const bool frames = m == kModeContinuous || m == kModeTriggered;
    auto show = [](std::initializer_list<QWidget*> widgets, bool visible) {
        for (QWidget* w : widgets) ui::SetVisible(w, visible);
    };
    show({this->interval, labelInterval}, interval);
    show({valueCount, labelValues, days, hours, minutes, seconds, labelTime}, count);
    for (QLabel* unit : {ctx.mainPanel->findChild<QLabel*>(QStringLiteral("LabelRecDays")),
                         ctx.mainPanel->findChild<QLabel*>(QStringLiteral("LabelRecHours")),
                         ctx.mainPanel->findChild<QLabel*>(QStringLiteral("LabelRecMinutes")),
                         ctx.mainPanel->findChild<QLabel*>(QStringLiteral("LabelRecSeconds"))})
        if (unit) ui::SetVisible(unit, count);
    show({recorded, labelRecorded}, counted);
    show({remaining, labelRemaining}, count);
    show({frameCounter, labelFrames}, frames);
    show({start}, interval);
    show({stop}, m != kModeManual);
    show({startTriggered}, m == kModeTriggered);
    show({manual}, m == kModeManual);
}

void RecorderPage::ComputeRecordTime() {
    const RecordTime t =
        recorder::ComputeRecordTime(interval->value(), static_cast<std::uint16_t>(valueCount->value()));
    ui::SetValue(recorded, QStringLiteral("0"));
    ui::SetValue(remaining, QString::number(valueCount->value()));
    if (interval->value() < kMinInterval) ui::SetValue(interval, kMinInterval);
    ui::SetValue(days, QString::number(t.days));
    ui::SetValue(hours, QString::number(t.hours));
    ui::SetValue(minutes, QString::number(t.minutes));
    ui::SetValue(seconds, QString::number(t.seconds, 'f', 2));
}

void RecorderPage::CBF_EditSelectDataRec(ui::Event e) {
    if (e != ui::Event::Commit) return;
    S().StopLoops();
    const int m = Mode();
    if (m == kModeManual) {
        recordedCount_ = 0;
        ui::SetValue(recorded, QStringLiteral("0"));
    }
    if (m == kModeCount) ComputeRecordTime();
    graph.Reset();
    ApplyRecordMode();
}

void RecorderPage::CBF_EditInterval(ui::Event e) {
    if (e == ui::Event::Commit) ComputeRecordTime();
}

void RecorderPage::CBF_EditRecVal(ui::Event e) {
    if (e == ui::Event::Commit) ComputeRecordTime();
}

void RecorderPage::CBF_ButtonShowGraph(ui::Event e) {
    if (e == ui::Event::Commit) graph.Show();
}

// --- the file --------------------------------------------------------------------------------

void RecorderPage::CBF_ButtonSelRecFile(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::Popups& popups = S().popups;
    const QFileInfo current(S().Paths().recordPath);
    ui::FileDialogSpec spec;
    spec.directory = current.absolutePath();
    spec.defaultName = Text(kDefaultName);
    spec.filter = Text(kFilter);
    spec.title = Text(kDialogTitle);
    spec.save = true;
    spec.askOverwrite = false;  // the question below is ours
    const std::optional<QString> chosen = popups.FileSelect(spec);
    // A cancelled dialog, or No to an existing file, keeps the record path the display shows.
    if (!chosen || chosen->isEmpty()) {
        popups.Message(Text(ui::kAttentionTitle), Text(kNoFileSelected));
        return;
    }
    if (QFileInfo::exists(*chosen) &&
        !popups.Confirm(Text(ui::kAttentionTitle), Text(kFileExists)))
        return;
    if (QFileInfo::exists(*chosen)) popups.Message(Text(ui::kAttentionTitle), Text(kNotOpenWarning));
    CreateRecordFile(*chosen);
}

bool RecorderPage::CreateRecordFile(const QString& chosen) {
    S().RememberPath(&session::FilePaths::recordPath, chosen);
    ui::SetPath(path, QDir::toNativeSeparators(chosen));
    file_.ResetCounts();
    if (file_.Create(PathBytes(), S().IdentificationText().toStdString())) return true;
    S().popups.Message(Text(ui::kAttentionTitle),
                       Text(kCannotCreate) + QString::fromLocal8Bit(file_.LastError().c_str()));
    return false;
}

void RecorderPage::AppendLine(const session::MeasuredValues& m) {
    file_.Append(PathBytes(), DataLine(now_(), WordsOf(m)));
}

void RecorderPage::ShowEnd(int frames) {
    const EndReport report = RecordingEnd(frames, file_, PathBytes());
    S().popups.Message(Text(report.success ? ui::kInfoTitle : ui::kAttentionTitle),
                       QString::fromLocal8Bit(report.text.c_str()));
    if (unmeasured_ > 0)
        S().Note(QString::fromStdString(UnmeasuredText(unmeasured_)) + QStringLiteral("\n\n"));
}

void RecorderPage::TakeMeasurement(const sensorlink::Exchange& e) {
    S().TakeMeasurementReply(e);  // displays and charts
    RecordFrame();
}

// --- count and continuous mode ------------------------------------------------------------------

void RecorderPage::CBF_ButtonStartRecord(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (S().LoopRunning()) return;  // Start is dimmed while a loop runs; never a second one
    ui::BusyScope busy(ctx.busy);
    graph.Reset();
    ui::Popups& popups = S().popups;
    if (!popups.Confirm(Text(ui::kAttentionTitle), Text(kRightFileQuestion))) return;
    popups.Message(Text(ui::kAttentionTitle), Text(kNotOpenWarning));
    SetIndicatorMode(true);
    RunIntervalLoop();
    counters_.Flush();
    ShowEnd(static_cast<int>(file_.Written() + file_.Lost()));
    SetIndicatorMode(false);
}

void RecorderPage::SetIndicatorMode(bool running) {
    for (QWidget* w : ui::Widgets(interval, valueCount))
        w->setEnabled(!running);
    // Start is dimmed by the busy convention meanwhile; red says that it runs.
    ui::SetButtonColour(start, running ? ui::kButtonRunning : ui::kButtonIdle);
}

void RecorderPage::RunIntervalLoop() {
    recordedCount_ = 0;
    ComputeRecordTime();  // the 0.25 s minimum, also for a value typed and not committed
    frames_ = 0.0;
    unmeasured_ = 0;
    file_.ResetCounts();
    const bool countMode = Mode() == kModeCount;
    const int values = valueCount->value();
    // No values to record in count mode: no request at all (rather than 65 536 of them).
    if (countMode && values == 0) return;
    session::Loop loop;
    loop.pace = session::Pace::Schedule;
    loop.period = interval->value();
    loop.goOn = [this, countMode, values] { return !countMode || recordedCount_ < values; };
    // A frame without measured values (an error frame, a short one): no line, counted and
    // said after the recording.
    loop.measurementsOnly = true;
    loop.unmeasured = [this](const sensorlink::Exchange&) { ++unmeasured_; };
    loop.frame = [this](const sensorlink::Exchange& e) {
        TakeMeasurement(e);
        return true;
    };
    // The count goes on whether or not the exchange succeeded.
    loop.passDone = [this, countMode](const sensorlink::Exchange&) {
        if (countMode)
            ++recordedCount_;
        else
            frames_ += 1.0;
        counters_.Request();
    };
    S().RunLoop(loop);
}

void RecorderPage::RecordFrame() {
    const session::MeasuredValues& m = S().Measured();
    graph.Update(WordsOf(m));
    AppendLine(m);
}

void RecorderPage::CBF_ButtonStopRecord(ui::Event e) {
    if (e == ui::Event::Commit) S().StopLoops();
}

// --- manual mode ----------------------------------------------------------------------------

void RecorderPage::CBF_ButtonManualRecord(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::SetDimmed(manual, true);
    // The last frame any loop took; no request goes out.
    file_.ResetCounts();
    RecordFrame();
    ++recordedCount_;
    counters_.Request();
    counters_.Flush();
    if (file_.Lost() > 0) ShowEnd(1);
    ui::SetDimmed(manual, false);
}

// --- triggered mode ---------------------------------------------------------------------------

void RecorderPage::CBF_ButtonStartTrigRec(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (S().LoopRunning()) return;
    ui::Popups& popups = S().popups;
    if (!popups.Confirm(Text(ui::kAttentionTitle), Text(kRightFileQuestion))) return;
    ui::BusyScope busy(ctx.busy);
    popups.Message(Text(ui::kAttentionTitle), Text(kNotOpenWarning));
    ui::SetButtonColour(startTriggered, ui::kButtonRunning);
    RunTriggeredLoop();
    // Triggered sending off again, whatever ended the loop.
    device::StopTriggeredSending(S().Link());
    counters_.Flush();
    ShowEnd(static_cast<int>(file_.Written() + file_.Lost()));
    ui::SetButtonColour(startTriggered, ui::kButtonIdle);
}

void RecorderPage::RunTriggeredLoop() {
    file_.ResetCounts();
    frames_ = 0.0;
    unmeasured_ = 0;
    counters_.Request();
    if (!device::StartTriggeredSending(S().Link()).Ok()) return;
    // No time limit for the header: the sensor sends when it is triggered.
    session::Loop loop;
    loop.pace = session::Pace::SensorSends;
    // As in the interval loop: a frame without measured values writes no line and is counted.
    loop.measurementsOnly = true;
    loop.unmeasured = [this](const sensorlink::Exchange&) { ++unmeasured_; };
    loop.frame = [this](const sensorlink::Exchange& e) {
        TakeMeasurement(e);
        frames_ += 1.0;
        counters_.Request();
        return true;
    };
    S().RunLoop(loop);
}

}  // namespace recorder
