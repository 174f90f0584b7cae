#include "shell/program.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>

#include "params/parameter_panel.h"
#include "shell/branding.h"
#include "shell/connection_page.h"
#include "shell/panel_settings_io.h"

namespace shell {

namespace {

constexpr int kDefaultWidth = 790;
constexpr int kDefaultHeight = 548;

constexpr const char* kMainPageNames[kMainPageCount] = {
    "PageConnection",  "PageParameter",       "PageGroupHold", "PageTeachTable", "PageRecorder",
    "PageCalibration", "PageTableAttributes", "PageScope",     "PageOffset"};
constexpr const char* kDataPageNames[kDataPageCount] = {"PageRgb", "PageCoord", "Page2D", "Page3D"};

// Teach table context menu; the behaviour of its items comes with the teach operations.
const QStringList kTeachMenuItems = {"Help",
                                     "",
                                     "Set selection to",
                                     "Increment selection with",
                                     "Reset selection",
                                     "",
                                     "Teach tolerance off",
                                     "Teach tolerance on"};

}  // namespace

Program::Program(const QString& dir, ui::Popups& popupsIn)
    : programDir(dir), popups(popupsIn), runtime(std::make_unique<ui::Runtime>(popupsIn)) {}

Program::~Program() {
    Shutdown();
}

std::unique_ptr<Program> Program::Create(const QString& programDir, ui::Popups& popups,
                                         QString* error) {
    const QString path = QDir(programDir).filePath(QString::fromLatin1(ui::kPanelSetFile));
    std::unique_ptr<ui::PanelSet> set = ui::PanelSet::Load(path, error);
    if (!set) return nullptr;
    std::unique_ptr<Program> program(new Program(programDir, popups));
    program->panelSet = std::move(set);
    if (!program->LookUpControls(error)) return nullptr;
    program->link = std::make_unique<sensorlink::Link>(program->linkState, *program);
    program->BindCallbacks();
    return program;
}

bool Program::LookUpControls(QString* error) {
    ui::Lookup look(*panelSet);
    main.panel = look.PanelOf("MAINP");
    main.tabMain = look.Get<QTabWidget>("MAINP", "TabMain1");
    for (int i = 0; i < kMainPageCount; ++i)
        main.pages[static_cast<std::size_t>(i)] = look.Get<QWidget>("MAINP", kMainPageNames[i]);
    main.send = look.Get<QPushButton>("MAINP", "ButtonSend");
    main.get = look.Get<QPushButton>("MAINP", "ButtonGet");
    main.go = look.Get<QPushButton>("MAINP", "ButtonGo");
    main.stop = look.Get<QPushButton>("MAINP", "ButtonStop");
    main.selectRam = look.Get<QPushButton>("MAINP", "SelectRam");
    main.selectEeprom = look.Get<QPushButton>("MAINP", "SelectEeprom");
    main.selectFile = look.Get<QPushButton>("MAINP", "SelectFile");
    main.selectParaSet0 = look.Get<QPushButton>("MAINP", "SelectParaSet0");
    main.selectParaSet1 = look.Get<QPushButton>("MAINP", "SelectParaSet1");
    main.logo = look.Get<QLabel>("MAINP", "PictureLogo");
    main.header = look.Get<QFrame>("MAINP", "DecoHeader");
    main.childArea = look.Get<QWidget>("MAINP", "ChildArea");

    data.panel = look.PanelOf("DATAP");
    data.tabData = look.Get<QTabWidget>("DATAP", "TabDataP1");
    for (int i = 0; i < kDataPageCount; ++i)
        data.pages[static_cast<std::size_t>(i)] = look.Get<QWidget>("DATAP", kDataPageNames[i]);
    data.status = look.Get<QLineEdit>("DATAP", "DispStatus");
    data.comPort = look.Get<QLineEdit>("DATAP", "DispComPort");
    data.ipAddress = look.Get<QLineEdit>("DATAP", "DispIpAdress");

    other.sendCF = look.Get<QPushButton>("MAINP", "ButtonSendCF");
    other.getCF = look.Get<QPushButton>("MAINP", "ButtonGetCF");
    other.calcCF = look.Get<QPushButton>("MAINP", "ButtonCalcCF");
    other.selfCalibration = look.Get<QPushButton>("MAINP", "ButtonSelfCalibration");
    other.sendOffset = look.Get<QPushButton>("MAINP", "ButtonSendOffset");
    other.getOffset = look.Get<QPushButton>("MAINP", "ButtonGetOffset");
    other.calcOffset = look.Get<QPushButton>("MAINP", "ButtonCalcOffset");
    other.recFileSelect = look.Get<QPushButton>("MAINP", "ButtonRecFileSelect");
    other.recMode = look.Get<QComboBox>("MAINP", "EditRecMode");
    other.recStart = look.Get<QPushButton>("MAINP", "ButtonRecStart");
    other.recStartTriggered = look.Get<QPushButton>("MAINP", "ButtonRecStartTriggered");
    other.cycleTime = look.Get<QPushButton>("MAINP", "ButtonGetCycleTime");
    other.scan = look.Get<QPushButton>("MAINP", "ButtonScan");
    other.breakScan = look.Get<QPushButton>("MAINP", "ButtonBreakScan");
    other.teach2Start = look.Get<QPushButton>("TEACHP2", "ButtonTeach2Start");
    other.recPath = look.Get<QLineEdit>("MAINP", "DispRecPath");
    other.recId = look.Get<QLineEdit>("MAINP", "DispRecId");
    other.colBigId = look.Get<QLabel>("COLBIGP", "DispColBigId");
    other.grpBigId = look.Get<QLabel>("GRPBIGP", "DispGrpBigId");
    other.password = look.Get<QLineEdit>("PASSWORDP", "StringEnterPW");
    other.menuTables = {look.Get<QTableWidget>("MAINP", "EditGridGroups"),
                        look.Get<QTableWidget>("MAINP", "EditGridHold"),
                        look.Get<QTableWidget>("MAINP", "GridSpec"),
                        look.Get<QTableWidget>("TEACHP1", "GridTeach1"),
                        look.Get<QTableWidget>("MAINP", "GridCtt")};
    other.teachTable = other.menuTables[4];

    connection = std::make_unique<ConnectionPage>(*this);
    connection->LookUp(look);
    parameterPanel = std::make_unique<params::ParameterPanel>(*this);
    parameterPanel->LookUp(look);

    for (const char* name : ui::kPanelNames) look.PanelOf(name);
    if (!look.Ok()) {
        if (error) *error = "missing in the panel set: " + look.Missing().join(", ");
        return false;
    }

    // The child panels share the child area of the main panel.
    for (QWidget* child : ChildPanels()) {
        child->setParent(main.childArea);
        main.childArea->layout()->addWidget(child);
        child->hide();
    }
    return true;
}

std::array<QWidget*, 5> Program::ChildPanels() const {
    return {Panel("DATAP"), Panel("GRAPHP"), Panel("TEACHP1"), Panel("TEACHP2"), Panel("SCOPEP")};
}

void Program::BindCallbacks() {
    runtime->BindPanel(main.panel, "CBF_MAINP", [this](ui::Event e) { CBF_MAINP(e); });
    runtime->Bind(
        main.tabMain, "CBF_TabMain1", [this](ui::Event e) { CBF_TabMain1(e); },
        "Select TAB-window.");
    runtime->Bind(
        main.stop, "CBF_ButtonStop",
        [this](ui::Event e) {
            if (e == ui::Event::Commit) app.loopRunning = 0;
        },
        "Stops data transfer from sensor to PC. \n\nShortcut Key: F12. ");
    runtime->Bind(main.go, "CBF_ButtonGo", {},
                  "Starts data transfer from sensor to PC. \n\nShortcut Key: F11. ");
    runtime->AddShortcut(main.panel, Qt::Key_F9, main.send);
    runtime->AddShortcut(main.panel, Qt::Key_F10, main.get);
    runtime->AddShortcut(main.panel, Qt::Key_F11, main.go);
    runtime->AddShortcut(main.panel, Qt::Key_F12, main.stop);
    connection->Bind();
    parameterPanel->Bind();
}

QString Program::DefaultPanelSettingsPath() const {
    const QString name = QStringLiteral("PanelSettings.cfg");
    QFileInfo dirInfo(programDir);
    if (dirInfo.isWritable()) return programDir + QDir::separator() + name;
    // A system-wide install: the settings live with the user.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return QDir::toNativeSeparators(config + "/" + name);
}

void Program::BuildTeachTableMenu() {
    other.teachMenu = runtime->AttachTableMenu(other.teachTable, kTeachMenuItems, {});
    const QList<QAction*> actions = other.teachMenu->actions();
    actions.last()->setEnabled(false);  // "Teach tolerance on" starts dimmed
}

void Program::StartUp() {
    // 1. Shared state.
    app = AppState{};
    // 3. Where the panel settings live.
    app.panelSettingsPath = DefaultPanelSettingsPath();
    // 4. Table context menus.
    BuildTeachTableMenu();
    // 5. The service password field.
    ui::MakePasswordField(other.password, 20);
    // 6. Branding.
    BuildBranding(*this, 0);
    // 7. The parameter set takes the values the controls were loaded with.
    parameterPanel->ReadControls();
    // 8. The address field with its history.
    connection->PrepareAddressField();
    // 9. Settings of the last run.
    LoadPanelSettings(*this);
    // 10. - 12. Pages and the child area.
    ui::SetActiveTabPage(main.tabMain, kPageParameter);
    ui::SetActiveTabPage(data.tabData, kPage3D);
    ui::SetTabPageVisible(main.tabMain, kPageOffset, false);
    ShowChildPanel(data.panel);
    // 13. The main panel.
    main.panel->show();
    // 14. Link settings, then the first connection.
    LoadCommunicationSettings(*this);
    connection->ApplyProtocolSelection();
    SetButtonsDimmed(0, 1);
    connection->TryToConnect();
    SetButtonsDimmed(0, 0);
}

void Program::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    app.loopRunning = 0;
    if (link) {
        link->Abort();
        if (link->TcpConnected()) link->DisconnectTcp();
        link->CloseSerialPort();
    }
    if (main.panel) main.panel->hide();
    connection.reset();
    parameterPanel.reset();
    link.reset();
    panelSet.reset();
}

void Program::SetButtonsDimmed(int keepTransferButtons, int dimmed) {
    const bool dim = dimmed != 0;
    if (keepTransferButtons == 0) {
        for (QWidget* w : std::initializer_list<QWidget*>{main.send, main.get, main.selectRam,
                                                          main.selectEeprom, main.selectFile})
            ui::SetDimmed(w, dim);
    }
    ui::SetDimmed(main.go, dim);
    connection->DimForTransaction(dim);
    for (QWidget* w : std::initializer_list<QWidget*>{
             other.sendCF, other.getCF, other.calcCF, other.selfCalibration, other.sendOffset,
             other.getOffset, other.calcOffset, other.recFileSelect, other.recMode, other.recStart,
             other.recStartTriggered, other.cycleTime, other.scan, other.breakScan,
             other.teach2Start})
        ui::SetDimmed(w, dim);
    ui::ProcessSystemEvents();
}

void Program::ShowChildPanel(QWidget* panel) {
    const auto children = ChildPanels();
    for (QWidget* child : children) child->hide();
    const bool known = std::find(children.begin(), children.end(), panel) != children.end();
    (known ? panel : data.panel)->show();
}

void Program::CBF_MAINP(ui::Event event) {
    switch (event) {
        case ui::Event::RightDoubleClick: {
            main.panel->resize(kDefaultWidth, kDefaultHeight);
            if (QScreen* screen = main.panel->screen()) {
                QRect frame = main.panel->frameGeometry();
                frame.moveCenter(screen->availableGeometry().center());
                main.panel->move(frame.topLeft());
            }
            break;
        }
        case ui::Event::Close:
            app.loopRunning = 0;
            SavePanelSettings(*this);
            quitRequested_ = true;
            // Any exchange in progress ends quietly; its caller sees the loop flag cleared.
            if (link) link->Abort();
            if (quitUserInterface) quitUserInterface();
            break;
        case ui::Event::Resize:
            // The strip-chart traces are re-applied here once the charts exist.
            break;
        default:
            break;
    }
}

void Program::CBF_TabMain1(ui::Event event) {
    if (event != ui::Event::ValueChanged) return;
    switch (ui::ActiveTabPage(main.tabMain)) {
        case kPageRecorder:
            ApplyRecordMode();
            if (ui::ComboValue(other.recMode) == 0) ComputeRecordTime();
            break;
        case kPageConnection:
            app.loopRunning = 0;
            connection->DimConnectButtons();
            break;
        case kPageScope:
            app.loopRunning = 0;
            ShowChildPanel(Panel("SCOPEP"));
            break;
        default:
            break;
    }
}

void Program::ReportLinkFailure() {
    app.loopRunning = 0;
    linkState.linkOk = 0;
    if (link) app.tcpConnected = link->TcpConnected() ? 1 : 0;  // a server may have closed
    ui::SetValue(data.status, QStringLiteral("TIMEOUT!"));
    connection->AppendMessage(QString::fromStdString(linkState.message) + "\n\n");
    connection->DimConnectButtons();
    ui::SetActiveTabPage(main.tabMain, kPageConnection);
}

void Program::ReportFailure(const QString& text) {
    linkState.message = text.toStdString();
    ReportLinkFailure();
}

}  // namespace shell
