#include "teach/teach_record_panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

#include "link/replies.h"
#include "params_core/texts.h"
#include "teach/teach_page.h"
#include "ui/busy.h"
#include "ui/child_area.h"
#include "ui/controls.h"

namespace teach {

namespace {

using P = RecordPanel;
using ui::Field;

constexpr const char* kGraphHelp =
    "Display for recorded values. \nMove cursor to select a position \nwhich should be teached "
    "to the table.";

}  // namespace

const ui::ControlRow<P> P::kControls[] = {
    {"MAINP", "ButtonTeachRecVal", Field<&P::open>(), "CBF_ButtonTeachRecVal",
     &P::CBF_ButtonTeachRecVal,
     "Opens a panel to teach, with help \nfrom a graph, recorded values. "},
    {"TEACHP2", "ButtonTP2Start", Field<&P::start>(), "CBF_ButtonTP2Start", &P::CBF_ButtonTP2Start,
     "Start recording of values \nand displaying in the graphs."},
    {"TEACHP2", "ButtonTP2Reset", Field<&P::reset>(), "CBF_ButtonTP2Reset", &P::CBF_ButtonTP2Reset,
     "Reset graphs and counter."},
    {"TEACHP2", "ButtonTP2Teach", Field<&P::teach>(), "CBF_ButtonTP2Teach", &P::CBF_ButtonTP2Teach,
     "Teach cursor position to the \nTEACH TABLE row selected \nin the ROW No.: function field."},
    {"TEACHP2", "ButtonCloseTP2", Field<&P::close>(), "CBF_ButtonCloseTP2", &P::CBF_ButtonCloseTP2,
     "Close PANEL and return to MAIN PANEL. "},
    {"TEACHP2", "GraphXYTP2", Field<&P::graphXY>(), "CBF_GraphXYTP2", &P::CBF_GraphXYTP2,
     kGraphHelp, "X/Y record graph"},
    {"TEACHP2", "GraphXIntTP2", Field<&P::graphXInt>(), "CBF_GraphXIntTP2", &P::CBF_GraphXIntTP2,
     kGraphHelp, "X/INT record graph"},
    {"TEACHP2", "GraphYIntTP2", Field<&P::graphYInt>(), "CBF_GraphYIntTP2", &P::CBF_GraphYIntTP2,
     kGraphHelp, "Y/INT record graph"},
    {"TEACHP2", "LabelTP2GraphXY", Field<&P::labelXY>()},
    {"TEACHP2", "LabelTP2GraphXInt", Field<&P::labelXInt>()},
    {"TEACHP2", "LabelTP2GraphYInt", Field<&P::labelYInt>()},
    {"TEACHP2", "DispTP2X", Field<&P::dispX>()},
    {"TEACHP2", "DispTP2Y", Field<&P::dispY>()},
    {"TEACHP2", "DispTP2Int", Field<&P::dispInt>()},
    {"TEACHP2", "LabelTP2X", Field<&P::labelX>()},
    {"TEACHP2", "LabelTP2Y", Field<&P::labelY>()},
    {"TEACHP2", "LabelTP2Int", Field<&P::labelInt>()},
    {"TEACHP2", "DispTP2Counter", Field<&P::counter>(), "CBF_DispTP2Counter", nullptr,
     "Displays the amount of recorded values. "},
};

namespace {

constexpr const char* kResetQuestion = params::kResetTableQuestion;
const QColor kPointColour(0xFF, 0x00, 0x00);
constexpr int kPointSize = 3;
constexpr double kEmptyAxisMax = 4095;
constexpr int kTicks = 4;  // four graphs side by side: room for few labels

// A recorded coordinate as the displays show it: an unsigned 16-bit number.
int Word(double value) {
    if (!(value >= 0.0)) return 0;
    return value >= 65535.0 ? 65535 : static_cast<int>(value);
}

// A display read back: its number, 0 for anything else.
double DisplayedValue(const QLineEdit* display) {
    bool ok = false;
    const uint value = display->text().trimmed().toUInt(&ok);
    return ok && value <= 0xFFFF ? static_cast<double>(value) : 0.0;
}

QString Css(std::uint32_t rgb) {
    return QStringLiteral("#%1").arg(rgb & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

}  // namespace

RecordPanel::RecordPanel(session::PageContext& context, TeachPage& page)
    : ctx_(context), page_(page) {}

void RecordPanel::SetCapacity(std::size_t capacity) {
    store_ = RecordStore(capacity);
    ResetRecord();
}

void RecordPanel::LookUp(ui::Lookup& look) {
    panel = look.PanelOf("TEACHP2");
    ui::AttachControls<P>(look, ctx_.runtime, *this, kControls);
}

void RecordPanel::RegisterBusy(ui::Busy& busy) {
    busy.Register(start, ui::BusyRole::Transaction);
}

void RecordPanel::StartUp() {
    displays_.ShownIn(panel);
    graphs_ = {ui::Graph::Into(graphXY), ui::Graph::Into(graphXInt), ui::Graph::Into(graphYInt)};
    for (RecordGraph g : kRecordGraphs) {
        ui::Graph* graph = GraphOf(g);
        ui::StandIn(ctx_.runtime, graph, graph->parentWidget());
        graph->SetCursors(1);
        graph->SetZoomEnabled(false);  // the axes follow the points; a drag moves the cursor
        for (ui::Axis axis : {ui::Axis::X, ui::Axis::Y}) graph->SetTickCount(axis, kTicks);
        // The user let the cursor go: the graph's callback, as its commit.
        static constexpr void (P::*kCallbacks[])(ui::Event) = {
            &P::CBF_GraphXYTP2, &P::CBF_GraphXIntTP2, &P::CBF_GraphYIntTP2};
        QObject::connect(graph, &ui::Graph::CursorCommitted, &connections_, [this, g](int cursor) {
            if (cursor == 1) (this->*kCallbacks[Index(g)])(ui::Event::Commit);
        });
    }
    NewClouds();
    ui::SetValue(counter, 0);
}

void RecordPanel::NewClouds() {
    if (!graphs_[0]) return;  // before start-up: StartUp makes them
    for (RecordGraph g : kRecordGraphs) {
        ui::Graph* graph = GraphOf(g);
        graph->DeleteAllPlots();
        const ui::PlotId cloud = graph->NewScatter(kPointColour, ui::PointStyle::Dot, kPointSize);
        graph->ReservePoints(cloud, store_.Capacity());
        // A cursor dragged by the user sits on a recorded point, exactly, so the search
        // for the frame under it finds that frame.
        graph->SetCursorSnap(1, cloud);
        clouds_[Index(g)] = cloud;
        // Until the first point: the range of the sensor's 12-bit values.
        graph->SetAxisRange(ui::Axis::X, 0, kEmptyAxisMax);
        graph->SetAxisRange(ui::Axis::Y, 0, kEmptyAxisMax);
    }
    axes_ = {};
}

// --- opening and closing ---------------------------------------------------------------------

void RecordPanel::CBF_ButtonTeachRecVal(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ctx_.childArea.Show(panel);
    page_.ApplyTeachPanelLabels(S().Modes().evaluationMode, S().Modes().calculationMode);
}

void RecordPanel::CBF_ButtonCloseTP2(ui::Event e) {
    if (e != ui::Event::Commit) return;
    S().StopLoops();   // a recording ends after its pass
    ctx_.childArea.Show(nullptr);  // the data panel
}

void RecordPanel::SetAvailable(bool available) {
    ui::SetDimmed(open, !available);
}

void RecordPanel::ApplyLabels(std::uint16_t calculationMode) {
    const RecordPanelLabels* l = RecordPanelLabelsFor(calculationMode);
    if (!l) return;
    const std::array<QLabel*, 3> graphLabels = {labelXY, labelXInt, labelYInt};
    const std::array<QLabel*, 3> valueLabels = {labelX, labelY, labelInt};
    for (std::size_t i = 0; i < 3; ++i) {
        graphLabels[i]->setText(QString::fromLatin1(l->graphs[i]));
        valueLabels[i]->setText(QString::fromLatin1(l->values[i]));
    }
    const std::array<QLineEdit*, 2> coloured = {dispX, dispY};
    for (std::size_t i = 0; i < 2; ++i)
        coloured[i]->setStyleSheet(QStringLiteral("QLineEdit { color: %1; background-color: %2; }")
                                       .arg(Css(l->text[i]), Css(l->background[i])));
}

// --- recording -------------------------------------------------------------------------------

void RecordPanel::CBF_ButtonTP2Start(ui::Event e) {
    if (e != ui::Event::Commit) return;
    // Start is dimmed while any loop runs; a second loop inside the first is never started.
    if (S().LoopRunning()) return;
    ui::BusyScope busy(ctx_.busy);
    emit S().TeachTableChanged();  // the tolerance plot against the table as it stands
    RunRecordingLoop();
}

void RecordPanel::RunRecordingLoop() {
    session::Loop loop;
    // A full store takes no further point: the run ends before a request goes out.
    loop.goOn = [this] { return !store_.Full(); };
    // An error frame, or a frame without a whole measurement, is no point of the recording.
    loop.measurementsOnly = true;
    loop.frame = [this](const sensorlink::Exchange& e) {
        S().UnpackMeasurement(e);
        const session::MeasuredValues& m = S().Measured();
        AddPoint({static_cast<double>(m.x), static_cast<double>(m.y),
                  static_cast<double>(m.intensity)});
        return true;
    };
    S().RunLoop(loop);
    displays_.Flush();  // the last point, whatever the refresh timing
}

void RecordPanel::AddPoint(const RecordedPoint& point) {
    if (!store_.Add(point)) return;
    WidenAxes(point);
    for (RecordGraph g : kRecordGraphs) {
        const GraphPoint p = Coordinates(g, point);
        GraphOf(g)->AppendPoint(CloudOf(g), p.h, p.v);
    }
    MarkFrame(store_.Count() - 1);
    // The point and the counter reach the displays with the next screen refresh.
    shown_ = point;
    displays_.Request();
}

void RecordPanel::WidenAxes(const RecordedPoint& point) {
    const std::array<double, 3> values = {point.x, point.y, point.intensity};
    std::array<bool, 3> changed{};
    for (std::size_t i = 0; i < 3; ++i) {
        const AxisSpan grown = GrowAxis(axes_[i], values[i]);
        changed[i] = !axes_[i] || !(*axes_[i] == grown);
        axes_[i] = grown;
    }
    // Which of X, Y, INT each graph shows on its two axes.
    static constexpr std::array<std::array<std::size_t, 2>, 3> kAxesOf = {{{0, 1}, {0, 2}, {1, 2}}};
    for (RecordGraph g : kRecordGraphs) {
        const auto [h, v] = kAxesOf[Index(g)];
        ui::Graph* graph = GraphOf(g);
        if (changed[h]) graph->SetAxisRange(ui::Axis::X, axes_[h]->min, axes_[h]->max);
        if (changed[v]) graph->SetAxisRange(ui::Axis::Y, axes_[v]->min, axes_[v]->max);
    }
}

// --- cursors -------------------------------------------------------------------------------

void RecordPanel::CBF_GraphXYTP2(ui::Event e) {
    if (e == ui::Event::Commit) SelectAtCursor(RecordGraph::XY);
}

void RecordPanel::CBF_GraphXIntTP2(ui::Event e) {
    if (e == ui::Event::Commit) SelectAtCursor(RecordGraph::XInt);
}

void RecordPanel::CBF_GraphYIntTP2(ui::Event e) {
    if (e == ui::Event::Commit) SelectAtCursor(RecordGraph::YInt);
}

void RecordPanel::SelectAtCursor(RecordGraph graph) {
    // The keys step through the recorded frames in order and say which one the cursor is
    // on; a dragged cursor names only a place, where the first frame recorded there counts.
    ui::Graph* g = GraphOf(graph);
    const int stepped = g->CursorPointIndex(1);
    const QPointF at = g->CursorPosition(1);
    const std::size_t index = stepped >= 0 ? static_cast<std::size_t>(stepped)
                                           : store_.Find(graph, at.x(), at.y());
    const RecordedPoint point = store_.At(index).value_or(RecordedPoint{});
    ShowPoint(point);
    if (index < store_.Count())
        MarkFrame(index);
    else
        MarkPoint(point);
}

void RecordPanel::ShowPoint(const RecordedPoint& point) {
    shown_ = point;
    displays_.Request();
    displays_.Flush();
}

void RecordPanel::WriteDisplays() {
    ui::SetValue(dispX, Word(shown_.x));
    ui::SetValue(dispY, Word(shown_.y));
    ui::SetValue(dispInt, Word(shown_.intensity));
    ui::SetValue(counter, static_cast<int>(store_.Count()));
}

void RecordPanel::MarkFrame(std::size_t index) {
    for (RecordGraph g : kRecordGraphs) GraphOf(g)->SetCursorToPoint(1, static_cast<int>(index));
}

void RecordPanel::MarkPoint(const RecordedPoint& point) {
    for (RecordGraph g : kRecordGraphs) {
        const GraphPoint p = Coordinates(g, point);
        GraphOf(g)->SetCursor(1, p.h, p.v);
    }
}

// --- reset and teach -----------------------------------------------------------------------

void RecordPanel::CBF_ButtonTP2Reset(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (!S().popups.Confirm(QString::fromLatin1(ui::kAttentionTitle),
                            QString::fromLatin1(kResetQuestion)))
        return;
    ResetRecord();
}

void RecordPanel::ResetRecord() {
    store_.Reset();
    NewClouds();  // a recording that runs goes on into the new ones
    displays_.Flush();  // a point still due must not bring back the old count
    ui::SetValue(counter, 0);
}

void RecordPanel::CBF_ButtonTP2Teach(ui::Event e) {
    if (e != ui::Event::Commit) return;
    TeachDisplayedPoint();
}

void RecordPanel::TeachDisplayedPoint() {
    displays_.Flush();  // what the user sees is what is taught
    // The coordinates of the picked point, the colour of the last frame.
    const session::MeasuredValues& m = S().Measured();
    const Sample sample{static_cast<std::uint16_t>(DisplayedValue(dispX)),
                        static_cast<std::uint16_t>(DisplayedValue(dispY)),
                        static_cast<std::uint16_t>(DisplayedValue(dispInt)),
                        m.red,
                        m.green,
                        m.blue};
    S().SetTeachRowNo(static_cast<std::uint16_t>(page_.RowNo()));
    page_.TeachValues(sample);
}

}  // namespace teach
