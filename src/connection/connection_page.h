#pragma once
// The connection page: link type, port or address, the connection sequence that ends
// with the sensor's identification, the baud-rate change, and the message box where the
// link tells the user what happened. It owns the link settings: the configuration the
// user sets up, kept in the panel settings file. What an opening returned is no setting;
// it decides the connection sequence and is gone.

#include <QString>
#include <QStringList>

#include "connection/failure_log.h"
#include "link/link_state.h"
#include "params_core/panel_settings.h"
#include "session/page.h"
#include "ui/controls.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace connection {

class ConnectionPage final : public session::Page {
  public:
    explicit ConnectionPage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;
    void MainPageSelected(int page) override;

    // --- the panel settings file -------------------------------------------------------
    // The address history and the device paths the user typed go into the controls at once;
    // the link settings wait for the main panel.
    void TakeSettings(const params::PanelSettings& settings) override;
    // The link settings into the controls, then the first connection.
    void MainPanelShown() override;
    // The addresses, the typed device paths and the link settings as the controls give them.
    void GiveSettings(params::PanelSettings& settings) override;

    // --- what the rest of the program and the tests use ----------------------------------
    void AppendMessage(const QString& text);
    QString Messages() const;
    // An address committed in the IP-address field: the link settings take it, and it
    // goes on top of the history.
    void CommitAddress(const QString& text);
    QStringList AddressHistory() const;
    // The link settings as the controls last gave them.
    const params::LinkSettings& Settings() const { return linkSettings_; }

  private:
    static const ui::ControlRow<ConnectionPage> kControls[];

    // The one copy of the link settings in the program.
    params::LinkSettings linkSettings_;

    // Controls.
    QComboBox* protocol = nullptr;
    QComboBox* comPort = nullptr;
    QComboBox* baudRate = nullptr;
    QComboBox* ipAddress = nullptr;
    QLineEdit* portNumber = nullptr;
    QLineEdit* identification = nullptr;
    QPushButton* tryConnect = nullptr;
    QPushButton* accept = nullptr;
    QPushButton* changeBaud = nullptr;
    QPlainTextEdit* messages = nullptr;
    // The link's displays on the data panel.
    QLineEdit* status = nullptr;
    QLineEdit* statusComPort = nullptr;
    QLineEdit* statusIpAddress = nullptr;

    void CBF_EditCommunicationProtocol(ui::Event e);
    void CBF_EditSelectComPort(ui::Event e);
    void CBF_EditSelectBaudrate(ui::Event e);
    void CBF_StringIpAdress(ui::Event e);
    void CBF_StringPortNumber(ui::Event e);
    void CBF_ButtonTryToConnect(ui::Event e);
    void CBF_ButtonAccept(ui::Event e);
    void CBF_ButtonChangeBaudrate(ui::Event e);
    void CBF_DispStatus(ui::Event e);
    void CBF_EditID(ui::Event e);

    // --- the connection -------------------------------------------------------------
    void ApplyProtocolSelection();
    // True when the sensor answered and its parameters were read.
    bool TryToConnect();
    // True when the port opened, or the server took the connection (a failure is reported).
    bool OpenSerialPort();
    bool ConnectTcp();
    bool IdentifySensor();
    void ChangeBaudRate();
    void DimConnectButtons();

    // --- controls <-> link settings ------------------------------------------------------
    // Reads the page's controls into the link settings (protocol, port, rate, address, port).
    void ReadSettingsFromControls();
    // Puts the link settings into the page's controls.
    void WriteSettingsToControls();
    void PrepareAddressField();
    void SetAddressHistory(const QStringList& entries);
    void RefreshPortList(int select);
    int ReadComPortSelector();
    void ShowComPort(int number);
    void ShowLinkFailure(const QString& message);
    sensorlink::ComProtocol Protocol() const;

    FailureLog log_;
    sensorlink::Link& Link() const { return ctx.session.Link(); }
};

}  // namespace connection
