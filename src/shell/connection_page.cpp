#include "shell/connection_page.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "device/sensor.h"
#include "link/replies.h"
#include "link/serial_ports.h"
#include "params/texts.h"
#include "ui/controls.h"
#include "ui/panel_set.h"

namespace shell {

namespace {

enum Protocol : int { kRs232 = 0, kTcp = 1 };

}  // namespace

std::int32_t PortFromText(const QString& text) {
    std::int64_t value = 0;
    int i = 0;
    while (i < text.size() && text[i].isSpace()) ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > 65535) return 0;  // no TCP port: the connect fails with its own text
    }
    return static_cast<std::int32_t>(value);
}

namespace {

using C = ConnectionPage;
using ui::Field;

}  // namespace

const ui::ControlRow<C> C::kControls[] = {
    {"MAINP", "EditCommunicationProtocol", Field<&C::protocol>(), "CBF_EditCommunicationProtocol",
     &C::CBF_EditCommunicationProtocol, "Select RS232 or TCP/IP Interface. "},
    {"MAINP", "EditSelectComPort", Field<&C::comPort>(), "CBF_EditSelectComPort",
     &C::CBF_EditSelectComPort, "Select a serial COM-PORT."},
    {"MAINP", "EditSelectBaudrate", Field<&C::baudRate>(), "CBF_EditSelectBaudrate",
     &C::CBF_EditSelectBaudrate,
     "Select the Baudrate for data transfer. \n\nAttention! Sensor and user surface \nmust "
     "work with the same Baudrate. "},
    {"MAINP", "StringIpAdress", Field<&C::ipAddress>(), "CBF_StringIpAdress",
     &C::CBF_StringIpAdress, "Select a Server by name or IP address."},
    {"MAINP", "StringPortNumber", Field<&C::portNumber>(), "CBF_StringPortNumber",
     &C::CBF_StringPortNumber, "Select a port number."},
    {"MAINP", "ButtonTryToConnect", Field<&C::tryConnect>(), "CBF_ButtonTryToConnect",
     &C::CBF_ButtonTryToConnect, "Try to connect sensor."},
    {"MAINP", "ButtonAccept", Field<&C::accept>(), "CBF_ButtonAccept", &C::CBF_ButtonAccept,
     "Accept settings for communication \nand switch to parapanel. "},
    {"MAINP", "ButtonChangeBaudrate", Field<&C::changeBaud>(), "CBF_ButtonChangeBaudrate",
     &C::CBF_ButtonChangeBaudrate,
     "Save selected Baudrate to sensor. \n\nConfirm new baudrate with EEPROM and SEND."},
    {"MAINP", "EditID", Field<&C::identification>(), "CBF_EditID", &C::CBF_EditID, nullptr,
     "Identification"},
    // No help texts: a right double-click on either clears the message box, and a help
    // pop-up on the first right-click would swallow the double-click.
    {"MAINP", "TextMessages", Field<&C::messages>(), "CBF_TextMessages", &C::CBF_DispStatus,
     nullptr, "Messages"},
    {"DATAP", "DispStatus", Field<&C::status>(), "CBF_DispStatus", &C::CBF_DispStatus, nullptr,
     "Connection status"},
    {"DATAP", "DispComPort", Field<&C::statusComPort>(), nullptr, nullptr, nullptr, "Serial port"},
    {"DATAP", "DispIpAdress", Field<&C::statusIpAddress>(), nullptr, nullptr, nullptr,
     "Server address"},
};

ConnectionPage::ConnectionPage(session::PageContext& context) : Page(context) {
    QObject::connect(&S(), &session::Session::LinkFailed, ctx.mainPanel,
                     [this](const QString& message) { ShowLinkFailure(message); });
    QObject::connect(&S(), &session::Session::ExchangeRefused, ctx.mainPanel,
                     [this](const QString& text) { AppendMessage(text + "\n\n"); });
    QObject::connect(&S(), &session::Session::Noted, ctx.mainPanel,
                     [this](const QString& text) { AppendMessage(text); });
    // ACCEPT and CHANGE BAUDRATE need a sensor that answered.
    QObject::connect(&S(), &session::Session::SensorConfirmedChanged, ctx.mainPanel,
                     [this](bool confirmed) {
                         ui::SetDimmed(accept, !confirmed);
                         ui::SetDimmed(changeBaud, !confirmed);
                     });
    QObject::connect(&S(), &session::Session::IdentificationChanged, ctx.mainPanel,
                     [this](const QString& text) { ui::SetValue(identification, text); });
}

void ConnectionPage::LookUp(ui::Lookup& look) {
    ui::AttachControls<C>(look, ctx.runtime, *this, kControls, &params::ParameterHelpText);
    if (!look.Ok()) return;
    log_.Attach(messages, status, ctx.mainTabs);
    // A typed device path becomes an entry of the port table, not a bare list item.
    comPort->setInsertPolicy(QComboBox::NoInsert);
    RefreshPortList(settings.comPort);
}

void ConnectionPage::RegisterBusy(ui::Busy& busy) {
    busy.Register(tryConnect, ui::BusyRole::Transaction);
    busy.Register(baudRate, ui::BusyRole::Transaction);
    // These two are freed only by a successful connection.
    busy.Register(changeBaud, ui::BusyRole::DimOnly);
}

void ConnectionPage::StartUp() {
    PrepareAddressField();
}

void ConnectionPage::MainPageSelected(int page) {
    if (page != session::kPageConnection) return;
    S().StopLoops();
    DimConnectButtons();
}

void ConnectionPage::ShowLinkFailure(const QString& message) {
    log_.ShowFailure(message);
    DimConnectButtons();
}

void ConnectionPage::PrepareAddressField() {
    ui::MakeHistoryCombo(ipAddress);
    ipAddress->setStyleSheet(QStringLiteral("QComboBox { background-color: #E0E0E0; }"));
}

// --- controls <-> settings ----------------------------------------------------------------

void ConnectionPage::RefreshPortList(int select) {
    QSignalBlocker block(comPort);
    comPort->clear();
    for (const sensorlink::SerialPortEntry& entry : Link().Ports().Entries()) {
        QString text = entry.device;
        if (entry.number < sensorlink::SerialPortTable::kFirstUserNumber)
            text = QStringLiteral("COM%1  %2").arg(entry.number).arg(entry.device);
        comPort->addItem(text, entry.number);
    }
    ShowComPort(select);
}

void ConnectionPage::ShowComPort(int number) {
    QSignalBlocker block(comPort);
    int index = comPort->findData(number);
    if (index < 0) {
        // A stored number whose device is not present now: keep it selectable, so the
        // settings survive until the adapter comes back.
        QString device = Link().Ports().Device(number);
        comPort->addItem(device.isEmpty() ? QStringLiteral("COM%1").arg(number) : device, number);
        index = comPort->count() - 1;
    }
    comPort->setCurrentIndex(index);
}

int ConnectionPage::ReadComPortSelector() {
    const QString typed = comPort->currentText().trimmed();
    int index = comPort->currentIndex();
    if (index < 0 || comPort->itemText(index) != typed) index = comPort->findText(typed);
    if (index >= 0 && comPort->itemData(index).isValid()) {
        QSignalBlocker block(comPort);
        comPort->setCurrentIndex(index);
        return comPort->itemData(index).toInt();
    }
    // Typed by the user: a port number, a COM name or a device path.
    const int number = Link().Ports().Parse(typed);
    if (number > 0) RefreshPortList(number);
    return number;
}

void ConnectionPage::ReadSettingsFromControls() {
    const int proto = ui::ComboValue(protocol);
    if (proto == kRs232 || proto == kTcp)
        S().SetComProtocol(static_cast<sensorlink::ComProtocol>(proto));
    const int number = ReadComPortSelector();
    if (number > 0) settings.comPort = static_cast<std::uint16_t>(number);
    settings.baudIndex = static_cast<std::uint16_t>(ui::ComboValue(baudRate));
    settings.hostAddress = ipAddress->currentText().trimmed().left(255);
    settings.portNumberText = portNumber->text().left(31);
}

void ConnectionPage::WriteSettingsToControls(sensorlink::ComProtocol comProtocol) {
    ui::SetComboValue(protocol, static_cast<int>(comProtocol));
    ShowComPort(settings.comPort);
    ui::SetComboValue(baudRate, settings.baudIndex < 5 ? settings.baudIndex : 4);
    {
        QSignalBlocker block(ipAddress);
        ipAddress->setEditText(settings.hostAddress);
    }
    ui::SetValue(portNumber, settings.portNumberText);
}

QStringList ConnectionPage::TypedDevicePaths() const {
    return Link().Ports().UserPaths();
}

void ConnectionPage::RestoreTypedDevicePaths(const QStringList& paths) {
    Link().Ports().RestoreUserPaths(paths);
    RefreshPortList(settings.comPort);
}

// --- the panel settings file ----------------------------------------------------------------

void ConnectionPage::ReadSettings(const ini::IniObject& file) {
    const params::PanelSettings s = params::ReadPanelSettings(file, {}, '/');
    QStringList addresses;
    for (const std::string& a : s.ipAddresses) addresses << QString::fromStdString(a);
    if (!addresses.isEmpty()) SetAddressHistory(addresses);
    QStringList devices;
    for (const std::string& d : s.serialDevices) devices << QFile::decodeName(d.c_str());
    if (!devices.isEmpty()) RestoreTypedDevicePaths(devices);
}

void ConnectionPage::ReadLinkSettings(const ini::IniObject& file) {
    const params::LinkSettingsValues v = params::ReadLinkSettings(file);
    const auto protocol =
        v.comProtocol == 1 ? sensorlink::ComProtocol::Tcp : sensorlink::ComProtocol::Rs232;
    S().SetComProtocol(protocol);
    settings.comPort = static_cast<std::uint16_t>(v.comPort);
    settings.baudIndex = static_cast<std::uint16_t>(v.baudIndex);
    settings.hostAddress = QString::fromStdString(v.hostAddress);
    settings.portNumberText = QString::fromStdString(v.portNumberText);
    WriteSettingsToControls(protocol);
}

ConnectionPage::SavedSettings ConnectionPage::SettingsToSave() {
    SavedSettings saved;
    for (const QString& a : AddressHistory()) saved.addresses.push_back(a.toStdString());
    for (const QString& d : TypedDevicePaths())
        saved.devices.push_back(QFile::encodeName(d).toStdString());
    ReadSettingsFromControls();
    saved.link.comProtocol = static_cast<int>(S().LinkStatus().comProtocol);
    saved.link.comPort = settings.comPort;
    saved.link.baudIndex = settings.baudIndex;
    saved.link.hostAddress = settings.hostAddress.toStdString();
    saved.link.portNumberText = settings.portNumberText.toStdString();
    return saved;
}

// --- messages and buttons -------------------------------------------------------------------

void ConnectionPage::AppendMessage(const QString& text) {
    log_.Append(text);
}

QString ConnectionPage::Messages() const {
    return log_.Text();
}

void ConnectionPage::DimConnectButtons() {
    S().SetSensorConfirmed(false);
}

// --- address history ------------------------------------------------------------------------

void ConnectionPage::CommitAddress(const QString& typed) {
    const QString text = typed.trimmed().left(255);
    settings.hostAddress = text;
    if (text.isEmpty()) return;
    QSignalBlocker block(ipAddress);
    const int existing = ipAddress->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (existing >= 0) ipAddress->removeItem(existing);
    ipAddress->insertItem(0, text);
    while (ipAddress->count() > kAddressHistoryMax) ipAddress->removeItem(ipAddress->count() - 1);
    ipAddress->setCurrentIndex(0);
    ipAddress->setEditText(text);
}

QStringList ConnectionPage::AddressHistory() const {
    QStringList entries;
    for (int i = 0; i < ipAddress->count(); ++i) entries << ipAddress->itemText(i);
    return entries;
}

void ConnectionPage::SetAddressHistory(const QStringList& entries) {
    QSignalBlocker block(ipAddress);
    const QString text = ipAddress->currentText();
    ipAddress->clear();
    ipAddress->addItems(entries);
    ipAddress->setEditText(text);
}

// --- the connection ---------------------------------------------------------------------------

void ConnectionPage::ApplyProtocolSelection() {
    const int proto = ui::ComboValue(protocol);
    if (proto != kRs232 && proto != kTcp) return;
    S().SetComProtocol(static_cast<sensorlink::ComProtocol>(proto));
    const bool serial = proto == kRs232;
    ui::SetVisible(comPort, serial);
    ui::SetVisible(baudRate, serial);
    ui::SetVisible(changeBaud, serial);
    ui::SetVisible(ipAddress, !serial);
    ui::SetVisible(portNumber, !serial);
}

bool ConnectionPage::TryToConnect() {
    Link().CloseSerialPort();
    ui::SetValue(status, QStringLiteral("TRY TO CONNECT!"));
    AppendMessage(QStringLiteral("TRY TO CONNECT!\n"));
    ReadSettingsFromControls();
    ui::ProcessSystemEvents();
    const QString device = Link().Ports().Device(settings.comPort);
    ui::SetValue(statusComPort,
                 device.isEmpty() ? QStringLiteral("COM%1").arg(settings.comPort) : device);
    ui::SetValue(statusIpAddress, settings.hostAddress);
    settings.tcpPort = PortFromText(settings.portNumberText);
    if (S().LinkStatus().comProtocol == sensorlink::ComProtocol::Rs232) {
        ui::SetVisible(statusComPort, true);
        ui::SetVisible(statusIpAddress, false);
        OpenSerialPort();
    } else {
        ui::SetVisible(statusComPort, false);
        ui::SetVisible(statusIpAddress, true);
        ConnectTcp();
    }
    return settings.openResult >= 0 && IdentifySensor();
}

void ConnectionPage::OpenSerialPort() {
    S().StopLoops();
    settings.openResult = Link().OpenSerialPort(settings.comPort, settings.baudIndex);
}

void ConnectionPage::ConnectTcp() {
    settings.openResult = Link().ConnectTcp(settings.hostAddress, settings.tcpPort);
}

bool ConnectionPage::IdentifySensor() {
    const device::Identity id = device::Identify(Link());
    if (!id.Frame()) return false;
    S().SetFirmware(QString::fromLatin1(id.firmware.c_str()));
    ui::SetValue(status, S().Firmware());
    AppendMessage(S().Firmware() + "\n\n");
    // The parameters as the sensor runs them; the buttons that need a working sensor are
    // freed only when every step went through without a word from the sensor against it.
    if (S().GetParameters() != sensorlink::Outcome::Reply || !id.Ok()) return false;
    S().SetSensorConfirmed(true);
    return true;
}

void ConnectionPage::ChangeBaudRate() {
    const std::uint16_t oldIndex = settings.baudIndex;
    settings.baudIndex = static_cast<std::uint16_t>(ui::ComboValue(baudRate));
    AppendMessage(QStringLiteral("TRY TO CHANGE BAUDRATE!\n"));
    if (device::ChangeBaudRate(Link(), settings.baudIndex) != sensorlink::Outcome::Reply) {
        // Refused or unanswered: the sensor keeps its rate, and so does the port, which is
        // what the selector and the settings file go on saying.
        settings.baudIndex = oldIndex;
        ui::SetComboValue(baudRate, oldIndex);
        return;
    }
    AppendMessage(QStringLiteral("SUCCESS!\n"));
    OpenSerialPort();
    if (TryToConnect())
        AppendMessage(
            QStringLiteral("ATTENTION!!!   CONFIRM NEW BAUDRATE WITH EEPROM AND SEND!\n\n"));
}

// --- callbacks ---------------------------------------------------------------------------------

void ConnectionPage::CBF_EditCommunicationProtocol(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ApplyProtocolSelection();
    DimConnectButtons();
}

void ConnectionPage::CBF_EditSelectComPort(ui::Event e) {
    if (e != ui::Event::Commit) return;
    const int number = ReadComPortSelector();
    if (number > 0) settings.comPort = static_cast<std::uint16_t>(number);
    DimConnectButtons();
}

void ConnectionPage::CBF_EditSelectBaudrate(ui::Event e) {
    if (e == ui::Event::Commit) ui::SetDimmed(accept, true);
}

void ConnectionPage::CBF_StringIpAdress(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::SetDimmed(accept, true);
    CommitAddress(ipAddress->currentText());
}

void ConnectionPage::CBF_StringPortNumber(ui::Event e) {
    if (e == ui::Event::Commit) ui::SetDimmed(accept, true);
}

void ConnectionPage::CBF_ButtonTryToConnect(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::BusyScope busy(ctx.busy);
    TryToConnect();
}

void ConnectionPage::CBF_ButtonAccept(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (saveSettings) saveSettings();
    ui::SetActiveTabPage(ctx.mainTabs, session::kPageParameter);
}

void ConnectionPage::CBF_ButtonChangeBaudrate(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::BusyScope busy(ctx.busy);
    DimConnectButtons();
    ChangeBaudRate();
}

void ConnectionPage::CBF_DispStatus(ui::Event e) {
    if (e == ui::Event::RightDoubleClick) log_.Clear();
}

void ConnectionPage::CBF_EditID(ui::Event e) {
    if (e == ui::Event::Commit) S().SetIdentificationText(identification->text());
}

}  // namespace shell
