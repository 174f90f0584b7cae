#include "teach/teach_page.h"

#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include "ui/controls.h"

namespace teach {

namespace {

using T = TeachPage;
using ui::Field;

// The teach table is bound by the parameter page, whose words its cells are; this page
// only adds the menu.
const ui::ControlRow<T> kControls[] = {
    {"MAINP", "GridCtt", Field<&T::teachTable>(), nullptr, nullptr, nullptr, "Teach table"},
    {"TEACHP2", "ButtonTeach2Start", Field<&T::teach2Start>()},
};

// The teach table's context menu; the items act once the teach operations exist.
const QStringList kTeachMenuItems = {"Help",
                                     "",
                                     "Set selection to",
                                     "Increment selection with",
                                     "Reset selection",
                                     "",
                                     "Teach tolerance off",
                                     "Teach tolerance on"};

}  // namespace

TeachPage::TeachPage(session::PageContext& context) : Page(context) {}

void TeachPage::LookUp(ui::Lookup& look) {
    ui::AttachControls<T>(look, ctx.runtime, *this, kControls);
}

void TeachPage::RegisterBusy(ui::Busy& busy) {
    busy.Register(teach2Start, ui::BusyRole::Transaction);
}

void TeachPage::StartUp() {
    teachMenu = ctx.runtime.AttachTableMenu(teachTable, kTeachMenuItems, {});
    teachMenu->actions().last()->setEnabled(false);  // "Teach tolerance on" starts dimmed
}

}  // namespace teach
