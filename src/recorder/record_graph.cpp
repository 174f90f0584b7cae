#include "recorder/record_graph.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/controls.h"

namespace recorder {

using G = RecordGraph;
using ui::Field;

const ui::ControlRow<G> G::kControls[] = {
    {"GRAPHP", "ButtonGpClose", Field<&G::close>(), "CBF_ButtonGpClose", &G::CBF_ButtonGpClose,
     "Close PANEL and return to MAIN PANEL. "},
    {"GRAPHP", "EditSignal", Field<&G::signal>(), "CBF_EditSignal", &G::CBF_EditSignal,
     "Select Signal to be displayed in the graph. "},
    {"GRAPHP", "GraphArea", Field<&G::area>(), "CBF_PanelGraphGraph", nullptr,
     "Displays the signals selected with SIGNAL. ", "Record graph"},
};

namespace {

constexpr const char* kDisplays[kGraphSignals] = {"DispGpRed", "DispGpGreen", "DispGpBlue",
                                                  "DispGpX",   "DispGpY",     "DispGpInt",
                                                  "DispGpTemp"};
const QColor kColours[kGraphSignals] = {QColor(0xFF0000), QColor(0x00FF00), QColor(0x0000FF),
                                        QColor(0xFF0000), QColor(0x00FF00), QColor(0x008080),
                                        QColor(0x008080)};
constexpr const char* kCoordinateLabels[3] = {"LabelGpX", "LabelGpY", "LabelGpInt"};
constexpr int kFirstCoordinate = 3;  // the selector's item of the first coordinate
// The words of a recorded frame that the graph shows: RED ... INT M, then TEMP.
constexpr std::size_t kWordOf[kGraphSignals] = {0, 1, 2, 3, 4, 5, 10};

}  // namespace

RecordGraph::RecordGraph(session::PageContext& context) : ctx_(context) {}

void RecordGraph::Show() {
    ctx_.childArea.Show(panel);
}

void RecordGraph::LookUp(ui::Lookup& look) {
    panel = look.PanelOf("GRAPHP");
    ui::AttachControls<G>(look, ctx_.runtime, *this, kControls);
    for (std::size_t i = 0; i < labels_.size(); ++i)
        labels_[i] = static_cast<QLabel*>(
            ui::LookUpControl(look, "GRAPHP", kCoordinateLabels[i], &QLabel::staticMetaObject));
    for (std::size_t i = 0; i < kGraphSignals; ++i) {
        values[i] = static_cast<QLineEdit*>(
            ui::LookUpControl(look, "GRAPHP", kDisplays[i], &QLineEdit::staticMetaObject));
        if (values[i]) ui::AttachControl(ctx_.runtime, values[i], nullptr, {}, {}, nullptr);
    }
}

void RecordGraph::StartUp() {
    QObject::connect(&ctx_.session, &session::Session::ModesChanged, panel,
                     [this] { ApplyModes(ctx_.session.Modes()); });
    ApplyModes(ctx_.session.Modes());
    displays_.ShownIn(panel);
    graph_ = ui::Graph::Into(area);
    graph_->SetZoomEnabled(true);
    ui::StandIn(ctx_.runtime, graph_, area);
    Reset();
    SelectSignal(0);
}

void RecordGraph::ApplyModes(const session::ModeView& modes) {
    // Items 3 ... 5 of the selector and the labels of their values name the coordinates as
    // the selected calculation mode does.
    const auto names = modes.CoordinateNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const QString name = QString::fromLatin1(names[i]);
        signal->setItemText(static_cast<int>(kFirstCoordinate + i), name);
        if (labels_[i]) labels_[i]->setText(name);
    }
}

void RecordGraph::Update(const RecordWords& words) {
    for (std::size_t i = 0; i < kGraphSignals; ++i) {
        last_[i] = words[kWordOf[i]];
        graph_->AppendPoint(traces_[i], index_, last_[i]);
    }
    ++index_;
    displays_.Request();
}

void RecordGraph::Reset() {
    index_ = 0;
    graph_->DeleteAllPlots();
    for (std::size_t i = 0; i < kGraphSignals; ++i) traces_[i] = graph_->NewLine(kColours[i]);
    SelectSignal(shownSignal_);
}

void RecordGraph::SelectSignal(int s) {
    shownSignal_ = s >= 0 && s < kGraphSignals ? s : 0;
    for (int i = 0; i < kGraphSignals; ++i)
        graph_->SetPlotVisible(traces_[static_cast<std::size_t>(i)], i == shownSignal_);
}

void RecordGraph::WriteDisplays() {
    for (std::size_t i = 0; i < kGraphSignals; ++i) ui::SetValue(values[i], last_[i]);
}

void RecordGraph::CBF_ButtonGpClose(ui::Event e) {
    if (e == ui::Event::Commit) ctx_.childArea.Show(nullptr);  // the data panel
}

void RecordGraph::CBF_EditSignal(ui::Event e) {
    if (e == ui::Event::Commit) SelectSignal(ui::ComboValue(signal));
}

}  // namespace recorder
