// SEND and GET of the parameter page: to and from the sensor's RAM and EEPROM, and to and
// from a parameter file.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "device/transfer.h"
#include "params/parameter_file.h"
#include "params/parameter_panel.h"
#include "params/texts.h"

namespace params {

namespace {

using session::TransferTarget;
using ui::Text;

constexpr const char* kWriteFailed = "The parameter file could not be written:\n";

}  // namespace

// --- transfers ------------------------------------------------------------------------------

sensorlink::Outcome ParameterPanel::Send() {
    const session::AppState& app = S().App();
    if (app.transferTarget == TransferTarget::File) {
        SaveParameterFile();
        return sensorlink::Outcome::Reply;
    }
    ReadControls();
    return device::SendToSensor(S().Link(), S().Parameters(), app.paraSetIndex,
                                app.transferTarget == TransferTarget::Eeprom);
}

sensorlink::Outcome ParameterPanel::Get(TransferTarget target) {
    if (target == TransferTarget::File) {
        LoadParameterFile();
        return sensorlink::Outcome::Reply;
    }
    // A ParameterBlock that came before a failure is kept, as the sensor sent it.
    ParameterSet got = S().Parameters();
    const sensorlink::Outcome result = device::GetFromSensor(
        S().Link(), got, S().App().paraSetIndex, target == TransferTarget::Eeprom);
    S().SetParameters(got);
    // Only a set that came whole reaches the controls.
    if (result != sensorlink::Outcome::Reply && result != sensorlink::Outcome::ErrorReply)
        return result;
    S().WriteControls();
    S().UpdateModeControls();
    return result;
}

// --- parameter files ----------------------------------------------------------------------

namespace {

ui::FileDialogSpec ParameterDialog(const QString& remembered, bool save) {
    ui::FileDialogSpec spec;
    const QFileInfo info(remembered);
    if (info.isDir()) {
        spec.directory = remembered;  // no file name remembered: none proposed
    } else {
        spec.directory = info.absolutePath();
        spec.defaultName = QString::fromLatin1(kParameterFileDefaultName);
    }
    spec.filter = QString::fromLatin1(kParameterFileFilter);
    spec.title = QString::fromLatin1(kParameterFileDialogTitle);
    spec.save = save;
    return spec;
}

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

void ParameterPanel::SaveParameterFile() {
    ui::Popups& popups = S().popups;
    auto chosen = popups.FileSelect(ParameterDialog(S().Paths().parameterFilePath, true));
    if (!chosen) {
        popups.Message(Text(kTitleAttention), Text(kNoFileSelected));
        return;
    }
    S().RememberPath(&session::FilePaths::parameterFilePath, *chosen);
    ReadControls();
    if (!BuildParameterFile(S().Parameters()).WriteToFile(Native(*chosen))) {
        // Losing a parameter set without a word is worse than an extra pop-up.
        popups.Message(Text(kTitleAttention),
                       Text(kWriteFailed) + QDir::toNativeSeparators(*chosen));
    }
}

void ParameterPanel::LoadParameterFile() {
    ui::Popups& popups = S().popups;
    auto chosen = popups.FileSelect(ParameterDialog(S().Paths().parameterFilePath, false));
    if (!chosen) {
        popups.Message(Text(kTitleAttention), Text(kNoFileSelected));
        return;
    }
    S().RememberPath(&session::FilePaths::parameterFilePath, *chosen);
    ini::IniObject file;
    file.ReadFromFile(Native(*chosen));  // a file that vanished reads as empty
    bool proceed =
        FileTypeMatches(file) || popups.Confirm(Text(kTitleAttention), Text(kNotAParameterFile));
    if (proceed)
        proceed =
            VersionMatches(file) || popups.Confirm(Text(kTitleAttention), Text(kVersionMismatch));
    if (!proceed) {
        popups.Message(Text(kTitleAttention), Text(kNoParameterRead));
    } else {
        ParameterSet loaded = S().Parameters();
        const LoadReport report = ReadParameterItems(file, loaded);
        S().SetParameters(loaded);
        if (!report.parameters.empty())
            popups.Message(Text(kTitleReport), QString::fromStdString(report.parameters));
        if (!report.teachVectors.empty())
            popups.Message(Text(kTitleReport), QString::fromStdString(report.teachVectors));
    }
    S().WriteControls();
    S().UpdateModeControls();
}

}  // namespace params
