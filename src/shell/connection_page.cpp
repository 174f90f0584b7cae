#include "shell/connection_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include "link/commands.h"
#include "link/serial_ports.h"
#include "params/parameter_panel.h"
#include "params/texts.h"
#include "shell/panel_settings_io.h"
#include "shell/program.h"
#include "ui/panel_set.h"

namespace shell {

namespace {

// The message box keeps a long session's history, but not without bound.
constexpr int kMessageBoxBlocks = 5000;

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

ConnectionPage::ConnectionPage(Program& program) : p_(program) {}

void ConnectionPage::LookUp(ui::Lookup& look) {
    protocol = look.Get<QComboBox>("MAINP", "EditCommunicationProtocol");
    comPort = look.Get<QComboBox>("MAINP", "EditSelectComPort");
    baudRate = look.Get<QComboBox>("MAINP", "EditSelectBaudrate");
    ipAddress = look.Get<QComboBox>("MAINP", "StringIpAdress");
    portNumber = look.Get<QLineEdit>("MAINP", "StringPortNumber");
    identification = look.Get<QLineEdit>("MAINP", "EditID");
    tryConnect = look.Get<QPushButton>("MAINP", "ButtonTryToConnect");
    accept = look.Get<QPushButton>("MAINP", "ButtonAccept");
    changeBaud = look.Get<QPushButton>("MAINP", "ButtonChangeBaudrate");
    hwInfo = look.Get<QPushButton>("MAINP", "ButtonGenHwInfoFile");
    messages = look.Get<QPlainTextEdit>("MAINP", "TextMessages");
}

void ConnectionPage::Bind() {
    ui::Runtime& rt = *p_.runtime;
    auto on = [this](void (ConnectionPage::*f)(ui::Event)) {
        return [this, f](ui::Event e) { (this->*f)(e); };
    };
    rt.Bind(protocol, "CBF_EditCommunicationProtocol",
            on(&ConnectionPage::CBF_EditCommunicationProtocol),
            "Select RS232 or TCP/IP Interface. ");
    rt.Bind(comPort, "CBF_EditSelectComPort", on(&ConnectionPage::CBF_EditSelectComPort),
            "Select a serial COM-PORT.");
    rt.Bind(baudRate, "CBF_EditSelectBaudrate", on(&ConnectionPage::CBF_EditSelectBaudrate),
            "Select the Baudrate for data transfer. \n\nAttention! Sensor and user surface "
            "\nmust work with the same Baudrate. ");
    rt.Bind(ipAddress, "CBF_StringIpAdress", on(&ConnectionPage::CBF_StringIpAdress),
            "Select a Server by name or IP address.");
    rt.Bind(portNumber, "CBF_StringPortNumber", on(&ConnectionPage::CBF_StringPortNumber),
            "Select a port number.");
    rt.Bind(tryConnect, "CBF_ButtonTryToConnect", on(&ConnectionPage::CBF_ButtonTryToConnect),
            "Try to connect sensor.");
    rt.Bind(accept, "CBF_ButtonAccept", on(&ConnectionPage::CBF_ButtonAccept),
            "Accept settings for communication \nand switch to parapanel. ");
    rt.Bind(changeBaud, "CBF_ButtonChangeBaudrate", on(&ConnectionPage::CBF_ButtonChangeBaudrate),
            "Save selected Baudrate to sensor. \n\nConfirm new baudrate with EEPROM and SEND.");
    rt.Bind(hwInfo, "CBF_ButtonGenHwInfoFile", on(&ConnectionPage::CBF_ButtonGenHwInfoFile),
            "Save Hardware Initial File to disk. \nSend this file to your supplier for "
            "assistance.");
    rt.Bind(p_.data.status, "CBF_DispStatus", on(&ConnectionPage::CBF_DispStatus),
            "Connection status: the sensor's identification, or what went wrong. "
            "\nRight double-click clears the message box.");
    rt.Bind(identification, "CBF_EditID", on(&ConnectionPage::CBF_EditID),
            QString::fromUtf8(params::ParameterHelpText("CBF_EditID")));
    messages->setMaximumBlockCount(kMessageBoxBlocks);
    // A typed device path becomes an entry of the port table, not a bare list item.
    comPort->setInsertPolicy(QComboBox::NoInsert);
    RefreshPortList(settings.comPort);
}

void ConnectionPage::PrepareAddressField() {
    ui::MakeHistoryCombo(ipAddress);
    ipAddress->setStyleSheet(QStringLiteral("QComboBox { background-color: #E0E0E0; }"));
}

// --- controls <-> settings ----------------------------------------------------------------

void ConnectionPage::RefreshPortList(int select) {
    QSignalBlocker block(comPort);
    comPort->clear();
    for (const sensorlink::SerialPortEntry& entry : p_.link->Ports().Entries()) {
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
        QString device = p_.link->Ports().Device(number);
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
    const int number = p_.link->Ports().Parse(typed);
    if (number > 0) RefreshPortList(number);
    return number;
}

void ConnectionPage::ReadSettingsFromControls() {
    const int proto = ui::ComboValue(protocol);
    if (proto == kRs232 || proto == kTcp)
        p_.linkState.comProtocol = static_cast<std::uint16_t>(proto);
    const int number = ReadComPortSelector();
    if (number > 0) settings.comPort = static_cast<std::uint16_t>(number);
    settings.baudIndex = static_cast<std::uint16_t>(ui::ComboValue(baudRate));
    settings.hostAddress = ipAddress->currentText().trimmed().left(255);
    settings.portNumberText = portNumber->text().left(31);
}

void ConnectionPage::WriteSettingsToControls(std::uint16_t comProtocol) {
    ui::SetComboValue(protocol, comProtocol);
    ShowComPort(settings.comPort);
    ui::SetComboValue(baudRate, settings.baudIndex < 5 ? settings.baudIndex : 4);
    {
        QSignalBlocker block(ipAddress);
        ipAddress->setEditText(settings.hostAddress);
    }
    ui::SetValue(portNumber, settings.portNumberText);
}

QStringList ConnectionPage::TypedDevicePaths() const {
    return p_.link->Ports().UserPaths();
}

void ConnectionPage::RestoreTypedDevicePaths(const QStringList& paths) {
    p_.link->Ports().RestoreUserPaths(paths);
    RefreshPortList(settings.comPort);
}

// --- messages and buttons -------------------------------------------------------------------

void ConnectionPage::AppendMessage(const QString& text) {
    QTextCursor cursor(messages->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    messages->verticalScrollBar()->setValue(messages->verticalScrollBar()->maximum());
}

QString ConnectionPage::Messages() const {
    return messages->toPlainText();
}

void ConnectionPage::DimConnectButtons() {
    for (QWidget* w : {static_cast<QWidget*>(accept), static_cast<QWidget*>(changeBaud),
                       static_cast<QWidget*>(hwInfo)})
        ui::SetDimmed(w, true);
}

void ConnectionPage::DimForTransaction(bool dimmed) {
    ui::SetDimmed(tryConnect, dimmed);
    ui::SetDimmed(baudRate, dimmed);
    // These two are freed only by a successful connection.
    if (dimmed) {
        ui::SetDimmed(changeBaud, true);
        ui::SetDimmed(hwInfo, true);
    }
}

QString ConnectionPage::IdentificationText() const {
    return identification->text();
}

void ConnectionPage::SetIdentificationText(const QString& text) {
    ui::SetValue(identification, text);
    ui::SetValue(p_.other.recId, text);
    p_.other.colBigId->setText(text);
    p_.other.grpBigId->setText(text);
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
    p_.linkState.comProtocol = static_cast<std::uint16_t>(proto);
    const bool serial = proto == kRs232;
    ui::SetVisible(comPort, serial);
    ui::SetVisible(baudRate, serial);
    ui::SetVisible(changeBaud, serial);
    ui::SetVisible(ipAddress, !serial);
    ui::SetVisible(portNumber, !serial);
    // The form rows, labels included, follow their fields.
    if (auto* form = p_.main.panel->findChild<QFormLayout*>(QStringLiteral("connForm"))) {
        for (QWidget* field : {static_cast<QWidget*>(comPort), static_cast<QWidget*>(baudRate),
                               static_cast<QWidget*>(ipAddress), static_cast<QWidget*>(portNumber)})
            form->setRowVisible(field, !field->isHidden());
    }
}

void ConnectionPage::TryToConnect() {
    p_.link->CloseSerialPort();
    ui::SetValue(p_.data.status, QStringLiteral("TRY TO CONNECT!"));
    AppendMessage(QStringLiteral("TRY TO CONNECT!\n"));
    ReadSettingsFromControls();
    ui::ProcessSystemEvents();
    const QString device = p_.link->Ports().Device(settings.comPort);
    ui::SetValue(p_.data.comPort,
                 device.isEmpty() ? QStringLiteral("COM%1").arg(settings.comPort) : device);
    ui::SetValue(p_.data.ipAddress, settings.hostAddress);
    settings.tcpPort = PortFromText(settings.portNumberText);
    if (p_.linkState.comProtocol == kRs232) {
        ui::SetVisible(p_.data.comPort, true);
        ui::SetVisible(p_.data.ipAddress, false);
        OpenSerialPort();
    } else {
        ui::SetVisible(p_.data.comPort, false);
        ui::SetVisible(p_.data.ipAddress, true);
        ConnectTcp();
    }
    if (settings.openResult >= 0) IdentifySensor();
}

void ConnectionPage::OpenSerialPort() {
    p_.app.loopRunning = 0;
    settings.openResult = p_.link->OpenSerialPort(settings.comPort, settings.baudIndex);
}

void ConnectionPage::ConnectTcp() {
    settings.openResult = p_.link->ConnectTcp(settings.hostAddress, settings.tcpPort);
    p_.app.tcpConnected = p_.link->TcpConnected() ? 1 : 0;
}

void ConnectionPage::IdentifySensor() {
    if (p_.link->Command(sensorlink::cmd::kFirmware, 0) != 1) return;
    const std::size_t length = std::min<std::size_t>(p_.linkState.replyLength, sensorlink::kMaxPayload);
    const char* text = reinterpret_cast<const char*>(p_.linkState.reply.data() + sensorlink::kHeaderSize);
    std::size_t n = 0;
    while (n < length && n < static_cast<std::size_t>(kFirmwareMax) && text[n] != '\0') ++n;
    settings.firmware = QString::fromLatin1(text, static_cast<qsizetype>(n));
    ui::SetValue(p_.data.status, settings.firmware);
    AppendMessage(settings.firmware + "\n\n");
    p_.linkState.linkOk = 1;
    p_.parameterPanel->Get();
    if (p_.linkState.linkOk == 1) {
        for (QWidget* w : {static_cast<QWidget*>(accept), static_cast<QWidget*>(changeBaud),
                           static_cast<QWidget*>(hwInfo)})
            ui::SetDimmed(w, false);
    }
}

void ConnectionPage::ChangeBaudRate() {
    settings.baudIndex = static_cast<std::uint16_t>(ui::ComboValue(baudRate));
    AppendMessage(QStringLiteral("TRY TO CHANGE BAUDRATE!\n"));
    if (p_.link->Command(sensorlink::cmd::kBaudRate, settings.baudIndex) != 1) return;
    AppendMessage(QStringLiteral("SUCCESS!\n"));
    OpenSerialPort();
    p_.linkState.linkOk = 1;
    TryToConnect();
    if (p_.linkState.linkOk == 1)
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
    p_.SetButtonsDimmed(0, 1);
    TryToConnect();
    p_.SetButtonsDimmed(0, 0);
}

void ConnectionPage::CBF_ButtonAccept(ui::Event e) {
    if (e != ui::Event::Commit) return;
    SavePanelSettings(p_);
    ui::SetActiveTabPage(p_.main.tabMain, kPageParameter);
}

void ConnectionPage::CBF_ButtonChangeBaudrate(ui::Event e) {
    if (e != ui::Event::Commit) return;
    p_.SetButtonsDimmed(0, 1);
    DimConnectButtons();
    ChangeBaudRate();
    p_.SetButtonsDimmed(0, 0);
}

void ConnectionPage::CBF_ButtonGenHwInfoFile(ui::Event e) {
    if (e != ui::Event::Commit) return;
    p_.SetButtonsDimmed(0, 1);
    // The hardware information file is written here once the service files exist.
    p_.SetButtonsDimmed(0, 0);
}

void ConnectionPage::CBF_DispStatus(ui::Event e) {
    if (e == ui::Event::RightDoubleClick) messages->clear();
}

void ConnectionPage::CBF_EditID(ui::Event e) {
    if (e == ui::Event::Commit) SetIdentificationText(identification->text());
}

}  // namespace shell
