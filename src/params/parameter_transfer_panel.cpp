// SEND and GET of the parameter page: to and from the sensor's RAM and EEPROM, and to and
// from a parameter file.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "link/commands.h"
#include "link/link_texts.h"
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

sensorlink::Outcome ParameterPanel::ReadBlock(std::uint16_t blockAddress, std::size_t words) {
    const sensorlink::Exchange e = S().Link().Command(sensorlink::cmd::kReadBlock, blockAddress);
    if (!e.Frame()) return e.outcome;
    // A reply too short for the block would fill the set with whatever the word buffer held
    // before, so it is refused.
    if (e.payload.size() < words * 2) {
        S().ReportFailure(sensorlink::kDataFrameText);
        return sensorlink::Outcome::Failed;
    }
    S().Link().UnpackWords();
    return e.outcome;
}

namespace {

// One step of a transfer: whether the transfer goes on, and what it comes to so far. An
// error frame (reported where its code has a text) or a plausibility count lets the
// transfer go on, but it no longer counts as taken.
bool Step(session::Session& s, const sensorlink::Exchange& e, std::string_view plausibility,
          sensorlink::Outcome& result) {
    if (!e.Frame()) {
        result = e.outcome;
        return false;
    }
    if (!e.Ok() || s.ReportPlausibility(e, plausibility)) result = sensorlink::Outcome::ErrorReply;
    return true;
}

}  // namespace

sensorlink::Outcome ParameterPanel::Send() {
    const session::AppState& app = S().App();
    if (app.transferTarget == TransferTarget::File) {
        SaveParameterFile();
        return sensorlink::Outcome::Reply;
    }
    ReadControls();
    sensorlink::Link& link = S().Link();
    const std::uint16_t set = app.paraSetIndex;
    auto result = sensorlink::Outcome::Reply;
    const auto ram = sensorlink::kPlausibilityRamText;
    if (!Step(S(), link.Command(sensorlink::cmd::kWriteBlock, set, S().Parameters().BlockWords()),
              ram, result))
        return result;
    if (!Step(S(),
              link.Command(sensorlink::cmd::kWriteBlock, static_cast<std::uint16_t>(set + 2),
                           S().Parameters().TeachWords()),
              ram, result))
        return result;
    if (app.transferTarget == TransferTarget::Eeprom)
        Step(S(), link.Command(sensorlink::cmd::kStoreEeprom, 0), {}, result);
    return result;
}

sensorlink::Outcome ParameterPanel::Get(TransferTarget target) {
    if (target == TransferTarget::File) {
        LoadParameterFile();
        return sensorlink::Outcome::Reply;
    }
    auto result = sensorlink::Outcome::Reply;
    if (target == TransferTarget::Eeprom &&
        !Step(S(), S().Link().Command(sensorlink::cmd::kLoadEeprom, 0),
              sensorlink::kPlausibilityEepromText, result))
        return result;
    const std::uint16_t set = S().App().paraSetIndex;
    const auto words = std::span(S().LinkStatus().words);
    // An error frame's payload is taken as the block, as any reply's.
    const auto taken = [&result](sensorlink::Outcome read) {
        if (read == sensorlink::Outcome::ErrorReply) result = read;
        return read == sensorlink::Outcome::Reply || read == sensorlink::Outcome::ErrorReply;
    };
    ParameterSet got = S().Parameters();
    sensorlink::Outcome read = ReadBlock(set, kBlockWords);
    if (!taken(read)) return read;
    got.SetBlockWords(words.first(kBlockWords));
    S().SetParameters(got);  // a block without its teach table is kept, as the sensor sent it
    read = ReadBlock(static_cast<std::uint16_t>(set + 2), kTeachWords);
    if (!taken(read)) return read;
    got.SetTeachWords(words.first(kTeachWords));
    S().SetParameters(got);
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
