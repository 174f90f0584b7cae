#include "scope/scope_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

#include "device/scan.h"
#include "device/sensor.h"
#include "link/replies.h"
#include "scope/scope_print.h"
#include "ui/controls.h"

namespace scope {

namespace {

using P = ScopePage;
using ui::Field;

constexpr const char* kInfoScanFreq =
    "Sensor scanfrequency. \nDon't interrupt the sensor for 8 seconds \nthen press the button.";
constexpr const char* kZoomHelp =
    "Zoom in: <Ctrl>+Left Mouse Button (drag to select).\nZoom out: Press ZOOM 1:1.";
constexpr const char* kGraphHelp =
    "Displays record results.\nRed line is RED or X or s. \nGreen line is GREEN or Y or i. "
    "\nBlue line is BLUE or INT or M. \n\nUpdate display deltaX and deltaY by moving the "
    "cursors. \nZoom in: <Ctrl>+Left Mouse Button (drag to select).\nZoom out: Press ZOOM 1:1.";

}  // namespace

const ui::ControlRow<P> P::kControls[] = {
    {"MAINP", "EditTriggerMode", Field<&P::triggerMode>(), "CBF_EditTriggerMode",
     &P::CBF_EditTriggerMode,
     "Select trigger mode! \nSINGLE SHOT: Data recording starts after pushing SCAN. \nRISING "
     "EDGE: Data recording starts when blue line goes higher than TRIGGER LEVEL. \nFALLING EDGE: "
     "Data recording starts when blue line goes lower than TRIGGER LEVEL. \nINTERNAL C-No.0: "
     "Data recording starts when color number 0 is detected. \nEXTERNAL IN0: Data recording "
     "starts when IN0 goes high."},
    {"MAINP", "EditPreTrigVal", Field<&P::preTrigger>(), "CBF_EditPreTrigVal", nullptr,
     "Number of recorded values \nwhich are stored before trigger occured."},
    {"MAINP", "EditTriggerLevel", Field<&P::triggerLevel>(), "CBF_EditTriggerLevel", nullptr,
     "Record starts when blue line passes TRIGGER LEVEL."},
    {"MAINP", "EditScanRate", Field<&P::scanRate>(), "CBF_EditScanRate", &P::CBF_EditScanRate,
     "Record a value every SCAN RATE scan."},
    {"MAINP", "EditScopeRecSignal", Field<&P::recordedSignal>(), "CBF_EditScopeRecSignal",
     &P::CBF_EditScopeRecSignal, "Select the signal which should be recorded."},
    {"MAINP", "ButtonGetCycleTime", Field<&P::cycleTimeButton>(), "CBF_ButtonGetCycleTime",
     &P::CBF_ButtonGetCycleTime,
     "Get cycle time from sensor. \nDon't interrupt the sensor for 8 seconds \nthen press the "
     "button.",
     "Get cycle time"},
    {"MAINP", "DispScanFreq", Field<&P::scanFrequency>(), "CBF_DispScanFreq", nullptr,
     kInfoScanFreq},
    {"MAINP", "DispCycleTime", Field<&P::cycleTime>()},
    {"MAINP", "ButtonScan", Field<&P::scan>(), "CBF_ButtonScan", &P::CBF_ButtonScan,
     "Start data recording and display the result in the graph."},
    {"MAINP", "ButtonBreakScan", Field<&P::breakScan>(), "CBF_ButtonBreakScan",
     &P::CBF_ButtonBreakScan, "Break data recording."},
    {"MAINP", "ButtonPrintScopeGraph", Field<&P::print>(), "CBF_ButtonPrintScopeGraph",
     &P::CBF_ButtonPrintScopeGraph, "Print settings,scope graph and comment.",
     "Print scope record"},
    {"MAINP", "EditScopeComment", Field<&P::comment>(), "CBF_EditScopeComment",
     &P::CBF_EditScopeComment, nullptr},
    {"SCOPEP", "EditScopeSignal", Field<&P::shownSignal>(), "CBF_EditScopeSignal",
     &P::CBF_EditScopeSignal, "Select a signal which should be displayed in the graph."},
    {"SCOPEP", "ScopeArea", Field<&P::scopeArea>(), "CBF_GraphScope", nullptr, kGraphHelp,
     "Scope graph"},
    {"SCOPEP", "ScopeBinaryArea", Field<&P::binaryArea>(), nullptr, nullptr, nullptr,
     "Binary signals"},
    {"SCOPEP", "LedScanRunning", Field<&P::scanning>()},
    {"SCOPEP", "DispDeltaX", Field<&P::deltaX>(), "CBF_DispDeltaX", nullptr,
     "Show delta X in [ms]. \nThe calculation is based on the cycle time shown\nin the display "
     "[ms] and the value of ScanRate."},
    {"SCOPEP", "DispDeltaY", Field<&P::deltaY>(), "CBF_DispDeltaY", nullptr,
     "Show delta Y in [digit] and [V]."},
    {"SCOPEP", "DispDeltaYVolt", Field<&P::deltaYVolt>(), "CBF_DispDeltaY", nullptr,
     "Show delta Y in [digit] and [V].", "delta Y [V]"},
    {"SCOPEP", "LabelDeltaYVolt", Field<&P::labelDeltaYVolt>()},
    {"SCOPEP", "ButtonZoom11", Field<&P::zoom11>(), "CBF_ButtonZoom11", &P::CBF_ButtonZoom11,
     kZoomHelp},
    {"SCOPEP", "ButtonCloseSP", Field<&P::close>(), "CBF_ButtonCloseSP", &P::CBF_ButtonCloseSP,
     "Close PANEL and return to MAIN PANEL. "},
};

namespace {

const QColor kTraceColours[3] = {QColor(0xFF0000), QColor(0x00FF00), QColor(0x0000FF)};
const QColor kBinaryColour(0x808080);
constexpr double kBinaryMin = -0.5;
constexpr double kBinaryMax = 3.5;
constexpr double kCursor1 = 32;  // where the cursors stand before the user moves them
constexpr double kCursor2 = 96;
constexpr int kLeftMargin = 52;  // room for "10000" at the y axis

std::vector<double> Doubles(const Trace& trace) {
    return std::vector<double>(trace.begin(), trace.end());
}

}  // namespace

ScopePage::ScopePage(session::PageContext& context) : Page(context) {}

void ScopePage::LookUp(ui::Lookup& look) {
    panel = look.PanelOf("SCOPEP");
    ui::AttachControls<P>(look, ctx.runtime, *this, kControls);
}

void ScopePage::RegisterBusy(ui::Busy& busy) {
    for (QWidget* w : ui::Widgets(cycleTimeButton, scan, breakScan))
        busy.Register(w, ui::BusyRole::Transaction);
}

void ScopePage::StartUp() {
    graph_ = ui::Graph::Into(scopeArea);
    binary_ = ui::Graph::Into(binaryArea);
    ui::StandIn(ctx.runtime, graph_, scopeArea);
    ui::StandIn(ctx.runtime, binary_, binaryArea);

    // The two graphs share their x axis on screen, so the cursors stand above each other.
    graph_->SetLeftMargin(kLeftMargin);
    binary_->SetLeftMargin(kLeftMargin);
    graph_->SetCursors(2, ui::CursorStyle::Crosshair);
    binary_->SetCursors(2, ui::CursorStyle::VerticalLine);
    binary_->SetCursorsMovable(false);
    binary_->SetZoomEnabled(false);
    binary_->SetAxisRange(ui::Axis::Y, kBinaryMin, kBinaryMax);
    QObject::connect(graph_, &ui::Graph::CursorMoved, ctx.mainPanel, [this] { UpdateReadout(); });
    QObject::connect(graph_, &ui::Graph::Zoomed, ctx.mainPanel, [this] {
        // The binary signals are read against the traces above them: the same instants.
        const QCPRange time = graph_->RequestedRange(ui::Axis::X);
        binary_->SetAxisRange(ui::Axis::X, time.lower, time.upper);
        UpdateReadout();
    });
    ui::SetVisible(scanning, false);
    CBF_EditTriggerMode(ui::Event::Commit);
    CBF_EditScopeRecSignal(ui::Event::Commit);
    ResetAxes();
    // Until a scan draws traces the cursors' lines stand mid-height, where they are seen.
    const double middle = graph_->RequestedRange(ui::Axis::Y).center();
    graph_->SetCursor(1, kCursor1, middle);
    graph_->SetCursor(2, kCursor2, middle);
    UpdateReadout();
}

void ScopePage::MainPageSelected(int page) {
    if (page != session::kPageScope) return;
    // The scope and the live loop do not share the sensor.
    S().StopLoops();
    ctx.childArea.Show(panel);
}

// --- settings -----------------------------------------------------------------------------

void ScopePage::CBF_EditTriggerMode(ui::Event e) {
    if (e != ui::Event::Commit) return;
    const int mode = ui::ComboValue(triggerMode);
    ui::SetDimmed(preTrigger, mode == kModeSingleShot);
    ui::SetDimmed(triggerLevel, mode != kModeRising && mode != kModeFalling);
}

void ScopePage::CBF_EditScopeRecSignal(ui::Event e) {
    if (e != ui::Event::Commit) return;
    const bool volts = ui::ComboValue(recordedSignal) == 2;
    ui::SetVisible(deltaYVolt, volts);
    ui::SetVisible(labelDeltaYVolt, volts);
}

void ScopePage::CBF_EditScanRate(ui::Event e) {
    if (e == ui::Event::Commit) UpdateReadout();
}

void ScopePage::CBF_EditScopeComment(ui::Event e) {
    if (e == ui::Event::RightDoubleClick) comment->clear();
}

// --- cycle time -----------------------------------------------------------------------------

void ScopePage::CBF_ButtonGetCycleTime(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::BusyScope busy(ctx.busy);
    QueryCycleTime();
    UpdateReadout();
}

void ScopePage::QueryCycleTime() {
    double frequency = 0.0;
    if (const auto cycle = device::ReadCycleTime(S().Link()))
        frequency = sensorlink::ScanFrequency(*cycle);
    const CycleDisplay d = CycleTimeDisplay(frequency);
    cycleTime_ = d.cycleTime;
    ui::SetValue(scanFrequency, d.scanFrequency, d.frequencyDecimals);
    ui::SetValue(cycleTime, d.cycleTime, d.cycleDecimals);
}

// --- scan -----------------------------------------------------------------------------------

void ScopePage::CBF_ButtonScan(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (S().LoopRunning() || scanActive_) return;  // one exchange at a time
    ui::BusyScope busy(ctx.busy);
    ResetAxes();
    ui::SetVisible(scanning, true);
    ctx.childArea.Show(panel);
    RunScan();
    ui::SetVisible(scanning, false);
}

bool ScopePage::RunScan() {
    device::ScanSettings settings;
    settings.triggerMode = static_cast<std::uint16_t>(ui::ComboValue(triggerMode));
    settings.preTrigger = static_cast<std::uint16_t>(preTrigger->value());
    settings.triggerLevel = static_cast<std::uint16_t>(triggerLevel->value());
    settings.scanRate = static_cast<std::uint16_t>(scanRate->value());
    settings.signal = static_cast<std::uint16_t>(ui::ComboValue(recordedSignal));
    if (!device::StartScan(S().Link(), settings).Ok()) return false;
    ui::SetDimmed(breakScan, false);
    std::array<Trace, 4> received = traces_;
    std::size_t blocks = 0;
    // Four blocks the sensor sends once it triggered, without a time limit: the trigger may
    // take as long as it likes. BREAK ends the wait.
    session::Loop loop;
    loop.pace = session::Pace::SensorSends;
    loop.passes = static_cast<int>(received.size());
    loop.flag = &scanActive_;
    // An error frame is taken as a block: one without the block's words is refused with the
    // header-frame text.
    loop.errorFrames = session::ErrorFrames::Take;
    loop.frame = [&](const sensorlink::Exchange& e) {
        const std::optional<Trace> trace = device::TakeScanBlock(S().Link(), e, settings);
        if (!trace) return false;
        received[blocks++] = *trace;
        return true;
    };
    scanActive_ = true;
    scanBroken_ = false;
    const session::LoopEnd end = S().RunLoop(loop);
    scanActive_ = false;
    if (blocks < received.size()) {
        // STOP, the connection page or a bad block ended the wait: the sensor is still armed
        // and would send its blocks into whatever exchange comes next. Switched off as BREAK
        // does, unless BREAK did or the line (or the session) is gone.
        if (!scanBroken_ && end != session::LoopEnd::LinkEnded) device::BreakScan(S().Link());
        return false;  // a bad or missing block draws nothing
    }
    traces_ = received;
    DrawTraces();
    return true;
}

void ScopePage::CBF_ButtonBreakScan(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::BusyScope busy(ctx.busy);
    // Blocks may still come, one of them half way in: passed over until the acknowledgement.
    device::BreakScan(S().Link());
    scanBroken_ = true;
    scanActive_ = false;  // whatever the result: a waiting scan returns
}

// --- graphs ---------------------------------------------------------------------------------

void ScopePage::DrawTraces() {
    graph_->DeleteAllPlots();
    const int shown = ui::ComboValue(shownSignal);
    for (int b = 0; b < 3; ++b)
        if (shown == 0 || shown == b + 1)
            graph_->PlotY(Doubles(traces_[static_cast<std::size_t>(b)]),
                          kTraceColours[static_cast<std::size_t>(b)]);
    binary_->DeleteAllPlots();
    const BinaryTraces bits = BinaryTracesOf(traces_[3]);
    binary_->PlotY(bits.upper, kBinaryColour);
    binary_->PlotY(bits.lower, kBinaryColour);
    // Each cursor goes onto the first trace shown, at the sample it stands on: its line
    // then marks a value of the signal rather than the bottom of the graph.
    const Trace& trace = traces_[static_cast<std::size_t>(shown == 0 ? 0 : shown - 1)];
    for (int c = 1; c <= 2; ++c) {
        const double x = graph_->CursorPosition(c).x();
        const long sample = std::clamp(std::lround(x), 0L, static_cast<long>(trace.size()) - 1);
        graph_->SetCursor(c, x, trace[static_cast<std::size_t>(sample)]);
    }
    UpdateReadout();
}

void ScopePage::CBF_EditScopeSignal(ui::Event e) {
    if (e == ui::Event::Commit) DrawTraces();  // the stored traces; the sensor is not asked
}

void ScopePage::ResetAxes() {
    const double yMax = ScopeAxisMax(static_cast<std::uint16_t>(ui::ComboValue(recordedSignal)),
                                     S().Modes().calculationMode);
    graph_->SetAxisRange(ui::Axis::X, 0, kScopeAxisX);
    graph_->SetAxisRange(ui::Axis::Y, 0, yMax);
    binary_->SetAxisRange(ui::Axis::X, 0, kScopeAxisX);
    UpdateReadout();
}

void ScopePage::CBF_ButtonZoom11(ui::Event e) {
    if (e == ui::Event::Commit) ResetAxes();
}

void ScopePage::UpdateReadout() {
    const QPointF c1 = graph_->CursorPosition(1);
    const QPointF c2 = graph_->CursorPosition(2);
    binary_->SetCursor(1, c1.x(), 0);
    binary_->SetCursor(2, c2.x(), 0);
    const CursorReadout r = ReadCursors(c1.x(), c1.y(), c2.x(), c2.y(),
                                        static_cast<std::uint16_t>(scanRate->value()), cycleTime_);
    ui::SetValue(deltaX, r.deltaX, r.deltaXDecimals);
    ui::SetValue(deltaY, r.deltaY, 0);
    ui::SetValue(deltaYVolt, r.volts, 3);
}

void ScopePage::CBF_ButtonCloseSP(ui::Event e) {
    if (e == ui::Event::Commit) ctx.childArea.Show(nullptr);  // the data panel
}

// --- printing -------------------------------------------------------------------------------

void ScopePage::CBF_ButtonPrintScopeGraph(ui::Event e) {
    if (e == ui::Event::Commit) PrintScopeGraph();
}

void ScopePage::PrintScopeGraph() {
    graph_->ReplotNow();
    binary_->ReplotNow();
    PrintReport(S().popups, panel, S().IdentificationText(), comment->toPlainText().left(1023));
}

}  // namespace scope
