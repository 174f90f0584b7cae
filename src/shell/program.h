#pragma once
// The running program: the panel set, the session, the pages, and the shell's own part of
// the main panel (its close box, the main tab control, the child area and the branding
// header). A test builds one, drives it and throws it away.
//
// The shell knows the pages only as session::Page: the list it is given decides which
// subsystems the program has.

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "session/page.h"
#include "session/session.h"
#include "shell/panel_settings_io.h"
#include "ui/busy.h"
#include "ui/child_area.h"
#include "ui/controls.h"
#include "ui/panel_set.h"
#include "ui/popups.h"
#include "ui/runtime.h"

class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;

namespace shell {

struct ProgramOptions {
    session::SessionOptions session;
    session::PageFactories pages;  // the subsystems' pages, in start-up order
    // The folder with the panel set and the logo; empty: the program's folder. When it is
    // another folder, the program counts as installed: its settings live in the user's
    // configuration folder and its default files in the user's documents folder.
    QString resourceDir;
    // How start-up reads the panel settings file; empty: ReadSettingsFile.
    SettingsFileReader readSettingsFile;
};

// Where the panel set is: next to the program (a build tree or a copied program), in
// <programDir>/../share/velorax-scope (an installed or unpacked package), or in
// /usr/share/velorax-scope. The program's own folder when none of them has it, so that the
// load names the file missing there.
QString FindResourceDir(const QString& programDir);
QStringList ResourceDirCandidates(const QString& programDir);

class Program : public QObject {
    Q_OBJECT
  public:
    // Loads the panel set from `programDir`, builds the pages and looks up every control.
    // nullptr when the file, a panel or a control is missing (`error` says which); nothing
    // is shown then.
    static std::unique_ptr<Program> Create(const QString& programDir, ui::Popups& popups,
                                           const ProgramOptions& options = {},
                                           QString* error = nullptr);
    ~Program() override;

    // The start-up sequence: restores the settings, shows the main panel and tries to
    // connect to the sensor.
    void StartUp();
    // What happens after the event loop ends: link closed, panels discarded.
    void Shutdown();

    // How the event loop is ended; the entry sets it to QCoreApplication::quit.
    void SetQuit(std::function<void()> quit) { quitUserInterface_ = std::move(quit); }
    bool QuitRequested() const { return quitRequested_; }
    // What the main panel's close box does: loops stopped, settings saved, link closed,
    // the event loop ended.
    void RequestClose() { CBF_MAINP(ui::Event::Close); }

    // --- what the shell's modules and the tests use ---------------------------------------
    session::Session& Session() { return *session_; }
    ui::Runtime& Runtime() { return *runtime_; }
    ui::Busy& Busy() { return busy_; }
    ui::ChildArea& ChildArea() { return childArea_; }
    QWidget* Panel(const char* name) const { return panelSet_->Panel(name); }
    QWidget* MainPanel() const { return mainPanel; }
    const std::vector<std::unique_ptr<session::Page>>& Pages() const { return pages_; }
    // The folder the panel set was loaded from; the logo is looked for there.
    const QString& ResourceDir() const { return resourceDir_; }
    bool Installed() const { return installed_; }
    const SettingsFileReader& SettingsReader() const { return readSettingsFile_; }

    // The busy convention and the child area, as the start-up sequence and tests use them.
    void SetButtonsDimmed(bool keepTransferButtons, bool dimmed) {
        busy_.SetButtonsDimmed(keepTransferButtons, dimmed);
    }
    void ShowChildPanel(QWidget* panel) { childArea_.Show(panel); }

    // The settings file exists but could not be read: it is kept as it is, never replaced
    // by defaults.
    bool KeepsSettingsFile() const { return keepSettingsFile_; }
    void KeepSettingsFile() { keepSettingsFile_ = true; }

  private:
    static const ui::ControlRow<Program> kControls[];
    // The header and the logo are the branding's to fill.
    friend void BuildBranding(Program& program);
    friend void AddBrandText(Program& program, const QString& text, int left, int top,
                             int pointSize, QColor background, QColor textColour);

    // --- callbacks ----------------------------------------------------------------------
    void CBF_MAINP(ui::Event event);
    void CBF_TabMain1(ui::Event event);

    Program(const QString& programDir, const QString& resourceDir, ui::Popups& popups,
            const ProgramOptions& options);
    bool LookUpControls(QString* error);
    QString DefaultPanelSettingsPath() const;

    std::unique_ptr<session::Session> session_;
    std::unique_ptr<ui::Runtime> runtime_;
    std::unique_ptr<ui::PanelSet> panelSet_;
    ui::Busy busy_;
    ui::ChildArea childArea_;
    std::unique_ptr<session::PageContext> context_;
    std::vector<std::unique_ptr<session::Page>> pages_;
    session::PageFactories factories_;
    const SettingsFileReader readSettingsFile_;
    const QString programDir_;
    const QString resourceDir_;
    const bool installed_;

    // The main panel's own controls.
    QWidget* mainPanel = nullptr;
    QTabWidget* tabMain = nullptr;
    QWidget* childArea = nullptr;
    QLabel* logo = nullptr;
    QFrame* header = nullptr;

    std::function<void()> quitUserInterface_;
    bool keepSettingsFile_ = false;
    bool quitRequested_ = false;
    bool shutDown_ = false;
};

}  // namespace shell
