#include "calib/calib_page.h"

#include <QPushButton>

#include "ui/controls.h"

namespace calib {

namespace {

using C = CalibPage;
using ui::Field;

const ui::ControlRow<C> kControls[] = {
    {"MAINP", "ButtonSendCF", Field<&C::sendCF>()},
    {"MAINP", "ButtonGetCF", Field<&C::getCF>()},
    {"MAINP", "ButtonCalcCF", Field<&C::calcCF>()},
    {"MAINP", "ButtonSelfCalibration", Field<&C::selfCalibration>()},
    {"MAINP", "ButtonSendOffset", Field<&C::sendOffset>()},
    {"MAINP", "ButtonGetOffset", Field<&C::getOffset>()},
    {"MAINP", "ButtonCalcOffset", Field<&C::calcOffset>()},
};

}  // namespace

CalibPage::CalibPage(session::PageContext& context) : Page(context) {}

void CalibPage::LookUp(ui::Lookup& look) {
    ui::AttachControls<C>(look, ctx.runtime, *this, kControls);
}

void CalibPage::RegisterBusy(ui::Busy& busy) {
    for (QPushButton* b :
         {sendCF, getCF, calcCF, selfCalibration, sendOffset, getOffset, calcOffset})
        busy.Register(b, ui::BusyRole::Transaction);
}

}  // namespace calib
