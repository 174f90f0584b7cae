#include "service/hardware_file_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>

#include "device/hardware.h"
#include "params_core/hardware_file.h"
#include "ui/controls.h"

namespace service {

namespace {

constexpr const char* kHelp =
    "Save Hardware Initial File to disk. \nSend this file to your supplier for assistance.";

ui::FileDialogSpec HardwareFileDialog(const QString& remembered) {
    ui::FileDialogSpec spec;
    const QFileInfo info(remembered);
    spec.directory = info.isDir() ? remembered : info.absolutePath();
    spec.defaultName = ui::Text(params::kHardwareFileDefaultName);
    spec.filter = ui::Text(params::kHardwareFileFilter);
    spec.title = ui::Text(params::kHardwareFileDialogTitle);
    spec.save = true;
    return spec;
}

}  // namespace

HardwareFilePage::HardwareFilePage(session::PageContext& context) : Page(context) {
    QObject::connect(&S(), &session::Session::SensorConfirmedChanged, ctx.mainPanel,
                     [this](bool confirmed) { ui::SetDimmed(button_, !confirmed); });
}

void HardwareFilePage::LookUp(ui::Lookup& look) {
    button_ = static_cast<QPushButton*>(
        ui::LookUpControl(look, "MAINP", "ButtonGenHwInfoFile", &QPushButton::staticMetaObject));
    if (!button_) return;
    ui::AttachControl(
        ctx.runtime, button_, "CBF_ButtonGenHwInfoFile",
        [this](ui::Event e) { CBF_ButtonGenHwInfoFile(e); }, ui::Text(kHelp), nullptr);
}

void HardwareFilePage::RegisterBusy(ui::Busy& busy) {
    // Freed only by a sensor that answered the connection.
    busy.Register(button_, ui::BusyRole::DimOnly);
}

void HardwareFilePage::CBF_ButtonGenHwInfoFile(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::BusyScope busy(ctx.busy);
    GenerateHardwareInfoFile();
}

void HardwareFilePage::GenerateHardwareInfoFile() {
    session::Session& s = S();
    // The parameter set as the sensor runs it: GET from RAM, whatever the panel selects.
    if (s.GetParametersFrom(session::TransferTarget::Ram) != sensorlink::Outcome::Reply) return;
    if (!s.ReadCorrectionValues()) return;
    const std::optional<device::HardwareData> data = device::ReadHardwareData(s.Link());
    if (!data) return;
    params::HardwareSnapshot snapshot;
    snapshot.data = *data;

    const auto chosen = s.popups.FileSelect(HardwareFileDialog(s.Paths().hwInfoFilePath));
    if (!chosen || chosen->isEmpty()) {
        s.Note(ui::Text(params::kHardwareNoFileSelected));
        return;
    }
    s.RememberPath(&session::FilePaths::hwInfoFilePath, *chosen);

    // The calibration and offset pages keep these equal to what they show.
    snapshot.factors = s.CorrectionValues().factors;
    snapshot.offsets = s.CorrectionValues().offsets;
    snapshot.parameters = s.Parameters();
    // The bytes exactly as the sensor sent them.
    snapshot.firmware = s.Firmware().toLatin1().toStdString();

    const bool written =
        params::BuildHardwareFile(snapshot).WriteToFile(QFile::encodeName(*chosen).toStdString());
    // A snapshot the user will send to the supplier must not be claimed saved when it is not.
    s.Note(ui::Text(written ? params::kHardwareFileSaved : params::kHardwareFileNotWritten) +
           QDir::toNativeSeparators(*chosen) + QStringLiteral("\n\n"));
}

}  // namespace service
