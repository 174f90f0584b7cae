#pragma once
// Calibration factors and the offset compensation.

#include "session/page.h"

class QPushButton;

namespace calib {

class CalibPage final : public session::Page {
  public:
    explicit CalibPage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;

    QPushButton* sendCF = nullptr;
    QPushButton* getCF = nullptr;
    QPushButton* calcCF = nullptr;
    QPushButton* selfCalibration = nullptr;
    QPushButton* sendOffset = nullptr;
    QPushButton* getOffset = nullptr;
    QPushButton* calcOffset = nullptr;
};

}  // namespace calib
