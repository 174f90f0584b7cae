#include "shell/panel_settings_io.h"

#include <QDir>
#include <QFile>
#include <QWidget>
#include <cstdio>

#include "ini/ini.h"
#include "params/panel_settings.h"
#include "shell/connection_page.h"
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
ini::IniObject ReadSettingsFile(Program& program) {
    ini::IniObject file;
    const QString& path = program.Session().App().panelSettingsPath;
    if (!QFile::exists(path)) return file;
    if (!file.ReadFromFile(Native(path))) {
        if (!program.KeepsSettingsFile())
            std::fprintf(stderr,
                         "velorax-scope: cannot read %s; it is left as it is and the settings "
                         "of this run are not saved\n",
                         qPrintable(QDir::toNativeSeparators(path)));
        program.KeepSettingsFile();
        return {};
    }
    return file;
}

}  // namespace

void LoadPanelSettings(Program& p) {
    session::Session& session = p.Session();
    const ini::IniObject file = ReadSettingsFile(p);
    const params::PanelSettings s =
        params::ReadPanelSettings(file, Native(session.programDir), Separator());

    session::FilePaths paths;
    paths.parameterFilePath = FromNative(s.parameterFilePath);
    paths.recordPath = FromNative(s.recordPath);
    paths.hwInfoFilePath = FromNative(s.hwInfoFilePath);
    paths.tableAttributesFilePath = FromNative(s.tableAttributesFilePath);
    session.SetPaths(paths);

    if (s.Maximised()) {
        p.MainPanel()->setWindowState(Qt::WindowMaximized);
    } else if (s.HasPosition()) {
        p.MainPanel()->setGeometry(s.left, s.top, s.width, s.height);
    }

    session.SetIdentificationText(QString::fromStdString(s.panelId));
    const bool ours = params::IsPanelSettingsFile(file);
    for (const auto& page : p.Pages()) page->ReadSettings(ours ? file : ini::IniObject{});
}

void LoadCommunicationSettings(Program& p) {
    p.Connection().ReadLinkSettings(ReadSettingsFile(p));
}

void SavePanelSettings(Program& p) {
    if (p.KeepsSettingsFile()) return;
    session::Session& session = p.Session();
    ConnectionPage& connection = p.Connection();
    params::PanelSettings s;
    s.panelId = session.IdentificationText().toStdString();
    QWidget* panel = p.MainPanel();
    int state = params::kWindowNormal;
    if (panel->isMaximized())
        state = params::kWindowMaximised;
    else if (panel->isMinimized())
        state = params::kWindowMinimised;
    const QRect g = state == params::kWindowNormal ? panel->geometry() : panel->normalGeometry();
    s.left = g.x();
    s.top = g.y();
    s.width = g.width();
    s.height = g.height();
    s.parameterFilePath = Native(session.Paths().parameterFilePath);
    s.recordPath = Native(session.Paths().recordPath);
    s.hwInfoFilePath = Native(session.Paths().hwInfoFilePath);
    s.tableAttributesFilePath = Native(session.Paths().tableAttributesFilePath);
    ConnectionPage::SavedSettings connectionSettings = connection.SettingsToSave();
    s.ipAddresses = std::move(connectionSettings.addresses);
    s.serialDevices = std::move(connectionSettings.devices);
    const params::LinkSettingsValues& v = connectionSettings.link;

    // Write errors are not reported: the settings are a convenience, and the program is
    // usually on its way out when it writes them.
    const auto pageSections = [&p](ini::IniObject& file) {
        for (const auto& page : p.Pages()) page->WriteSettings(file);
    };
    params::BuildPanelSettings(s, state, v, pageSections)
        .WriteToFile(Native(session.App().panelSettingsPath));
}

}  // namespace shell
