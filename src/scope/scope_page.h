#pragma once
// The scope page and its panel: raw-signal scans.

#include "session/page.h"

class QPushButton;

namespace scope {

class ScopePage final : public session::Page {
  public:
    explicit ScopePage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void MainPageSelected(int page) override;

    QWidget* panel = nullptr;  // SCOPEP
    QPushButton* cycleTime = nullptr;
    QPushButton* scan = nullptr;
    QPushButton* breakScan = nullptr;
};

}  // namespace scope
