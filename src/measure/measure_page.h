#pragma once
// The live measurement: GO and STOP on the main panel, the data panel with its tabs, and
// the large colour and group windows.

#include "session/page.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace measure {

// Pages of the data panel's tab control.
enum DataPage : int { kPageRgb = 0, kPageCoord = 1, kPage2D = 2, kPage3D = 3 };

class MeasurePage final : public session::Page {
  public:
    explicit MeasurePage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;

    void CBF_ButtonGo(ui::Event e);
    void CBF_ButtonStop(ui::Event e);

    QPushButton* go = nullptr;
    QPushButton* stop = nullptr;
    QTabWidget* tabData = nullptr;
    QLabel* colBigId = nullptr;
    QLabel* grpBigId = nullptr;
};

}  // namespace measure
