#pragma once
// The service password gate in front of the offset compensation page: a right double-click
// on the calibration page's decoration opens PASSWORDP with an empty masked field; the
// exact password shows the offset page and brings it to the front, anything else is
// refused with a pop-up and the field emptied. The typed text is never kept.

#include "session/page.h"

class QFrame;
class QLineEdit;

namespace calib {

class PasswordGate final : public session::Page {
  public:
    explicit PasswordGate(session::PageContext& context) : Page(context) {}

    void LookUp(ui::Lookup& look) override;
    void StartUp() override;

    void CBF_DecoCalibrate1(ui::Event event);
    void CBF_StringEnterPW(ui::Event event);
    void CBF_PASSWORDP(ui::Event event);

  private:
    QFrame* decoration_ = nullptr;
    QLineEdit* password_ = nullptr;
    QWidget* panel_ = nullptr;
};

}  // namespace calib
