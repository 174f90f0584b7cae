#pragma once
// Teaching: the teach table's context menu and the two teach panels.

#include "session/page.h"

class QMenu;
class QPushButton;
class QTableWidget;

namespace teach {

class TeachPage final : public session::Page {
  public:
    explicit TeachPage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;

    QTableWidget* teachTable = nullptr;
    QPushButton* teach2Start = nullptr;
    QMenu* teachMenu = nullptr;
};

}  // namespace teach
