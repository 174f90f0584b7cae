#include "measure/measure_page.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "ui/controls.h"

namespace measure {

namespace {

using M = MeasurePage;
using ui::Field;

const ui::ControlRow<M> kControls[] = {
    {"MAINP", "ButtonGo", Field<&M::go>(), "CBF_ButtonGo", &M::CBF_ButtonGo,
     "Starts data transfer from sensor to PC. \n\nShortcut Key: F11. "},
    {"MAINP", "ButtonStop", Field<&M::stop>(), "CBF_ButtonStop", &M::CBF_ButtonStop,
     "Stops data transfer from sensor to PC. \n\nShortcut Key: F12. "},
    {"DATAP", "TabDataP1", Field<&M::tabData>(), nullptr, nullptr, nullptr, "Data pages"},
    {"COLBIGP", "DispColBigId", Field<&M::colBigId>(), nullptr, nullptr, nullptr, "Identification"},
    {"GRPBIGP", "DispGrpBigId", Field<&M::grpBigId>(), nullptr, nullptr, nullptr, "Identification"},
};

}  // namespace

MeasurePage::MeasurePage(session::PageContext& context) : Page(context) {
    QObject::connect(&S(), &session::Session::IdentificationChanged, ctx.mainPanel,
                     [this](const QString& text) {
                         colBigId->setText(text);
                         grpBigId->setText(text);
                     });
}

void MeasurePage::LookUp(ui::Lookup& look) {
    ui::AttachControls<M>(look, ctx.runtime, *this, kControls);
    if (!look.Ok()) return;
    ctx.runtime.AddShortcut(ctx.mainPanel, Qt::Key_F11, go);
    ctx.runtime.AddShortcut(ctx.mainPanel, Qt::Key_F12, stop);
}

void MeasurePage::RegisterBusy(ui::Busy& busy) {
    busy.Register(go, ui::BusyRole::Transaction);
}

void MeasurePage::StartUp() {
    ui::SetActiveTabPage(tabData, kPage3D);
}

void MeasurePage::CBF_ButtonGo(ui::Event) {
    // The live loop runs from here once the measurement frames are decoded.
}

void MeasurePage::CBF_ButtonStop(ui::Event e) {
    if (e == ui::Event::Commit) S().app.loopRunning = false;
}

}  // namespace measure
