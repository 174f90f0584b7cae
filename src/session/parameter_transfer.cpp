// SEND and GET of the parameter set: to and from the sensor's RAM and EEPROM, and to and
// from a parameter file.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "device/transfer.h"
#include "params_core/parameter_file.h"
#include "session/session.h"
#include "ui/popups.h"
#include "ui/runtime.h"

namespace session {

namespace {

using namespace params;
using ui::Text;

constexpr const char* kWriteFailed = "The parameter file could not be written:\n";

}  // namespace

// --- transfers ------------------------------------------------------------------------------

sensorlink::Outcome Session::SendParameters() {
    app_.sendRequest = false;
    const TransferChoice& to = model_.Transfer();
    if (to.target == TransferTarget::File) {
        SaveParameterFile();
        return sensorlink::Outcome::Reply;
    }
    return device::SendToSensor(*link_, model_.Set(), to.set, to.target == TransferTarget::Eeprom);
}

sensorlink::Outcome Session::GetParameters() {
    app_.getRequest = false;
    return GetParametersFrom(model_.Transfer().target);
}

sensorlink::Outcome Session::GetParametersFrom(TransferTarget target) {
    if (target == TransferTarget::File) {
        LoadParameterFile();
        return sensorlink::Outcome::Reply;
    }
    // The spare words the sensor does not send back stay as they are.
    ParameterSet got = model_.Set();
    const sensorlink::Outcome result =
        device::GetFromSensor(*link_, got, model_.Transfer().set, target == TransferTarget::Eeprom);
    // Only a set that came whole reaches the model: half of one would be sent back later as
    // if it were the sensor's.
    if (result != sensorlink::Outcome::Reply && result != sensorlink::Outcome::ErrorReply)
        return result;
    SetParameters(got);
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

void Session::SaveParameterFile() {
    auto chosen = popups.FileSelect(ParameterDialog(paths_.parameterFilePath, true));
    if (!chosen) {
        popups.Message(Text(kTitleAttention), Text(kNoFileSelected));
        return;
    }
    paths_.parameterFilePath = *chosen;
    if (!BuildParameterFile(model_.Set()).WriteToFile(Native(*chosen))) {
        // Losing a parameter set without a word is worse than an extra pop-up.
        popups.Message(Text(kTitleAttention),
                       Text(kWriteFailed) + QDir::toNativeSeparators(*chosen));
    }
}

void Session::LoadParameterFile() {
    auto chosen = popups.FileSelect(ParameterDialog(paths_.parameterFilePath, false));
    if (!chosen) {
        popups.Message(Text(kTitleAttention), Text(kNoFileSelected));
        return;
    }
    paths_.parameterFilePath = *chosen;
    ini::IniObject file;
    file.ReadFromFile(Native(*chosen));  // a file that vanished reads as empty
    bool proceed =
        FileTypeMatches(file) || popups.Confirm(Text(kTitleAttention), Text(kNotAParameterFile));
    if (proceed)
        proceed =
            VersionMatches(file) || popups.Confirm(Text(kTitleAttention), Text(kVersionMismatch));
    if (!proceed) {
        popups.Message(Text(kTitleAttention), Text(kNoParameterRead));
        return;
    }
    // Items the file lacks keep what the model holds, the spare words too.
    ParameterSet loaded = model_.Set();
    const LoadReport report = ReadParameterItems(file, loaded);
    if (!report.parameters.empty())
        popups.Message(Text(kTitleReport), QString::fromStdString(report.parameters));
    if (!report.teachVectors.empty())
        popups.Message(Text(kTitleReport), QString::fromStdString(report.teachVectors));
    SetParameters(loaded);
}

}  // namespace session
