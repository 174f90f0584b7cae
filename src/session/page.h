#pragma once
// A page module: the controls of one subsystem on the panels, looked up and bound once at
// load, the buttons it gives the busy convention, and what it does at the moments the
// shell calls it. The shell keeps a list of pages and knows none of them by type.

#include <functional>
#include <memory>
#include <vector>

#include "ini/ini.h"
#include "params_core/panel_settings.h"
#include "session/session.h"
#include "ui/busy.h"
#include "ui/child_area.h"
#include "ui/panel_set.h"
#include "ui/runtime.h"

class QTabWidget;

namespace session {

// What every page may use besides its own controls.
struct PageContext {
    Session& session;
    ui::Runtime& runtime;
    ui::Busy& busy;
    ui::ChildArea& childArea;
    QWidget* mainPanel;
    QTabWidget* mainTabs;  // pages are addressed by MainPage
    // Writes the panel settings file now, as closing the program does (ACCEPT).
    std::function<void()> saveSettings;
};

class Page {
  public:
    explicit Page(PageContext& context) : ctx(context) {}
    virtual ~Page() = default;
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Looks up and binds the page's controls; a missing one goes into `look`'s list, and
    // the program refuses the panel set.
    virtual void LookUp(ui::Lookup& look) = 0;
    // The page's buttons that the busy convention dims.
    virtual void RegisterBusy(ui::Busy& busy) { (void)busy; }

    // Start-up, before the panel settings are read: menus, lists, tables.
    virtual void StartUp() {}
    // The panel settings file was read, once, at start-up. `settings` holds its documented
    // sections as the shell parsed them: the page takes its own values from there. `file`
    // holds its items, for sections that a page reads itself (empty when the file is not
    // a panel settings file).
    virtual void TakeSettings(const params::PanelSettings& settings) { (void)settings; }
    virtual void ReadSettings(const ini::IniObject& file) { (void)file; }
    // The main panel is shown: the last step of start-up (the first connection).
    virtual void MainPanelShown() {}
    // The panel settings file is about to be written: the page puts its values into the
    // documented sections, then adds sections of its own.
    virtual void GiveSettings(params::PanelSettings& settings) { (void)settings; }
    virtual void WriteSettings(ini::IniObject& file) { (void)file; }
    // The user brought a page of the main tab control to the front.
    virtual void MainPageSelected(int page) { (void)page; }

  protected:
    PageContext& ctx;
    Session& S() { return ctx.session; }
};

using PageFactory = std::function<std::unique_ptr<Page>(PageContext&)>;
using PageFactories = std::vector<PageFactory>;

}  // namespace session
