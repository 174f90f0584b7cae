#pragma once
// The running program: the panel set with its controls, the shared state records, the
// link, and the shell's own callbacks (main panel, main tab control, the busy convention
// and the child-panel area). A test builds one, drives it and throws it away.

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

#include "link/link.h"
#include "link/link_state.h"
#include "params/parameter_set.h"
#include "shell/app_state.h"
#include "ui/panel_set.h"
#include "ui/popups.h"
#include "ui/runtime.h"

class QAbstractButton;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace params {
class ParameterPanel;
}

namespace shell {

class ConnectionPage;

struct MainControls {
    QWidget* panel = nullptr;
    QTabWidget* tabMain = nullptr;
    std::array<QWidget*, kMainPageCount> pages{};
    QPushButton* send = nullptr;
    QPushButton* get = nullptr;
    QPushButton* go = nullptr;
    QPushButton* stop = nullptr;
    QPushButton* selectRam = nullptr;
    QPushButton* selectEeprom = nullptr;
    QPushButton* selectFile = nullptr;
    QPushButton* selectParaSet0 = nullptr;
    QPushButton* selectParaSet1 = nullptr;
    QLabel* logo = nullptr;
    QFrame* header = nullptr;
    QWidget* childArea = nullptr;
};

struct DataControls {
    QWidget* panel = nullptr;
    QTabWidget* tabData = nullptr;
    std::array<QWidget*, kDataPageCount> pages{};
    QLineEdit* status = nullptr;
    QLineEdit* comPort = nullptr;
    QLineEdit* ipAddress = nullptr;
};

// Controls of other pages that the busy convention dims, and the displays the shell fills.
struct OtherControls {
    QPushButton* sendCF = nullptr;
    QPushButton* getCF = nullptr;
    QPushButton* calcCF = nullptr;
    QPushButton* selfCalibration = nullptr;
    QPushButton* sendOffset = nullptr;
    QPushButton* getOffset = nullptr;
    QPushButton* calcOffset = nullptr;
    QPushButton* recFileSelect = nullptr;
    QComboBox* recMode = nullptr;
    QPushButton* recStart = nullptr;
    QPushButton* recStartTriggered = nullptr;
    QPushButton* cycleTime = nullptr;
    QPushButton* scan = nullptr;
    QPushButton* breakScan = nullptr;
    QPushButton* teach2Start = nullptr;
    QLineEdit* recPath = nullptr;
    QLineEdit* recId = nullptr;
    QLabel* colBigId = nullptr;
    QLabel* grpBigId = nullptr;
    QLineEdit* password = nullptr;
    // The five tables whose menus are the program's; only the teach table has items yet.
    std::array<QTableWidget*, 5> menuTables{};
    QTableWidget* teachTable = nullptr;
    QMenu* teachMenu = nullptr;
};

class Program : public QObject, public sensorlink::FailureObserver {
    Q_OBJECT
  public:
    // Loads the panel set from `programDir` and looks up every control. nullptr when the
    // file, a panel or a control is missing (`error` says which); nothing is shown then.
    static std::unique_ptr<Program> Create(const QString& programDir, ui::Popups& popups,
                                           QString* error = nullptr);
    ~Program() override;

    // The start-up sequence: restores the settings, shows the main panel and tries to
    // connect to the sensor.
    void StartUp();
    // What happens after the event loop ends: link closed, panels discarded.
    void Shutdown();

    // How the event loop is ended; the entry sets it to QCoreApplication::quit.
    std::function<void()> quitUserInterface;
    bool QuitRequested() const { return quitRequested_; }

    // --- the busy convention and the child-panel area ---------------------------------
    void SetButtonsDimmed(int keepTransferButtons, int dimmed);
    void ShowChildPanel(QWidget* panel);

    // --- callbacks ----------------------------------------------------------------------
    void CBF_MAINP(ui::Event event);
    void CBF_TabMain1(ui::Event event);

    // The link's failure report: run flag and link flag cleared, "TIMEOUT!" in the status
    // display, the message on the connection page, which is brought to the front.
    void ReportLinkFailure() override;
    // Report a text of our own the same way (plausibility counts and the like).
    void ReportFailure(const QString& text);

    // Hooks of the parts that come later; each does nothing until its part exists.
    void UpdateModeControls() {}
    void RedrawCharts() {}
    void ApplyRecordMode() {}
    void ComputeRecordTime() {}

    // --- state --------------------------------------------------------------------------
    QString programDir;
    AppState app;
    FilePaths paths;
    sensorlink::LinkState linkState;
    params::ParameterSet parameters;

    ui::Popups& popups;
    std::unique_ptr<ui::Runtime> runtime;
    std::unique_ptr<ui::PanelSet> panelSet;
    std::unique_ptr<sensorlink::Link> link;

    MainControls main;
    DataControls data;
    OtherControls other;
    std::unique_ptr<ConnectionPage> connection;
    std::unique_ptr<params::ParameterPanel> parameterPanel;

    QWidget* Panel(const char* name) const { return panelSet->Panel(name); }
    std::array<QWidget*, 5> ChildPanels() const;

  private:
    Program(const QString& programDir, ui::Popups& popups);
    bool LookUpControls(QString* error);
    void BindCallbacks();
    void BuildTeachTableMenu();
    QString DefaultPanelSettingsPath() const;

    bool quitRequested_ = false;
    bool shutDown_ = false;
};

}  // namespace shell
