#include "shell/panel_settings_io.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>

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

ini::IniObject ReadSettingsFile(const Program& program) {
    ini::IniObject file;
    if (QFile::exists(program.app.panelSettingsPath))
        file.ReadFromFile(Native(program.app.panelSettingsPath));
    return file;
}

}  // namespace

void LoadPanelSettings(Program& p) {
    const ini::IniObject file = ReadSettingsFile(p);
    const params::PanelSettings s =
        params::ReadPanelSettings(file, Native(p.programDir), Separator());

    p.paths.parameterFilePath = FromNative(s.parameterFilePath);
    p.paths.recordPath = FromNative(s.recordPath);
    p.paths.hwInfoFilePath = FromNative(s.hwInfoFilePath);
    p.paths.tableAttributesFilePath = FromNative(s.tableAttributesFilePath);

    if (s.Maximised()) {
        p.main.panel->setWindowState(Qt::WindowMaximized);
    } else if (s.HasPosition()) {
        p.main.panel->setGeometry(s.left, s.top, s.width, s.height);
    }

    QStringList addresses;
    for (const std::string& a : s.ipAddresses) addresses << QString::fromStdString(a);
    if (!addresses.isEmpty()) p.connection->SetAddressHistory(addresses);
    QStringList devices;
    for (const std::string& d : s.serialDevices) devices << FromNative(d);
    if (!devices.isEmpty()) p.connection->RestoreTypedDevicePaths(devices);

    ui::SetValue(p.other.recPath, p.paths.recordPath);
    p.connection->SetIdentificationText(QString::fromStdString(s.panelId));
}

void LoadCommunicationSettings(Program& p) {
    const ini::IniObject file = ReadSettingsFile(p);
    const params::LinkSettingsValues v = params::ReadLinkSettings(file);
    LinkSettings& s = p.connection->settings;
    p.linkState.comProtocol = static_cast<std::uint16_t>(v.comProtocol);
    s.comPort = static_cast<std::uint16_t>(v.comPort);
    s.baudIndex = static_cast<std::uint16_t>(v.baudIndex);
    s.hostAddress = QString::fromStdString(v.hostAddress);
    s.portNumberText = QString::fromStdString(v.portNumberText);
    p.connection->WriteSettingsToControls(p.linkState.comProtocol);
}

void SavePanelSettings(Program& p) {
    params::PanelSettings s;
    s.panelId = p.connection->IdentificationText().toStdString();
    QWidget* panel = p.main.panel;
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
    s.parameterFilePath = Native(p.paths.parameterFilePath);
    s.recordPath = Native(p.paths.recordPath);
    s.hwInfoFilePath = Native(p.paths.hwInfoFilePath);
    s.tableAttributesFilePath = Native(p.paths.tableAttributesFilePath);
    for (const QString& a : p.connection->AddressHistory())
        s.ipAddresses.push_back(a.toStdString());
    for (const QString& d : p.connection->TypedDevicePaths()) s.serialDevices.push_back(Native(d));

    p.connection->ReadSettingsFromControls();
    const LinkSettings& ls = p.connection->settings;
    params::LinkSettingsValues v;
    v.comProtocol = p.linkState.comProtocol;
    v.comPort = ls.comPort;
    v.baudIndex = ls.baudIndex;
    v.hostAddress = ls.hostAddress.toStdString();
    v.portNumberText = ls.portNumberText.toStdString();

    // Write errors are not reported: the settings are a convenience, and the program is
    // usually on its way out when it writes them.
    params::BuildPanelSettings(s, state, v).WriteToFile(Native(p.app.panelSettingsPath));
}

}  // namespace shell
