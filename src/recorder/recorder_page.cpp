#include "recorder/recorder_page.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "ui/controls.h"

namespace recorder {

namespace {

using R = RecorderPage;
using ui::Field;

const ui::ControlRow<R> kControls[] = {
    {"MAINP", "ButtonRecFileSelect", Field<&R::fileSelect>()},
    {"MAINP", "EditRecMode", Field<&R::mode>()},
    {"MAINP", "ButtonRecStart", Field<&R::start>()},
    {"MAINP", "ButtonRecStartTriggered", Field<&R::startTriggered>()},
    {"MAINP", "DispRecPath", Field<&R::path>()},
    {"MAINP", "DispRecId", Field<&R::identification>(), nullptr, nullptr, nullptr,
     "Identification"},
};

}  // namespace

RecorderPage::RecorderPage(session::PageContext& context) : Page(context) {
    QObject::connect(&S(), &session::Session::IdentificationChanged, ctx.mainPanel,
                     [this](const QString& text) { ui::SetValue(identification, text); });
}

void RecorderPage::LookUp(ui::Lookup& look) {
    ui::AttachControls<R>(look, ctx.runtime, *this, kControls);
}

void RecorderPage::RegisterBusy(ui::Busy& busy) {
    for (QWidget* w : {static_cast<QWidget*>(fileSelect), static_cast<QWidget*>(mode),
                       static_cast<QWidget*>(start), static_cast<QWidget*>(startTriggered)})
        busy.Register(w, ui::BusyRole::Transaction);
}

void RecorderPage::ReadSettings(const ini::IniObject&) {
    // The remembered record path was read with the other paths.
    ui::SetValue(path, S().paths.recordPath);
}

}  // namespace recorder
