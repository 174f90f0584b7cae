#include "shell/program.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QStandardPaths>
#include <QTabWidget>

#include "shell/branding.h"
#include "shell/panel_settings_io.h"
#include "ui/controls.h"

namespace shell {

namespace {

constexpr int kDefaultWidth = 790;
constexpr int kDefaultHeight = 548;

// The panels that share the child area of the main panel; the data panel is the one shown
// when no other is asked for.
constexpr const char* kChildPanels[] = {"DATAP", "GRAPHP", "TEACHP1", "TEACHP2", "SCOPEP"};
constexpr const char* kDefaultChildPanel = "DATAP";

using ui::Field;

}  // namespace

const ui::ControlRow<Program> Program::kControls[] = {
    {"MAINP", "TabMain1", Field<&Program::tabMain>(), "CBF_TabMain1", &Program::CBF_TabMain1,
     "Select TAB-window.", "Pages"},
    {"MAINP", "ChildArea", Field<&Program::childArea>()},
    {"MAINP", "PictureLogo", Field<&Program::logo>(), nullptr, nullptr, nullptr, "Logo"},
    {"MAINP", "DecoHeader", Field<&Program::header>()},
};

namespace {

// The folder of the panel set and the logo, below a prefix, and that of a system install.
constexpr char kSharedDataFolder[] = "../share/velorax-scope";
constexpr char kSystemDataFolder[] = "/usr/share/velorax-scope";

bool SameFolder(const QString& a, const QString& b) {
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}

// Where the default data files go (Session::filesDir): the program's folder for a
// program run from its own writable folder, else the user's documents folder (the home
// folder when there is none). An installed program never writes beside itself, not even
// when run by the superuser.
QString FilesDir(const QString& programDir, bool installed) {
    if (!installed && QFileInfo(programDir).isWritable()) return programDir;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir(documents).exists())
        return QDir::toNativeSeparators(documents);
    return QDir::toNativeSeparators(QDir::homePath());
}

}  // namespace

QStringList ResourceDirCandidates(const QString& programDir) {
    return {programDir,
            QDir::cleanPath(QDir(programDir).filePath(QLatin1String(kSharedDataFolder))),
            QString::fromLatin1(kSystemDataFolder)};
}

QString FindResourceDir(const QString& programDir) {
    for (const QString& dir : ResourceDirCandidates(programDir))
        if (QFileInfo(QDir(dir).filePath(QString::fromLatin1(ui::kPanelSetFile))).isFile())
            return dir;
    return programDir;
}

Program::Program(const QString& dir, const QString& resourceDir, ui::Popups& popups,
                 const ProgramOptions& options)
    : session_(std::make_unique<session::Session>(FilesDir(dir, !SameFolder(dir, resourceDir)),
                                                  popups, options.session)),
      runtime_(std::make_unique<ui::Runtime>(popups)),
      factories_(options.pages),
      readSettingsFile_(options.readSettingsFile ? options.readSettingsFile
                                                 : SettingsFileReader(&ReadSettingsFile)),
      programDir_(dir),
      resourceDir_(resourceDir),
      installed_(!SameFolder(dir, resourceDir)) {}

Program::~Program() {
    Shutdown();
}

std::unique_ptr<Program> Program::Create(const QString& programDir, ui::Popups& popups,
                                         const ProgramOptions& options, QString* error) {
    const QString resourceDir = options.resourceDir.isEmpty() ? programDir : options.resourceDir;
    const QString path = QDir(resourceDir).filePath(QString::fromLatin1(ui::kPanelSetFile));
    std::unique_ptr<ui::PanelSet> set = ui::PanelSet::Load(path, error);
    if (!set) return nullptr;
    std::unique_ptr<Program> program(new Program(programDir, resourceDir, popups, options));
    program->panelSet_ = std::move(set);
    if (!program->LookUpControls(error)) return nullptr;
    return program;
}

bool Program::LookUpControls(QString* error) {
    ui::Lookup look(*panelSet_);
    for (const char* name : ui::kPanelNames) look.PanelOf(name);
    mainPanel = look.PanelOf("MAINP");
    ui::AttachControls<Program>(look, *runtime_, *this, kControls);
    if (!look.Ok()) {
        if (error) *error = "missing in the panel set: " + look.Missing().join(", ");
        return false;
    }
    runtime_->BindPanel(mainPanel, "CBF_MAINP", [this](ui::Event e) { CBF_MAINP(e); });

    context_ = std::make_unique<session::PageContext>(
        session::PageContext{*session_, *runtime_, busy_, childArea_, mainPanel, tabMain,
                             [this] { SavePanelSettings(*this); }});
    for (const session::PageFactory& make : factories_) pages_.push_back(make(*context_));
    for (const auto& page : pages_) page->LookUp(look);
    if (!look.Ok()) {
        if (error) *error = "missing in the panel set: " + look.Missing().join(", ");
        return false;
    }
    for (const auto& page : pages_) page->RegisterBusy(busy_);

    std::vector<QWidget*> children;
    for (const char* name : kChildPanels) children.push_back(panelSet_->Panel(name));
    childArea_.Place(childArea, children, panelSet_->Panel(kDefaultChildPanel));
    return true;
}

QString Program::DefaultPanelSettingsPath() const {
    const QString name = QStringLiteral("PanelSettings.cfg");
    if (!installed_ && QFileInfo(programDir_).isWritable())
        return programDir_ + QDir::separator() + name;
    // An installed program, or one in a folder it cannot write: the settings live with the
    // user.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return QDir::toNativeSeparators(config + "/" + name);
}

void Program::StartUp() {
    session::Session& s = *session_;
    s.Restart(DefaultPanelSettingsPath());
    BuildBranding(*this);
    // Menus, lists and tables of the pages; the parameter set takes the values the
    // controls were loaded with.
    for (const auto& page : pages_) page->StartUp();
    // The settings of the last run, read once, then the pages and the child area as the
    // user first sees them.
    LoadPanelSettings(*this);
    ui::SetActiveTabPage(tabMain, session::kPageParameter);
    ui::SetTabPageVisible(tabMain, session::kPageOffset, false);
    ui::FitTabTitles(tabMain);
    childArea_.Show(nullptr);
    mainPanel->show();
    // The first connection.
    for (const auto& page : pages_) page->MainPanelShown();
}

void Program::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    session_->Close();
    sensorlink::Link& link = session_->Link();
    if (link.TcpConnected()) link.DisconnectTcp();
    link.CloseSerialPort();
    if (mainPanel) mainPanel->hide();
    session_->ClearFrameConsumers();
    pages_.clear();
    panelSet_.reset();
}

void Program::CBF_MAINP(ui::Event event) {
    switch (event) {
        case ui::Event::RightDoubleClick: {
            mainPanel->resize(kDefaultWidth, kDefaultHeight);
            if (QScreen* screen = mainPanel->screen()) {
                QRect frame = mainPanel->frameGeometry();
                frame.moveCenter(screen->availableGeometry().center());
                mainPanel->move(frame.topLeft());
            }
            break;
        }
        case ui::Event::Close:
            // Ending the event loop closes the windows once more; that close is not the
            // user's and must not write the settings a second time.
            if (quitRequested_) break;
            quitRequested_ = true;
            session_->StopLoops();
            SavePanelSettings(*this);
            // Any exchange or loop in progress ends quietly; its caller sees the loop flag
            // cleared.
            session_->Close();
            // A window still shown would veto the end of the event loop.
            mainPanel->hide();
            if (quitUserInterface_) quitUserInterface_();
            break;
        default:
            break;
    }
}

void Program::CBF_TabMain1(ui::Event event) {
    if (event != ui::Event::ValueChanged) return;
    const int page = ui::ActiveTabPage(tabMain);
    for (const auto& p : pages_) p->MainPageSelected(page);
}

}  // namespace shell
