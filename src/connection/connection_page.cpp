#include "connection/connection_page.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "connection/connection_core.h"
#include "device/sensor.h"
#include "link/serial_ports.h"
#include "params_core/texts.h"
#include "ui/controls.h"
#include "ui/panel_set.h"

namespace connection {

namespace {

enum Protocol : int { kRs232 = 0, kTcp = 1 };

using C = ConnectionPage;
using ui::Field;

QStringList FromStd(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) list << QString::fromStdString(text);
    return list;
}

std::vector<std::string> ToStd(const QStringList& list) {
    std::vector<std::string> texts;
    for (const QString& text : list) texts.push_back(text.toStdString());
    return texts;
}

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
    RefreshPortList(linkSettings_.comPort);
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

sensorlink::ComProtocol ConnectionPage::Protocol() const {
    return linkSettings_.comProtocol == kTcp ? sensorlink::ComProtocol::Tcp
                                             : sensorlink::ComProtocol::Rs232;
}

void ConnectionPage::ReadSettingsFromControls() {
    const int proto = ui::ComboValue(protocol);
    if (proto == kRs232 || proto == kTcp) {
        linkSettings_.comProtocol = proto;
        S().SetComProtocol(Protocol());
    }
    const int number = ReadComPortSelector();
    if (number > 0) linkSettings_.comPort = number;
    linkSettings_.baudIndex = ui::ComboValue(baudRate);
    linkSettings_.hostAddress = ipAddress->currentText().trimmed().left(255).toStdString();
    linkSettings_.portNumberText = portNumber->text().left(31).toStdString();
}

void ConnectionPage::WriteSettingsToControls() {
    ui::SetComboValue(protocol, static_cast<int>(Protocol()));
    ShowComPort(linkSettings_.comPort);
    const int baudIndex = linkSettings_.baudIndex;
    ui::SetComboValue(baudRate, baudIndex >= 0 && baudIndex < 5 ? baudIndex : 4);
    {
        QSignalBlocker block(ipAddress);
        ipAddress->setEditText(QString::fromStdString(linkSettings_.hostAddress));
    }
    ui::SetValue(portNumber, QString::fromStdString(linkSettings_.portNumberText));
}

// --- the panel settings file ----------------------------------------------------------------

void ConnectionPage::TakeSettings(const params::PanelSettings& settings) {
    if (!settings.ipAddresses.empty()) SetAddressHistory(FromStd(settings.ipAddresses));
    QStringList devices;
    for (const std::string& d : settings.serialDevices) devices << QFile::decodeName(d.c_str());
    if (!devices.isEmpty()) Link().Ports().RestoreUserPaths(devices);
    linkSettings_ = settings.link;
    // Any protocol but TCP/IP is RS-232.
    linkSettings_.comProtocol = static_cast<int>(Protocol());
    RefreshPortList(linkSettings_.comPort);
}

void ConnectionPage::MainPanelShown() {
    WriteSettingsToControls();
    ApplyProtocolSelection();
    ui::BusyScope busy(ctx.busy);
    TryToConnect();
}

void ConnectionPage::GiveSettings(params::PanelSettings& settings) {
    settings.ipAddresses = ToStd(AddressHistory());
    settings.serialDevices.clear();
    for (const QString& d : Link().Ports().UserPaths())
        settings.serialDevices.push_back(QFile::encodeName(d).toStdString());
    ReadSettingsFromControls();
    settings.link = linkSettings_;
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
    linkSettings_.hostAddress = text.toStdString();
    if (text.isEmpty()) return;
    SetAddressHistory(FromStd(WithAddressOnTop(ToStd(AddressHistory()), text.toStdString())));
    QSignalBlocker block(ipAddress);
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
    linkSettings_.comProtocol = proto;
    S().SetComProtocol(Protocol());
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
    // One pass, no loop: "TRY TO CONNECT!" is painted before an open that may block.
    ui::ProcessSystemEvents();
    const QString device = Link().Ports().Device(linkSettings_.comPort);
    ui::SetValue(statusComPort,
                 device.isEmpty() ? QStringLiteral("COM%1").arg(linkSettings_.comPort) : device);
    ui::SetValue(statusIpAddress, QString::fromStdString(linkSettings_.hostAddress));
    bool opened = false;
    if (Protocol() == sensorlink::ComProtocol::Rs232) {
        ui::SetVisible(statusComPort, true);
        ui::SetVisible(statusIpAddress, false);
        opened = OpenSerialPort();
    } else {
        ui::SetVisible(statusComPort, false);
        ui::SetVisible(statusIpAddress, true);
        opened = ConnectTcp();
    }
    return opened && IdentifySensor();
}

bool ConnectionPage::OpenSerialPort() {
    S().StopLoops();
    return Link().OpenSerialPort(linkSettings_.comPort,
                                 static_cast<std::uint16_t>(linkSettings_.baudIndex)) >= 0;
}

bool ConnectionPage::ConnectTcp() {
    return Link().ConnectTcp(QString::fromStdString(linkSettings_.hostAddress),
                             TcpPortOf(linkSettings_.portNumberText)) >= 0;
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
    const int oldIndex = linkSettings_.baudIndex;
    linkSettings_.baudIndex = ui::ComboValue(baudRate);
    AppendMessage(QStringLiteral("TRY TO CHANGE BAUDRATE!\n"));
    if (device::ChangeBaudRate(Link(), static_cast<std::uint16_t>(linkSettings_.baudIndex)) !=
        sensorlink::Outcome::Reply) {
        // Refused or unanswered: the sensor keeps its rate, and so does the port, which is
        // what the selector and the settings file go on saying.
        linkSettings_.baudIndex = oldIndex;
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
    if (number > 0) linkSettings_.comPort = number;
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
    if (ctx.saveSettings) ctx.saveSettings();
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

}  // namespace connection
