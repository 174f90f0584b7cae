#include "shell/panel_settings_io.h"

#include <QDir>
#include <QFile>
#include <QWidget>
#include <cstdio>

#include "ini/ini.h"
#include "params_core/panel_settings.h"
#include "shell/program.h"

namespace shell {

namespace {

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString FromNative(const std::string& path) {
    return QFile::decodeName(path.c_str());
}
char Separator() {
    return QDir::separator().toLatin1();
}

// The settings file as it stands; empty when there is none. A file that exists but cannot
// be read is kept from being replaced at exit: the user's link settings are in it.
ini::IniObject SettingsFileOf(Program& program) {
    const QString& path = program.Session().App().panelSettingsPath;
    std::optional<ini::IniObject> file = program.SettingsReader()(path);
    if (file) return std::move(*file);
    std::fprintf(stderr,
                 "velorax-scope: cannot read %s; it is left as it is and the settings of this "
                 "run are not saved\n",
                 qPrintable(QDir::toNativeSeparators(path)));
    program.KeepSettingsFile();
    return {};
}

}  // namespace

std::optional<ini::IniObject> ReadSettingsFile(const QString& path) {
    ini::IniObject file;
    if (!QFile::exists(path)) return file;
    if (!file.ReadFromFile(Native(path))) return std::nullopt;
    return file;
}

void LoadPanelSettings(Program& program) {
    session::Session& session = program.Session();
    const ini::IniObject file = SettingsFileOf(program);
    const params::PanelSettings settings =
        params::ReadPanelSettings(file, Native(session.filesDir), Separator());

    session::FilePaths paths;
    paths.parameterFilePath = FromNative(settings.parameterFilePath);
    paths.recordPath = FromNative(settings.recordPath);
    paths.hwInfoFilePath = FromNative(settings.hwInfoFilePath);
    paths.tableAttributesFilePath = FromNative(settings.tableAttributesFilePath);
    session.SetPaths(paths);

    if (settings.Maximised()) {
        program.MainPanel()->setWindowState(Qt::WindowMaximized);
    } else if (settings.HasPosition()) {
        program.MainPanel()->setGeometry(settings.left, settings.top, settings.width,
                                         settings.height);
    }

    session.SetIdentificationText(QString::fromStdString(settings.panelId));
    const bool ours = params::IsPanelSettingsFile(file);
    for (const auto& page : program.Pages()) {
        page->TakeSettings(settings);
        page->ReadSettings(ours ? file : ini::IniObject{});
    }
}

void SavePanelSettings(Program& program) {
    if (program.KeepsSettingsFile()) return;
    session::Session& session = program.Session();
    params::PanelSettings settings;
    settings.panelId = session.IdentificationText().toStdString();
    QWidget* panel = program.MainPanel();
    int state = params::kWindowNormal;
    if (panel->isMaximized())
        state = params::kWindowMaximised;
    else if (panel->isMinimized())
        state = params::kWindowMinimised;
    const QRect placement =
        state == params::kWindowNormal ? panel->geometry() : panel->normalGeometry();
    settings.left = placement.x();
    settings.top = placement.y();
    settings.width = placement.width();
    settings.height = placement.height();
    settings.parameterFilePath = Native(session.Paths().parameterFilePath);
    settings.recordPath = Native(session.Paths().recordPath);
    settings.hwInfoFilePath = Native(session.Paths().hwInfoFilePath);
    settings.tableAttributesFilePath = Native(session.Paths().tableAttributesFilePath);
    for (const auto& page : program.Pages()) page->GiveSettings(settings);

    // Write errors are not reported: the settings are a convenience, and the program is
    // usually on its way out when it writes them.
    const auto pageSections = [&program](ini::IniObject& file) {
        for (const auto& page : program.Pages()) page->WriteSettings(file);
    };
    params::BuildPanelSettings(settings, state, pageSections)
        .WriteToFile(Native(session.App().panelSettingsPath));
}

}  // namespace shell
