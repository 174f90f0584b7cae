#include "scope/scope_page.h"

#include <QPushButton>

#include "ui/controls.h"

namespace scope {

namespace {

using S_ = ScopePage;
using ui::Field;

const ui::ControlRow<S_> kControls[] = {
    {"MAINP", "ButtonGetCycleTime", Field<&S_::cycleTime>()},
    {"MAINP", "ButtonScan", Field<&S_::scan>()},
    {"MAINP", "ButtonBreakScan", Field<&S_::breakScan>()},
};

}  // namespace

ScopePage::ScopePage(session::PageContext& context) : Page(context) {}

void ScopePage::LookUp(ui::Lookup& look) {
    panel = look.PanelOf("SCOPEP");
    ui::AttachControls<S_>(look, ctx.runtime, *this, kControls);
}

void ScopePage::RegisterBusy(ui::Busy& busy) {
    for (QWidget* w : {static_cast<QWidget*>(cycleTime), static_cast<QWidget*>(scan),
                       static_cast<QWidget*>(breakScan)})
        busy.Register(w, ui::BusyRole::Transaction);
}

void ScopePage::MainPageSelected(int page) {
    if (page != session::kPageScope) return;
    // The scope and the live loop do not share the sensor.
    S().app.loopRunning = false;
    ctx.childArea.Show(panel);
}

}  // namespace scope
