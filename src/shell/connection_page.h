#pragma once
// The connection page: link type, port or address, the connection sequence that ends
// with the sensor's identification, the baud-rate change, and the message box where the
// link tells the user what happened.

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "params/panel_settings.h"
#include "session/page.h"
#include "shell/failure_log.h"
#include "ui/controls.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace shell {

struct LinkSettings {
    std::uint16_t comPort = 1;
    std::uint16_t baudIndex = 4;
    QString hostAddress;
    QString portNumberText = QStringLiteral("10001");
    std::int32_t tcpPort = 0;
    std::int32_t openResult = 0;
};

inline constexpr int kAddressHistoryMax = 10;
inline constexpr int kFirmwareMax = 71;

// Leading decimal digits of a port text ("10001abc" -> 10001, "" -> 0).
std::int32_t PortFromText(const QString& text);

class ConnectionPage final : public session::Page {
  public:
    explicit ConnectionPage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;
    void MainPageSelected(int page) override;

    // --- the panel settings file -------------------------------------------------------
    // First pass: the address history and the device paths the user typed.
    void ReadSettings(const ini::IniObject& file) override;
    // Second pass, once the window is shown: the link settings into the controls.
    void ReadLinkSettings(const ini::IniObject& file);
    // What the file keeps of this page, read from its controls, for the writer to put in
    // the file's order.
    struct SavedSettings {
        std::vector<std::string> addresses;
        std::vector<std::string> devices;  // in the system's encoding of file names
        params::LinkSettingsValues link;
    };
    SavedSettings SettingsToSave();
    void PrepareAddressField();

    // --- the connection -------------------------------------------------------------
    void ApplyProtocolSelection();
    // True when the sensor answered and its parameters were read.
    bool TryToConnect();
    void OpenSerialPort();
    void ConnectTcp();
    bool IdentifySensor();
    void ChangeBaudRate();

    // Reads the page's controls into the settings (protocol, port, rate, address, port).
    void ReadSettingsFromControls();
    // Puts settings into the page's controls (start-up).
    void WriteSettingsToControls(sensorlink::ComProtocol comProtocol);

    // --- what the rest of the program uses -------------------------------------------
    void AppendMessage(const QString& text);
    QString Messages() const;
    void DimConnectButtons();
    void CommitAddress(const QString& text);  // the address history
    QStringList AddressHistory() const;
    void SetAddressHistory(const QStringList& entries);
    QStringList TypedDevicePaths() const;
    void RestoreTypedDevicePaths(const QStringList& paths);
    void RefreshPortList(int select);

    // The link settings as the controls last gave them.
    const LinkSettings& Settings() const { return settings; }
    // How ACCEPT saves the panel settings; the program sets it.
    void SetSaveSettings(std::function<void()> save) { saveSettings = std::move(save); }

  private:
    static const ui::ControlRow<ConnectionPage> kControls[];

    LinkSettings settings;
    std::function<void()> saveSettings;

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

    int ReadComPortSelector();
    void ShowComPort(int number);
    void ShowLinkFailure(const QString& message);
    FailureLog log_;
    sensorlink::Link& Link() const { return ctx.session.Link(); }
};

}  // namespace shell
